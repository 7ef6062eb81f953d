// install: the setup program. Without arguments it shows the setup wizard
// in front of its background window; with --silent it installs without any
// window.
#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <string>
#include <vector>

#include "install_wizard/background_window.h"
#include "install_wizard/command_line.h"
#include "install/folders.h"
#include "install/install_state.h"
#include "locale/french_translations.h"
#include "install_wizard/setup_wizard.h"
#include "install/silent_install.h"

using namespace lumigal::install;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(setupUsage().c_str(), stdout);
        return 0;
    }
    std::string error;
    const std::optional<SetupOptions> options = parseSetupOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "install : %s\n%s", error.c_str(), setupUsage().c_str());
        return 2;
    }
    if (options->silent) return runSilentInstallation(*options, ownProgramFolder());

    if (!hasDisplay()) {
        std::fputs("install : aucun écran n'est disponible ; utilisez install --silent.\n", stderr);
        return 0;
    }
    QApplication app(argc, argv);
    lumigal::installFrenchTranslations();
    BackgroundWindow background;
    // Maximising is the window manager's job: without one, the window
    // still covers the screen.
    if (const QScreen* screen = background.screen()) {
        background.setGeometry(screen->availableGeometry());
    }
    background.showMaximized();

    InstallState state;
    SetupWizard wizard(state, SetupEnvironment::fromSystem(), &background);
    wizard.exec();
    if (wizard.outcome() == SetupWizard::Outcome::EndedAtOnce) return 0;
    // The background stays until the user closes it when the abandon box
    // was left with Escape.
    if (!background.ended()) app.exec();
    return wizard.exitCode();
}
