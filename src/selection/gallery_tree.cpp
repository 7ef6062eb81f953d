#include "selection/gallery_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

#include "album/gallery_names.h"
#include "common/paths.h"
#include "common/selected_files.h"

namespace lumigal {

namespace {

struct FolderId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

std::optional<FolderId> idOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FolderId{info.st_dev, info.st_ino};
}

std::optional<std::string> resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

bool inside(const std::string& path, const std::string& folder) {
    if (folder == "/") return true;
    return path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/';
}

std::string lastName(const std::string& folder) {
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

class TreeScan {
public:
    TreeScan(const GalleryScanOptions& options, ScanObserver* observer)
        : options_(options), observer_(observer), output_(idOf(options.outputFolder)) {}

    // The album of `folder`; nullopt when it holds no photo, in itself or below.
    std::optional<SourceAlbum> album(const std::string& folder, const std::string& root) {
        const std::optional<FolderId> id = idOf(folder);
        if (!id || std::find(ancestors_.begin(), ancestors_.end(), *id) != ancestors_.end()) {
            return std::nullopt;
        }
        if (output_ && *id == *output_ && !ancestors_.empty()) return std::nullopt;
        SourceAlbum album;
        album.sourceName = lastName(folder);
        album.title = album.sourceName;
        if (const std::optional<AlbumText> text = readAlbumText(folder)) {
            if (!text->title.empty()) album.title = text->title;
            album.description = text->description;
            album.cover = text->cover;
        }
        SelectedFileList list;
        ScanFolder(observer_, folder, options_.formats, list);
        for (const std::string& path : list.selectedFiles()) {
            if (leadsOut(path, root)) continue;
            album.images.push_back(path);
        }
        ancestors_.push_back(*id);
        for (const std::string& name : subFolders(folder)) {
            if (observer_ && observer_->cancelled()) break;
            if (std::optional<SourceAlbum> sub = this->album(joinPath(folder, name), root)) {
                album.albums.push_back(std::move(*sub));
            }
        }
        ancestors_.pop_back();
        if (album.images.empty() && album.albums.empty()) return std::nullopt;
        return album;
    }

private:
    // A link to a file outside the chosen folder, not to be followed.
    bool leadsOut(const std::string& path, const std::string& root) const {
        if (options_.followLinks) return false;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) return true;
        if (!S_ISLNK(info.st_mode)) return false;
        const std::optional<std::string> real = resolved(path);
        const std::optional<std::string> top = resolved(root);
        return !real || !top || !inside(*real, *top);
    }

    // The real folders of `folder` (never a link to one), dot names left
    // out, in name order; one that cannot be listed is said.
    std::vector<std::string> subFolders(const std::string& folder) {
        std::vector<std::string> names;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return names;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return names;
        }
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            struct stat info {};
            if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(info.st_mode)) names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const std::string x = caseIgnoredKey(a), y = caseIgnoredKey(b);
            return x != y ? x < y : a < b;
        });
        for (auto it = names.begin(); it != names.end();) {
            const std::string path = joinPath(folder, *it);
            if (::access(path.c_str(), R_OK | X_OK) != 0) {
                if (observer_) observer_->folderSkipped(path);
                it = names.erase(it);
            } else {
                ++it;
            }
        }
        return names;
    }

    const GalleryScanOptions& options_;
    ScanObserver* observer_;
    std::optional<FolderId> output_;
    std::vector<FolderId> ancestors_;
};

// Gives each album its folder in the output, below `parent`'s.
void placeFolders(SourceAlbum& album) {
    std::vector<std::string> names;
    names.reserve(album.albums.size());
    for (const SourceAlbum& sub : album.albums) names.push_back(sub.sourceName);
    const std::vector<std::string> folders = albumFolderNames(names);
    for (std::size_t i = 0; i < album.albums.size(); ++i) {
        SourceAlbum& sub = album.albums[i];
        sub.folder = album.folder.empty() ? folders[i] : album.folder + "/" + folders[i];
        placeFolders(sub);
    }
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

SourceAlbum scanGalleryTree(const std::vector<std::string>& inputs, const GalleryScanOptions& options,
                            ScanObserver* observer) {
    TreeScan scan(options, observer);
    SourceAlbum root;
    std::vector<std::string> folders;
    for (const std::string& input : inputs) {
        if (isFolder(input)) {
            folders.push_back(input);
        } else {
            root.images.push_back(input);
        }
    }
    if (folders.size() == 1 && root.images.empty()) {
        if (std::optional<SourceAlbum> album = scan.album(folders[0], folders[0])) root = std::move(*album);
        if (!readAlbumText(folders[0]) || readAlbumText(folders[0])->title.empty()) root.title = options.title;
    } else {
        root.title = options.title;
        for (const std::string& folder : folders) {
            if (std::optional<SourceAlbum> album = scan.album(folder, folder)) {
                root.albums.push_back(std::move(*album));
            }
        }
    }
    root.folder.clear();
    placeFolders(root);
    return root;
}

}  // namespace lumigal
