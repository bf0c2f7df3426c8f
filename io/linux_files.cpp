#include "io/linux_files.h"
#include "io/warnings.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <queue>
#include <cerrno>
#include <cstring>
#include <deque>

namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;
constexpr std::size_t kMaxPath = 4096;

}  // namespace

std::vector<std::string> path_components(const std::string& path) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) out.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

bool is_clean_path(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.size() > kMaxPath) return false;
    if (path.find('\0') != std::string::npos) return false;
    if (path == "/") return true;
    for (const auto& c : path_components(path))
        if (c == "." || c == "..") return false;
    return path.find("//") == std::string::npos && path.back() != '/';
}

LinuxFiles& linux_files() {
    static LinuxFiles files;
    return files;
}

LinuxFiles::~LinuxFiles() {
    if (root_fd_ >= 0) ::close(root_fd_);
}

bool LinuxFiles::set_root(const std::string& root, std::string* error) {
    if (root_fd_ >= 0) ::close(root_fd_);
    root_fd_ = -1;
    root_ = root;
    if (root.empty() || root == "/") return true;
    // The root itself is the user's own choice and may be reached by a link.
    root_fd_ = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root_fd_ < 0) {
        if (error) *error = root + ": " + (errno == ENOTDIR ? "not a directory" : std::strerror(errno));
        return false;
    }
    // A tree we may not search would give a report of blanks.
    if (::faccessat(root_fd_, ".", R_OK | X_OK, AT_EACCESS) != 0) {
        if (error) *error = root + ": " + std::strerror(errno);
        ::close(root_fd_);
        root_fd_ = -1;
        return false;
    }
    // The kernel's lookup in the root, or our own walk, chosen once for the
    // run: where the kernel (or a container's filter) refuses openat2 here,
    // it refuses it everywhere.
    kernel_walk_ = false;
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    const long probe = ::syscall(SYS_openat2, root_fd_, ".", &how, sizeof how);
    if (probe >= 0) {
        ::close(static_cast<int>(probe));
        kernel_walk_ = true;
    }
    // A file of the tree is opened for reading through the path descriptor
    // its type was looked at on, which needs /proc/self/fd.
    reopen_ok_ = ::faccessat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(root_fd_)).c_str(), F_OK, 0) == 0;
    return true;
}

int LinuxFiles::open_path(const std::string& path, int flags) const {
    if (!is_clean_path(path)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = real_root() ? ::open(path.c_str(), flags | O_CLOEXEC)
                               : open_in_root(path == "/" ? std::string(".") : path.substr(1), flags);
    // Running out is not a missing fact: the report must not pass for whole.
    if (fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOMEM) && exhausted_.empty())
        exhausted_ = path + ": " + std::strerror(errno);
    return fd;
}

int LinuxFiles::open_in_root(const std::string& rel, int flags) const {
    if (kernel_walk_ && !own_walk_) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
        how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
        // EAGAIN: a rename raced the lookup; the kernel asks to try again.
        for (int attempt = 0; attempt < 16; ++attempt) {
            const long fd = ::syscall(SYS_openat2, root_fd_, rel.c_str(), &how, sizeof how);
            if (fd >= 0) return static_cast<int>(fd);
            if (errno != EAGAIN) return -1;
        }
        return -1;
    }
    return walk_in_root(rel, flags);
}

