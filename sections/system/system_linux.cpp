#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "sources/linux/kernel_arch.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "io/linux_files.h"
#include "values/encoding.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

// Linux has no Windows family; the report says 未知.
int read_os_family() { return 0; }

// What only a system call gives is this machine's; a captured tree keeps
// its own in its quorvin/ state, which --capture writes and --root reads.
namespace {

constexpr const char* kMachineFile = "/quorvin/machine";
constexpr const char* kUserFile = "/quorvin/user";
constexpr const char* kCpuidFile = "/quorvin/cpuid";

std::optional<std::string> tree_state(const char* path) {
    auto v = linux_files().line(path);
    if (v) v = trim_blanks(*v);
    return v;
}

void record(const char* path, const std::string& value) { linux_files().note_capture_file(path, value + "\n"); }

std::optional<std::string> machine_name() {
    if (!linux_files().real_root()) return tree_state(kMachineFile);
    utsname u{};
    if (uname(&u) != 0) return std::nullopt;
    record(kMachineFile, u.machine);
    return std::string(u.machine);
}

}  // namespace

bool is_64bit_windows() { return read_64bit_answer().value_or(false); }

std::optional<bool> read_64bit_answer() {
    const auto machine = machine_name();
    if (!machine || machine->empty()) return std::nullopt;
    return kernel_arch_bits(*machine) == 64;
}

Text read_user_name() {
    if (!linux_files().real_root()) return gbk_of_utf8_value(tree_state(kUserFile).value_or(""));
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) != 0 || !found) return Text();
    record(kUserFile, found->pw_name);
    return gbk_of_utf8_value(found->pw_name);
}

Text read_processor_signature() {
    if (!linux_files().real_root()) {
        // 16 hex digits, or "none" for a processor without the instruction.
        const std::string s = tree_state(kCpuidFile).value_or("");
        if (s.size() != 16 || s.find_first_not_of("0123456789ABCDEF") != std::string::npos) return Text();
        return s;
    }
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        const Text s = format_processor_signature(d, a);
        record(kCpuidFile, s);
        return s;
    }
#endif
    record(kCpuidFile, "none");
    return Text();
}
