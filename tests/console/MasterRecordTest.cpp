// The user and gate records and the permit list of the master screens, linked against the
// console's core alone: what the screens show and send is read and written here, without widgets.
#include "TestSite.h"
#include "masterdata/GateRules.h"
#include "masterdata/MasterRules.h"
#include "masterdata/PermitList.h"
#include "rdo_cntl.h"

#include <gtest/gtest.h>

using orvel::test::TestSite;

namespace {

class MasterRecordTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }

    void AddGate(const char *id, const char *ip, int port, int useFlag)
    {
        site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                 "use_flag) VALUES ('%1', 'Z%1', 'G%1', '%2', %3, 1, %4)")
                      .arg(QLatin1String(id), QLatin1String(ip))
                      .arg(port)
                      .arg(useFlag));
    }
    void AddUser(const char *id, const char *card, int authType, int authority)
    {
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, guser_id, gauth_type, "
                                 "gauthority, delete_flag) VALUES ('%1', 'U%1', 'u', '00000', '%2', %3, %4, 0)")
                      .arg(QLatin1String(id), QLatin1String(card))
                      .arg(authType)
                      .arg(authority));
    }
    void AddPermit(const char *user, const char *gate, int syncFlag)
    {
        site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('%1', '%2', %3, 1)")
                      .arg(QLatin1String(user), QLatin1String(gate))
                      .arg(syncFlag));
    }

    TestSite site;
};

TEST_F(MasterRecordTest, AUserIsWrittenAndReadBackWholeAndATakenIdIsRefused)
{
    UserRules::Record u;
    u.userId = QStringLiteral("0000000010");
    u.name = QStringLiteral("O'Brien 太郎");
    u.yomi = QStringLiteral("obrien");
    u.bikou = QStringLiteral("備考; DROP TABLE m_user");
    u.empId = QStringLiteral("00000");
    u.guserId = QStringLiteral("CARD10");
    u.gauthType = 3;
    u.gauthority = 2;
    u.registDt = QStringLiteral("2026/12/01");
    u.refixDt = QStringLiteral("2026/12/02");
    QString error;
    ASSERT_TRUE(UserRules::InsertRecord(u, &error)) << error.toStdString();

    UserRules::Record read;
    ASSERT_TRUE(UserRules::LoadRecord(u.userId, &read));
    EXPECT_EQ(read.name, u.name);
    EXPECT_EQ(read.bikou, u.bikou);
    EXPECT_EQ(read.guserId, u.guserId);
    EXPECT_EQ(read.gauthType, 3);
    EXPECT_EQ(read.gauthority, 2);
    EXPECT_EQ(read.deleteFlag, 0);
    EXPECT_EQ(read.registDt, u.registDt);
    EXPECT_EQ(read.refixDt, u.refixDt);

    // The same ID again: refused with the component's message, the stored user untouched.
    UserRules::Record again = u;
    again.name = QStringLiteral("other");
    EXPECT_FALSE(UserRules::InsertRecord(again, &error));
    EXPECT_EQ(error, QStringLiteral("既に登録されています。"));
    EXPECT_EQ(site.value("SELECT user_name FROM m_user WHERE user_id = '0000000010'"), u.name);

    // An update writes this user only.
    AddUser("0000000011", "CARD11", 1, 1);
    read.gauthType = 1;
    read.deleteFlag = 1;
    read.refixDt = QStringLiteral("2026/12/08");
    UserRules::UpdateRecord(read);
    UserRules::Record after;
    ASSERT_TRUE(UserRules::LoadRecord(u.userId, &after)); // a deleted user is still read
    EXPECT_EQ(after.gauthType, 1);
    EXPECT_EQ(after.deleteFlag, 1);
    EXPECT_EQ(after.registDt, u.registDt);
    UserRules::Record other;
    ASSERT_TRUE(UserRules::LoadRecord(QStringLiteral("0000000011"), &other));
    EXPECT_EQ(other.gauthType, 1);
    EXPECT_EQ(other.deleteFlag, 0);
    EXPECT_EQ(other.name, QStringLiteral("U0000000011"));

    // An ID nobody has, or none at all, reads nothing and leaves the record given as it was.
    UserRules::Record kept = after;
    EXPECT_FALSE(UserRules::LoadRecord(QStringLiteral("0000000099"), &kept));
    EXPECT_FALSE(UserRules::LoadRecord(QString(), &kept));
    EXPECT_EQ(kept.userId, u.userId);
}

TEST_F(MasterRecordTest, AGateIsWrittenAndReadBackWholeAndATakenIdIsRefused)
{
    GateRules::Record g;
    g.gateId = QStringLiteral("00007");
    g.zoneName = QString(GateRules::kZoneMax, u'東');
    g.gateName = QStringLiteral("O'Brien門");
    g.ipAddr = QStringLiteral("127.0.0.7");
    g.portNo = QStringLiteral("8001");
    g.gateMode = 2;
    g.registDt = QStringLiteral("2026/12/01");
    g.refixDt = g.registDt;
    QString error;
    ASSERT_TRUE(GateRules::InsertRecord(g, &error)) << error.toStdString();
    EXPECT_FALSE(GateRules::InsertRecord(g, &error));
    EXPECT_EQ(error, QStringLiteral("既に登録されています。"));

    GateRules::Record read;
    ASSERT_TRUE(GateRules::LoadRecord(g.gateId, &read));
    EXPECT_EQ(read.zoneName, g.zoneName);
    EXPECT_EQ(read.gateName, g.gateName);
    EXPECT_EQ(read.ipAddr, g.ipAddr);
    EXPECT_EQ(read.portNo, g.portNo);
    EXPECT_EQ(read.gateMode, 2);
    EXPECT_EQ(read.useFlag, 0);

    read.useFlag = 1;
    read.ipAddr = QStringLiteral("127.0.0.8");
    GateRules::UpdateRecord(read);
    GateRules::Record after;
    ASSERT_TRUE(GateRules::LoadRecord(g.gateId, &after));
    EXPECT_EQ(after.useFlag, 1);
    EXPECT_EQ(after.ipAddr, QStringLiteral("127.0.0.8"));
    EXPECT_FALSE(GateRules::LoadRecord(QStringLiteral("00008"), &after));
}

