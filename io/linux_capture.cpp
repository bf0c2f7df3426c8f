// Writes a capture: what the report read, below a directory of the user's,
// and nowhere else. Every name below that directory is created fresh and
// opened without following links, so neither the recorded paths (which a
// tree's contents can steer) nor anything planted in the directory can move
// a write out of it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "io/linux_files.h"

namespace {

constexpr int kMaxLinks = 40;

using Parts = std::vector<std::string>;

std::string join(const Parts& p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && i < p.size(); ++i) s += "/" + p[i];
    return s.empty() ? "/" : s;
}

// Appends `more` to `base` as a lookup would: "." stays, ".." goes up but
// not above the root.
void append(Parts& base, const Parts& more) {
    for (const auto& c : more) {
        if (c == ".") continue;
        if (c == "..") {
            if (!base.empty()) base.pop_back();
        } else {
            base.push_back(c);
        }
    }
}

// Where a recorded path lives in the tree it came from: any leading part
// that is a recorded link is replaced by that link's target. With
// `keep_last`, the last name is the entry itself (a link) and stays.
std::optional<Parts> through_links(const std::map<std::string, std::string>& links,
                                   const std::string& path, bool keep_last) {
    Parts p = path_components(path);
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        const std::size_t upto = keep_last ? (p.empty() ? 0 : p.size() - 1) : p.size();
        bool moved = false;
        for (std::size_t n = 1; n <= upto; ++n) {
            const auto it = links.find(join(p, n));
            if (it == links.end()) continue;
            Parts next;
            if (it->second.empty() || it->second[0] != '/') next.assign(p.begin(), p.begin() + static_cast<long>(n) - 1);
            append(next, path_components(it->second));
            append(next, Parts(p.begin() + static_cast<long>(n), p.end()));
            p = std::move(next);
            moved = true;
            break;
        }
        if (!moved) return p;
    }
    return std::nullopt;  // the links go round in a circle
}

// One name of a directory: something a lookup takes as it stands.
bool plain_name(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find('/') == std::string::npos &&
           n.find('\0') == std::string::npos;
}

class Writer {
public:
    Writer(int root, std::string dir) : root_(root), dir_(std::move(dir)) {}

    std::string error;

    // The directory that will hold `parts`' last name, made as needed; -1 on failure.
    int parent_of(const Parts& parts) { return open_dirs(parts, parts.size() - 1); }

    bool make_dir(const Parts& parts) {
        const int fd = open_dirs(parts, parts.size());
        if (fd < 0) return false;
        close_unless_root(fd);
        return true;
    }

    bool make_link(const Parts& parts, const std::string& target) {
        const int dir = parent_of(parts);
        if (dir < 0) return false;
        const bool ok = ::symlinkat(target.c_str(), dir, parts.back().c_str()) == 0;
        if (ok) created_.push_back({parts, false});
        else fail(parts, "cannot make the link");
        close_unless_root(dir);
        return ok;
    }

    bool make_file(const Parts& parts, const std::string& content, unsigned mode) {
        const int dir = parent_of(parts);
        if (dir < 0) return false;
        const int fd = ::openat(dir, parts.back().c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        close_unless_root(dir);
        if (fd < 0) return fail(parts, "cannot create");
        created_.push_back({parts, false});
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = ENOSPC;
                const int e = errno;
                ::close(fd);
                errno = e;
                return fail(parts, "cannot write");
            }
            done += static_cast<std::size_t>(n);
        }
        if (::fchmod(fd, mode & 0777) != 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return fail(parts, "cannot set its permissions");
        }
        if (::close(fd) != 0) return fail(parts, "cannot write");
        return true;
    }

    // Takes away everything made, newest first, so that a failed capture
    // leaves the directory as it found it.
    void undo() {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            const int dir = open_dirs(it->parts, it->parts.size() - 1, false);
            if (dir < 0) continue;
            ::unlinkat(dir, it->parts.back().c_str(), it->is_dir ? AT_REMOVEDIR : 0);
            close_unless_root(dir);
        }
        created_.clear();
    }

private:
    struct Made {
        Parts parts;
        bool is_dir;
    };

    bool fail(const Parts& parts, const char* what) {
        error = dir_ + join(parts, parts.size()) + ": " + what + ": " + std::strerror(errno);
        return false;
    }

    void close_unless_root(int fd) const {
        if (fd != root_) ::close(fd);
    }

    // Opens the first `n` names of `parts` as directories, each without
    // following a link, making those that are missing when `create`.
    int open_dirs(const Parts& parts, std::size_t n, bool create = true) {
        for (const auto& part : parts)
            if (!plain_name(part)) {
                errno = EINVAL;
                if (create) fail(parts, "not a name to write");
                return -1;
            }
        int cur = root_;
        for (std::size_t i = 0; i < n; ++i) {
            const char* name = parts[i].c_str();
            if (create) {
                if (::mkdirat(cur, name, 0755) == 0) {
                    created_.push_back({Parts(parts.begin(), parts.begin() + static_cast<long>(i) + 1), true});
                } else if (errno != EEXIST) {
                    fail(Parts(parts.begin(), parts.begin() + static_cast<long>(i) + 1), "cannot make the directory");
                    close_unless_root(cur);
                    return -1;
                }
            }
            const int next = ::openat(cur, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0 && create)
                fail(Parts(parts.begin(), parts.begin() + static_cast<long>(i) + 1),
                     errno == ELOOP || errno == ENOTDIR ? "is not a directory" : "cannot open");
            close_unless_root(cur);
            if (next < 0) return -1;
            cur = next;
        }
        return cur;
    }

    int root_;
    std::string dir_;
    std::vector<Made> created_;
};

