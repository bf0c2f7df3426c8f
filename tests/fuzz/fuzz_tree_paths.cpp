// A tree of the input's making (files, directories, links with any target),
// read through --root's resolution both ways (the kernel's in-root lookup
// and our own walk), then a capture of recorded paths and links of the
// input's making. Nothing may be read from outside the tree, both ways must
// agree, and the capture must write nothing outside its directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "io/linux_files.h"

namespace fs = std::filesystem;

namespace {

const char kSecret[] = "outside the tree";

const fs::path& sandbox() {
    static fs::path dir;
    if (dir.empty()) {
        char t[] = "/tmp/qv-fuzz-pathsXXXXXX";
        dir = mkdtemp(t);
        std::ofstream(dir / "secret") << kSecret;
    }
    return dir;
}

// Everything below `dir` but `skip`, links not followed.
std::map<std::string, std::string> listing(const fs::path& dir, const fs::path& skip) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        std::string what = it->is_symlink() ? "l" + fs::read_symlink(it->path(), ec).string()
                           : it->is_directory() ? std::string("d")
                                                : "f" + std::to_string(it->file_size(ec));
        out[it->path().string()] = what;
    }
    return out;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_tree_paths: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path tree = sandbox() / "tree";
    const fs::path out = sandbox() / "out";
    std::error_code ec;
    fs::remove_all(tree, ec);
    fs::remove_all(out, ec);
    fs::create_directory(tree);
    const int tree_fd = ::open(tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(tree_fd >= 0, "cannot open the tree");

    LinuxFiles kernel, walk, record;
    check(kernel.set_root(tree.string()) && walk.set_root(tree.string()), "cannot set the root");
    walk.set_own_walk(true);

    // One operation a line: "f name=content", "d name", "l name=target",
    // "r path", and for the capture "c path=content", "L path=target", "D path".
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::size_t pos = 0;
    int ops = 0;
    while (pos < in.size() && ops++ < 64) {
        std::size_t end = in.find('\n', pos);
        if (end == std::string::npos) end = in.size();
        const std::string line = in.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() < 2) continue;
        const char op = line[0];
        const std::string rest = line.substr(1);
        const auto eq = rest.find('=');
        const std::string name = rest.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : rest.substr(eq + 1);
        // The tree itself is made one name at a time at its top, never
        // through a link: the fuzzer must not write outside either.
        const bool flat = !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
        switch (op) {
            case 'f':
                if (flat) {
                    const int fd = ::openat(tree_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
                    if (fd >= 0) {
                        (void)!::write(fd, value.data(), value.size());
                        ::close(fd);
                    }
                }
                break;
            case 'd':
                if (flat) ::mkdirat(tree_fd, name.c_str(), 0755);
                break;
            case 'l':
                if (flat && !value.empty()) ::symlinkat(value.c_str(), tree_fd, name.c_str());
                break;
            case 'r': {
                const auto a = kernel.read(rest), b = walk.read(rest);
                check(a == b, "the kernel's lookup and our walk disagree");
                check(!a || a->find(kSecret) == std::string::npos, "read a file outside the tree");
                check(kernel.list(rest) == walk.list(rest), "the listings disagree");
                check(kernel.link(rest) == walk.link(rest), "the links disagree");
                break;
            }
            case 'c': record.note_file("/" + name, value, 0644); break;
            case 'L': record.note_link("/" + name, value); break;
            case 'D': record.note_dir("/" + name); break;
            default: break;
        }
    }
    ::close(tree_fd);

    const auto before = listing(sandbox(), out);
    std::string error;
    (void)write_capture(record, out.string(), error);
    check(listing(sandbox(), out) == before, "the capture wrote outside its directory");
    std::ifstream secret(sandbox() / "secret");
    std::string s((std::istreambuf_iterator<char>(secret)), std::istreambuf_iterator<char>());
    check(s == kSecret, "the capture changed a file outside its directory");
    return 0;
}
