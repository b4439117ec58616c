#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The administrator password change dialog, "更改管理员密码". It opens only
// after a passed password check, so the old password is not asked again.
class TChangePasswordForm : public QDialog {
    Q_OBJECT

public:
    explicit TChangePasswordForm(QWidget* owner);

private:
    // Stores the new password when both entries agree (after trimming) and
    // closes; on a failed save the old password stays in force and the
    // dialog stays open.
    void btnOKClick();

    QLabel* m_image1;
    QLabel* m_label1;
    QLabel* m_label2;
    QLineEdit* m_edtPswd;
    QLineEdit* m_edtConfirmPswd;
    QPushButton* m_btnOK;
    QPushButton* m_btnCancel;
};

// Shows the change dialog centred over its owner (the main window). Whether
// the password changed is seen in SysOption.
void ChangeAdminPassword(QWidget* owner);
