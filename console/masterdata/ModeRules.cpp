#include "ModeRules.h"



ModeRules &ModeRules::Lock(const QString &control, const QString &pattern, const QString &condition)
{
    Q_ASSERT(pattern.size() == 4);
    m_rules.append({control, Effect::Lock, pattern, condition});
    return *this;
}

ModeRules &ModeRules::Enable(const QString &control, const QString &pattern, const QString &condition)
{
    Q_ASSERT(pattern.size() == 4);
    m_rules.append({control, Effect::Enable, pattern, condition});
    return *this;
}

bool ModeRules::Holds(const Rule &rule, int mode, bool found, const QSet<QString> &flags)
{
    if (mode < 0 || mode >= rule.pattern.size())
        return false;
    bool on = false;
    switch (rule.pattern.at(mode).toLatin1()) {
    case 'A': on = true; break;
    case 'F': on = found; break;
    case 'M': on = !found; break;
    default: on = false; break;
    }
    if (on && !rule.condition.isEmpty()) {
        const bool negated = rule.condition.startsWith(u'!');
        const bool present = flags.contains(negated ? rule.condition.mid(1) : rule.condition);
        on = negated ? !present : present;
    }
    return on;
}

QList<ModeRules::Decision> ModeRules::Decide(int mode, bool found, const QSet<QString> &flags) const
{
    QList<Decision> out;
    out.reserve(m_rules.size());
    for (const Rule &r : m_rules)
        out.append({r.control, r.effect, Holds(r, mode, found, flags)});
    return out;
}

QString FuncModeCaption(int mode)
{
    static const char *const captions[] = {"照会", "編集", "新規登録", "詳細設定を編集"};
    return QString::fromUtf8(captions[qBound(0, mode, 3)]);
}
