#include "album/gallery_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <map>
#include <set>

#include "album/album_folder.h"
#include "album/album_zip.h"
#include "album/ordered_pool.h"
#include "album/page_file.h"
#include "album/photo_order.h"
#include "album/portable_copies.h"
#include "album/thumbnail_record.h"
#include "album_publisher.h"
#include "common/paths.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace lumigal {

namespace {

// A regular file's text when it is at most `limit` bytes; nullopt otherwise
// (missing, too large, anything but a regular file).
std::optional<std::string> smallFile(const std::string& path, std::size_t limit) {
    const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = platform::noInterrupt([&] { return ::read(fd.get(), text.data() + done, text.size() - done); });
        if (got <= 0) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return text;
}

// The record of the pages: one "page\t<the date it shows>\t<its path
// relative to the output folder>" a line.
struct PageRecord {
    std::map<std::string, std::string> pages;  // path -> date

    static PageRecord load(const std::string& file) {
        PageRecord record;
        const std::optional<std::string> text = smallFile(file, std::size_t{32} << 20);
        if (!text) return record;
        std::size_t start = 0;
        while (start < text->size()) {
            std::size_t end = text->find('\n', start);
            if (end == std::string::npos) end = text->size();
            const std::string line = text->substr(start, end - start);
            start = end + 1;
            const std::size_t tab = line.find('\t', 5);
            if (line.starts_with("page\t") && tab != std::string::npos) {
                const std::string page = line.substr(tab + 1);
                // Only a path inside the folder is ours.
                const std::filesystem::path p(page);
                if (!page.empty() && p.is_relative() &&
                    std::none_of(p.begin(), p.end(), [](const auto& c) { return c == ".." || c == "."; })) {
                    record.pages[page] = line.substr(5, tab - 5);
                }
            }
        }
        return record;
    }

    void save(const std::string& file) const {
        std::string text;
        for (const auto& [page, date] : pages) text += "page\t" + date + "\t" + page + "\n";
        platform::ReplaceError ignored;  // without it, old pages are only left in place
        platform::replaceFile(file, text, ignored, 0644, false);
    }
};

// Tells the observer of the whole gallery where one album's images are.
class AlbumProgress : public ProgressObserver {
public:
    AlbumProgress(ProgressObserver& all, std::size_t offset) : all_(all), offset_(offset) {}
    void setLabel(const std::string& path) override { all_.setLabel(path); }
    void setPosition(int index) override { all_.setPosition(static_cast<int>(offset_) + index); }
    void imageFailed(const std::string& path, const std::string& reason) override {
        all_.imageFailed(path, reason);
    }
    void locationsRemoved(int photos) override { located_ += photos; }
    void failed(const std::string& message) override { all_.failed(message); }
    bool cancelled() const override { return all_.cancelled(); }
    int located() const { return located_; }

private:
    ProgressObserver& all_;
    std::size_t offset_;
    int located_ = 0;
};

// Something that stops the gallery, with the sentence that says why.
struct GalleryFailure {
    std::string message;
};

std::string folderOf(const std::string& relativePage) {
    const std::size_t slash = relativePage.rfind('/');
    return slash == std::string::npos ? std::string() : relativePage.substr(0, slash);
}

class GalleryWriter {
public:
    GalleryWriter(const PageSettings& page, const Preferences& prefs, const GalleryOptions& options,
                  ProgressObserver& progress, int workers, const std::string& output)
        : page_(page), prefs_(prefs), options_(options), progress_(progress), workers_(workers),
          output_(output) {
        prefs_.pathThumbnail.clear();  // each album keeps its own thumbnails
        order_ = photoOrderOf(page, PhotoOrder::Date);
        reverse_ = page.reverseOrder != 0;
    }

    void setPrevious(const PageRecord& previous) { previous_ = &previous; }

    // Publishes `source` and its sub-albums into `album`, their pages
    // written; false when it holds no photo (nothing written for it).
    bool publish(const SourceAlbum& source, Album& album) {
        album.title = source.title;
        album.description = source.description;
        album.folder = source.folder;
        album.albums.resize(source.albums.size());
        std::vector<bool> kept(source.albums.size());
        path_.push_back(&album);
        for (std::size_t i = 0; i < source.albums.size(); ++i) {
            kept[i] = publish(source.albums[i], album.albums[i]);
        }
        path_.pop_back();
        std::size_t k = 0;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (!kept[i]) continue;
            if (k != i) album.albums[k] = std::move(album.albums[i]);
            ++k;
        }
        album.albums.resize(k);
        orderAlbums(album.albums, order_, reverse_);
        publishImages(source, album);
        summarize(source, album);
        if (album.photoCount == 0 && !album.folder.empty()) {
            album.images.clear();
            return false;
        }
        writePages(album);
        album.images.clear();
        album.images.shrink_to_fit();
        folders_.insert(album.folder);
        return true;
    }

