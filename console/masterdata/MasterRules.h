#pragma once

// The rules of the department and user screens and their pickers, without widgets: what is
// refused with which message, and what each button writes. The screens wire controls to these;
// tests drive them directly or through the screens.

#include <QString>
#include <QList>
#include <QStringList>

#include "Format.h"

using orvel::TodayText; // today as the database stores dates

namespace JobRules {
// Message refusing a register or update, or empty when the input is acceptable.
QString CheckRegist(const QString &empId, const QString &empName);
// Message refusing a delete; memberRows = data rows of the member list (live users).
QString CheckDelete(const QString &empId, int memberRows);
// Writes the user's department (m_user.emp_id); false when the write failed.
bool MoveUser(const QString &userId, const QString &empId);
// Moves each user to the built-in department "00000"; returns the users that failed.
QStringList RemoveMembers(const QStringList &userIds);
// Whether adding a user from rowEmpId into targetEmpId must ask first: only a move out of
// another real department asks, a user without one ("00000") is taken silently.
bool AsksBeforeMove(const QString &rowEmpId, const QString &targetEmpId);
} // namespace JobRules

namespace UserRules {
// The user as m_user stores it: the record the user screen shows and writes.
struct Record
{
    QString userId;
    QString name;   // user_name
    QString yomi;   // user_yomi
    QString bikou;  // user_bikou
    QString empId;  // the department, "00000" for none
    QString guserId; // the card ID, or the edition's placeholder
    int gauthType = 0;  // bits: 1 fingerprint, 2 card
    int gauthority = 1; // 1 user, 2 administrator
    int deleteFlag = 0; // 1: deleted, the ID may be taken again
    QString registDt;
    QString refixDt;
};
// Reads the user (a deleted one too); false when no row has the ID.
bool LoadRecord(const QString &userId, Record *out);
// Inserts the user; false with the component's message when the ID is taken.
bool InsertRecord(const Record &r, QString *error);
// Writes every column of the stored user. A database failure is raised.
void UpdateRecord(const Record &r);

struct Input
{
    QString userId;
    QString name;
    QString yomi;
    bool fingerprint = false; // chbAuthType_1
    bool card = false;        // chbAuthType_2
    bool hasTemplate = false; // at least one enrolled fingerprint
    bool hasCard = false;     // a real card ID, not the placeholder
    int permitRows = 0;       // data rows of the permit list as shown
};
// First failing rule's message, or empty.
QString Validate(const Input &in);
// gauth_type from the two method boxes: 1 fingerprint + 2 card.
int GAuthType(bool fingerprint, bool card);
// A real card ID: not empty and not the edition's placeholder.
bool HasCard(int edition, const QString &guserId);
// Whether l_fptpl lists a finished template for the user (a row still being written does not
// count).
bool HasTemplate(const QString &userId);
// The user's stored authority (gauthority), or empty when the user is not stored.
QString StoredAuthority(const QString &userId);
// The fingers (0-5) with a finished template of the user, in ascending order.
QList<int> EnrolledFingers(const QString &userId);

// ---- the IC card area --------------------------------------------------------------------------
struct CardButtons
{
    bool read = false;   // cmdReadIC: register or replace the card
    bool verify = false; // cmdVerifyIC
    bool remove = false; // cmdDeleteIC
};
// details: mode 3 with an existing user shown. A card is registered, replaced or removed only
// while the user has no gate permits; it is not removed while the card method is ticked.
CardButtons CardButtonState(bool details, bool hasCard, int permitRows, bool cardMethod);
// Another live user who holds cardId, or empty. A deleted user's card may be given again.
QString CardOwner(const QString &cardId, const QString &userId);
// Message refusing to remove the card while the card method is ticked, or empty.
QString CheckRemoveCard(bool cardMethod);
// Message refusing to delete a finger's template that is the user's last one while the
// fingerprint method is ticked, or empty.
QString CheckDeleteFinger(int enrolledCount, bool fingerprintMethod);

enum class DeleteResult { Deleted, Failed };
// Removes the user's permits, templates and record, in this order; stops at the first failure
// so that later tables stay untouched.
DeleteResult DeleteUser(const QString &userId);
// Marks the user's permits for rewriting on their gates (sync_flag 2); permits waiting to be
// withdrawn (sync_flag 3) keep their state.
bool MarkPermitsForUpdate(const QString &userId);
} // namespace UserRules

namespace AssistRules {
// "column like '<text>%'" with the text escaped, or empty for an empty text.
QString PrefixLike(const QString &column, const QString &text);
// Row limit of a picker's cmbDispMax: its text, or empty for "無制限".
QString LimitFromDispMax(const QString &text);
// Conditions joined with " AND ", empty ones skipped.
QString JoinConditions(const QStringList &conditions);
} // namespace AssistRules
