#pragma once

#include "base/Asio.h"
#include "base/InfoSink.h"

#include <QMainWindow>

#include <memory>
#include <string>

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
class TClientConnection;
class THttpListener;
class TRequestListener;
class TStatusPanel;

// The operator's view of the interface server: log pane, menu, tool bar and
// a status bar that shows whether it serves. It owns the request listener,
// which therefore serves exactly as long as the window exists, and every way
// of closing it asks for the administrator password.
class TMainForm : public QMainWindow, public TInfoSink {
    Q_OBJECT

public:
    TMainForm();
    ~TMainForm() override;

    // InfoMemo, the log pane.
    void AppendLine(const QString& line) override;

    // The close check: the administrator password prompt. True when the
    // window may close (or a desktop session may end).
    bool CloseCheckPassed();

    // The request listener is accepting connections.
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
    void StartHttpListener();
    void StopListener();
    void StopHttpListener();
    // Runs on the listener's I/O thread, one coroutine per connection.
    asio::awaitable<void> TCPServerExecute(TClientConnection& connection, std::string requestLine);

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

    std::unique_ptr<TRequestListener> m_listener;
    std::unique_ptr<THttpListener> m_httpListener;
};

// The main window while it exists; owner of the password dialogs.
extern TMainForm* MainWindow;

// Runs the member-card interface: sets the interface kind and the current
// device (when device is not null), then shows the main window until it
// closes after a passed close check, or until the operating system ends the
// program. Returns once the window has been destroyed and the listener
// stopped. A run nobody can watch (messages unattended) whose listener could
// not start ends at once: it would serve nothing and tell nobody.
void RunMemberInterface(QApplication& application, TBaseMember* device);
