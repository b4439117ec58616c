// Renders the member options dialog and the member test dialog to PNG files
// for the README. Usage: member-dialog-screenshots <output folder>; run with
// QT_QPA_PLATFORM=offscreen.

#include "member/MemberTestFormUnit.h"
#include "member/OptionFormUnit.h"
#include "member/OptionUnit.h"
#include "shell/TextCodec.h"

#include <QApplication>
#include <QComboBox>
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: member-dialog-screenshots <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // Settings of a scratch folder, with advertising lines to show.
    const QTemporaryDir scratch;
    MemberOption = std::make_unique<TOption>(scratch.filePath(QStringLiteral("Option.ini")).toStdString());
    MemberOption->Adtext = Gbk("欢迎光临 Velmora 酒店|会员消费享八折");

    bool ok = true;
    TOptionForm options;
    ok &= Save(options, folder, "OptionForm.png");

    TMemberTestForm test;
    test.findChild<QLineEdit*>(QStringLiteral("CardNoEdit"))->setText(QStringLiteral("12345678"));
    ok &= Save(test, folder, "MemberTestForm.png");

    MemberOption.reset();
    return ok ? 0 : 1;
}
