#pragma once

#include <optional>
#include <string>

// The controller's coded reports as the sign system keeps them ("LDFS:0010 2 LAMP FACE 2":
// the two first code bytes in hex, the third, then the text): the status, the fail log and
// the sign test's result. The third code is the condition: 0 when all is well.
namespace LdfsText {

// The condition of a report; nothing when the text is not such a report.
std::optional<int> Condition(const std::string &text);

}  // namespace LdfsText
