#include "ResponseReader.h"

#include "base/TextCodec.h"
#include "RequestDocument.h"

#include <algorithm>

std::string TClientResponse::Value(const std::string& name) const
{
    const auto it = std::find_if(Fields.begin(), Fields.end(), [&](const auto& field) { return field.first == name; });
    return it == Fields.end() ? std::string() : it->second;
}

std::optional<TClientResponse> ReadResponse(const std::string& utf8)
{
    // The server's own decoder: it refuses what the server would refuse.
    const QString text = TextCodec::DecodeRequestUtf8(utf8);
    const QDomElement root = ParseRequestDocument(text).documentElement();
    if (root.isNull() || root.tagName() != QStringLiteral("DoorResponse")) {
        return std::nullopt;
    }
    TClientResponse response;
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        response.Fields.emplace_back(e.tagName().toStdString(), e.text().toStdString());
    }
    return response;
}

std::string FormatResponse(const TClientResponse& response)
{
    size_t width = 0;
    for (const auto& field : response.Fields) {
        width = std::max(width, field.first.size() + 1);
    }
    const std::string indent(width + 1, ' ');
    std::string out;
    for (const auto& [name, value] : response.Fields) {
        out += name;
        out += ':';
        if (!value.empty()) {
            out.append(width - name.size(), ' ');
            for (char c : value) {
                out.push_back(c);
                if (c == '\n') {
                    out += indent;
                }
            }
        }
        out += '\n';
    }
    return out;
}
