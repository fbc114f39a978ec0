#pragma once

// The permit list of the user and gate screens as one table model: the permits of the user shown
// (a row per gate) or of the gate shown (a row per user), read into typed rows. The model shows
// the columns the operator reads; the rows carry what a send needs (the gate's address, the
// user's card, authority and methods), so nothing is read back out of a view.

#include "PermitRules.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

struct ListedPermit
{
    QString userId;
    QString gateId;
    // what the lists show
    QString userName;
    QString empName;
    QString zoneName;
    QString gateName;
    QString gauthorityName;
    QString gauthTypeName;
    QString syncDisp; // "済" when in step
    int syncFlag = 0;
    // what a send needs
    QString ipAddr; // the gate's
    QString portNo;
    QString guserId; // the user's
    int gauthority = 0;
    int gauthType = 0;
};

class PermitListModel : public QAbstractTableModel
{
public:
    enum class Side
    {
        UserGates, // the permits of one user, a row per gate (the user screen)
        GateUsers, // the permits at one gate, a row per user (the gate screen)
    };
    explicit PermitListModel(Side side, QObject *parent = nullptr);

    Side side() const { return m_side; }
    // Reads the permits of ownerId (a user ID or a gate ID; none for an empty one). The user's
    // list holds only gates in use unless includeUnused. A database failure is raised and leaves
    // the list as it was.
    void Load(const QString &ownerId, bool includeUnused = false);
    void Clear();

    const QList<ListedPermit> &Rows() const { return m_rows; }
    // The other end of each row: the gate ID (user side) or the user ID (gate side).
    QString Key(int row) const;
    QStringList SyncDisps() const;
    // Shows the row in step ("済") once it was sent.
    void MarkSent(int row);

    // The rows to send: the user to each listed gate (user side).
    QList<PermitRules::SendRow> UserSendRows(const GUserRecord &user) const;
    // Each listed user to the gate (gate side).
    QList<PermitRules::SendRow> GateSendRows(const QString &gateId, const QString &ipAddr,
                                             const QString &portNo) const;

    // ---- QAbstractTableModel: the shown columns ----
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static constexpr int kSyncDispColumn = 5;

private:
    QString Cell(const ListedPermit &p, int column) const;

    Side m_side;
    QList<ListedPermit> m_rows;
};
