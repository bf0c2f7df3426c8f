// Every file the Linux side reads goes through here: from the root
// directory (/ or a captured tree given with --root), never blocking on
// special files, never reading more than a file's cap, and noting each path
// so that --capture can copy exactly what a report read.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class LinuxFiles {
public:
    // Cap for ordinary text attributes; tables and lists ask for more.
    static constexpr std::size_t kSmall = 64 * 1024;

    void set_root(const std::string& root) { root_ = root; }
    const std::string& root() const { return root_; }
    bool real_root() const { return root_.empty() || root_ == "/"; }
    void set_capturing(bool on) { capturing_ = on; }

    // Contents of a regular file, at most `cap` bytes; nothing when the file
    // is missing, unreadable, not a regular file, or larger than the cap and
    // `whole` is asked for.
    std::optional<std::string> read(const std::string& path, std::size_t cap = kSmall,
                                    bool whole = false);
    // The first line of a file, without its line end.
    std::optional<std::string> line(const std::string& path);
    // Names in a directory, sorted; empty when it cannot be read.
    std::vector<std::string> list(const std::string& dir);
    // The target of a symbolic link.
    std::optional<std::string> link(const std::string& path);

    // Copies every file read, link read and directory listed into `dir`.
    bool write_capture(const std::string& dir, std::string& error) const;

private:
    std::string full(const std::string& path) const;
    std::string root_;
    bool capturing_ = false;
    std::map<std::string, std::string> files_;  // what was read, as it was read
    std::set<std::string> dirs_;
    std::set<std::pair<std::string, std::string>> links_;
};

LinuxFiles& linux_files();
