#include "cm_edit_exchange.h"

#include "cm_edit.h"

void DDX_CmEdit(ExchangeDirection direction, CmEdit &control, QString &value) {
    if (direction == ExchangeDirection::Load) {
        control.SetValue(value);
    } else {
        value = control.GetValue();
    }
}
