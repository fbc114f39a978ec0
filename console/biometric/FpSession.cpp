#include "FpSession.h"

#include "FpLibrary.h"
#include "PlaySound.h"
#include "TplData.h"

#include "ConsoleTiming.h"
#include "CurrentScreen.h"
#include "ConsoleState.h"

#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QVector>

namespace {

constexpr int kAttempts = 10;     // waits for a finger per capture
constexpr int kLoginPage = 1001;  // template numbers read from the login view at a time

const char *const kSoundPlace = ".\\wav\\1.wav";
const char *const kSoundRemove = ".\\wav\\2.wav";
const char *const kSoundMatched = ".\\wav\\5.wav";
const char *const kSoundNotMatched = ".\\wav\\6.wav";
const char *const kSoundStored = ".\\wav\\11.wav";

QTimer *MakeTimer(QObject *parent, const char *name, int ms)
{
    auto *t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setSingleShot(true);
    t->setInterval(ms);
    return t;
}

// The row of one user's finger in l_fptpl.
void WhereFinger(rdo_cntl &db, const QString &userId, int fpNo)
{
    db.setDataSource(QStringLiteral("telmar_v1.l_fptpl"));
    db.setWhere(QStringLiteral("user_id = ") + orvel::SqlText(userId));
    db.setWhereS(QStringLiteral("fp_no = %1").arg(fpNo));
}

} // namespace

FpSession::FpSession(Kind kind, FpView *view, QObject *parent)
    : QObject(parent), m_kind(kind), m_view(view), m_timStart(nullptr)
{
    const ConsoleTiming &t = Timing();
    if (kind == Kind::Delete)
        return;
    m_timStart = MakeTimer(this, "timStart", t.fpStartMs);
    connect(m_timStart, &QTimer::timeout, this, &FpSession::timStart_Timer);
    if (kind == Kind::Enroll) {
        m_timEnroll = MakeTimer(this, "timEnroll", t.fpEnrollMs);
        connect(m_timEnroll, &QTimer::timeout, this, &FpSession::timEnroll_Timer);
    }
    m_timVerify = MakeTimer(this, "timVerify", kind == Kind::Enroll ? t.fpEnrollVerifyMs : t.fpVerifyMs);
    connect(m_timVerify, &QTimer::timeout, this, &FpSession::timVerify_Timer);
}

FpSession::~FpSession() = default;

void FpSession::Info(const char *text, quint32 colour, bool beep)
{
    m_view->ShowInfo(QString::fromUtf8(text), colour, beep);
}

void FpSession::SetFpInfo(const QString &userId, int fpNo, const QString &userName, const QString &fingerName)
{
    m_userId = userId;
    m_fpNo = fpNo;
    m_view->ShowName(userName, fingerName);
    if (m_kind != Kind::Verify)
        return;
    // A row still marked as being written has no complete template behind it.
    m_tpl.clear();
    QString tplId;
    try {
        rdo_cntl db;
        WhereFinger(db, userId, fpNo);
        db.setWhereS(QStringLiteral("edit_flag = %1").arg(orvel::edit_flag::Complete));
        tplId = db.GetData(QStringLiteral("tpl_id")).toString();
    } catch (const RdoError &) {
        tplId.clear();
    }
    if (tplId.isEmpty() || !TplData::ReadTpl(TplData::TemplatePath(), tplId.toInt(), &m_tpl)) {
        m_tpl.clear(); // an empty template: the test runs but cannot match
        m_view->ShowMessage(QString::fromUtf8(fpinfo::NoTemplate), false);
    }
}

void FpSession::StartEnroll()
{
    m_stop = false;
    if (m_timStart)
        m_timStart->start();
}

void FpSession::StartVerify()
{
    StartEnroll();
}

void FpSession::StopTimers()
{
    for (QTimer *t : {m_timStart, m_timEnroll, m_timVerify})
        if (t)
            t->stop();
}

void FpSession::EnterStopped()
{
    m_stop = true;
    m_stopped = true;
    m_view->SetStopped(true);
}

void FpSession::timStart_Timer()
{
    m_timStart->stop();
    if (m_capturing) // a retry pressed while the last capture was still ending
        return m_timStart->start();
    m_stop = false;
    m_stopped = false;
    m_view->SetStopped(false);
    QDir::setCurrent(orvel::SiteFolder());
    FpLibrary &lib = FpLibrary::Instance();
    if (!lib.Load())
        m_view->ShowMessage(lib.Missing(), true);
    if (lib.ScannforDevice(1, &m_device) != AFP_OK) {
        // Stays running: the operator stops, connects the scanner and retries.
        Info(fpinfo::NoScanner, fpinfo::Red, true);
        return;
    }
    if (m_kind == Kind::Enroll)
        m_timEnroll->start();
    else
        m_timVerify->start();
}

