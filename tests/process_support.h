#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

struct ProcessResult {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the console report with the given arguments (already shell-quoted),
// after `prefix` (shell words: "ulimit -v 8000; ", "cd DIR && ").
inline ProcessResult run_report(const std::string& args, const std::string& prefix = "") {
    char out_name[] = "/tmp/qv-outXXXXXX";
    char err_name[] = "/tmp/qv-errXXXXXX";
    int fo = mkstemp(out_name), fe = mkstemp(err_name);
    const std::string cmd = prefix + QV_REPORT_EXE + " " + args + " >" + out_name + " 2>" + err_name + " </dev/null";
    ProcessResult r;
    int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out_name);
    r.err = slurp(err_name);
    std::remove(out_name);
    std::remove(err_name);
    if (fo >= 0) close(fo);
    if (fe >= 0) close(fe);
    return r;
}

// Reports read as text: helpers shared by the Linux process tests.
#include <vector>

#include <gtest/gtest.h>

#define U8(s) std::string(reinterpret_cast<const char*>(u8##s))

inline std::string tree(const std::string& name) { return std::string(QV_FIXTURES) + "/trees/" + name; }

inline std::string sh(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// The value after a label in a UTF-8 report (label given in UTF-8 too).
inline std::string value_of(const std::string& report, const std::string& label) {
    const auto at = report.find("\n" + label);
    if (at == std::string::npos) return "<missing>";
    const auto begin = at + 1 + label.size();
    return report.substr(begin, report.find('\n', begin) - begin);
}

// Every expected line must appear, in this order, in the report.
inline void expect_lines_in_order(const std::string& report, const std::vector<std::string>& lines) {
    std::size_t pos = 0;
    for (const auto& l : lines) {
        const auto at = report.find("\n" + l + "\n", pos);
        EXPECT_NE(at, std::string::npos) << "missing or out of order: [" << l << "]";
        if (at != std::string::npos) pos = at + 1;
    }
}

// The report without its last line, the elapsed time.
inline std::string without_elapsed(std::string r) {
    if (!r.empty() && r.back() == '\n') r.pop_back();
    return r.substr(0, r.rfind('\n'));
}
