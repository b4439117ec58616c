#include "shell/MainFormUnit.h"

#include "base/FormatSettings.h"
#include "base/InterfaceKind.h"
#include "dialogs/AboutFormUnit.h"
#include "dialogs/ChangePasswordFormUnit.h"
#include "dialogs/CheckPasswordFormUnit.h"
#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "dialogs/MemberTestFormUnit.h"
#include "status/ServiceStatus.h"
#include "resources/Artwork.h"
#include "server/MemberServer.h"
#include "shell/ModalRun.h"
#include "shell/ServiceAnnouncement.h"
#include "shell/ShutdownSignals.h"
#include "shell/StatusPanel.h"
#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TMainForm* MainWindow = nullptr;

namespace {

constexpr int kClientWidth = 857;
constexpr int kClientHeight = 442;
constexpr int kToolBarHeight = 25;
constexpr int kStatusBarHeight = 21;
constexpr int kMemoHeight = 401;
constexpr int kToolSeparatorWidth = 8;

// ImageList: the command images by index.
const char* const kImageList[] = { "option.png", "password.png", "about.png", "exit.png" };
enum { imgOption = 0, imgChangePassword = 1, imgAbout = 2, imgExit = 3, imgNone = -1 };

QAction* NewAction(QActionGroup* list, const char* objectName, const char* caption, int imageIndex)
{
    auto* action = new QAction(QString::fromUtf8(caption), list);
    action->setObjectName(QString::fromLatin1(objectName));
    if (imageIndex != imgNone) {
        action->setIcon(QIcon(Artwork(kImageList[imageIndex])));
    }
    return action;
}

// A menu entry of its own name that runs the command it stands for.
void AddMenuItem(QMenu* menu, const char* objectName, QAction* command)
{
    QAction* item = menu->addAction(command->icon(), command->text());
    item->setObjectName(QString::fromLatin1(objectName));
    QObject::connect(item, &QAction::triggered, command, &QAction::trigger);
}

void AddToolButton(QToolBar* toolBar, const char* objectName, QAction* command)
{
    toolBar->addAction(command);
    toolBar->widgetForAction(command)->setObjectName(QString::fromLatin1(objectName));
}

void AddToolSeparator(QToolBar* toolBar, const char* objectName)
{
    QAction* separator = toolBar->addSeparator();
    separator->setObjectName(QString::fromLatin1(objectName));
    QWidget* widget = toolBar->widgetForAction(separator);
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setFixedWidth(kToolSeparatorWidth);
}

} // namespace

TMainForm::TMainForm(TMemberServer& server)
    : m_server(server)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(QIcon(Artwork("app.png")));
    BuildActions();
    BuildMenu();
    BuildToolBar();
    BuildClientArea();
    resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);

    Guarded([this] { FormCreate(); });
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TMainForm::CommitData);
}

TMainForm::~TMainForm()
{
    Guarded([this] { FormDestroy(); });
    // A server whose stop timed out still serves; it is stopped once more,
    // and waited for again, before the window goes.
    m_server.EndServing();
}

void TMainForm::BuildActions()
{
    m_actionList = new QActionGroup(this);
    m_actionList->setObjectName(QStringLiteral("ActionList"));
    m_actionList->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);

    m_optionAction = NewAction(m_actionList, "OptionAction", "选项(&O)...", imgOption);
    m_testAction = NewAction(m_actionList, "TestAction", "测试(&T)", imgNone);
    m_changePasswordAction
        = NewAction(m_actionList, "ChangePasswordAction", "更改管理员密码(&C)", imgChangePassword);
    m_aboutAction = NewAction(m_actionList, "AboutAction", "关于(&A)...", imgAbout);
    m_exitAction = NewAction(m_actionList, "ExitAction", "退出(&X)", imgExit);

    const auto guard = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    guard(m_optionAction, &TMainForm::OptionActionExecute);
    guard(m_testAction, &TMainForm::TestActionExecute);
    guard(m_changePasswordAction, &TMainForm::ChangePasswordActionExecute);
    guard(m_aboutAction, &TMainForm::AboutActionExecute);
    guard(m_exitAction, &TMainForm::ExitActionExecute);
}

void TMainForm::BuildMenu()
{
    auto* mainMenu = new QMenuBar(this);
    mainMenu->setObjectName(QStringLiteral("MainMenu"));
    setMenuBar(mainMenu);

    QMenu* fileMenu = mainMenu->addMenu(QString::fromUtf8("文件(&F)"));
    fileMenu->setObjectName(QStringLiteral("FileMenu"));
    AddMenuItem(fileMenu, "ExitMenuItem", m_exitAction);

    QMenu* toolMenu = mainMenu->addMenu(QString::fromUtf8("工具(&T)"));
    toolMenu->setObjectName(QStringLiteral("ToolMenu"));
    AddMenuItem(toolMenu, "OptionMenuItem", m_optionAction);
    AddMenuItem(toolMenu, "T1", m_testAction);
    toolMenu->addSeparator()->setObjectName(QStringLiteral("N1"));
    AddMenuItem(toolMenu, "ChangePasswordMenuItem", m_changePasswordAction);

    QMenu* helpMenu = mainMenu->addMenu(QString::fromUtf8("帮助(&H)"));
    helpMenu->setObjectName(QStringLiteral("HelpMenu"));
    AddMenuItem(helpMenu, "AboutMenuItem", m_aboutAction);
}

