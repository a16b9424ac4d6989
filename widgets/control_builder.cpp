#include "control_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "resource_ids.h"
#include "up_down_control.h"

QString IdName(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

ControlBuilder::ControlBuilder(QWidget *parent) : m_parent(parent), m_units(parent->font()) {}

template <typename Control>
Control *ControlBuilder::Place(Control *control, int id, UnitRect at) {
    if (id != 0) {
        control->setObjectName(IdName(id));
    }
    control->setGeometry(m_units.ToPixels(at.x, at.y, at.width, at.height));
    return control;
}

QLabel *ControlBuilder::Static(int id, const QString &text, UnitRect at,
                               Qt::Alignment alignment) {
    auto *label = Place(new QLabel(text, m_parent), id, at);
    label->setAlignment(alignment);
    return label;
}

QLineEdit *ControlBuilder::Edit(int id, UnitRect at) {
    return Place(new QLineEdit(m_parent), id, at);
}

QLineEdit *ControlBuilder::PasswordEdit(int id, UnitRect at) {
    QLineEdit *edit = Edit(id, at);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QComboBox *ControlBuilder::DropDownList(int id, const QStringList &items, UnitRect at) {
    auto *list = Place(new QComboBox(m_parent), id, at);
    list->setEditable(false);
    list->addItems(items);
    // A drop-down list's rectangle in a template includes its open list; the closed box
    // keeps the height of one line.
    list->resize(list->width(), list->sizeHint().height());
    return list;
}

QCheckBox *ControlBuilder::CheckBox(int id, const QString &text, UnitRect at) {
    return Place(new QCheckBox(text, m_parent), id, at);
}

QRadioButton *ControlBuilder::Radio(int id, const QString &text, UnitRect at) {
    return Place(new QRadioButton(text, m_parent), id, at);
}

QPushButton *ControlBuilder::Button(int id, const QString &text, UnitRect at, bool isDefault) {
    auto *button = Place(new QPushButton(text, m_parent), id, at);
    button->setDefault(isDefault);
    return button;
}

QGroupBox *ControlBuilder::GroupBox(const QString &text, UnitRect at) {
    auto *frame = Place(new QGroupBox(text, m_parent), 0, at);
    // Controls are placed on the dialog, not inside the frame: keep it behind them.
    frame->lower();
    return frame;
}

UpDownControl *ControlBuilder::UpDown(int id, QLineEdit *buddy, int widthInUnits) {
    auto *control = new UpDownControl(m_parent);
    if (id != 0) control->setObjectName(IdName(id));
    const QRect edit = buddy->geometry();
    const int width = std::min(m_units.ToPixelsX(widthInUnits), edit.width());
    buddy->resize(edit.width() - width, edit.height());
    control->setGeometry(edit.right() - width + 1, edit.top(), width, edit.height());
    control->SetBuddy(buddy);
    return control;
}
