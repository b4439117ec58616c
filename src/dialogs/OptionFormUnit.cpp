#include "dialogs/OptionFormUnit.h"

#include "base/StrToInt.h"
#include "base/TextCodec.h"
#include "member/DeviceQueue.h"
#include "member/OptionUnit.h"
#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <iterator>
#include <stdexcept>

namespace {

const char* const kCaption = "会员卡接口配置";
const char* const kRestartNotice = "请重新启动程序,以启用设置的参数！";
const char* const kNotAnInteger = "'%1' is not a valid integer value";
const char* const kNotLoaded = "The member options are not loaded";

const char* const kPortNames[] = { "USB" };
const char* const kBandrates[] = { "9600", "14400", "19200", "38400", "57600" };

constexpr char kAdSeparator = '|';

TOption& Options()
{
    if (!MemberOption) {
        throw std::logic_error(kNotLoaded);
    }
    return *MemberOption;
}

QComboBox* NewComboBox(QWidget* parent, const char* objectName, QRect place)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setEditable(true);
    // A typed name is taken as it is shown; Enter must not add it to the
    // list but reach the default button.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setGeometry(place);
    return box;
}

QLineEdit* NewEdit(QWidget* parent, const char* objectName, QRect place)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setGeometry(place);
    return edit;
}

QLabel* NewHint(QWidget* parent, const char* objectName, const char* text, QPoint at)
{
    QLabel* hint = NewLabel(parent, objectName, QString::fromUtf8(text), at);
    QPalette grey = hint->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    hint->setPalette(grey);
    return hint;
}

// The list entry equal to text, ignoring letter case when asked; -1 for none.
int EntryOf(const QComboBox* box, const QString& text, Qt::CaseSensitivity sensitivity)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(text, sensitivity) == 0) {
            return i;
        }
    }
    return -1;
}

// The advertising lines of Adtext. It is GBK, where a lead byte (0x81 to
// 0xFE) and the byte after it are one character; that second byte may be
// 0x7C, and such a character is kept whole instead of splitting the line.
QStringList AdLines(const std::string& adtext)
{
    QStringList lines;
    size_t lineStart = 0;
    size_t i = 0;
    while (i < adtext.size()) {
        const auto byte = static_cast<unsigned char>(adtext[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < adtext.size()) {
            i += 2;
            continue;
        }
        if (adtext[i] == kAdSeparator) {
            lines << TextCodec::FromGbk(std::string_view(adtext).substr(lineStart, i - lineStart));
            lineStart = i + 1;
        }
        ++i;
    }
    lines << TextCodec::FromGbk(std::string_view(adtext).substr(lineStart));
    return lines;
}

std::string JoinedAdLines(const QString& memoText)
{
    const QStringList lines = memoText.split(QLatin1Char('\n'));
    std::string adtext;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            adtext += kAdSeparator;
        }
        adtext += TextCodec::ToGbk(lines[i]);
    }
    return adtext;
}

int32_t IntegerOf(const QLineEdit* edit)
{
    int32_t value = 0;
    if (!TryStrToInt(edit->text().toStdString(), value)) {
        throw std::invalid_argument(QString::fromUtf8(kNotAnInteger).arg(edit->text()).toStdString());
    }
    return value;
}

} // namespace

