#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "command_line_client.h"

int main(int argc, char **argv) {
    // Progress is for a person watching, not for a log or a pipe.
    CommandLineClient client(std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    return client.Run(std::vector<std::string>(argv + 1, argv + argc));
}
