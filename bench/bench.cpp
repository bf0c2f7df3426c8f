// quorvin-bench: prints figures; asserts nothing.
//   Linux:   EDID decode, script host queries and whole reports (this machine
//            and a described one), then quorvin-report beside hwinfo, lshw
//            and inxi -F as whole processes.
//   Windows: each query through the Script Control, split into the time
//            inside Eval and the rest, and the whole report.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/report.h"
#include "automation/script_query.h"
#include "sections/display/edid.h"
#include "sections/query_scripts.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>

#include "com/automation_windows.h"
#include "automation/script_query_windows.h"
#include "sections/display/screen_windows.h"
#else
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "sources/linux/kms_state.h"
#include "sources/machine_file.h"
#include "tests/fake_kms.h"
#endif

#ifndef _WIN32
namespace {

// A shell command the bench needs; a failure is said, not hidden.
void shell(const char* cmd) {
    if (std::system(cmd) != 0) std::fprintf(stderr, "bench: failed: %s\n", cmd);
}

}  // namespace
#endif

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Median time of one call, in microseconds, over `n` calls.
double median_us(int n, const std::function<void()>& f) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        auto start = Clock::now();
        f();
        t.push_back(seconds_since(start) * 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void report_figures(const char* what, int n) {
    const double us = median_us(n, [] {
        TextReportBox box;
        build_report(box);
    });
    std::printf("%-44s %10.1f us  (median of %d)\n", what, us, n);
}

#ifndef _WIN32
Bytes file_bytes(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Median wall time of a whole command, output discarded, in milliseconds.
double median_process_ms(const std::vector<std::string>& argv, int n) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        std::fflush(nullptr);  // or the child would print our buffered lines again
        auto start = Clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) return -1;
        t.push_back(seconds_since(start) * 1e3);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// Builds a tree of another machine under `dir`: `n` of one kind of thing.
struct BigTree {
    std::string dir;
    explicit BigTree(const std::string& name) {
        char t[] = "/tmp/qv-bench-XXXXXX";
        dir = std::string(mkdtemp(t)) + "/" + name;
    }
    ~BigTree() { shell(("rm -rf '" + dir.substr(0, dir.rfind('/')) + "'").c_str()); }
    void put(const std::string& path, const std::string& data) const {
        const std::string full = dir + path;
        shell(("mkdir -p '" + full.substr(0, full.rfind('/')) + "'").c_str());
        std::ofstream(full, std::ios::binary) << data;
    }
};

// SMBIOS memory devices (type 17) of 1 GiB each, as short as the fields read allow.
std::string dmi_of_modules(int n) {
    std::string t;
    for (int i = 0; i < n; ++i) {
        std::string s(0x19, '\0');
        s[0] = 17, s[1] = 0x19, s[2] = static_cast<char>(i & 0xFF), s[3] = static_cast<char>((i >> 8) & 0xFF);
        s[0x0C] = 0x00, s[0x0D] = 0x04;  // 1024 MB
        s[0x15] = static_cast<char>(0x80), s[0x16] = 0x0C;  // 3200 MT/s
        t += s + std::string(2, '\0');
    }
    return t + std::string("\x7f\x04\xff\xff\0\0", 6);
}

void big_tree_bench(const std::string& root, const std::string& report_exe) {
    std::printf("== trees of growing size (quorvin-report --root, median wall time of 3 runs)\n");
    auto time_tree = [&](const char* what, int n, const std::function<void(const BigTree&, int)>& fill,
                         double& last_ms, int& last_n) {
        BigTree tree("t");
        fill(tree, n);
        const double ms = median_process_ms({report_exe, "--root", tree.dir}, 3);
        if (last_n > 0)
            std::printf("%-24s %7d %10.1f ms   x%.1f the time for x%.1f the size\n", what, n, ms, ms / last_ms,
                        static_cast<double>(n) / last_n);
        else
            std::printf("%-24s %7d %10.1f ms\n", what, n, ms);
        last_ms = ms, last_n = n;
    };
    double ms = 0;
    int n0 = 0;
    for (int n : {1000, 10000, 35000})
        time_tree("memory records", n, [](const BigTree& t, int k) { t.put("/sys/firmware/dmi/tables/DMI", dmi_of_modules(k)); }, ms, n0);
    n0 = 0;
    for (int n : {2000, 20000}) {
        time_tree("cpuinfo processors", n, [](const BigTree& t, int k) {
            std::string info;
            for (int i = 0; i < k; ++i)
                info += "processor\t: " + std::to_string(i) + "\nvendor_id\t: GenuineIntel\nmodel name\t: Bench CPU\n"
                        "physical id\t: " + std::to_string(i) + "\ncore id\t\t: 0\nflags\t\t: fpu lm\n\n";
            t.put("/proc/cpuinfo", info);
        }, ms, n0);
    }
    const Bytes edid = file_bytes(root + "/tests/data/edid/DEL-D12C-0d8aa809.bin");
    n0 = 0;
    for (int n : {500, 5000}) {
        time_tree("monitors", n, [&](const BigTree& t, int k) {
            for (int i = 0; i < k; ++i) {
                const std::string c = "/sys/class/drm/card0-DP-" + std::to_string(i);
                t.put(c + "/status", "connected\n");
                t.put(c + "/edid", std::string(edid.begin(), edid.end()));
            }
        }, ms, n0);
    }
    n0 = 0;
    for (int n : {10000, 100000}) {
        time_tree("block devices", n, [](const BigTree& t, int k) {
            // Made by the shell: a hundred thousand files are quicker there.
            shell(("mkdir -p '" + t.dir + "/sys/block' && cd '" + t.dir + "/sys/block' && seq 1 " +
                         std::to_string(k) + " | sed 's/^/sd/' | xargs mkdir && for d in sd*; do echo 2097152 > $d/size; done")
                            .c_str());
        }, ms, n0);
    }
    std::printf("(a directory is read up to its first %zu names, so beyond that the disks stop growing)\n",
                static_cast<std::size_t>(4096));
    n0 = 0;
    for (int n : {512, 4096}) {
        time_tree("video controllers, 8 MiB pci.ids", n, [](const BigTree& t, int k) {
            // A pci.ids at its size cap: every vendor with devices, the
            // controllers' own vendor last.
            std::string ids;
            char line[64];
            for (int v = 0; ids.size() < (8u << 20) - 65536; ++v) {
                std::snprintf(line, sizeof line, "%04x  Vendor %d\n", v & 0xFFFF, v);
                ids += line;
                for (int d = 0; d < 16; ++d) {
                    std::snprintf(line, sizeof line, "\t%04x  Device %d of %d\n", d, d, v);
                    ids += line;
                }
            }
            t.put("/usr/share/misc/pci.ids", ids + "abcd  Bench Graphics\n\t0001  Bench GPU\n");
            shell(("mkdir -p '" + t.dir + "/sys/bus/pci/devices' && cd '" + t.dir +
                         "/sys/bus/pci/devices' && seq 1 " + std::to_string(k) +
                         " | xargs mkdir && for d in *; do echo 0x030000 > $d/class; echo 0xabcd > $d/vendor;"
                         " echo 0x0001 > $d/device; done")
                            .c_str());
        }, ms, n0);
    }
    n0 = 0;
    time_tree("cpuinfo of 4 MiB", 145000, [](const BigTree& t, int k) {
        // One processor a package, as many as 4 MiB (the read cap) holds.
        std::string info;
        for (int i = 0; i < k && info.size() < (4u << 20); ++i)
            info += "processor\t: " + std::to_string(i) + "\nphysical id\t: " + std::to_string(i) + "\n\n";
        t.put("/proc/cpuinfo", info);
    }, ms, n0);
}

int linux_bench(const std::string& root, const std::string& report_exe) {
    std::printf("== EDID decoding\n");
    for (const char* f : {"DEL-D12C-0d8aa809.bin", "CSO-1410-c1bef7b6.bin", "GSM-5BD3-a7cdb3aa.bin"}) {
        const Bytes b = file_bytes(root + "/tests/data/edid/" + f);
        const Text text = edid_text_of(b);
        const double us = median_us(2001, [&] { decode_edid_text(text, "DISPLAY\\DEL0000\\1", b); });
        std::printf("decode %-37s %10.2f us\n", f, us);
    }
    std::printf("== this machine (live Linux source)\n");
    for (const auto& s : query_scripts()) {
        const double us = median_us(201, [&] { run_script_query(s.text); });
        std::printf("run_script_query %-27s %10.1f us\n", s.name, us);
    }
    report_figures("whole report, in process", 201);
    {
        // Mode setting read through the ioctls, a fake card of two screens
        // standing in for the kernel (this machine may have no /dev/dri).
        FakeKms k;
        k.connectors = {{40, 1, 30}, {41, 1, 31}, {42, 2, 0}};
        k.encoder_crtc = {{30, 20}, {31, 21}};
        k.crtcs = {{20, {10, true, FakeKms::mode(2560, 1440, 592000, 2720, 1512)}},
                   {21, {11, true, FakeKms::mode(1920, 1080, 148500, 2200, 1125)}}};
        k.fb_bpp = {{10, 32}, {11, 32}};
        const double us = median_us(2001, [&] {
            read_kms_card([&](unsigned long r, void* a) { return k.ioctl(r, a); });
        });
        std::printf("%-44s %10.2f us  (%d ioctls a read; the kernel's own cost comes on top)\n",
                    "mode setting read, 3 connectors", us, k.calls / 2001);
    }

    std::printf("== a described desktop machine (script host only)\n");
    MachineFile desktop = MachineFile::load(root + "/tests/machines/desktop.machine");
    set_instance_source(&desktop);
    for (const auto& s : query_scripts()) {
        const double us = median_us(2001, [&] { run_script_query(s.text); });
        std::printf("run_script_query %-27s %10.1f us\n", s.name, us);
    }
    report_figures("whole report from the described machine", 501);
    set_instance_source(nullptr);

    big_tree_bench(root, report_exe);

    {
        // One run each in turn, so that whatever else the machine does
        // weighs on both alike.
        std::vector<double> ours_ms, empty_ms;
        for (int i = 0; i < 101; ++i) {
            ours_ms.push_back(median_process_ms({report_exe}, 1));
            empty_ms.push_back(median_process_ms({"/bin/true"}, 1));
        }
        std::sort(ours_ms.begin(), ours_ms.end());
        std::sort(empty_ms.begin(), empty_ms.end());
        const double a = ours_ms[ours_ms.size() / 2], b = empty_ms[empty_ms.size() / 2];
        std::printf("== the whole report beside an empty process, interleaved (median of 101 each)\n");
        std::printf("quorvin-report %8.2f ms, empty process %8.2f ms: %.2fx\n", a, b, a / b);
    }
    std::printf("== whole processes, side by side (median wall time of 21 runs)\n");
    struct Tool {
        const char* label;
        std::vector<std::string> argv;
        int runs;
    } tools[] = {{"quorvin-report", {report_exe}, 21},
                 {"empty process", {"/bin/true"}, 21},
                 {"hwinfo", {"hwinfo"}, 11},
                 {"lshw", {"lshw"}, 11},
                 {"inxi -F", {"inxi", "-F"}, 5}};
    double ours = 0;
    for (const auto& t : tools) {
        const double ms = median_process_ms(t.argv, t.runs);
        if (&t == &tools[0]) ours = ms;
        if (ms < 0)
            std::printf("%-16s %10s\n", t.label, "not installed");
        else
            std::printf("%-16s %10.2f ms   %8.1fx quorvin-report (%d runs)\n", t.label, ms, ms / ours, t.runs);
    }
    return 0;
}
#else
int windows_bench() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 0), &wsa);
    OleInitialize(nullptr);
    create_monitor_list();
    std::printf("== each query through the Script Control and through our own host (median of 21)\n");
    // Outside Eval: creating the control, Language, AddCode, the conversions, the release.
    // Our host shares one WMI connection across the queries, as in a report.
    std::printf("%-12s %12s %12s %12s %8s %12s\n", "query", "control us", "in Eval us", "outside us",
                "share", "own host us");
    for (const auto& s : query_scripts()) {
        std::vector<double> total, eval;
        for (int i = 0; i < 21; ++i) {
            auto t0 = Clock::now();
            ComObject c;
            c.create("MSScriptControl.ScriptControl");
            c.write_property("Language", Arg("VBScript"));
            c.call_number_method("AddCode", {Arg(s.text)});
            auto t1 = Clock::now();
            Variant v = c.call_variant_method("Eval", {Arg("GetA()")});
            auto t2 = Clock::now();
            Text reply = v.to_text();
            v.clear();
            c.clear();
            total.push_back(seconds_since(t0) * 1e6);
            eval.push_back(std::chrono::duration<double>(t2 - t1).count() * 1e6);
        }
        std::sort(total.begin(), total.end());
        std::sort(eval.begin(), eval.end());
        const QuerySession session;
        run_script_query_in_host(s.text);  // opens the connection outside the figures
        const double host = median_us(21, [&] { run_script_query_in_host(s.text); });
        const double tt = total[10], te = eval[10];
        std::printf("%-12s %12.0f %12.0f %12.0f %7.1f%% %12.0f\n", s.name, tt, te, tt - te,
                    100 * (tt - te) / tt, host);
    }
    {
        const double connect = median_us(11, [] {
            const QuerySession session;
            run_script_query_in_host(kComputerModelScript);
        });
        std::printf("%-44s %10.1f us\n", "own host: connect + model query + release", connect);
    }
    std::printf("== whole report, side by side\n");
    report_figures("whole report through the Script Control", 11);
    use_script_control(false);
    report_figures("whole report through our own host", 11);
    use_script_control(true);
    release_monitor_list();
    OleUninitialize();
    WSACleanup();
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    return windows_bench();
#else
    const std::string root = argc > 1 ? argv[1] : ".";
    const std::string exe = argc > 2 ? argv[2] : root + "/build/linux/quorvin-report";
    return linux_bench(root, exe);
#endif
}
