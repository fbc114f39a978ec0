#pragma once

// The title strip across the top of the main window: lblSubTitle_0 names the current screen,
// lblSubTitle_1 shows that screen's mode.

#include <QColor>
#include <QWidget>

class QLabel;

class frmSubTitle : public QWidget
{
    Q_OBJECT
public:
    explicit frmSubTitle(QWidget *parent = nullptr);

    // mode 0-3; an empty caption or a colour of 0 takes the mode's default.
    void SetSubTitle(int mode, const QString &caption = QString(), quint32 colour = 0);

    struct Label
    {
        QString caption;
        QColor color;
        bool operator==(const Label &) const = default;
    };
    Label label(int index) const;
    void setLabel(int index, const Label &l);
    void setLabel(int index, const QString &caption, const QColor &color);
    QLabel *lblSubTitle(int index) const { return m_lbl[index]; }

private:
    QLabel *m_lbl[2];
};
