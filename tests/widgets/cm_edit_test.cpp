#include "cm_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "cm_edit_exchange.h"

namespace {

const QString kPriceMask = QStringLiteral("[0-9].[0-9][0-9]9");

// A shown, active window holding the fields under test, so that focus changes and mouse
// clicks happen as they do on screen.
class TestWindow {
public:
    explicit TestWindow(int fields = 1) {
        auto *layout = new QVBoxLayout(&m_window);
        for (int i = 0; i < fields; ++i) {
            auto *edit = new CmEdit(&m_window);
            layout->addWidget(edit);
            m_edits.push_back(edit);
        }
        m_other = new QLineEdit(&m_window);
        layout->addWidget(m_other);
        m_window.resize(240, 40 * (fields + 1));
        m_window.show();
        m_window.activateWindow();
    }

    bool Active() { return QTest::qWaitForWindowActive(&m_window); }
    CmEdit &Edit(int index = 0) { return *m_edits.at(index); }
    QLineEdit &Other() { return *m_other; }
    QWidget &Window() { return m_window; }

private:
    QWidget m_window;
    std::vector<CmEdit *> m_edits;
    QLineEdit *m_other = nullptr;
};

// One cell as the tests write it: "L." for a literal full stop, "I0123" for an input cell.
QString DescribeCell(const CellMask::Cell *position) {
    if (position == nullptr) {
        return QStringLiteral("none");
    }
    return (position->literal ? QStringLiteral("L") : QStringLiteral("I")) +
           QString::fromStdU16String(position->allowed);
}

QStringList DescribeCells(const CmEdit &edit) {
    QStringList cells;
    for (int cell = 0; cell < edit.PositionCount(); ++cell) {
        cells << DescribeCell(edit.Position(cell));
    }
    return cells;
}

// The horizontal position in the field whose nearest caret index is index.
QPoint PointAtIndex(CmEdit &edit, int index) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < edit.width(); ++x) {
        if (edit.cursorPositionAt(QPoint(x, edit.height() / 2)) == index) {
            if (first < 0) {
                first = x;
            }
            last = x;
        }
    }
    return QPoint((first + last) / 2, edit.height() / 2);
}

}  // namespace

class CmEditTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Masks ----
    void ParsesMaskIntoCells_data();
    void ParsesMaskIntoCells();
    void RefusesMalformedMask_data();
    void RefusesMalformedMask();
    void AcceptsMaskOfMaxCells();
    void FailureAfterGoodMaskShowsWholeTextAndNextInitRecovers();
    void MaskWithoutCellsLeavesTextUnlimited();

    // ---- Values ----
    void SetValueLaysOutValue_data();
    void SetValueLaysOutValue();
    void ExchangesValueWithDialog();

    // ---- Typing ----
    void InitFocusesFirstInputCell();
    void TypesPriceSteppingOverLiterals();
    void CellTakesOnlyItsCharacters_data();
    void CellTakesOnlyItsCharacters();
    void FocusSelectsAllAndFirstDigitClearsInputCells();
    void BackspaceClearsPreviousInputCell();
    void DeleteClearsCellAndMovesOn();
    void DeleteKeepsLiteralUnderCaret();
    void DeleteClearsSelectionKeepingLiterals();
    void SelectionWithoutInputCellAfterLeavesNoPosition();
    void MaskWithoutInputCells();
    void ArrowsHomeAndEndMoveBetweenInputCells();
    void ShiftHomeAndEndSelect();
    void OwnerTextBypassesMask();

    // ---- Ways around the mask ----
    void ControlKeysDoNotPasteOrUndo();
    void StrayKeyOverASelectionKeepsThePrice();
    void ContextMenuDropAndInputMethodAreClosed();

    // ---- Notifications ----
    void EveryChangeThroughMaskNotifies();

    // ---- Focus, dialog and mouse ----
    void TabMovesFocusAndCarriesShift();
    void ReturnAndEnterReachDefaultButton_data();
    void ReturnAndEnterReachDefaultButton();
    void EscapeRejectsDialog();
    void ClickSetsPositionAndDoubleClickSelectsAll();
};

