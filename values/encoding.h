#pragma once

#include <string>

#include "values/text.h"

// GBK (code page 936) to UTF-8; undecodable bytes become U+FFFD.
std::string gbk_to_utf8(const Text& gbk);