    const std::map<std::string, std::string>& written() const { return written_; }
    const std::set<std::string>& folders() const { return folders_; }
    int located() const { return located_; }

private:
    std::string absolute(const std::string& relative) const {
        return relative.empty() ? output_ : joinPath(output_, relative);
    }

    // Makes the album's folder in the output: each level a real folder,
    // never a link planted there that would lead the pages elsewhere.
    bool makeFolder(const std::string& relative) {
        std::string path = output_;
        for (const auto& part : std::filesystem::path(relative)) {
            path = joinPath(path, part.string());
            ::mkdir(path.c_str(), 0755);
            struct stat info {};
            if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
        }
        return true;
    }

    void publishImages(const SourceAlbum& source, Album& album) {
        std::vector<const std::string*> paths;
        paths.reserve(source.images.size());
        for (const std::string& path : source.images) paths.push_back(&path);
        AlbumProgress progress(progress_, done_);
        done_ += paths.size();
        if (paths.empty()) return;
        if (!makeFolder(album.folder)) {
            for (const std::string* path : paths) {
                progress.imageFailed(*path, "impossible de créer le dossier de son album " + album.folder +
                                                " dans la galerie");
            }
            return;
        }
        stopWhenCancelled(progress_);
        PageSettings albumPage = page_;
        albumPage.pageFolder = absolute(album.folder);
        albumPage.pagePath = joinPath(albumPage.pageFolder, options_.indexName);
        PublishedImages published =
            publishAlbumImages(std::move(paths), albumPage, prefs_, workers_, progress, output_);
        located_ += progress.located();
        orderImages(published.images, order_, reverse_);
        album.images = std::move(published.images);
        // What the album linked and links no more goes.
        removeUnlinkedFiles(joinPath(albumPage.pageFolder, kImagesFolderName), options_.indexName,
                            published.copies);
        removeUnlinkedFiles(thumbnailFolder(albumPage, prefs_), options_.indexName, published.thumbnails);
        if (options_.zip) offerZip(album, published.copies, progress);
    }

    // The album's ZIP of its copies, made again only when they changed.
    void offerZip(Album& album, const std::vector<std::string>& copies, ProgressObserver& progress) {
        const std::string relative = album.folder.empty() ? kAlbumZipName : album.folder + "/" + kAlbumZipName;
        const std::string path = absolute(relative);
        removeUnfinishedZips(path);
        if (copies.empty()) return;
        if (!ours(relative)) {
            throw GalleryFailure{"Impossible de créer " + path +
                                 " : un fichier qui n'est pas de cette galerie porte déjà ce nom"};
        }
        std::vector<ZipEntry> entries;
        entries.reserve(copies.size());
        for (const std::string& copy : copies) entries.push_back({fileNameOf(copy), copy});
        progress.setLabel(path);
        std::string error;
        switch (writeAlbumZip(path, entries, [&] { return progress.cancelled(); }, error)) {
        case ZipResult::Cancelled:
            throw GenerationCancelled{};
        case ZipResult::Failed:
            throw GalleryFailure{"Impossible de créer " + path + " : " + error};
        case ZipResult::Written:
        case ZipResult::Unchanged:
            break;
        }
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return;
        written_[relative] = "";  // ours, removed with its album
        album.zip = relative;
        album.zipBytes = static_cast<std::uint64_t>(info.st_size);
    }

