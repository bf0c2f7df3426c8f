#include <windows.h>

#include "values/encoding.h"

std::string gbk_to_utf8(const Text& gbk) {
    const std::wstring w = gbk_to_wide(gbk);
    if (w.empty()) return std::string();
    const int n = static_cast<int>(w.size());
    int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::wstring gbk_to_wide(const Text& gbk) {
    if (gbk.empty()) return std::wstring();
    int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
    return w;
}

Text wide_to_gbk(const wchar_t* w, std::size_t n) {
    if (!w || n == 0) return Text();
    int m = WideCharToMultiByte(936, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    Text out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(936, 0, w, static_cast<int>(n), out.data(), m, nullptr, nullptr);
    return out;
}

Text utf8_to_gbk(const std::string& utf8) {
    if (utf8.empty()) return Text();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return wide_to_gbk(w.data(), w.size());
}
