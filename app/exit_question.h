#pragma once

#include <string>
#include <vector>

// The question File > Exit asks, and Escape and the close box ask when prices are unsent.
namespace ExitQuestion {

inline constexpr const char *kQuestion = "Exit VOXA?";

// "Exit VOXA?", after a sentence that names the lines edited and not sent, if any:
// "Prices on lines 2 and 5 have not been sent; they are lost when VOXA ends."
std::string Text(const std::vector<int> &unsentLines);

}  // namespace ExitQuestion
