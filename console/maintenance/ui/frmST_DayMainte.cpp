#include "frmST_DayMainte.h"

#include "MainteSettings.h"
#include "MainteUi.h"
#include "MsgBox.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace orvel::mainte;

ORVEL_REGISTER_SCREEN(frmST_DayMainte)

namespace {

QLineEdit *Field(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(2);
    e->setMaximumWidth(40);
    e->setAlignment(Qt::AlignRight);
    return e;
}

// A "する"/"しない" pair in its section box, writing "1"/"0" into its hidden flag field on the
// operator's click.
void FlagOptions(const char *name, QLineEdit *flag, QGroupBox *box)
{
    auto *group = new QButtonGroup(box);
    auto *row = new QHBoxLayout;
    for (int i : {1, 0}) {
        auto *b = new QRadioButton(i == 1 ? QStringLiteral("する") : QStringLiteral("しない"), box);
        b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        b->setProperty("index", i);
        group->addButton(b, i);
        row->addWidget(b);
    }
    row->addStretch();
    static_cast<QBoxLayout *>(box->layout())->addLayout(row);
    QObject::connect(group, &QButtonGroup::idClicked, flag, [flag](int id) { flag->setText(QString::number(id)); });
    QObject::connect(flag, &QLineEdit::textChanged, group, [group](const QString &t) {
        if (QAbstractButton *b = group->button(t.trimmed() == QLatin1String("1") ? 1 : 0))
            b->setChecked(true);
    });
}

// A titled box with an optional explanation, laid out top to bottom.
QGroupBox *Section(const char *title, const char *text, QWidget *parent, QVBoxLayout *root)
{
    auto *box = new QGroupBox(QString::fromUtf8(title), parent);
    auto *l = new QVBoxLayout(box);
    if (text) {
        auto *label = new QLabel(QString::fromUtf8(text), box);
        label->setWordWrap(true);
        l->addWidget(label);
    }
    root->addWidget(box);
    return box;
}

} // namespace

frmST_DayMainte::frmST_DayMainte(QWidget *parent)
    : QDialog(parent), m_db(std::make_unique<rdo_cntl>())
{
    setObjectName(QStringLiteral("frmST_DayMainte"));
    setWindowTitle(QStringLiteral("日次処理の設定"));
    setModal(true);

    m_txtDayMainteTime = HiddenField("txtDayMainteTime", this);
    m_txtSetTimeFlag = HiddenField("txtSetTimeFlag", this);
    m_txtGUserMainteFlag = HiddenField("txtGUserMainteFlag", this);
    m_txtDbMainteFlag = HiddenField("txtDbMainteFlag", this);
    m_txtHour = Field("txtHour", this);
    m_txtMinute = Field("txtMinute", this);
    m_txtLogtel_leave_days = Field("txtLogtel_leave_days", this);

    auto *root = new QVBoxLayout(this);
    root->addWidget(new QLabel(QStringLiteral("処理をおこなう時刻および処理内容の設定を行ってください。"), this));
    auto *timeBox = new QGroupBox(QStringLiteral("日次処理時刻"), this);
    auto *timeRow = new QHBoxLayout(timeBox);
    timeRow->addWidget(m_txtHour);
    timeRow->addWidget(LabelFor(m_txtMinute, QStringLiteral("：")));
    timeRow->addWidget(m_txtMinute);
    NameField(m_txtHour, QStringLiteral("日次処理時刻（時）"));
    NameField(m_txtMinute, QStringLiteral("日次処理時刻（分）"));
    timeRow->addWidget(new QLabel(QStringLiteral("に実行する。"), timeBox));
    timeRow->addStretch();
    root->addWidget(timeBox);

    auto *purge = Section("■ログの削除", "古いログを削除します。設定可能期間は 1～90日です。", this, root);
    auto *days = new QHBoxLayout;
    days->addWidget(m_txtLogtel_leave_days);
    days->addWidget(LabelFor(m_txtLogtel_leave_days, QStringLiteral("日以前のログを削除する。")));
    NameField(m_txtLogtel_leave_days, QStringLiteral("ログを残す日数"));
    days->addStretch();
    static_cast<QBoxLayout *>(purge->layout())->addLayout(days);
    FlagOptions("optTimeSet", m_txtSetTimeFlag,
                Section("■時計合わせ", "各ゲートの内蔵時計の時刻をPCの時計の時刻と合わせます。", this, root));
    FlagOptions("optGUserMainteFlag", m_txtGUserMainteFlag,
                Section("■ゲートからの登録ユーザを消去",
                        "各ゲートに対して通行許可ユーザの再設定を行い、非許可のユーザを消去します。", this, root));
    FlagOptions("optDbMainteFlag", m_txtDbMainteFlag, Section("■データベースの最適化", nullptr, this, root));

    auto *cmdOK = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    auto *cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    root->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmST_DayMainte::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    for (QLineEdit *e : {m_txtHour, m_txtMinute, m_txtLogtel_leave_days})
        e->installEventFilter(this);

    m_db->setDataSource(QStringLiteral("telmar_v1.set_mainte"));
    m_db->setWhere(QStringLiteral("mainte_id = 1"));
    m_db->SetBind(QStringLiteral("day_mainte_time"), RdoText(m_txtDayMainteTime), false, true);
    m_db->SetBind(QStringLiteral("logtel_leave_days"), RdoText(m_txtLogtel_leave_days));
    m_db->SetBind(QStringLiteral("set_time_flag"), RdoText(m_txtSetTimeFlag));
    m_db->SetBind(QStringLiteral("guser_mainte_flag"), RdoText(m_txtGUserMainteFlag));
    m_db->SetBind(QStringLiteral("db_mainte_flag"), RdoText(m_txtDbMainteFlag));
    try {
        m_db->LoadBind();
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
    const QString time = m_txtDayMainteTime->text();
    m_txtHour->setText(time.mid(0, 2));
    m_txtMinute->setText(time.mid(2, 2));
    QString days2;
    if (FormatInRange(m_txtLogtel_leave_days->text(), kLeaveDaysMin, kLeaveDaysMax, &days2))
        m_txtLogtel_leave_days->setText(days2);
}

frmST_DayMainte::~frmST_DayMainte() = default;

bool frmST_DayMainte::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!IsAcceptedFieldKey(key->key(), key->text()))
            return true; // dropped
    } else if (field && event->type() == QEvent::FocusOut) {
        if (!LeaveField(field)) {
            // Refused: keep the operator in the field.
            QApplication::beep();
            QMetaObject::invokeMethod(field, qOverload<>(&QWidget::setFocus), Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmST_DayMainte::LeaveField(QLineEdit *field)
{
    const int high = field == m_txtHour ? kHourMax : field == m_txtMinute ? kMinuteMax : kLeaveDaysMax;
    const int low = field == m_txtLogtel_leave_days ? kLeaveDaysMin : 0;
    QString formatted;
    if (!FormatInRange(field->text(), low, high, &formatted))
        return false;
    field->setText(formatted);
    if (field != m_txtLogtel_leave_days)
        ComposeTime();
    return true;
}

void frmST_DayMainte::ComposeTime()
{
    m_txtDayMainteTime->setText(m_txtHour->text() + m_txtMinute->text());
}

void frmST_DayMainte::cmdOK_Click()
{
    // Every field is checked again: a click on OK can come straight from a refused field.
    for (QLineEdit *field : {m_txtHour, m_txtMinute, m_txtLogtel_leave_days}) {
        if (!LeaveField(field)) {
            QApplication::beep();
            field->setFocus();
            return;
        }
    }
    if (SaveSettingsRow(*m_db))
        accept();
}
