#pragma once

// Windows of the console by name ("frmUserMan", "frmST_DayMainte", "frmLogin" ...). The main
// window opens every screen, dialog and start-up window through this table, so a screen plugs
// itself in from its own source file without the main window knowing its class:
//
//   ORVEL_REGISTER_SCREEN(frmUserMan)                 // constructs frmUserMan(parent)
//   ORVEL_REGISTER_SCREEN_FACTORY("frmLogin", [](QWidget *p) { return new frmLogin(p); })
//
// A name with no factory opens nothing.

#include <QString>

#include <functional>

class QWidget;

namespace ScreenRegistry {
using Factory = std::function<QWidget *(QWidget *parent)>;

// Replaces any factory already registered under key (tests register stand-ins this way).
void Register(const QString &key, Factory factory);
void Unregister(const QString &key);
bool Has(const QString &key);
// The factory registered under key (empty when none), so a test can put it back.
Factory Find(const QString &key);
// A new window, or nullptr when nothing is registered under key.
QWidget *Create(const QString &key, QWidget *parent);

// Creates the window and shows it modally; returns once it has closed (and been deleted).
// Returns false when nothing is registered under key.
bool ShowModal(const QString &key, QWidget *parent);
// The same, with setup run on the new window before it is shown (to hand it its arguments).
bool ShowModal(const QString &key, QWidget *parent, const std::function<void(QWidget *)> &setup);

// The gate error window "frmGateError" for gateId, shown modally; false when none is registered.
bool ShowGateError(const QString &gateId, QWidget *parent);

struct Registrar
{
    Registrar(const char *key, Factory factory);
};
} // namespace ScreenRegistry

#define ORVEL_SCREEN_CAT2(a, b) a##b
#define ORVEL_SCREEN_CAT(a, b) ORVEL_SCREEN_CAT2(a, b)
#define ORVEL_REGISTER_SCREEN_FACTORY(key, factory)                                                  \
    static const ScreenRegistry::Registrar ORVEL_SCREEN_CAT(s_screenRegistrar_, __LINE__)(key, factory);
#define ORVEL_REGISTER_SCREEN(Class)                                                                 \
    ORVEL_REGISTER_SCREEN_FACTORY(#Class, [](QWidget *parent) -> QWidget * { return new Class(parent); })
