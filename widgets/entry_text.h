#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;
class SecretText;

// How the dialogs read what the user typed and write what the controller holds, in one
// place: the lenient number reading, the fixed lists, the two-digit minutes and the
// shown form of a face tag.
namespace EntryText {

// A number typed into an edit, read leniently: leading blanks skipped, an optional
// sign, then digits up to the first other character; no digits give 0. A number too
// large for an int reads as the nearest int, never as a wrapped value.
int ToInt(const QString &text);

// The level lists, "1" to "5": level n is item n - 1.
QStringList LevelItems();
// The meridian lists, "AM" (item 0) and "PM" (item 1).
QStringList MeridianItems();

// "%02d": minutes and seconds, day and month.
QString TwoDigits(int value);
// "%04d": the year.
QString FourDigits(int value);

// A tag as a tag box shows it: every leading colon and blank removed.
QString WithoutLeadingColonsAndBlanks(const QString &tag);

// Selects level n in a level list; a level outside 1 to 5 leaves it without a
// selection. Returns whether one was selected.
bool SelectLevel(QComboBox *list, int level);
// The selected level, or 0 when nothing is selected.
int SelectedLevel(const QComboBox *list);
// "AM" selected when the text is exactly "AM", otherwise "PM".
void SelectMeridian(QComboBox *list, const QString &ampm);

// The text of a password entry as the frame carries it (UTF-8), with the converted
// copy made on the way overwritten.
void ReadSecret(const QLineEdit &entry, SecretText &secret);
// Empties a password entry together with its undo history, so that neither the entry
// nor Ctrl+Z gives the password back. Qt frees the buffers that held the text without
// overwriting them; nothing outside Qt can reach them.
void ForgetSecret(QLineEdit *entry);

}  // namespace EntryText
