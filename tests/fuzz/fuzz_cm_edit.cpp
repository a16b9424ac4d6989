// The masked edit field, headless: any mask, any value, then any keys and clicks. A mask
// that parses gives a field whose text keeps exactly its cell count, whose literal cells
// keep their characters and whose input cells hold only their own characters or the fill
// character; a mask that does not parse leaves the field disabled.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cm_edit.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

QApplication &Application() {
    static int argc = 1;
    static char name[] = "fuzz_cm_edit";
    static char *argv[] = {name, nullptr};
    static QApplication *application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

const Qt::Key kKeys[] = {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left,  Qt::Key_Right,
                         Qt::Key_Home,      Qt::Key_End,    Qt::Key_Tab,   Qt::Key_Backtab,
                         Qt::Key_Shift,     Qt::Key_V,      Qt::Key_Insert};

void Key(CmEdit &field, std::uint8_t code, std::uint8_t modifiers) {
    Qt::KeyboardModifiers held;
    if (modifiers & 1) held |= Qt::ShiftModifier;
    if (modifiers & 2) held |= Qt::ControlModifier;
    QString text;
    int key;
    if (code < 0x80) {
        key = code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
        text = QChar(code);
    } else {
        key = kKeys[code % (sizeof kKeys / sizeof kKeys[0])];
    }
    QKeyEvent press(QEvent::KeyPress, key, held, text);
    QApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, held, text);
    QApplication::sendEvent(&field, &release);
}

void Click(CmEdit &field, std::uint8_t x, bool doubleClick) {
    const QPointF at(x % (field.width() + 1), field.height() / 2);
    const QEvent::Type type = doubleClick ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress;
    QMouseEvent press(type, at, field.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&field, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, field.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&field, &release);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Application();
    // The mask up to the first 0x00, the value up to the next, then pairs of event bytes.
    std::size_t at = 0;
    QString mask;
    while (at < size && data[at] != 0 && mask.size() < 300) mask += QChar(data[at++] & 0x7F);
    ++at;
    QString value;
    while (at < size && data[at] != 0 && value.size() < 300) value += QChar(data[at++] & 0x7F);
    ++at;

    CmEdit field;
    field.resize(200, 20);
    field.show();
    const bool parsed = field.Init(mask, value);
    if (!parsed) {
        Check(!field.isEnabled());
    }
    for (; at + 1 < size; at += 2) {
        if (data[at] == 0xFF) {
            Click(field, data[at + 1], false);
        } else if (data[at] == 0xFE) {
            Click(field, data[at + 1], true);
        } else if (data[at] == 0xFD) {
            field.SetValue(QString(QChar(data[at + 1] & 0x7F)));
        } else {
            Key(field, data[at], data[at + 1]);
        }
        if (!parsed) continue;
        const QString text = field.text();
        Check(text.size() == field.PositionCount());
        for (int cell = 0; cell < field.PositionCount(); ++cell) {
            const CellMask::Cell *position = field.Position(cell);
            Check(position != nullptr);
            Check(position->literal ? text[cell] == position->allowed[0]
                                    : (text[cell] == CmEdit::kFillChar ||
                                       position->Accepts(text[cell].unicode())));
        }
        Check(field.CurrentPosition() >= -1 && field.CurrentPosition() <= field.PositionCount());
    }
    return 0;
}
