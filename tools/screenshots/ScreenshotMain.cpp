// Renders the main window and every dialog to PNG files, for the README.
// Usage: member-screenshots <output folder>; run with QT_QPA_PLATFORM=offscreen.

#include "base/ExecutablePath.h"
#include "base/FileDescriptor.h"
#include "base/TextCodec.h"
#include "dialogs/AboutFormUnit.h"
#include "dialogs/ChangePasswordFormUnit.h"
#include "dialogs/CheckPasswordFormUnit.h"
#include "config/SysOptionUnit.h"
#include "dialogs/MemberTestFormUnit.h"
#include "dialogs/OptionFormUnit.h"
#include "member/OptionUnit.h"
#include "host/RCPV11VCDLL.h"
#include "status/ServiceStatus.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "log/LogFileUnit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>

namespace {

void WriteTextFile(const std::string& path, const std::string& text)
{
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text.data(), static_cast<qint64>(text.size()));
    }
}

bool Save(QWidget& window, const QDir& folder, const char* fileName)
{
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(fileName));
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toUtf8().constData());
    window.hide();
    return saved;
}

void Type(QWidget& dialog, const char* field, const char* text)
{
    auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(field));
    edit->setText(QString::fromLatin1(text));
    edit->deselect();
}

// Sends one request to the interface on this machine and reads the answer,
// so the status bar shows requests that really went through.
void Request(uint16_t port, const std::string& request)
{
    const TFileDescriptor fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return;
    }
    const std::string bytes = request + '\0';
    if (send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
        return;
    }
    char buffer[1024];
    while (recv(fd.get(), buffer, sizeof buffer, 0) > 0) {
    }
}

// Whether nothing listens on the port, so the pictures can show the usual one.
bool PortFree(uint16_t port)
{
    const TFileDescriptor fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // As the listener binds: closed connections of an earlier run do not count.
    const int reuse = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Lets the window's timers run for a while.
void Settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: member-screenshots <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // Options and log of a scratch folder; the usual port when it is free,
    // else any free one (port 0), so a running interface is not disturbed.
    const QTemporaryDir scratch;
    SysOption = std::make_unique<TSysOption>(scratch.filePath(QStringLiteral("Option.ini")).toStdString());
    SysOption->MemberPortNo = PortFree(8883) ? 8883 : 0;
    LogFile = std::make_unique<TLogFile>(scratch.filePath(QStringLiteral("screenshots.LOG")).toStdString());
    MemberOption = std::make_unique<TOption>(scratch.filePath(QStringLiteral("Option.ini")).toStdString());
    MemberOption->Adtext = Gbk("欢迎光临 Velmora 酒店|会员消费享八折");

    // The build's printer simulator, copied so its card and fault settings
    // are the scratch folder's.
    const QString simulator = scratch.filePath(QString::fromLatin1(TRCPV11Library::FileName));
    QFile::copy(QString::fromStdString(ExecutableDirectory() + TRCPV11Library::FileName), simulator);
    const std::string printerState = scratch.filePath(QStringLiteral("CardPrinter.ini")).toStdString();
    WriteTextFile(printerState, "[Card]\r\nPresent=1\r\nBlock1=00012345\r\n");
    TRCPV11Library library(simulator.toStdString());
    ServiceStatus().PrinterLibraryChosen(library.IsSimulator() ? TPrinterLibraryKind::Simulator
            : library.Loaded()                                 ? TPrinterLibraryKind::Vendor
                                                               : TPrinterLibraryKind::None,
        QString::fromStdString(library.LoadError()));
    TTRWGII2010DMember device(library);
    device.OpenPort();
    CurrentMemberDevice = &device;

    bool ok = true;
    {
        TMemberServer server;
        TMainForm form(server);
        MainWindow = &form;

        // A few requests: one into a printer that refuses the card face
        // (a long fault), then a read that succeeds, so the fault is past.
        const uint16_t port = static_cast<uint16_t>(ServiceStatus().Snapshot().Port);
        Request(port, R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");
        Request(port,
            R"(<Request type="WriteMemberCard"><RequestID>1</RequestID><CardNo>00012346</CardNo>)"
            R"(<ExpireDate>2027-12-31</ExpireDate><GuestName>张三</GuestName><Score>100</Score></Request>)");
        Request(port,
            R"(<Request type="PrintMemberCard"><RequestID>2</RequestID><CardNo>00012346</CardNo>)"
            R"(<Content>当前消费:100&#10;卡内余额:300</Content></Request>)");
        WriteTextFile(printerState,
            "[Card]\r\nPresent=1\r\nBlock1=00012346\r\n[Faults]\r\nPrintCharacterDataSetting=76\r\n");
        Request(port,
            R"(<Request type="PrintMemberCard"><RequestID>3</RequestID><CardNo>00012346</CardNo>)"
            R"(<Content>当前消费:100&#10;卡内余额:300</Content></Request>)");
        WriteTextFile(printerState, "[Card]\r\nPresent=1\r\nBlock1=00012346\r\n");
        Request(port, R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");
        Settle(1200);
        ok &= Save(form, folder, "main-window.png");
        MainWindow = nullptr;
    }
    CurrentMemberDevice = nullptr;

    TMemberServer server;
    TMainForm form(server);
    MainWindow = &form;

    TCheckPasswordForm prompt(&form);
    Type(prompt, "edtPswd", "qirtal");
    ok &= Save(prompt, folder, "password-prompt.png");

    TChangePasswordForm change(&form);
    Type(change, "edtPswd", "new-pw");
    Type(change, "edtConfirmPswd", "new-pw");
    ok &= Save(change, folder, "change-password.png");

    TAboutForm about;
    ok &= Save(about, folder, "about.png");

    TOptionForm options;
    ok &= Save(options, folder, "options.png");

    TMemberTestForm test;
    Type(test, "CardNoEdit", "12345678");
    ok &= Save(test, folder, "test-dialog.png");

    MainWindow = nullptr;
    return ok ? 0 : 1;
}
