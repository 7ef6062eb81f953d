#include "album/thumbnail_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/paths.h"

namespace lumigal {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// The names in `folder`, each under its case-ignored key (a folder that cannot
// be listed gives none: the names are then only checked one by one).
std::unordered_multimap<std::string, std::string> namesByFold(const std::string& folder) {
    std::unordered_multimap<std::string, std::string> names;
    struct Closer {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, Closer> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        names.emplace(caseIgnoredKey(name), std::string(name));
    }
    return names;
}

// What decides whether a name may take a thumbnail.
class NameRules {
public:
    NameRules(const std::vector<const std::string*>& sources, const ThumbnailRecords& records,
              const std::string& pagePath, const std::string& folder)
        : records_(records), folder_(folder), present_(namesByFold(folder)) {
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
    // The same holds for every name of the folder that differs from it
    // only by case: on a disk that ignores case (where albums are often
    // copied) the two would be one file.
    bool usable(const std::string& name) const {
        const std::string file = splitPath(name).baseName + std::string(fileExtension(name));
        const auto [first, last] = present_.equal_range(caseIgnoredKey(file));
        for (auto it = first; it != last; ++it) {
            if (it->second != file && !usableAlone(joinPath(folder_, it->second))) return false;
        }
        return usableAlone(name);
    }

private:
    bool usableAlone(const std::string& name) const {
        if (forbiddenNames_.count(absolutePath(name)) != 0) return false;
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT;
        if (!S_ISREG(st.st_mode) || forbiddenFiles_.count({st.st_dev, st.st_ino}) != 0) return false;
        const ThumbnailRecord* record = records_.find(name);
        if (!record) return false;
        // A claimed name holds what a run that was stopped wrote there.
        if (record->claimed()) return true;
        const std::optional<FileStamp> now = stampOfFile(name);
        return now && *now == record->thumbnailStamp;
    }


    const ThumbnailRecords& records_;
    std::string folder_;
    std::unordered_multimap<std::string, std::string> present_;
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

ThumbnailNames doubledThumbnailName(const ThumbnailNames& names) {
    if (names.page.empty()) return {};
    const PathParts parts = splitPath(names.page);
    ThumbnailNames twice;
    twice.page = parts.folder + parts.baseName + "@2x" + parts.extension;
    const std::string prefix = names.maker.substr(0, names.maker.size() - names.page.size());
    twice.maker = prefix + twice.page;
    return twice;
}

std::vector<ThumbnailNames> uniqueThumbnailNames(const std::vector<const std::string*>& sources,
                                                 const std::string& folder, bool keepSameFormat,
                                                 int newFormat, const ThumbnailRecords& records,
                                                 const std::string& pagePath,
                                                 std::vector<ThumbnailNames>* doubled) {
    const NameRules rules(sources, records, pagePath, folder);
    std::vector<ThumbnailNames> names;
    names.reserve(sources.size());
    // Every usual name is kept for its first image; the others' variants
    // avoid all of them, so that an image keeps its usual name whatever the
    // images around it. Names are told apart with case ignored.
    std::unordered_set<std::string> usual;
    for (const std::string* source : sources) {
        names.push_back(thumbnailFileName(*source, folder, keepSameFormat, newFormat));
        usual.insert(caseIgnoredKey(names.back().page));
    }
    std::unordered_set<std::string> taken;  // case-ignored keys
    // Whether `name` (and its 2x, when there is one) may be taken; a usual
    // name only by its own image, in the first pass.
    const auto free = [&](const ThumbnailNames& name, bool usualAllowed) {
        const std::string key = caseIgnoredKey(name.page);
        if (taken.count(key) != 0 || (!usualAllowed && usual.count(key) != 0)) return false;
        if (doubled) {
            const ThumbnailNames twice = doubledThumbnailName(name);
            const std::string key2x = caseIgnoredKey(twice.page);
            if (taken.count(key2x) != 0 || usual.count(key2x) != 0 || !rules.usable(twice.page)) {
                return false;
            }
        }
        return rules.usable(name.page);
    };
    const auto take = [&](const ThumbnailNames& name) {
        taken.insert(caseIgnoredKey(name.page));
        if (doubled) taken.insert(caseIgnoredKey(doubledThumbnailName(name).page));
    };
    std::vector<std::size_t> renamed;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (free(names[i], true)) {
            take(names[i]);
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
        unsigned& n = nextTry.try_emplace(caseIgnoredKey(names[i].page), 2).first->second;
        for (; n <= lastTry && found.page.empty(); ++n) {
            ThumbnailNames variant = numbered(names[i], n);
            if (free(variant, false)) found = std::move(variant);
        }
        if (!found.page.empty()) take(found);
        names[i] = std::move(found);
    }
    if (doubled) {
        doubled->clear();
        doubled->reserve(names.size());
        for (const ThumbnailNames& name : names) doubled->push_back(doubledThumbnailName(name));
    }
    return names;
}

bool claimNewNames(ThumbnailRecords& records, const std::vector<ThumbnailNames>& names,
                   const std::string& page, const std::string& recordFile) {
    bool claimed = false;
    for (const ThumbnailNames& name : names) {
        if (name.page.empty() || records.find(name.page)) continue;
        records.claim(name.page, name.maker, page);
        claimed = true;
    }
    std::string ignored;  // without the record, the files are only not known as ours
    if (claimed) records.save(recordFile, ignored);
    return claimed;
}

}  // namespace lumigal
