#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

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