bool FpSession::Capture(int box)
{
    QPointer<FpSession> alive(this);
    m_view->ClearImage(m_kind == Kind::Enroll && box == 0 ? -1 : box);
    Info(fpinfo::PlaceFinger, fpinfo::Black, false);
    PlaySound(QString::fromLatin1(kSoundPlace), 0);
    bool got = false;
    m_capturing = true;
    FpLibrary &lib = FpLibrary::Instance();
    for (int attempt = 0; attempt < kAttempts && !got; ++attempt) {
        // The stop button (and the window's close) take effect here.
        QCoreApplication::processEvents();
        if (!alive)
            return false;
        if (m_stop) {
            m_capturing = false;
            Info(fpinfo::Stopped, fpinfo::Red, false);
            return false;
        }
        got = lib.GetImageWait(m_device, &m_image, Timing().fpWaitValue);
    }
    m_capturing = false;
    if (!got) {
        Info(fpinfo::TimedOut, fpinfo::Red, false);
        return false;
    }
    m_view->ShowImage(box, m_image);
    Info(fpinfo::RemoveFinger, fpinfo::Black, false);
    PlaySound(QString::fromLatin1(kSoundRemove), 0);
    return true;
}

void FpSession::timEnroll_Timer()
{
    m_timEnroll->stop();
    if (!Capture(0)) {
        EnterStopped();
    } else if (!FpLibrary::Instance().CreateTemplate(m_device, &m_tpl)) {
        Info(fpinfo::TemplateFailed, fpinfo::Yellow, false);
        EnterStopped();
    } else {
        Info(fpinfo::TemplateMade, fpinfo::Black, false);
        if (!m_stop) {
            Info(fpinfo::VerifyNext, fpinfo::Blue, true);
            m_timVerify->start();
        } else {
            Info(fpinfo::Stopped, fpinfo::Red, false);
        }
    }
    if (m_closePending && !m_finished && CloseRequested())
        m_view->CloseScreen();
}

void FpSession::timVerify_Timer()
{
    m_timVerify->stop();
    if (m_kind == Kind::Enroll)
        VerifyEnrolled();
    else if (m_kind == Kind::Verify)
        VerifyOne();
    else
        Identify();
    if (m_closePending && !m_finished && CloseRequested())
        m_view->CloseScreen();
}

// Captures a finger into box and compares it with the template in hand. A failed capture or a
// finger that does not match (said and sounded) ends the attempt.
bool FpSession::CaptureMatches(int box)
{
    if (!Capture(box)) {
        EnterStopped();
        return false;
    }
    if (!FpLibrary::Instance().VerifyMatch(m_device, m_tpl)) {
        Info(fpinfo::NotMatched, fpinfo::Red, true);
        PlaySound(QString::fromLatin1(kSoundNotMatched), 0);
        EnterStopped();
        return false;
    }
    Info(fpinfo::Matched, fpinfo::Blue, false);
    return true;
}

void FpSession::VerifyEnrolled()
{
    if (!CaptureMatches(1))
        return;
    if (!Store())
        return EnterStopped();
    Info(fpinfo::Stored, fpinfo::Blue, false);
    PlaySound(QString::fromLatin1(kSoundStored), 0);
    Finish(true, true, m_tplNo);
}

bool FpSession::Store()
{
    const auto fail = [this](const QString &detail) {
        Info(fpinfo::StoreFailed, fpinfo::Red, true);
        m_view->ShowMessage(QString::fromUtf8(fpinfo::StoreFailed) + u'\n' + detail, true);
        return false;
    };
    // The row says edit_flag 1 until the record's bytes are on the disk: a template that was not
    // completely written is never sent to a gate or used to log in.
    try {
        rdo_cntl db;
        WhereFinger(db, m_userId, m_fpNo);
        const QString existing = db.GetData(QStringLiteral("tpl_id")).toString();
        int tplId = existing.toInt();
        // Writes the finger's row: a new one under tplId, or the existing one's flag.
        const auto writeRow = [&db, &tplId, this](int editFlag, bool insert) {
            db.SetData(QStringLiteral("user_id"), m_userId, true, true);
            db.SetData(QStringLiteral("fp_no"), m_fpNo, true);
            if (insert)
                db.SetData(QStringLiteral("tpl_id"), tplId);
            db.SetData(QStringLiteral("edit_flag"), editFlag);
            if (!(insert ? db.InsertData() : db.UpdateData()))
                throw RdoError(db.errMsg().toString());
        };
        if (!existing.isEmpty()) {
            writeRow(orvel::edit_flag::Writing, false);
        } else {
            rdo_cntl next;
            next.setDataSource(QStringLiteral("telmar_v1.v_tplid_new"));
            const QString n = next.GetData(QStringLiteral("new_tpl_id")).toString();
            tplId = n.isEmpty() ? 1 : n.toInt();
            writeRow(orvel::edit_flag::Writing, true);
        }
        m_tplNo = tplId;
        QString error;
        if (!TplData::WriteTpl(TplData::TemplatePath(), tplId, m_tpl, &error))
            return fail(TplData::TemplatePath() + QStringLiteral(": ") + error);
        writeRow(orvel::edit_flag::Complete, false);
        return true;
    } catch (const RdoError &e) {
        return fail(e.message());
    }
}

