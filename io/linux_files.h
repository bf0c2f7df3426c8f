// Every file the Linux side reads goes through here: from the root
// directory (/ or a captured tree given with --root), never blocking on
// special files, never reading more than a file's cap, and noting each path
// so that --capture can copy exactly what a report read.
//
// A tree is untrusted: under --root every name resolves inside the tree as
// if it were /, links included (the kernel's RESOLVE_IN_ROOT where it has
// it, the same walk of our own otherwise), and a path with "." or ".."
// components, which a tree's own contents could put there, is never opened.
#pragma once

#include <sys/stat.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class LinuxFiles {
public:
    // Cap for ordinary text attributes; tables and lists ask for more.
    static constexpr std::size_t kSmall = 64 * 1024;
    // At most this many names of one directory are looked at.
    static constexpr std::size_t kMaxNames = 4096;
    // At most this many bytes are read for one report, whatever the number
    // of names that lead to big files; a file read again (by the same name
    // or another) comes from what was read, and costs nothing more.
    static constexpr std::size_t kMaxReportBytes = 64u << 20;

    LinuxFiles() = default;
    ~LinuxFiles();
    LinuxFiles(const LinuxFiles&) = delete;
    LinuxFiles& operator=(const LinuxFiles&) = delete;

    // "" or "/" reads the running machine. False, with the reason, when the
    // root is not a directory that can be opened.
    bool set_root(const std::string& root, std::string* error = nullptr);
    const std::string& root() const { return root_; }
    bool real_root() const { return root_fd_ < 0; }
    void set_capturing(bool on) { capturing_ = on; }
    // A report's reads: within one, a file read again comes from what was
    // read; outside one, every read goes to the file.
    void begin_report();
    void end_report();
    // Resolve in the tree by our own walk even where the kernel could; lets
    // the tests hold both ways to the same answers.
    void set_own_walk(bool on) { own_walk_ = on; }

    // Contents of a regular file, at most `cap` bytes; nothing when the file
    // is missing, unreadable, not a regular file, or larger than the cap and
    // `whole` is asked for.
    std::optional<std::string> read(const std::string& path, std::size_t cap = kSmall,
                                    bool whole = false);
    // Why the last read or line gave nothing (an errno; EFBIG over the cap
    // when the whole file was asked for); 0 after one that gave something.
    int last_error() const { return last_error_; }
    // The first line of a file, without its line end.
    std::optional<std::string> line(const std::string& path);
    // Names in a directory, sorted; empty when it cannot be read.
    std::vector<std::string> list(const std::string& dir);
    // The target of a symbolic link, as the link holds it.
    std::optional<std::string> link(const std::string& path);

    // The first read that failed for want of descriptors or memory, with
    // the reason; empty when none did.
    const std::string& exhausted() const { return exhausted_; }

    // What a capture holds: paths as the report asked for them.
    struct CapturedFile {
        std::shared_ptr<const std::string> content;  // shared by every name of one file
        unsigned mode = 0644;                         // the permission bits the file had
    };
    const std::map<std::string, CapturedFile>& captured_files() const { return files_; }
    const std::map<std::string, std::string>& captured_links() const { return links_; }
    const std::set<std::string>& captured_dirs() const { return dirs_; }

    // Records a file that the machine does not keep as one (what an ioctl
    // answered), when capturing.
    void note_capture_file(const std::string& path, std::string content) {
        if (capturing_) note_file(path, std::move(content));
    }
    // Adds to the record as a read would; for tests of the capture writer.
    void note_file(const std::string& path, std::string content, unsigned mode = 0644);
    void note_link(const std::string& path, std::string target);
    void note_dir(const std::string& path);

private:
    // A descriptor for `path` opened with `flags`, resolved in the root
    // (links followed, none out of it); -1 on failure.
    int open_path(const std::string& path, int flags) const;
    int open_in_root(const std::string& rel, int flags) const;
    int walk_in_root(const std::string& rel, int flags) const;
    // A regular file opened for reading, never a device; -1 otherwise.
    int open_regular(const std::string& path, struct stat& st) const;

    std::string root_;
    int root_fd_ = -1;
    bool own_walk_ = false;
    bool kernel_walk_ = false;  // openat2 with RESOLVE_IN_ROOT works here
    bool reopen_ok_ = true;     // /proc/self/fd reopens a path descriptor
    bool capturing_ = false;
    int last_error_ = 0;
    // What this report read, by file (device and inode), with the cap it
    // was read with and whether that was the whole file.
    struct Read {
        std::shared_ptr<const std::string> data;
        std::size_t cap = 0;
        bool whole = false;
    };
    std::map<std::pair<dev_t, ino_t>, Read> reads_;
    std::size_t read_bytes_ = 0;
    bool reporting_ = false;
    mutable std::string exhausted_;
    std::map<std::string, CapturedFile> files_;
    std::set<std::string> dirs_;
    std::map<std::string, std::string> links_;
};

LinuxFiles& linux_files();

// The names of a path, without the empty ones its slashes leave.
std::vector<std::string> path_components(const std::string& path);
// A path the reader will open: absolute, without empty, "." or ".."
// components, no NUL, at most 4096 bytes.
bool is_clean_path(const std::string& path);

// The directory a capture goes into, held by a descriptor from the first
// check to the last write, so that renaming it or putting a link in its
// place cannot move the capture elsewhere.
class CaptureTarget {
public:
    CaptureTarget();
    ~CaptureTarget();
    CaptureTarget(const CaptureTarget&) = delete;
    CaptureTarget& operator=(const CaptureTarget&) = delete;
    // `dir` must not exist or be an empty directory (not a link to one);
    // it is made, with any parents missing, and opened.
    bool open(const std::string& dir, std::string& error);
    // Writes what `files` recorded; on failure nothing of the capture stays.
    bool write(const LinuxFiles& files, std::string& error);
    // Takes away everything written and every directory made, so that the
    // capture is absent; a directory that was there before stays, empty.
    void abandon();
    // The capture is whole and stays; without this, leaving the scope in
    // any way (an error, an exception, running out of memory) abandons it.
    void commit() { committed_ = true; }

private:
    struct Written;
    std::string dir_;
    int fd_ = -1;
    bool committed_ = false;
    std::vector<std::string> made_;  // the directories made, outermost first
    std::unique_ptr<Written> written_;
};

// Writes what `files` recorded into `dir`, which must not exist or be an
// empty directory. Nothing below `dir` is followed and nothing outside it is
// written. Recorded paths that lead through a recorded link are written at
// the link's target, as the tree they came from held them. On failure the
// reason names the file, and everything written is removed again.
bool write_capture(const LinuxFiles& files, const std::string& dir, std::string& error);
// DIR as the user spelt it, taken lexically: "a/../b" is "b", "./b/" is "b".
std::string capture_dir_spelling(const std::string& dir);
// Whether `dir` is fit to receive a capture (absent, or an empty directory).
bool capture_dir_usable(const std::string& dir, std::string& error);