// ---- Masks ----

// The mask grammar row by row, and laying out and reading back values, are CellMask's and
// tested without Qt in tests/station/cell_mask_test.cpp; these tests check the field's side.

void CmEditTest::ParsesMaskIntoCells_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("display");

    const QString digits = QStringLiteral("I0123456789");
    QTest::newRow("price") << kPriceMask << QStringList{digits, "L.", digits, digits, "L9"}
                           << "_.__9";
    QTest::newRow("digit or point") << "[0-9.]" << QStringList{digits + "."} << "_";
    QTest::newRow("unknown format")
        << "ERROR" << QStringList{"LE", "LR", "LR", "LO", "LR"} << "ERROR";
    QTest::newRow("accented range") << QString::fromUtf8("[\u00e0-\u00e2]")
                                    << QStringList{QString::fromUtf8("I\u00e0\u00e1\u00e2")} << "_";
    QTest::newRow("empty mask") << "" << QStringList{} << "";
}

void CmEditTest::ParsesMaskIntoCells() {
    QFETCH(QString, mask);
    QFETCH(QStringList, cells);
    QFETCH(QString, display);

    CmEdit edit;
    QVERIFY(edit.Init(mask, QString()));
    QCOMPARE(DescribeCells(edit), cells);
    QCOMPARE(edit.PositionCount(), cells.size());
    QCOMPARE(edit.text(), display);
    QVERIFY(edit.isEnabled());
    if (!cells.isEmpty()) {
        QCOMPARE(edit.maxLength(), cells.size());
    }
}

void CmEditTest::RefusesMalformedMask_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("failure");

    const QString initFailed = QString::fromLatin1(CmEdit::kInitFailedText);
    const QString parseFailed = QString::fromLatin1(CmEdit::kSetValidCharsFailedText);
    QTest::newRow("nested") << "[[0-9]]" << initFailed;
    QTest::newRow("unclosed") << "[0-9" << initFailed;
    QTest::newRow("unopened") << "0-9]" << initFailed;
    QTest::newRow("closed before opened") << "][0-9" << initFailed;
    QTest::newRow("hyphen starts set") << "[-9]" << parseFailed;
    QTest::newRow("hyphen starts later set") << "[0-9].[-9]" << parseFailed;
    // The escape used up as a range's end does not carry into the next set.
    QTest::newRow("escape does not leak") << "[!-\\\\][-9]" << parseFailed;
    QTest::newRow("257 literals") << QString(257, u'x') << parseFailed;
    QTest::newRow("257 input cells") << QStringLiteral("[0-9]").repeated(257) << parseFailed;
}

void CmEditTest::RefusesMalformedMask() {
    QFETCH(QString, mask);
    QFETCH(QString, failure);

    CmEdit edit;
    QVERIFY(!edit.Init(mask, QStringLiteral("123")));
    QCOMPARE(edit.text(), failure);
    QVERIFY(!edit.isEnabled());
    QCOMPARE(edit.GetValue(), QString());
    QCOMPARE(edit.PositionCount(), 0);
    QCOMPARE(edit.CurrentPosition(), -1);
    // The failure text stays: no value is laid out over it.
    edit.SetValue(QStringLiteral("5"));
    QCOMPARE(edit.text(), failure);
}

void CmEditTest::AcceptsMaskOfMaxCells() {
    CmEdit edit;
    const QString mask = QString(CmEdit::kMaxPositions - 1, u'x') + QStringLiteral("[0-9]");
    QVERIFY(edit.Init(mask, QStringLiteral("7")));
    QCOMPARE(edit.PositionCount(), CmEdit::kMaxPositions);
    QCOMPARE(edit.maxLength(), CmEdit::kMaxPositions);
    QCOMPARE(edit.GetValue(), QStringLiteral("7"));
    QCOMPARE(edit.CurrentPosition(), CmEdit::kMaxPositions - 1);
}

