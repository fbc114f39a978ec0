#include "frmSubTitle.h"

#include "UiUnits.h"

#include <QHBoxLayout>
#include <QLabel>

frmSubTitle::frmSubTitle(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmSubTitle"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    for (int i = 0; i < 2; ++i) {
        auto *l = new QLabel(this);
        l->setObjectName(QStringLiteral("lblSubTitle_%1").arg(i));
        l->setProperty("index", i);
        l->setAutoFillBackground(true);
        l->setAlignment(Qt::AlignCenter);
        l->setFont(big);
        l->setMinimumHeight(QFontMetrics(big).height() + 12);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        m_lbl[i] = l;
        layout->addWidget(l, i == 0 ? 1 : 2);
    }
}

void frmSubTitle::SetSubTitle(int mode, const QString &caption, quint32 colour)
{
    struct ModeLook
    {
        const char *caption;
        quint32 colour;
    };
    static const ModeLook looks[] = {{"情報照会", 0x00F0C010},
                                     {"情報編集", 0x0010F0C0},
                                     {"新規登録", 0x00C010F0},
                                     {"詳細設定を編集", 0x00C0F0F0}};
    const ModeLook &look = looks[qBound(0, mode, 3)];
    setLabel(1, caption.isEmpty() ? QString::fromUtf8(look.caption) : caption,
             BgrColor(colour != 0 ? colour : look.colour));
}

frmSubTitle::Label frmSubTitle::label(int index) const
{
    return {m_lbl[index]->text(), m_lbl[index]->palette().color(QPalette::Window)};
}

void frmSubTitle::setLabel(int index, const Label &l)
{
    setLabel(index, l.caption, l.color);
}

void frmSubTitle::setLabel(int index, const QString &caption, const QColor &color)
{
    QLabel *lbl = m_lbl[index];
    lbl->setText(caption);
    QPalette pal = lbl->palette();
    pal.setColor(QPalette::Window, color);
    lbl->setPalette(pal);
}
