// The mode-rule mechanism on its own: pattern letters, conditions, and application to controls.
#include "ModeRules.h"

#include <QLineEdit>
#include <QPushButton>
#include <QComboBox>

#include <gtest/gtest.h>

TEST(ModeRulesTest, PatternLettersAndConditions)
{
    ModeRules r;
    r.Enable("always", "AAAA").Enable("found", "FFFF").Enable("missing", "MMMM").Enable("never", "NNNN");
    r.Enable("flagged", "AAAA", "all").Enable("unflagged", "AAAA", "!all");
    for (bool found : {false, true}) {
        for (int mode = 0; mode < 4; ++mode) {
            const auto d = r.Decide(mode, found, {});
            EXPECT_TRUE(d[0].on);
            EXPECT_EQ(d[1].on, found);
            EXPECT_EQ(d[2].on, !found);
            EXPECT_FALSE(d[3].on);
            EXPECT_FALSE(d[4].on);
            EXPECT_TRUE(d[5].on);
        }
    }
    const auto withFlag = r.Decide(0, true, {QStringLiteral("all")});
    EXPECT_TRUE(withFlag[4].on);
    EXPECT_FALSE(withFlag[5].on);
    // A mode outside 0-3 turns everything off rather than reading past the pattern.
    for (const auto &d : r.Decide(7, true))
        EXPECT_FALSE(d.on);
}

TEST(ModeRulesTest, ApplyLocksTextFieldsAndDisablesOtherControls)
{
    QWidget screen;
    auto *txt = new QLineEdit(&screen);
    txt->setObjectName("txtName");
    auto *cmb = new QComboBox(&screen);
    cmb->setObjectName("cmbEmp");
    auto *cmd = new QPushButton(&screen);
    cmd->setObjectName("cmdUpdate");
    ModeRules r;
    r.Lock("txtName", "ANNA").Lock("cmbEmp", "ANNA").Enable("cmdUpdate", "NFNN").Enable("cmdNotThere", "AAAA");

    r.Apply(&screen, 0, true);
    EXPECT_TRUE(txt->isReadOnly());
    EXPECT_TRUE(txt->isEnabled()); // locked text stays selectable, just read-only and grey
    EXPECT_EQ(txt->palette().color(QPalette::Base), QColor(0xF0, 0xF0, 0xF0));
    EXPECT_FALSE(cmb->isEnabled());
    EXPECT_FALSE(cmd->isEnabled());

    r.Apply(&screen, 1, true);
    EXPECT_FALSE(txt->isReadOnly());
    EXPECT_TRUE(cmb->isEnabled());
    EXPECT_TRUE(cmd->isEnabled());
    r.Apply(&screen, 1, false);
    EXPECT_FALSE(cmd->isEnabled());
}
