#include "ScreenRegistry.h"

#include <QDialog>
#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace ScreenRegistry {
namespace {
QHash<QString, Factory> &Table()
{
    static QHash<QString, Factory> table;
    return table;
}
} // namespace

void Register(const QString &key, Factory factory)
{
    Table().insert(key, std::move(factory));
}

void Unregister(const QString &key)
{
    Table().remove(key);
}

bool Has(const QString &key)
{
    return Table().contains(key);
}

Factory Find(const QString &key)
{
    return Table().value(key);
}

QWidget *Create(const QString &key, QWidget *parent)
{
    const auto it = Table().constFind(key);
    if (it == Table().cend() || !*it)
        return nullptr;
    QWidget *w = (*it)(parent);
    if (w && w->objectName().isEmpty())
        w->setObjectName(key);
    return w;
}

bool ShowModal(const QString &key, QWidget *parent)
{
    return ShowModal(key, parent, nullptr);
}

bool ShowModal(const QString &key, QWidget *parent, const std::function<void(QWidget *)> &setup)
{
    QPointer<QWidget> w = Create(key, parent);
    if (!w)
        return false;
    if (setup)
        setup(w);
    if (auto *dlg = qobject_cast<QDialog *>(w.data())) {
        dlg->setModal(true);
        dlg->exec();
    } else {
        // A plain widget is made a modal top-level window and waited for until it closes.
        w->setWindowFlag(Qt::Window, true);
        w->setWindowModality(Qt::ApplicationModal);
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        QEventLoop loop;
        QObject::connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
        w->show();
        loop.exec();
    }
    delete w.data();
    return true;
}

Registrar::Registrar(const char *key, Factory factory)
{
    Register(QString::fromUtf8(key), std::move(factory));
}
bool ShowGateError(const QString &gateId, QWidget *parent)
{
    // The window is told the gate as a property and, when it offers one, through SetGateId.
    return ShowModal(QStringLiteral("frmGateError"), parent, [&gateId](QWidget *w) {
        w->setProperty("GateId", gateId);
        QMetaObject::invokeMethod(w, "SetGateId", Q_ARG(QString, gateId));
    });
}

} // namespace ScreenRegistry
