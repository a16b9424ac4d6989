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
#include <optional>
#include <utility>

namespace {

// QLineEdit's own limit, standing for "no limit" where a mask has no cells: a limit of 0 would
// keep even the owner's text out of the field.
constexpr int kNoTextLimit = 32767;

constexpr QChar kBackspaceChar = u'\x08';
constexpr QChar kTabChar = u'\x09';
constexpr QChar kDeleteChar = u'\x7f';

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
    if (!CellMask::CheckBrackets(mask.toStdU16String())) {
        Fail(QString::fromLatin1(kInitFailedText));
        return false;
    }
    if (!SetValidChars(mask)) {
        Fail(QString::fromLatin1(kSetValidCharsFailedText));
        return false;
    }
    SetValue(value);
    m_currentPosition = m_mask.FindInputPos(0, CellMask::Direction::Forward);
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
    m_mask = CellMask();
    m_currentPosition = -1;
    m_maskValid = false;
    // The failure text is shown whole whatever the previous mask's cell count was.
    setMaxLength(kNoTextLimit);
    setText(text);
    setEnabled(false);
}

bool CmEdit::SetValidChars(const QString &mask) {
    std::optional<CellMask> parsed = CellMask::Parse(mask.toStdU16String());
    // A refused mask leaves no cells: the old ones would not match the text shown.
    m_mask = parsed ? std::move(*parsed) : CellMask();
    m_maskValid = parsed.has_value();
    if (!m_maskValid) {
        return false;
    }
    setMaxLength(m_mask.Count() > 0 ? m_mask.Count() : kNoTextLimit);
    return true;
}

void CmEdit::SetValue(const QString &value) {
    if (!m_maskValid) {
        return;
    }
    setText(QString::fromStdU16String(m_mask.Layout(value.toStdU16String())));
}

QString CmEdit::GetValue() const {
    if (!m_maskValid) {
        return {};
    }
    return QString::fromStdU16String(m_mask.ValueOf(text().toStdU16String()));
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
        const CellMask::Cell *cell =
            m_mask.At(m_mask.FindInputPos(start, CellMask::Direction::Forward));
        if (cell == nullptr || !cell->Accepts(character.unicode())) {
            return;
        }
        ClearCells(start, end);
    }
    const CellMask::Cell *cell = m_mask.At(m_currentPosition);
    if (cell == nullptr || !cell->Accepts(character.unicode())) {
        return;
    }
    const int next = m_mask.NextPosition(m_currentPosition);
    ReplaceCells(m_currentPosition, m_currentPosition + 1, QString(character));
    m_currentPosition = next;
    PlaceCaret(m_currentPosition);
}

void CmEdit::Backspace() {
    if (m_currentPosition <= 0) {
        return;
    }
    const int cell = m_mask.FindInputPos(m_currentPosition - 1, CellMask::Direction::Backward);
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
    const int end = m_mask.EndOfInput();
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
        m_currentPosition = m_mask.FindInputPos(0, CellMask::Direction::Forward);
        PlaceCaret(m_currentPosition);
    }
}

void CmEdit::LeftKey() {
    if (!m_maskValid) {
        return;
    }
    const int cell = m_mask.FindInputPos(m_currentPosition - 1, CellMask::Direction::Backward);
    if (cell >= 0) {
        m_currentPosition = cell;
        PlaceCaret(cell);
    }
}

void CmEdit::RightKey() {
    if (!m_maskValid) {
        return;
    }
    int cell = m_mask.FindInputPos(m_currentPosition + 1, CellMask::Direction::Forward);
    if (cell < 0) {
        cell = m_mask.EndOfInput();
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
    if (m_currentPosition < 0 || m_currentPosition >= m_mask.EndOfInput()) {
        return;
    }
    // The caret can stand on a literal after a click; it keeps its character, as it does
    // when a selection is cleared.
    ReplaceCells(m_currentPosition, m_currentPosition + 1,
                 QString::fromStdU16String(m_mask.Blank(m_currentPosition, m_currentPosition + 1)));
    m_currentPosition = m_mask.NextPosition(m_currentPosition);
    PlaceCaret(m_currentPosition);
}

// ---- Editing helpers ----

void CmEdit::ClearCells(int start, int end) {
    // Characters past the last cell (only an owner's text can put them there) are not part of
    // any cell and go.
    ReplaceCells(start, end, QString::fromStdU16String(m_mask.Blank(start, end)));
    m_currentPosition = m_mask.FindInputPos(start, CellMask::Direction::Forward);
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
