// Path helpers shared by the album, the scan and the installer.
// Paths are byte strings in the platform's file-name encoding (UTF-8 on Linux,
// but any bytes are kept as they are). The separator is the native one.
#pragma once

#include <string>
#include <string_view>

namespace lumigal {

inline constexpr char kPathSeparator = '/';
// PATH_MAX (4096) less the terminating NUL.
inline constexpr std::size_t kMaxPath = 4095;

// Rewrites `path` so that every run of two or more separators becomes one.
void collapseSeparators(std::string& path);

// "%s<sep>%s": folder, one separator, name.
std::string joinPath(std::string_view folder, std::string_view name);

// A path split the way the platform's path splitter does it.
struct PathParts {
    std::string folder;     // drive and folder with the trailing separator ("" when none)
    std::string baseName;   // last component without its extension
    std::string extension;  // from the last dot of the last component, dot included ("" when none)
};
PathParts splitPath(std::string_view path);

// The extension of a file name: from its last dot on, dot included; "" when none.
std::string_view fileExtension(std::string_view name);

// Makes `path` absolute against the current folder, without resolving links
// or "..". An absolute path is returned unchanged.
std::string absolutePath(std::string_view path);

// A file name as a file system that ignores case compares it: ASCII letters
// and the letters of the Latin-1 block (U+00E0 to U+00FE but U+00F7, two
// bytes in UTF-8) upper-cased, every other byte kept. Compared byte by
// byte, UTF-8 gives code point order, so sorted keys list names as such a
// file system does; other letters (Greek, Cyrillic, ...) keep their case,
// and bytes that are not UTF-8 sort by their value.
std::string caseIgnoredKey(std::string_view name);

}  // namespace lumigal
