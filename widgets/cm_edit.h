#pragma once

#include <QLineEdit>
#include <QString>
#include <utility>

#include "cell_mask.h"

// A single-line field laid out by a mask (CellMask holds the syntax, the cells and the value
// they lay out): a fixed row of character cells, some holding fixed literal characters, the
// others input cells that each accept only their own set of characters. The field works in
// overtype mode: every cell always holds one character, an empty input cell shows the fill
// character, typing replaces the cell under the caret and the caret steps over literal cells.
//
// Every change made through the mask (a typed character, Backspace, Delete, the clearing of a
// selection) emits textChanged(), which the price panel takes as an edit; SetValue() emits it
// when it changes the text. The owner may also call setText() directly: that bypasses the
// mask and leaves CurrentPosition() alone, though the line edit still cuts the text to the
// mask's cell count.
//
// Text cannot get in around the mask: paste, cut and undo keys arrive as control characters
// that the cells refuse, input-method text is typed cell by cell like keys, and the context
// menu, drag and drop and middle-button paste are closed. Return, Enter and Escape are left to
// the dialog (default button, cancel); Tab and Shift+Tab move to the neighbouring tab stop.
class CmEdit : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int kMaxPositions = CellMask::kMaxPositions;
    static constexpr QChar kFillChar = CellMask::kFillChar;
    static constexpr auto kInitFailedText = CellMask::kInitFailedText;
    static constexpr auto kSetValidCharsFailedText = CellMask::kSetValidCharsFailedText;

    // The field stays disabled and empty until Init succeeds.
    explicit CmEdit(QWidget *parent = nullptr);

    // Checks and parses the mask, shows the value, takes the focus with the caret on the first
    // input cell and enables the field. On a malformed mask the field shows "Init failed." or
    // "SetValidChars failed.", is disabled, and false is returned.
    bool Init(const QString &mask, const QString &value);

    // Parses the mask into its cells and limits the text to its cell count. Fails on
    // a hyphen that starts a set and on a mask of more than kMaxPositions cells.
    bool SetValidChars(const QString &mask);

    // Shows the value laid out by the mask; a character an input cell does not accept shows as
    // the fill character and still uses up its cell. Does nothing while no mask is in force.
    void SetValue(const QString &value);

    // The characters of the input cells without fill characters; empty while no mask is in
    // force.
    QString GetValue() const;

    int PositionCount() const { return m_mask.Count(); }
    // The cell the next keystroke acts on; PositionCount() means after the last cell and -1
    // no cell at all.
    int CurrentPosition() const { return m_currentPosition; }
    bool ShiftDown() const { return m_shiftDown; }
    QString FillText() const { return QString(kFillChar); }
    // The cell's record, or nullptr outside the mask in force.
    const CellMask::Cell *Position(int cell) const { return m_mask.At(cell); }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void Fail(const QString &text);

    void CharacterTyped(QChar character);
    void Backspace();
    void TabKey();
    void EndKey();
    void HomeKey();
    void LeftKey();
    void RightKey();
    void DeleteKey();

    // Puts literals and fill characters back into the cells start to end - 1 and moves to the
    // first input cell from start.
    void ClearCells(int start, int end);
    void ReplaceCells(int start, int end, const QString &replacement);
    void SelectCells(int anchor, int caret);
    void PlaceCaret(int index);
    std::pair<int, int> SelectionRange() const;

    // Without a mask in force it has no cells, so positions and cells are found nowhere.
    CellMask m_mask;
    int m_currentPosition = 0;
    bool m_shiftDown = false;
    // Set by a successful parse and cleared by a failed one: an empty mask is in force too,
    // and SetValue() and GetValue() act on it.
    bool m_maskValid = false;
};
