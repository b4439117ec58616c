#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The administrator password prompt, "请输入管理员密码".
class TCheckPasswordForm : public QDialog {
    Q_OBJECT

public:
    explicit TCheckPasswordForm(QWidget* owner);

private:
    // Closes the dialog with OK when the trimmed entry equals the stored
    // password; otherwise says so and keeps the entry for another try.
    void btnOKClick();

    QLabel* m_image1;
    QLabel* m_label1;
    QLineEdit* m_edtPswd;
    QPushButton* m_btnOK;
    QPushButton* m_btnCancel;
};

// Shows the prompt centred over its owner (the main window); true exactly
// when the right password was confirmed. Cancel, Esc and the close box give
// false.
bool CheckAdminPassword(QWidget* owner);
