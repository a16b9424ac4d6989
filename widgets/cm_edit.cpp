#include "cm_edit.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace {

// QLineEdit's own limit, standing for "no limit" where a mask has no cells: a limit of 0 would
// keep even the owner's text out of the field.
constexpr int kNoTextLimit = 32767;

constexpr QChar kBackspaceChar = u'\x08';
constexpr QChar kTabChar = u'\x09';
constexpr QChar kDeleteChar = u'\x7f';

// Range ends in the 8-bit character set compare as signed bytes, so a range from a plain ASCII
// character to an accented one counts as reversed and adds nothing.
int RangeCode(QChar character) {
    const int code = character.unicode();
    return code <= 0xff ? static_cast<int>(static_cast<signed char>(code)) : code;
}

// The characters a key press types, as the keyboard translates them: Ctrl with a letter or
// one of @[\]^_ gives the control character (Ctrl+V is 0x16), Ctrl+Backspace gives 0x7f, and
// Alt or Meta chords type nothing because they belong to menus and the desktop. Ctrl with
// Alt is AltGr on some keyboards and types what the layout says.
QString TypedText(const QKeyEvent &event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (modifiers.testFlag(Qt::MetaModifier) || (alt && !control)) {
        return {};
    }
    const int key = event.key();
    if (control && !alt) {
        if (key >= Qt::Key_At && key <= Qt::Key_Underscore) {
            return QString(QChar(key & 0x1f));
        }
        if (key == Qt::Key_Backspace) {
            return QString(kDeleteChar);
        }
        return {};
    }
    if (key == Qt::Key_Backspace) {
        return QString(kBackspaceChar);
    }
    return event.text();
}

}  // namespace

CmEdit::CmEdit(QWidget *parent) : QLineEdit(parent) {
    // Each of these would put text into the field without passing it through the mask.
    setAcceptDrops(false);
    setDragEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setEnabled(false);
}

bool CmEdit::Init(const QString &mask, const QString &value) {
    if (!CheckBrackets(mask)) {
        Fail(QString::fromLatin1(kInitFailedText));
        return false;
    }
    if (!SetValidChars(mask)) {
        Fail(QString::fromLatin1(kSetValidCharsFailedText));
        return false;
    }
    SetValue(value);
    m_currentPosition = FindInputPos(0, Direction::Forward);
    // A disabled widget cannot take the focus, so the field is enabled first. Taking the focus
    // selects everything; the caret placed afterwards replaces that selection.
    setEnabled(true);
    setFocus(Qt::OtherFocusReason);
    PlaceCaret(m_currentPosition);
    return true;
}

void CmEdit::Fail(const QString &text) {
    // Nothing of the refused mask is kept: the handlers and GetValue() must not work on a
    // table that does not match the text shown.
    m_positions.clear();
    m_positionCount = 0;
    m_currentPosition = -1;
    m_maskValid = false;
    // The failure text is shown whole whatever the previous mask's cell count was.
    setMaxLength(kNoTextLimit);
    setText(text);
    setEnabled(false);
}

bool CmEdit::CheckBrackets(const QString &mask) {
    int depth = 0;
    for (const QChar character : mask) {
        if (character == u'[') {
            ++depth;
        } else if (character == u']') {
            --depth;
        }
        if (depth < 0 || depth > 1) {
            return false;
        }
    }
    return depth == 0;
}

