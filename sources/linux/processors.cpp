#include "sources/linux/processors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "sources/linux/cpu_names.h"
#include "sources/linux/cpu_topology.h"
#include "sources/linux/kernel_arch.h"
#include "sources/linux/smbios.h"
#include "sources/linux/sysfs_text.h"
#include "io/linux_files.h"
#include "io/warnings.h"

namespace {

using P = PropertyValue;
using Index = std::optional<std::size_t>;

std::string cpu_dir(int n) { return "/sys/devices/system/cpu/cpu" + std::to_string(n); }

// The leading number of "2500.00", "266.000000MHz"; nothing without one.
std::optional<double> leading_number(const std::optional<std::string>& s) {
    if (!s) return std::nullopt;
    const std::string t = *trimmed(s);
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !(v > 0 && v < 1e7)) return std::nullopt;
    return v;
}

struct ArmKind {
    unsigned implementer = 0, part = 0;
    bool operator<(const ArmKind& o) const {
        return part != o.part ? part < o.part : implementer < o.implementer;
    }
};

std::optional<ArmKind> arm_kind(const CpuInfo& info, Index i) {
    const auto impl = number(info.field(i, "CPU implementer"), 16);
    const auto part = number(info.field(i, "CPU part"), 16);
    if (!impl || !part) return std::nullopt;
    return ArmKind{static_cast<unsigned>(*impl & 0xFF), static_cast<unsigned>(*part & 0xFFF)};
}

std::string arm_implementer_text(unsigned id) {
    if (auto n = arm_implementer_name(id)) return *n;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%02x", id);
    return buf;
}

std::string arm_part_text(const ArmKind& k) {
    if (auto n = arm_part_name(k.implementer, k.part)) return *n;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%03x", k.part);
    return arm_implementer_text(k.implementer) + " part " + buf;
}

// What names the processor where cpuinfo has no ARM ids: the first of the
// keys the architectures use for it.
std::optional<std::string> plain_name(const CpuInfo& info, Index i) {
    for (const char* key : {"model name", "Model Name", "cpu", "uarch", "isa"})
        if (auto v = info.field(i, key); v && !v->empty()) return v;
    return std::nullopt;
}

std::string kind_of(const CpuInfo& info, Index i) {
    if (auto k = arm_kind(info, i)) return "arm " + std::to_string(k->implementer) + "/" + std::to_string(k->part);
    return plain_name(info, i).value_or("");
}

// IBM Z: the machine type from /proc/sysinfo, else from cpuinfo's
// "processor N: version = FF, identification = ..., machine = 2817".
std::optional<std::string> s390_machine_type(const CpuInfo& info) {
    if (auto sysinfo = linux_files().read("/proc/sysinfo")) {
        std::size_t pos = 0;
        while (pos < sysinfo->size()) {
            std::size_t end = sysinfo->find('\n', pos);
            if (end == std::string::npos) end = sysinfo->size();
            const std::string line = sysinfo->substr(pos, end - pos);
            pos = end + 1;
            if (line.rfind("Type:", 0) == 0) return trimmed(line.substr(5));
        }
    }
    for (const auto& [key, value] : info.shared) {
        if (key.rfind("processor ", 0) != 0) continue;
        const auto m = value.find("machine = ");
        if (m != std::string::npos) return trimmed(value.substr(m + 10));
    }
    return std::nullopt;
}

struct Identity {
    std::optional<std::string> name, maker;
};

