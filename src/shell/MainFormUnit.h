#pragma once

#include "base/InfoSink.h"

#include <QMainWindow>

class QAction;
class QActionGroup;
class QApplication;
class QCloseEvent;
class QMenu;
class QPlainTextEdit;
class QSessionManager;
class QStatusBar;
class QToolBar;
class TBaseMember;
class TMemberServer;
class TStatusPanel;

// The operator's view of the interface server: log pane, menu, tool bar and
// a status bar that shows whether it serves. It starts the server while it
// is created and stops it when it is destroyed, so the server serves exactly
// as long as the window exists, and every way of closing it asks for the
// administrator password.
class TMainForm : public QMainWindow, public TInfoSink {
    Q_OBJECT

public:
    explicit TMainForm(TMemberServer& server);
    ~TMainForm() override;

    // InfoMemo, the log pane.
    void AppendLine(const QString& line) override;

    // The close check: the administrator password prompt. True when the
    // window may close (or a desktop session may end).
    bool CloseCheckPassed();

    // The server's member port is accepting connections.
    bool Listening() const;

signals:
    // The window has closed after a passed close check.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildMenu();
    void BuildToolBar();
    void BuildClientArea();

    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(bool& CanClose);
    void OptionActionExecute();
    void TestActionExecute();
    void ChangePasswordActionExecute();
    void AboutActionExecute();
    void ExitActionExecute();
    void CommitData(QSessionManager& manager);

    void StartListener();
    void StopListener();

    QActionGroup* m_actionList = nullptr;
    QAction* m_optionAction = nullptr;
    QAction* m_testAction = nullptr;
    QAction* m_changePasswordAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_exitAction = nullptr;
    QToolBar* m_toolBar = nullptr;
    QPlainTextEdit* m_infoMemo = nullptr;
    QStatusBar* m_statusBar = nullptr;
    TStatusPanel* m_statusPanel = nullptr;

    TMemberServer& m_server;
};

// The main window while it exists; owner of the password dialogs.
extern TMainForm* MainWindow;

// Runs the member-card interface: sets the interface kind and the current
// device (when device is not null), then shows the main window, which
// starts server, until it closes after a passed close check, or until the
// operating system ends the program. Returns once the window has been
// destroyed and the server stopped.
void RunMemberInterface(QApplication& application, TMemberServer& server, TBaseMember* device);
