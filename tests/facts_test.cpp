// One truth per fact: the text report and the JSON print the same records,
// each class is read once for the whole record, the OS width comes from
// the digits whatever the language, and a described machine reports as the
// tests' own path does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "app/report_json.h"
#include "io/linux_files.h"
#include "process_support.h"
#include "test_support.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const std::string kRealWmi = std::string(QV_FIXTURES) + "/../../shared/realdata/wmi-real";

std::vector<std::string> fixture_machines() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(std::string(QV_FIXTURES) + "/machines"))
        if (e.path().extension() == ".machine") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> real_wmi_machines() {
    std::vector<std::string> out;
    if (!fs::is_directory(kRealWmi + "/machines")) return out;
    for (const auto& e : fs::directory_iterator(kRealWmi + "/machines")) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// The text of one report, from the report's own scripts or from the whole record.
Text text_report(bool whole, ReportFacts* facts_out = nullptr) {
    TextReportBox box;
    ReportFacts facts;
    build_report(box, fixture_sources(), whole ? &facts : nullptr);
    if (facts_out) *facts_out = facts;
    return box.content;
}

// A source over another that counts each class's enumerations and hands
// every list back in the reverse order from the second time on.
class ReorderingSource : public InstanceSource {
public:
    explicit ReorderingSource(InstanceSource& inner) : inner_(inner) {}
    std::optional<std::vector<Instance>> instances(const Text& c) override {
        auto list = inner_.instances(c);
        if (list && ++counts[c] > 1) std::reverse(list->begin(), list->end());
        return list;
    }
    std::optional<Bytes> edid(const Text& id, int set) override { return inner_.edid(id, set); }
    std::map<Text, int> counts;

private:
    InstanceSource& inner_;
};

// One Win32_OperatingSystem with the given OSArchitecture.
class OsSource : public InstanceSource {
public:
    explicit OsSource(const Text& arch) : arch_(arch) {}
    std::optional<std::vector<Instance>> instances(const Text& c) override {
        if (c != "Win32_OperatingSystem") return std::vector<Instance>();
        Instance os;
        os.set("Caption", PropertyValue::of_text("Windows"));
        os.set("BuildNumber", PropertyValue::of_text("19045"));
        os.set("OSArchitecture", arch_.empty() ? PropertyValue::null() : PropertyValue::of_text(arch_));
        return std::vector<Instance>{os};
    }
    std::optional<Bytes> edid(const Text&, int) override { return std::nullopt; }

private:
    Text arch_;
};

// The report as quorvin-report prints it: UTF-8 with LF line ends, a
// control inside a value shown as U+FFFD.
std::string to_utf8_lf(const Text& report) {
    std::string out;
    for (char c : gbk_to_utf8(report)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\r') continue;
        if (c == '\n' || (u >= 0x20 && u != 0x7F)) out += c;
        else out += "\xEF\xBF\xBD";
    }
    return out;
}

}  // namespace

TEST(OneTruth, TheTextIsTheSameFromTheWholeRecord) {
    // Fixture machines, the real Windows machines' WMI and the captured
    // trees: the text written from the whole record is the text report.
    std::vector<std::string> machines = fixture_machines();
    for (const auto& m : real_wmi_machines()) machines.push_back(m);
    for (const auto& path : machines) {
        SCOPED_TRACE(path);
        MachineFile machine = MachineFile::load(path);
        set_instance_source(&machine);
        EXPECT_EQ(text_report(true), text_report(false));
        set_instance_source(nullptr);
    }
    for (const char* t : {"laptop", "docked", "server", "no-dmi", "this-vm"}) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(linux_files().set_root(tree(t)));
        EXPECT_EQ(text_report(true), text_report(false));
        linux_files().set_root("");
    }
    if (real_wmi_machines().empty()) GTEST_SKIP() << kRealWmi << " is not here: the real machines were not compared";
}

TEST(OneTruth, EachListIsReadOnceAndKeepsItsValuesWithItsDevice) {
    MachineFile machine = MachineFile::load(machine_path("mixed-buses.machine"));
    ReorderingSource source(machine);
    set_instance_source(&source);
    ReportFacts f;
    text_report(true, &f);
    set_instance_source(nullptr);
    // (A class with no instance at all is asked again by the report's own script.)
    for (const char* c : {"Win32_DiskDrive", "Win32_VideoController", "Win32_ComputerSystem"})
        EXPECT_EQ(source.counts[c], 1) << c;
    ASSERT_EQ(f.disks.disks.size(), 3u);
    std::map<std::string, std::string> bus;
    for (const auto& d : f.disks.disks) bus[gbk_to_utf8(d.model)] = d.bus ? disk_bus_name(*d.bus) : "null";
    EXPECT_EQ(bus["Samsung SSD 980 PRO 1TB"], "nvme");
    EXPECT_EQ(bus["SanDisk Ultra USB Device"], "usb");
    EXPECT_EQ(bus["WDC WD20EZRZ-00Z5HB0"], "ide");
    ASSERT_EQ(f.video.controllers.size(), 2u);
    for (const auto& v : f.video.controllers) {
        const bool nvidia = v.name == "NVIDIA GeForce RTX 3060";
        EXPECT_EQ(v.memory_bytes, nvidia ? 4293918720LL : 1073741824LL) << v.name;
        EXPECT_EQ(v.device_id.substr(0, 21), nvidia ? "PCI\\VEN_10DE&DEV_2504" : "PCI\\VEN_8086&DEV_4680");
    }
}