Identity identify(const CpuInfo& info, const CpuPackage& p, Index first) {
    Identity id;
    if (arm_kind(info, first)) {
        // Every kind of core in the package, little before big as the part
        // numbers run: "Cortex-A510 + Cortex-A710".
        std::set<ArmKind> kinds;
        for (const auto& c : p.cpus)
            if (auto k = arm_kind(info, info.index_of(c.number))) kinds.insert(*k);
        if (kinds.empty()) kinds.insert(*arm_kind(info, first));
        std::string name, maker;
        std::set<unsigned> makers;
        for (const auto& k : kinds) {
            name += (name.empty() ? "" : " + ") + arm_part_text(k);
            if (makers.insert(k.implementer).second)
                maker += (maker.empty() ? "" : " + ") + arm_implementer_text(k.implementer);
        }
        id.name = name;
        id.maker = maker;
        return id;
    }
    if (auto impl = number(info.field(first, "CPU implementer"), 16)) {  // ARM without a part number
        id.maker = arm_implementer_text(static_cast<unsigned>(*impl & 0xFF));
        return id;
    }
    const auto vendor = info.field(first, "vendor_id");
    if (vendor && *vendor == "IBM/S390") {
        id.maker = vendor;
        if (const auto type = s390_machine_type(info)) id.name = s390_machine_name(*type).value_or("IBM/S390 " + *type);
        return id;
    }
    id.name = plain_name(info, first);
    if (vendor) {
        id.maker = vendor;
    } else if (auto ia64 = trimmed(info.field(first, "vendor")); ia64 && !ia64->empty()) {  // Itanium
        id.maker = ia64;
    } else if (auto family = info.field(first, "CPU Family")) {  // LoongArch: "Loongson-64bit"
        id.maker = family->substr(0, family->find('-'));
    } else if (auto v = number(info.field(first, "mvendorid"), 16)) {  // RISC-V
        id.maker = riscv_vendor_name(static_cast<unsigned long long>(*v)).value_or(*trimmed(info.field(first, "mvendorid")));
    } else if (auto cpu = info.field(first, "cpu"); cpu && cpu->rfind("POWER", 0) == 0) {
        id.maker = "IBM";
    }
    return id;
}

// What the processor itself is: 64-bit capable or not.
std::optional<int> data_width(const CpuInfo& info, Index i) {
    if (auto flags = info.field(i, "flags")) return has_word(*flags, "lm") ? 64 : 32;  // x86
    if (auto arch = info.field(i, "CPU architecture"); arch && info.field(i, "CPU implementer")) {
        if (arch->find("AArch64") != std::string::npos) return 64;
        return std::atoi(arch->c_str()) >= 8 ? 64 : 32;  // ARMv8 and later have AArch64
    }
    if (auto isa = info.field(i, "isa")) {
        if (isa->rfind("rv64", 0) == 0) return 64;
        if (isa->rfind("rv32", 0) == 0) return 32;
    }
    if (auto v = info.field(i, "vendor_id"); v && *v == "IBM/S390")
        return has_word(info.field(i, "features").value_or(""), "zarch") ? 64 : 32;
    if (auto isa = info.field(i, "ISA"); isa && has_word(*isa, "loongarch64")) return 64;
    if (auto type = info.field(i, "type"); type && (*type == "sun4u" || *type == "sun4v")) return 64;
    if (auto rev = info.field(i, "revision"); rev && rev->find("pvr") != std::string::npos)
        return ppc_core_is_64bit(info.field(i, "cpu").value_or("")) ? 64 : 32;
    return kernel_bits();  // nothing in cpuinfo says: the kernel's width
}

// A clock in MHz that an int holds; a larger figure is no figure.
std::optional<int> fitting_mhz(double mhz) {
    if (!(mhz >= 0 && mhz <= 2147483647.0)) return std::nullopt;
    return static_cast<int>(mhz);
}

// The momentary or nominal figure each architecture prints in cpuinfo.
std::optional<int> cpuinfo_mhz(const CpuInfo& info, Index i, int cpu) {
    for (const char* key : {"cpu MHz", "CPU MHz", "cpu MHz static", "clock"})
        if (auto v = leading_number(info.field(i, key))) return fitting_mhz(*v);
    // SPARC: "Cpu6ClkTck : 000000000ec82e00", hertz in hex.
    if (auto hz = number(info.field(i, "Cpu" + std::to_string(cpu) + "ClkTck"), 16); hz && *hz > 0)
        return fitting_mhz(static_cast<double>(*hz / 1000000));
    return std::nullopt;
}

