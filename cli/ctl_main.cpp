#include <iostream>
#include <string>
#include <vector>

#include "command_line_client.h"

int main(int argc, char **argv) {
    CommandLineClient client(std::cout, std::cerr);
    return client.Run(std::vector<std::string>(argv + 1, argv + argc));
}
