#include "values/linux_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

LinuxFiles& linux_files() {
    static LinuxFiles files;
    return files;
}

std::string LinuxFiles::full(const std::string& path) const {
    if (real_root()) return path;
    std::string r = root_;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r + path;
}

std::optional<std::string> LinuxFiles::read(const std::string& path, std::size_t cap, bool whole) {
    // O_NONBLOCK: a FIFO planted in a tree must not hang the report.
    const int fd = ::open(full(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
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
                ::close(fd);
                return std::nullopt;
            }
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > cap) {
        if (whole) return std::nullopt;
        got = cap;
    }
    out.resize(got);
    if (capturing_) files_[path] = out;
    return out;
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
    DIR* d = ::opendir(full(dir).c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
        if (names.size() > 4096) break;  // a planted tree cannot make us list forever
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    if (capturing_) dirs_.insert(dir);
    return names;
}

std::optional<std::string> LinuxFiles::link(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(full(path).c_str(), buf, sizeof buf - 1);
    if (n <= 0) return std::nullopt;
    std::string target(buf, static_cast<std::size_t>(n));
    if (capturing_) links_.insert({path, target});
    return target;
}

bool LinuxFiles::write_capture(const std::string& dir, std::string& error) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = dir + ": cannot create: " + ec.message();
        return false;
    }
    const fs::path base(dir);
    for (const auto& d : dirs_) fs::create_directories(base / d.substr(1), ec);
    for (const auto& [path, target] : links_) {
        const fs::path p = base / path.substr(1);
        fs::create_directories(p.parent_path(), ec);
        fs::remove(p, ec);
        fs::create_symlink(target, p, ec);
        if (ec) {
            error = p.string() + ": cannot make link: " + ec.message();
            return false;
        }
    }
    for (const auto& [f, content] : files_) {
        const fs::path p = base / f.substr(1);
        fs::create_directories(p.parent_path(), ec);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out) {
            error = p.string() + ": cannot write";
            return false;
        }
    }
    return true;
}