void TMainForm::BuildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setFixedHeight(kToolBarHeight);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    // Keeps the tool bar out of the window's context menu, so it cannot be hidden.
    m_toolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    AddToolButton(m_toolBar, "OptionButton", m_optionAction);
    AddToolButton(m_toolBar, "ChangePasswordButton", m_changePasswordAction);
    AddToolSeparator(m_toolBar, "ToolButton1");
    AddToolButton(m_toolBar, "HelpButton", m_aboutAction);
    AddToolSeparator(m_toolBar, "ToolButton2");
    AddToolButton(m_toolBar, "ExitButton", m_exitAction);
}

void TMainForm::BuildClientArea()
{
    // The log pane fills the client area and follows the window's size.
    auto* client = new QWidget(this);
    m_infoMemo = new QPlainTextEdit(client);
    m_infoMemo->setObjectName(QStringLiteral("InfoMemo"));
    // Only the program writes here: a typed line would read as one it
    // logged. Its lines can still be selected and copied.
    m_infoMemo->setReadOnly(true);
    m_infoMemo->resize(kClientWidth, kMemoHeight);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_infoMemo);
    m_infoMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_infoMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_infoMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(client);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setFixedHeight(kStatusBarHeight);
    m_statusBar->setSizeGripEnabled(false);
    setStatusBar(m_statusBar);
    m_statusPanel = new TStatusPanel(m_statusBar);
}

void TMainForm::AppendLine(const QString& line)
{
    m_infoMemo->appendPlainText(line);
}

bool TMainForm::CloseCheckPassed()
{
    bool CanClose = false;
    Guarded([this, &CanClose] { FormCloseQuery(CanClose); });
    return CanClose;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!CloseCheckPassed()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void TMainForm::FormCreate()
{
    FormatSettings::Fix();
    SetApplicationTitle(InterfaceTitle());
    setWindowTitle(InterfaceTitle());
    StartListener();
}

void TMainForm::FormDestroy()
{
    StopListener();
}

void TMainForm::FormCloseQuery(bool& CanClose)
{
    CanClose = CheckAdminPassword(this);
}

void TMainForm::OptionActionExecute()
{
    if (CheckAdminPassword(this) && InterfaceKind == ikMember && CurrentMemberDevice != nullptr) {
        CurrentMemberDevice->ShowOptions();
    }
}

void TMainForm::TestActionExecute()
{
    if (InterfaceKind == ikMember && CurrentMemberDevice != nullptr) {
        ShowMemberTestDialog();
    }
}

void TMainForm::ChangePasswordActionExecute()
{
    if (CheckAdminPassword(this)) {
        ChangeAdminPassword(this);
    }
}

void TMainForm::AboutActionExecute()
{
    ShowAboutBox();
}

void TMainForm::ExitActionExecute()
{
    close();
}

void TMainForm::CommitData(QSessionManager& manager)
{
    // Without leave to interact the session ends whatever the answer; the
    // run then ends through the application's quit, without a prompt.
    if (manager.allowsInteraction() && !CloseCheckPassed()) {
        manager.cancel();
    }
}

void TMainForm::StartListener()
{
    // The status bar shows a failed bind too, before its error leaves
    // FormCreate for the error box.
    try {
        m_server.Start(SysOption->MemberPortNo, this);
    } catch (...) {
        m_statusPanel->Refresh();
        throw;
    }
    m_statusPanel->Refresh();
}

void TMainForm::StopListener()
{
    m_server.Stop();
}

bool TMainForm::Listening() const
{
    return m_server.Listening();
}

namespace {

// Owns the main window for one run; the window is destroyed, and with it the
// listener stopped, also when an error leaves the run.
class TMainWindowScope {
public:
    explicit TMainWindowScope(TMemberServer& server)
        : m_form(std::make_unique<TMainForm>(server))
    {
        MainWindow = m_form.get();
    }
    ~TMainWindowScope()
    {
        m_form.reset();
        MainWindow = nullptr;
    }
    TMainWindowScope(const TMainWindowScope&) = delete;
    TMainWindowScope& operator=(const TMainWindowScope&) = delete;

    TMainForm& Form() { return *m_form; }

private:
    std::unique_ptr<TMainForm> m_form;
};

} // namespace

void RunMemberInterface(QApplication& application, TMemberServer& server, TBaseMember* device)
{
    InterfaceKind = ikMember;
    if (device != nullptr) {
        CurrentMemberDevice = device;
    }
    // The run ends by the main window's close check or the operating system,
    // never because some dialog happened to be the last window to close.
    application.setQuitOnLastWindowClosed(false);

    // Listening for the operating system's end before the window exists, so
    // an error box shown while the window is created cannot hold the
    // program.
    TModalRun run;
    TMainWindowScope window(server);
    if (server.Listening()) {
        AnnounceServing();
    }
    CentreOnScreen(&window.Form());
    run.Exec(window.Form());
    const std::string request = LastShutdownRequest();
    AnnounceStopping(request.empty() ? "window closed" : request);
}
