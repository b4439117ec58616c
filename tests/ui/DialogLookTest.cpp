#include "ui/DialogLook.h"
#include "ui/ErrorGuard.h"

#include <gtest/gtest.h>

#include <QFontInfo>

namespace {

TEST(DialogLookTest, DialogTextIsACjkSansFaceWhereSimSunIsMissing)
{
    const QString family = QFontInfo(DialogFont()).family();
    const QStringList sans { QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK") };
    EXPECT_TRUE(sans.contains(family)) << family.toStdString();
}

TEST(DialogLookTest, UnattendedBoxesBecomeLinesOnStandardErrorAndInTheLogWithoutWaiting)
{
    QStringList logged;
    SetUnattendedMessageLog([&logged](const QString& line) { logged << line; });
    SetMessagesUnattended(true);
    testing::internal::CaptureStderr();
    // A box would wait here for an OK nobody can press.
    ShowNotice(nullptr, QMessageBox::Information, QString::fromUtf8("请重新启动程序,以启用设置的参数！"));
    SetApplicationTitle(QString::fromUtf8("Velmora会员卡接口"));
    ShowErrorBox(QStringLiteral("Could not bind socket. Address and port are already in use."));
    const std::string err = testing::internal::GetCapturedStderr();
    SetMessagesUnattended(false);
    SetUnattendedMessageLog(nullptr);

    const QStringList lines { QString::fromUtf8("提示: 请重新启动程序,以启用设置的参数！"),
        QString::fromUtf8("Velmora会员卡接口: Could not bind socket. Address and port are already in use.") };
    EXPECT_EQ(logged, lines);
    EXPECT_EQ(err, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toStdString());
}

} // namespace
