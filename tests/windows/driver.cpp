// Drives quorvin.exe from a second process for the Wine tests:
//   driver wait              wait for the window and print its geometry
//   driver read FILE [report] write the report box's text to FILE as UTF-8,
//                            with "report" once a whole report stands there
//   driver lineheight        the report box's line height (it is left holding two lines)
//   driver scripts DIR       write each query script as a .vbs that saves
//                            GetA()'s reply to DIR\NAME.txt (UTF-16)
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sections/query_scripts.h"
#include "values/encoding.h"

namespace {

HWND find_child(HWND parent, const wchar_t* cls) {
    return FindWindowExW(parent, nullptr, cls, nullptr);
}

HWND wait_for_window() {
    for (int i = 0; i < 200; ++i) {
        HWND w = FindWindowW(nullptr, L"Quorvin");
        if (w && find_child(w, L"Edit") && find_child(w, L"Button") && IsWindowVisible(w)) return w;
        Sleep(50);
    }
    return nullptr;
}

void print_rect(const char* name, HWND parent, HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    std::printf("%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int wait_command() {
    HWND w = wait_for_window();
    if (!w) {
        std::fprintf(stderr, "driver: no window captioned Quorvin\n");
        return 1;
    }
    print_rect("window", nullptr, w);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    std::printf("client %ld %ld\n", origin.x, origin.y);
    print_rect("edit", w, find_child(w, L"Edit"));
    print_rect("button", w, find_child(w, L"Button"));
    wchar_t caption[64] = {};
    GetWindowTextW(find_child(w, L"Button"), caption, 63);
    std::printf("button_caption %s\n", gbk_to_utf8(wide_to_gbk(caption, wcslen(caption))).c_str());
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    std::printf("style maximizebox=%d minimizebox=%d thickframe=%d\n", (style & WS_MAXIMIZEBOX) != 0,
                (style & WS_MINIMIZEBOX) != 0, (style & WS_THICKFRAME) != 0);
    const LONG es = GetWindowLongW(find_child(w, L"Edit"), GWL_STYLE);
    std::printf("edit_style multiline=%d readonly=%d vscroll=%d\n", (es & ES_MULTILINE) != 0,
                (es & ES_READONLY) != 0, (es & WS_VSCROLL) != 0);
    return 0;
}

// The report box's line height in pixels, from where its second line
// starts; the box is left holding two short lines.
int line_height_command() {
    HWND w = wait_for_window();
    if (!w) return 1;
    HWND edit = find_child(w, L"Edit");
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"A\r\nB"));
    const LRESULT first = SendMessageW(edit, EM_POSFROMCHAR, 0, 0);
    const LRESULT second = SendMessageW(edit, EM_POSFROMCHAR, 3, 0);
    std::printf("line_height %d\n", static_cast<int>(HIWORD(second)) - static_cast<int>(HIWORD(first)));
    return 0;
}

std::wstring box_text(HWND edit) {
    const LRESULT n = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(edit, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// With `whole_report`, waits (up to 20 s) until the box holds a finished
// report, one that ends with the elapsed-time line.
int read_command(const char* file, bool whole_report) {
    HWND w = wait_for_window();
    if (!w) return 1;
    HWND edit = find_child(w, L"Edit");
    std::wstring text = box_text(edit);
    const std::wstring done = gbk_to_wide("耗时：");
    for (int i = 0; whole_report && i < 400; ++i) {
        const auto at = text.rfind(done);
        if (at != std::wstring::npos && text.size() >= 3 && text.compare(text.size() - 3, 3, L"s\r\n") == 0) break;
        Sleep(50);
        text = box_text(edit);
    }
    std::ofstream out(file, std::ios::binary);
    out << gbk_to_utf8(wide_to_gbk(text.data(), text.size()));
    return out ? 0 : 1;
}

int scripts_command(const std::string& dir) {
    for (const auto& s : query_scripts()) {
        std::string body = s.text;
        body += "\r\nDim reply\r\nreply = GetA()\r\nIf IsArray(reply) Then reply = reply(0)\r\n"
                "Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
                "Set f = fso.CreateTextFile(\"" + dir + "\\" + s.name + ".txt\", True, True)\r\n"
                "f.Write reply\r\nf.Close\r\n";
        std::ofstream out(dir + "\\" + s.name + ".vbs", std::ios::binary);
        out << body;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "wait") return wait_command();
    if (cmd == "lineheight") return line_height_command();
    if (cmd == "read" && argc > 2) return read_command(argv[2], argc > 3 && std::string(argv[3]) == "report");
    if (cmd == "scripts" && argc > 2) return scripts_command(argv[2]);
    std::fprintf(stderr, "usage: driver wait | read FILE [report] | scripts DIR\n");
    return 2;
}
