#pragma once

// The four modes of the management screens and the table that locks fields and enables
// buttons after every change of ID or mode. One table per screen, one mechanism for all of
// them (departments, users, gates): the screen declares its rules once and applies them.
//
// A rule's pattern has one letter per mode (0 inquiry, 1 edit, 2 new, 3 details):
//   A  always        N  never
//   F  when the record shown exists       M  when it does not (missing)
// A rule may also require a condition flag the screen passes ("chbAllUserList", or
// "!chbAllUserList" for its absence).

#include <QList>
#include <QSet>
#include <QString>

class QWidget;

enum FuncMode : int { ModeInquiry = 0, ModeEdit = 1, ModeNew = 2, ModeDetails = 3 };

class ModeRules
{
public:
    enum class Effect { Lock, Enable };

    struct Rule
    {
        QString control; // object name of the control
        Effect effect;
        QString pattern;   // four letters, see above
        QString condition; // empty, "flag" or "!flag"
    };

    // Lock: locked fields are read-only and grey (text fields) or disabled (anything else).
    ModeRules &Lock(const QString &control, const QString &pattern, const QString &condition = QString());
    ModeRules &Enable(const QString &control, const QString &pattern, const QString &condition = QString());

    // Whether rule is in force (locked, or enabled) for this state.
    static bool Holds(const Rule &rule, int mode, bool found, const QSet<QString> &flags = {});

    struct Decision
    {
        QString control;
        Effect effect;
        bool on; // locked / enabled
    };
    QList<Decision> Decide(int mode, bool found, const QSet<QString> &flags = {}) const;

    // Applies the decisions to the controls of screen found by object name. A rule naming a
    // control the screen does not have is skipped, so a screen can grow its controls gradually.
    // (Defined with the windows, in masterdata/ui.)
    void Apply(QWidget *screen, int mode, bool found, const QSet<QString> &flags = {}) const;

    const QList<Rule> &rules() const { return m_rules; }

private:
    QList<Rule> m_rules;
};

// Caption of a mode's option button: "照会", "編集", "新規登録", "詳細設定を編集".
QString FuncModeCaption(int mode);
