#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as spreadsheets and scripts read them: a field that holds a
// comma, a double quote, a line break or a leading or trailing blank goes in double
// quotes, with each quote inside doubled; every other field goes as it is.
namespace CsvText {

using Row = std::vector<std::string>;

std::string Field(std::string_view text);
// The fields joined by commas, with a line feed at the end.
std::string Line(const Row &fields);
// Every row of a text, quoted fields and line breaks inside them included. Lines may
// end with CR LF or LF; a last line without its end counts, an empty one does not.
std::vector<Row> Parse(std::string_view text);
// The fields of one line given without its line end; nothing when a quoted field does not
// end on it (a line cut short, or the first of a field's several lines).
std::optional<Row> ParseRow(std::string_view line);

}  // namespace CsvText