void CmEditTest::FailureAfterGoodMaskShowsWholeTextAndNextInitRecovers() {
    CmEdit edit;
    QVERIFY(edit.Init(QStringLiteral("[0-9]"), QStringLiteral("4")));
    QVERIFY(!edit.Init(QStringLiteral("[0-9"), QString()));
    QCOMPARE(edit.text(), QString::fromLatin1(CmEdit::kInitFailedText));
    QVERIFY(!edit.Init(QStringLiteral("[-]"), QString()));
    QCOMPARE(edit.text(), QString::fromLatin1(CmEdit::kSetValidCharsFailedText));
    QCOMPARE(edit.GetValue(), QString());

    QVERIFY(edit.Init(kPriceMask, QStringLiteral("12")));
    QVERIFY(edit.isEnabled());
    QCOMPARE(edit.text(), QStringLiteral("1.2_9"));
    QCOMPARE(edit.GetValue(), QStringLiteral("12"));
}

void CmEditTest::MaskWithoutCellsLeavesTextUnlimited() {
    CmEdit edit;
    QVERIFY(edit.Init(QString(), QString()));
    QCOMPARE(edit.PositionCount(), 0);
    QCOMPARE(edit.CurrentPosition(), -1);
    QVERIFY(edit.maxLength() > 0);
    edit.setText(QStringLiteral("12.34"));
    QCOMPARE(edit.text(), QStringLiteral("12.34"));
    QCOMPARE(edit.GetValue(), QString());
}

// ---- Values ----

void CmEditTest::SetValueLaysOutValue_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("display");

    QTest::newRow("refused character uses its cell") << "[0-9][0-9][0-9]"
                                                     << "7x5"
                                                     << "7_5";
    QTest::newRow("short value") << kPriceMask << "1"
                                 << "1.__9";
    QTest::newRow("no input cells") << "ERROR"
                                    << "12"
                                    << "ERROR";
}

void CmEditTest::SetValueLaysOutValue() {
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, display);

    CmEdit edit;
    QVERIFY(edit.Init(mask, QString()));
    const int position = edit.CurrentPosition();
    edit.SetValue(value);
    QCOMPARE(edit.text(), display);
    QCOMPARE(edit.CurrentPosition(), position);
}

void CmEditTest::ExchangesValueWithDialog() {
    CmEdit edit;
    QVERIFY(edit.Init(QStringLiteral("[0-9][0-9][0-9]"), QString()));
    QString value = QStringLiteral("7x5");
    DDX_CmEdit(ExchangeDirection::Load, edit, value);
    QCOMPARE(edit.text(), QStringLiteral("7_5"));
    QCOMPARE(value, QStringLiteral("7x5"));

    DDX_CmEdit(ExchangeDirection::Save, edit, value);
    QCOMPARE(value, QStringLiteral("75"));

    CmEdit failed;
    QVERIFY(!failed.Init(QStringLiteral("[-9]"), QString()));
    value = QStringLiteral("stale");
    DDX_CmEdit(ExchangeDirection::Save, failed, value);
    QCOMPARE(value, QString());
}

// ---- Typing ----

void CmEditTest::InitFocusesFirstInputCell() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    window.Other().setFocus();
    QVERIFY(!edit.isEnabled());

    QVERIFY(edit.Init(QStringLiteral("9.[0-9]"), QStringLiteral("5")));
    QVERIFY(edit.isEnabled());
    QVERIFY(edit.hasFocus());
    QCOMPARE(edit.text(), QStringLiteral("9.5"));
    QCOMPARE(edit.CurrentPosition(), 2);
    QCOMPARE(edit.cursorPosition(), 2);
    QVERIFY(!edit.hasSelectedText());
}

