#include "member/RequestValues.h"

#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool IsNameStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool IsNameChar(char16_t c)
{
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
}

// A character XML allows that stands for itself in character data. CR is
// not one (XML turns CR LF and a lone CR into LF), nor is any surrogate: a
// plain text stays within the Basic Multilingual Plane.
bool IsPlainChar(char16_t c)
{
    if (c < 0x20) {
        return c == u'\t' || c == u'\n';
    }
    return (c < 0xD800 || c > 0xDFFF) && c != 0xFFFE && c != 0xFFFF;
}

// Character data up to the next markup or reference, without decisions.
bool IsOrdinaryChar(char16_t c)
{
    return IsPlainChar(c) && c != u'<' && c != u'&' && c != u']';
}

bool IsCharacterReferenceTarget(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
}

struct TCursor {
    const char16_t* Pos;
    const char16_t* End;

    bool AtEnd() const { return Pos == End; }
    bool Is(char16_t c) const { return Pos != End && *Pos == c; }
    bool Take(char16_t c)
    {
        if (!Is(c)) {
            return false;
        }
        ++Pos;
        return true;
    }
    bool Take(std::u16string_view word)
    {
        if (static_cast<size_t>(End - Pos) < word.size() || std::u16string_view(Pos, word.size()) != word) {
            return false;
        }
        Pos += word.size();
        return true;
    }
    // True when at least one blank was passed.
    bool SkipSpace()
    {
        const char16_t* start = Pos;
        while (Pos != End && IsSpace(*Pos)) {
            ++Pos;
        }
        return Pos != start;
    }
    // An ASCII name; empty when none starts here.
    QStringView Name()
    {
        const char16_t* start = Pos;
        if (Pos != End && IsNameStart(*Pos)) {
            ++Pos;
            while (Pos != End && IsNameChar(*Pos)) {
                ++Pos;
            }
        }
        return QStringView(start, Pos);
    }
};

// The text of the direct child being read: a view of the request while the
// text stands there as it is, a copy once it differs from it.
class TChildText {
public:
    // Characters that stand in the request as they are.
    void AddAsIs(const char16_t* begin, const char16_t* end)
    {
        if (begin == end) {
            return;
        }
        if (!m_copying) {
            if (m_end == nullptr || m_end == begin) {
                m_begin = m_end == nullptr ? begin : m_begin;
                m_end = end;
                return;
            }
            StartCopy();
        }
        m_copy.append(QStringView(begin, end));
    }
    // A character the request spells otherwise (a reference, a line end).
    void Add(char16_t c)
    {
        if (!m_copying) {
            StartCopy();
        }
        m_copy.append(QChar(c));
    }
    bool Copied() const { return m_copying; }
    QStringView View() const { return m_end == nullptr ? QStringView() : QStringView(m_begin, m_end); }
    QString TakeCopy() { return std::move(m_copy); }

private:
    void StartCopy()
    {
        m_copying = true;
        m_copy = View().toString();
    }

    const char16_t* m_begin = nullptr;
    const char16_t* m_end = nullptr;
    bool m_copying = false;
    QString m_copy;
};

