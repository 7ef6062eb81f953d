#include "album/thumbnail_names.h"

#include <sys/stat.h>

#include <cerrno>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/paths.h"

namespace lumigal {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// What decides whether a name may take a thumbnail.
class NameRules {
public:
    NameRules(const std::vector<const std::string*>& sources, const ThumbnailRecords& records,
              const std::string& pagePath)
        : records_(records) {
        const auto forbid = [&](const std::string& path) {
            forbiddenNames_.insert(absolutePath(path));
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0) forbiddenFiles_.insert({st.st_dev, st.st_ino});
        };
        for (const std::string* source : sources) forbid(*source);
        forbid(pagePath);
    }

    // A thumbnail may be written at `name` when it is neither a source nor
    // the page (by name or as the same file) and nothing is there, or what
    // is there is a thumbnail of ours, unchanged since it was made.
    bool usable(const std::string& name) const {
        if (forbiddenNames_.count(absolutePath(name)) != 0) return false;
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT;
        if (!S_ISREG(st.st_mode) || forbiddenFiles_.count({st.st_dev, st.st_ino}) != 0) return false;
        const ThumbnailRecord* record = records_.find(name);
        if (!record) return false;
        const std::optional<FileStamp> now = stampOfFile(name);
        return now && *now == record->thumbnailStamp;
    }

private:
    const ThumbnailRecords& records_;
    std::unordered_set<std::string> forbiddenNames_;
    std::set<FileId> forbiddenFiles_;
};

// The n-th variant of a name: "x-2.bmp" for "x.bmp" and 2, the format
// prefix of the maker's name kept.
ThumbnailNames numbered(const ThumbnailNames& names, unsigned n) {
    const PathParts parts = splitPath(names.page);
    ThumbnailNames variant;
    variant.page = parts.folder + parts.baseName + "-" + std::to_string(n) + parts.extension;
    const std::string prefix = names.maker.substr(0, names.maker.size() - names.page.size());
    variant.maker = prefix + variant.page;
    return variant;
}

}  // namespace

std::vector<ThumbnailNames> uniqueThumbnailNames(const std::vector<const std::string*>& sources,
                                                 const std::string& folder, bool keepSameFormat,
                                                 int newFormat, const ThumbnailRecords& records,
                                                 const std::string& pagePath) {
    const NameRules rules(sources, records, pagePath);
    std::vector<ThumbnailNames> names;
    names.reserve(sources.size());
    // Every usual name is kept for its first image; the others' variants
    // avoid all of them, so that an image keeps its usual name whatever the
    // images around it.
    std::unordered_set<std::string> usual;
    for (const std::string* source : sources) {
        names.push_back(thumbnailFileName(*source, folder, keepSameFormat, newFormat));
        usual.insert(names.back().page);
    }
    std::unordered_set<std::string> taken;
    std::vector<std::size_t> renamed;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (taken.count(names[i].page) == 0 && rules.usable(names[i].page)) {
            taken.insert(names[i].page);
        } else {
            renamed.push_back(i);
        }
    }
    // Past this many tries (a folder that cannot be looked into, names too
    // long for it) the image gets no name at all rather than one that might
    // not be free.
    const unsigned lastTry = static_cast<unsigned>(sources.size()) + 1000;
    std::unordered_map<std::string, unsigned> nextTry;  // per usual name
    for (const std::size_t i : renamed) {
        ThumbnailNames found;
        unsigned& n = nextTry.try_emplace(names[i].page, 2).first->second;
        for (; n <= lastTry && found.page.empty(); ++n) {
            ThumbnailNames variant = numbered(names[i], n);
            if (usual.count(variant.page) == 0 && taken.count(variant.page) == 0 &&
                rules.usable(variant.page)) {
                found = std::move(variant);
            }
        }
        if (!found.page.empty()) taken.insert(found.page);
        names[i] = std::move(found);
    }
    return names;
}

}  // namespace lumigal
