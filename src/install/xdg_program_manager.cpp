#include "install/xdg_program_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "install/desktop_entry.h"
#include "install/folders.h"
#include "install/xdg_dirs.h"

namespace lumigal::install {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

// Letters and digits in lower case; every run of other characters becomes "-".
std::string slugOf(std::string_view name) {
    std::string slug;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80 && std::isalnum(u)) {
            slug += static_cast<char>(std::tolower(u));
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::optional<std::vector<ProgmanCall>> parseProgmanCommand(std::string_view text) {
    std::vector<ProgmanCall> calls;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (isBlank(text[i]) || text[i] == '\r' || text[i] == '\n')) ++i;
    };
    for (skipBlanks(); i < text.size(); skipBlanks()) {
        if (text[i] != '[') return std::nullopt;
        ++i;
        const std::size_t open = text.find_first_of("()]", i);
        ProgmanCall call;
        if (open == std::string_view::npos) return std::nullopt;
        call.name = trimmed(text.substr(i, open - i));
        if (call.name.empty()) return std::nullopt;
        i = open;
        if (text[i] == '(') {
            ++i;
            std::string arg;
            bool closed = false;
            while (i < text.size() && !closed) {
                const char c = text[i];
                if (c == '"') {
                    // A quoted argument ends at the quote that is followed by
                    // blanks and then "," or ")".
                    std::size_t end = i + 1;
                    for (;; ++end) {
                        end = text.find('"', end);
                        if (end == std::string_view::npos) return std::nullopt;
                        std::size_t after = end + 1;
                        while (after < text.size() && isBlank(text[after])) ++after;
                        if (after < text.size() && (text[after] == ',' || text[after] == ')')) {
                            break;
                        }
                    }
                    if (!trimmed(arg).empty()) return std::nullopt;
                    arg = std::string(text.substr(i + 1, end - i - 1));
                    i = end + 1;
                    while (i < text.size() && isBlank(text[i])) ++i;
                    call.args.push_back(arg);
                    arg.clear();
                    if (text[i] == ',') {
                        ++i;
                    } else {
                        ++i;
                        closed = true;
                    }
                    continue;
                }
                if (c == ',' || c == ')') {
                    call.args.push_back(trimmed(arg));
                    arg.clear();
                    closed = c == ')';
                } else {
                    arg += c;
                }
                ++i;
            }
            if (!closed) return std::nullopt;
            // "Name()" has no argument rather than one empty argument.
            if (call.args.size() == 1 && call.args.front().empty()) call.args.clear();
            skipBlanks();
        }
        if (i >= text.size() || text[i] != ']') return std::nullopt;
        ++i;
        calls.push_back(std::move(call));
    }
    if (calls.empty()) return std::nullopt;
    return calls;
}

namespace {

class NoProgramManager : public ProgramManager {
public:
    bool execute(std::string_view) override { return false; }
};

}  // namespace

std::unique_ptr<ProgramManager> makeProgramManager(
    const std::optional<XdgProgramManager::Folders>& folders, std::string defaultIcon) {
    if (!folders) return std::make_unique<NoProgramManager>();
    return std::make_unique<XdgProgramManager>(*folders, std::move(defaultIcon));
}

std::optional<XdgProgramManager::Folders> XdgProgramManager::userFolders() {
    const std::optional<std::string> data = dataHome();
    const std::optional<std::string> config = configHome();
    if (!data || !config) return std::nullopt;
    return Folders{*data + "/applications", *data + "/desktop-directories",
                   *config + "/menus/applications-merged"};
}

XdgProgramManager::XdgProgramManager(Folders folders, std::string defaultIcon)
    : folders_(std::move(folders)), defaultIcon_(std::move(defaultIcon)) {}

bool XdgProgramManager::execute(std::string_view command) {
    const std::optional<std::vector<ProgmanCall>> calls = parseProgmanCommand(command);
    if (!calls) return false;
    bool ok = true;
    for (const ProgmanCall& call : *calls) {
        if (sameName(call.name, "CreateGroup")) {
            ok = createGroup(call.args) && ok;
        } else if (sameName(call.name, "AddItem")) {
            ok = addItem(call.args) && ok;
        } else if (sameName(call.name, "ShowGroup")) {
            ok = showGroup(call.args) && ok;
        } else {
            ok = false;
        }
    }
    return ok;
}

