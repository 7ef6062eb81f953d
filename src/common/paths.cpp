#include "common/paths.h"

#include <filesystem>
#include <system_error>

namespace lumigal {

namespace {

bool isSeparator(char c) {
    return c == kPathSeparator;
}

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == kPathSeparator;
}

}  // namespace

void collapseSeparators(std::string& path) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < path.size(); ++in) {
        const char c = path[in];
        if (c == kPathSeparator && out > 0 && path[out - 1] == kPathSeparator) continue;
        path[out++] = c;
    }
    path.resize(out);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path.push_back(kPathSeparator);
    path.append(name);
    return path;
}

PathParts splitPath(std::string_view path) {
    std::size_t nameStart = 0;
    for (std::size_t i = path.size(); i > 0; --i) {
        if (isSeparator(path[i - 1])) {
            nameStart = i;
            break;
        }
    }
    PathParts parts;
    parts.folder = std::string(path.substr(0, nameStart));
    const std::string_view name = path.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        parts.baseName = std::string(name);
    } else {
        parts.baseName = std::string(name.substr(0, dot));
        parts.extension = std::string(name.substr(dot));
    }
    return parts;
}

std::string_view fileExtension(std::string_view name) {
    std::size_t nameStart = 0;
    for (std::size_t i = name.size(); i > 0; --i) {
        if (isSeparator(name[i - 1])) {
            nameStart = i;
            break;
        }
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    return name.substr(dot);
}

std::string absolutePath(std::string_view path) {
    if (isAbsolute(path)) return std::string(path);
    std::error_code error;
    const std::string cwd = std::filesystem::current_path(error).string();
    // Without a current folder (it was removed) there is nothing better to offer.
    if (error || cwd.empty()) return std::string(path);
    if (path.empty()) return cwd;
    if (isSeparator(cwd.back())) return cwd + std::string(path);
    return joinPath(cwd, path);
}

std::string caseIgnoredKey(std::string_view name) {
    std::string key(name);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        if (c >= 'a' && c <= 'z') {
            key[i] = static_cast<char>(c - 'a' + 'A');
        } else if (c == 0xC3 && i + 1 < key.size()) {
            const auto next = static_cast<unsigned char>(key[i + 1]);
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7) {
                key[i + 1] = static_cast<char>(next - 0x20);
            }
            ++i;
        }
    }
    return key;
}

}  // namespace lumigal
