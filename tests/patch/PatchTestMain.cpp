// main() of the patch tests: a widget application on the offscreen platform, message boxes
// scripted, and no desktop entries of this machine in sight.
#include "PatchMsg.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // An installed package must not be what a test finds.
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", (xdg.path() + "/home").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (xdg.path() + "/dirs").toLocal8Bit());
    QApplication app(argc, argv);
    patch::PatchMsg::SetScripted(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
