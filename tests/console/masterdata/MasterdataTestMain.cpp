// main() of the master-data tests: a widget application on the offscreen platform, a settings
// store in a temporary folder, scripted message boxes and a stand-in main window with the title
// strip, so that the screens' mode captions and the busy flag have somewhere to go.
#include "MsgBox.h"
#include "Public.h"
#include "clSettingInfo.h"
#include "frmSubTitle.h"

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
    clSettingInfo settings(QStringLiteral("Kavrin Manager"));
    SetSettings(&settings);
    QWidget main;
    new frmSubTitle(&main);
    SetMainWindow(&main);
    MsgBox::SetScripted(true);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    SetSettings(nullptr);
    SetMainWindow(nullptr);
    return rc;
}
