#pragma once

// What the files of the access component share and no caller sees: the process-wide connection
// and login, the busy pointer and the message hook, and reading columns of a result set.

#include "rdo_cntl.h"

#include <QString>

class QSqlQuery;

namespace orvel {
class DbConnection;
}

namespace rdo_internal {

// The one connection every instance shares, and the login it was opened with.
struct SharedState
{
    bool mdbMode = false;
    QString dbName;
    QString userId;
    QString passWd;
};
SharedState &State();
orvel::DbConnection &Connection();

// Opens the shared connection with the stored login; the mode flag is left as it is.
bool OpenShared();

// Shows the busy pointer for the lifetime of the guard when asked to.
class PointerGuard
{
public:
    explicit PointerGuard(bool on);
    ~PointerGuard();
    PointerGuard(const PointerGuard &) = delete;
    PointerGuard &operator=(const PointerGuard &) = delete;

private:
    bool m_on;
};

void ShowMessage(const QString &text);

// The index of a column in a result row; a name the row lacks raises RdoError.
int ColumnIndex(const QSqlQuery &q, const QString &name);

// Texts of the component's own errors.
inline constexpr char kOutOfRange[] = "インデックスが有効範囲にありません。";
inline constexpr char kNoFields[] = "項目が設定されていません。";
inline constexpr char kAlreadyRegistered[] = "既に登録されています。";
inline constexpr char kNoControl[] = "コントロールが設定されていません。";
inline constexpr char kWrongControl[] = "このコントロールは使用できません。";
inline constexpr char kBrokenRows[] = "読み込んだ行の並びが正しくありません。";

} // namespace rdo_internal
