#pragma once

#include <cstdint>
#include <string>

#include "values/text.h"

// GBK (code page 936) to UTF-8; undecodable bytes become U+FFFD.
std::string gbk_to_utf8(const Text& gbk);

#ifdef _WIN32
// Text crosses to and from UTF-16 through code page 936 itself, so that the
// report reads the same on a Windows whose ANSI code page is not GBK.
std::wstring gbk_to_wide(const Text& gbk);
Text wide_to_gbk(const wchar_t* w, std::size_t n);
#endif

// UTF-8 to GBK; characters GBK lacks become "?".
Text utf8_to_gbk(const std::string& utf8);

// One UTF-8 character at `i`: its length, with its code point in `cp`, or
// 0 where the bytes there are not well-formed UTF-8 (overlong, a
// surrogate, beyond U+10FFFF, cut short).
std::size_t utf8_char(const std::string& s, std::size_t i, std::uint32_t& cp);
bool is_utf8(const std::string& s);

// A value read from the machine or a tree must stay on its line: C0 and C1
// controls, DEL and the Unicode line and paragraph separators inside it
// become SUB (0x1A), which GBK holds, the console shows as U+FFFD and the
// JSON writes as U+FFFD.
constexpr char kSubstitute = '\x1A';
std::string utf8_value(std::string utf8);
Text gbk_value(Text gbk);
// A UTF-8 value from the machine, cleaned so, in the report's GBK.
Text gbk_of_utf8_value(const std::string& utf8);
// UTF-8 to be shown: each substitute as U+FFFD.
std::string substitutes_shown(const std::string& utf8);
