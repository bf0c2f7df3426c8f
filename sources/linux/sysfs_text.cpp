#include "sources/linux/sysfs_text.h"

#include <unistd.h>

#include <cstring>

#include "io/warnings.h"

#include <cerrno>
#include <cstdlib>

#include "values/encoding.h"
#include "io/linux_files.h"

std::optional<std::string> trimmed(const std::optional<std::string>& s) {
    if (!s) return s;
    std::string t = *s;
    while (!t.empty() && t.back() == '\0') t.pop_back();
    return trim_blanks(t);
}

std::optional<std::int64_t> number(const std::optional<std::string>& s, int base) {
    if (!s) return std::nullopt;
    const std::string t = *trimmed(s);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, base);
    if (errno || end == t.c_str() || *end) return std::nullopt;
    return v;
}

std::optional<Text> gbk(const std::optional<std::string>& s) {
    if (!s) return std::nullopt;
    return gbk_of_utf8_value(*s);
}

std::vector<DmiStructure> dmi_table() {
    auto t = linux_files().read("/sys/firmware/dmi/tables/DMI", 1 << 20);
    if (!t) return {};
    return parse_dmi_table(*t);
}

void note_unread_file(const char* class_name, const char* property, const std::string& path, int error) {
    // Refused to this reader is a want of privilege, on the machine or in
    // a tree whose capture kept the root-only permissions.
    const bool privileged = geteuid() == 0;
    const int e = error ? error : ENOENT;
    note_unread(class_name, property,
                {unread_reason_of_errno(e, privileged), path, e == ENOENT ? std::string() : std::strerror(e)});
}
