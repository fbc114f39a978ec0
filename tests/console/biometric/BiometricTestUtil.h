#pragma once

// What the fingerprint screen tests share: a site with its scanner simulator, fast timers, a
// current screen that records FP_SetTplId, recorded sounds, templates made from synthetic
// fingers, and waits that drive the event loop.

#include "ConsoleTestUtil.h"
#include "FpSimProcess.h"

#include "biometric/FpLibrary.h"
#include "biometric/FpSession.h"
#include "biometric/PlaySound.h"

#include "ConsoleTiming.h"
#include "CurrentScreen.h"
#include "IniRead.h"
#include "MsgBox.h"
#include "Public.h"
#include "TestSite.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace fptest {

// The screen that opened a fingerprint window: it hears FP_SetTplId.
class TestScreen : public QWidget, public CurrentScreen
{
public:
    void FP_SetTplId(bool ok, qint16 tplNo) override { results << qMakePair(ok, tplNo); }
    QList<QPair<bool, qint16>> results;
};

// A template of one fresh touch of a synthetic finger, as the scanner library makes it.
QByteArray TouchTemplate(const std::string &finger, quint64 seed = 1);
// A valid template of random minutiae that matches no real finger.
QByteArray RandomTemplate(quint64 seed);

// The fingerprint windows' waits, shortened: 20 ms per capture attempt.
void UseFastFingerprintTiming();
// The site's collector makes a pass over the gates every 50 ms (Orvel.ini).
bool UseQuickCollector(orvel::test::TestSite &site);
// A gatesim gate, in use, in m_gate with its lock_gate row.
void AddSimGate(orvel::test::TestSite &site, const QString &gateId, const std::string &address, int port);

// Runs the event loop until done() holds or the deadline passes; returns done().
bool WaitFor(const std::function<bool()> &done, int deadlineMs = 20000);

class FpTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The row of a user's finger as "tpl_id,edit_flag", or "" when there is none.
    QString Row(const QString &userId, int fpNo);
    void AddRow(const QString &userId, int fpNo, int tplId, int editFlag = 0);
    void AddUser(const QString &userId, int gauthority, int gauthType, const QString &guserId = QString());
    // Writes the template file's whole content.
    void WriteTemplates(const QByteArray &bytes);
    QByteArray Templates();
    QString Info(QWidget *w);
    QString Caption(QWidget *w, const char *button);
    bool Enabled(QWidget *w, const char *button);
    void Click(QWidget *w, const char *button);
    // Clicks a button from inside the event loop of a running capture, after ms.
    void ClickLater(QWidget *w, const char *button, int ms);
    // True once the window has closed.
    template <class W>
    bool WaitClosed(const QPointer<W> &w, int deadlineMs = 20000)
    {
        return WaitFor([&] { return !w || !w->isVisible(); }, deadlineMs);
    }
    QStringList SoundNames() const; // "1.wav", "2.wav", ...

    orvel::test::TestSite site;
    std::unique_ptr<testsupport::FpSimProcess> sim;
    TestScreen screen;
    QStringList sounds;
};

} // namespace fptest
