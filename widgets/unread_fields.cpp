#include "unread_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>

void UnreadFields::Empty(QWidget *field) {
    // Quietly: emptying is not a choice of the user's, and must not start a read.
    const QSignalBlocker quiet(field);
    if (auto *edit = qobject_cast<QLineEdit *>(field)) {
        edit->clear();
    } else if (auto *list = qobject_cast<QComboBox *>(field)) {
        list->setCurrentIndex(-1);
    } else if (auto *box = qobject_cast<QCheckBox *>(field)) {
        // Neither on nor off; a click turns it on, and from then on it is an ordinary box.
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    } else if (auto *radio = qobject_cast<QRadioButton *>(field)) {
        // An exclusive radio button cannot be turned off by itself.
        const bool exclusive = radio->autoExclusive();
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(exclusive);
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(field)) {
        text->clear();
    }
}

bool UnreadFields::Filled(const QWidget *field) {
    if (const auto *edit = qobject_cast<const QLineEdit *>(field)) return !edit->text().isEmpty();
    if (const auto *list = qobject_cast<const QComboBox *>(field)) return list->currentIndex() >= 0;
    if (const auto *box = qobject_cast<const QCheckBox *>(field)) {
        return box->checkState() != Qt::PartiallyChecked;
    }
    if (const auto *radio = qobject_cast<const QRadioButton *>(field)) return radio->isChecked();
    // A log is only ever read.
    return false;
}

void UnreadFields::Drop(const QList<QWidget *> &fields) {
    std::erase_if(m_values, [&fields](const Value &value) {
        return std::any_of(fields.begin(), fields.end(),
                           [&value](QWidget *field) { return value.fields.contains(field); });
    });
}

void UnreadFields::Failed(const QString &what, const QString &reason,
                          const QList<QWidget *> &fields) {
    Drop(fields);
    for (QWidget *field : fields) Empty(field);
    m_values.push_back({what, reason, fields});
}

void UnreadFields::Succeeded(const QList<QWidget *> &fields) {
    for (QWidget *field : fields) {
        if (auto *box = qobject_cast<QCheckBox *>(field)) box->setTristate(false);
    }
    Drop(fields);
}

UnreadFields::Entry UnreadFields::EntryOf(const QWidget *field) const {
    const auto value = std::find_if(m_values.begin(), m_values.end(), [field](const Value &v) {
        return v.fields.contains(const_cast<QWidget *>(field));
    });
    if (value == m_values.end()) return Entry::Known;
    const auto filled = std::count_if(value->fields.begin(), value->fields.end(), Filled);
    const bool choice = std::all_of(value->fields.begin(), value->fields.end(), [](QWidget *f) {
        return qobject_cast<QRadioButton *>(f) != nullptr;
    });
    if (filled == value->fields.size() || (choice && filled > 0)) return Entry::Known;
    return filled == 0 ? Entry::Unread : Entry::Incomplete;
}

QString UnreadFields::Notice() const {
    if (m_values.empty()) return {};
    QString names;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        if (i > 0) names += i + 1 == m_values.size() ? " and " : ", ";
        names += m_values[i].what;
    }
    return "Not read: " + names + ". " + m_values.back().reason;
}
