#include "exit_question.h"

std::string ExitQuestion::Text(const std::vector<int> &unsentLines) {
    if (unsentLines.empty()) {
        return kQuestion;
    }
    if (unsentLines.size() == 1) {
        return "The price on line " + std::to_string(unsentLines.front()) +
               " has not been sent; it is lost when VOXA ends.\n\n" + kQuestion;
    }
    std::string lines;
    for (std::size_t i = 0; i < unsentLines.size(); ++i) {
        if (i > 0) lines += i + 1 == unsentLines.size() ? " and " : ", ";
        lines += std::to_string(unsentLines[i]);
    }
    return "Prices on lines " + lines + " have not been sent; they are lost when VOXA ends.\n\n" +
           kQuestion;
}
