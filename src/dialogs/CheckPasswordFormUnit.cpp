#include "dialogs/CheckPasswordFormUnit.h"

#include "dialogs/PasswordText.h"
#include "config/SysOptionUnit.h"
#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char* const kCaption = "请输入管理员密码";
const char* const kWrongPassword = "密码错误 ！";
} // namespace

TCheckPasswordForm::TCheckPasswordForm(QWidget* owner)
    : QDialog(owner, DialogFrame())
{
    setObjectName(QStringLiteral("CheckPasswordForm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());
    setFixedSize(306, 140);

    m_image1 = NewPicture(this, "Image1", "lock.png", QRect(28, 28, 32, 32));
    m_label1 = NewLabel(this, "Label1", QString::fromUtf8("密码："), QPoint(88, 40));
    m_edtPswd = NewPasswordField(this, "edtPswd", QPoint(128, 36), 153);
    m_btnOK = NewButton(this, "btnOK", QString::fromUtf8("确定"), QRect(120, 96, 73, 23));
    m_btnCancel = NewButton(this, "btnCancel", QString::fromUtf8("取消"), QRect(208, 96, 73, 23));

    m_btnOK->setDefault(true);
    setTabOrder(m_edtPswd, m_btnOK);
    setTabOrder(m_btnOK, m_btnCancel);
    m_edtPswd->setFocus();

    connect(m_btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCheckPasswordForm::btnOKClick()
{
    // The stored value is compared as it is: only the entry is trimmed.
    if (TrimmedPassword(m_edtPswd->text()) == SysOption->Password) {
        accept();
        return;
    }
    ShowNotice(this, QMessageBox::Critical, QString::fromUtf8(kWrongPassword));
    m_edtPswd->setFocus();
    m_edtPswd->selectAll();
}

bool CheckAdminPassword(QWidget* owner)
{
    TCheckPasswordForm form(owner);
    return ExecModal(form) == QDialog::Accepted;
}
