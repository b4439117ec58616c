#include "http/OpenApiDocument.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

// The resource data sits in a static library, where nothing else refers to
// its registration; naming it here keeps the linker from dropping it.
static void RegisterHttpResources()
{
    Q_INIT_RESOURCE(http);
}

namespace {

std::string BuildDocument()
{
    RegisterHttpResources();
    QFile file(QStringLiteral(":/http/openapi.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("the OpenAPI description is missing from the program");
    }
    QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject info = root.value(QStringLiteral("info")).toObject();
    info.insert(QStringLiteral("version"), QStringLiteral(MEMBER_VERSION));
    root.insert(QStringLiteral("info"), info);
    return QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

const std::string& OpenApiDocument()
{
    static const std::string document = BuildDocument();
    return document;
}
