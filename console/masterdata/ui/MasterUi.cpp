#include "MasterUi.h"

#include "ModeRules.h"

#include "DigitKeys.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "clSettingInfo.h"
#include "frmSubTitle.h"
#include "OrvelDefs.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDate>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "UiUnits.h"

namespace {
// Background of each mode's button: the colour the title strip shows for that mode.
const quint32 kModeColours[4] = {0x00F0C010, 0x0010F0C0, 0x00C010F0, 0x00C0F0F0};
} // namespace

FuncModeBar::FuncModeBar(QWidget *parent) : QGroupBox(parent), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("fraFuncMode"));
    auto *row = new QHBoxLayout(this);
    for (int i = 0; i < 4; ++i) {
        auto *b = new QRadioButton(FuncModeCaption(i), this);
        b->setObjectName(QStringLiteral("opbFuncMode_%1").arg(i));
        b->setProperty("index", i);
        b->setAutoFillBackground(true);
        QPalette pal = b->palette();
        pal.setColor(QPalette::Window, BgrColor(kModeColours[i]));
        b->setPalette(pal);
        m_group->addButton(b, i);
        row->addWidget(b);
    }
    row->addStretch();
    m_group->button(0)->setChecked(true);
    // idClicked comes only from the operator (mouse or keyboard), never from setChecked.
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        m_mode = id;
        if (onClick)
            onClick(id);
    });
}

void FuncModeBar::setMode(int mode)
{
    m_mode = qBound(0, mode, 3);
    m_group->button(m_mode)->setChecked(true);
}

void FuncModeBar::select(int mode)
{
    setMode(mode);
    if (onClick)
        onClick(m_mode);
}

QAbstractButton *FuncModeBar::button(int mode) const
{
    return m_group->button(mode);
}

void ShowModeSubTitle(int mode)
{
    if (QWidget *main = MainWindow())
        if (auto *strip = main->findChild<frmSubTitle *>())
            strip->SetSubTitle(mode);
}

namespace {
// Leaving an ID field pads what was typed to the ID's width and runs the screen's lookup.
class IdLeaveFilter : public QObject
{
public:
    IdLeaveFilter(QLineEdit *field, int width, std::function<void()> lostFocus)
        : QObject(field), m_field(field), m_width(width), m_lostFocus(std::move(lostFocus))
    {
    }

protected:
    bool eventFilter(QObject *obj, QEvent *ev) override
    {
        if (ev->type() == QEvent::FocusOut && obj == m_field) {
            // Switching windows or opening a message box is not leaving the field: the screen's
            // own message after a lookup would otherwise run the lookup again.
            const Qt::FocusReason why = static_cast<QFocusEvent *>(ev)->reason();
            if (why == Qt::ActiveWindowFocusReason || why == Qt::PopupFocusReason || m_busy)
                return false;
            m_busy = true;
            const QString text = m_field->text().trimmed();
            if (!text.isEmpty())
                m_field->setText(orvel::PadId(text, m_width));
            if (m_lostFocus)
                m_lostFocus();
            m_busy = false;
        }
        return false;
    }

private:
    QLineEdit *m_field;
    int m_width;
    std::function<void()> m_lostFocus;
    bool m_busy = false;
};
} // namespace

void SetupIdField(QLineEdit *field, int width, std::function<void()> lostFocus)
{
    field->setMaxLength(width);
    // Pasted text is held to digits too, so an ID is always digits only.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    AcceptDigitKeys(field);
    field->installEventFilter(new IdLeaveFilter(field, width, std::move(lostFocus)));
}

QPair<int, int> SelectedRows(const QAbstractItemView &view)
{
    const QModelIndex current = view.currentIndex();
    if (!current.isValid())
        return {-1, -1};
    const int cur = current.row();
    int lo = cur, hi = cur;
    // The selection range that holds the current row: its far end is the selection end row.
    for (const QItemSelectionRange &r : view.selectionModel()->selection())
        if (r.top() <= cur && cur <= r.bottom()) {
            lo = r.top();
            hi = r.bottom();
        }
    return {lo, hi};
}

QPair<int, int> SelectedBlock(const MsfGrid &grid)
{
    const QPair<int, int> rows = SelectedRows(grid);
    if (rows.first < 0)
        return rows;
    return {rows.first + grid.fixedRows(), rows.second + grid.fixedRows()};
}

bool LoadSettingFlag(const QString &section, const QString &key, bool def)
{
    clSettingInfo *s = Settings();
    if (!s)
        return def;
    s->setSectionName(section);
    return s->GetData(key, def ? QStringLiteral("1") : QStringLiteral("0")) == QLatin1String("1");
}

void SaveSettingFlag(const QString &section, const QString &key, bool on)
{
    if (clSettingInfo *s = Settings()) {
        s->setSectionName(section);
        s->SaveData(key, on ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

bool GuardDb(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
        return false;
    }
}

void SetGridHeader(MsfGrid &grid, const QStringList &captions)
{
    grid.setCols(int(captions.size()));
    for (int i = 0; i < captions.size(); ++i)
        grid.setTextMatrix(0, i, captions.at(i));
}

MainTimersPaused::MainTimersPaused(const QStringList &names)
{
    QWidget *main = MainWindow();
    if (!main)
        return;
    for (const QString &name : names)
        if (auto *t = main->findChild<QTimer *>(name); t && t->isActive()) {
            t->stop();
            m_stopped << t;
        }
}

MainTimersPaused::~MainTimersPaused()
{
    for (const QPointer<QTimer> &t : m_stopped)
        if (t)
            t->start();
}

MainWindowDisabled::MainWindowDisabled() : m_main(MainWindow())
{
    if (m_main)
        m_main->setEnabled(false);
}

MainWindowDisabled::~MainWindowDisabled()
{
    if (m_main)
        m_main->setEnabled(true);
}
