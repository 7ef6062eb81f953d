#include "install/install_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/paths.h"
#include "install/lz_expand.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace lumigal::install {

namespace {

std::string_view messageTemplate(FileMessage message) {
    switch (message) {
        case FileMessage::SourceNotFound:
            return "Install n'a pas pu copier %s%s%s...\n\nLe fichier n'a pas été trouvé.";
        case FileMessage::CannotCreate:
            return "Le fichier %s%s%s ne peut pas être créé.\nVérifiez qu'une version "
                   "antérieure de Lumigal n'est pas en cours d'exécution et recommencez "
                   "l'installation.";
        case FileMessage::CopyFailed:
            return "Le fichier %s%s%s n'a pas pu être copié.";
    }
    return {};
}

// A path split into the drive (none on this system), the folder with its
// trailing separator and the file name.
struct MessagePath {
    std::string drive;
    std::string folder;
    std::string name;
};

MessagePath splitForMessage(std::string_view path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string_view::npos) return {{}, {}, std::string(path)};
    return {{}, std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

std::string messageFor(FileMessage message, const MessagePath& path) {
    return fileMessageText(message, path.drive, path.folder, path.name);
}

}  // namespace

std::string fileMessageText(FileMessage message, std::string_view drive, std::string_view folder,
                            std::string_view name) {
    const std::string_view pieces[] = {drive, folder, name};
    const std::string_view format = messageTemplate(message);
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < 3) {
            text += pieces[next++];
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

bool installFile(InstallObserver& observer, std::string_view setupFolder,
                 std::string_view installFolder, const FileEntry& entry,
                 std::string* installedPath) {
    const std::string sourcePath = std::string(setupFolder) + std::string(entry.sourceName);
    std::string destPath =
        std::string(installFolder) + kPathSeparator + std::string(entry.installedName);
    collapseSeparators(destPath);
    observer.showProgress("Copy from: " + sourcePath, "To: " + destPath);

    const MessagePath source{{}, std::string(setupFolder), std::string(entry.sourceName)};
    const MessagePath dest = splitForMessage(destPath);
    auto ask = [&](FileMessage message, const MessagePath& path) {
        return observer.fileError(message, messageFor(message, path)) == FileErrorChoice::Ignore;
    };

    platform::UniqueFd sourceFd(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat sourceInfo {};
    if (sourceFd && (::fstat(sourceFd.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))) {
        sourceFd.reset();
    }
    if (!sourceFd) {
        // Nothing can be copied: the installed file, if any, stays as it is.
        if (!ask(FileMessage::SourceNotFound, source)) return false;
        return ask(FileMessage::CopyFailed, source);
    }

    // Expanded into a temporary beside it, which becomes the installed file
    // once it is complete and on disk.
    platform::AtomicFile pending;
    if (!pending.create(destPath, entry.executable ? 0755 : 0644)) {
        // A folder of that name: the file could be made but not put in place.
        if (pending.error().err == EISDIR) return ask(FileMessage::CopyFailed, dest);
        if (!ask(FileMessage::CannotCreate, dest)) return false;
        return ask(FileMessage::CopyFailed, dest);
    }

    if (expandInto(sourceFd.get(), pending.fd()) != ExpandStatus::Ok) {
        pending.discard();
        return ask(FileMessage::CopyFailed, source);
    }
    if (::fchmod(pending.fd(), entry.executable ? 0755 : 0644) != 0 || !pending.commit()) {
        return ask(FileMessage::CopyFailed, dest);
    }
    if (installedPath != nullptr) *installedPath = destPath;
    return true;
}

}  // namespace lumigal::install
