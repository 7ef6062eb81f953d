#include "album/album_folder.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "album/thumbnail_record.h"

namespace lumigal {

std::optional<AlbumLock> AlbumLock::take(const std::string& folder, std::string& error) {
    AlbumLock lock;
    lock.fd_ = platform::UniqueFd(platform::noInterrupt([&] {
        return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }));
    if (!lock.fd_) return lock;  // the page's own creation says why
    if (platform::noInterrupt([&] { return ::flock(lock.fd_.get(), LOCK_EX | LOCK_NB); }) == 0 ||
        errno != EWOULDBLOCK) {
        return lock;
    }
    error = "un autre Lumigal écrit déjà un album dans ce dossier ; réessayez quand il aura fini";
    return std::nullopt;
}

std::size_t removeUnlinkedFiles(const std::string& folder, const std::string& page,
                                const std::vector<std::string>& linked) {
    const std::string file = ThumbnailRecords::fileIn(folder);
    ThumbnailRecords records;
    records.load(file);
    if (records.size() == 0) return 0;
    const std::size_t removed = records.removeUnlinked(page, linked);
    std::string ignored;  // the records of files gone are dropped at the next run
    records.save(file, ignored);
    return removed;
}

}  // namespace lumigal
