// What the console report adds per platform: options such as --root on
// Linux, and the set-up around one report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "values/text.h"

struct ConsoleOptions {
    std::string root;
    std::string capture;
};

struct ReportFacts;

#ifndef QUORVIN_EXTRA_USAGE
#ifdef _WIN32
#define QUORVIN_EXTRA_SYNOPSIS " [--capture FILE]"
#define QUORVIN_EXTRA_USAGE                                                           \
    "  --capture FILE write this machine's WMI answers and monitors' EDIDs into\n"  \
    "                FILE (new), a machine file that --machine reports anywhere\n"
#else
#define QUORVIN_EXTRA_SYNOPSIS " [--root DIR] [--capture DIR]"
#define QUORVIN_EXTRA_USAGE                                                        \
    "  --root DIR    read the files of a machine captured into DIR instead of /;\n" \
    "                links in DIR resolve inside DIR\n"                          \
    "  --capture DIR copy every file the report reads into DIR (new or empty),\n" \
    "                keeping paths; nothing is written outside DIR\n"
#endif
#endif

// Returns how many arguments it took at argv[i] (0: not an option of ours,
// -1: an error, explained in `error`).
int parse_platform_option(int argc, char** argv, int i, ConsoleOptions& options,
                          std::string& error);
bool prepare_platform(const ConsoleOptions& options, std::string& error);
bool finish_platform(const ConsoleOptions& options, std::string& error);
// Takes a capture under way away at once (the program is about to end
// without returning: not even an exception could be made).
void abandon_platform() noexcept;
// Whether the capture needs the report's whole record (Windows writes the
// facts outside WMI into its machine file).
bool capture_needs_facts(const ConsoleOptions& options);
// Windows: writes the machine file of --capture FILE; true elsewhere.
bool capture_machine(const ConsoleOptions& options, const ReportFacts& facts, std::string& error);
void set_binary_stdout();
// Every byte of `out` on standard output, flushed and closed, or false with
// the reason: a pipe left non-blocking by a parent is waited on, and a
// file-size limit is an error like any other, never a signal that kills.
bool write_stdout(const std::string& out, std::string& error);
// Whether the report runs with the rights to read everything (root on
// Linux, an elevated administrator on Windows).
bool running_privileged();
// A regular file of at most `cap` bytes, read whole; otherwise false with
// the reason (not a regular file, too large, the system's error).
bool read_small_regular_file(const std::string& path, std::size_t cap, Bytes& out,
                             std::string& why);
