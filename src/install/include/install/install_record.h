// The record of what an installation created, kept in the install folder as
// the text file "uninst.lst" and read by the uninstaller: the files it
// wrote, the folders it made and the settings keys it wrote. A second
// installation into the same folder adds to the record.
//
// One entry per line: "file <path>", "folder <path>" or "key <name>", where
// a backslash is written "\\" and a line break "\n". Lines starting with "#"
// are comments.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal::install {

inline constexpr std::string_view kRecordFileName = "uninst.lst";

class InstallRecord {
public:
    // A record kept in `path`; empty until load() or the add functions.
    explicit InstallRecord(std::string path) : path_(std::move(path)) {}

    // The record file of an install folder.
    static std::string pathIn(std::string_view installFolder);

    // Reads the record file. False when it is missing, unreadable or damaged
    // (then `error` says why, in French, and the record is left empty).
    bool load(std::string* error = nullptr);
    // Writes the record file atomically; false on failure.
    bool save() const;

    // Each entry is added once; the order of first addition is kept.
    void addFile(std::string path);
    void addFolder(std::string path);
    void addKey(std::string name);

    const std::string& path() const { return path_; }
    const std::vector<std::string>& files() const { return files_; }
    const std::vector<std::string>& folders() const { return folders_; }
    const std::vector<std::string>& keys() const { return keys_; }

private:
    std::string path_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    std::vector<std::string> keys_;
};

}  // namespace lumigal::install
