// Desktop entry files (.desktop, .directory) written by the freedesktop desktop-entry
// rules: escaped values, quoted Exec arguments, and an
// atomic write.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumigal::install {

// True when `text` can stand in a desktop entry value: valid UTF-8 without
// control characters other than newline, tab and carriage return.
bool isDesktopSafeText(std::string_view text);

// A value of type string, localestring or iconstring: backslash, newline,
// tab and carriage return escaped, a leading space written as "\s".
std::string escapeDesktopValue(std::string_view value);

// One argument of an Exec line, before the value escaping: in double quotes,
// with '"', '`', '$' and '\' escaped by a backslash and '%' doubled.
std::string quoteExecArgument(std::string_view argument);

// The keys of the "[Desktop Entry]" group, in order; values are raw texts
// that desktopEntryText escapes (Exec values must be built with
// quoteExecArgument first).
using DesktopKeys = std::vector<std::pair<std::string, std::string>>;
std::string desktopEntryText(const DesktopKeys& keys);

// Writes `text` to `path` through a temporary file in the same folder that is
// synced and renamed over `path`. False (and `path` unchanged) on failure.
bool writeFileAtomically(const std::string& path, std::string_view text, mode_t mode);

}  // namespace lumigal::install
