// main() of the card reading tests: a private namespace for pcscd first (while the process has
// one thread), then a widget application on the offscreen platform.
#include "CardTestEnv.h"
#include "MsgBox.h"
#include "clSettingInfo.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    const std::string ns = cardtest::EnterPrivateNamespace();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir store;
    clSettingInfo::SetStoreFolder(store.path());
    MsgBox::SetScripted(true);
    ::testing::InitGoogleTest(&argc, argv);
    if (!ns.empty())
        std::fprintf(stderr, "pcscd tests will be skipped: %s\n", ns.c_str());
    return RUN_ALL_TESTS();
}
