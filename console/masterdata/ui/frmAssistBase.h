#pragma once

// What the master-data pickers (frmJobAssist, frmUserAssist_Job, frmUserAssist) have in
// common: name and remarks search fields with a prefix match, the row limit cmbDispMax, a grid,
// cmdSelect and a double click that report the chosen rows to the current screen, and
// chbAutoClose whose state is kept in the settings store under "<picker>_CHB".
//
// A picker is shown with Open(): the busy flag holds the main window until the picker closes,
// and the caller's code continues after that.

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class MsfGrid;
class rdo_cntl;

class frmAssistBase : public QDialog
{
    Q_OBJECT
public:
    ~frmAssistBase() override;

    // SetBusyOn, show the picker, wait until it has closed.
    static void Open(frmAssistBase *picker);

    void cmdSearch_Click();
    void cmdSelect_Click();

protected:
    // name: the window's object name; gridName: the grid's object name.
    frmAssistBase(const QString &name, const QString &gridName, const QString &nameLabel, QWidget *parent);

    // Called once from the subclass constructor after it has declared the grid's columns on
    // list() and set the header: restores the auto-close choice and runs a first search.
    void Start();

    // Conditions of a search beyond the name and remarks prefixes.
    virtual QStringList ExtraConditions() const = 0;
    // Column of the source searched by the name field.
    virtual QString NameColumn() const = 0;
    virtual QString BikouColumn() const = 0;
    // Reports the rows top to bottom (grid numbering) to the current screen.
    virtual void SelectRows(int first, int last) = 0;

    rdo_cntl &list() { return *m_list; }
    MsfGrid *grid() const { return m_grid; }

    void hideEvent(QHideEvent *event) override;

private:
    std::unique_ptr<rdo_cntl> m_list;
    MsfGrid *m_grid;
    QLineEdit *m_txtName;
    QLineEdit *m_txtBikou;
    QComboBox *m_cmbDispMax;
    QCheckBox *m_chbAutoClose;
};