    // The album's count, dates and cover, from its photos and its sub-albums.
    static void summarize(const SourceAlbum& source, Album& album) {
        album.photoCount = album.images.size();
        album.videoCount = 0;
        for (const AlbumImage& image : album.images) album.videoCount += image.video ? 1 : 0;
        const auto widen = [&](const std::optional<CaptureTime>& first, const std::optional<CaptureTime>& last) {
            if (first && (!album.first || first->key < album.first->key)) album.first = first;
            if (last && (!album.last || last->key > album.last->key)) album.last = last;
        };
        for (const AlbumImage& image : album.images) widen(image.taken, image.taken);
        for (const Album& sub : album.albums) {
            album.photoCount += sub.photoCount;
            album.videoCount += sub.videoCount;
            widen(sub.first, sub.last);
        }
        album.cover = {};
        for (const AlbumImage& image : album.images) {
            if (!source.cover.empty() && image.name == source.cover) album.cover = image.thumbnail;
        }
        if (album.cover.path.empty() && !album.images.empty()) album.cover = album.images.front().thumbnail;
        if (album.cover.path.empty() && !album.albums.empty()) album.cover = album.albums.front().cover;
    }

    // An album without its photos and sub-albums: what a page of another
    // album shows of it.
    static Album outline(const Album& album) {
        Album shown;
        shown.title = album.title;
        shown.description = album.description;
        shown.folder = album.folder;
        shown.cover = album.cover;
        shown.photoCount = album.photoCount;
        shown.videoCount = album.videoCount;
        shown.first = album.first;
        shown.last = album.last;
        shown.zip = album.zip;
        shown.zipBytes = album.zipBytes;
        return shown;
    }

    // The pages of `album` alone, with `date`: rendered in the tree of its
    // ancestors (its breadcrumb) and its sub-albums' outlines, so that a
    // page costs the same in a gallery of ten albums or ten thousand.
    std::vector<GalleryPage> pagesOf(Album& album, const std::string& date) {
        GalleryOptions options = options_;
        options.date = date;
        Album here = outline(album);
        here.images = std::move(album.images);
        for (const Album& sub : album.albums) here.albums.push_back(outline(sub));
        for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
            Album parent = outline(**it);
            parent.albums.push_back(std::move(here));
            here = std::move(parent);
        }
        std::vector<GalleryPage> pages = galleryPages(here, page_, options);
        // The photos go back to the album (the innermost one of `here`).
        Album* inner = &here;
        while (inner->folder != album.folder && !inner->albums.empty()) inner = &inner->albums.back();
        album.images = std::move(inner->images);
        std::erase_if(pages, [&](const GalleryPage& p) { return folderOf(p.path) != album.folder; });
        return pages;
    }

    bool unchanged(const GalleryPage& page) const {
        const std::optional<std::string> text = smallFile(absolute(page.path), page.html.size());
        return text && *text == page.html;
    }

    void writePages(Album& album) {
        if (!makeFolder(album.folder)) {
            throw GalleryFailure{"Impossible de créer le dossier " + album.folder + " de la galerie"};
        }
        // Pages still as they were show the date of the run that wrote
        // them: they are kept as they are.
        std::string date = options_.date;
        if (previous_) {
            const std::string index =
                album.folder.empty() ? options_.indexName : album.folder + "/" + options_.indexName;
            const auto old = previous_->pages.find(index);
            if (old != previous_->pages.end()) date = old->second;
        }
        std::vector<GalleryPage> pages = pagesOf(album, date);
        const bool same = std::all_of(pages.begin(), pages.end(), [&](const GalleryPage& p) { return unchanged(p); });
        if (!same && date != options_.date) {
            date = options_.date;
            pages = pagesOf(album, date);
        }
        for (const GalleryPage& p : pages) {
            written_[p.path] = date;
            if (same || unchanged(p)) continue;
            const std::string path = absolute(p.path);
            if (!ours(p.path)) {
                throw GalleryFailure{"Impossible de créer " + path +
                                     " : un fichier qui n'est pas une page de cette galerie porte déjà ce nom"};
            }
            PageFile out;
            if (!out.create(path)) throw GalleryFailure{failure(path, out)};
            out.write(p.html);
            if (!out.commit()) throw GalleryFailure{failure(path, out)};
        }
    }

    // A page may replace only a page this gallery wrote, or the index
    // asked for; a file of the user's under another page's name stays.
    bool ours(const std::string& relative) const {
        if (relative == options_.indexName) return true;
        if (previous_ && previous_->pages.count(relative)) return true;
        struct stat info {};
        return ::lstat(absolute(relative).c_str(), &info) != 0 && errno == ENOENT;
    }

    static std::string failure(const std::string& path, const PageFile& out) {
        if (out.reason().empty()) return "Impossible de créer " + path + "...";
        return "Impossible de créer " + path + " : " + out.reason();
    }

    const PageSettings& page_;
    Preferences prefs_;
    const GalleryOptions& options_;
    ProgressObserver& progress_;
    int workers_;
    std::string output_;
    const PageRecord* previous_ = nullptr;
    PhotoOrder order_ = PhotoOrder::Date;
    bool reverse_ = false;
    std::size_t done_ = 0;
    int located_ = 0;
    std::vector<const Album*> path_;  // the ancestors of the album being published
    std::map<std::string, std::string> written_;
    std::set<std::string> folders_;
};

