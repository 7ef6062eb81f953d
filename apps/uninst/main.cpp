// uninst: removes what install created (the installed files, the menu
// folder and its entries, the launchers and the settings key). It asks for
// confirmation unless --silent is given.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "install_wizard/command_line.h"
#include "locale/french_translations.h"
#include "install/silent_install.h"
#include "install_wizard/uninstall_flow.h"
#include "platform/registry.h"

using namespace lumigal::install;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(uninstallUsage().c_str(), stdout);
        return 0;
    }
    std::string error;
    const std::optional<UninstallOptions> options = parseUninstallOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "uninst : %s\n%s", error.c_str(), uninstallUsage().c_str());
        return 2;
    }
    const std::string folder = uninstallFolder(*options);
    if (options->silent) return runSilentUninstall(folder);

    if (!hasDisplay()) {
        std::fputs("uninst : aucun écran n'est disponible ; utilisez uninst --silent.\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    lumigal::installFrenchTranslations();
    lumigal::platform::Registry registry = lumigal::platform::Registry::currentUser();
    return runUninstallWithQuestions(folder, registry);
}
