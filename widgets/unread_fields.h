#pragma once

#include <QList>
#include <QString>
#include <vector>

class QWidget;

// The values of one dialog whose last read from the controller did not end with status 0.
// Their fields show nothing (an empty edit or log, no list entry and no radio button
// selected, a check box neither on nor off), so that no earlier reading can pass for this
// one. Whatever a field shows later was put there by the user, or by a later read that
// succeeded: a field's own state tells whether it was filled in, so no change
// notification has to be followed.
class UnreadFields {
public:
    // What the fields of one value hold, for Apply.
    enum class Entry {
        Known,       // read, or filled in completely since its read failed
        Unread,      // its read failed and nothing was filled in since: not to be sent
        Incomplete,  // its read failed and only some of its fields were filled in since
    };

    // The read of a value failed: its fields are emptied, and the value is named in the
    // notice until a later read of any of its fields succeeds. A value read before into
    // the same fields (the duty cycle of another level, say) gives way to it.
    void Failed(const QString &what, const QString &reason, const QList<QWidget *> &fields);
    // A read into these fields succeeded: the values they held are no longer unread.
    void Succeeded(const QList<QWidget *> &fields);

    // The state of the value a field belongs to; Known for a field of no failed read.
    Entry EntryOf(const QWidget *field) const;

    // One line for the dialog: "Not read: on time and off time. The Central Controller did
    // not answer." with the reason of the latest failure; empty when nothing is unread.
    QString Notice() const;

    // A field as a failed read leaves it.
    static void Empty(QWidget *field);
    // Whether the user has put something in a field since it was emptied. For radio
    // buttons the whole value counts: one of them turned on fills it.
    static bool Filled(const QWidget *field);

private:
    struct Value {
        QString what;
        QString reason;
        QList<QWidget *> fields;
    };

    void Drop(const QList<QWidget *> &fields);

    std::vector<Value> m_values;
};
