#include "selection/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "album/thumbnail_record.h"
#include "common/paths.h"

namespace lumigal {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// What an entry is to the scan.
enum class EntryKind {
    File,    // a regular file, or a symbolic link to one: collected when wanted
    Folder,  // a real folder (never a link to one): descended into by the tree scan
    Other,   // links to folders, dangling links, pipes, devices, sockets: skipped
};

struct Entry {
    std::string name;
    EntryKind kind;
};

struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
};

struct Listing {
    FolderId id;
    std::vector<Entry> entries;  // in listing order (see below), dot names left out
    bool recorded = false;       // the folder holds a record of files Lumigal made
};

// Lumigal's own files (thumbnails, an album's copies) are never taken as
// images: an album made inside its photo folder would take itself in again.
void leaveOutOurFiles(const std::string& folder, Listing& listing) {
    if (!listing.recorded) return;
    const std::vector<std::string> ours = ThumbnailRecords::namesIn(folder);
    std::erase_if(listing.entries, [&](const Entry& entry) {
        return entry.kind == EntryKind::File &&
               std::find(ours.begin(), ours.end(), entry.name) != ours.end();
    });
}

// Orders a folder's entries by name, case ignored; names that differ only
// by case come in the order of their bytes, so the order is total and the
// same at every run whatever order the system delivered them in.
void sortByName(std::vector<Entry>& entries) {
    std::vector<std::pair<std::string, Entry>> keyed;
    keyed.reserve(entries.size());
    for (Entry& entry : entries) {
        std::string key = caseIgnoredKey(entry.name);
        keyed.emplace_back(std::move(key), std::move(entry));
    }
    // std::string compares its bytes as unsigned values.
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return a.second.name < b.second.name;
    });
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = std::move(keyed[i].second);
}

EntryKind kindOfStat(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return EntryKind::File;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    return EntryKind::Other;
}

// Only a regular file at the end of a link is collected; a link to a folder
// is neither collected nor followed, and a dangling link names no file.
EntryKind kindOfLink(int folderFd, const char* name) {
    struct stat target;
    if (::fstatat(folderFd, name, &target, 0) != 0) return EntryKind::Other;
    return S_ISREG(target.st_mode) ? EntryKind::File : EntryKind::Other;
}

EntryKind kindOf(int folderFd, const dirent& entry) {
    switch (entry.d_type) {
        case DT_REG:
            return EntryKind::File;
        case DT_DIR:
            return EntryKind::Folder;
        case DT_LNK:
            return kindOfLink(folderFd, entry.d_name);
        case DT_UNKNOWN: {
            struct stat info;
            if (::fstatat(folderFd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                return EntryKind::Other;
            }
            if (S_ISLNK(info.st_mode)) return kindOfLink(folderFd, entry.d_name);
            return kindOfStat(info);
        }
        default:
            return EntryKind::Other;
    }
}

// Lists the folder at `path`, its entries sorted by name (sortByName).
// The whole listing is read before the caller works on it, so a deep tree
// holds one open folder at a time. `followLink` allows `path` itself to be a
// symbolic link (the folder the user chose); sub-folders are opened with
// O_NOFOLLOW so that a folder swapped for a link meanwhile is not entered.
std::optional<Listing> listFolder(const std::string& path, bool followLink) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!followLink) flags |= O_NOFOLLOW;
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return std::nullopt;
    DirHandle dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    Listing listing;
    struct stat info;
    if (::fstat(fd, &info) != 0) return std::nullopt;
    listing.id = {info.st_dev, info.st_ino};
    // A read error ends the listing like its end does; what was read is kept.
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.') {
            listing.recorded = listing.recorded || std::string_view(entry->d_name) ==
                                                       ThumbnailRecords::fileIn("");
            continue;
        }
        listing.entries.push_back({entry->d_name, kindOf(fd, *entry)});
    }
    sortByName(listing.entries);
    return listing;
}

class Scan {
public:
    Scan(ScanObserver* observer, const ScanFormats& formats, SelectedFileList& list)
        : observer_(observer), formats_(formats), list_(list) {}

    bool scanFolder(const std::string& folder) {
        auto listing = listFolder(joinPath(folder, ""), true);
        if (!listing) return false;
        leaveOutOurFiles(folder, *listing);
        for (const Entry& entry : listing->entries) {
            if (stopped()) break;
            if (entry.kind != EntryKind::Folder) addIfWanted(folder, entry);
        }
        return true;
    }