void CmEditTest::TypesPriceSteppingOverLiterals() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    QVERIFY(edit.Init(kPriceMask, QString()));
    QCOMPARE(edit.text(), QStringLiteral("_.__9"));

    const struct {
        char key;
        const char *text;
        int position;
    } steps[] = {
        {'3', "3.__9", 2},                     // over the literal point
        {'4', "3.4_9", 3}, {'5', "3.459", 4},  // onto the literal 9
        {'9', "3.459", 5},  // the literal's own character is accepted, caret past the end
        {'1', "3.459", 5},  // nothing more fits
        {'9', "3.459", 5},
    };
    for (const auto &step : steps) {
        QTest::keyClick(&edit, step.key);
        QCOMPARE(edit.text(), QString::fromLatin1(step.text));
        QCOMPARE(edit.CurrentPosition(), step.position);
        QCOMPARE(edit.cursorPosition(), step.position);
    }
    QCOMPARE(edit.GetValue(), QStringLiteral("345"));
}

void CmEditTest::CellTakesOnlyItsCharacters_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("display");

    QTest::newRow("point in digit-or-point cell") << "[0-9.]"
                                                  << "."
                                                  << ".";
    QTest::newRow("digit in digit-or-point cell") << "[0-9.]"
                                                  << "7"
                                                  << "7";
    QTest::newRow("point refused by digit cell") << "[0-9]"
                                                 << "."
                                                 << "_";
    QTest::newRow("letter refused by digit cell") << "[0-9]"
                                                  << "a"
                                                  << "_";
    QTest::newRow("digit in digit cell") << "[0-9]"
                                         << "7"
                                         << "7";
    QTest::newRow("escaped hyphen") << "[\\-9]"
                                    << "-"
                                    << "-";
    QTest::newRow("nine beside escaped hyphen") << "[\\-9]"
                                                << "9"
                                                << "9";
    QTest::newRow("backslash not in escaped-hyphen cell") << "[\\-9]"
                                                          << "\\"
                                                          << "_";
    QTest::newRow("escaped backslash") << "[a\\\\]"
                                       << "\\"
                                       << "\\";
    QTest::newRow("letter beside escaped backslash") << "[a\\\\]"
                                                     << "a"
                                                     << "a";
    QTest::newRow("reversed range takes no 9") << "[9-0]"
                                               << "9"
                                               << "_";
    QTest::newRow("reversed range takes no 0") << "[9-0]"
                                               << "0"
                                               << "_";
    QTest::newRow("reversed range takes no 5") << "[9-0]"
                                               << "5"
                                               << "_";
    QTest::newRow("open range takes hyphen") << "[0-]"
                                             << "-"
                                             << "-";
    QTest::newRow("open range takes start") << "[0-]"
                                            << "0"
                                            << "0";
    QTest::newRow("open range is no range") << "[0-]"
                                            << "1"
                                            << "_";
    QTest::newRow("open escape takes backslash") << "[a\\]"
                                                 << "\\"
                                                 << "\\";
    QTest::newRow("empty set") << "[]"
                               << "x"
                               << "_";
    QTest::newRow("fill character refused") << "[0-9]"
                                            << "_"
                                            << "_";
    QTest::newRow("space refused") << "[0-9]"
                                   << " "
                                   << "_";
}

void CmEditTest::CellTakesOnlyItsCharacters() {
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, display);

    CmEdit edit;
    QVERIFY(edit.Init(mask, QString()));
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), display);
    QCOMPARE(edit.CurrentPosition(), display == QStringLiteral("_") ? 0 : 1);
}

void CmEditTest::FocusSelectsAllAndFirstDigitClearsInputCells() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QTest::keyClick(&edit, Qt::Key_Right);
    QCOMPARE(edit.CurrentPosition(), 2);

    window.Other().setFocus(Qt::TabFocusReason);
    edit.setFocus(Qt::MouseFocusReason);
    QVERIFY(edit.hasFocus());
    QCOMPARE(edit.selectedText(), QStringLiteral("1.239"));
    QCOMPARE(edit.CurrentPosition(), 2);

    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    QTest::keyClick(&edit, '7');
    QCOMPARE(edit.text(), QStringLiteral("7.__9"));
    QCOMPARE(edit.CurrentPosition(), 2);
    QCOMPARE(edit.cursorPosition(), 2);
    QCOMPARE(changed.count(), 2);  // the clearing, then the digit
}