TEST_F(MasterRecordTest, AUsersPermitListCarriesEachGatesAddressAndHidesGatesOutOfUseUnlessAsked)
{
    AddGate("00002", "127.0.0.2", 7002, 1);
    AddGate("00001", "127.0.0.1", 7001, 1);
    AddGate("00003", "127.0.0.3", 7003, 0); // out of use
    AddUser("0000000001", "CARD1", 2, 1);
    AddUser("0000000002", "CARD2", 1, 1);
    AddPermit("0000000001", "00002", 3);
    AddPermit("0000000001", "00001", 0);
    AddPermit("0000000001", "00003", 1);
    AddPermit("0000000002", "00001", 1); // another user's

    PermitListModel list(PermitListModel::Side::UserGates);
    list.Load(QStringLiteral("0000000001"));
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.Key(0), QStringLiteral("00001"));
    EXPECT_EQ(list.Key(1), QStringLiteral("00002"));
    EXPECT_EQ(list.SyncDisps(), QStringList({QStringLiteral("済"), QStringLiteral("解除")}));
    EXPECT_EQ(list.columnCount(), 6);
    EXPECT_EQ(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ゲートID"));
    EXPECT_EQ(list.index(1, 1).data().toString(), QStringLiteral("Z00002"));
    EXPECT_EQ(list.index(1, PermitListModel::kSyncDispColumn).data().toString(), QStringLiteral("解除"));

    const GUserRecord user{"0000000001", "CARD1", 1, 2};
    const QList<PermitRules::SendRow> rows = list.UserSendRows(user);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].gateId, QStringLiteral("00002"));
    EXPECT_EQ(rows[1].ipAddr, QStringLiteral("127.0.0.2"));
    EXPECT_EQ(rows[1].portNo, QStringLiteral("7002"));
    EXPECT_EQ(rows[1].syncFlag, 3);
    EXPECT_EQ(rows[1].user.guser_id, QStringLiteral("CARD1"));

    // A sent row reads "済" and the view hears of it.
    int changed = 0;
    QObject::connect(&list, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    list.MarkSent(1);
    EXPECT_EQ(list.index(1, PermitListModel::kSyncDispColumn).data().toString(), QStringLiteral("済"));
    EXPECT_EQ(changed, 1);
    list.MarkSent(7); // no such row: nothing happens
    EXPECT_EQ(changed, 1);

    list.Load(QStringLiteral("0000000001"), true);
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.Key(2), QStringLiteral("00003"));
    list.Load(QString());
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(MasterRecordTest, AGatesPermitListCarriesEachUsersCardAuthorityAndMethods)
{
    AddGate("00001", "127.0.0.1", 7001, 1);
    AddUser("0000000002", "CARD2", 3, 2);
    AddUser("0000000001", "CARD1", 2, 1);
    AddPermit("0000000002", "00001", 2);
    AddPermit("0000000001", "00001", 1);

    PermitListModel list(PermitListModel::Side::GateUsers);
    list.Load(QStringLiteral("00001"));
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.headerData(1, Qt::Horizontal).toString(), QStringLiteral("ユーザ名"));
    EXPECT_EQ(list.index(0, 0).data().toString(), QStringLiteral("0000000001"));
    const QList<PermitRules::SendRow> rows =
        list.GateSendRows(QStringLiteral("00001"), QStringLiteral("127.0.0.1"), QStringLiteral("7001"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].user.user_id, QStringLiteral("0000000002"));
    EXPECT_EQ(rows[1].user.guser_id, QStringLiteral("CARD2"));
    EXPECT_EQ(rows[1].user.gauthority, 2);
    EXPECT_EQ(rows[1].user.gauth_type, 3);
    EXPECT_EQ(rows[1].syncFlag, 2);
    EXPECT_EQ(rows[1].ipAddr, QStringLiteral("127.0.0.1"));
}

TEST_F(MasterRecordTest, AListThatCannotBeReadIsRaisedAndTheRowsShownStay)
{
    AddGate("00001", "127.0.0.1", 7001, 1);
    AddUser("0000000001", "CARD1", 2, 1);
    AddPermit("0000000001", "00001", 1);
    PermitListModel list(PermitListModel::Side::UserGates);
    list.Load(QStringLiteral("0000000001"));
    ASSERT_EQ(list.rowCount(), 1);
    site.exec("DROP VIEW v_gate_user_list4");
    EXPECT_THROW(list.Load(QStringLiteral("0000000001")), RdoError);
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.Key(0), QStringLiteral("00001"));
}

} // namespace
