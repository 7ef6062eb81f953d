#include "selection/gallery_run.h"

#include <sys/stat.h>

#include <cstdio>

#include "album/gallery_writer.h"
#include "selection/gallery_tree.h"

namespace lumigal {

namespace {

// The scan's observer: the caller's, and the writer's cancel for both.
class ScanWatch : public ScanObserver {
public:
    ScanWatch(const ProgressObserver& progress, ScanObserver* also) : progress_(progress), also_(also) {}
    void fileAdded(const std::string& path, int count) override {
        if (also_) also_->fileAdded(path, count);
    }
    void folderSkipped(const std::string& path) override {
        if (also_) also_->folderSkipped(path);
    }
    void fileSkipped(const std::string& path, const std::string& reason) override {
        if (also_) also_->fileSkipped(path, reason);
    }
    bool cancelled() const override { return progress_.cancelled() || (also_ && also_->cancelled()); }

private:
    const ProgressObserver& progress_;
    ScanObserver* also_;
};

bool isFolder(const std::string& path) {
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

unsigned galleryPhotosPerPage(const PageSettings& page) {
    if (page.perPage == kPerPageOfStyle) return kGalleryPerPage;
    return page.perPage == kOnePage ? 0 : page.perPage;
}

std::string galleryDate(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%02d/%02d/%d %02d:%02d", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year + 1900, utc.tm_hour, utc.tm_min);
    return text;
}

int MakeGallery(const GalleryRequest& request, const PageSettings& page, const Preferences& prefs,
                ProgressObserver& progress, ScanObserver* scan) {
    PageSettings gallery = page;
    gallery.chosenFolders.clear();
    for (const std::string& input : request.inputs)
        if (isFolder(input)) gallery.chosenFolders.push_back(input);

    GalleryScanOptions options;
    options.formats = request.formats;
    options.followLinks = page.followLinks;
    options.outputFolder = page.pageFolder;
    options.title = page.pageTitle;
    ScanWatch watch(progress, scan);
    const SourceAlbum tree = scanGalleryTree(request.inputs, options, &watch);
    if (progress.cancelled()) return 2;

    GalleryOptions pages;
    pages.perPage = galleryPhotosPerPage(page);
    pages.baseUrl = request.baseUrl;
    pages.zip = request.zip;
    pages.date = request.date;
    pages.footer = page.footer;
    return GenerateGallery(tree, gallery, prefs, pages, progress, request.run);
}

}  // namespace lumigal
