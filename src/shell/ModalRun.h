#pragma once

#include "shell/ShutdownSignals.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

class TMainForm;

// The modal run of the main window. It ends when the window closes after a
// passed close check, or when the operating system ends the program: SIGTERM
// or SIGINT, or the application's quit at the end of a desktop session. The
// latter skip the password prompt and dismiss any dialog still open, and from
// then on errors go to standard error, since nobody is left to answer a box.
class TModalRun : public QObject {
public:
    TModalRun();
    ~TModalRun() override;

    // Shows the window and returns when its run has ended, at once when the
    // operating system already asked the program to end.
    void Exec(TMainForm& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EndBySystem();
    static void DismissDialogs();

    QEventLoop m_loop;
    TShutdownSignals m_signals;
    // Dismisses dialogs that open while the nested event loops unwind.
    QTimer m_dismissTimer;
    bool m_endedBySystem = false;
};
