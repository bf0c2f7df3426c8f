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

// Runs the console report with the given arguments (already shell-quoted).
inline ProcessResult run_report(const std::string& args) {
    char out_name[] = "/tmp/qv-outXXXXXX";
    char err_name[] = "/tmp/qv-errXXXXXX";
    int fo = mkstemp(out_name), fe = mkstemp(err_name);
    const std::string cmd = std::string(QV_REPORT_EXE) + " " + args + " >" + out_name + " 2>" +
                            err_name + " </dev/null";
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
