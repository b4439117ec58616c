#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QStatusBar;
class TElidedLabel;
struct TServiceSnapshot;

// The status bar's fields as texts. Each field's text begins with the part
// that is never cut short (ListenerState, PrinterState, RequestCounts); what
// follows it is cut short first when the window is narrow. HttpApiState
// likewise begins HttpApi.
struct TStatusTexts {
    // Listening on which port, or not and why.
    QString Listener;
    // Which printer library drives the printer, whether its port is open,
    // the library's last crash or hang, the printer's last fault.
    QString Printer;
    // Today's answered and failed requests and the last failure.
    QString Requests;
    // The longer story behind Printer (why no library could be loaded).
    QString PrinterTip;
    // Where the HTTP API listens, or why it does not; empty while it is
    // not enabled.
    QString HttpApi;

    QString ListenerState;
    QString HttpApiState;
    QString PrinterState;
    QString RequestCounts;
};

TStatusTexts StatusTexts(const TServiceSnapshot& snapshot);

// Keeps the main window's status bar showing the truth: it reads the
// process-wide service status now and twice a second from then on, so a
// request answered or the day ending shows without anybody asking.
class TStatusPanel : public QObject {
public:
    explicit TStatusPanel(QStatusBar* statusBar);

    void Refresh();

private:
    TElidedLabel* m_listener;
    TElidedLabel* m_httpApi;
    TElidedLabel* m_printer;
    TElidedLabel* m_requests;
    QTimer m_timer;
};
