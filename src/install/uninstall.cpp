#include "install/uninstall.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "install/folders.h"
#include "install/install_record.h"
#include "platform/registry.h"

namespace lumigal::install {

namespace {

// Removes a file or a symbolic link (never what a link points to, never a
// folder). True when it is gone.
bool removeFile(const std::string& path, std::string& problem) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;
        problem = "Impossible d'examiner " + path + " : " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        problem = path + " est devenu un dossier ; il est laissé en place.";
        return false;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        problem = "Impossible de supprimer " + path + " : " + std::strerror(errno);
        return false;
    }
    return true;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

UninstallReport removeInstallation(const std::string& recordPath, platform::Registry& registry) {
    UninstallReport report;
    InstallRecord record(recordPath);
    std::string error;
    if (!record.load(&error)) {
        report.problems.push_back(error);
        return report;
    }
    report.recordRead = true;

    for (const std::string& key : record.keys()) {
        const platform::RegStatus status = registry.deleteKey(key);
        if (status == platform::RegStatus::Ok || status == platform::RegStatus::NotFound) {
            report.removed.push_back(key);
        } else {
            report.problems.push_back("Impossible de supprimer les paramètres " + key + " : " +
                                      registry.lastError());
        }
    }
    for (const std::string& file : record.files()) {
        std::string problem;
        if (removeFile(file, problem)) {
            report.removed.push_back(file);
        } else {
            report.problems.push_back(problem);
        }
    }
    std::string problem;
    if (!removeFile(recordPath, problem)) report.problems.push_back(problem);

    for (std::string& folder : removeEmptyFolders(record.folders())) {
        report.removed.push_back(std::move(folder));
    }
    for (const std::string& folder : record.folders()) {
        if (isFolder(folder)) report.keptFolders.push_back(folder);
    }
    return report;
}

}  // namespace lumigal::install
