#include "install/installation.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "common/paths.h"
#include "install/default_settings.h"
#include "install/file_table.h"
#include "install/folders.h"
#include "install/xdg_dirs.h"
#include "install/install_record.h"
#include "install/progman.h"
#include "install/shell_link.h"
#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "settings/settings_schema.h"

namespace lumigal::install {

namespace fs = std::filesystem;

namespace {

// The entries below a folder and the missing folders above it: taken before
// and after an operation, the difference is what the operation created.
struct TreeSnapshot {
    std::set<std::string> missingAbove;
    std::set<std::string> files;
    std::set<std::string> folders;

    static TreeSnapshot of(const fs::path& root) {
        TreeSnapshot snapshot;
        std::error_code ec;
        for (fs::path level = root; !level.empty(); level = level.parent_path()) {
            if (fs::exists(fs::symlink_status(level, ec))) break;
            snapshot.missingAbove.insert(level.string());
            if (level == level.parent_path()) break;
        }
        fs::recursive_directory_iterator it(root, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const bool folder = it->is_directory(ec) && !it->is_symlink(ec);
            (folder ? snapshot.folders : snapshot.files).insert(it->path().string());
        }
        return snapshot;
    }

    void recordCreated(const TreeSnapshot& after, InstallRecord& record) const {
        std::error_code ec;
        std::vector<std::string> madeAbove;
        for (const std::string& folder : missingAbove) {
            if (fs::is_directory(folder, ec)) madeAbove.push_back(folder);
        }
        std::sort(madeAbove.begin(), madeAbove.end(),
                  [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
        for (std::string& folder : madeAbove) record.addFolder(std::move(folder));
        for (const std::string& folder : after.folders) {
            if (!folders.contains(folder)) record.addFolder(folder);
        }
        for (const std::string& file : after.files) {
            if (!files.contains(file)) record.addFile(file);
        }
    }
};

std::string iconPath(std::string_view installFolder) {
    if (iconFileName().empty()) return {};
    return installedFilePath(installFolder, iconFileName());
}

}  // namespace

std::string installedProgramPath(std::string_view installFolder) {
    return std::string(installFolder) + kPathSeparator + std::string(programFileName());
}

std::string installedFilePath(std::string_view installFolder, std::string_view name) {
    std::string path = std::string(installFolder) + kPathSeparator + std::string(name);
    collapseSeparators(path);
    return path;
}

std::string startMenuLinkPath(std::string_view startMenuFolder) {
    return std::string(startMenuFolder) + kPathSeparator + shellLinkFileName("Lumigal");
}

std::string desktopLinkPath(std::string_view desktopFolder) {
    return std::string(desktopFolder) + kPathSeparator + shellLinkFileName("Lumigal");
}

InstallResult runInstallation(const InstallState& state, InstallServices& services,
                              InstallObserver& observer) {
    InstallRecord record(InstallRecord::pathIn(state.installFolder));
    record.load();  // a later installation adds to what an earlier one made
    for (const std::string& folder : state.createdFolders) record.addFolder(folder);
    record.save();

    // What an earlier installation that was killed while copying left half
    // written goes first (only our temporaries whose writer is gone).
    platform::removeStaleTemporaries(state.installFolder);
    for (const FileEntry& entry : fileTable()) {
        std::string installed;
        const bool goOn =
            installFile(observer, state.setupFolder, state.installFolder, entry, &installed);
        if (!installed.empty()) {
            record.addFile(std::move(installed));
            record.save();
        }
        if (!goOn) return InstallResult::Abandoned;
    }
    // The manual's pictures, in their folder beside it.
    const std::vector<PictureEntry> pictures = manualPictures(state.setupFolder);
    if (!pictures.empty()) {
        for (std::string& made : createFolderPath(
                 joinPath(state.installFolder, std::string(manualPicturesFolder()))))
            record.addFolder(std::move(made));
        record.save();
    }
    for (const PictureEntry& picture : pictures) {
        std::string installed;
        const bool goOn = installFile(observer, state.setupFolder, state.installFolder,
                                      picture.entry(), &installed);
        if (!installed.empty()) {
            record.addFile(std::move(installed));
            record.save();
        }
        if (!goOn) return InstallResult::Abandoned;
    }

    if (state.createGroup) {
        createProgramGroup(services.programManager, state.installFolder);
        for (std::string& folder : services.programManager.createdFolders()) {
            record.addFolder(std::move(folder));
        }
        for (std::string& file : services.programManager.writtenFiles()) {
            record.addFile(std::move(file));
        }
        record.save();
    }

    const fs::path store = services.registry.folder();
    const TreeSnapshot beforeSettings = TreeSnapshot::of(store);
    writeDefaultSettings(services.registry, state.installFolder,
                         userWorkFolder().value_or(state.installFolder));
    beforeSettings.recordCreated(TreeSnapshot::of(store), record);
    record.addKey(kSettingsKey);
    record.save();

    const std::string program = installedProgramPath(state.installFolder);
    const std::string icon = iconPath(state.installFolder);
    auto writeLink = [&](const std::string& folder, const std::string& link) {
        for (std::string& made : createFolderPath(folder)) record.addFolder(std::move(made));
        if (writeShellLink(program, link, "Lumigal", icon) == LinkStatus::Ok) {
            record.addFile(link);
        }
        record.save();
    };
    if (state.addToStartMenu && !state.startMenuFolder.empty()) {
        writeLink(state.startMenuFolder, startMenuLinkPath(state.startMenuFolder));
    }
    if (state.placeOnDesktop && services.desktopFolder) {
        writeLink(*services.desktopFolder, desktopLinkPath(*services.desktopFolder));
    }
    return InstallResult::Completed;
}

}  // namespace lumigal::install