void CmEditTest::BackspaceClearsPreviousInputCell() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QSignalSpy changed(&edit, &QLineEdit::textChanged);

    QTest::keyClick(&edit, Qt::Key_Backspace);  // at the first input cell
    QCOMPARE(edit.text(), QStringLiteral("1.239"));
    QCOMPARE(changed.count(), 0);

    QTest::keyClicks(&edit, QStringLiteral("45"));
    QCOMPARE(edit.CurrentPosition(), 3);
    const struct {
        const char *text;
        int position;
    } steps[] = {
        {"4._39", 2},
        {"_._39", 0},  // back over the literal point
        {"_._39", 0},  // nothing before the first input cell
    };
    for (const auto &step : steps) {
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString::fromLatin1(step.text));
        QCOMPARE(edit.CurrentPosition(), step.position);
        QCOMPARE(edit.cursorPosition(), step.position);
    }

    // Backspace ignores a selection: only the cell before the position is cleared.
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QTest::keyClick(&edit, Qt::Key_End);
    edit.setSelection(0, 2);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("1.2_9"));
    QCOMPARE(edit.CurrentPosition(), 3);
}

void CmEditTest::DeleteClearsCellAndMovesOn() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    const struct {
        const char *text;
        int position;
    } steps[] = {
        {"_.239", 2},
        {"_._39", 3},
        {"_.__9", 4},
        {"_.__9", 4},  // beyond the last input cell: nothing
    };
    for (const auto &step : steps) {
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), QString::fromLatin1(step.text));
        QCOMPARE(edit.CurrentPosition(), step.position);
        QCOMPARE(edit.cursorPosition(), step.position);
    }
}

void CmEditTest::DeleteKeepsLiteralUnderCaret() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QTest::mouseClick(&edit, Qt::LeftButton, {}, PointAtIndex(edit, 1));
    QCOMPARE(edit.CurrentPosition(), 1);

    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QStringLiteral("1.239"));
    QCOMPARE(edit.CurrentPosition(), 2);
}

void CmEditTest::DeleteClearsSelectionKeepingLiterals() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QTest::keyClick(&edit, Qt::Key_Right);
    edit.setSelection(1, 3);
    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QStringLiteral("1.__9"));
    QCOMPARE(edit.CurrentPosition(), 2);
    QCOMPARE(edit.cursorPosition(), 2);
    QCOMPARE(changed.count(), 1);
}

void CmEditTest::SelectionWithoutInputCellAfterLeavesNoPosition() {
    CmEdit edit;
    QVERIFY(edit.Init(QStringLiteral("[0-9]AB"), QStringLiteral("5")));
    edit.setSelection(1, 2);
    // No cell would take a typed character: it leaves everything as it was.
    QTest::keyClick(&edit, 'x');
    QCOMPARE(edit.CurrentPosition(), 0);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QStringLiteral("5AB"));
    QCOMPARE(edit.CurrentPosition(), -1);

    // Until a position is set again nothing changes the text.
    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    QTest::keyClick(&edit, '3');
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Left);
    QCOMPARE(edit.text(), QStringLiteral("5AB"));
    QCOMPARE(edit.CurrentPosition(), -1);
    QCOMPARE(changed.count(), 0);

    QTest::keyClick(&edit, Qt::Key_Home);
    QCOMPARE(edit.CurrentPosition(), 0);
    QTest::keyClick(&edit, '3');
    QCOMPARE(edit.text(), QStringLiteral("3AB"));
}