bool CmEdit::SetValidChars(const QString &mask) {
    m_positions.clear();
    // Until the parse succeeds no cell may be used: the old count would point past the table.
    m_positionCount = 0;
    m_maskValid = false;

    bool inSet = false;
    bool escape = false;
    bool rangePending = false;
    QString set;
    QString rangeStart;

    const auto addCell = [this](const QString &allowed, bool literal) {
        if (static_cast<int>(m_positions.size()) >= kMaxPositions) {
            return false;
        }
        m_positions.push_back(MaskPosition{allowed, literal});
        return true;
    };

    for (const QChar character : mask) {
        if (character == u'[') {
            inSet = true;
        } else if (character == u']') {
            // A range or escape still open at the end of the set means its characters as
            // written: "[0-]" takes 0 and a hyphen, "[a\]" takes a and a backslash.
            if (rangePending) {
                set += rangeStart + u'-';
            }
            if (escape) {
                set += u'\\';
            }
            rangePending = false;
            escape = false;
            rangeStart.clear();
            if (!addCell(set, false)) {
                return false;
            }
            set.clear();
            inSet = false;
        } else if (!inSet) {
            if (!addCell(QString(character), true)) {
                return false;
            }
        } else if (character == u'-') {
            if (escape) {
                set += u'-';
                escape = false;
            } else if (set.isEmpty()) {
                return false;
            } else {
                rangeStart = set.back();
                set.chop(1);
                rangePending = true;
            }
        } else if (character == u'\\') {
            if (!escape) {
                escape = true;
            } else {
                // The second backslash is used up here, as the end of a range or as itself;
                // an escape left set would swallow the meaning of the next hyphen.
                set += rangePending ? ExpandRange(rangeStart, QStringLiteral("\\"))
                                    : QStringLiteral("\\");
                rangeStart.clear();
                rangePending = false;
                escape = false;
            }
        } else {
            escape = false;
            if (rangePending) {
                set += ExpandRange(rangeStart, QString(character));
                rangeStart.clear();
                rangePending = false;
            } else {
                set += character;
            }
        }
    }

    m_positionCount = static_cast<int>(m_positions.size());
    setMaxLength(m_positionCount > 0 ? m_positionCount : kNoTextLimit);
    m_maskValid = true;
    return true;
}

QString CmEdit::ExpandRange(const QString &start, const QString &end) {
    if (start.size() != 1 || end.size() != 1) {
        return {};
    }
    const QChar first = start.front();
    const QChar last = end.front();
    const bool bytes = first.unicode() <= 0xff && last.unicode() <= 0xff;
    const int from = bytes ? RangeCode(first) : first.unicode();
    const int to = bytes ? RangeCode(last) : last.unicode();
    QString range;
    for (int code = from; code <= to; ++code) {
        range += QChar(static_cast<char16_t>(code < 0 ? code + 0x100 : code));
    }
    return range;
}

int CmEdit::FindInputPos(int index, Direction direction) const {
    if (index < 0 || index >= m_positionCount) {
        return -1;
    }
    if (direction == Direction::Forward) {
        for (int cell = index; cell < m_positionCount; ++cell) {
            if (!m_positions[cell].literal) {
                return cell;
            }
        }
    } else {
        for (int cell = index; cell >= 0; --cell) {
            if (!m_positions[cell].literal) {
                return cell;
            }
        }
    }
    return -1;
}

void CmEdit::SetValue(const QString &value) {
    if (!m_maskValid) {
        return;
    }
    QString display;
    int next = 0;
    for (int cell = 0; cell < m_positionCount; ++cell) {
        const MaskPosition &position = m_positions[cell];
        if (position.literal) {
            display += position.allowed;
        } else if (next < value.size()) {
            const QChar character = value.at(next++);
            display += position.allowed.contains(character) ? character : kFillChar;
        } else {
            display += kFillChar;
        }
    }
    setText(display);
}

QString CmEdit::GetValue() const {
    if (!m_maskValid) {
        return {};
    }
    const QString display = text();
    QString value;
    for (int cell = 0; cell < m_positionCount; ++cell) {
        if (m_positions[cell].literal) {
            continue;
        }
        if (display.size() < cell + 1) {
            value += kFillChar;
        } else if (display.at(cell) != kFillChar) {
            value += display.at(cell);
        }
    }
    return value;
}

const MaskPosition *CmEdit::Position(int cell) const {
    if (!m_maskValid || cell < 0 || cell >= m_positionCount) {
        return nullptr;
    }
    return &m_positions[cell];
}

// ---- Events ----

