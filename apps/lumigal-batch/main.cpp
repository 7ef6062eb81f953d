// lumigal-batch: makes an album page from the command line, with the same
// core as the Lumigal program. It reads the stored settings but never
// changes them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "album/page_writer.h"
#include "batch/batch_options.h"
#include "batch/terminal_progress.h"
#include "common/paths.h"
#include "common/selected_files.h"
#include "imaging/image_library.h"
#include "platform/process_heap.h"
#include "platform/registry.h"
#include "platform/system_error.h"
#include "selection/folder_scan.h"
#include "selection/gallery_run.h"

using namespace lumigal;

namespace {

constexpr int kWritten = 0;     // the page holds every image
constexpr int kNotWritten = 1;
constexpr int kUsage = 2;
constexpr int kSomeLeftOut = 3;  // the page is written, some files are not in it

void loadStartingSettings(Preferences& prefs, PageSettings& page) {
    batch::defaultSettings(prefs, page);
    platform::Registry registry = platform::Registry::currentUser();
    std::optional<platform::RegistryKey> key;
    const platform::RegStatus status =
        registry.openKey(kSettingsKey, platform::KeyAccess::Read, key);
    if (status == platform::RegStatus::NotFound) return;
    key.reset();
    Preferences stored = prefs;
    PageSettings storedPage = page;
    std::string error;
    if (readStoredSettings(registry, stored, storedPage, &error)) {
        prefs = stored;
        page = storedPage;
    } else {
        std::fprintf(stderr,
                     "lumigal-batch: réglages enregistrés illisibles, réglages initiaux utilisés "
                     ": %s\n",
                     batch::printablePath(error).c_str());
    }
}

// True when the folder can be opened for listing and its entries reached.
bool canList(const std::string& folder) {
    if (access(folder.c_str(), R_OK | X_OK) != 0) return false;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    return true;
}

// Adds the files and folders of the command line, in their order; the
// folders are the page's chosen folders. Returns the number of folders
// given that could not be listed (each is said).
int gatherInputs(const batch::BatchOptions& options, SelectedFileList& list, PageSettings& page,
                 batch::TerminalProgress& progress) {
    int unlisted = 0;
    for (const std::string& input : options.inputs) {
        std::string path = absolutePath(input);
        struct stat info{};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
            const int before = list.selectedFileCount();
            page.chosenFolders.push_back(path);
            if (!canList(path)) {
                ++unlisted;
                std::fprintf(stderr, "lumigal-batch: %s : dossier illisible, ignoré\n",
                             batch::printablePath(path).c_str());
                continue;
            }
            if (options.recursive) {
                ScanFolderTree(&progress, path, options.types, list);
            } else {
                ScanFolder(&progress, path, options.types, list);
            }
            if (list.selectedFileCount() == before && !options.quiet) {
                std::fprintf(stderr, "lumigal-batch: %s : aucune image trouvée\n",
                             batch::printablePath(path).c_str());
            }
        } else {
            // A file that is missing or no image is named by the page writer,
            // which leaves it out.
            list.add(path);
        }
    }
    return unlisted;
}

// The gallery of the inputs: their tree of albums, one per folder.
int makeGallery(const batch::BatchOptions& options, const PageSettings& page, const Preferences& prefs,
                batch::TerminalProgress& progress) {
    GalleryRequest request;
    int unlisted = 0;
    for (const std::string& input : options.inputs) {
        std::string path = absolutePath(input);
        while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
        struct stat info{};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && !canList(path)) {
            ++unlisted;
            std::fprintf(stderr, "lumigal-batch: %s : dossier illisible, ignoré\n",
                         batch::printablePath(path).c_str());
            continue;
        }
        request.inputs.push_back(path);
    }
    request.formats = options.types;
    // A gallery shows the videos beside the photos, unless the types say otherwise.
    if (!options.typesGiven) request.formats.videos = VideoTypes::all();
    request.baseUrl = options.baseUrl;
    request.zip = options.zip;
    request.date = galleryDate(std::time(nullptr));
    request.run.workers = options.jobs;
    const int result = MakeGallery(request, page, prefs, progress, &progress);
    if (result != 0) return kNotWritten;
    const int leftOut = progress.failures() + progress.skippedFolders() + unlisted;
    return leftOut == 0 ? kWritten : kSomeLeftOut;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    const batch::ParsedCommandLine parsed = batch::parseCommandLine(args);
    switch (parsed.outcome) {
        case batch::ParsedCommandLine::Help:
            std::fputs(batch::usageText().c_str(), stdout);
            return kWritten;
        case batch::ParsedCommandLine::Version:
            std::puts("lumigal-batch 1.11");
            return kWritten;
        case batch::ParsedCommandLine::Error:
            std::fprintf(stderr, "lumigal-batch: %s\n%s", parsed.error.c_str(),
                         "Essayez « lumigal-batch --help ».\n");
            return kUsage;
        case batch::ParsedCommandLine::Run:
            break;
    }
    Preferences prefs;
    PageSettings page;
    loadStartingSettings(prefs, page);
    batch::applyOptions(parsed.options, prefs, page);

    // The page's folder, and in thumbnail mode the thumbnail folder (as at
    // the desktop program's start-up), are made with their parents when
    // they do not exist yet.
    if (const int err = createPathFolders(page.pageFolder + kPathSeparator); err != 0) {
        // Said here, with its reason: the page could only fail for want of it.
        std::fprintf(stderr, "lumigal-batch: Impossible de créer le dossier %s : %s\n",
                     batch::printablePath(page.pageFolder).c_str(),
                     platform::errnoText(err, platform::FileAccess::Writing).c_str());
        return kNotWritten;
    }
    if (page.thumbnail && !parsed.options.gallery) {
        createPathFolders(thumbnailFolder(page, prefs) + kPathSeparator);
    }

    // The image library with this program's policy and limits, started
    // here, before any worker thread exists.
    startImageLibrary();
    batch::TerminalProgress progress(stderr, !parsed.options.quiet && isatty(STDERR_FILENO));
    SelectedFileList list;
    const int unlisted = parsed.options.gallery ? 0 : gatherInputs(parsed.options, list, page, progress);

    // The heap tuned for thumbnails, or for web copies, once the inputs are
    // gathered (the scan's buffers keep the C library's own thresholds). The
    // process ends after the page, so the heap is not trimmed.
    if (page.portable && page.webSize != 0) {
        platform::mapLargeBuffers();
    } else {
        platform::keepLargeBuffersInHeap();
    }
    if (parsed.options.gallery) return makeGallery(parsed.options, page, prefs, progress);
    AlbumRunOptions run;
    run.workers = parsed.options.jobs;
    const int result =
        GenerateAlbumPage(list.selectedFileCount(), page, prefs, list, progress, run);
    if (result != 0) return kNotWritten;
    // Every image left out of the page was named by imageFailed.
    const int leftOut = progress.failures() + progress.skippedFolders() + unlisted;
    return leftOut == 0 ? kWritten : kSomeLeftOut;
}
