#include "album/published_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "common/paths.h"
#include "platform/system_error.h"

namespace lumigal {

namespace {

// Larger sources are refused by the image reader as well.
constexpr std::int64_t kMaxSourceBytes = std::int64_t{512} << 20;

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Whether `path` is `folder` or lies below it (both absolute, resolved).
bool inside(const std::string& path, const std::string& folder) {
    if (folder == "/") return true;
    return path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/';
}

std::optional<std::string> resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                            &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

// The folder of `chosenFolders` that `source` was found in, as written
// (the longest that holds it); nullopt when none does.
std::optional<std::string> chosenFolderOf(const std::string& source,
                                          const std::vector<std::string>& chosenFolders) {
    std::optional<std::string> found;
    for (std::string folder : chosenFolders) {
        folder = absolutePath(folder);
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (inside(source, folder) && (!found || folder.size() > found->size())) found = folder;
    }
    return found;
}

}  // namespace

std::string PublishedSource::path() const { return descriptorPath(fd.get()); }

bool PublishedSource::read(std::string& bytes, std::string& error) const {
    bytes.assign(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = platform::noInterrupt([&] {
            return ::pread(fd.get(), bytes.data() + done, bytes.size() - done,
                           static_cast<off_t>(done));
        });
        if (got < 0) {
            error = "erreur de lecture : " +
                    platform::errnoText(errno, platform::FileAccess::Reading);
            return false;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (done != bytes.size()) {
        error = "fichier modifié pendant sa lecture";
        return false;
    }
    return true;
}

std::optional<PublishedSource> openPublishedSource(const std::string& source,
                                                   const std::vector<std::string>& chosenFolders,
                                                   bool followLinks, std::string& error) {
    // O_NONBLOCK: a FIFO without a writer must not hold the run up.
    PublishedSource opened;
    opened.fd = platform::UniqueFd(platform::noInterrupt([&] {
        return ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }));
    if (!opened.fd) {
        error = "impossible d'ouvrir : " + platform::errnoText(errno, platform::FileAccess::Reading);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(opened.fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "n'est pas un fichier ordinaire";
        return std::nullopt;
    }
    if (st.st_size > kMaxSourceBytes) {
        error = "fichier trop gros";
        return std::nullopt;
    }
    opened.size = st.st_size;
    opened.mode = st.st_mode & 07777;
    const std::optional<std::string> chosen = chosenFolderOf(absolutePath(source), chosenFolders);
    if (chosen && !followLinks) {
        // Where the file opened really lies, not where its name now leads.
        const std::optional<std::string> real = resolved(opened.path());
        const std::optional<std::string> folder = resolved(*chosen);
        if (!real || !folder) {
            error = "impossible de savoir où mène son nom";
            return std::nullopt;
        }
        if (!inside(*real, *folder)) {
            error = "lien vers un fichier hors du dossier choisi, non suivi dans un album autonome";
            return std::nullopt;
        }
    }
    return opened;
}

mode_t publishedMode(mode_t sourceMode) { return sourceMode & 0666; }

}  // namespace lumigal
