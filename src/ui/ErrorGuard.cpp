#include "ui/ErrorGuard.h"

#include "ui/DialogLook.h"

#include <QApplication>
#include <QFileInfo>

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

void ShowErrorBox(const QString& message)
{
    const QString text = ErrorBoxText(message);
    // Unattended, the box is a line and needs no owner: a headless run has
    // no widgets to look for one among.
    QWidget* over = nullptr;
    if (!MessagesUnattended()) {
        over = QApplication::activeModalWidget();
        if (over == nullptr) {
            over = QApplication::activeWindow();
        }
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