void CmEditTest::MaskWithoutInputCells() {
    CmEdit edit;
    QVERIFY(edit.Init(QStringLiteral("ERROR"), QString()));
    QCOMPARE(edit.CurrentPosition(), -1);

    QTest::keyClick(&edit, Qt::Key_End);
    QCOMPARE(edit.CurrentPosition(), 0);
    QCOMPARE(edit.cursorPosition(), 0);
    QTest::keyClick(&edit, Qt::Key_Home);
    QCOMPARE(edit.CurrentPosition(), -1);
    QTest::keyClick(&edit, Qt::Key_Right);
    QCOMPARE(edit.CurrentPosition(), 0);
    QCOMPARE(edit.cursorPosition(), 0);
    QTest::keyClick(&edit, Qt::Key_Left);
    QCOMPARE(edit.CurrentPosition(), 0);

    // A literal takes its own character and nothing else.
    QTest::keyClick(&edit, 'x');
    QCOMPARE(edit.CurrentPosition(), 0);
    QTest::keyClick(&edit, 'E');
    QCOMPARE(edit.text(), QStringLiteral("ERROR"));
    QCOMPARE(edit.CurrentPosition(), 1);
    QCOMPARE(edit.GetValue(), QString());
}

void CmEditTest::ArrowsHomeAndEndMoveBetweenInputCells() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    const struct {
        Qt::Key key;
        int position;
    } steps[] = {
        {Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Right, 4}, {Qt::Key_Right, 4},
        {Qt::Key_Left, 3},  {Qt::Key_Left, 2},  {Qt::Key_Left, 0},  {Qt::Key_Left, 0},
        {Qt::Key_End, 4},   {Qt::Key_Home, 0},
    };
    for (const auto &step : steps) {
        QTest::keyClick(&edit, step.key);
        QCOMPARE(edit.CurrentPosition(), step.position);
        QCOMPARE(edit.cursorPosition(), step.position);
        QVERIFY(!edit.hasSelectedText());
    }
    QCOMPARE(edit.text(), QStringLiteral("1.239"));
}

void CmEditTest::ShiftHomeAndEndSelect() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));
    QTest::keyClick(&edit, Qt::Key_Right);

    QTest::keyClick(&edit, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(edit.selectedText(), QStringLiteral("23"));
    QCOMPARE(edit.cursorPosition(), 4);
    QCOMPARE(edit.CurrentPosition(), 2);
    QVERIFY(!edit.ShiftDown());  // the key-up cleared it

    QTest::keyClick(&edit, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(edit.selectedText(), QStringLiteral("1."));
    QCOMPARE(edit.cursorPosition(), 2);
    QCOMPARE(edit.CurrentPosition(), 2);

    // Arrows do not select with Shift.
    QTest::keyClick(&edit, Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(!edit.hasSelectedText());
    QCOMPARE(edit.CurrentPosition(), 3);

    // The flag follows the Shift key itself.
    QTest::keyPress(&edit, Qt::Key_Shift);
    QVERIFY(edit.ShiftDown());
    QTest::keyRelease(&edit, Qt::Key_Shift);
    QVERIFY(!edit.ShiftDown());
}

void CmEditTest::OwnerTextBypassesMask() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QString()));
    QTest::keyClicks(&edit, QStringLiteral("34"));
    QCOMPARE(edit.CurrentPosition(), 3);

    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    edit.setText(QStringLiteral("ab"));
    QCOMPARE(edit.text(), QStringLiteral("ab"));
    QCOMPARE(edit.CurrentPosition(), 3);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(edit.GetValue(), QStringLiteral("a__"));
}

// ---- Ways around the mask ----

void CmEditTest::ControlKeysDoNotPasteOrUndo() {
    QGuiApplication::clipboard()->setText(QStringLiteral("v"));
    CmEdit edit;
    QVERIFY(edit.Init(QStringLiteral("[a-z][a-z]"), QStringLiteral("ab")));
    QSignalSpy changed(&edit, &QLineEdit::textChanged);

    // Ctrl+V is the control character 0x16, which no cell takes; the letter v would be.
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_V, Qt::AltModifier);
    QCOMPARE(edit.text(), QStringLiteral("ab"));
    QCOMPARE(edit.CurrentPosition(), 0);
    QCOMPARE(changed.count(), 0);

    // A typed letter can not be taken back with undo.
    QTest::keyClick(&edit, 'c');
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("cb"));

    // Nor over a selection, which the refused character leaves as it was.
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("cb"));
    QVERIFY(edit.hasSelectedText());
}

