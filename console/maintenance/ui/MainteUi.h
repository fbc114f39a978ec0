#pragma once

// Pieces the maintenance windows share.

class QLineEdit;
class QWidget;
class rdo_cntl;

// A field that holds a bound column's value out of sight.
QLineEdit *HiddenField(const char *objectName, QWidget *parent);

// Writes a settings row back through its binding; on failure says "設定に失敗しました。".
bool SaveSettingsRow(rdo_cntl &db);
