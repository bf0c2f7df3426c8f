#include <sys/stat.h>

#include "app/console.h"
#include "values/linux_files.h"

int parse_platform_option(int argc, char** argv, int i, ConsoleOptions& options, std::string& error) {
    const std::string a = argv[i];
    if (a != "--root" && a != "--capture") return 0;
    if (i + 1 >= argc) {
        error = "option " + a + " needs a DIR argument";
        return -1;
    }
    (a == "--root" ? options.root : options.capture) = argv[i + 1];
    return 2;
}

bool prepare_platform(const ConsoleOptions& options, std::string& error) {
    if (!options.root.empty()) {
        struct stat st {};
        if (stat(options.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = options.root + ": not a directory";
            return false;
        }
        linux_files().set_root(options.root);
    }
    if (!options.capture.empty()) {
        struct stat st {};
        if (stat(options.capture.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            error = options.capture + ": exists and is not a directory";
            return false;
        }
        linux_files().set_capturing(true);
    }
    return true;
}

bool finish_platform(const ConsoleOptions& options, std::string& error) {
    if (options.capture.empty()) return true;
    return linux_files().write_capture(options.capture, error);
}

void set_binary_stdout() {}
