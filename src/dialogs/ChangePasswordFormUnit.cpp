#include "dialogs/ChangePasswordFormUnit.h"

#include "dialogs/PasswordText.h"
#include "config/SysOptionUnit.h"
#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char* const kCaption = "更改管理员密码";
const char* const kMismatch = "您两次输入的密码不一致，请重新输入！";
const char* const kChanged = "管理员密码更改成功！";
} // namespace

TChangePasswordForm::TChangePasswordForm(QWidget* owner)
    : QDialog(owner, DialogFrame())
{
    setObjectName(QStringLiteral("ChangePasswordForm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());
    setFixedSize(346, 163);

    m_image1 = NewPicture(this, "Image1", "keycard.png", QRect(28, 24, 48, 48));
    m_label1 = NewLabel(this, "Label1", QString::fromUtf8("新密码："), QPoint(124, 32));
    m_label2 = NewLabel(this, "Label2", QString::fromUtf8("新密码确认："), QPoint(100, 68));
    m_edtPswd = NewPasswordField(this, "edtPswd", QPoint(176, 28), 137);
    m_edtConfirmPswd = NewPasswordField(this, "edtConfirmPswd", QPoint(176, 64), 137);
    m_btnOK = NewButton(this, "btnOK", QString::fromUtf8("确定"), QRect(154, 116, 73, 23));
    m_btnCancel = NewButton(this, "btnCancel", QString::fromUtf8("取消"), QRect(242, 116, 73, 23));

    m_btnOK->setDefault(true);
    setTabOrder(m_edtPswd, m_edtConfirmPswd);
    setTabOrder(m_edtConfirmPswd, m_btnOK);
    setTabOrder(m_btnOK, m_btnCancel);
    m_edtPswd->setFocus();

    connect(m_btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TChangePasswordForm::btnOKClick()
{
    const std::string newPassword = TrimmedPassword(m_edtPswd->text());
    if (newPassword != TrimmedPassword(m_edtConfirmPswd->text())) {
        ShowNotice(this, QMessageBox::Critical, QString::fromUtf8(kMismatch));
        return;
    }
    // The save replaces the file in one step, so when it fails the file still
    // holds the old password; putting the old one back in memory as well
    // keeps the two in agreement instead of leaving a password that is lost
    // at the next start.
    const std::string oldPassword = SysOption->Password;
    SysOption->Password = newPassword;
    try {
        SysOption->Save();
    } catch (...) {
        SysOption->Password = oldPassword;
        throw;
    }
    ShowNotice(this, QMessageBox::Information, QString::fromUtf8(kChanged));
    accept();
}

void ChangeAdminPassword(QWidget* owner)
{
    TChangePasswordForm form(owner);
    ExecModal(form);
}
