// quorvin-report: the report on standard output.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <new>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/report.h"
#include "app/report_json.h"
#include "automation/script_query.h"
#include "io/warnings.h"
#include "sources/machine_file.h"
#include "sections/display/edid.h"
#include "values/encoding.h"

#ifndef QUORVIN_VERSION
#define QUORVIN_VERSION "0.0.0"
#endif

namespace {

const char* const kUsage =
    "Usage: quorvin-report [--raw | --json] [--edid FILE | --machine FILE]" QUORVIN_EXTRA_SYNOPSIS "\n"
    "\n"
    "Prints this machine's hardware and system report.\n"
    "\n"
    "  --raw         write the exact report bytes (GBK, CR LF line ends)\n"
    "                instead of UTF-8 with LF line ends\n"
    "  --json        write the report as one JSON object (format 1, ASCII with\n"
    "                \\u escapes), described by docs/report.schema.json\n"
    "  --edid FILE   decode a raw binary EDID file (at most 32 KiB) and print the\n"
    "                monitor lines\n"
    "  --machine FILE report the machine a machine file describes (as written by\n"
    "                quorvin-report.exe --capture FILE on Windows), on any system\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n" QUORVIN_EXTRA_USAGE
    "\n"
    "Exit status: 0 on success, 1 when the report cannot be written or a capture\n"
    "fails, 2 on bad input.\n";

// A message may quote names from a tree; they must not drive the terminal
// or start a line of their own.
std::string terminal_safe(const std::string& message) { return substitutes_shown(utf8_value(message)); }

void say(const std::string& message) { std::fprintf(stderr, "quorvin-report: %s\n", terminal_safe(message).c_str()); }

int fail(const std::string& message) {
    say(message);
    return 2;
}

// The largest EDID there is (a base block and 255 extensions) is 32 KiB.
constexpr std::size_t kMaxEdid = 32 * 1024;

bool read_edid_file(const std::string& path, Bytes& out, std::string& error) {
    std::string why;
    if (!read_small_regular_file(path, kMaxEdid, out, why)) {
        error = path + ": " + why;
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

// The UTF-8 form goes to a terminal, so a control character that a tree's
// value brings (ESC, NUL, a lone CR) is shown as U+FFFD rather than obeyed;
// --raw keeps the report's exact bytes.
Text to_output(const Text& report, bool raw) {
    if (raw) return report;
    const std::string utf8 = gbk_to_utf8(report);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        if (c == '\n' || (c >= 0x20 && c != 0x7F)) {
            out += utf8[i];
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

}  // namespace

int run(int argc, char** argv) {
    bool raw = false, json = false;
    std::string edid_path;
    bool have_edid = false;
    std::string machine_path;
    ConsoleOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--raw") {
            raw = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--edid") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return fail("option --edid needs a FILE argument");
            edid_path = argv[++i];
            have_edid = true;
        } else if (a == "--machine") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return fail("option --machine needs a FILE argument");
            machine_path = argv[++i];
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

    if (raw && json) return fail("--raw and --json are two forms of the report; give one");
    if (have_edid && json) return fail("--edid prints monitor lines; it cannot be combined with --json");
    if (have_edid && (!options.root.empty() || !options.capture.empty()))
        return fail("--edid reads one file; it cannot be combined with --root or --capture");

    if (!machine_path.empty() && have_edid) return fail("--machine and --edid each give what to report; give one");
    if (!machine_path.empty() && (!options.root.empty() || !options.capture.empty()))
        return fail("--machine reports a described machine; it cannot be combined with --root or --capture");

    // The described machine, whole and well-formed, before anything is read.
    std::unique_ptr<MachineFile> machine;
    if (!machine_path.empty()) {
        try {
            machine = std::make_unique<MachineFile>(MachineFile::load(machine_path));
        } catch (const std::runtime_error& e) {
            return fail(e.what());
        }
        set_instance_source(machine.get());
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
        ReportFacts facts;
        JsonContext context;
        context.tool_version = QUORVIN_VERSION;
        context.collected_at = std::time(nullptr);
        context.root = options.root;
        context.privileged = running_privileged();
        context.machine_file = machine_path;
        const ReportSources sources = machine ? described_machine_sources() : machine_sources();
        if (json || capture_needs_facts(options)) {
            build_report(box, sources, &facts);
            report = json ? Text(report_json(facts, context)) : box.content;
        } else {
            build_report(box, sources);
            report = box.content;
        }
        if (!json)
            for (const auto& w : reader_warnings()) say("warning: " + w);
        if (!capture_machine(options, facts, error)) {
            say(error);
            return 1;
        }
        if (!finish_platform(options, error)) {
            say(error);
            return 1;
        }
    }
    set_binary_stdout();
    std::string error;
    if (!write_stdout(json ? report : to_output(report, raw), error)) {
        say("cannot write the report: " + error);
        return 1;
    }
    return 0;
}

// Where memory is so short that not even the exception for it can be
// made, the runtime ends the program through here: the capture goes, and
// the one line and the status are those of any other run out of memory.
[[noreturn]] void ended_without_memory() {
    abandon_platform();
    const char* const line = std::current_exception() ? "quorvin-report: internal error\n"
                                                       : "quorvin-report: out of memory\n";
    std::fputs(line, stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

int main(int argc, char** argv) {
    std::set_terminate(ended_without_memory);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        say("out of memory");
        return 1;
    }
}
