// The REGEDIT4 text form of one registry key, as stored by platform::Registry:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Lumigal]
//   "bip"=dword:00000000
//   "pathSave"="/home/ana/Albums"
//   "data"=hex:01,02,ff
//   "odd"=hex(1):41,0a,42
//
// Strings are quoted with \\ and \" escapes; a string whose bytes are not
// printable UTF-8 text (control characters, invalid sequences) or that holds a
// NUL is written as hex(1) so that every byte round-trips. Other types are
// written as hex(N). Parsing is strict: anything unexpected is an error with
// its line number, so a damaged file is never mistaken for an empty key.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace lumigal::platform {

struct RegFileKey {
    std::string path;                                      // "HKEY_CURRENT_USER\Software\Lumigal"
    std::vector<std::pair<std::string, RegValue>> values;  // in file order
};

struct RegFileParse {
    bool ok = false;
    int errorLine = 0;  // 1-based line of the first error
    std::string error;  // what is wrong there
    RegFileKey key;
};

RegFileParse parseRegFile(std::string_view text);
// The key's values must have names for which isQuotableText holds (the
// registry refuses other names); the result parses back to the same key.
std::string formatRegFile(const RegFileKey& key);

// True when `text` is valid UTF-8 without NUL or control characters, so it
// can stand between double quotes in the file.
bool isQuotableText(std::string_view text);

// Value names compare like Windows compares them: ASCII letters without case.
bool sameValueName(std::string_view a, std::string_view b);

}  // namespace lumigal::platform
