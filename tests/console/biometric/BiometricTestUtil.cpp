#include "BiometricTestUtil.h"

#include "Extract.h"
#include "Prng.h"
#include "SynthFinger.h"
#include "Template.h"

#include <QDir>
#include <QFile>
#include <QApplication>
#include <QTimer>

namespace fptest {

QByteArray TouchTemplate(const std::string &finger, quint64 seed)
{
    const fp::Finger f = fp::MakeFinger(finger);
    std::vector<uint8_t> image(fp::kImageBytes);
    fp::Render(f, fp::MakeImpression(f, seed), image.data());
    const fp::Extraction ex = fp::ExtractMinutiae(image.data());
    QByteArray tpl(fp::kTemplateBytes, '\0');
    fp::EncodeTemplate(ex.minutiae, ex.quality, reinterpret_cast<uint8_t *>(tpl.data()));
    return tpl;
}

QByteArray RandomTemplate(quint64 seed)
{
    fp::Prng r(seed);
    fp::Minutiae m;
    for (int i = 0; i < 40; ++i)
        m.push_back({float(r.Uniform(10, 140)), float(r.Uniform(10, 190)), float(r.Uniform(0, fp::kTwoPi)),
                     uint8_t(r.Below(2)), 80});
    QByteArray tpl(fp::kTemplateBytes, '\0');
    fp::EncodeTemplate(m, 80, reinterpret_cast<uint8_t *>(tpl.data()));
    return tpl;
}

void UseFastFingerprintTiming()
{
    ConsoleTiming &t = Timing();
    t.fpStartMs = 1;
    t.fpEnrollMs = 1;
    t.fpEnrollVerifyMs = 1;
    t.fpVerifyMs = 1;
    t.fpWaitValue = 2; // 20 ms per attempt
}

bool UseQuickCollector(orvel::test::TestSite &site)
{
    QFile ini(site.path(QStringLiteral("Orvel.ini")));
    if (!ini.open(QIODevice::ReadWrite))
        return false;
    QByteArray text = ini.readAll();
    text.replace("WAIT_SEC=1000", "WAIT_SEC=50").replace("LOG_WAIT_INTERVAL=5", "LOG_WAIT_INTERVAL=1");
    ini.resize(0);
    return ini.write(text) == text.size();
}

void AddSimGate(orvel::test::TestSite &site, const QString &gateId, const std::string &address, int port)
{
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, use_flag) "
                             "VALUES ('%1', '本社', '正面玄関', '%2', '%3', 1, 1)")
                  .arg(gateId, QString::fromStdString(address))
                  .arg(port));
    site.exec(QStringLiteral("INSERT INTO lock_gate (gate_id, lock_flg, server_id) VALUES ('%1', 0, 0)").arg(gateId));
}

bool WaitFor(const std::function<bool()> &done, int deadlineMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < deadlineMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void FpTest::SetUp()
{
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    SetEdition(1);
    ASSERT_TRUE(ReadIni());
    UseFastFingerprintTiming();
    SetSoundPlayer([this](const QString &path, bool sync) {
        EXPECT_TRUE(sync);
        sounds << path;
    });
    FpLibrary::Instance().SetLibraryNames(QString(), QString()); // and the site's scanner options
    SetCurrentScreen(&screen);
    sim = std::make_unique<testsupport::FpSimProcess>(site.path(QStringLiteral("fpsim.sock")));
    ASSERT_TRUE(sim->ok());
    MsgBox::TakeShown();
}

void FpTest::TearDown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("frmFpBase"))
            delete w;
    SetBusyOff();
    SetBusyEventPump(nullptr);
    SetCurrentScreen(nullptr);
    SetSoundPlayer(nullptr);
    Timing() = ConsoleTiming{};
    MsgBox::TakeShown();
    sim.reset();
    QDir::setCurrent(QDir::tempPath()); // the screens made the site folder current
}

QString FpTest::Row(const QString &userId, int fpNo)
{
    return site.value(QStringLiteral("SELECT tpl_id || ',' || edit_flag FROM l_fptpl WHERE user_id = '%1' AND fp_no = %2")
                          .arg(userId)
                          .arg(fpNo));
}

void FpTest::AddRow(const QString &userId, int fpNo, int tplId, int editFlag)
{
    site.exec(QStringLiteral("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('%1', %2, %3, %4)")
                  .arg(userId)
                  .arg(fpNo)
                  .arg(tplId)
                  .arg(editFlag));
}

void FpTest::AddUser(const QString &userId, int gauthority, int gauthType, const QString &guserId)
{
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, guser_id, gauth_type, "
                             "gauthority, delete_flag) VALUES ('%1', 'U%1', 'u', '00000', '%2', %3, %4, 0)")
                  .arg(userId, guserId.isEmpty() ? QStringLiteral("0000000000000000000000") + userId : guserId)
                  .arg(gauthType)
                  .arg(gauthority));
}

void FpTest::WriteTemplates(const QByteArray &bytes)
{
    QFile f(site.path(QStringLiteral("template.dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray FpTest::Templates()
{
    QFile f(site.path(QStringLiteral("template.dat")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString FpTest::Info(QWidget *w)
{
    auto *l = w->findChild<QLabel *>(QStringLiteral("lblInfo"));
    return l ? l->text() : QString();
}

QString FpTest::Caption(QWidget *w, const char *button)
{
    auto *b = w->findChild<QAbstractButton *>(QLatin1String(button));
    return b ? b->text() : QString();
}

bool FpTest::Enabled(QWidget *w, const char *button)
{
    auto *b = w->findChild<QAbstractButton *>(QLatin1String(button));
    return b && b->isEnabled();
}

void FpTest::Click(QWidget *w, const char *button)
{
    auto *b = w->findChild<QAbstractButton *>(QLatin1String(button));
    ASSERT_NE(b, nullptr) << button;
    b->click();
}

void FpTest::ClickLater(QWidget *w, const char *button, int ms)
{
    QPointer<QWidget> p(w);
    const QString name = QLatin1String(button);
    QTimer::singleShot(ms, w, [p, name] {
        if (p)
            if (auto *b = p->findChild<QAbstractButton *>(name))
                b->click();
    });
}

QStringList FpTest::SoundNames() const
{
    QStringList out;
    for (const QString &s : sounds)
        out << QFileInfo(s).fileName();
    return out;
}

} // namespace fptest
