// The selected-file list: the chosen images' full paths in the order they
// were gathered, and the same paths in sorted order (`sortList`).
// The sorted view orders paths ascending in the user's collation (LC_COLLATE)
// with case ignored; under the C locale that is byte order after folding
// ASCII letters to lower case. Equal keys keep their insertion order.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace lumigal {

class SelectedFileList {
public:
    // Appends one path to `selectedFiles` and inserts it into `sortList`
    // (O(log N)).
    void add(std::string path);
    // Empties both views.
    void clear();

    int selectedFileCount() const { return static_cast<int>(files_.size()); }
    const std::vector<std::string>& selectedFiles() const { return files_; }

    // The paths of `sortList`, in sorted order.
    std::vector<const std::string*> sortList() const;

    // The first `count` paths in page order: selection order, or sorted
    // order when `sorted` is true. `count` is clamped to the list's size.
    std::vector<const std::string*> inPageOrder(bool sorted, int count) const;

private:
    struct SortEntry {
        std::string key;  // collation key of the case-folded path
        std::size_t index;  // into files_
    };
    struct ByKey {
        bool operator()(const SortEntry& a, const SortEntry& b) const { return a.key < b.key; }
    };
    std::vector<std::string> files_;
    std::multiset<SortEntry, ByKey> sorted_;
};

// The collation key used by `sortList`: case folded, then transformed for
// the current LC_COLLATE. Exposed for tests.
std::string sortKey(const std::string& path);

}  // namespace lumigal
