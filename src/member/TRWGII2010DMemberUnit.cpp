#include "member/TRWGII2010DMemberUnit.h"

#include "base/TextCodec.h"
#include "member/CardFaceLayout.h"
#include "member/OptionUnit.h"
#include "log/LogFileUnit.h"
#include "log/ServiceJournal.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"

#include <array>
#include <cstring>
#include <map>

namespace {

constexpr int32_t kSuccess = 32;
// The status of a call on a port that is not open (串口句柄为空).
constexpr int32_t kNoPortHandle = 1;
// The last argument of every card and print call.
constexpr int32_t kTimeout = 15;
constexpr int32_t kEjectMode = 1;
constexpr int32_t kRfidMode = 0;
constexpr int32_t kTextX = 0;
constexpr int32_t kContentY = 23;
// The block's access key; the printer knows no other.
constexpr const char* kAccessKey = "A3B19C07E2D4";
// Far more than one RFID block (16 bytes and a zero byte), so a library that
// writes the block in some longer form still stays inside the buffer.
constexpr size_t kReadBufferSize = 256;

struct TTexts {
    std::string PortOpened = Gbk("打开串口成功.");
    std::string PortOpenFailed = Gbk("打开串口失败.");
    std::string PortClosed = Gbk("串口关闭成功.");
    std::string PortCloseFailed = Gbk("串口关闭失败.");
    std::string ResetOk = Gbk("复位成功.");
    std::string ResetFailed = Gbk("复位失败.");
    std::string CardInFailed = Gbk("进卡失败:");
    std::string CardOutFailed = Gbk("出卡失败:");
    std::string CardOutAgain = Gbk("打印机库进程在出卡时结束,新进程再次出卡.");
    std::string CardLeft = Gbk("卡片留在打印机内:再次出卡也失败.");
    std::string WriteOk = Gbk("写数据块成功.卡号:");
    std::string WriteFailed = Gbk("写数据块失败:");
    std::string ReadOk = Gbk("读卡成功.卡号:");
    std::string ReadFailed = Gbk("读卡失败:");
    std::string ClearFailed = Gbk("清除缓存数据失败:");
    std::string SendFailed = Gbk("发送文本失败:");
    std::string PrintOk = Gbk("擦除打印成功.");
    std::string PrintFailed = Gbk("擦除打印失败:");
    std::string NoLibrary = Gbk("打印机库未加载: ");
};

const TTexts& Texts()
{
    static const TTexts texts;
    return texts;
}

const std::map<int32_t, std::string>& StatusTexts()
{
    static const std::map<int32_t, std::string> texts = {
        {1, Gbk("串口句柄为空")},
        {2, Gbk("等待命令回复超时")},
        {3, Gbk("等待操作结果超时")},
        {4, Gbk("操作结果格式错误")},
        {32, Gbk("操作成功！")},
        {34, "No target card(only when using a no card status command)C"},
        {35, "No magnetic stripe(when inserted backward) or other error C"},
        {49, "Parity Error B"},
        {50, "No start code/end code B"},
        {51, "LRC Error B"},
        {52, "Erroneous character B"},
        {55, "Magnetic stripe writing error B"},
        {56, "Card jam B"},
        {64, "Cover open B"},
        {65, Gbk("命令无效 C")},
        {66, "Cam motor error A"},
        {67, "Erase head temperature error A"},
        {69, "EEPROM error A"},
        {76, "Non-compatible BMP file data C"},
        {81, "Expand buffer overflow"},
    };
    return texts;
}

// The settings as they are now; the defaults when none were loaded.
const TOption& Options()
{
    static const TOption defaults("");
    return MemberOption ? *MemberOption : defaults;
}

void Log(const std::string& text)
{
    if (LogFile) {
        LogFile->WriteLine(text);
    }
}

// A line that ends in what the client sent or the card holds.
void Log(const std::string& text, const std::string& value)
{
    if (LogFile) {
        LogFile->WriteLine(text, value);
    }
}

TPrinterStep StepOf(TPrinterFunction function)
{
    switch (function) {
    case TPrinterFunction::CardInOver:
        return TPrinterStep::CardIn;
    case TPrinterFunction::RfidCardRequestAndWriteData:
        return TPrinterStep::Write;
    case TPrinterFunction::RfidCardRequestAndReadData:
        return TPrinterStep::Read;
    case TPrinterFunction::PrintBufferClear:
    case TPrinterFunction::PrintCharacterDataSetting:
    case TPrinterFunction::ErasePrintDischarge:
        return TPrinterStep::Print;
    case TPrinterFunction::Dischange:
        return TPrinterStep::Eject;
    case TPrinterFunction::CommOpen:
    case TPrinterFunction::CommClose:
    case TPrinterFunction::Reset:
        break;
    }
    return TPrinterStep::Open;
}

std::function<void()>& OptionsDialog()
{
    static std::function<void()> show;
    return show;
}

} // namespace

