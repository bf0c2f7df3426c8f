#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/console.h"
#include "app/report.h"
#include "automation/script_query.h"
#include "sources/machine_file.h"
#include "sources/wmi_source_windows.h"
#include "sections/display/screen_windows.h"

int parse_platform_option(int argc, char** argv, int i, ConsoleOptions& options, std::string& error) {
    const std::string a = argv[i];
    if (a != "--capture") return 0;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        error = "option --capture needs a FILE argument";
        return -1;
    }
    options.capture = argv[i + 1];
    return 2;
}

bool capture_needs_facts(const ConsoleOptions& options) { return !options.capture.empty(); }

bool capture_machine(const ConsoleOptions& options, const ReportFacts& facts, std::string& error) {
    if (options.capture.empty()) return true;
    std::vector<Text> classes;
    for (const char* c : {"Win32_OperatingSystem", "Win32_SystemEnclosure", "Win32_Processor", "Win32_DesktopMonitor",
                          "Win32_PhysicalMemory", "Win32_DiskDrive", "Win32_VideoController", "Win32_BaseBoard",
                          "Win32_ComputerSystem", "Win32_ComputerSystemProduct", "Win32_BIOS"})
        classes.push_back(c);
    std::string text;
    {
        const QuerySession session;
        text = "# A Windows machine as quorvin-report --capture wrote it; quorvin-report --machine reports it.\n" +
               machine_file_text(wmi_instance_source(), classes, [](const Text& id, int set) -> std::optional<Bytes> {
                   const Bytes b = registry_read_binary(RegistryRoot::LocalMachine,
                                                        "SYSTEM\\ControlSet00" + to_text(set) + "\\Enum\\" + id +
                                                            "\\Device Parameters\\EDID");
                   if (b.empty()) return std::nullopt;
                   return b;
               }) +
               machine_facts_block(facts);
    }
    // A new file only: a capture never overwrites what the user has.
    HANDLE h = CreateFileA(options.capture.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = options.capture + ": cannot create (" +
                (GetLastError() == ERROR_FILE_EXISTS ? std::string("it exists") : "error " + std::to_string(GetLastError())) +
                ")";
        return false;
    }
    DWORD done = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) && done == text.size();
    const bool closed = CloseHandle(h) != 0;
    if (ok && closed) return true;
    DeleteFileA(options.capture.c_str());
    error = options.capture + ": cannot write";
    return false;
}

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

// A Windows capture is written whole at the end or not at all.
void abandon_platform() noexcept {}

void set_binary_stdout() { _setmode(_fileno(stdout), _O_BINARY); }

bool write_stdout(const std::string& out, std::string& error) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t n = std::fwrite(out.data() + done, 1, out.size() - done, stdout);
        if (n == 0) break;
        done += n;
    }
    const bool wrote = done == out.size() && std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int e = errno;
    const bool closed = std::fclose(stdout) == 0;
    if (wrote && closed) return true;
    error = std::strerror(wrote ? errno : (e ? e : EIO));
    return false;
}

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
