#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "sections/display/display.h"
#include "sections/display/screen_windows.h"

namespace {

std::vector<HMONITOR>* g_monitors = nullptr;

BOOL CALLBACK add_monitor(HMONITOR m, HDC, LPRECT, LPARAM) {
    if (g_monitors) g_monitors->push_back(m);
    return TRUE;
}

}  // namespace

void create_monitor_list() {
    if (!g_monitors) g_monitors = new std::vector<HMONITOR>();
}

void release_monitor_list() {
    delete g_monitors;
    g_monitors = nullptr;
}

void query_display_mode(int device, std::int32_t& bpp, std::int32_t& width, std::int32_t& height,
                        std::int32_t& refresh) {
    auto* dd = static_cast<DISPLAY_DEVICEW*>(LocalAlloc(LPTR, sizeof(DISPLAY_DEVICEW)));
    if (!dd) return;
    dd->cb = sizeof(DISPLAY_DEVICEW);
    if (EnumDisplayDevicesW(nullptr, static_cast<DWORD>(device), dd, EDD_GET_DEVICE_INTERFACE_NAME)) {
        auto* dm = static_cast<DEVMODEW*>(LocalAlloc(LPTR, sizeof(DEVMODEW)));
        if (dm) {
            dm->dmSize = sizeof(DEVMODEW);
            dm->dmDriverExtra = 0;
            if (EnumDisplaySettingsW(dd->DeviceName, ENUM_CURRENT_SETTINGS, dm)) {
                bpp = static_cast<std::int32_t>(dm->dmBitsPerPel);
                width = static_cast<std::int32_t>(dm->dmPelsWidth);
                height = static_cast<std::int32_t>(dm->dmPelsHeight);
                refresh = static_cast<std::int32_t>(dm->dmDisplayFrequency);
            }
            LocalFree(dm);
        }
    }
    LocalFree(dd);
}

std::int32_t count_screens() {
    create_monitor_list();
    g_monitors->clear();
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, 0);
    return static_cast<std::int32_t>(g_monitors->size());
}

std::int32_t taskbar_thickness_of(unsigned edge, const RECT& rc) {
    switch (edge) {
        case ABE_LEFT:
        case ABE_RIGHT:
            return rc.right - rc.left;
        case ABE_TOP:
        case ABE_BOTTOM:
            return rc.bottom - rc.top;
        default:
            return 0;
    }
}

std::int32_t taskbar_thickness() {
    APPBARDATA abd{};
    abd.cbSize = sizeof abd;
    SHAppBarMessage(ABM_GETTASKBARPOS, &abd);
    return taskbar_thickness_of(abd.uEdge, abd.rc);
}
