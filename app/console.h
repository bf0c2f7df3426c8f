// What the console report adds per platform: options such as --root on
// Linux, and the set-up around one report.
#pragma once

#include <string>

struct ConsoleOptions {
    std::string root;
    std::string capture;
};

#ifndef QUORVIN_EXTRA_USAGE
#ifdef _WIN32
#define QUORVIN_EXTRA_USAGE ""
#else
#define QUORVIN_EXTRA_USAGE                                                        \
    "  --root DIR    read the files of a machine captured into DIR instead of /\n" \
    "  --capture DIR copy every file the report reads into DIR, keeping paths\n"
#endif
#endif

// Returns how many arguments it took at argv[i] (0: not an option of ours,
// -1: an error, explained in `error`).
int parse_platform_option(int argc, char** argv, int i, ConsoleOptions& options,
                          std::string& error);
bool prepare_platform(const ConsoleOptions& options, std::string& error);
bool finish_platform(const ConsoleOptions& options, std::string& error);
void set_binary_stdout();