// The field selects everything when it gains focus, so the first key decides whether the
// price it shows survives: only a character its first input cell takes overtypes it.
void CmEditTest::StrayKeyOverASelectionKeepsThePrice() {
    const struct {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    } kCases[] = {
        {"letter", Qt::Key_X, Qt::NoModifier, QStringLiteral("3.459")},
        {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, QStringLiteral("3.459")},
        {"Ctrl+X", Qt::Key_X, Qt::ControlModifier, QStringLiteral("3.459")},
        {"point", Qt::Key_Period, Qt::NoModifier, QStringLiteral("3.459")},
        {"space", Qt::Key_Space, Qt::NoModifier, QStringLiteral("3.459")},
        {"digit", Qt::Key_7, Qt::NoModifier, QStringLiteral("7.__9")},
    };
    for (const auto &c : kCases) {
        CmEdit edit;
        QVERIFY(edit.Init(kPriceMask, QStringLiteral("345")));
        edit.selectAll();
        QTest::keyClick(&edit, static_cast<Qt::Key>(c.key), c.modifiers);
        QVERIFY2(edit.text() == c.text, c.name);
    }
}

void CmEditTest::ContextMenuDropAndInputMethodAreClosed() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    QVERIFY(edit.Init(QStringLiteral("[0-9][0-9]"), QString()));
    QVERIFY(!edit.acceptDrops());

    // A menu would block in its own loop; close it should one appear.
    bool menuShown = false;
    QTimer::singleShot(0, [&menuShown] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2),
                                edit.mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(&edit, &menuEvent);
    QCoreApplication::processEvents();
    QVERIFY(!menuShown);

    // An owner's short text leaves room that a drop would fill.
    edit.setText(QStringLiteral("1"));
    QMimeData mime;
    mime.setText(QStringLiteral("99"));
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Straight to the widget: the application would not even offer it a drop, since it
    // accepts none, but its own handling must refuse one too.
    static_cast<QObject &>(edit).event(&drop);
    QCOMPARE(edit.text(), QStringLiteral("1"));
    edit.SetValue(QString());

    // Composed text goes through the cells like typed keys.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("x4"));
    QCoreApplication::sendEvent(&edit, &composed);
    QCOMPARE(edit.text(), QStringLiteral("4_"));
    QCOMPARE(edit.CurrentPosition(), 1);
}

// ---- Notifications ----

void CmEditTest::EveryChangeThroughMaskNotifies() {
    CmEdit edit;
    QVERIFY(edit.Init(kPriceMask, QString()));
    QSignalSpy changed(&edit, &QLineEdit::textChanged);

    QTest::keyClick(&edit, '3');
    QCOMPARE(changed.count(), 1);
    QTest::keyClick(&edit, '4');
    QCOMPARE(changed.count(), 2);
    QTest::keyClick(&edit, 'x');  // refused: no change
    QCOMPARE(changed.count(), 2);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(changed.count(), 3);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(changed.count(), 4);
    edit.selectAll();
    QTest::keyClick(&edit, 'x');  // refused over a selection too: no change
    QCOMPARE(changed.count(), 4);
    QTest::keyClick(&edit, '5');  // clears the selection and lands in its first cell
    QCOMPARE(changed.count(), 6);
    edit.SetValue(QStringLiteral("123"));
    QCOMPARE(changed.count(), 7);
    QCOMPARE(changed.last().at(0).toString(), QStringLiteral("1.239"));
}

// ---- Focus, dialog and mouse ----

