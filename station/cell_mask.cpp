#include "cell_mask.h"

#include <algorithm>
#include <utility>

namespace {

// Range ends in the 8-bit character set compare as signed bytes, so a range from a plain ASCII
// character to an accented one counts as reversed and adds nothing.
int RangeCode(char16_t character) {
    return character <= 0xff ? static_cast<int>(static_cast<signed char>(character)) : character;
}

}  // namespace

bool CellMask::CheckBrackets(std::u16string_view mask) {
    int depth = 0;
    for (const char16_t character : mask) {
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

std::u16string CellMask::ExpandRange(std::u16string_view start, std::u16string_view end) {
    if (start.size() != 1 || end.size() != 1) {
        return {};
    }
    const char16_t first = start.front();
    const char16_t last = end.front();
    const bool bytes = first <= 0xff && last <= 0xff;
    const int from = bytes ? RangeCode(first) : first;
    const int to = bytes ? RangeCode(last) : last;
    std::u16string range;
    for (int code = from; code <= to; ++code) {
        range += static_cast<char16_t>(code < 0 ? code + 0x100 : code);
    }
    return range;
}

std::optional<CellMask> CellMask::Parse(std::u16string_view mask) {
    CellMask parsed;
    bool inSet = false;
    bool escape = false;
    bool rangePending = false;
    std::u16string set;
    std::u16string rangeStart;

    const auto addCell = [&parsed](std::u16string allowed, bool literal) {
        if (parsed.Count() >= kMaxPositions) {
            return false;
        }
        parsed.m_cells.push_back(Cell{std::move(allowed), literal});
        return true;
    };

    for (const char16_t character : mask) {
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
                return std::nullopt;
            }
            set.clear();
            inSet = false;
        } else if (!inSet) {
            if (!addCell(std::u16string(1, character), true)) {
                return std::nullopt;
            }
        } else if (character == u'-') {
            if (escape) {
                set += u'-';
                escape = false;
            } else if (set.empty()) {
                return std::nullopt;
            } else {
                rangeStart = set.back();
                set.pop_back();
                rangePending = true;
            }
        } else if (character == u'\\') {
            if (!escape) {
                escape = true;
            } else {
                // The second backslash is used up here, as the end of a range or as itself;
                // an escape left set would swallow the meaning of the next hyphen.
                set += rangePending ? ExpandRange(rangeStart, u"\\") : u"\\";
                rangeStart.clear();
                rangePending = false;
                escape = false;
            }
        } else {
            escape = false;
            if (rangePending) {
                set += ExpandRange(rangeStart, std::u16string_view(&character, 1));
                rangeStart.clear();
                rangePending = false;
            } else {
                set += character;
            }
        }
    }
    return parsed;
}

std::u16string CellMask::MaskForPriceFormat(std::u16string_view format) {
    std::u16string mask;
    for (std::size_t i = 0; i < format.size(); ++i) {
        switch (format[i]) {
            case u'8':
                mask += (i == 0 && format.size() > 1 && format[1] == u'.') ? u"[0-9.]" : u"[0-9]";
                break;
            case u'9':
            case u'.':
            case u',':
                mask += format[i];
                break;
            default:
                mask += u"ERROR";
                break;
        }
    }
    return mask;
}

const CellMask::Cell *CellMask::At(int cell) const {
    if (cell < 0 || cell >= Count()) {
        return nullptr;
    }
    return &m_cells[cell];
}

int CellMask::FindInputPos(int index, Direction direction) const {
    if (index < 0 || index >= Count()) {
        return -1;
    }
    if (direction == Direction::Forward) {
        for (int cell = index; cell < Count(); ++cell) {
            if (!m_cells[cell].literal) {
                return cell;
            }
        }
    } else {
        for (int cell = index; cell >= 0; --cell) {
            if (!m_cells[cell].literal) {
                return cell;
            }
        }
    }
    return -1;
}

int CellMask::EndOfInput() const {
    return FindInputPos(Count() - 1, Direction::Backward) + 1;
}

int CellMask::NextPosition(int cell) const {
    const int next = FindInputPos(cell + 1, Direction::Forward);
    return next >= 0 ? next : cell + 1;
}

std::u16string CellMask::Layout(std::u16string_view value) const {
    std::u16string shown;
    std::size_t next = 0;
    for (const Cell &cell : m_cells) {
        if (cell.literal) {
            shown += cell.allowed;
        } else if (next < value.size()) {
            const char16_t character = value[next++];
            shown += cell.Accepts(character) ? character : kFillChar;
        } else {
            shown += kFillChar;
        }
    }
    return shown;
}

std::u16string CellMask::ValueOf(std::u16string_view shown) const {
    std::u16string value;
    for (int cell = 0; cell < Count(); ++cell) {
        if (m_cells[cell].literal) {
            continue;
        }
        if (static_cast<int>(shown.size()) < cell + 1) {
            value += kFillChar;
        } else if (shown[cell] != kFillChar) {
            value += shown[cell];
        }
    }
    return value;
}

std::u16string CellMask::Blank(int start, int end) const {
    std::u16string blank;
    for (int cell = std::max(start, 0); cell < end && cell < Count(); ++cell) {
        blank += m_cells[cell].literal ? m_cells[cell].allowed : std::u16string(1, kFillChar);
    }
    return blank;
}