bool CmEdit::event(QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            // Qt would move the focus before the key reached keyPressEvent(); the field moves
            // it itself so that a neighbouring field learns that Shift is held.
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CmEdit::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    // The dialog acts on these before its controls: Return and Enter press the default
    // button, Escape cancels.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->ignore();
        return;
    }

    // Qt tells the Shift state with every key, so a Shift released while another window had
    // the keyboard cannot leave the flag set.
    m_shiftDown = key == Qt::Key_Shift || key == Qt::Key_Backtab ||
                  event->modifiers().testFlag(Qt::ShiftModifier);

    event->accept();
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            TabKey();
            return;
        case Qt::Key_Shift:
            return;
        case Qt::Key_End:
            EndKey();
            return;
        case Qt::Key_Home:
            HomeKey();
            return;
        case Qt::Key_Left:
            LeftKey();
            return;
        case Qt::Key_Right:
            RightKey();
            return;
        case Qt::Key_Delete:
            DeleteKey();
            return;
        default:
            break;
    }

    const QString typed = TypedText(*event);
    if (typed.isEmpty()) {
        // Not a key of the field's: the window may have a use for it.
        event->ignore();
        return;
    }
    for (const QChar character : typed) {
        CharacterTyped(character);
    }
}

void CmEdit::keyReleaseEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Shift) {
        m_shiftDown = false;
    }
    QLineEdit::keyReleaseEvent(event);
}

void CmEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    selectAll();
}

void CmEdit::focusOutEvent(QFocusEvent *event) {
    // The Shift key-up now goes to whichever control has the focus.
    m_shiftDown = false;
    QLineEdit::focusOutEvent(event);
}

void CmEdit::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        QLineEdit::mousePressEvent(event);
    } else {
        event->accept();
    }
}

void CmEdit::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        // The middle button would paste the selection clipboard unfiltered.
        event->accept();
        return;
    }
    const auto [start, end] = SelectionRange();
    if (start == end) {
        m_currentPosition = cursorPosition();
        PlaceCaret(m_currentPosition);
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CmEdit::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        selectAll();
    }
    event->accept();
}

void CmEdit::contextMenuEvent(QContextMenuEvent *event) {
    // Its Paste, Cut, Delete, Undo and Redo would change the text around the mask.
    event->accept();
}

void CmEdit::dragEnterEvent(QDragEnterEvent *event) {
    event->ignore();
}

void CmEdit::dragMoveEvent(QDragMoveEvent *event) {
    event->ignore();
}

void CmEdit::dropEvent(QDropEvent *event) {
    event->ignore();
}

void CmEdit::inputMethodEvent(QInputMethodEvent *event) {
    // Composed text is typed cell by cell like keys; a composition in progress is not shown.
    for (const QChar character : event->commitString()) {
        CharacterTyped(character);
    }
    event->accept();
}

// ---- Keys ----

void CmEdit::CharacterTyped(QChar character) {
    if (!m_maskValid) {
        return;
    }
    if (character == kBackspaceChar) {
        Backspace();
        return;
    }
    if (character == kTabChar) {
        return;
    }

    // A character overtypes a selection: the selection is cleared and the character lands
    // in its first input cell. One that cell refuses (a letter, Ctrl+C) changes nothing, so
    // a stray key never wipes a price the field was showing.
    const auto [start, end] = SelectionRange();
    if (start != end) {
        const int cell = FindInputPos(start, Direction::Forward);
        if (cell < 0 || !m_positions[cell].allowed.contains(character)) {
            return;
        }
        ClearCells(start, end);
    }
    if (m_currentPosition < 0 || m_currentPosition >= m_positionCount) {
        return;
    }
    if (!m_positions[m_currentPosition].allowed.contains(character)) {
        return;
    }
    const int next = FindInputPos(m_currentPosition + 1, Direction::Forward);
    ReplaceCells(m_currentPosition, m_currentPosition + 1, QString(character));
    m_currentPosition = next >= 0 ? next : m_currentPosition + 1;
    PlaceCaret(m_currentPosition);
}

void CmEdit::Backspace() {
    if (m_currentPosition <= 0) {
        return;
    }
    const int cell = FindInputPos(m_currentPosition - 1, Direction::Backward);
    if (cell < 0) {
        return;
    }
    ReplaceCells(cell, cell + 1, FillText());
    m_currentPosition = cell;
    PlaceCaret(cell);
}