// The highest of a cpufreq attribute (kHz) over the package's processors.
std::optional<int> cpufreq_mhz(const CpuPackage& p, const char* attribute) {
    std::optional<std::int64_t> best;
    for (const auto& c : p.cpus) {
        const auto khz = number(linux_files().line(cpu_dir(c.number) + "/cpufreq/" + attribute));
        if (khz && *khz > 0 && (!best || *khz > *best)) best = khz;
    }
    if (!best) return std::nullopt;
    return fitting_mhz(static_cast<double>(*best / 1000));
}

}  // namespace

std::optional<int> clock_in_name(const std::string& name) {
    for (const char* unit : {"GHz", "MHz"}) {
        const auto at = name.rfind(unit);
        if (at == std::string::npos) continue;
        std::size_t b = at;
        while (b > 0 && name[b - 1] == ' ') --b;
        std::size_t e = b;
        while (b > 0 && ((name[b - 1] >= '0' && name[b - 1] <= '9') || name[b - 1] == '.')) --b;
        if (b == e) continue;
        const double v = std::strtod(name.substr(b, e - b).c_str(), nullptr);
        const double mhz = unit[0] == 'G' ? v * 1000 : v;
        if (mhz >= 1 && mhz < 1e6) return static_cast<int>(mhz + 0.5);
    }
    return std::nullopt;
}

std::optional<std::string> windows_cpu_description(const CpuInfo& info, Index i) {
    auto get = [&](const char* k) -> std::optional<std::string> {
        auto v = info.field(i, k);
        if (!v || v->empty()) return std::nullopt;
        return v;
    };
    const auto vendor = get("vendor_id");
    const auto family = get("cpu family"), model = get("model"), stepping = get("stepping");
    if (!vendor || !family || !model || !stepping) return std::nullopt;
    const bool lm = has_word(info.field(i, "flags").value_or(""), "lm");
    std::string arch;
    if (*vendor == "GenuineIntel")
        arch = lm ? "Intel64" : "x86";
    else if (*vendor == "AuthenticAMD" || *vendor == "HygonGenuine")
        arch = lm ? "AMD64" : "x86";
    else
        arch = lm ? "x64" : "x86";
    return arch + " Family " + *family + " Model " + *model + " Stepping " + *stepping;
}

