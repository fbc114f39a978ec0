#include "RdoAdapters.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

template <class Adapter, class W>
Adapter *AdapterOf(W *w)
{
    if (!w)
        return nullptr;
    // The adapters carry no meta-object of their own, so they are told apart by C++ type.
    for (QObject *child : w->children())
        if (auto *a = dynamic_cast<Adapter *>(child))
            return a;
    return new Adapter(w);
}

class LineEditText : public QObject, public RdoTextControl
{
public:
    explicit LineEditText(QLineEdit *w) : QObject(w), m_w(w) {}
    QString text() const override { return m_w->text(); }
    void setText(const QString &text) override { m_w->setText(text); }

private:
    QLineEdit *m_w;
};

class LabelText : public QObject, public RdoTextControl
{
public:
    explicit LabelText(QLabel *w) : QObject(w), m_w(w) {}
    QString text() const override { return m_w->text(); }
    void setText(const QString &text) override { m_w->setText(text); }

private:
    QLabel *m_w;
};

qint32 CodeOf(const QVariant &v)
{
    return v.isValid() ? v.toInt() : 0;
}

class ComboList : public QObject, public RdoListControl
{
public:
    explicit ComboList(QComboBox *w) : QObject(w), m_w(w) {}
    void clear() override { m_w->clear(); }
    void addItem(const QString &text) override { m_w->addItem(text); }
    int itemCount() const override { return m_w->count(); }
    qint32 itemData(int index) const override { return CodeOf(m_w->itemData(index)); }
    void setItemData(int index, qint32 code) override { m_w->setItemData(index, code); }
    int currentIndex() const override { return m_w->currentIndex(); }
    void setCurrentIndex(int index) override { m_w->setCurrentIndex(index); }
    QString text() const override { return m_w->currentText(); }
    // An editable box takes any text; a drop-down list can only show one of its items, so the
    // text selects the first item that has it and is otherwise ignored.
    void setText(const QString &text) override
    {
        if (m_w->isEditable()) {
            m_w->setEditText(text);
            return;
        }
        const int i = m_w->findText(text, Qt::MatchExactly);
        if (i >= 0)
            m_w->setCurrentIndex(i);
    }

private:
    QComboBox *m_w;
};

class ListWidgetList : public QObject, public RdoListControl
{
public:
    explicit ListWidgetList(QListWidget *w) : QObject(w), m_w(w) {}
    void clear() override { m_w->clear(); }
    void addItem(const QString &text) override { m_w->addItem(text); }
    int itemCount() const override { return m_w->count(); }
    qint32 itemData(int index) const override
    {
        const QListWidgetItem *it = m_w->item(index);
        return it ? CodeOf(it->data(Qt::UserRole)) : 0;
    }
    void setItemData(int index, qint32 code) override
    {
        if (QListWidgetItem *it = m_w->item(index))
            it->setData(Qt::UserRole, code);
    }
    int currentIndex() const override { return m_w->currentRow(); }
    void setCurrentIndex(int index) override
    {
        m_w->setCurrentRow(index);
        if (index < 0)
            m_w->clearSelection();
    }
    QString text() const override
    {
        const QListWidgetItem *it = m_w->currentItem();
        return it ? it->text() : QString();
    }
    void setText(const QString &text) override
    {
        const auto found = m_w->findItems(text, Qt::MatchExactly);
        if (!found.isEmpty())
            m_w->setCurrentItem(found.front());
    }

private:
    QListWidget *m_w;
};

} // namespace

RdoTextControl *RdoText(QLineEdit *w)
{
    return AdapterOf<LineEditText>(w);
}
RdoTextControl *RdoText(QLabel *w)
{
    return AdapterOf<LabelText>(w);
}
RdoListControl *RdoList(QComboBox *w)
{
    return AdapterOf<ComboList>(w);
}
RdoListControl *RdoList(QListWidget *w)
{
    return AdapterOf<ListWidgetList>(w);
}