// Removes what the last run wrote and this one did not: its pages, and in
// the folders of albums that are gone, the copies and thumbnails their
// records say are ours; folders left empty go too.
void removeOrphans(const std::string& output, const PageRecord& previous,
                   const std::map<std::string, std::string>& written,
                   const std::set<std::string>& folders, const std::string& indexName) {
    std::set<std::string> gone;
    for (const auto& [page, date] : previous.pages) {
        if (written.count(page)) continue;
        const std::string path = joinPath(output, page);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.c_str());
        const std::string folder = folderOf(page);
        if (!folders.count(folder)) gone.insert(folder);
    }
    for (const std::string& folder : gone) {
        const std::string album = folder.empty() ? output : joinPath(output, folder);
        for (const char* name : {kImagesFolderName, kPortableThumbnailFolderName}) {
            const std::string files = joinPath(album, name);
            removeUnlinkedFiles(files, indexName, {});
            ThumbnailRecords records;
            records.load(ThumbnailRecords::fileIn(files));
            if (records.size() == 0) ::unlink(ThumbnailRecords::fileIn(files).c_str());
            ::rmdir(files.c_str());
        }
        // The folder and its parents, up to the output, when nothing is left in them.
        for (std::filesystem::path p(folder); !p.empty(); p = p.parent_path()) {
            if (::rmdir(joinPath(output, p.string()).c_str()) != 0) break;
        }
    }
}

}  // namespace

int GenerateGallery(const SourceAlbum& tree, const PageSettings& settings, const Preferences& prefs,
                    const GalleryOptions& galleryOptions, ProgressObserver& progress,
                    const AlbumRunOptions& run) {
    PageSettings page = settings;
    page.style = kStyleModern;
    page.portable = 1;
    page.thumbnail = 1;
    page.gallery = 1;
    setThumbnailSize(page, kStyleClassic, thumbnailSize(settings, kStyleModern));
    GalleryOptions options = galleryOptions;
    options.indexName = pageNameOf(page);
    std::string output = !page.pageFolder.empty() ? absolutePath(page.pageFolder)
                                                  : splitPath(absolutePath(page.pagePath)).folder;
    while (output.size() > 1 && output.back() == '/') output.pop_back();
    const std::size_t total = photoCountOf(tree);
    progress.started(static_cast<int>(total));
    if (total == 0) {
        progress.failed("Impossible de créer " + page.pagePath + " : aucune image à publier");
        return 1;
    }
    std::string busy;
    const std::optional<AlbumLock> lock = AlbumLock::take(output, busy);
    if (!lock) {
        progress.failed("Impossible de créer " + page.pagePath + " : " + busy);
        return 1;
    }
    const std::string recordFile = joinPath(output, kGalleryRecordName);
    const PageRecord previous = PageRecord::load(recordFile);
    const int workers = run.workers > 0 ? run.workers : defaultWorkerCount();
    GalleryWriter writer(page, prefs, options, progress, workers, output);
    writer.setPrevious(previous);
    Album root;
    PageRecord record;
    const auto keepRecord = [&] {
        // The pages written are ours; so are those of the last run, still there.
        record.pages = writer.written();
        record.pages.insert(previous.pages.begin(), previous.pages.end());
        record.save(recordFile);
    };
    try {
        writer.publish(tree, root);
        stopWhenCancelled(progress);
    } catch (const GenerationCancelled&) {
        keepRecord();
        return 2;
    } catch (const GalleryFailure& failure) {
        keepRecord();
        progress.failed(failure.message);
        return 1;
    }
    if (root.photoCount == 0) {
        keepRecord();
        progress.failed("Impossible de créer " + page.pagePath + " : aucune image n'a pu être publiée");
        return 1;
    }
    if (writer.located() > 0) progress.locationsRemoved(writer.located());
    removeOrphans(output, previous, writer.written(), writer.folders(), options.indexName);
    record.pages = writer.written();
    record.save(recordFile);
    return 0;
}

}  // namespace lumigal
