#include "install/install_record.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "common/paths.h"
#include "install/desktop_entry.h"

namespace lumigal::install {

namespace {

constexpr std::string_view kHeader =
    "# Lumigal : ce que l'installation a créé, supprimé par uninst.\n";

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == '\\') {
            out += '\\';
        } else if (text[i] == 'n') {
            out += '\n';
        } else {
            return std::nullopt;
        }
    }
    return out;
}

void addOnce(std::vector<std::string>& list, std::string entry) {
    if (entry.empty()) return;
    if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(std::move(entry));
}

}  // namespace

std::string InstallRecord::pathIn(std::string_view installFolder) {
    std::string path = std::string(installFolder) + kPathSeparator + std::string(kRecordFileName);
    collapseSeparators(path);
    return path;
}

bool InstallRecord::load(std::string* error) {
    files_.clear();
    folders_.clear();
    keys_.clear();
    auto fail = [&](const std::string& why) {
        files_.clear();
        folders_.clear();
        keys_.clear();
        if (error != nullptr) *error = why;
        return false;
    };
    std::ifstream in(path_, std::ios::binary);
    if (!in) return fail("Le fichier " + path_ + " est introuvable ou illisible.");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string tag = line.substr(0, space);
        const std::optional<std::string> value =
            space == std::string::npos ? std::nullopt
                                       : unescaped(std::string_view(line).substr(space + 1));
        const bool absolute = value && !value->empty() && value->front() == kPathSeparator;
        if (tag == "file" && absolute) {
            addOnce(files_, *value);
        } else if (tag == "folder" && absolute) {
            addOnce(folders_, *value);
        } else if (tag == "key" && value && !value->empty()) {
            addOnce(keys_, *value);
        } else {
            return fail("Le fichier " + path_ + " est endommagé (ligne " + std::to_string(number) +
                        ").");
        }
    }
    if (in.bad()) return fail("Le fichier " + path_ + " n'a pas pu être lu.");
    return true;
}

bool InstallRecord::save() const {
    std::ostringstream out;
    out << kHeader;
    for (const std::string& file : files_) out << "file " << escaped(file) << '\n';
    for (const std::string& folder : folders_) out << "folder " << escaped(folder) << '\n';
    for (const std::string& key : keys_) out << "key " << escaped(key) << '\n';
    return writeFileAtomically(path_, out.str(), 0644);
}

void InstallRecord::addFile(std::string path) { addOnce(files_, std::move(path)); }
void InstallRecord::addFolder(std::string path) { addOnce(folders_, std::move(path)); }
void InstallRecord::addKey(std::string name) { addOnce(keys_, std::move(name)); }

}  // namespace lumigal::install