TOptionForm::TOptionForm(QWidget* owner)
    : QDialog(owner, DialogFrame())
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setFont(DialogFont());
    setFixedSize(615, 292);

    m_lbl1 = NewLabel(this, "lbl1", QString::fromUtf8("串口号："), QPoint(24, 28));
    m_lbl2 = NewLabel(this, "lbl2", QString::fromUtf8("波特率："), QPoint(24, 64));
    m_lbl3 = NewLabel(this, "lbl3", QString::fromUtf8("数据块："), QPoint(24, 100));
    m_lbl4 = NewLabel(this, "lbl4", QString::fromUtf8("打印每行长度："), QPoint(24, 136));
    m_lbl5 = NewLabel(this, "lbl5", QString::fromUtf8("广告位起始高度(Y坐标)："), QPoint(24, 172));
    m_lbl6 = NewLabel(this, "lbl6", QString::fromUtf8("广告内容："), QPoint(344, 28));
    m_lbl7 = NewHint(this, "lbl7", "(每行最多打印12个汉字，或24个数字)", QPoint(24, 208));
    m_lbl8 = NewHint(this, "lbl8", "！广告内容过多请修改Y坐标，行高为24", QPoint(24, 230));

    m_cbbPortName = NewComboBox(this, "cbbPortName", QRect(184, 24, 137, 22));
    m_cbbBandrate = NewComboBox(this, "cbbBandrate", QRect(184, 60, 137, 22));
    m_edtBlockNoEdit = NewEdit(this, "edtBlockNoEdit", QRect(184, 96, 137, 22));
    m_edtRowlen = NewEdit(this, "edtRowlen", QRect(184, 132, 137, 22));
    m_edtYState = NewEdit(this, "edtYState", QRect(184, 168, 137, 22));

    m_mmoadtext = new QPlainTextEdit(this);
    m_mmoadtext->setObjectName(QStringLiteral("mmoadtext"));
    m_mmoadtext->setGeometry(344, 48, 247, 142);
    m_mmoadtext->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long lines wrap on screen only; each memo line stays one advertising line.
    m_mmoadtext->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Enter starts a new advertising line; Tab leaves the memo, so the
    // dialog can be worked from the keyboard alone.
    m_mmoadtext->setTabChangesFocus(true);

    m_okBtn = NewButton(this, "OKBtn", QString::fromUtf8("确定"), QRect(428, 252, 75, 25));
    m_cancelBtn = NewButton(this, "CancelBtn", QString::fromUtf8("取消"), QRect(516, 252, 75, 25));
    m_okBtn->setDefault(true);

    for (const char* name : kPortNames) {
        m_cbbPortName->addItem(QString::fromLatin1(name));
    }
    for (const char* rate : kBandrates) {
        m_cbbBandrate->addItem(QString::fromLatin1(rate));
    }

    QWidget* const tabOrder[] = { m_cbbPortName, m_cbbBandrate, m_edtBlockNoEdit, m_edtRowlen, m_edtYState,
        m_mmoadtext, m_okBtn, m_cancelBtn };
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    m_cbbPortName->setFocus();

    // An editable list keeps Enter to itself; in this dialog Enter means OK
    // from every field but the memo.
    for (QComboBox* box : { m_cbbPortName, m_cbbBandrate }) {
        connect(box->lineEdit(), &QLineEdit::returnPressed, m_okBtn, &QPushButton::click);
    }
    connect(m_okBtn, &QPushButton::clicked, this, [this] { Guarded([this] { OKBtnClick(); }); });
    connect(m_cancelBtn, &QPushButton::clicked, this, [this] { Guarded([this] { CancelBtnClick(); }); });

    Guarded([this] { FormCreate(); });
}

void TOptionForm::FormCreate()
{
    const TOption& options = Options();
    // Port names are ASCII; "usb" stands for the USB entry, which OK then
    // stores in its listed spelling.
    m_cbbPortName->setCurrentIndex(
        EntryOf(m_cbbPortName, TextCodec::FromGbk(options.PortName), Qt::CaseInsensitive));
    m_cbbBandrate->setCurrentIndex(EntryOf(m_cbbBandrate, QString::number(options.Bandrate), Qt::CaseSensitive));
    m_edtBlockNoEdit->setText(QString::number(options.BlockNo));
    m_edtYState->setText(QString::number(options.YState));
    m_edtRowlen->setText(QString::number(options.Rowlen));
    m_mmoadtext->setPlainText(AdLines(options.Adtext).join(QLatin1Char('\n')));
}

TOption TOptionForm::EnteredOptions() const
{
    TOption entered = Options();
    entered.PortName = TextCodec::ToGbk(m_cbbPortName->currentText());
    entered.Bandrate = IntegerOf(m_cbbBandrate->lineEdit());
    entered.BlockNo = IntegerOf(m_edtBlockNoEdit);
    entered.YState = IntegerOf(m_edtYState);
    entered.Rowlen = IntegerOf(m_edtRowlen);
    entered.Adtext = JoinedAdLines(m_mmoadtext->toPlainText());
    return entered;
}

void TOptionForm::OKBtnClick()
{
    const TOption entered = EnteredOptions();
    // Saved before anything changes in memory: the save replaces the file in
    // one step, so when it fails the running program and the file both keep
    // the old settings.
    entered.Save();
    // A card operation reads the options throughout; it sees either the
    // old settings or the new ones, never a mixture.
    DeviceQueue.RunTurn([&] { Options() = entered; });
    ShowNotice(this, QMessageBox::Information, QString::fromUtf8(kRestartNotice));
    accept();
}

void TOptionForm::CancelBtnClick()
{
    reject();
}

void ShowOptionForm()
{
    TOptionForm form;
    CentreOnScreen(&form);
    ExecModal(form);
}