void SetOptionsDialog(std::function<void()> show)
{
    OptionsDialog() = std::move(show);
}

TTRWGII2010DMember::TTRWGII2010DMember(TCardPrinterLibrary& library)
    : m_library(library)
{
}

TTRWGII2010DMember::~TTRWGII2010DMember() = default;

void TTRWGII2010DMember::Fault(TPrinterFunction function, const std::string& text, int32_t status, TPrinterFaultKind kind)
{
    Log(text);
    if (kind == TPrinterFaultKind::Printer && status == kNoPortHandle) {
        kind = TPrinterFaultKind::PortClosed;
    }
    CountFault(function, kind);
    TPrinterFault fault {StepOf(function), kind, status, StatusText(status), text};
    ServiceStatus().PrinterFault(PrinterHost::FunctionName(function), text);
    ServiceJournal().Line(TJournalPriority::Warning, "printer fault", "printer fault: " + TextCodec::GbkToUtf8(text));
    if (!m_transactionFault) {
        m_transactionFault = std::move(fault);
    }
}

void TTRWGII2010DMember::CountFault(TPrinterFunction function, TPrinterFaultKind kind)
{
    // The library's crashes and hangs are counted as restarts of its host;
    // the function they happened in did not fail on the printer.
    if (kind != TPrinterFaultKind::LibraryCrash && kind != TPrinterFaultKind::LibraryHang) {
        ServiceMetrics().PrinterFault(function);
    }
}

void TTRWGII2010DMember::ShowOptions()
{
    if (OptionsDialog()) {
        OptionsDialog()();
    }
}

bool TTRWGII2010DMember::OpenPort()
{
    m_transactionFault.reset();
    const TOption& options = Options();
    if (m_portOpen) {
        // A serial port opens only once: opening it again without closing
        // would fail and lose the handle of the port that is still open.
        m_library.CommClose(m_handle);
        m_portOpen = false;
    }
    const bool usb = options.PortName == "USB";
    m_handle = m_library.CommOpen(options.PortNumber(), usb ? 0 : options.Bandrate);
    m_portOpen = m_handle != 0;
    if (m_portOpen) {
        Log(Texts().PortOpened);
        ServiceStatus().PrinterSucceeded();
    } else {
        // The line below and the card steps' "串口句柄为空" read like a
        // cable fault; without a library the cause is elsewhere.
        const std::string why = m_library.LoadError();
        // No status but the missing handle comes back.
        Fault(TPrinterFunction::CommOpen, Texts().PortOpenFailed, 0,
            why.empty() ? TPrinterFaultKind::Printer : TPrinterFaultKind::NoLibrary);
        if (!why.empty()) {
            Log(Texts().NoLibrary + TextCodec::ToGbk(QString::fromStdString(why)));
        }
    }
    ServiceStatus().PrinterPortChanged(m_portOpen);
    return m_portOpen;
}

