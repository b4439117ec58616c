#pragma once

#include <QFont>
#include <QMessageBox>
#include <QRect>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What the administration dialogs share, so each constructor only says what
// goes where.

// SimSun at 12 pixels; where SimSun is not installed, Qt falls back to an
// installed CJK font.
QFont DialogFont();

// A dialog frame: fixed size, title and close box, no minimise or maximise.
Qt::WindowFlags DialogFrame();

QLabel* NewLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at);
QLabel* NewPicture(QWidget* parent, const char* objectName, const char* artwork, QRect place);
QPushButton* NewButton(QWidget* parent, const char* objectName, const QString& caption, QRect place);
// Echoes every character as "*" and takes any length.
QLineEdit* NewPasswordField(QWidget* parent, const char* objectName, QRect place);

// The program's own operator messages: a modal box captioned "提示" with one
// OK button.
void ShowNotice(QWidget* owner, QMessageBox::Icon icon, const QString& text);

// Places a window that has not been shown yet in the middle of its screen.
void CentreOnScreen(QWidget* window);
