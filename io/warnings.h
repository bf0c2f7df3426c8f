// What a reader noticed and left out, in English, for the JSON's warnings
// and unread list and the console's standard error.
#pragma once

#include <optional>
#include <string>
#include <vector>

void warn_reader(const std::string& sentence);
// In the order noticed, each once.
const std::vector<std::string>& reader_warnings();

// Why a fact could not be read, as the reader that tried saw it.
enum class UnreadReason { Absent, Unreadable, NeedsPrivilege, Placeholder, OverLimit, Unsupported };
// "absent", "unreadable", "needs_privilege", "placeholder", "over_limit", "unsupported".
const char* unread_reason_name(UnreadReason reason);
// The reason an errno gives: missing is absent, refused is a want of
// privilege (for a reader without it), too large is over the limit.
UnreadReason unread_reason_of_errno(int error, bool privileged);

struct UnreadNote {
    UnreadReason reason = UnreadReason::Absent;
    std::string source;  // the file, or the WMI class
    std::string detail;  // the system's own words, where it gave some
};
// A source's note on what it left Null: the class and the property (empty
// for the class's instances as a whole). The last note on one stands.
void note_unread(const std::string& class_name, const std::string& property, UnreadNote note);
std::optional<UnreadNote> unread_note(const std::string& class_name, const std::string& property);
// Where a source took a property's value from (a file), for the reader of
// a placeholder; a source that says nothing leaves the class as the source.
void note_property_source(const std::string& class_name, const std::string& property, const std::string& source);
std::optional<std::string> property_source(const std::string& class_name, const std::string& property);
// Forgets the notes of an earlier report.
void clear_unread_notes();
