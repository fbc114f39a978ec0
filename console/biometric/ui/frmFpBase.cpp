#include "frmFpBase.h"

#include "FpLibrary.h"

#include "MsgBox.h"
#include "Public.h"
#include "ScreenLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Image boxes show the scanner's 152 x 200 pictures a little enlarged.
constexpr int kBoxWidth = 190;
constexpr int kBoxHeight = 250;
} // namespace

frmFpBase::frmFpBase(const QString &objectName, FpSession::Kind kind, const Layout &layout, QWidget *parent)
    : QDialog(parent), m_session(new FpSession(kind, this, this))
{
    setObjectName(objectName);
    setWindowTitle(layout.title);
    setAttribute(Qt::WA_DeleteOnClose);
    auto *grid = new QGridLayout(this);
    int row = 0;
    if (layout.names) {
        m_txtName = new QLineEdit(this);
        m_txtName->setObjectName(QStringLiteral("txtName"));
        m_txtFinger = new QLineEdit(this);
        m_txtFinger->setObjectName(QStringLiteral("txtFinger"));
        SetFieldLocked(m_txtName, true);
        SetFieldLocked(m_txtFinger, true);
        auto *names = new QHBoxLayout;
        names->addWidget(new QLabel(QStringLiteral("氏名"), this));
        names->addWidget(m_txtName, 2);
        names->addWidget(new QLabel(QStringLiteral("指"), this));
        names->addWidget(m_txtFinger, 1);
        grid->addLayout(names, row++, 0);
    }
    if (layout.boxes > 0) {
        auto *boxes = new QGridLayout;
        for (int i = 0; i < layout.boxes; ++i) {
            auto *pic = new QLabel(this);
            pic->setObjectName(layout.boxes > 1 ? QStringLiteral("picFp_%1").arg(i) : QStringLiteral("picFp"));
            pic->setFixedSize(kBoxWidth, kBoxHeight);
            pic->setFrameShape(QFrame::Panel);
            pic->setFrameShadow(QFrame::Sunken);
            pic->setAlignment(Qt::AlignCenter);
            pic->setAutoFillBackground(true);
            pic->setStyleSheet(QStringLiteral("background: white;"));
            m_picFp << pic;
            if (i < layout.boxCaptions.size())
                boxes->addWidget(new QLabel(layout.boxCaptions[i], this), 0, i, Qt::AlignHCenter);
            boxes->addWidget(pic, 1, i);
        }
        grid->addLayout(boxes, row++, 0, Qt::AlignHCenter);
    }
    m_lblInfo = new QLabel(QString::fromUtf8(layout.deleteButton ? fpinfo::DeleteQuestion : fpinfo::PlaceFinger), this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_lblInfo->setAlignment(Qt::AlignCenter);
    m_lblInfo->setMinimumHeight(40);
    QFont f = m_lblInfo->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    m_lblInfo->setFont(f);
    grid->addWidget(m_lblInfo, row++, 0);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    if (layout.deleteButton) {
        auto *cmdDelete = new QPushButton(QStringLiteral("削除"), this);
        cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
        buttons->addWidget(cmdDelete);
        connect(cmdDelete, &QPushButton::clicked, this, [this] { m_session->cmdDelete_Click(); });
    }
    m_cmdStopExit = new QPushButton(QStringLiteral("中止"), this);
    m_cmdStopExit->setObjectName(QStringLiteral("cmdStopExit"));
    m_cmdStopExit->setAutoDefault(false);
    buttons->addWidget(m_cmdStopExit);
    connect(m_cmdStopExit, &QPushButton::clicked, this, [this] { m_session->cmdStopExit_Click(); });
    if (layout.retry) {
        m_cmdRetry = new QPushButton(QStringLiteral("リトライ"), this);
        m_cmdRetry->setObjectName(QStringLiteral("cmdRetry"));
        m_cmdRetry->setEnabled(false);
        m_cmdRetry->setAutoDefault(false);
        buttons->addWidget(m_cmdRetry);
        connect(m_cmdRetry, &QPushButton::clicked, this, [this] { m_session->cmdRetry_Click(); });
    }
    buttons->addStretch();
    grid->addLayout(buttons, row++, 0);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    m_cmdStopExit->setFocus();
}

frmFpBase::~frmFpBase()
{
    if (!m_unloaded)
        SetBusyOff();
}

void frmFpBase::SetTopMost(bool on)
{
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) // a new window flag hides a shown window
        clWinTool::SetWinOrder(this);
}

void frmFpBase::SetFpInfo(const QString &userId, int fpNo, const QString &userName, const QString &fingerName)
{
    m_session->SetFpInfo(userId, fpNo, userName, fingerName);
}

void frmFpBase::ShowName(const QString &userName, const QString &fingerName)
{
    if (m_txtName)
        m_txtName->setText(userName);
    if (m_txtFinger)
        m_txtFinger->setText(fingerName);
}

void frmFpBase::ShowMessage(const QString &text, bool critical)
{
    MsgBox::Show(text, QMessageBox::Ok, critical ? QMessageBox::Critical : QMessageBox::NoIcon);
}

void frmFpBase::ShowInfo(const QString &text, quint32 colour, bool beep)
{
    ShowInfoLine(m_lblInfo, text, colour);
    if (beep)
        QApplication::beep();
}

void frmFpBase::ClearImage(int box)
{
    for (int i = 0; i < m_picFp.size(); ++i)
        if (box < 0 || box == i) {
            m_picFp[i]->clear();
            m_picFp[i]->repaint();
        }
}

void frmFpBase::ShowImage(int box, const QByteArray &image)
{
    if (box < 0 || box >= m_picFp.size())
        return;
    QLabel *pic = m_picFp[box];
    pic->setPixmap(QPixmap::fromImage(FpLibrary::Instance().Draw(image, pic->contentsRect().size())));
    pic->repaint();
}

void frmFpBase::SetStopped(bool stopped)
{
    m_cmdStopExit->setText(stopped ? QStringLiteral("閉じる") : QStringLiteral("中止"));
    if (m_cmdRetry)
        m_cmdRetry->setEnabled(stopped);
}

void frmFpBase::CloseScreen()
{
    close();
}

void frmFpBase::reject()
{
    close(); // Esc closes as the title bar does: through closeEvent, which may refuse
}

void frmFpBase::closeEvent(QCloseEvent *event)
{
    if (!m_session->CloseRequested()) {
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        SetBusyOff();
    }
    // Not QDialog's: it would reject() again, and reject() comes here.
    QWidget::closeEvent(event);
}
