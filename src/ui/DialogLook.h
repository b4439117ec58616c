#pragma once

#include <QFont>
#include <QMessageBox>
#include <QRect>

#include <functional>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What the administration dialogs share, so each constructor only says what
// goes where.

// SimSun at 12 pixels; where SimSun is not installed, the sans-serif CJK
// faces Debian ships (WenQuanYi Micro Hei, Noto Sans CJK), then any
// sans-serif face, never a serif one.
QFont DialogFont();

// A dialog frame: fixed size, title and close box, no minimise or maximise.
Qt::WindowFlags DialogFrame();

QLabel* NewLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at);
QLabel* NewPicture(QWidget* parent, const char* objectName, const char* artwork, QRect place);
QPushButton* NewButton(QWidget* parent, const char* objectName, const QString& caption, QRect place);
// Echoes every character as "*" and takes any length.
QLineEdit* NewPasswordField(QWidget* parent, const char* objectName, QPoint at, int width);

// Runs the dialog modally, then hands the activation back: to the dialog it
// was shown over, else to the window that had it, else to the main window.
// Without a window manager (a kiosk X server) nothing else would, and the
// keyboard would no longer reach the main window's menu. Every dialog and
// message box is run through this.
int ExecModal(QDialog& dialog);

// A modal message box whose one OK button reads "确定", like the dialogs' own.
// While messages are unattended it is a line instead (below).
void ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text);

// Set while nobody can answer a box: the program runs without a display, or
// the operating system is ending it. Every message box then becomes the line
// "<caption>: <text>" on standard error, also handed to the unattended
// message log, and returns at once.
void SetMessagesUnattended(bool unattended);
bool MessagesUnattended();
// Where unattended messages are recorded besides standard error (the log
// file); nowhere until set.
void SetUnattendedMessageLog(std::function<void(const QString& line)> log);

// The program's own operator messages, captioned "提示".
void ShowNotice(QWidget* owner, QMessageBox::Icon icon, const QString& text);

// Places a window that has not been shown yet in the middle of its screen.
void CentreOnScreen(QWidget* window);
