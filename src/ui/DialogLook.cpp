#include "ui/DialogLook.h"

#include "resources/Artwork.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <cstdio>
#include <limits>

namespace {

constexpr int kFieldHeight = 20;

bool& Unattended()
{
    static bool unattended = false;
    return unattended;
}

std::function<void(const QString&)>& UnattendedLog()
{
    static std::function<void(const QString&)> log;
    return log;
}

} // namespace

QFont DialogFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK") });
    // What fills in when none of them is installed.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    return font;
}

Qt::WindowFlags DialogFrame()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint;
}

QLabel* NewLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->move(at);
    label->adjustSize();
    return label;
}

QLabel* NewPicture(QWidget* parent, const char* objectName, const char* artwork, QRect place)
{
    auto* picture = new QLabel(parent);
    picture->setObjectName(QString::fromLatin1(objectName));
    picture->setPixmap(Artwork(artwork));
    picture->setGeometry(place);
    return picture;
}

QPushButton* NewButton(QWidget* parent, const char* objectName, const QString& caption, QRect place)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(place);
    return button;
}

QLineEdit* NewPasswordField(QWidget* parent, const char* objectName, QPoint at, int width)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(objectName));
    field->setEchoMode(QLineEdit::Password);
    // The style's own mask is a bullet on most desktops.
    field->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    field->setMaxLength(std::numeric_limits<int>::max());
    field->setGeometry(QRect(at, QSize(width, kFieldHeight)));
    return field;
}

namespace {

// Where the keyboard belongs once dialog has closed: the modal dialog it was
// shown over, else the window that was active when it opened, else its
// owner's window, else the one main window. The window active at the start
// may already be gone: activation arrives late, so right after one dialog
// closes the application can still name it as the active window.
QWidget* WindowToReturnTo(const QDialog& dialog, QWidget* previous)
{
    const auto usable = [&dialog](QWidget* window) {
        return window != nullptr && window != &dialog && window->isVisible();
    };
    if (QWidget* modal = QApplication::activeModalWidget(); usable(modal)) {
        return modal;
    }
    if (usable(previous)) {
        return previous;
    }
    if (QWidget* owner = dialog.parentWidget(); owner != nullptr && usable(owner->window())) {
        return owner->window();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (usable(window) && window->windowType() == Qt::Window) {
            return window;
        }
    }
    return nullptr;
}

} // namespace

int ExecModal(QDialog& dialog)
{
    const QPointer<QWidget> previous = QApplication::activeWindow();
    const int result = dialog.exec();
    if (QWidget* window = WindowToReturnTo(dialog, previous)) {
        window->activateWindow();
    }
    return result;
}

void ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    if (Unattended()) {
        const QString line = caption + QStringLiteral(": ") + text;
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
        if (UnattendedLog()) {
            UnattendedLog()(line);
        }
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
    ExecModal(box);
}

void ShowNotice(QWidget* owner, QMessageBox::Icon icon, const QString& text)
{
    ShowMessageBox(owner, icon, QString::fromUtf8("提示"), text);
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void SetMessagesUnattended(bool unattended)
{
    Unattended() = unattended;
}

bool MessagesUnattended()
{
    return Unattended();
}

void SetUnattendedMessageLog(std::function<void(const QString& line)> log)
{
    UnattendedLog() = std::move(log);
}