TEST(OneTruth, TheOsWidthComesFromTheDigitsInAnyLanguage) {
    auto utf8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
    const struct {
        const char8_t* arch;
        const char8_t* line;  // the report's 系统位宽 value
        std::optional<std::int64_t> bits;
    } cases[] = {{u8"64 位", u8"64 位", 64},
                 {u8"64 bits", u8"64 bits", 64},
                 {u8"64 ビット", u8"64 ビット", 64},
                 {u8"64-bitowy", u8"64位owy", 64},
                 {u8"32-bit", u8"32位", 32},
                 {u8"", u8"", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.arch));
        OsSource source(utf8_to_gbk(utf8(c.arch)));
        set_instance_source(&source);
        ReportFacts f;
        const Text text = text_report(true, &f);
        set_instance_source(nullptr);
        EXPECT_NE(text.find(" 系统位宽：" + utf8_to_gbk(utf8(c.line)) + "\r\n"), Text::npos) << gbk_to_utf8(text.substr(0, 200));
        EXPECT_EQ(f.os.bits, c.bits);
        const Json j = Json::parse(report_json(f, JsonContext{"t", 0, "", false, ""}));
        EXPECT_EQ(j["system"]["os_bits"], c.bits ? Json(*c.bits) : Json(nullptr));
    }
    // Real machines: a Chinese Windows 10 and a French one.
    if (real_wmi_machines().empty()) GTEST_SKIP() << kRealWmi << " is not here";
    std::map<std::string, std::int64_t> real;
    for (const auto& path : real_wmi_machines()) {
        const std::string text = slurp(path);
        if (text.find(U8("OSArchitecture = text 64 位\n")) != std::string::npos) real[path] = 64;
        if (text.find("OSArchitecture = text 32 bits\n") != std::string::npos) real[path] = 32;
    }
    ASSERT_EQ(real.size(), 2u);
    for (const auto& [path, bits] : real) {
        const ProcessResult r = run_report("--json --machine '" + path + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Json::parse(r.out)["system"]["os_bits"], bits) << path;
    }
}