void CmEdit::TabKey() {
    // Leaving clears this field's flag, so the state to hand on is taken first.
    const bool shiftDown = m_shiftDown;
    if (!focusNextPrevChild(!shiftDown)) {
        return;
    }
    // The Shift key-up will reach the new field, not this one.
    if (auto *neighbour = qobject_cast<CmEdit *>(window()->focusWidget());
        neighbour != nullptr && neighbour != this) {
        neighbour->m_shiftDown = shiftDown;
    }
}

void CmEdit::EndKey() {
    if (!m_maskValid) {
        return;
    }
    const int end = EndOfInput();
    if (m_shiftDown) {
        SelectCells(m_currentPosition, end);
    } else {
        m_currentPosition = end;
        PlaceCaret(end);
    }
}

void CmEdit::HomeKey() {
    if (!m_maskValid) {
        return;
    }
    if (m_shiftDown) {
        SelectCells(0, m_currentPosition);
    } else {
        m_currentPosition = FindInputPos(0, Direction::Forward);
        PlaceCaret(m_currentPosition);
    }
}

void CmEdit::LeftKey() {
    if (!m_maskValid) {
        return;
    }
    const int cell = FindInputPos(m_currentPosition - 1, Direction::Backward);
    if (cell >= 0) {
        m_currentPosition = cell;
        PlaceCaret(cell);
    }
}

void CmEdit::RightKey() {
    if (!m_maskValid) {
        return;
    }
    int cell = FindInputPos(m_currentPosition + 1, Direction::Forward);
    if (cell < 0) {
        cell = EndOfInput();
    }
    m_currentPosition = cell;
    PlaceCaret(cell);
}

void CmEdit::DeleteKey() {
    if (!m_maskValid) {
        return;
    }
    const auto [start, end] = SelectionRange();
    if (start != end) {
        ClearCells(start, end);
        return;
    }
    if (m_currentPosition < 0 || m_currentPosition >= EndOfInput()) {
        return;
    }
    // The caret can stand on a literal after a click; it keeps its character, as it does
    // when a selection is cleared.
    const MaskPosition &position = m_positions[m_currentPosition];
    ReplaceCells(m_currentPosition, m_currentPosition + 1,
                 position.literal ? position.allowed : FillText());
    const int next = FindInputPos(m_currentPosition + 1, Direction::Forward);
    m_currentPosition = next >= 0 ? next : m_currentPosition + 1;
    PlaceCaret(m_currentPosition);
}

// ---- Editing helpers ----

void CmEdit::ClearCells(int start, int end) {
    QString blank;
    // Characters past the last cell (only an owner's text can put them there) are not part of
    // any cell and go.
    for (int cell = start; cell < end && cell < m_positionCount; ++cell) {
        const MaskPosition &position = m_positions[cell];
        blank += position.literal ? position.allowed : FillText();
    }
    ReplaceCells(start, end, blank);
    m_currentPosition = FindInputPos(start, Direction::Forward);
    PlaceCaret(m_currentPosition);
}

void CmEdit::ReplaceCells(int start, int end, const QString &replacement) {
    // A text shorter than the mask (set directly by the owner) ends the cells early: the edit
    // lands at the end of the text, as far as the limit lets it.
    const int length = static_cast<int>(text().size());
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    setSelection(start, end - start);
    // insert() goes through the line edit's own editing, which emits textChanged().
    insert(replacement);
}

void CmEdit::SelectCells(int anchor, int caret) {
    const int length = static_cast<int>(text().size());
    anchor = std::clamp(anchor, 0, length);
    caret = std::clamp(caret, 0, length);
    setSelection(anchor, caret - anchor);
}

void CmEdit::PlaceCaret(int index) {
    if (index < 0) {
        deselect();
        return;
    }
    setCursorPosition(std::min(index, static_cast<int>(text().size())));
}

std::pair<int, int> CmEdit::SelectionRange() const {
    if (!hasSelectedText()) {
        const int caret = cursorPosition();
        return {caret, caret};
    }
    return {selectionStart(), selectionEnd()};
}

int CmEdit::EndOfInput() const {
    return FindInputPos(m_positionCount - 1, Direction::Backward) + 1;
}
