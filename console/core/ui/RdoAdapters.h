#pragma once

// Adapters that let the access component bind, fill and read the console's widgets. Each adapter
// lives as a child object of its widget, is created on first request and dies with the widget;
// asking twice gives the same adapter. The grid (MsfGrid) implements its contract itself.
//
//   db.SetBind("emp_name", RdoText(txtName));
//   db.LoadCombo(RdoList(cmbEmp));

#include "RdoControl.h"

class QLineEdit;
class QLabel;
class QComboBox;
class QListWidget;

RdoTextControl *RdoText(QLineEdit *w);
RdoTextControl *RdoText(QLabel *w);
// Items keep their 32-bit code in Qt::UserRole; an item without one reads as code 0.
RdoListControl *RdoList(QComboBox *w);
RdoListControl *RdoList(QListWidget *w);