// Whether the directory holds nothing; nothing when it cannot be read.
std::optional<bool> dir_is_empty(int fd) {
    const int copy = ::dup(fd);
    if (copy < 0) return std::nullopt;
    DIR* d = ::fdopendir(copy);
    if (!d) {
        ::close(copy);
        return std::nullopt;
    }
    ::rewinddir(d);
    bool empty = true;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(d);
    return empty;
}

}  // namespace

struct CaptureTarget::Written {
    explicit Written(int root, const std::string& dir) : writer(root, dir) {}
    Writer writer;
};

CaptureTarget::CaptureTarget() = default;

CaptureTarget::~CaptureTarget() {
    if (committed_) {
        if (fd_ >= 0) ::close(fd_);
        return;
    }
    // Whatever left the scope, a capture that was not committed goes. The
    // undo allocates as little as it can; should even that fail, what is
    // left is closed rather than the program ended from a destructor.
    try {
        abandon();
    } catch (...) {
        if (fd_ >= 0) ::close(fd_);
    }
}

bool capture_dir_usable(const std::string& dir, std::string& error) {
    if (dir.empty()) {
        error = "the capture directory is empty";
        return false;
    }
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode) && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = dir + ": a link; give the directory itself";
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = dir + ": exists and is not a directory";
        return false;
    }
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    const auto empty = dir_is_empty(fd);
    const int e = errno;
    ::close(fd);
    if (!empty) {
        error = dir + ": cannot read: " + std::strerror(e);
        return false;
    }
    if (!*empty) {
        error = dir + ": not empty; a capture goes into a new or empty directory";
        return false;
    }
    return true;
}

std::string capture_dir_spelling(const std::string& dir) {
    if (dir.empty()) return dir;
    // "a/../b" is b, as the user meant it, and nothing of a is made or
    // entered; "b/", "./b/." are b.
    std::string out = std::filesystem::path(dir).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out.empty() ? std::string(".") : out;
}

bool CaptureTarget::open(const std::string& spelled, std::string& error) {
    const std::string dir = capture_dir_spelling(spelled);
    if (!capture_dir_usable(dir, error)) return false;
    dir_ = dir;
    // The parents are the user's own path; those missing are made, and
    // taken away again with DIR if the capture does not come about.
    std::string at = dir[0] == '/' ? "" : ".";
    const auto parts = path_components(dir);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        at += "/" + parts[i];
        if (::mkdir(at.c_str(), 0755) == 0) {
            made_.push_back(at);
        } else if (errno != EEXIST || i + 1 == parts.size()) {
            if (i + 1 == parts.size() && errno == EEXIST) break;  // DIR itself, empty as checked
            error = at + ": cannot make the directory: " + std::strerror(errno);
            abandon();
            return false;
        }
    }
    // From here on DIR is this descriptor, whatever is done to its name.
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        error = dir + ": cannot open: " + std::strerror(errno);
        abandon();
        return false;
    }
    const auto empty = dir_is_empty(fd_);
    if (!empty || !*empty) {  // filled since it was checked
        error = dir + (empty ? ": not empty; a capture goes into a new or empty directory"
                             : std::string(": cannot read: ") + std::strerror(errno));
        abandon();
        return false;
    }
    return true;
}

void CaptureTarget::abandon() {
    if (written_) written_->writer.undo();
    written_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::rmdir(it->c_str());
    made_.clear();
}

bool CaptureTarget::write(const LinuxFiles& files, std::string& error) {
    if (fd_ < 0) {
        error = dir_ + ": not open for a capture";
        return false;
    }
    written_ = std::make_unique<Written>(fd_, dir_);
    Writer& w = written_->writer;
    bool ok = true;
    auto place = [&](const std::string& path, bool keep_last) -> std::optional<Parts> {
        if (!is_clean_path(path)) {  // never so when it came from a read
            w.error = dir_ + ": cannot capture the name '" + path + "'";
            ok = false;
            return std::nullopt;
        }
        auto p = through_links(files.captured_links(), path, keep_last);
        if (!p) {
            w.error = dir_ + path + ": its links go round in a circle";
            ok = false;
        }
        return p;
    };
    for (const auto& d : files.captured_dirs()) {
        if (!ok) break;
        if (auto p = place(d, false); p && !p->empty()) ok = w.make_dir(*p);
    }
    std::set<Parts> written;
    for (const auto& [path, target] : files.captured_links()) {
        if (!ok) break;
        if (target.empty() || target.find('\0') != std::string::npos) {  // never so when read from a link
            w.error = dir_ + path + ": cannot capture the link";
            ok = false;
            break;
        }
        auto p = place(path, true);
        if (!p || p->empty() || !written.insert(*p).second) continue;
        ok = w.make_link(*p, target);
    }
    for (const auto& [path, f] : files.captured_files()) {
        if (!ok) break;
        auto p = place(path, false);
        // A file read by two names of the tree is written once.
        if (!p || p->empty() || !written.insert(*p).second) continue;
        ok = w.make_file(*p, *f.content, f.mode);
    }
    if (!ok) {
        error = w.error;
        abandon();
    }
    return ok;
}

bool write_capture(const LinuxFiles& files, const std::string& dir, std::string& error) {
    CaptureTarget target;
    return target.open(dir, error) && target.write(files, error);
}
