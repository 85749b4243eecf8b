#include "tests/support/xdotool.h"

#include <cstdlib>
#include <string>

bool testXdotool(const char* arguments) {
    std::string command = std::string("xdotool ") + arguments;
    return std::system(command.c_str()) == 0;
}
