#include "ldfs_text.h"

#include <charconv>

std::optional<int> LdfsText::Condition(const std::string &text) {
    constexpr std::size_t kCodesStart = 10;  // after "LDFS:0010 "
    if (text.rfind("LDFS:", 0) != 0 || text.size() <= kCodesStart || text[kCodesStart - 1] != ' ')
        return std::nullopt;
    const std::size_t end = text.find(' ', kCodesStart);
    if (end == std::string::npos) return std::nullopt;
    int condition = 0;
    const char *first = text.data() + kCodesStart;
    const char *last = text.data() + end;
    const auto [ptr, ec] = std::from_chars(first, last, condition, 16);
    if (ec != std::errc() || ptr != last || first == last) return std::nullopt;
    return condition;
}
