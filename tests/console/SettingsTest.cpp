#include "ConsoleTestUtil.h"

#include "MsfGrid.h"
#include "clSettingInfo.h"

#include <QSettings>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
// Each test gets its own store.
class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { clSettingInfo::SetStoreFolder(m_store.path()); }
    QTemporaryDir m_store;
    clSettingInfo m_set{QStringLiteral("Kavrin Manager"), QStringLiteral("Any")};
};
} // namespace

TEST_F(SettingsTest, ValuesAreKeyedByApplicationSectionAndKey)
{
    EXPECT_EQ(m_set.GetData("SrvRespTimoutInit", "60000"), "60000");
    m_set.SaveData("chbAutoClose_CHB", "1");
    m_set.setSectionName("frmUserMan");
    EXPECT_EQ(m_set.GetData("chbAutoClose_CHB", "0"), "0");
    m_set.SaveData("chbAutoClose_CHB", "日本語");

    clSettingInfo other(QStringLiteral("Kavrin Manager"), QStringLiteral("frmUserMan"));
    EXPECT_EQ(other.GetData("chbAutoClose_CHB", "0"), "日本語"); // survives a new object
    clSettingInfo otherApp(QStringLiteral("Orvel"), QStringLiteral("frmUserMan"));
    EXPECT_EQ(otherApp.GetData("chbAutoClose_CHB", "0"), "0");
    m_set.setSectionName("Any");
    EXPECT_EQ(m_set.GetData("chbAutoClose_CHB", "0"), "1");
}

TEST_F(SettingsTest, PositionRoundTripsInTwips)
{
    m_set.setSectionName("frmGateMan");
    QWidget w;
    w.setGeometry(40, 30, 600, 400);
    m_set.SavePos(w);
    QSettings raw(m_set.StorePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("frmGateMan/width").toString(), QString::number(w.width() * 15));

    QWidget again;
    again.setGeometry(0, 0, 100, 100);
    m_set.GetPos(again);
    EXPECT_EQ(again.pos(), w.pos());
    EXPECT_EQ(again.size(), w.size());
}

TEST_F(SettingsTest, NeverSavedKeysLeaveTheDesignPosition)
{
    m_set.setSectionName("frmJobMan");
    QWidget w;
    w.setGeometry(10, 20, 300, 200);
    const QRect design = w.geometry();
    m_set.GetPos(w);
    EXPECT_EQ(w.geometry(), design);

    // Only Left saved: only the x position moves. A zero is applied as read.
    m_set.SaveData("Left", "0");
    m_set.SaveData("height", "garbage");
    m_set.GetPos(w);
    EXPECT_EQ(w.x(), 0);
    EXPECT_EQ(w.y(), design.y());
    EXPECT_EQ(w.size(), design.size());
}

TEST_F(SettingsTest, GridWithMoreColumnsThanSavedKeepsTheExtraWidths)
{
    m_set.setSectionName("frmUserMan1");
    MsfGrid saved;
    saved.setCols(2);
    saved.setColumnWidth(0, 50);
    saved.setColumnWidth(1, 120);
    saved.setFontPointSize(11);
    m_set.SetMsfInfo(saved);
    EXPECT_EQ(m_set.GetData("cols", ""), "2");
    EXPECT_EQ(m_set.GetData("ColW1", ""), "1800");

    MsfGrid now;
    now.setCols(4);
    for (int c = 0; c < 4; ++c)
        now.setColumnWidth(c, 77);
    now.setFontPointSize(9);
    m_set.GetMsfInfo(now);
    EXPECT_EQ(now.columnWidth(0), 50);
    EXPECT_EQ(now.columnWidth(1), 120);
    EXPECT_EQ(now.columnWidth(2), 77);
    EXPECT_EQ(now.columnWidth(3), 77);
    EXPECT_DOUBLE_EQ(now.fontPointSize(), 11);

    // A grid with fewer columns reads only its own.
    MsfGrid fewer;
    fewer.setCols(1);
    m_set.GetMsfInfo(fewer);
    EXPECT_EQ(fewer.columnWidth(0), 50);
    EXPECT_EQ(fewer.columnCount(), 1);
}