void CmEditTest::TabMovesFocusAndCarriesShift() {
    TestWindow window(2);
    QVERIFY(window.Active());
    CmEdit &first = window.Edit(0);
    CmEdit &second = window.Edit(1);
    QVERIFY(first.Init(kPriceMask, QStringLiteral("123")));
    QVERIFY(second.Init(kPriceMask, QStringLiteral("456")));
    first.setFocus();

    QTest::keyClick(&first, Qt::Key_Tab);
    QVERIFY(second.hasFocus());
    QVERIFY(!second.ShiftDown());
    QCOMPARE(second.selectedText(), QStringLiteral("4.569"));

    // Shift+Tab as the keyboard sends it: Shift down, then Backtab, each to the focus.
    QTest::keyPress(&second, Qt::Key_Shift);
    QVERIFY(second.ShiftDown());
    QTest::simulateEvent(&second, true, Qt::Key_Backtab, Qt::ShiftModifier, QString(), false);
    QVERIFY(first.hasFocus());
    QVERIFY(first.ShiftDown());
    QVERIFY(!second.ShiftDown());
    QTest::simulateEvent(&first, false, Qt::Key_Backtab, Qt::ShiftModifier, QString(), false);
    QTest::keyRelease(&first, Qt::Key_Shift);
    QVERIFY(!first.ShiftDown());

    // Backward from the first field wraps round to the plain line edit.
    QTest::keyClick(&first, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(window.Other().hasFocus());
    QVERIFY(!first.ShiftDown());

    // Tab is never typed into a field.
    QCOMPARE(first.text(), QStringLiteral("1.239"));
    QCOMPARE(second.text(), QStringLiteral("4.569"));
}

void CmEditTest::ReturnAndEnterReachDefaultButton_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
}

void CmEditTest::ReturnAndEnterReachDefaultButton() {
    QFETCH(int, key);

    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    auto *edit = new CmEdit(&dialog);
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    layout->addWidget(edit);
    layout->addWidget(ok);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(edit->Init(kPriceMask, QStringLiteral("123")));
    QVERIFY(edit->hasFocus());

    QSignalSpy clicked(ok, &QPushButton::clicked);
    QTest::keyClick(edit, static_cast<Qt::Key>(key));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(edit->text(), QStringLiteral("1.239"));
}

void CmEditTest::EscapeRejectsDialog() {
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    auto *edit = new CmEdit(&dialog);
    layout->addWidget(edit);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(edit->Init(kPriceMask, QStringLiteral("123")));

    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog.isVisible());
}

void CmEditTest::ClickSetsPositionAndDoubleClickSelectsAll() {
    TestWindow window;
    QVERIFY(window.Active());
    CmEdit &edit = window.Edit();
    QVERIFY(edit.Init(kPriceMask, QStringLiteral("123")));

    QTest::mouseClick(&edit, Qt::LeftButton, {}, PointAtIndex(edit, 3));
    QCOMPARE(edit.CurrentPosition(), 3);
    QTest::keyClick(&edit, '7');
    QCOMPARE(edit.text(), QStringLiteral("1.279"));
    QCOMPARE(edit.CurrentPosition(), 4);

    QTest::mouseClick(&edit, Qt::LeftButton, {}, PointAtIndex(edit, 5));
    QCOMPARE(edit.CurrentPosition(), 5);

    QTest::mouseDClick(&edit, Qt::LeftButton, {}, PointAtIndex(edit, 2));
    QCOMPARE(edit.selectedText(), QStringLiteral("1.279"));
    QCOMPARE(edit.CurrentPosition(), 5);

    // Clicking the field from elsewhere: the focus selects all, the click places the caret.
    window.Other().setFocus();
    QTest::mouseClick(&edit, Qt::LeftButton, {}, PointAtIndex(edit, 0));
    QVERIFY(edit.hasFocus());
    QVERIFY(!edit.hasSelectedText());
    QCOMPARE(edit.CurrentPosition(), 0);

    // Other buttons leave the position and text alone.
    QTest::mouseClick(&edit, Qt::MiddleButton, {}, PointAtIndex(edit, 4));
    QTest::mouseClick(&edit, Qt::RightButton, {}, PointAtIndex(edit, 4));
    QCOMPARE(edit.CurrentPosition(), 0);
    QCOMPARE(edit.cursorPosition(), 0);
    QCOMPARE(edit.text(), QStringLiteral("1.279"));
}

QTEST_MAIN(CmEditTest)
#include "cm_edit_test.moc"
