#include "album/album_zip.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <memory>

#include "common/paths.h"

namespace lumigal {

namespace {

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

// DOS times, which a ZIP keeps, count in steps of 2 seconds.
bool sameTime(time_t a, time_t b) { return a - b <= 2 && b - a <= 2; }

bool upToDate(const std::string& zipPath, const std::vector<ZipEntry>& entries,
              const std::vector<struct stat>& files) {
    int code = 0;
    const ZipPtr archive(zip_open(zipPath.c_str(), ZIP_RDONLY, &code));
    if (!archive || zip_get_num_entries(archive.get(), 0) != static_cast<zip_int64_t>(entries.size())) {
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        zip_stat_t s;
        zip_stat_init(&s);
        if (zip_stat_index(archive.get(), i, 0, &s) != 0 || !s.name || entries[i].name != s.name ||
            s.size != static_cast<zip_uint64_t>(files[i].st_size) || !sameTime(s.mtime, files[i].st_mtime)) {
            return false;
        }
    }
    return true;
}

}  // namespace

ZipResult writeAlbumZip(const std::string& zipPath, const std::vector<ZipEntry>& entries,
                        const std::function<bool()>& cancelled, std::string& error) {
    std::vector<struct stat> files(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (::lstat(entries[i].file.c_str(), &files[i]) != 0 || !S_ISREG(files[i].st_mode)) {
            error = "impossible de lire " + entries[i].file + " pour le ZIP de l'album";
            return ZipResult::Failed;
        }
    }
    if (upToDate(zipPath, entries, files)) return ZipResult::Unchanged;
    int code = 0;
    // libzip writes into a temporary file beside it and renames it over
    // the old ZIP once whole.
    ZipPtr archive(zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        zip_error_t why;
        zip_error_init_with_code(&why, code);
        error = std::string("impossible de créer le ZIP de l'album : ") + zip_error_strerror(&why);
        zip_error_fini(&why);
        return ZipResult::Failed;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        zip_source_t* source = zip_source_file(archive.get(), entries[i].file.c_str(), 0, -1);
        const zip_int64_t index =
            source ? zip_file_add(archive.get(), entries[i].name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source) zip_source_free(source);
            error = "impossible d'ajouter " + entries[i].name + " au ZIP de l'album : " + zip_strerror(archive.get());
            return ZipResult::Failed;
        }
        const auto at = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive.get(), at, ZIP_CM_STORE, 0);
        zip_file_set_mtime(archive.get(), at, files[i].st_mtime, 0);
        zip_file_set_external_attributes(archive.get(), at, 0, ZIP_OPSYS_UNIX, (S_IFREG | 0644u) << 16);
    }
    zip_register_cancel_callback_with_state(
        archive.get(),
        [](zip_t*, void* state) { return (*static_cast<const std::function<bool()>*>(state))() ? 1 : 0; },
        nullptr, const_cast<void*>(static_cast<const void*>(&cancelled)));
    if (zip_close(archive.get()) != 0) {
        const bool stopped = cancelled();
        error = std::string("impossible d'écrire le ZIP de l'album : ") + zip_strerror(archive.get());
        removeUnfinishedZips(zipPath);
        return stopped ? ZipResult::Cancelled : ZipResult::Failed;
    }
    archive.release();  // closed
    return ZipResult::Written;
}

void removeUnfinishedZips(const std::string& zipPath) {
    const PathParts parts = splitPath(zipPath);
    const std::string where = parts.folder.empty() ? "." : parts.folder;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(where.c_str()), ::closedir);
    if (!folder) return;
    const std::string stem = parts.baseName + parts.extension + ".";
    // libzip's temporary names: the ZIP's name, a dot and six characters.
    while (const dirent* e = ::readdir(folder.get())) {
        const std::string name = e->d_name;
        if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0) continue;
        const std::string path = joinPath(where, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.c_str());
    }
}

}  // namespace lumigal
