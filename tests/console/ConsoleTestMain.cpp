// main() of the console tests: a widget application on the offscreen platform, the per-user
// settings store moved to a temporary folder, and message boxes scripted.
#include "MsgBox.h"
#include "clSettingInfo.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir store;
    clSettingInfo::SetStoreFolder(store.path());
    MsgBox::SetScripted(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
