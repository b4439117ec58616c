#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

// What a request handler takes from a request text, read without building a
// document: the root element's attribute "type", and for each name the first
// direct child of the root element with that exact name, with its text as
// QDomElement::text() gives it (all character data inside it, that of nested
// elements included). The same values as from ParseRequestDocument's
// document.
class TRequestValues {
public:
    // A text that is not well-formed XML 1.0, or has no root element, gives
    // no type and no children.
    static TRequestValues Read(const QString& text);

    // Most requests are plain: elements and attributes with ASCII names,
    // character data with at most the predefined entities and character
    // references, no declaration, comment, CDATA or processing instruction.
    // Such a text is read here in one pass; any other (including every text
    // that is not well-formed) is declined, and Read hands it to the full
    // XML reader.
    static std::optional<TRequestValues> ReadPlain(QStringView text);
    // Read with Qt's XML reader, as ParseRequestDocument does.
    static TRequestValues ReadWithXmlReader(const QString& text);

    // Empty also when the root element has no such attribute.
    const QString& Type() const { return m_type; }
    // Null when the root element has no direct child of that name.
    const QString* Child(QStringView name) const;
    // Each name with its first child's text, in the order they came.
    const std::vector<std::pair<QString, QString>>& Children() const { return m_children; }

    friend bool operator==(const TRequestValues&, const TRequestValues&) = default;

private:
    // The first child of a name starts to collect the text inside it; a
    // later one of the same name collects nothing.
    QString* BeginChild(QStringView name);

    QString m_type;
    std::vector<std::pair<QString, QString>> m_children;
};
