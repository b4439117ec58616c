#include "ui/ErrorGuard.h"

#include "base/TextCodec.h"
#include "ui/DialogLook.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

QString& Title()
{
    static QString title;
    return title;
}

} // namespace

QString ApplicationTitle()
{
    if (Title().isEmpty()) {
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    return Title();
}

void SetApplicationTitle(const QString& title)
{
    Title() = title;
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}

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

void ShowErrorBox(const QString& message)
{
    const QString text = ErrorBoxText(message);
    QWidget* over = QApplication::activeModalWidget();
    if (over == nullptr) {
        over = QApplication::activeWindow();
    }
    ShowMessageBox(over, QMessageBox::Critical, ApplicationTitle(), text);
}

void Guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(ErrorMessage(error));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}
