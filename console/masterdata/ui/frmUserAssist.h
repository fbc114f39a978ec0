#pragma once

// User picker of the user and gate screens: lists users by name and remarks, with an extra
// condition and a caption given by the opener, and reports each chosen user to the current
// screen's USER_SetUserId.

#include "frmAssistBase.h"

class frmUserAssist : public frmAssistBase
{
    Q_OBJECT
public:
    // extraWhere: e.g. "gauth_type <> 0" (only users with an authentication method);
    // caption: the window title, empty for the default "ユーザ検索".
    explicit frmUserAssist(const QString &extraWhere = QString(), const QString &caption = QString(),
                           QWidget *parent = nullptr);

    // Includes logically deleted users in the search (the authentication list sets it).
    static bool g_bSearchDelUserAdd;

protected:
    QStringList ExtraConditions() const override;
    QString NameColumn() const override { return QStringLiteral("user_name"); }
    QString BikouColumn() const override { return QStringLiteral("user_bikou"); }
    void SelectRows(int first, int last) override;

private:
    QString m_extraWhere;
};
