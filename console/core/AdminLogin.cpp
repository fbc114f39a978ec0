#include "AdminLogin.h"

#include "DbConnection.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

namespace AdminLogin {
namespace {
QString LiveAdministrator()
{
    return QStringLiteral("gauthority = %1 AND delete_flag = 0").arg(orvel::gauthority::Admin);
}
} // namespace

bool LoginRequired()
{
    rdo_cntl q;
    q.setDataSource(QStringLiteral("telmar_v1.m_user"));
    q.setWhere(LiveAdministrator());
    q.setWhereS(QStringLiteral("gauth_type <> %1").arg(orvel::gauth_type::None));
    const bool found = !q.GetData(QStringLiteral("user_id")).toString().isEmpty();
    // Without a connection GetData answers "nobody" without asking: that must not skip the login.
    if (!found && !rdo_cntl::IsConnected())
        throw RdoError(QString::fromUtf8(orvel::dbtext::NotConnected));
    return found;
}

bool IsAdministratorCard(const QString &cardId, int edition)
{
    if (cardId.trimmed().isEmpty() || orvel::IsPlaceholderGuserId(edition, cardId))
        return false;
    rdo_cntl q;
    q.setDataSource(QStringLiteral("telmar_v1.m_user"));
    // The ID is a value, never SQL: a quote in it stays inside the literal.
    q.setWhere(QStringLiteral("guser_id = ") + orvel::SqlText(cardId));
    q.setWhereS(LiveAdministrator());
    return !q.GetData(QStringLiteral("user_id")).toString().isEmpty();
}

} // namespace AdminLogin
