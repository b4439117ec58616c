#include "RequestBuilder.h"

#include "base/TextCodec.h"

#include <QDateTime>

namespace {

// Text content of an element. A CR is sent as a character reference: XML
// turns every literal CR LF into LF, and the printer needs to see the CR.
void AppendValue(QString& xml, const char* option, const std::string& utf8)
{
    const QString value = TextCodec::DecodeRequestUtf8(utf8);
    if (value.isEmpty() && !utf8.empty()) {
        throw EUsageError(std::string("the value of ") + option + " is not valid UTF-8");
    }
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'&':
            xml += u"&amp;";
            break;
        case u'<':
            xml += u"&lt;";
            break;
        case u'>':
            xml += u"&gt;";
            break;
        case u'\r':
            xml += u"&#13;";
            break;
        case u'\t':
        case u'\n':
            xml += c;
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF) {
                throw EUsageError(std::string("the value of ") + option + " holds a control character");
            }
            xml += c;
        }
    }
}

void AppendElement(QString& xml, const char* name, const char* option, const std::string& value)
{
    xml += u'<';
    xml += QLatin1String(name);
    xml += u'>';
    AppendValue(xml, option, value);
    xml += u"</";
    xml += QLatin1String(name);
    xml += u'>';
}

// The server never looks at the RequestID, but write and print requests
// must carry one; a time stamp keeps the log readable.
std::string NewRequestId()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmsszzz")).toStdString();
}

} // namespace

std::string BuildRequest(const TClientArguments& args)
{
    QString xml;
    switch (args.Command) {
    case TClientCommand::Write:
        xml = QStringLiteral("<MemberRequest type=\"WriteMemberCard\">");
        AppendElement(xml, "RequestID", "RequestID", NewRequestId());
        AppendElement(xml, "CardNo", "--card-no", args.CardNo);
        AppendElement(xml, "ExpireDate", "--expire-date", args.ExpireDate);
        AppendElement(xml, "GuestName", "--guest-name", args.GuestName);
        AppendElement(xml, "Score", "--score", args.Score);
        if (args.Channel) {
            AppendElement(xml, "Channel", "--channel", *args.Channel);
        }
        break;
    case TClientCommand::Read:
        xml = QStringLiteral("<MemberRequest type=\"ReadMemberCard\">");
        AppendElement(xml, "InputPassword", "--input-password", args.InputPassword ? "1" : "0");
        if (args.Channel) {
            AppendElement(xml, "Channel", "--channel", *args.Channel);
        }
        break;
    case TClientCommand::Print:
        xml = QStringLiteral("<MemberRequest type=\"PrintMemberCard\">");
        AppendElement(xml, "RequestID", "RequestID", NewRequestId());
        AppendElement(xml, "CardNo", "--card-no", args.CardNo);
        if (args.Content) {
            AppendElement(xml, "Content", "--content", *args.Content);
        }
        break;
    case TClientCommand::Raw:
    case TClientCommand::Help:
    case TClientCommand::Version:
        throw EUsageError("no request to build for this command");
    }
    xml += QStringLiteral("</MemberRequest>");
    const QByteArray utf8 = xml.toUtf8();
    std::string bytes(utf8.constData(), static_cast<size_t>(utf8.size()));
    bytes.push_back('\0');
    return bytes;
}

std::string FrameRaw(std::string bytes)
{
    bytes.push_back('\0');
    return bytes;
}
