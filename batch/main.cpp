// lumigal-batch: makes an album page from the command line, with the same
// core as the Lumigal program. It reads the stored settings but never
// changes them.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "album/image_io.h"
#include "album/page_writer.h"
#include "batch/batch_options.h"
#include "batch/terminal_progress.h"
#include "common/paths.h"
#include "common/selected_files.h"
#include "platform/registry.h"
#include "selection/folder_scan.h"

using namespace lumigal;

namespace {

constexpr int kWritten = 0;
constexpr int kNotWritten = 1;
constexpr int kUsage = 2;

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

// Adds the files and folders of the command line, in their order.
bool gatherInputs(const batch::BatchOptions& options, SelectedFileList& list,
                  batch::TerminalProgress& progress) {
    bool allListed = true;
    for (const std::string& input : options.inputs) {
        std::string path = absolutePath(input);
        struct stat info{};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
            const int before = list.selectedFileCount();
            const bool listed =
                access(path.c_str(), R_OK | X_OK) == 0 &&
                (options.recursive ? ScanFolderTree(&progress, path, options.types, list)
                                   : ScanFolder(&progress, path, options.types, list)) >= 0;
            if (!listed) {
                allListed = false;
                std::fprintf(stderr, "lumigal-batch: %s : dossier illisible\n",
                             batch::printablePath(path).c_str());
            } else if (list.selectedFileCount() == before && !options.quiet) {
                std::fprintf(stderr, "lumigal-batch: %s : aucune image trouvée\n",
                             batch::printablePath(path).c_str());
            }
        } else {
            list.add(path);
        }
    }
    return allListed;
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

    // As at the desktop program's start-up, the thumbnail folder is made
    // with its parents when it does not exist yet.
    if (page.thumbnail) createPathFolders(thumbnailFolder(page, prefs) + kPathSeparator);

    initImageLibrary();
    batch::TerminalProgress progress(stderr, !parsed.options.quiet && isatty(STDERR_FILENO));
    SelectedFileList list;
    gatherInputs(parsed.options, list, progress);

    AlbumRunOptions run;
    run.workers = parsed.options.jobs;
    const int result =
        GenerateAlbumPage(list.selectedFileCount(), page, prefs, list, progress, run);
    return result == 0 ? kWritten : kNotWritten;
}
