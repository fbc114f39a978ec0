// The maintenance settings dialogs against the real settings rows.

#include "ConsoleTestUtil.h"
#include "FileDialog.h"
#include "MsgBox.h"
#include "TestSite.h"
#include "maintenance/MainteSettings.h"
#include "frmST_AutoLog.h"
#include "frmST_DayMainte.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using orvel::test::TestSite;

namespace {
class MainteSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        MsgBox::TakeShown();
    }
    template <class T>
    static T *Find(QWidget &w, const QString &name)
    {
        return w.findChild<T *>(name);
    }
    QString row(const char *columns) { return site.value(QStringLiteral("SELECT %1 FROM set_mainte").arg(QLatin1String(columns))); }
    TestSite site;
};
} // namespace

TEST(MainteSettings, RangesAndFormatsOfTheFields)
{
    using namespace orvel::mainte;
    QString f;
    EXPECT_TRUE(FormatInRange(QStringLiteral("7"), 0, kHourMax, &f));
    EXPECT_EQ(f, QStringLiteral("07"));
    EXPECT_FALSE(FormatInRange(QStringLiteral("24"), 0, kHourMax, &f));
    EXPECT_FALSE(FormatInRange(QString(), 0, kHourMax, &f));
    EXPECT_FALSE(FormatInRange(QStringLiteral("1.5"), 0, kHourMax, &f));
    for (const char *days : {"0", "91"})
        EXPECT_FALSE(FormatInRange(QLatin1String(days), kLeaveDaysMin, kLeaveDaysMax, &f)) << days;
    for (const char *days : {"1", "90"})
        EXPECT_TRUE(FormatInRange(QLatin1String(days), kLeaveDaysMin, kLeaveDaysMax, &f)) << days;
    EXPECT_TRUE(IsAcceptedFieldKey(Qt::Key_5, QStringLiteral("5")));
    EXPECT_TRUE(IsAcceptedFieldKey(Qt::Key_Period, QStringLiteral(".")));
    EXPECT_TRUE(IsAcceptedFieldKey(Qt::Key_Backspace, QString()));
    EXPECT_FALSE(IsAcceptedFieldKey(Qt::Key_A, QStringLiteral("a")));
    EXPECT_FALSE(IsAcceptedFieldKey(Qt::Key_unknown, QStringLiteral("５")));
}

TEST_F(MainteSettingsTest, DayMainteStoresTheTimePaddedAndRefusesBadDays)
{
    site.exec(QStringLiteral("UPDATE set_mainte SET day_mainte_time = '0330', logtel_leave_days = 30, "
                             "set_time_flag = 1, guser_mainte_flag = 0, db_mainte_flag = 0"));
    frmST_DayMainte dlg;
    EXPECT_EQ(Find<QLineEdit>(dlg, "txtHour")->text(), QStringLiteral("03"));
    EXPECT_TRUE(Find<QRadioButton>(dlg, "optTimeSet_1")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(dlg, "optDbMainteFlag_0")->isChecked());

    // Letters are dropped as they are typed.
    auto *hour = Find<QLineEdit>(dlg, "txtHour");
    hour->clear();
    QTest::keyClicks(hour, QStringLiteral("x7"));
    EXPECT_EQ(hour->text(), QStringLiteral("7"));
    Find<QLineEdit>(dlg, "txtMinute")->setText(QStringLiteral("30"));
    Find<QRadioButton>(dlg, "optDbMainteFlag_1")->click();

    auto *days = Find<QLineEdit>(dlg, "txtLogtel_leave_days");
    for (const char *bad : {"0", "91"}) {
        days->setText(QLatin1String(bad));
        dlg.cmdOK_Click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected) << bad;
        EXPECT_EQ(row("day_mainte_time"), QStringLiteral("0330")) << bad; // nothing saved
    }
    days->setText(QStringLiteral("90"));
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(row("day_mainte_time || '/' || logtel_leave_days || '/' || db_mainte_flag || set_time_flag"),
              QStringLiteral("0730/90/11"));
}

TEST_F(MainteSettingsTest, AutoLogOffKeepsColumnsAndPathAndAnUnusableFileBlocksCancel)
{
    const QString unusable = site.path(QStringLiteral("no/such/folder/log.csv"));
    site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 2, file_path = '%1', item_1 = 1, item_2 = 0")
                  .arg(unusable));
    {
        frmST_AutoLog dlg;
        dlg.timStart_Timer();
        EXPECT_TRUE(Find<QRadioButton>(dlg, "optLogWrite_1")->isChecked());
        EXPECT_EQ(Find<QComboBox>(dlg, "cmbListType")->currentIndex(), 1);
        EXPECT_TRUE(Find<QCheckBox>(dlg, "chbItem_0")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(dlg, "chbItem_1")->isChecked());
        EXPECT_FALSE(Find<QPushButton>(dlg, "cmdCancel")->isEnabled());
        ASSERT_EQ(MsgBox::TakeShown().size(), 1);

        // OK with the same unusable file is refused; switching output off is accepted.
        dlg.cmdOK_Click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        Find<QCheckBox>(dlg, "chbItem_1")->click();
        Find<QRadioButton>(dlg, "optLogWrite_0")->click();
        dlg.cmdOK_Click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_mode || '/' || file_path || '/' || item_1 || item_2 FROM t_autolog_info")),
              QStringLiteral("0/") + unusable + QStringLiteral("/11"));

    // Output on without a log type is refused with its message.
    const QString good = site.path(QStringLiteral("auto.log"));
    site.exec(QStringLiteral("UPDATE t_autolog_info SET file_path = '%1'").arg(good));
    frmST_AutoLog dlg;
    dlg.timStart_Timer();
    Find<QRadioButton>(dlg, "optLogWrite_1")->click();
    dlg.cmdOK_Click();
    EXPECT_EQ(MsgBox::TakeShown().value(1).text, QStringLiteral("出力するログタイプを選択してください。"));
    Find<QComboBox>(dlg, "cmbListType")->setCurrentIndex(3);
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_mode FROM t_autolog_info")), QStringLiteral("4"));
}
