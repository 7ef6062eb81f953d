#include "install/command_line.h"

#include <cstdlib>

namespace lumigal::install {

const char* const kSetupUsage =
    "Utilisation : install [--silent [--dir DOSSIER] [--no-group] [--no-start-menu] "
    "[--no-desktop]]\n"
    "  --silent         installe sans fenêtre, avec les choix par défaut\n"
    "  --dir DOSSIER    dossier d'installation (par défaut ~/.local/opt/Lumigal)\n"
    "  --no-group       ne crée pas le groupe Lumigal dans le menu des applications\n"
    "  --no-start-menu  ne place pas de raccourci dans le menu des applications\n"
    "  --no-desktop     ne place pas de raccourci sur le bureau\n";

const char* const kUninstallUsage =
    "Utilisation : uninst [--silent] [--dir DOSSIER]\n"
    "  --silent         supprime Lumigal sans demander de confirmation\n"
    "  --dir DOSSIER    dossier où Lumigal est installé (par défaut celui d'uninst)\n";

namespace {

// Reads "--dir DIR" or "--dir=DIR" at args[i]; advances i past it.
bool readFolder(const std::vector<std::string>& args, std::size_t& i,
                std::optional<std::string>& folder, std::string& error) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--dir") {
        if (i + 1 >= args.size()) {
            error = "L'option --dir demande un dossier.";
            return false;
        }
        value = args[++i];
    } else {
        value = arg.substr(6);
    }
    if (value.empty()) {
        error = "L'option --dir demande un dossier.";
        return false;
    }
    folder = value;
    return true;
}

bool isFolderOption(const std::string& arg) { return arg == "--dir" || arg.starts_with("--dir="); }

}  // namespace

std::optional<SetupOptions> parseSetupOptions(const std::vector<std::string>& args,
                                              std::string& error) {
    SetupOptions options;
    bool needsSilent = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--silent") {
            options.silent = true;
        } else if (isFolderOption(arg)) {
            if (!readFolder(args, i, options.folder, error)) return std::nullopt;
            needsSilent = true;
        } else if (arg == "--no-group") {
            options.createGroup = false;
            needsSilent = true;
        } else if (arg == "--no-start-menu") {
            options.addToStartMenu = false;
            needsSilent = true;
        } else if (arg == "--no-desktop") {
            options.placeOnDesktop = false;
            needsSilent = true;
        } else {
            error = "Option inconnue : " + arg;
            return std::nullopt;
        }
    }
    if (needsSilent && !options.silent) {
        error =
            "Les options --dir, --no-group, --no-start-menu et --no-desktop vont avec --silent.";
        return std::nullopt;
    }
    return options;
}

std::optional<UninstallOptions> parseUninstallOptions(const std::vector<std::string>& args,
                                                      std::string& error) {
    UninstallOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--silent") {
            options.silent = true;
        } else if (isFolderOption(arg)) {
            if (!readFolder(args, i, options.folder, error)) return std::nullopt;
        } else {
            error = "Option inconnue : " + arg;
            return std::nullopt;
        }
    }
    return options;
}

bool hasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

}  // namespace lumigal::install
