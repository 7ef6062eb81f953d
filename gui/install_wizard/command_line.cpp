#include "install_wizard/command_line.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cstdlib>

namespace lumigal::install {

namespace {

// One row per option: the parser and the usage text are made from it.
struct OptionRow {
    const char* name;
    const char* valueName;  // nullptr: a flag
    const char* help;
};

constexpr const char* kSilent = "silent";
constexpr const char* kFolder = "dir";

const std::vector<OptionRow> kSetupRows = {
    {"silent", nullptr, "installe sans fenêtre, avec les choix par défaut"},
    {"dir", "DOSSIER", "dossier d'installation (par défaut ~/.local/opt/Lumigal)"},
    {"no-group", nullptr, "ne crée pas le groupe Lumigal dans le menu des applications"},
    {"no-start-menu", nullptr, "ne place pas de raccourci dans le menu des applications"},
    {"no-desktop", nullptr, "ne place pas de raccourci sur le bureau"},
};

const std::vector<OptionRow> kUninstallRows = {
    {"silent", nullptr, "supprime Lumigal sans demander de confirmation"},
    {"dir", "DOSSIER", "dossier où Lumigal est installé (par défaut celui d'uninst)"},
};

std::string makeUsage(const std::string& synopsis, const std::vector<OptionRow>& rows) {
    constexpr std::size_t kHelpColumn = 19;
    std::string text = "Utilisation : " + synopsis + "\n";
    for (const OptionRow& row : rows) {
        std::string line = std::string("  --") + row.name;
        if (row.valueName != nullptr) line += std::string(" ") + row.valueName;
        line.append(kHelpColumn - line.size(), ' ');
        text += line + row.help + "\n";
    }
    return text;
}

}  // namespace

const std::string& setupUsage() {
    static const std::string text = makeUsage(
        "install [--silent [--dir DOSSIER] [--no-group] [--no-start-menu] [--no-desktop]]",
        kSetupRows);
    return text;
}

const std::string& uninstallUsage() {
    static const std::string text = makeUsage("uninst [--silent] [--dir DOSSIER]", kUninstallRows);
    return text;
}

namespace {

QString qt(const char* text) { return QString::fromUtf8(text); }

// Parses `args` against `rows`: long options only (--name, --name VALUE,
// --name=VALUE). False, with `error` set, for an unknown option, a stray
// argument or a missing folder.
bool parse(const std::vector<std::string>& args, const std::vector<OptionRow>& rows,
           QCommandLineParser& parser, std::string& error) {
    for (const OptionRow& row : rows) {
        if (row.valueName != nullptr) {
            parser.addOption(QCommandLineOption(qt(row.name), QString(), qt(row.valueName)));
        } else {
            parser.addOption(QCommandLineOption(qt(row.name)));
        }
    }
    QStringList arguments{QStringLiteral("program")};
    for (const std::string& arg : args) arguments << QString::fromStdString(arg);
    const bool parsed = parser.parse(arguments);
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        // Named as it was written: the first argument that is none of ours.
        for (std::size_t i = 0; i < args.size(); ++i) {
            const OptionRow* match = nullptr;
            for (const OptionRow& row : rows) {
                const std::string name = std::string("--") + row.name;
                if (args[i] == name || (row.valueName != nullptr && args[i].starts_with(name + "=")))
                    match = &row;
            }
            if (match == nullptr) {
                error = "Option inconnue : " + args[i];
                return false;
            }
            if (match->valueName != nullptr && args[i].find('=') == std::string::npos) ++i;
        }
    }
    // The one option with a value is the folder: a parse error left is its
    // missing value, and an empty one is refused as well.
    if (!parsed || (parser.isSet(qt(kFolder)) && parser.value(qt(kFolder)).isEmpty())) {
        error = "L'option --dir demande un dossier.";
        return false;
    }
    return true;
}

std::optional<std::string> folderOption(const QCommandLineParser& parser) {
    if (!parser.isSet(qt(kFolder))) return std::nullopt;
    return parser.value(qt(kFolder)).toStdString();
}

}  // namespace

std::optional<SetupOptions> parseSetupOptions(const std::vector<std::string>& args,
                                              std::string& error) {
    QCommandLineParser parser;
    if (!parse(args, kSetupRows, parser, error)) return std::nullopt;
    SetupOptions options;
    options.silent = parser.isSet(qt(kSilent));
    options.folder = folderOption(parser);
    options.createGroup = !parser.isSet(QStringLiteral("no-group"));
    options.addToStartMenu = !parser.isSet(QStringLiteral("no-start-menu"));
    options.placeOnDesktop = !parser.isSet(QStringLiteral("no-desktop"));
    const bool needsSilent = options.folder || !options.createGroup ||
                             !options.addToStartMenu || !options.placeOnDesktop;
    if (needsSilent && !options.silent) {
        error =
            "Les options --dir, --no-group, --no-start-menu et --no-desktop vont avec --silent.";
        return std::nullopt;
    }
    return options;
}

std::optional<UninstallOptions> parseUninstallOptions(const std::vector<std::string>& args,
                                                      std::string& error) {
    QCommandLineParser parser;
    if (!parse(args, kUninstallRows, parser, error)) return std::nullopt;
    UninstallOptions options;
    options.silent = parser.isSet(qt(kSilent));
    options.folder = folderOption(parser);
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