    // `openPath` is the folder as it is opened (separators collapsed),
    // `folder` as it is written into the collected paths.
    bool scanTree(const std::string& folder, std::string openPath, bool top) {
        collapseSeparators(openPath);
        auto listing = listFolder(openPath, top);
        if (!listing) {
            // A sub-folder that cannot be listed is passed over, and said.
            if (!top && observer_) observer_->folderSkipped(folder);
            return false;
        }
        // A folder that is already being scanned higher up (a bind mount of
        // an ancestor) would make the scan endless.
        if (std::find(ancestors_.begin(), ancestors_.end(), listing->id) != ancestors_.end()) {
            return false;
        }
        leaveOutOurFiles(openPath, *listing);
        ancestors_.push_back(listing->id);
        for (const Entry& entry : listing->entries) {
            if (stopped()) break;
            if (entry.kind == EntryKind::Folder) {
                const std::string subFolder = joinPath(folder, entry.name);
                scanTree(subFolder, subFolder, false);
            } else {
                addIfWanted(folder, entry);
            }
        }
        ancestors_.pop_back();
        return true;
    }

private:
    bool stopped() const { return observer_ && observer_->cancelled(); }

    // A file of a wanted name is collected; anything else of such a name
    // (a FIFO, a device, a link to a folder) is passed over, and said.
    void addIfWanted(const std::string& folder, const Entry& entry) {
        const std::string_view extension = fileExtension(entry.name);
        std::string path = joinPath(folder, entry.name);
        if (!IsWantedImage(extension, formats_) && !IsWantedVideo(path, extension, formats_)) return;
        if (entry.kind != EntryKind::File) {
            if (observer_) observer_->fileSkipped(path, "pas un fichier ordinaire");
            return;
        }
        list_.add(std::move(path));
        if (observer_) {
            observer_->fileAdded(list_.selectedFiles().back(), list_.selectedFileCount());
        }
    }

    ScanObserver* observer_;
    const ScanFormats& formats_;
    SelectedFileList& list_;
    std::vector<FolderId> ancestors_;
};

}  // namespace

bool IsWantedImage(std::string_view extension, const ScanFormats& formats) {
    return (formats.bmp && startsWithIgnoringCase(extension, ".bmp")) ||
           (formats.dib && startsWithIgnoringCase(extension, ".dib")) ||
           (formats.gif && startsWithIgnoringCase(extension, ".gif")) ||
           (formats.png && startsWithIgnoringCase(extension, ".png")) ||
           (formats.xbm && startsWithIgnoringCase(extension, ".xbm")) ||
           (formats.jpeg && (startsWithIgnoringCase(extension, ".jpg") ||
                             startsWithIgnoringCase(extension, ".jpe") ||
                             startsWithIgnoringCase(extension, ".jpeg"))) ||
           (formats.webp && startsWithIgnoringCase(extension, ".webp")) ||
           (formats.heic && (startsWithIgnoringCase(extension, ".heic") ||
                             startsWithIgnoringCase(extension, ".heif"))) ||
           (formats.avif && startsWithIgnoringCase(extension, ".avif")) ||
           (formats.tiff && startsWithIgnoringCase(extension, ".tif"));
}

bool VideoTypes::takes(VideoFormat format) const {
    switch (format) {
        case VideoFormat::MP4:
            return mp4;
        case VideoFormat::MOV:
            return mov;
        case VideoFormat::M4V:
            return m4v;
        case VideoFormat::ThreeGP:
            return threeGp;
        case VideoFormat::WebM:
            return webm;
        case VideoFormat::MKV:
            return mkv;
        case VideoFormat::AVI:
            return avi;
    }
    return false;
}

bool IsWantedVideo(const std::string& path, std::string_view extension, const ScanFormats& formats) {
    const VideoTypes& videos = formats.videos;
    if (!videos.any()) return false;
    const std::optional<VideoFormat> named = videoFormatOfExtension(extension);
    if (!named) return false;
    // A phone's MP4 named .mov, a WebM named .mkv: the content decides.
    const std::optional<VideoFormat> content = sniffVideoFile(path);
    return content ? videos.takes(*content) : videos.takes(*named);
}

int ScanFolder(ScanObserver* observer, const std::string& folder, const ScanFormats& formats,
               SelectedFileList& list) {
    Scan scan(observer, formats, list);
    if (!scan.scanFolder(folder)) return 0;
    return list.selectedFileCount();
}

int ScanFolderTree(ScanObserver* observer, const std::string& folder, const ScanFormats& formats,
                   SelectedFileList& list) {
    Scan scan(observer, formats, list);
    if (!scan.scanTree(folder, joinPath(folder, ""), true)) return 0;
    return list.selectedFileCount();
}

}  // namespace lumigal
