#include "sources/linux/sysfs_text.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
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

std::optional<std::string> cim_date_of_firmware_date(const std::string& raw) {
    const std::string d = trim_blanks(raw);
    if (d.size() != 8 && d.size() != 10) return std::nullopt;
    if (d[2] != '/' || d[5] != '/') return std::nullopt;
    const auto month = number(d.substr(0, 2)), day = number(d.substr(3, 2)), y = number(d.substr(6));
    if (!month || !day || !y || *month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;
    const std::int64_t year = d.size() == 10 ? *y : (*y >= 80 ? 1900 + *y : 2000 + *y);
    if (year < 1980 || year > 9999) return std::nullopt;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d000000.000000+000", static_cast<int>(year), static_cast<int>(*month),
                  static_cast<int>(*day));
    return std::string(buf);
}

std::optional<bool> booted_through_uefi() {
    auto& fs = linux_files();
    if (!fs.list("/sys/firmware/efi").empty()) return true;
    if (!fs.list("/sys/firmware").empty()) return false;
    return std::nullopt;
}

std::optional<std::string> cim_time_of_epoch(const std::optional<std::int64_t>& seconds) {
    // From 1980 (before any machine this reports) to the year 9999.
    if (!seconds || *seconds < 315532800 || *seconds > 253402300799) return std::nullopt;
    const std::time_t t = static_cast<std::time_t>(*seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return std::nullopt;
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S.000000+000", &tm);
    return std::string(buf);
}
