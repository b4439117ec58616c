#include "dialogs/AboutFormUnit.h"

#include "base/InterfaceKind.h"
#include "ui/DialogLook.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const char* const kCaption = "关于...";
const char* const kVersion = "版本 " MEMBER_VERSION;
const char* const kCopyright = "Copyright © 2026 Velmora";
const char* const kCompany = "Velmora 酒店系统";
// What the program is for, under its name and version.
const char* const kDescription = "会员卡接口服务器：接收酒店管理系统(PMS)的写卡、读卡和打印卡请求，"
                                 "在发卡打印机上逐张执行，并应答结果。\n\n"
                                 "版本 " MEMBER_VERSION "\n"
                                 "Qt ";
} // namespace

TAboutForm::TAboutForm(QWidget* owner)
    : QDialog(owner, DialogFrame())
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());
    setFixedSize(413, 262);

    m_image1 = NewPicture(this, "Image1", "about-art.png", QRect(12, 12, 132, 238));
    m_lblAppTitle = NewLabel(this, "lblAppTitle", QString(), QPoint(156, 16));
    m_lblVersion = NewLabel(this, "lblVersion", QString(), QPoint(156, 35));
    m_lblCopyright = NewLabel(this, "lblCopyright", QString(), QPoint(156, 53));
    m_lblCompany = NewLabel(this, "lblCompany", QString(), QPoint(156, 72));

    m_mmo = new QPlainTextEdit(this);
    m_mmo->setObjectName(QStringLiteral("mmo"));
    m_mmo->setGeometry(156, 96, 245, 125);
    m_mmo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_mmo->setEnabled(false);

    m_btnOK = NewButton(this, "btnOK", QString::fromUtf8("确定(&O)"), QRect(330, 230, 73, 23));
    m_btnOK->setDefault(true);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutForm::FormCreate()
{
    const auto fill = [](QLabel* label, const QString& text) {
        label->setText(text);
        label->adjustSize();
    };
    fill(m_lblAppTitle, InterfaceTitle());
    fill(m_lblVersion, QString::fromUtf8(kVersion));
    fill(m_lblCopyright, QString::fromUtf8(kCopyright));
    fill(m_lblCompany, QString::fromUtf8(kCompany));
    m_mmo->setPlainText(QString::fromUtf8(kDescription) + QString::fromLatin1(qVersion()));
}

void ShowAboutBox()
{
    TAboutForm box;
    CentreOnScreen(&box);
    ExecModal(box);
}