bool XdgProgramManager::createGroup(const std::vector<std::string>& args) {
    // The second argument (a group for all users) has no counterpart: the
    // menu folder is the user's own.
    if (args.empty() || args.size() > 2 || !isDesktopSafeText(args[0])) return false;
    Group group{args[0], slugOf(args[0]), {}};
    if (group.slug.empty()) return false;
    DesktopKeys keys = {{"Type", "Directory"}, {"Name", group.name}};
    if (!defaultIcon_.empty()) keys.emplace_back("Icon", defaultIcon_);
    group_ = std::move(group);
    return writeFile(folders_.desktopDirectories, group_->slug + ".directory",
                     desktopEntryText(keys)) &&
           writeMenuFile();
}

std::string XdgProgramManager::itemIcon(const std::vector<std::string>& args) const {
    if (args.size() < 3 || args[2].empty()) return defaultIcon_;
    const std::string& file = args[2];
    // The icons of the two Windows programs that the items name.
    if (sameName(file, "notepad.exe")) return "accessories-text-editor";
    if (sameName(file, "winhlp32.exe")) return "help-browser";
    if (file.front() == '/') return file;
    return defaultIcon_;
}

bool XdgProgramManager::addItem(const std::vector<std::string>& args) {
    if (!group_ || args.empty() || args[0].empty() || args.size() > 5) return false;
    const std::string& target = args[0];
    const std::string name = args.size() > 1 && !args[1].empty() ? args[1] : fileNameOf(target);
    const std::string icon = itemIcon(args);
    if (!isDesktopSafeText(target) || !isDesktopSafeText(name) || !isDesktopSafeText(icon)) {
        return false;
    }
    const std::string slug = slugOf(name);
    if (slug.empty()) return false;

    const std::string exec = isExecutableFile(target) ? quoteExecArgument(target)
                                                      : "xdg-open " + quoteExecArgument(target);
    DesktopKeys keys = {{"Type", "Application"}, {"Name", name}, {"Exec", exec}};
    if (!icon.empty()) keys.emplace_back("Icon", icon);
    keys.emplace_back("Terminal", "false");
    const std::string fileName = group_->slug + "-" + slug + ".desktop";
    if (!writeFile(folders_.applications, fileName, desktopEntryText(keys))) return false;
    std::vector<std::string>& entries = group_->entryNames;
    if (std::find(entries.begin(), entries.end(), fileName) == entries.end()) {
        entries.push_back(fileName);
    }
    return writeMenuFile();
}

bool XdgProgramManager::showGroup(const std::vector<std::string>& args) const {
    // The menu shows the folder by itself once its files exist.
    return group_ && !args.empty() && sameName(args[0], group_->name);
}

bool XdgProgramManager::writeMenuFile() {
    std::string text =
        "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
        "<Menu>\n"
        "  <Name>Applications</Name>\n"
        "  <Menu>\n"
        "    <Name>" +
        xmlEscaped(group_->name) +
        "</Name>\n"
        "    <Directory>" +
        xmlEscaped(group_->slug) +
        ".directory</Directory>\n"
        "    <Include>\n";
    for (const std::string& entry : group_->entryNames) {
        text += "      <Filename>" + xmlEscaped(entry) + "</Filename>\n";
    }
    text +=
        "    </Include>\n"
        "  </Menu>\n"
        "</Menu>\n";
    return writeFile(folders_.mergedMenus, group_->slug + ".menu", text);
}

bool XdgProgramManager::writeFile(const std::string& folder, const std::string& name,
                                  const std::string& text) {
    for (std::string& made : createFolderPath(folder)) createdFolders_.push_back(std::move(made));
    const std::string path = folder + "/" + name;
    if (!writeFileAtomically(path, text, 0644)) return false;
    if (std::find(writtenFiles_.begin(), writtenFiles_.end(), path) == writtenFiles_.end()) {
        writtenFiles_.push_back(path);
    }
    return true;
}

}  // namespace lumigal::install
