#include "common/selected_files.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string_view>

namespace lumigal {

namespace {

// Lower-cases `text` character by character in the current LC_CTYPE. Bytes
// that do not decode (a name that is not valid in the locale's encoding) are
// kept as they are, so no name is ever lost or merged with a different one
// because of its encoding.
std::string foldCase(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    std::mbstate_t in{};
    std::size_t i = 0;
    while (i < text.size()) {
        wchar_t wide = 0;
        const std::size_t used = std::mbrtowc(&wide, text.data() + i, text.size() - i, &in);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            folded.push_back(text[i]);
            ++i;
            in = std::mbstate_t{};
            continue;
        }
        if (used == 0) {  // an embedded NUL
            folded.push_back('\0');
            ++i;
            continue;
        }
        char out[MB_LEN_MAX];
        std::mbstate_t outState{};
        const std::size_t written = std::wcrtomb(
            out, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wide))), &outState);
        if (written == static_cast<std::size_t>(-1)) {
            folded.append(text.data() + i, used);
        } else {
            folded.append(out, written);
        }
        i += used;
    }
    return folded;
}

std::string collationKey(const std::string& text) {
    std::string key(text.size() * 2 + 16, '\0');
    std::size_t length = std::strxfrm(key.data(), text.c_str(), key.size());
    if (length >= key.size()) {
        key.assign(length + 1, '\0');
        length = std::strxfrm(key.data(), text.c_str(), key.size());
    }
    key.resize(length);
    return key;
}

}  // namespace

// The key is the collation key of the folded path, then a NUL, then the folded
// path itself. strxfrm output holds no NUL, so the NUL keeps the collation
// order first, and paths that collate alike (some locales ignore punctuation
// or bytes they cannot decode) still get a fixed order from their bytes; only
// paths that fold to the very same text compare equal.
std::string sortKey(const std::string& path) {
    const std::string folded = foldCase(path);
    std::string key = collationKey(folded);
    key.push_back('\0');
    key += folded;
    return key;
}

void SelectedFileList::add(std::string path) {
    // The key first: if anything throws, neither view has changed.
    SortEntry entry{sortKey(path), files_.size()};
    files_.push_back(std::move(path));
    try {
        // A multiset inserts an equal key after the ones already there.
        sorted_.insert(std::move(entry));
    } catch (...) {
        files_.pop_back();
        throw;
    }
}

void SelectedFileList::clear() {
    sorted_.clear();
    files_.clear();
}

std::vector<const std::string*> SelectedFileList::sortList() const {
    std::vector<const std::string*> paths;
    paths.reserve(sorted_.size());
    for (const SortEntry& entry : sorted_) paths.push_back(&files_[entry.index]);
    return paths;
}

std::vector<const std::string*> SelectedFileList::inPageOrder(bool sorted, int count) const {
    const std::size_t wanted =
        std::min(static_cast<std::size_t>(std::max(count, 0)), files_.size());
    std::vector<const std::string*> paths;
    paths.reserve(wanted);
    if (sorted) {
        for (auto it = sorted_.begin(); paths.size() < wanted; ++it) {
            paths.push_back(&files_[it->index]);
        }
    } else {
        for (std::size_t i = 0; i < wanted; ++i) paths.push_back(&files_[i]);
    }
    return paths;
}

}  // namespace lumigal
