#include "shell/StatusPanel.h"

#include "status/ServiceStatus.h"
#include "ui/DialogLook.h"

#include <QLabel>
#include <QPainter>
#include <QStatusBar>

namespace {

constexpr int kRefreshMs = 500;
constexpr int kMinimumFieldWidth = 40;
constexpr int kFieldPadding = 3;

// A time of today as hh:mm:ss; of another day with its date in front.
QString When(const QDateTime& at, const QDate& today)
{
    if (at.date() == today) {
        return at.toString(QStringLiteral("hh:mm:ss"));
    }
    return at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString ListenerState(const TServiceSnapshot& s)
{
    switch (s.Listener) {
    case TListenerState::Listening:
        return QString::fromUtf8("监听端口 %1").arg(s.Port);
    case TListenerState::Failed:
        return QString::fromUtf8("未监听端口 %1").arg(s.Port);
    case TListenerState::Stopped:
        return QString::fromUtf8("监听已停止");
    case TListenerState::NotStarted:
        break;
    }
    return QString::fromUtf8("监听未启动");
}

QString ListenerText(const TServiceSnapshot& s)
{
    if (s.Listener == TListenerState::Failed) {
        return ListenerState(s) + QString::fromUtf8("：") + s.ListenerError;
    }
    return ListenerState(s);
}

QString HttpApiText(const TServiceSnapshot& s)
{
    switch (s.HttpApi) {
    case THttpApiState::Listening:
        return QString::fromUtf8("HTTP接口 %1").arg(s.HttpApiAddress);
    case THttpApiState::Refused:
        return QString::fromUtf8("HTTP接口未启动：%1").arg(s.HttpApiProblem);
    case THttpApiState::Stopped:
        return QString::fromUtf8("HTTP接口已停止");
    case THttpApiState::Off:
        break;
    }
    return QString();
}

QString PrinterState(const TServiceSnapshot& s)
{
    QString text;
    switch (s.PrinterLibrary) {
    case TPrinterLibraryKind::Vendor:
        text = QString::fromUtf8("打印机：厂商库");
        break;
    case TPrinterLibraryKind::Simulator:
        text = QString::fromUtf8("打印机：模拟器");
        break;
    case TPrinterLibraryKind::VendorWine:
        text = QString::fromUtf8("打印机：厂商库(Wine)");
        break;
    case TPrinterLibraryKind::SimulatorWine:
        text = QString::fromUtf8("打印机：模拟器(Wine)");
        break;
    case TPrinterLibraryKind::None:
        text = QString::fromUtf8("打印机：无打印机库");
        break;
    }
    text += s.PrinterPortOpen ? QString::fromUtf8("，端口已打开") : QString::fromUtf8("，端口未打开");
    // What the health check calls degraded is never cut short.
    if (!s.PrinterHostProblem.isEmpty()) {
        text += QString::fromUtf8("，打印机库进程未运行");
    }
    if (s.CardLeftInPrinter) {
        text += QString::fromUtf8("，卡片留在打印机内");
    }
    if (s.PrinterFaultsInARow >= kFailingPrinterFaults) {
        text += QString::fromUtf8("，连续%1次打印机故障").arg(s.PrinterFaultsInARow);
    }
    return text;
}

QString PrinterText(const TServiceSnapshot& s)
{
    QString text = PrinterState(s);
    if (!s.PrinterHostProblem.isEmpty()) {
        text += QString::fromUtf8("：") + s.PrinterHostProblem;
    }
    // Once a later step succeeded a crash, a hang or a fault is history,
    // and says so.
    if (!s.PrinterLibraryFailedAt.isNull()) {
        QString what = QString::fromUtf8(
            s.PrinterLibraryFailure == TPrinterLibraryFailure::Hung ? "打印机库无响应" : "打印机库崩溃");
        if (s.PrinterLibraryFailurePast) {
            what.prepend(QString::fromUtf8("上次"));
        }
        text += QString::fromUtf8("，%1 %2 %3")
                    .arg(what, When(s.PrinterLibraryFailedAt, s.Today), s.PrinterLibraryFailureDetail);
    }
    if (!s.LastPrinterFaultAt.isNull()) {
        const char* const label = s.LastPrinterFaultPast ? "，上次故障 %1 %2" : "，故障 %1 %2";
        text += QString::fromUtf8(label).arg(When(s.LastPrinterFaultAt, s.Today), s.LastPrinterFault);
    }
    return text;
}

QString RequestCounts(const TServiceSnapshot& s)
{
    return QString::fromUtf8("今日应答 %1 次，失败 %2 次").arg(s.AnsweredToday).arg(s.FailedToday);
}

QString RequestsText(const TServiceSnapshot& s)
{
    QString text = RequestCounts(s);
    if (!s.LastFailureAt.isNull()) {
        text += QString::fromUtf8("，最近失败 %1 %2").arg(When(s.LastFailureAt, s.Today), s.LastFailure);
    }
    return text;
}

} // namespace

// A field as wide as its text while there is room, then cut short with
// "…", down to the part that must always show; the whole text is its tool
// tip. The window keeps its width, whatever a socket error or a printer
// fault says, and the counts stay readable.
class TElidedLabel : public QLabel {
public:
    TElidedLabel(const char* objectName, QWidget* parent)
        : QLabel(parent)
    {
        setObjectName(QString::fromLatin1(objectName));
        // The status bar's classic sunken fields, so the three read apart.
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setContentsMargins(kFieldPadding, 0, kFieldPadding, 0);
    }

