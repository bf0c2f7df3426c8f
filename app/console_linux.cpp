#include "app/console.h"

int parse_platform_option(int, char**, int, ConsoleOptions&, std::string&) { return 0; }
bool prepare_platform(const ConsoleOptions&, std::string&) { return true; }
bool finish_platform(const ConsoleOptions&, std::string&) { return true; }
void set_binary_stdout() {}
