#pragma once

#include <QString>
#include <QStringList>

#include "dialog_units.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class UpDownControl;

// A control's rectangle in dialog units, as a window template gives it.
struct UnitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The object name of a control with this numeric id: the id in decimal.
QString IdName(int id);

// Places the controls of one window from its template rows: each call makes one control
// of a kind at a rectangle in dialog units, with its id as its object name and its text.
// A window's constructor then reads like its template, one line per row. Id 0 marks a
// control that has no id of its own (labels, frames).
class ControlBuilder {
public:
    // Converts through the parent's font, which the window sets before building.
    explicit ControlBuilder(QWidget *parent);

    QLabel *Static(int id, const QString &text, UnitRect at,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    QLabel *Static(const QString &text, UnitRect at,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
        return Static(0, text, at, alignment);
    }
    QLineEdit *Edit(int id, UnitRect at);
    QLineEdit *PasswordEdit(int id, UnitRect at);
    // A drop-down list that takes no typing; the items stay in the order given (the
    // shared lists are already sorted).
    QComboBox *DropDownList(int id, const QStringList &items, UnitRect at);
    QCheckBox *CheckBox(int id, const QString &text, UnitRect at);
    QRadioButton *Radio(int id, const QString &text, UnitRect at);
    QPushButton *Button(int id, const QString &text, UnitRect at, bool isDefault = false);
    QGroupBox *GroupBox(const QString &text, UnitRect at);
    // Up-down arrows aligned to the right edge of their edit: they take the last
    // widthInUnits of the edit's rectangle, and the edit gives up that much of its width.
    UpDownControl *UpDown(int id, QLineEdit *buddy, int widthInUnits = 10);

    const DialogUnits &Units() const { return m_units; }
    QWidget *Parent() const { return m_parent; }

private:
    template <typename Control>
    Control *Place(Control *control, int id, UnitRect at);

    QWidget *m_parent;
    DialogUnits m_units;
};
