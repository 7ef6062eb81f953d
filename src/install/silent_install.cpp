#include "install/silent_install.h"

#include <cstdio>

#include "install/folders.h"
#include "install/install_record.h"
#include "install/installation.h"
#include "install/uninstall.h"
#include "install/xdg_dirs.h"
#include "install/xdg_program_manager.h"
#include "platform/registry.h"

namespace lumigal::install {

namespace {

// Answers every file error with "Quitter" after printing it.
class ConsoleObserver : public InstallObserver {
public:
    void showProgress(const std::string&, const std::string&) override {}
    FileErrorChoice fileError(FileMessage, const std::string& text) override {
        std::fprintf(stderr, "install : %s\n", text.c_str());
        return FileErrorChoice::Quit;
    }
};

}  // namespace

int runSilentInstallation(const SetupOptions& options, const std::string& setupFolder) {
    InstallState state;
    const std::optional<std::string> typed =
        options.folder ? options.folder : defaultInstallFolder();
    if (!typed) {
        std::fprintf(stderr,
                     "install : le dossier personnel est inconnu ; indiquez le dossier "
                     "d'installation avec --dir.\n");
        return 1;
    }
    state.installFolder = normaliseTypedFolder(*typed);
    state.createGroup = options.createGroup;
    state.placeOnDesktop = options.placeOnDesktop;
    state.setupFolder = setupFolder;
    const std::optional<std::string> startMenu = startMenuRoot();
    state.addToStartMenu = options.addToStartMenu && startMenu.has_value();
    if (startMenu) state.startMenuFolder = *startMenu;
    state.createdFolders = createFolderPath(state.installFolder);

    const std::unique_ptr<ProgramManager> programManager = makeProgramManager(
        XdgProgramManager::userFolders(), installedFilePath(state.installFolder, iconFileName()));
    platform::Registry registry = platform::Registry::currentUser();
    InstallServices services{registry, *programManager,
                             state.placeOnDesktop ? desktopFolder() : std::nullopt};

    ConsoleObserver observer;
    if (runInstallation(state, services, observer) != InstallResult::Completed) {
        std::fprintf(stderr,
                     "install : installation interrompue ; relancez install pour la terminer.\n");
        return 1;
    }
    return 0;
}

std::string uninstallFolder(const UninstallOptions& options) {
    if (options.folder) return normaliseTypedFolder(*options.folder);
    std::string own = ownProgramFolder();
    while (own.size() > 1 && own.back() == '/') own.pop_back();
    return own;
}

int runSilentUninstall(const std::string& installFolder) {
    platform::Registry registry = platform::Registry::currentUser();
    const UninstallReport report =
        removeInstallation(InstallRecord::pathIn(installFolder), registry);
    for (const std::string& problem : report.problems) {
        std::fprintf(stderr, "uninst : %s\n", problem.c_str());
    }
    for (const std::string& folder : report.keptFolders) {
        std::fprintf(stderr,
                     "uninst : le dossier %s contient d'autres fichiers ; il est conservé.\n",
                     folder.c_str());
    }
    return report.complete() ? 0 : 1;
}

}  // namespace lumigal::install
