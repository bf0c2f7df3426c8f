#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/console.h"
#include "sections/display/screen_windows.h"

int parse_platform_option(int, char**, int, ConsoleOptions&, std::string&) { return 0; }

bool prepare_platform(const ConsoleOptions&, std::string&) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 0), &wsa);
    OleInitialize(nullptr);
    create_monitor_list();
    return true;
}

bool finish_platform(const ConsoleOptions&, std::string&) {
    release_monitor_list();
    OleUninitialize();
    WSACleanup();
    return true;
}

void set_binary_stdout() { _setmode(_fileno(stdout), _O_BINARY); }

bool running_privileged() {
    // A member of Administrators whose token has the group enabled: an
    // elevated process, or any administrator before Vista.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
    FreeSid(admins);
    return member != FALSE;
}

bool read_small_regular_file(const std::string& path, std::size_t cap, Bytes& out, std::string& why) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
        why = "cannot open: " + ec.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        why = std::filesystem::is_directory(status) ? "is a directory" : "not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot open";
        return false;
    }
    out.assign(cap + 1, 0);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (in.bad()) {
        why = "cannot read";
        return false;
    }
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > cap) {
        why = "larger than " + std::to_string(cap / 1024) + " KiB, not an EDID file";
        return false;
    }
    out.resize(got);
    return true;
}