void FpSession::VerifyOne()
{
    if (!CaptureMatches(0))
        return;
    PlaySound(QString::fromLatin1(kSoundMatched), 0);
    Finish(false, true, 0);
}

void FpSession::Identify()
{
    if (!Capture(0))
        return EnterStopped();
    FpLibrary &lib = FpLibrary::Instance();
    const QString path = TplData::TemplatePath();
    int found = 0;
    try {
        // Every login template, a page at a time in template number order, however many there are.
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.v_login_fptpl"));
        db.setOrder(QStringLiteral("tpl_id"));
        db.setLimit(QString::number(kLoginPage));
        QVector<QVariant> ids(kLoginPage);
        int last = 0;
        for (;;) {
            db.setWhere(QStringLiteral("tpl_id > %1").arg(last));
            const int n = db.GetDataS(ids, QStringLiteral("tpl_id"));
            for (int i = 0; i < n && !found; ++i) {
                const int id = ids[i].toInt();
                QByteArray tpl;
                if (TplData::ReadTpl(path, id, &tpl) && lib.VerifyMatch(m_device, tpl))
                    found = id;
            }
            if (found || n < kLoginPage)
                break;
            last = ids[n - 1].toInt();
        }
    } catch (const RdoError &e) {
        m_view->ShowMessage(e.message(), true);
    }
    if (!found) {
        Info(fpinfo::NotMatched, fpinfo::Red, true);
        PlaySound(QString::fromLatin1(kSoundNotMatched), 0);
        return EnterStopped();
    }
    Info(fpinfo::Matched, fpinfo::Blue, false);
    m_tplNo = found;
    m_finished = true;
    if (auto *screen = GetCurrentScreen())
        screen->FP_SetTplId(true, qint16(found));
    PlaySound(QString::fromLatin1(kSoundMatched), 0);
    m_view->CloseScreen();
}

void FpSession::cmdStopExit_Click()
{
    if (m_kind == Kind::Delete)
        return Finish(true, false, 0);
    if (!m_stopped) {
        StopTimers();
        m_stop = true;
        Info(fpinfo::Stopped, fpinfo::Red, false);
        m_stopped = true;
        m_view->SetStopped(true);
        return;
    }
    // "閉じる": a capture still ending closes the window once it has.
    if (m_capturing) {
        m_closePending = true;
        return;
    }
    if (CloseRequested())
        m_view->CloseScreen();
}

void FpSession::cmdRetry_Click()
{
    if (!m_stopped || !m_timStart)
        return;
    m_timStart->start();
}

void FpSession::cmdDelete_Click()
{
    rdo_cntl db;
    WhereFinger(db, m_userId, m_fpNo);
    // Only the row goes: the template file keeps the record's bytes.
    if (!db.DeleteData()) {
        m_view->ShowMessage(QString::fromUtf8(fpinfo::DeleteFailed), false);
        return;
    }
    Finish(true, true, 0);
}

bool FpSession::CloseRequested()
{
    if (m_finished)
        return true;
    StopTimers();
    m_stop = true;
    if (m_capturing) {
        m_closePending = true;
        return false;
    }
    m_finished = true;
    if (m_kind != Kind::Verify)
        if (auto *screen = GetCurrentScreen())
            screen->FP_SetTplId(false, qint16(m_kind == Kind::Enroll ? m_tplNo : 0));
    return true;
}

void FpSession::Finish(bool report, bool ok, int tplNo)
{
    if (!m_finished) {
        m_finished = true;
        StopTimers();
        if (report)
            if (auto *screen = GetCurrentScreen())
                screen->FP_SetTplId(ok, qint16(tplNo));
    }
    m_view->CloseScreen();
}