    // kept: the beginning of text that is never cut short.
    void SetFullText(const QString& text, const QString& kept, const QString& tip)
    {
        if (kept != m_kept) {
            m_kept = kept;
            updateGeometry();
        }
        if (text != this->text()) {
            setText(text);
        }
        const QString fullTip = tip.isEmpty() ? text : text + QLatin1Char('\n') + tip;
        if (fullTip != toolTip()) {
            setToolTip(fullTip);
        }
    }

    QSize minimumSizeHint() const override
    {
        const QMargins margins = contentsMargins();
        // The kept part with the "…" that follows it when the rest is cut.
        const int kept = m_kept.isEmpty() ? kMinimumFieldWidth
                                          : fontMetrics().horizontalAdvance(m_kept + QChar(0x2026)) + margins.left()
                + margins.right() + 2 * frameWidth();
        return QSize(kept, QLabel::minimumSizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

private:
    QString m_kept;
};

TStatusTexts StatusTexts(const TServiceSnapshot& snapshot)
{
    TStatusTexts texts;
    texts.Listener = ListenerText(snapshot);
    texts.Printer = PrinterText(snapshot);
    texts.Requests = RequestsText(snapshot);
    texts.HttpApi = HttpApiText(snapshot);
    texts.ListenerState = ListenerState(snapshot);
    texts.HttpApiState = snapshot.HttpApi == THttpApiState::Refused ? QString::fromUtf8("HTTP接口未启动") : texts.HttpApi;
    texts.PrinterState = PrinterState(snapshot);
    texts.RequestCounts = RequestCounts(snapshot);
    texts.PrinterTip = snapshot.PrinterLibrary == TPrinterLibraryKind::None ? snapshot.PrinterLibraryError
                                                                             : PrinterLibraryLine(snapshot);
    return texts;
}

TStatusPanel::TStatusPanel(QStatusBar* statusBar)
    : QObject(statusBar)
    , m_listener(new TElidedLabel("ListenerPanel", statusBar))
    , m_httpApi(new TElidedLabel("HttpApiPanel", statusBar))
    , m_printer(new TElidedLabel("PrinterPanel", statusBar))
    , m_requests(new TElidedLabel("RequestsPanel", statusBar))
{
    // The requests' field takes what the others leave.
    statusBar->addWidget(m_listener);
    statusBar->addWidget(m_httpApi);
    statusBar->addWidget(m_printer);
    statusBar->addWidget(m_requests, 1);
    connect(&m_timer, &QTimer::timeout, this, &TStatusPanel::Refresh);
    // Headless, nobody sees the bar: refreshing it would only wake the
    // machine twice a second. Health and /metrics tell the same.
    if (!MessagesUnattended()) {
        m_timer.start(kRefreshMs);
    }
    Refresh();
}

void TStatusPanel::Refresh()
{
    const TStatusTexts texts = StatusTexts(ServiceStatus().Snapshot());
    m_listener->SetFullText(texts.Listener, texts.ListenerState, QString());
    // Shown only where the options enable the API.
    m_httpApi->SetFullText(texts.HttpApi, texts.HttpApiState, QString());
    const bool hidden = texts.HttpApi.isEmpty();
    if (m_httpApi->isHidden() != hidden) {
        m_httpApi->setHidden(hidden);
    }
    m_printer->SetFullText(texts.Printer, texts.PrinterState, texts.PrinterTip);
    m_requests->SetFullText(texts.Requests, texts.RequestCounts, QString());
}