TEST(OneTruth, TotalMemoryAndTheComputersName) {
    auto json_of = [](const std::string& args) {
        const ProcessResult r = run_report("--json " + args);
        EXPECT_EQ(r.status, 0) << r.err;
        return Json::parse(r.out);
    };
    // From the modules (two of 8 GiB in the laptop's table), from the
    // kernel's MemTotal (3884508 kB) where a board has no module records,
    // and neither in a tree without /proc/meminfo.
    const Json docked = json_of("--root " + tree("docked"));
    EXPECT_EQ(docked["memory"]["total_bytes"], 16LL << 30);
    EXPECT_EQ(docked["memory"]["total_source"], "modules");
    EXPECT_EQ(docked["system"]["manufacturer"], "LENOVO");
    EXPECT_EQ(docked["system"]["model"], "20XWCTO1WW");
    const Json pi = json_of("--root " + tree("no-dmi"));
    EXPECT_EQ(pi["memory"]["total_bytes"], 3884508LL * 1024);
    EXPECT_EQ(pi["memory"]["total_source"], "system");
    const Json vm = json_of("--root " + tree("this-vm"));
    EXPECT_TRUE(vm["memory"]["total_bytes"].is_null());
    EXPECT_TRUE(vm["memory"]["total_source"].is_null());
    EXPECT_NE(vm["unread"].dump().find(R"({"fact":"memory.total_bytes","reason":"absent","source":"/proc/meminfo"})"),
              std::string::npos)
        << vm["unread"].dump();
    // Windows' own count, and the white-box firmware's placeholders.
    const Json w = json_of("--machine " + machine_path("mixed-buses.machine"));
    EXPECT_EQ(w["memory"]["total_bytes"], 34231492608LL);
    EXPECT_EQ(w["memory"]["total_source"], "system");
    EXPECT_TRUE(w["system"]["manufacturer"].is_null());
    EXPECT_TRUE(w["system"]["model"].is_null());
    EXPECT_EQ(w["motherboard"]["model"], "System Product Name");  // the text report's value, as it is
    for (const char* fact : {"system.manufacturer", "system.model"})
        EXPECT_NE(w["unread"].dump().find(std::string(R"({"fact":")") + fact + R"(","reason":"placeholder")"),
                  std::string::npos)
            << fact;
}

TEST(OneTruth, UnreadSaysWhatTheReaderSaw) {
    auto unread = [](const ProcessResult& r) {
        EXPECT_EQ(r.status, 0) << r.err;
        std::map<std::string, std::pair<std::string, std::string>> out;
        const Json j = Json::parse(r.out);
        for (const Json& u : j["unread"]) out[u["fact"]] = {u["reason"], u["source"]};
        EXPECT_EQ(j["warnings"].size(), j["unread"].size());
        return out;
    };
    // A board with no firmware table at all: absent, for root and for anyone.
    auto pi = unread(run_report("--json --root " + tree("no-dmi")));
    EXPECT_EQ(pi["identity.system_uuid"], std::make_pair(std::string("absent"), std::string("/sys/class/dmi/id")));
    EXPECT_EQ(pi["memory.modules"], std::make_pair(std::string("absent"), std::string("/sys/firmware/dmi/tables/DMI")));
    // A firmware placeholder, named with the file it came from.
    auto server = unread(run_report("--json --root " + tree("server")));
    EXPECT_EQ(server["identity.system_serial"].first, "placeholder");
    EXPECT_EQ(server["identity.system_serial"].second.substr(0, 5), "/sys/");

    if (geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "running as another user needs root and setpriv";
    const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    char dir[] = "/tmp/qv-unreadXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    fs::copy(tree("no-dmi"), std::string(dir) + "/no-dmi", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::copy(tree("docked"), std::string(dir) + "/docked", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    // The capture keeps the kernel's root-only bits on the serials and the table.
    for (const char* f : {"sys/class/dmi/id/product_uuid", "sys/class/dmi/id/product_serial",
                          "sys/class/dmi/id/board_serial", "sys/class/dmi/id/chassis_serial",
                          "sys/firmware/dmi/tables/DMI"})
        if (fs::exists(std::string(dir) + "/docked/" + f)) fs::permissions(std::string(dir) + "/docked/" + f, fs::perms::owner_read);
    auto run_as_nobody = [&](const std::string& args) {
        ProcessResult r;
        const std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
        const int raw = std::system((as_nobody + QV_REPORT_EXE + " " + args + " >" + out + " 2>" + err).c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    };
    auto pi_user = unread(run_as_nobody("--json --root " + std::string(dir) + "/no-dmi"));
    EXPECT_EQ(pi_user["identity.system_uuid"].first, "absent");
    EXPECT_EQ(pi_user["memory.modules"].first, "absent");
    auto laptop_user = unread(run_as_nobody("--json --root " + std::string(dir) + "/docked"));
    EXPECT_EQ(laptop_user["identity.system_uuid"],
              std::make_pair(std::string("needs_privilege"), std::string("/sys/firmware/dmi/tables/DMI")));
    EXPECT_EQ(laptop_user["memory.modules"].first, "needs_privilege");
    fs::remove_all(dir);
}

TEST(MachineFile, ReportsAsTheTestsOwnPath) {
    // Every fixture machine: the same text as the tests' own path, which
    // sets the facts outside WMI to the values the files' Quorvin_Machine holds.
    for (const auto& path : fixture_machines()) {
        SCOPED_TRACE(path);
        MachineFile machine = MachineFile::load(path);
        set_instance_source(&machine);
        const std::string expected = without_elapsed(to_utf8_lf(text_report(false)));
        set_instance_source(nullptr);
        const ProcessResult r = run_report("--machine '" + path + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(without_elapsed(r.out), expected);
        const ProcessResult j = run_report("--json --machine '" + path + "'");
        ASSERT_EQ(j.status, 0) << j.err;
        EXPECT_EQ(Json::parse(j.out)["source"], Json::parse(R"({"kind": "machine_file", "root": null, "file": ")" + path + "\"}"));
    }
}

TEST(MachineFile, WrittenBackReportsTheSame) {
    // What --capture FILE writes on Windows, from every fixture machine:
    // read back, the same text and the same JSON.
    char dir[] = "/tmp/qv-machineXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    for (const auto& path : fixture_machines()) {
        SCOPED_TRACE(path);
        MachineFile machine = MachineFile::load(path);
        set_instance_source(&machine);
        ReportFacts f;
        text_report(true, &f);
        std::vector<Text> classes;
        for (const char* c : {"Win32_OperatingSystem", "Win32_SystemEnclosure", "Win32_Processor", "Win32_DesktopMonitor",
                              "Win32_PhysicalMemory", "Win32_DiskDrive", "Win32_VideoController", "Win32_BaseBoard",
                              "Win32_ComputerSystem", "Win32_ComputerSystemProduct", "Win32_BIOS"})
            classes.push_back(c);
        const std::string written = machine_file_text(machine, classes, [&](const Text& id, int set) {
                                        return machine.edid(id, set);
                                    }) + machine_facts_block(f);
        set_instance_source(nullptr);
        const std::string copy = std::string(dir) + "/copy.machine";
        std::ofstream(copy, std::ios::binary) << written;
        for (const char* form : {"", "--json "}) {
            ProcessResult a = run_report(std::string(form) + "--machine '" + path + "'");
            ProcessResult b = run_report(std::string(form) + "--machine " + copy);
            ASSERT_EQ(b.status, 0) << b.err;
            if (*form) {
                Json ja = Json::parse(a.out), jb = Json::parse(b.out);
                for (Json* j : {&ja, &jb})
                    for (const char* k : {"collected_at", "elapsed_ms", "source"}) j->erase(k);
                EXPECT_EQ(ja, jb);
            } else {
                EXPECT_EQ(without_elapsed(a.out), without_elapsed(b.out));
            }
        }
    }
    fs::remove_all(dir);
}

TEST(MachineFile, HostileFilesAreRefusedInOneLine) {
    char dir[] = "/tmp/qv-hostileXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    const std::string desktop = slurp(machine_path("desktop.machine"));
    std::ofstream(d + "/truncated.machine") << desktop.substr(0, desktop.find("[Win32_Processor]") + 7);
    std::ofstream(d + "/binary.machine", std::ios::binary) << std::string("[Win32_BIOS]\nSerialNumber = text a\0b\n", 36);
    std::ofstream(d + "/gbk.machine", std::ios::binary) << "[Win32_BIOS]\nSerialNumber = text \xC4\xDA\xB4\xE6\n";
    std::ofstream(d + "/huge.machine") << std::string(5 << 20, '#');
    std::ofstream(d + "/edid.machine") << "[Win32_DesktopMonitor]\nPNPDeviceID = text DISPLAY\\X\\1\nEDID = file /dev/zero\n";
    std::ofstream(d + "/hex.machine") << "[Win32_DesktopMonitor]\nPNPDeviceID = text DISPLAY\\X\\1\nEDID = hex 00zz\n";
    std::ofstream(d + "/number.machine") << "[Win32_Processor]\nNumberOfCores = int 99999999999999999999\n";
    for (const char* name : {"truncated", "binary", "gbk", "huge", "edid", "hex", "number", "missing"}) {
        for (const char* form : {"", "--json "}) {
            const ProcessResult r = run_report(std::string(form) + "--machine " + d + "/" + name + ".machine");
            EXPECT_EQ(r.status, 2) << name;
            EXPECT_EQ(r.out, "") << name;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << name << ": " << r.err;
        }
    }
    for (const char* args : {"--machine /dev/zero", "--machine /tmp", "--machine", "--machine x --root /",
                             "--machine x --edid y"}) {
        const ProcessResult r = run_report(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    fs::remove_all(dir);
}

TEST(OneTruth, TheProcessorMakerOnItanium) {
    // The first processor of an HP Integrity Superdome's cpuinfo (hwloc's
    // 128ia64-17n4s2c capture): Itanium names its maker under "vendor".
    char dir[] = "/tmp/qv-ia64XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    fs::create_directories(std::string(dir) + "/proc");
    std::ofstream(std::string(dir) + "/proc/cpuinfo")
        << "processor  : 0\nvendor     : GenuineIntel\narch       : IA-64\nfamily     : 32\nmodel      : 1\n"
           "model name : Dual-Core Intel(R) Itanium(R) Processor 9140N\nrevision   : 1\narchrev    : 0\n"
           "features   : branchlong, 16-byte atomic ops\ncpu number : 0\ncpu regs   : 4\ncpu MHz    : 1406.000000\n"
           "itc MHz    : 400.000000\nBogoMIPS   : 3194.88\nsiblings   : 2\nphysical id: 0\ncore id    : 0\n"
           "thread id  : 0\n\n";
    const ProcessResult r = run_report(std::string("--json --root ") + dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    ASSERT_EQ(j["processors"].size(), 1u);
    EXPECT_EQ(j["processors"][0]["maker"], "GenuineIntel");
    EXPECT_EQ(j["processors"][0]["name"], "Dual-Core Intel(R) Itanium(R) Processor 9140N");
    fs::remove_all(dir);
}
