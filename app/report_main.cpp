// quorvin-report: the report on standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/report.h"
#include "sections/display/edid.h"
#include "values/encoding.h"

#ifndef QUORVIN_VERSION
#define QUORVIN_VERSION "0.0.0"
#endif

namespace {

const char* const kUsage =
    "Usage: quorvin-report [--raw] [--edid FILE]\n"
    "\n"
    "Prints this machine's hardware and system report.\n"
    "\n"
    "  --raw         write the exact report bytes (GBK, CR LF line ends)\n"
    "                instead of UTF-8 with LF line ends\n"
    "  --edid FILE   decode a raw binary EDID file and print the monitor lines\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n" QUORVIN_EXTRA_USAGE
    "\n"
    "Exit status: 0 on success, 2 on bad input.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "quorvin-report: %s\n", message.c_str());
    return 2;
}

bool read_edid_file(const std::string& path, Bytes& out, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a directory";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = path + ": cannot read";
        return false;
    }
    if (out.empty()) {
        error = path + ": empty file, not an EDID block";
        return false;
    }
    if (out.size() < 126) {
        error = path + ": " + std::to_string(out.size()) +
                " bytes, too short for an EDID block (at least 126 needed)";
        return false;
    }
    return true;
}

Text to_output(const Text& report, bool raw) {
    if (raw) return report;
    std::string utf8 = gbk_to_utf8(report);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        out += utf8[i];
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    bool raw = false;
    std::string edid_path;
    bool have_edid = false;
    ConsoleOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--raw") {
            raw = true;
        } else if (a == "--edid") {
            if (i + 1 >= argc) return fail("option --edid needs a FILE argument");
            edid_path = argv[++i];
            have_edid = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::fputs("quorvin-report " QUORVIN_VERSION "\n", stdout);
            return 0;
        } else {
            std::string error;
            int used = parse_platform_option(argc, argv, i, options, error);
            if (used < 0) return fail(error);
            if (used == 0) return fail("unknown option '" + a + "' (see --help)");
            i += used - 1;
        }
    }

    Text report;
    if (have_edid) {
        Bytes block;
        std::string error;
        if (!read_edid_file(edid_path, block, error)) return fail(error);
        report = monitor_lines(decode_edid_text(edid_text_of(block), Text(), block));
    } else {
        std::string error;
        if (!prepare_platform(options, error)) return fail(error);
        TextReportBox box;
        build_report(box);
        report = box.content;
        if (!finish_platform(options, error)) return fail(error);
    }
    set_binary_stdout();
    const Text out = to_output(report, raw);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