std::vector<Instance> processor_instances() {
    auto& fs = linux_files();
    const auto text = fs.read("/proc/cpuinfo", 4 << 20);
    if (!text) {
        note_unread_file("Win32_Processor", "", "/proc/cpuinfo", fs.last_error());
        return {};
    }
    const CpuInfo info = parse_cpuinfo(*text);
    if (info.cut)
        warn_reader("processors: /proc/cpuinfo lists more than " + std::to_string(kMaxCpus) +
                    " processors, more than a kernel runs; the rest were not read");

    // The online processors: the kernel's list, else those cpuinfo shows.
    std::vector<int> numbers;
    if (auto online = fs.line("/sys/devices/system/cpu/online"))
        numbers = parse_cpu_list(*online, kMaxCpus).value_or(std::vector<int>());
    if (numbers.empty())
        for (const auto& p : info.processors) numbers.push_back(p.number);
    if (numbers.empty())
        if (auto n = number(info.field(std::nullopt, "# processors")); n && *n > 0)
            for (int k = 0; k < std::min<std::int64_t>(*n, static_cast<std::int64_t>(kMaxCpus)); ++k) numbers.push_back(k);
    if (numbers.empty()) return {};

    // sysfs places each processor where the kernel has a topology; some
    // kernels give only the thread siblings (a Cell PPE), no package or core.
    const std::string first_topology = cpu_dir(numbers.front()) + "/topology/";
    const bool topology = fs.read(first_topology + "physical_package_id").has_value() ||
                          fs.read(first_topology + "thread_siblings_list").has_value();
    std::vector<LogicalCpu> cpus;
    cpus.reserve(numbers.size());
    for (const int n : numbers) {
        const Index i = info.index_of(n);
        LogicalCpu c;
        c.number = n;
        c.kind = kind_of(info, i);
        std::optional<std::string> siblings, core_id;
        if (topology) {
            const std::string t = cpu_dir(n) + "/topology/";
            if (auto id = number(fs.line(t + "physical_package_id")); id && *id >= 0) c.package = std::to_string(*id);
            siblings = trimmed(fs.line(t + "thread_siblings_list"));
            if (!siblings || siblings->empty()) siblings = trimmed(fs.line(t + "core_cpus_list"));
            if (auto id = number(fs.line(t + "core_id")); id && *id >= 0) core_id = std::to_string(*id);
        }
        if (!c.package)
            for (const char* key : {"physical id", "package"})
                if (auto v = info.field(i, key); v && !c.package && i) c.package = trimmed(v);
        if (i)
            for (const char* key : {"core id", "core"})
                if (auto v = info.field(i, key); v && !siblings) core_id = trimmed(v);
        const std::string pkg = c.package.value_or("");
        if (siblings && !siblings->empty()) c.core = "threads " + *siblings;
        else if (core_id) c.core = "core " + pkg + "/" + *core_id;
        else c.core = "cpu " + std::to_string(n);
        cpus.push_back(std::move(c));
    }

    const auto packages = group_packages(std::move(cpus));
    const auto sockets = dmi_processors(dmi_table());
    if (sockets.empty()) {
        const int e = linux_files().last_error();
        for (const char* property : {"SocketDesignation", "ExtClock"})
            note_unread_file("Win32_Processor", property, "/sys/firmware/dmi/tables/DMI", e);
    }
    std::vector<Instance> out;
    for (std::size_t k = 0; k < packages.size(); ++k) {
        const CpuPackage& p = packages[k];
        const int first_number = p.cpus.front().number;
        Index first = info.index_of(first_number);
        if (!first && !info.processors.empty()) first = 0;  // not in cpuinfo: its first processor speaks for it
        const DmiProcessor* dmi = k < sockets.size() ? &sockets[k] : nullptr;
        const Identity id = identify(info, p, first);

        // The rated clock: the name's own figure, the speed the firmware set,
        // the base frequency, the highest the driver allows, and only then
        // the momentary figure. SMBIOS Max Speed is the board's limit.
        std::optional<int> mhz;
        if (auto model = info.field(first, "model name")) mhz = clock_in_name(*model);
        if (!mhz && dmi && dmi->current_speed_mhz) mhz = *dmi->current_speed_mhz;
        if (!mhz) mhz = cpufreq_mhz(p, "base_frequency");
        if (!mhz) mhz = cpufreq_mhz(p, "cpuinfo_max_freq");
        if (!mhz) mhz = cpuinfo_mhz(info, first, first_number);

        Instance c;
        c.set("Name", P::text_or_null(gbk(id.name)));
        c.set("Manufacturer", P::text_or_null(gbk(id.maker)));
        c.set("Description", P::text_or_null(gbk(windows_cpu_description(info, first))));
        c.set("NumberOfCores", P::of_integer(p.cores));
        c.set("NumberOfLogicalProcessors", P::of_integer(static_cast<std::int64_t>(p.cpus.size())));
        const auto width = data_width(info, first);
        c.set("DataWidth", width ? P::of_integer(*width) : P::null());
        c.set("MaxClockSpeed", mhz ? P::of_integer(*mhz) : P::null());
        c.set("SocketDesignation", P::text_or_null(gbk(dmi ? dmi->socket : std::nullopt)));
        c.set("ExtClock", dmi && dmi->external_clock_mhz ? P::of_integer(*dmi->external_clock_mhz) : P::null());
        out.push_back(std::move(c));
    }
    return out;
}
