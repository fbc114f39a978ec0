// What both services stand on: their own database connection, the service control row, the
// single-instance lock and the gate library loader.

#include "GateLibLoader.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SingleInstance.h"
#include "SrvCtrl.h"
#include "TestSite.h"

#include <gtest/gtest.h>

using namespace orvel;

TEST(SrvCtrl, AnswersOnlyAPendingRequestOfItsOwnRow)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    ServiceDb db(QStringLiteral("svc"));
    ASSERT_TRUE(db.Open());
    SrvCtrl harvester(db, srv::Harvester);
    SrvCtrl courier(db, srv::Courier);

    SrvRequest req;
    EXPECT_FALSE(harvester.Pending(&req)); // req_cmd 0 is no request
    EXPECT_FALSE(harvester.Answer(srv::ResultRunning, QStringLiteral("稼動中")));

    site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = 198, result = 0, res_detail = '', req_arg1 = 'a1' "
                             "WHERE server_id = 1"));
    ASSERT_TRUE(harvester.Pending(&req));
    EXPECT_EQ(req.reqCmd, 198);
    EXPECT_EQ(req.arg1, QStringLiteral("a1"));
    EXPECT_FALSE(courier.Pending(&req));

    EXPECT_TRUE(harvester.AnswerWithGate(srv::ResultGateError, QStringLiteral("<<< Device ERROR-[127.0.0.2] >>>"),
                                         QStringLiteral("00001"), QStringLiteral("O'Hare gate")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT result || '|' || res_detail || '|' || req_arg1 || '|' || req_arg2 || "
                                        "'|' || req_cmd FROM t_srv_ctrl WHERE server_id = 1")),
              QStringLiteral("2|<<< Device ERROR-[127.0.0.2] >>>|00001|O'Hare gate|198"));
    // Answered: nothing is pending any more, and a second answer writes nothing.
    EXPECT_FALSE(harvester.Pending(&req));
    EXPECT_FALSE(harvester.Answer(srv::ResultRunning, QStringLiteral("稼動中")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT result FROM t_srv_ctrl WHERE server_id = 1")), QStringLiteral("2"));

    EXPECT_FALSE(db.Exec(QStringLiteral("UPDATE no_table SET x = 1")));
    EXPECT_FALSE(db.LastError().isEmpty());
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstIsGone)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    auto first = std::make_unique<SingleInstance>(QStringLiteral("Courier_Started"));
    ASSERT_TRUE(first->TryAcquire());
    SingleInstance second(QStringLiteral("Courier_Started"));
    EXPECT_FALSE(second.TryAcquire());
    SingleInstance other(QStringLiteral("Harvester_Started"));
    EXPECT_TRUE(other.TryAcquire());
    first.reset();
    EXPECT_TRUE(second.TryAcquire());
}

TEST(GateLibLoader, ResolvesEveryEntryPointOrNamesTheMissingOne)
{
    GateLibLoader tcp;
    ASSERT_TRUE(tcp.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("tcp_"))) << tcp.LoadError().toStdString();
    EXPECT_NE(tcp.Fn().DeleteAllUnassignUserId, nullptr);
    GateLibLoader serial;
    EXPECT_TRUE(serial.Load(QStringLiteral("libhostcom.so"), QStringLiteral("serial_")));

    GateLibLoader missing;
    EXPECT_FALSE(missing.Load(QStringLiteral("libnosuchgate.so"), QStringLiteral("tcp_")));
    EXPECT_EQ(missing.MissingLibrary(), QStringLiteral("libnosuchgate.so"));

    GateLibLoader wrongPrefix;
    EXPECT_FALSE(wrongPrefix.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("serial_")));
    EXPECT_EQ(wrongPrefix.MissingEntry(), QStringLiteral("serial_SetIdStringFormat"));
    EXPECT_FALSE(wrongPrefix.IsLoaded());
}
