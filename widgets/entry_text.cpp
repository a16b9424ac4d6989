#include "entry_text.h"

#include <QByteArray>
#include <QComboBox>
#include <QLineEdit>
#include <limits>
#include <string_view>

#include "secret_text.h"

int EntryText::ToInt(const QString &text) {
    int i = 0;
    const int size = static_cast<int>(text.size());
    while (i < size && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                        text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                    : static_cast<int>(value);
}

QStringList EntryText::LevelItems() {
    return {"1", "2", "3", "4", "5"};
}

QStringList EntryText::MeridianItems() {
    return {"AM", "PM"};
}

QString EntryText::TwoDigits(int value) {
    return QString::asprintf("%02d", value);
}

QString EntryText::FourDigits(int value) {
    return QString::asprintf("%04d", value);
}

QString EntryText::WithoutLeadingColonsAndBlanks(const QString &tag) {
    qsizetype start = 0;
    while (start < tag.size() && (tag[start] == ':' || tag[start] == ' ')) ++start;
    return tag.mid(start);
}

bool EntryText::SelectLevel(QComboBox *list, int level) {
    const int index = list->findText(QString::number(level), Qt::MatchExactly);
    list->setCurrentIndex(index);
    return index >= 0;
}

int EntryText::SelectedLevel(const QComboBox *list) {
    return list->currentIndex() < 0 ? 0 : ToInt(list->currentText());
}

void EntryText::SelectMeridian(QComboBox *list, const QString &ampm) {
    list->setCurrentIndex(list->findText(ampm == "AM" ? "AM" : "PM", Qt::MatchExactly));
}

void EntryText::ReadSecret(const QLineEdit &entry, SecretText &secret) {
    QByteArray utf8 = entry.text().toUtf8();
    secret.Assign(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    // The conversion's buffer is this array's own (not shared), so data() reaches it.
    SecretText::Wipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
}

void EntryText::ForgetSecret(QLineEdit *entry) {
    // Setting a text, unlike clear(), also drops the undo history, whose steps hold the
    // typed characters.
    entry->setText(QString());
}
