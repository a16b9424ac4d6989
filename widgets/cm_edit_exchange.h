#pragma once

#include <QString>

class CmEdit;

// Which way a window's data exchange runs: Load fills the controls from the window's
// values, Save reads the controls back into them.
enum class ExchangeDirection { Load, Save };

// Exchanges a CmEdit field with its value string: loading shows the value through the field's
// mask (CmEdit::SetValue), saving takes the characters of its input cells (CmEdit::GetValue).
void DDX_CmEdit(ExchangeDirection direction, CmEdit &control, QString &value);
