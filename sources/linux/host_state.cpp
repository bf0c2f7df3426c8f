#include "sources/linux/host_state.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "io/linux_files.h"
#include "sources/linux/sysfs_text.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

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

}  // namespace

std::optional<std::string> kernel_machine_name() {
    if (!linux_files().real_root()) return tree_state(kMachineFile);
    utsname u{};
    if (uname(&u) != 0) return std::nullopt;
    record(kMachineFile, u.machine);
    return std::string(u.machine);
}

std::optional<std::string> effective_user_name() {
    if (!linux_files().real_root()) return tree_state(kUserFile);
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) != 0 || !found) return std::nullopt;
    record(kUserFile, found->pw_name);
    return std::string(found->pw_name);
}

std::optional<std::string> cpuid_signature() {
    if (!linux_files().real_root()) {
        // 16 hex digits, or "none" for a processor without the instruction.
        const std::string s = tree_state(kCpuidFile).value_or("");
        if (s.size() != 16 || s.find_first_not_of("0123456789ABCDEF") != std::string::npos) return std::nullopt;
        return s;
    }
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        char s[17];
        std::snprintf(s, sizeof s, "%08X%08X", d, a);
        record(kCpuidFile, s);
        return std::string(s);
    }
#endif
    record(kCpuidFile, "none");
    return std::nullopt;
}

std::optional<std::string> machine_id() {
    // systemd's, else D-Bus's older place for the same id; both are 32 hex
    // digits and readable by everyone.
    int error = 0;
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        auto id = linux_files().line(path);
        if (!id) {
            if (!error) error = linux_files().last_error();
            continue;
        }
        const std::string t = trim_blanks(*id);
        if (!t.empty()) return t;
    }
    note_unread_file("machine-id", "", "/etc/machine-id", error);
    return std::nullopt;
}

std::optional<FramebufferMode> framebuffer_mode(int device) {
    auto& fs = linux_files();
    const std::string dir = "/sys/class/graphics/fb" + std::to_string(device);
    const auto depth = fs.line(dir + "/bits_per_pixel");
    const auto size = fs.line(dir + "/virtual_size");  // "1920,1080"
    if (!depth || !size) return std::nullopt;
    const auto comma = size->find(',');
    if (comma == std::string::npos) return std::nullopt;
    FramebufferMode m;
    m.bits_per_pixel = std::atoi(depth->c_str());
    m.width = std::atoi(size->c_str());
    m.height = std::atoi(size->c_str() + comma + 1);
    if (m.bits_per_pixel <= 0 || m.width <= 0 || m.height <= 0) return std::nullopt;
    if (const auto mode = fs.line(dir + "/mode")) {  // "U:1920x1080p-60"
        const auto dash = mode->rfind('-');
        if (dash != std::string::npos) m.refresh_hz = std::atoi(mode->c_str() + dash + 1);
    }
    return m;
}
