#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The layout of a masked field: a fixed row of character cells, some holding fixed literal
// characters, the others input cells that each accept only their own set of characters. An
// input cell with nothing in it holds the fill character. The cells are UTF-16 code units, as
// the field's text is.
//
// Mask syntax, one cell per element: "[set]" is an input cell; any other character is a
// literal cell. Inside a set "x-y" adds the characters from x to y, "\-" a hyphen, "\\" a
// backslash and "\c" the character c; a hyphen or backslash left open at "]" stands for
// itself. "[0-9].[0-9][0-9]9" gives a digit, a fixed point, two digits and a fixed 9.
class CellMask {
public:
    static constexpr int kMaxPositions = 256;
    static constexpr char16_t kFillChar = u'_';
    // What a field shows for a mask whose brackets CheckBrackets() refuses, and for one that
    // Parse() refuses.
    static constexpr auto kInitFailedText = "Init failed.";
    static constexpr auto kSetValidCharsFailedText = "SetValidChars failed.";

    enum class Direction { Forward, Backward };

    struct Cell {
        // For an input cell, the characters that may be typed into it, in the order the mask
        // lists them; for a literal cell, its one fixed character.
        std::u16string allowed;
        bool literal = false;

        // A literal cell accepts only its own character.
        bool Accepts(char16_t character) const {
            return allowed.find(character) != std::u16string::npos;
        }
    };

    // A mask of no cells.
    CellMask() = default;

    // True when no bracket nests inside another and every set is closed.
    static bool CheckBrackets(std::u16string_view mask);

    // The characters from start to end inclusive, or nothing for a reversed range or when
    // either is not exactly one character long.
    static std::u16string ExpandRange(std::u16string_view start, std::u16string_view end);

    // The cells of mask, whose brackets CheckBrackets() has passed. Fails on a hyphen that
    // starts a set and on a mask of more than kMaxPositions cells.
    static std::optional<CellMask> Parse(std::u16string_view mask);

    // The mask of a price field from its line's format: "8" a digit ("[0-9.]" when it leads
    // and the point follows, so that a price below one can be typed), "9", "." and "," fixed;
    // each other character adds the literal cells "ERROR", which show the format is unknown.
    static std::u16string MaskForPriceFormat(std::u16string_view format);

    int Count() const { return static_cast<int>(m_cells.size()); }
    // The cell's record, or nullptr outside the mask.
    const Cell *At(int cell) const;

    // The nearest input cell at or after (Forward) or at or before (Backward) index, or -1.
    int FindInputPos(int index, Direction direction) const;
    // The cell after the last input cell; 0 when there is none.
    int EndOfInput() const;
    // Where the caret goes once cell is filled or cleared: the next input cell, or the cell
    // after cell when no input cell follows.
    int NextPosition(int cell) const;

    // The value laid out by the mask; a character an input cell does not accept shows as the
    // fill character and still uses up its cell. Characters left over are dropped.
    std::u16string Layout(std::u16string_view value) const;
    // The characters of the input cells in shown without fill characters. An input cell past
    // the end of a shorter text counts as holding the fill character.
    std::u16string ValueOf(std::u16string_view shown) const;
    // The cells start to end - 1 emptied: literal cells keep their character, input cells hold
    // the fill character. Cells outside the mask give nothing.
    std::u16string Blank(int start, int end) const;

private:
    std::vector<Cell> m_cells;
};