bool TTRWGII2010DMember::ClosePort()
{
    m_transactionFault.reset();
    const int32_t result = m_library.CommClose(m_handle);
    if ((result & 0xFF) == 0) {
        Fault(TPrinterFunction::CommClose, Texts().PortCloseFailed, result);
        return false;
    }
    m_portOpen = false;
    ServiceStatus().PrinterPortChanged(false);
    Log(Texts().PortClosed);
    Beep();
    return true;
}

bool TTRWGII2010DMember::ResetDevice()
{
    m_transactionFault.reset();
    const int32_t status = m_library.Reset(m_handle, kTimeout);
    const bool ok = status == kSuccess;
    if (ok) {
        Log(Texts().ResetOk);
    } else {
        Fault(TPrinterFunction::Reset, Texts().ResetFailed, status, m_library.LastCallFault());
    }
    return ok;
}

void TTRWGII2010DMember::Beep()
{
    // The printer has no sound of its own to make.
}

bool TTRWGII2010DMember::WriteCard(std::string CardNo, std::string, std::string, std::string, int32_t)
{
    m_transactionFault.reset();
    const TTexts& t = Texts();
    const TTransactionTimer timer;
    bool ok = false;
    const int32_t cardIn = m_library.CardInOver(m_handle, kTimeout);
    if (cardIn != kSuccess) {
        Fault(TPrinterFunction::CardInOver, t.CardInFailed + StatusText(cardIn), cardIn, m_library.LastCallFault());
    } else {
        const int32_t status = m_library.RfidCardRequestAndWriteData(
            m_handle, Options().BlockNo, kRfidMode, kAccessKey, CardNo.c_str(), kTimeout);
        ok = status == kSuccess;
        if (ok) {
            Beep();
            Log(t.WriteOk, CardNo);
            ServiceStatus().PrinterSucceeded();
        } else {
            Fault(TPrinterFunction::RfidCardRequestAndWriteData, t.WriteFailed + StatusText(status), status,
                m_library.LastCallFault());
        }
    }
    EjectCard(!ok);
    return ok;
}

bool TTRWGII2010DMember::ReadCard(bool, std::string& CardNo, std::string& Password, std::string& ExpireDate,
    std::string& GuestName, std::string& Score, int32_t)
{
    m_transactionFault.reset();
    const TTexts& t = Texts();
    CardNo.clear();
    Password.clear();
    ExpireDate.clear();
    GuestName.clear();
    Score.clear();

    const TTransactionTimer timer;
    bool ok = false;
    const int32_t cardIn = m_library.CardInOver(m_handle, kTimeout);
    if (cardIn != kSuccess) {
        Fault(TPrinterFunction::CardInOver, t.CardInFailed + StatusText(cardIn), cardIn, m_library.LastCallFault());
    } else {
        std::array<char, kReadBufferSize> buffer {};
        const int32_t status = m_library.RfidCardRequestAndReadData(
            m_handle, Options().BlockNo, kRfidMode, kAccessKey, buffer.data(), kTimeout);
        ok = status == kSuccess;
        if (ok) {
            Beep();
            CardNo.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
            Log(t.ReadOk, CardNo);
            ServiceStatus().PrinterSucceeded();
        } else {
            Fault(TPrinterFunction::RfidCardRequestAndReadData, t.ReadFailed + StatusText(status), status,
                m_library.LastCallFault());
        }
    }
    EjectCard(!ok);
    return ok;
}

