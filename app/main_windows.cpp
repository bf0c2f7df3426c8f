// quorvin.exe: one window, the report box and the read button.
#include <winsock2.h>
#include <windows.h>

#include <new>

#include <ole2.h>

#include <string>

#include "app/report.h"
#include "sections/display/screen_windows.h"
#include "values/encoding.h"

namespace {

// Sizes and places at 96 DPI; the window scales them by its own DPI.
constexpr int kWidth = 600;
constexpr int kHeight = 800;
constexpr int kBaseDpi = 96;
constexpr int kReadButtonId = 1;
constexpr int kReportBoxId = 3;
const wchar_t kClassName[] = L"QuorvinMainWindow";

HWND g_main = nullptr;
HWND g_report_box = nullptr;  // 编辑框3
HWND g_read_button = nullptr;  // 按钮1
int g_dpi = kBaseDpi;
HFONT g_font = nullptr;  // our own, at a DPI other than 96; else the stock font

int scaled(int v) { return MulDiv(v, g_dpi, kBaseDpi); }

// The DPI of the window's monitor where Windows knows it (Windows 10
// 1607 on), else the system's; Windows XP has no such function.
int dpi_of(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (get_dpi && hwnd)
        if (const UINT d = get_dpi(hwnd)) return static_cast<int>(d);
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return d > 0 ? d : kBaseDpi;
}

// The controls' places and the font, at the window's DPI.
void lay_out() {
    MoveWindow(g_report_box, 0, 0, scaled(440), scaled(934), TRUE);
    MoveWindow(g_read_button, scaled(464), scaled(368), scaled(96), scaled(40), TRUE);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (g_dpi != kBaseDpi) {
        // The stock font's face at its 8 points, in this DPI's pixels.
        LOGFONTW lf{};
        GetObjectW(font, sizeof lf, &lf);
        lf.lfHeight = -MulDiv(8, g_dpi, 72);
        lf.lfWidth = 0;
        font = CreateFontIndirectW(&lf);
    }
    for (HWND w : {g_main, g_report_box, g_read_button})
        if (w) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (g_font) DeleteObject(g_font);
    g_font = g_dpi != kBaseDpi ? font : nullptr;
}

class EditReportBox : public ReportBox {
public:
    explicit EditReportBox(HWND edit) : edit_(edit) {}
    void set_content(const Text& text) override {
        SetWindowTextW(edit_, gbk_to_wide(text).c_str());
    }
    void append_text(const Text& text) override {
        const LRESULT end = GetWindowTextLengthW(edit_);
        SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
        SendMessageW(edit_, EM_REPLACESEL, 0,
                     reinterpret_cast<LPARAM>(gbk_to_wide(text).c_str()));
    }

private:
    HWND edit_;
};

void create_controls(HWND hwnd) {
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    g_report_box = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
        0, 0, 440, 934, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kReportBoxId)), inst,
        nullptr);
    SendMessageW(g_report_box, EM_SETLIMITTEXT, 0, 0);
    g_read_button = CreateWindowExW(
        0, L"BUTTON", gbk_to_wide("读取").c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 464, 368, 96,
        40, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kReadButtonId)), inst, nullptr);
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(hwnd, WM_SETFONT, font, FALSE);
    SendMessageW(g_report_box, WM_SETFONT, font, FALSE);
    SendMessageW(g_read_button, WM_SETFONT, font, FALSE);
    if (g_dpi != kBaseDpi) lay_out();
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            create_controls(hwnd);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wp) == kReadButtonId && HIWORD(wp) == BN_CLICKED) {
                EditReportBox box(g_report_box);
                // Out of memory ends this report where it stands; no
                // exception may cross back into the window procedure's caller.
                try {
                    build_report(box);
                } catch (const std::bad_alloc&) {
                }
                return 0;
            }
            break;
        case WM_LBUTTONDOWN: {
            // A press on the background moves the window as the caption bar would.
            POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            ClientToScreen(hwnd, &pt);
            PostMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
            return 0;
        }
        case WM_GETMINMAXINFO: {
            // Windows limits a window to about the screen's height; the
            // window is 600 by 800 even on a 768-pixel screen.
            DefWindowProcW(hwnd, msg, wp, lp);
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            if (mm->ptMaxTrackSize.x < scaled(kWidth)) mm->ptMaxTrackSize.x = scaled(kWidth);
            if (mm->ptMaxTrackSize.y < scaled(kHeight)) mm->ptMaxTrackSize.y = scaled(kHeight);
            return 0;
        }
        case 0x02E0: {  // WM_DPICHANGED: moved to a monitor of another scale
            g_dpi = HIWORD(wp) ? HIWORD(wp) : kBaseDpi;
            const RECT* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            lay_out();
            return 0;
        }
        case WM_DESTROY:
            if (g_font) DeleteObject(g_font);
            g_font = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool ours(HWND hwnd) { return hwnd && (hwnd == g_main || GetParent(hwnd) == g_main); }

// Esc closes the window unless the focused control claims it, and none does:
// the report box claims only Enter. Tab moves between the two controls.
bool pre_translate(const MSG& m) {
    if ((m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN) || !ours(m.hwnd)) return false;
    if (m.wParam == VK_ESCAPE) {
        SendMessageW(g_main, WM_CLOSE, 0, 0);
        return true;
    }
    if (m.wParam == VK_TAB && m.message == WM_KEYDOWN) {
        SetFocus(GetFocus() == g_report_box ? g_read_button : g_report_box);
        return true;
    }
    return false;
}

void set_directory_to_executable() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring dir(path, n);
    auto slash = dir.find_last_of(L"\\/");
    if (slash != std::wstring::npos) SetCurrentDirectoryW(dir.substr(0, slash).c_str());
}

HWND create_main_window(HINSTANCE inst) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = inst;
    wc.hIcon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    // The primary screen's DPI first; the window's own once it exists.
    g_dpi = dpi_of(nullptr);
    int width = scaled(kWidth), height = scaled(kHeight);
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"Quorvin",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                    WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                left, top, width, height, nullptr, nullptr, inst, nullptr);
    g_main = hwnd;
    if (const int own = dpi_of(hwnd); own != g_dpi) {
        g_dpi = own;
        width = scaled(kWidth), height = scaled(kHeight);
        left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        lay_out();
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    if (r.right - r.left != width || r.bottom - r.top != height) MoveWindow(hwnd, left, top, width, height, TRUE);
    return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 0), &wsa);
    OleInitialize(nullptr);
    set_directory_to_executable();
    create_monitor_list();

    g_main = create_main_window(inst);
    ShowWindow(g_main, show);
    UpdateWindow(g_main);

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (pre_translate(m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }

    release_monitor_list();
    OleUninitialize();
    WSACleanup();
    return 0;
}
