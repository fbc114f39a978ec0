#pragma once

// What the four fingerprint windows share: the name and finger fields, the image boxes, the
// status line and the stop/close and retry buttons, shown as the session (FpSession) tells.

#include "FpSession.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QPushButton;

class frmFpBase : public QDialog, public FpView
{
    Q_OBJECT
public:
    ~frmFpBase() override;

    Q_INVOKABLE void SetFpInfo(const QString &userId, int fpNo, const QString &userName, const QString &fingerName);
    Q_INVOKABLE void ShowInfo(const QString &text, quint32 colour, bool beep) override;

    FpSession &session() { return *m_session; }
    // Switches the window between top-most and not top-most.
    void SetTopMost(bool on);

protected:
    struct Layout
    {
        QString title;
        bool names = true;        // name and finger fields
        QStringList boxCaptions;  // one image box per caption; one unnamed box when empty
        int boxes = 1;
        bool retry = true;
        bool deleteButton = false;
    };
    frmFpBase(const QString &objectName, FpSession::Kind kind, const Layout &layout, QWidget *parent);

    void closeEvent(QCloseEvent *event) override;
    void reject() override;

    // FpView
    void ClearImage(int box) override;
    void ShowImage(int box, const QByteArray &image) override;
    void SetStopped(bool stopped) override;
    void CloseScreen() override;
    void ShowName(const QString &userName, const QString &fingerName) override;
    void ShowMessage(const QString &text, bool critical) override;

private:
    FpSession *m_session;
    QLineEdit *m_txtName = nullptr;
    QLineEdit *m_txtFinger = nullptr;
    QLabel *m_lblInfo;
    QList<QLabel *> m_picFp;
    QPushButton *m_cmdStopExit;
    QPushButton *m_cmdRetry = nullptr;
    bool m_unloaded = false;
};
