#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

// Drives modal dialogs from inside the event loop that shows them. Steps run
// in order: each waits until the active modal widget has the step's window
// title, then acts on it from a queued call, so the action may itself open a
// nested dialog while the poller keeps running. Arm the step for a nested
// message box before the step whose click opens it.
//
// The driver lives on the test's stack and its timers are its children, so
// nothing polls after the test. After the time-out every modal window is
// dismissed, so a dialog that never came (or never went) fails the test
// instead of hanging it.
class TModalDriver : public QObject {
public:
    using TAction = std::function<void(QWidget* dialog)>;

    explicit TModalDriver(int timeoutMs = 15000);

    void Expect(const QString& windowTitle, TAction action);

    // Every expected step has run and the time-out did not strike.
    bool Done() const { return m_steps.empty() && !m_timedOut; }
    bool TimedOut() const { return m_timedOut; }

private:
    struct TStep {
        QString title;
        TAction action;
    };

    void Poll();
    static void DismissModalWindows();

    std::deque<TStep> m_steps;
    QTimer m_poller;
    QTimer m_timeout;
    bool m_acting = false;
    bool m_timedOut = false;
};

// Helpers for actions.
QWidget* Child(QWidget* dialog, const char* objectName);
// Types text into the named field after clearing it.
void TypeInto(QWidget* dialog, const char* fieldName, const QString& text);
void Click(QWidget* dialog, const char* buttonName);
// Clicks the only button of a message box.
void AcknowledgeBox(QWidget* box);

// What a message box showed.
struct TBoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// An action that records the message box it finds and acknowledges it.
TModalDriver::TAction Acknowledge(TBoxSeen& seen);

// The objectName of the dialog's control that holds the keyboard focus.
QString FocusedControl(QWidget* dialog);

// Opens the dialog titled windowTitle with show, and records the control
// with the focus when it opens and after each of stops presses of Tab;
// Escape then closes it.
QStringList TabOrder(const QString& windowTitle, int stops, const std::function<void()>& show);
