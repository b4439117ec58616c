#pragma once

#include <QString>
#include <QStringView>

#include <deque>
#include <optional>
#include <vector>

// What a request handler takes from a request text, read without building a
// document: the root element's attribute "type", and for each name the first
// direct child of the root element with that exact name, with its text as
// QDomElement::text() gives it (all character data inside it, that of nested
// elements included). The same values as from ParseRequestDocument's
// document. They refer to the request text where they stand in it as they
// are, so the text must outlive them.
class TRequestValues {
public:
    struct TChild {
        QStringView Name;
        QStringView Text;
    };

    // A text that is not well-formed XML 1.0, or has no root element, gives
    // no type and no children.
    static TRequestValues Read(const QString& text);
    // The values would refer to a text that is gone.
    static TRequestValues Read(QString&&) = delete;

    // Most requests are plain: elements and attributes with ASCII names,
    // character data with at most the predefined entities and character
    // references, no declaration, comment, CDATA or processing instruction.
    // Such a text is read here in one pass; any other (including every text
    // that is not well-formed) is declined, and Read hands it to the full
    // XML reader.
    static std::optional<TRequestValues> ReadPlain(QStringView text);
    // Read with Qt's XML reader, as ParseRequestDocument does.
    static TRequestValues ReadWithXmlReader(const QString& text);
    static TRequestValues ReadWithXmlReader(QString&&) = delete;

    TRequestValues() = default;
    // Moved, never copied: a copy's values would refer to the original's
    // texts.
    TRequestValues(TRequestValues&&) = default;
    TRequestValues& operator=(TRequestValues&&) = default;
    TRequestValues(const TRequestValues&) = delete;
    TRequestValues& operator=(const TRequestValues&) = delete;

    // Empty also when the root element has no such attribute.
    QStringView Type() const { return m_type; }
    // Nothing when the root element has no direct child of that name.
    std::optional<QStringView> Child(QStringView name) const;
    // Each name with its first child's text, in the order they came.
    const std::vector<TChild>& Children() const { return m_children; }

    friend bool operator==(const TRequestValues& a, const TRequestValues& b);

private:
    // A text that does not stand in the request as it is (read through a
    // reference or the line-end rule, or out of the XML reader's buffers),
    // kept here for as long as the values live.
    QStringView Keep(QString text);
    // The first child of a name is recorded; false for a later one, whose
    // text nobody reads.
    bool BeginChild(QStringView name);

    QStringView m_type;
    std::vector<TChild> m_children;
    // A deque, so a kept text stays where it is while others are added.
    std::deque<QString> m_kept;
};