// Name by name from the root, following links within the tree: an absolute
// target starts again at the root, ".." stops at the root. One directory is
// held open at a time, whatever the depth: the names of those passed stand
// in for them, and ".." opens the parent again from the root (never the
// real "..", which a concurrent rename could move outside the tree).
int LinuxFiles::walk_in_root(const std::string& rel, int flags) const {
    // As many names as 40 links of PATH_MAX each can bring, opened again at
    // most this often: beyond it, no lookup of the kernel's would succeed.
    constexpr std::size_t kMaxOpens = 1 << 17;
    std::size_t opens = 0;
    std::vector<std::string> passed;
    int cur = root_fd_;
    auto release = [&] {
        if (cur != root_fd_) ::close(cur);
        cur = root_fd_;
    };
    auto step = [&](const std::string& name) {
        if (++opens > kMaxOpens) {
            errno = ELOOP;
            return false;
        }
        const int fd = ::openat(cur, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        release();
        if (fd < 0) return false;
        cur = fd;
        return true;
    };
    const auto first = path_components(rel);
    std::deque<std::string> todo(first.begin(), first.end());
    int links = 0;
    while (!todo.empty()) {
        const std::string name = std::move(todo.front());
        todo.pop_front();
        if (name == ".") continue;
        if (name == "..") {
            if (passed.empty()) continue;
            passed.pop_back();
            release();
            for (const auto& p : passed)
                if (!step(p)) return -1;
            continue;
        }
        struct stat st {};
        if (::fstatat(cur, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int e = errno;
            release();
            errno = e;
            return -1;
        }
        if (S_ISLNK(st.st_mode)) {
            char buf[kMaxPath];
            const ssize_t n = ++links > kMaxLinks ? -2 : ::readlinkat(cur, name.c_str(), buf, sizeof buf);
            if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) {
                release();
                errno = n == -2 ? ELOOP : ENAMETOOLONG;
                return -1;
            }
            const std::string target(buf, static_cast<std::size_t>(n));
            if (target[0] == '/') {
                passed.clear();
                release();
            }
            auto parts = path_components(target);
            // "dir/" names a directory only: the "." makes the name before it one to step into.
            if (target.back() == '/') parts.push_back(".");
            todo.insert(todo.begin(), parts.begin(), parts.end());
            continue;
        }
        if (todo.empty()) {
            const int fd = ::openat(cur, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
            const int e = errno;
            release();
            errno = e;
            return fd;
        }
        if (!step(name)) return -1;
        passed.push_back(name);
    }
    const int fd = ::openat(cur, ".", flags | O_CLOEXEC);
    const int e = errno;
    release();
    errno = e;
    return fd;
}

int LinuxFiles::open_regular(const std::string& path, struct stat& st) const {
    // O_NONBLOCK: a FIFO planted in a tree must not hang the report.
    constexpr int kRead = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    if (real_root()) {
        const int fd = open_path(path, kRead);
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    // A tree's device node (a watchdog, a serial line) acts on being opened:
    // look at the type on a path descriptor, which opens nothing, and open
    // for reading only the very file looked at.
    const int at = open_path(path, O_PATH);
    if (at < 0) return -1;
    if (fstat(at, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(at);
        return -1;
    }
    if (!reopen_ok_) {
        // Opening by name again could open a device node put in its place
        // meanwhile, which acts on being opened: nothing is read instead.
        ::close(at);
        warn_reader(root_ + ": /proc is missing here, so a file of the tree cannot be opened as the very file "
                            "looked at; no file of the tree was read");
        errno = EACCES;
        return -1;
    }
    const int fd = ::open(("/proc/self/fd/" + std::to_string(at)).c_str(), kRead | O_CLOEXEC);
    const int e = errno;
    ::close(at);
    errno = e;
    return fd;
}

std::optional<std::string> LinuxFiles::read(const std::string& path, std::size_t cap, bool whole) {
    struct stat st {};
    errno = 0;
    const int fd = open_regular(path, st);
    if (fd < 0) {
        last_error_ = errno ? errno : ENOENT;
        return std::nullopt;
    }
    last_error_ = 0;
    const auto key = std::make_pair(st.st_dev, st.st_ino);
    if (!reporting_) reads_.clear();  // outside a report, nothing is kept
    auto known = reads_.find(key);
    if (known == reads_.end() || !(known->second.whole || cap <= known->second.cap)) {
        if (reporting_ && read_bytes_ >= kMaxReportBytes) {
            ::close(fd);
            warn_reader("the files read for this report reached " + std::to_string(kMaxReportBytes >> 20) +
                        " MiB; " + path + " and what came after it were not read");
            last_error_ = EFBIG;
            return std::nullopt;
        }
        std::string out;
        // sysfs files report a size of 4096 whatever they hold; read until EOF.
        out.resize(std::min<std::size_t>(cap + 1, st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096));
        std::size_t got = 0;
        for (;;) {
            if (got == out.size()) {
                if (out.size() > cap) break;
                out.resize(std::min(cap + 1, out.size() * 2));
            }
            const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n < 0 && got == 0) {
                    last_error_ = errno;
                    ::close(fd);
                    return std::nullopt;
                }
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        read_bytes_ += got;
        // Kept to the cap: every name of the file then shares these bytes.
        out.resize(std::min(got, cap));
        known = reads_.insert_or_assign(key, Read{std::make_shared<const std::string>(std::move(out)), cap, got <= cap})
                    .first;
    }
    ::close(fd);
    const Read& r = known->second;
    if (whole && (!r.whole || r.data->size() > cap)) {
        last_error_ = EFBIG;
        return std::nullopt;
    }
    std::shared_ptr<const std::string> content = r.data;
    if (content->size() > cap) content = std::make_shared<const std::string>(content->substr(0, cap));
    if (capturing_) files_[path] = CapturedFile{content, static_cast<unsigned>(st.st_mode & 0777)};
    return *content;
}

void LinuxFiles::begin_report() {
    reads_.clear();
    read_bytes_ = 0;
    reporting_ = true;
}

void LinuxFiles::end_report() {
    reads_.clear();
    reporting_ = false;
}

std::optional<std::string> LinuxFiles::line(const std::string& path) {
    auto s = read(path);
    if (!s) return std::nullopt;
    const auto end = s->find('\n');
    if (end != std::string::npos) s->resize(end);
    return s;
}

std::vector<std::string> LinuxFiles::list(const std::string& dir) {
    std::vector<std::string> names;
    const int fd = open_path(dir, O_RDONLY | O_DIRECTORY | O_NONBLOCK);
    if (fd < 0) return names;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return names;
    }
    // The first kMaxNames in name order, whatever order the file system
    // gives them in: the largest kept so far is dropped for a smaller one,
    // so a directory of any size costs a bounded memory and one pass.
    std::priority_queue<std::string> kept;
    std::size_t seen = 0;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        ++seen;
        if (kept.size() < kMaxNames) {
            kept.emplace(e->d_name);
        } else if (kept.top() > e->d_name) {
            kept.pop();
            kept.emplace(e->d_name);
        }
    }
    names.reserve(kept.size());
    while (!kept.empty()) {
        names.push_back(kept.top());
        kept.pop();
    }
    std::reverse(names.begin(), names.end());
    if (seen > kMaxNames)
        warn_reader(dir + ": " + std::to_string(seen) + " names, more than the " + std::to_string(kMaxNames) +
                    " a listing takes; the first " + std::to_string(kMaxNames) + " in name order were read");
    if (capturing_) {
        dirs_.insert(dir);
        // A listing reached through a link (sys/block -> disks) is captured
        // with that link, so the capture lists as the tree did.
        const auto parts = path_components(dir);
        std::string at;
        for (const auto& part : parts) {
            at += "/" + part;
            link(at);
        }
        // Every directory and link listed is kept, even one under which
        // nothing was read (an empty disk directory still counts as a
        // disk); a file that was not read is not, for its content would be
        // invented.
        const std::string prefix = dir == "/" ? "/" : dir + "/";
        for (const auto& name : names) {
            struct stat st {};
            if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            const std::string path = prefix + name;
            if (S_ISLNK(st.st_mode)) link(path);
            else if (S_ISDIR(st.st_mode)) dirs_.insert(path);
        }
    }
    ::closedir(d);
    return names;
}

std::optional<std::string> LinuxFiles::link(const std::string& path) {
    if (!is_clean_path(path) || path == "/") return std::nullopt;
    const auto slash = path.rfind('/');
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = path.substr(slash + 1);
    const int dir = open_path(parent, O_PATH | O_DIRECTORY);
    if (dir < 0) return std::nullopt;
    char buf[kMaxPath];
    const ssize_t n = ::readlinkat(dir, name.c_str(), buf, sizeof buf);
    ::close(dir);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return std::nullopt;
    std::string target(buf, static_cast<std::size_t>(n));
    if (capturing_) links_[path] = target;
    return target;
}

void LinuxFiles::note_file(const std::string& path, std::string content, unsigned mode) {
    files_[path] = CapturedFile{std::make_shared<const std::string>(std::move(content)), mode};
}
void LinuxFiles::note_link(const std::string& path, std::string target) { links_[path] = std::move(target); }
void LinuxFiles::note_dir(const std::string& path) { dirs_.insert(path); }
