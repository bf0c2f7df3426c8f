#include "io/warnings.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

namespace {

std::vector<std::string>& warnings() {
    static std::vector<std::string> w;
    return w;
}

std::map<std::pair<std::string, std::string>, UnreadNote>& notes() {
    static std::map<std::pair<std::string, std::string>, UnreadNote> n;
    return n;
}

std::map<std::pair<std::string, std::string>, std::string>& sources() {
    static std::map<std::pair<std::string, std::string>, std::string> s;
    return s;
}

}  // namespace

void warn_reader(const std::string& sentence) {
    auto& w = warnings();
    if (std::find(w.begin(), w.end(), sentence) == w.end()) w.push_back(sentence);
}

const std::vector<std::string>& reader_warnings() { return warnings(); }

const char* unread_reason_name(UnreadReason reason) {
    switch (reason) {
        case UnreadReason::Absent: return "absent";
        case UnreadReason::Unreadable: return "unreadable";
        case UnreadReason::NeedsPrivilege: return "needs_privilege";
        case UnreadReason::Placeholder: return "placeholder";
        case UnreadReason::OverLimit: return "over_limit";
        case UnreadReason::Unsupported: return "unsupported";
    }
    return "unreadable";
}

UnreadReason unread_reason_of_errno(int error, bool privileged) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return UnreadReason::Absent;
        case EACCES:
        case EPERM: return privileged ? UnreadReason::Unreadable : UnreadReason::NeedsPrivilege;
        case EFBIG: return UnreadReason::OverLimit;
        case ENOSYS:
        case EOPNOTSUPP: return UnreadReason::Unsupported;
        default: return UnreadReason::Unreadable;
    }
}

void note_unread(const std::string& class_name, const std::string& property, UnreadNote note) {
    notes()[{class_name, property}] = std::move(note);
}

std::optional<UnreadNote> unread_note(const std::string& class_name, const std::string& property) {
    const auto it = notes().find({class_name, property});
    if (it == notes().end()) return std::nullopt;
    return it->second;
}

void note_property_source(const std::string& class_name, const std::string& property, const std::string& source) {
    sources()[{class_name, property}] = source;
}

std::optional<std::string> property_source(const std::string& class_name, const std::string& property) {
    const auto it = sources().find({class_name, property});
    if (it == sources().end()) return std::nullopt;
    return it->second;
}

void clear_unread_notes() {
    notes().clear();
    sources().clear();
}
