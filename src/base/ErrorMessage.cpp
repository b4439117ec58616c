#include "base/ErrorMessage.h"

#include "base/TextCodec.h"

#include <QStringDecoder>

QString ErrorMessage(const std::exception& error)
{
    const QByteArray bytes(error.what());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return TextCodec::FromGbk(bytes.toStdString());
}
