#include "dialogs/MemberTestFormUnit.h"

#include "base/TextCodec.h"
#include "member/BaseMemberUnit.h"
#include "member/DeviceQueue.h"
#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <iterator>
#include <string>

namespace {

const char* const kCaption = "测试";
const char* const kHotelCard = "酒店会员卡";
const char* const kAllianceCard = "Velmora联盟卡";
const char* const kSampleCardNo = "88888888";
const char* const kSampleContent = "\r\n当前消费:100\r\n卡内余额:300";

constexpr int32_t kHotelChannel = -1;
constexpr int32_t kOtherChannel = 11;

// The wait cursor while the device works: a card transaction takes seconds
// and the window does not repaint meanwhile.
class TBusyCursor {
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

QLineEdit* NewEdit(QWidget* parent, const char* objectName, QRect place)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setGeometry(place);
    return edit;
}

} // namespace

TMemberTestForm::TMemberTestForm(QWidget* owner)
    : QDialog(owner, DialogFrame())
{
    setObjectName(QStringLiteral("MemberTestForm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());
    setFixedSize(441, 311);

    // Three rows of three buttons and three label-and-field rows between them.
    m_openPortBtn = NewButton(this, "OpenPortBtn", QString::fromUtf8("打开串口"), QRect(32, 24, 97, 33));
    m_beepBtn = NewButton(this, "beepBtn", QStringLiteral("Beep"), QRect(172, 24, 97, 33));
    m_closePortBtn = NewButton(this, "ClosePortBtn", QString::fromUtf8("关闭串口"), QRect(312, 24, 97, 33));

    m_label3 = NewLabel(this, "Label3", QString::fromUtf8("类型"), QPoint(72, 92));
    m_label1 = NewLabel(this, "Label1", QString::fromUtf8("卡号"), QPoint(72, 136));
    m_label2 = NewLabel(this, "Label2", QString::fromUtf8("密码:"), QPoint(72, 180));
    m_channelCmb = new QComboBox(this);
    m_channelCmb->setObjectName(QStringLiteral("ChannelCmb"));
    m_channelCmb->setGeometry(128, 88, 241, 22);
    m_cardNoEdit = NewEdit(this, "CardNoEdit", QRect(128, 132, 241, 22));
    m_passwordEdit = NewEdit(this, "PasswordEdit", QRect(128, 176, 241, 22));

    m_readCardBtn = NewButton(this, "ReadCardBtn", QString::fromUtf8("读卡"), QRect(32, 248, 97, 33));
    m_writeCardBtn = NewButton(this, "WriteCardBtn", QString::fromUtf8("写卡"), QRect(172, 248, 97, 33));
    m_printCardBtn = NewButton(this, "PrintCardBtn", QString::fromUtf8("打印卡"), QRect(312, 248, 97, 33));

    m_channelCmb->setEditable(true);
    m_channelCmb->setInsertPolicy(QComboBox::NoInsert);
    m_channelCmb->addItem(QString::fromUtf8(kHotelCard));
    m_channelCmb->addItem(QString::fromUtf8(kAllianceCard));
    m_channelCmb->setCurrentIndex(0);

    // Qt would make the last button that had the focus the default for
    // Enter in the fields.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
    }

    QWidget* const tabOrder[] = { m_openPortBtn, m_closePortBtn, m_cardNoEdit, m_passwordEdit, m_readCardBtn,
        m_writeCardBtn, m_beepBtn, m_channelCmb, m_printCardBtn };
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    m_openPortBtn->setFocus();

    const auto handle = [this](QPushButton* button, void (TMemberTestForm::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    handle(m_openPortBtn, &TMemberTestForm::OpenPortBtnClick);
    handle(m_closePortBtn, &TMemberTestForm::ClosePortBtnClick);
    handle(m_beepBtn, &TMemberTestForm::beepBtnClick);
    handle(m_readCardBtn, &TMemberTestForm::ReadCardBtnClick);
    handle(m_writeCardBtn, &TMemberTestForm::WriteCardBtnClick);
    handle(m_printCardBtn, &TMemberTestForm::PrintCardBtnClick);
}

void TMemberTestForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

int32_t TMemberTestForm::Channel() const
{
    static const std::string hotelCard = Gbk(kHotelCard);
    return TextCodec::ToGbk(m_channelCmb->currentText()) == hotelCard ? kHotelChannel : kOtherChannel;
}

void TMemberTestForm::UseDevice(const std::function<void(TBaseMember&)>& operation)
{
    const TBusyCursor busy;
    UseCurrentDevice([&](TBaseMember& device) {
        operation(device);
        return true;
    });
}

void TMemberTestForm::OpenPortBtnClick()
{
    UseDevice([](TBaseMember& device) { device.OpenPort(); });
}

void TMemberTestForm::ClosePortBtnClick()
{
    UseDevice([](TBaseMember& device) { device.ClosePort(); });
}

void TMemberTestForm::beepBtnClick()
{
    UseDevice([](TBaseMember& device) { device.Beep(); });
}

void TMemberTestForm::ReadCardBtnClick()
{
    const int32_t channel = Channel();
    std::string cardNo;
    std::string password;
    std::string expireDate;
    std::string guestName;
    std::string score;
    UseDevice([&](TBaseMember& device) {
        device.ReadCard(false, cardNo, password, expireDate, guestName, score, channel);
    });
    // Shown whatever the outcome: after a failed read both are empty.
    m_cardNoEdit->setText(TextCodec::FromGbk(cardNo));
    m_passwordEdit->setText(TextCodec::FromGbk(password));
}

void TMemberTestForm::WriteCardBtnClick()
{
    const int32_t channel = Channel();
    // Passed as typed, even empty: testing how the device takes such a
    // number is what this button is for.
    const std::string cardNo = TextCodec::ToGbk(m_cardNoEdit->text());
    UseDevice([&](TBaseMember& device) { device.WriteCard(cardNo, "", "", "", channel); });
}

void TMemberTestForm::PrintCardBtnClick()
{
    static const std::string content = Gbk(kSampleContent);
    UseDevice([](TBaseMember& device) { device.PrintCard(kSampleCardNo, content); });
}

void ShowMemberTestDialog()
{
    TMemberTestForm form;
    CentreOnScreen(&form);
    ExecModal(form);
}
