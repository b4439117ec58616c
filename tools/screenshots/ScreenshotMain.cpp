// Renders the main window and every dialog to PNG files, for the README.
// Usage: member-screenshots <output folder>; run with QT_QPA_PLATFORM=offscreen.

#include "base/TextCodec.h"
#include "config/AboutFormUnit.h"
#include "config/ChangePasswordFormUnit.h"
#include "config/CheckPasswordFormUnit.h"
#include "config/SysOptionUnit.h"
#include "member/MemberTestFormUnit.h"
#include "member/OptionFormUnit.h"
#include "member/OptionUnit.h"
#include "shell/MainFormUnit.h"
#include "shell/log/LogFileUnit.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>

namespace {

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

    // Options and log of a scratch folder; port 0 lets the listener take any
    // free port, so a running interface is not disturbed.
    const QTemporaryDir scratch;
    SysOption = std::make_unique<TSysOption>(scratch.filePath(QStringLiteral("Option.ini")).toStdString());
    SysOption->MemberPortNo = 0;
    LogFile = std::make_unique<TLogFile>(scratch.filePath(QStringLiteral("screenshots.LOG")).toStdString());
    MemberOption = std::make_unique<TOption>(scratch.filePath(QStringLiteral("Option.ini")).toStdString());
    MemberOption->Adtext = Gbk("欢迎光临 Velmora 酒店|会员消费享八折");

    bool ok = true;
    TMainForm form;
    MainWindow = &form;
    ok &= Save(form, folder, "main-window.png");

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
