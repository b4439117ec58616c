#include "member/DeviceQueue.h"

#include <gtest/gtest.h>

#include <QApplication>

// Widget tests need an application object; they always run without a display.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int result = RUN_ALL_TESTS();
    // While Qt's globals live, as the program does.
    DeviceQueue.EndThread();
    return result;
}