// After "&": one of the five predefined entities, or a character reference
// to a character of the Basic Multilingual Plane that XML allows, with its
// ";". Anything else declines.
bool TakeReference(TCursor& in, TChildText* text)
{
    static constexpr struct {
        std::u16string_view Name;
        char16_t Character;
    } kEntities[] = {{u"lt;", u'<'}, {u"gt;", u'>'}, {u"amp;", u'&'}, {u"apos;", u'\''}, {u"quot;", u'"'}};
    for (const auto& entity : kEntities) {
        if (in.Take(entity.Name)) {
            if (text != nullptr) {
                text->Add(entity.Character);
            }
            return true;
        }
    }
    if (!in.Take(u'#')) {
        return false;
    }
    const bool hex = in.Take(u'x');
    char32_t value = 0;
    int digits = 0;
    for (; !in.AtEnd() && *in.Pos != u';'; ++in.Pos, ++digits) {
        const char16_t c = *in.Pos;
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (hex && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (hex && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        // Eight digits are far beyond any character; longer forms decline.
        if (digit < 0 || digits == 8) {
            return false;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (digits == 0 || !in.Take(u';') || !IsCharacterReferenceTarget(value)) {
        return false;
    }
    if (text != nullptr) {
        text->Add(static_cast<char16_t>(value));
    }
    return true;
}

// Character data up to the next "<", appended to text when there is one.
// False declines, also when the text ends first.
bool TakeCharacterData(TCursor& in, TChildText* text)
{
    for (;;) {
        const char16_t* run = in.Pos;
        while (!in.AtEnd() && IsOrdinaryChar(*in.Pos)) {
            ++in.Pos;
        }
        if (text != nullptr) {
            text->AddAsIs(run, in.Pos);
        }
        if (in.AtEnd()) {
            return false;
        }
        const char16_t c = *in.Pos;
        if (c == u'<') {
            return true;
        }
        ++in.Pos;
        if (c == u'&') {
            if (!TakeReference(in, text)) {
                return false;
            }
        } else if (c == u'\r') {
            in.Take(u'\n');
            if (text != nullptr) {
                text->Add(u'\n');
            }
        } else if (c == u']') {
            // "]]>" may not stand in character data.
            if (in.Is(u']') && in.Pos + 1 != in.End && in.Pos[1] == u'>') {
                return false;
            }
            if (text != nullptr) {
                text->AddAsIs(in.Pos - 1, in.Pos);
            }
        } else {
            return false;
        }
    }
}

struct TStartTag {
    QStringView Name;
    bool Empty = false;
};

// After "<": a name and its attributes up to ">" or "/>". Attribute values
// hold no reference and no blank other than the space, so XML's value
// normalisation leaves them as they stand; a namespace declaration or an
// attribute named twice declines. type receives the value of "type".
bool TakeStartTag(TCursor& in, TStartTag& tag, QStringView* type)
{
    tag.Name = in.Name();
    if (tag.Name.isEmpty()) {
        return false;
    }
    QVarLengthArray<QStringView, 8> names;
    for (;;) {
        const bool spaced = in.SkipSpace();
        if (in.Take(u'>')) {
            tag.Empty = false;
            return true;
        }
        if (in.Take(u"/>")) {
            tag.Empty = true;
            return true;
        }
        const QStringView name = in.Name();
        if (!spaced || name.isEmpty() || name.startsWith(u"xmlns")
            || std::find(names.cbegin(), names.cend(), name) != names.cend()) {
            return false;
        }
        names.push_back(name);
        in.SkipSpace();
        if (!in.Take(u'=')) {
            return false;
        }
        in.SkipSpace();
        if (in.AtEnd() || (*in.Pos != u'"' && *in.Pos != u'\'')) {
            return false;
        }
        const char16_t quote = *in.Pos++;
        const char16_t* value = in.Pos;
        while (!in.AtEnd() && *in.Pos != quote) {
            const char16_t c = *in.Pos;
            if (c < 0x20 || c == u'<' || c == u'&' || !IsPlainChar(c)) {
                return false;
            }
            ++in.Pos;
        }
        if (in.AtEnd()) {
            return false;
        }
        if (type != nullptr && name == u"type") {
            *type = QStringView(value, in.Pos);
        }
        ++in.Pos;
    }
}

} // namespace

TRequestValues TRequestValues::Read(const QString& text)
{
    if (std::optional<TRequestValues> plain = ReadPlain(text)) {
        return std::move(*plain);
    }
    return ReadWithXmlReader(text);
}

std::optional<TRequestValues> TRequestValues::ReadPlain(QStringView text)
{
    TRequestValues values;
    TCursor in {text.utf16(), text.utf16() + text.size()};
    // The names of the elements open, the root first.
    QVarLengthArray<QStringView, 16> open;
    // The text of the direct child being read, when it is the first of its
    // name.
    std::optional<TChildText> collecting;
    const auto childEnds = [&] {
        if (collecting) {
            values.m_children.back().Text
                = collecting->Copied() ? values.Keep(collecting->TakeCopy()) : collecting->View();
            collecting.reset();
        }
    };
    in.SkipSpace();
    if (!in.Is(u'<')) {
        return std::nullopt;
    }
    for (;;) {
        ++in.Pos; // the "<"
        if (in.Take(u'/')) {
            const QStringView name = in.Name();
            if (open.isEmpty() || name != open.back()) {
                return std::nullopt;
            }
            in.SkipSpace();
            if (!in.Take(u'>')) {
                return std::nullopt;
            }
            open.pop_back();
            if (open.size() == 1) {
                childEnds();
            }
        } else {
            TStartTag tag;
            if (!TakeStartTag(in, tag, open.isEmpty() ? &values.m_type : nullptr)) {
                return std::nullopt;
            }
            if (open.size() == 1 && values.BeginChild(tag.Name)) {
                collecting.emplace();
            }
            if (!tag.Empty) {
                open.push_back(tag.Name);
            } else if (open.size() == 1) {
                childEnds();
            }
        }
        if (open.isEmpty()) {
            break;
        }
        if (!TakeCharacterData(in, collecting ? &*collecting : nullptr)) {
            return std::nullopt;
        }
    }
    in.SkipSpace();
    if (!in.AtEnd()) {
        return std::nullopt;
    }
    return values;
}

TRequestValues TRequestValues::ReadWithXmlReader(const QString& text)
{
    TRequestValues values;
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    std::optional<QString> collecting;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 1) {
                values.m_type = values.Keep(reader.attributes().value(QStringLiteral("type")).toString());
            } else if (depth == 2 && !values.Child(reader.qualifiedName())) {
                values.BeginChild(values.Keep(reader.qualifiedName().toString()));
                collecting.emplace();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2 && collecting) {
                values.m_children.back().Text = values.Keep(std::move(*collecting));
                collecting.reset();
            }
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (collecting) {
                collecting->append(reader.text());
            }
            break;
        default:
            // Comments, processing instructions and the DTD carry no values.
            break;
        }
    }
    if (reader.hasError()) {
        return TRequestValues();
    }
    return values;
}

std::optional<QStringView> TRequestValues::Child(QStringView name) const
{
    for (const TChild& child : m_children) {
        if (child.Name == name) {
            return child.Text;
        }
    }
    return std::nullopt;
}

bool operator==(const TRequestValues& a, const TRequestValues& b)
{
    if (a.m_type != b.m_type || a.m_children.size() != b.m_children.size()) {
        return false;
    }
    for (size_t i = 0; i < a.m_children.size(); ++i) {
        if (a.m_children[i].Name != b.m_children[i].Name || a.m_children[i].Text != b.m_children[i].Text) {
            return false;
        }
    }
    return true;
}

QStringView TRequestValues::Keep(QString text)
{
    return m_kept.emplace_back(std::move(text));
}

bool TRequestValues::BeginChild(QStringView name)
{
    if (Child(name)) {
        return false;
    }
    m_children.push_back({name, QStringView()});
    return true;
}
