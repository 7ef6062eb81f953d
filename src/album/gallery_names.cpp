#include "album/gallery_names.h"

#include <unordered_set>

#include "album/album_zip.h"
#include "album/portable_copies.h"
#include "common/paths.h"

namespace lumigal {

namespace {

std::string slug(const std::string& name) {
    std::string id;
    bool dash = false;
    for (const char raw : name) {
        char c = raw;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (kept) {
            if (dash && !id.empty()) id += '-';
            id += c;
            dash = false;
        } else {
            dash = true;
        }
    }
    if (id.size() > 80) id.resize(80);
    while (!id.empty() && id.back() == '-') id.pop_back();
    return id.empty() ? "photo" : id;
}

// `base`, or `base` with the first suffix that is not taken yet.
std::string unique(const std::string& base, std::unordered_set<std::string>& taken,
                   const auto& suffix, const auto& keyOf) {
    std::string name = base;
    for (int n = 2; !taken.insert(keyOf(name)).second; ++n) name = base + suffix(n);
    return name;
}

}  // namespace

std::vector<std::string> photoIds(const std::vector<std::string>& names) {
    std::vector<std::string> ids;
    ids.reserve(names.size());
    std::unordered_set<std::string> taken;
    for (const std::string& name : names) {
        ids.push_back(unique(slug(name), taken, [](int n) { return "-" + std::to_string(n); },
                             [](const std::string& id) { return id; }));
    }
    return ids;
}

std::vector<std::string> albumFolderNames(const std::vector<std::string>& names) {
    std::unordered_set<std::string> taken = {caseIgnoredKey(kImagesFolderName),
                                             caseIgnoredKey(kPortableThumbnailFolderName),
                                             caseIgnoredKey(kAlbumZipName)};
    std::vector<std::string> folders;
    folders.reserve(names.size());
    for (const std::string& name : names) {
        std::string safe;
        for (const char c : name) {
            const auto u = static_cast<unsigned char>(c);
            safe += (u < 0x20 || u == 0x7f || c == '/' || c == '\\') ? '_' : c;
        }
        while (!safe.empty() && (safe.front() == '.' || safe.front() == ' ')) safe.erase(0, 1);
        while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
        if (safe.empty()) safe = "album";
        folders.push_back(unique(safe, taken, [](int n) { return " (" + std::to_string(n) + ")"; },
                                 [](const std::string& f) { return caseIgnoredKey(f); }));
    }
    return folders;
}

}  // namespace lumigal
