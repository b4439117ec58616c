#include "shell/ModalRun.h"

#include "shell/MainFormUnit.h"
#include "ui/DialogLook.h"

#include <QApplication>
#include <QDialog>

namespace {
constexpr int kDismissIntervalMs = 50;
} // namespace

TModalRun::TModalRun()
{
    connect(&m_signals, &TShutdownSignals::Received, this, &TModalRun::EndBySystem);
    m_dismissTimer.setInterval(kDismissIntervalMs);
    connect(&m_dismissTimer, &QTimer::timeout, this, &TModalRun::DismissDialogs);
    qApp->installEventFilter(this);
}

TModalRun::~TModalRun()
{
    qApp->removeEventFilter(this);
}

void TModalRun::Exec(TMainForm& form)
{
    if (m_endedBySystem) {
        return;
    }
    connect(&form, &TMainForm::Closed, &m_loop, &QEventLoop::quit);
    form.show();
    form.activateWindow();
    m_loop.exec();
    form.hide();
}

bool TModalRun::eventFilter(QObject* watched, QEvent* event)
{
    // The session manager ends a session whose close check has passed (or
    // that did not let us ask) with the application's quit. Taken here, it
    // ends the run without the application closing windows on its own,
    // which would ask for the password a second time.
    if (watched == qApp && event->type() == QEvent::Quit) {
        EndBySystem();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TModalRun::EndBySystem()
{
    if (m_endedBySystem) {
        return;
    }
    m_endedBySystem = true;
    SetMessagesUnattended(true);
    DismissDialogs();
    m_dismissTimer.start();
    m_loop.quit();
}

void TModalRun::DismissDialogs()
{
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
}
