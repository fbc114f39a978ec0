#pragma once

// The work of the four fingerprint screens, without widgets: the scanner search, the capture
// loop, enrolment with its confirmation and storing, verification, login identification and
// deletion, the stopped state and retry, and the result reported to the current screen. A
// window shows what the session tells its FpView and forwards its buttons.

#include <QByteArray>
#include <QObject>
#include <QString>

class QTimer;

// What a fingerprint window shows. Colours are 0x00BBGGRR values.
class FpView
{
public:
    virtual ~FpView() = default;
    virtual void ShowInfo(const QString &text, quint32 colour, bool beep) = 0;
    virtual void ClearImage(int box) = 0; // -1: every box
    virtual void ShowImage(int box, const QByteArray &image) = 0;
    // Stopped: cmdStopExit reads "閉じる" and cmdRetry is enabled; running: "中止", disabled.
    virtual void SetStopped(bool stopped) = 0;
    virtual void CloseScreen() = 0;
    virtual void ShowName(const QString &userName, const QString &fingerName) = 0;
    // A message box; critical for failures the operator must act on.
    virtual void ShowMessage(const QString &text, bool critical) = 0;
};

namespace fpinfo {
// Texts of the fingerprint screens.
inline constexpr const char *PlaceFinger = "指を置いて下さい。";
inline constexpr const char *RemoveFinger = "指を離して下さい。";
inline constexpr const char *NoScanner = "指紋ｽｷｬﾅを接続してやり直して下さい。";
inline constexpr const char *Stopped = "中止ボタンが押されました。";
inline constexpr const char *TimedOut = "タイムアウトしました。";
inline constexpr const char *TemplateMade = "テンプレート作成完了";
inline constexpr const char *TemplateFailed = "テンプレート作成失敗";
inline constexpr const char *VerifyNext = "照合テストを行います。";
inline constexpr const char *Matched = "照合しました。";
inline constexpr const char *NotMatched = "照合されませんでした。";
inline constexpr const char *Stored = "登録されました。";
inline constexpr const char *StoreFailed = "指紋データの保存に失敗しました。";
inline constexpr const char *NoTemplate = "指紋情報の取得に失敗しました。";
inline constexpr const char *DeleteQuestion = "指紋データ削除します。よろしいですか？";
inline constexpr const char *DeleteFailed = "削除に失敗しました。";

inline constexpr quint32 Black = 0;
inline constexpr quint32 Red = 255;
inline constexpr quint32 Blue = 16711680;
inline constexpr quint32 Yellow = 65535;
} // namespace fpinfo

class FpSession : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Enroll, Verify, Login, Delete };

    FpSession(Kind kind, FpView *view, QObject *parent = nullptr);
    ~FpSession() override;

    Kind kind() const { return m_kind; }

    // The user, finger and the names shown; the verification screen also loads the template.
    void SetFpInfo(const QString &userId, int fpNo, const QString &userName, const QString &fingerName);
    void StartEnroll();
    void StartVerify(); // verification and login

    // Buttons.
    void cmdStopExit_Click();
    void cmdRetry_Click();
    void cmdDelete_Click();
    // The window is asked to close (title bar, Esc). True when it may close now; otherwise the
    // session closes it once the capture in progress has ended.
    bool CloseRequested();

    bool IsStopped() const { return m_stopped; }
    bool IsCapturing() const { return m_capturing; }
    int TemplateNumber() const { return m_tplNo; }
    QTimer *timStart() const { return m_timStart; }
    QTimer *timEnroll() const { return m_timEnroll; }
    QTimer *timVerify() const { return m_timVerify; }

private:
    void timStart_Timer();
    void timEnroll_Timer();
    void timVerify_Timer();
    void VerifyEnrolled();
    void VerifyOne();
    void Identify();
    bool Capture(int box);
    bool CaptureMatches(int box);
    bool Store();
    void EnterStopped();
    void StopTimers();
    // Reports to the current screen (when there is one) and closes the window.
    void Finish(bool report, bool ok, int tplNo);
    void Info(const char *text, quint32 colour, bool beep);

    Kind m_kind;
    FpView *m_view;
    QString m_userId;
    int m_fpNo = 0;
    unsigned char m_device = 0;
    QByteArray m_image;
    QByteArray m_tpl;
    bool m_stop = false;
    bool m_stopped = false;
    bool m_capturing = false;
    bool m_closePending = false;
    bool m_finished = false;
    int m_tplNo = 0;
    QTimer *m_timStart;
    QTimer *m_timEnroll = nullptr;
    QTimer *m_timVerify = nullptr;
};