bool TTRWGII2010DMember::PrintCard(std::string, std::string Content)
{
    m_transactionFault.reset();
    const TTexts& t = Texts();
    const TOption& options = Options();
    const TTransactionTimer timer;

    const int32_t cardIn = m_library.CardInOver(m_handle, kTimeout);
    if (cardIn != kSuccess) {
        Fault(TPrinterFunction::CardInOver, t.CardInFailed + StatusText(cardIn), cardIn, m_library.LastCallFault());
        EjectCard(true);
        return false;
    }
    const int32_t cleared = m_library.PrintBufferClear(m_handle, kTimeout);
    if (cleared != kSuccess) {
        Fault(TPrinterFunction::PrintBufferClear, t.ClearFailed + StatusText(cleared), cleared,
            m_library.LastCallFault());
        EjectCard(true);
        return false;
    }

    const std::vector<std::string> lines = CardFaceLayout::SplitContent(Content);
    for (const std::string& line : lines) {
        Log({}, line);
    }
    const std::string text = WrapLines(lines, options.Rowlen);
    const int32_t contentStatus = m_library.PrintCharacterDataSetting(m_handle, options.PrintMode, kTextX, kContentY,
        text.c_str(), static_cast<int32_t>(text.size()), kTimeout);
    // The advertising text's call comes between this one and its fault.
    const TPrinterFaultKind contentKind = m_library.LastCallFault();

    int32_t adStatus = kSuccess;
    const bool withAd = !options.Adtext.empty();
    if (withAd) {
        const std::string ad = CardFaceLayout::AdvertisingText(options.Adtext);
        adStatus = m_library.PrintCharacterDataSetting(m_handle, options.PrintMode, kTextX, options.YState, ad.c_str(),
            static_cast<int32_t>(ad.size()), kTimeout);
    }

    if (contentStatus != kSuccess || adStatus != kSuccess) {
        const bool contentFailed = contentStatus != kSuccess;
        Fault(TPrinterFunction::PrintCharacterDataSetting,
            t.SendFailed + StatusText(contentStatus) + ";" + (withAd ? StatusText(adStatus) : std::string()),
            contentFailed ? contentStatus : adStatus, contentFailed ? contentKind : m_library.LastCallFault());
        EjectCard(true);
        return false;
    }
    // Erases the old face, prints the buffer and ejects the card in one go.
    const int32_t printed = m_library.ErasePrintDischarge(m_handle, 1, 1, 1, kTimeout);
    if (printed != kSuccess) {
        Fault(TPrinterFunction::ErasePrintDischarge, t.PrintFailed + StatusText(printed), printed,
            m_library.LastCallFault());
        return false;
    }
    Log(t.PrintOk);
    ServiceStatus().PrinterSucceeded();
    return true;
}

void TTRWGII2010DMember::EjectCard(bool afterFault)
{
    // Also after a failed step: a card left inside would be the one the
    // next transaction, for another guest, works on.
    int32_t status = m_library.Dischange(m_handle, kEjectMode, kTimeout);
    TPrinterFaultKind kind = m_library.LastCallFault();
    bool ejectedAgain = false;
    if (status != kSuccess && (kind == TPrinterFaultKind::LibraryCrash || kind == TPrinterFaultKind::LibraryHang)) {
        // The library's process went during the eject, not the printer:
        // the card is most likely still inside, where the next guest's
        // transaction would find it. The next call runs on a new process.
        Log(Texts().CardOutAgain);
        status = m_library.Dischange(m_handle, kEjectMode, kTimeout);
        kind = m_library.LastCallFault();
        ejectedAgain = true;
    }
    if (status == kSuccess) {
        ServiceStatus().CardLeftInPrinter(false);
        return;
    }
    const std::string line = Texts().CardOutFailed + StatusText(status);
    // After a failed step the eject often fails as well; the step that
    // failed first is the one worth showing, though both are counted.
    if (afterFault) {
        Log(line);
        CountFault(TPrinterFunction::Dischange, kind);
    } else {
        Fault(TPrinterFunction::Dischange, line, status, kind);
    }
    if (ejectedAgain) {
        Log(Texts().CardLeft);
        ServiceStatus().CardLeftInPrinter(true);
        ServiceJournal().Line(TJournalPriority::Warning, "card left",
            "card left in printer: the eject failed on a new printer host as well; take it out by hand");
    }
}

std::string TTRWGII2010DMember::StatusText(int32_t code)
{
    const auto& texts = StatusTexts();
    const auto found = texts.find(code);
    return found == texts.end() ? std::string() : found->second;
}

std::string TTRWGII2010DMember::WrapLines(const std::vector<std::string>& lines, int32_t width)
{
    return CardFaceLayout::WrapLines(lines, width);
}
