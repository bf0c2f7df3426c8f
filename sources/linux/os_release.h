// /etc/os-release (or /usr/lib/os-release): shell-style KEY=value lines.
#pragma once

#include <optional>
#include <string>

// The value of `key`, unquoted; nothing when the file has no such line.
std::optional<std::string> os_release_value(const std::string& text, const std::string& key);
