#include "album/portable_copies.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "album/memory_gate.h"
#include "album/ordered_pool.h"
#include "album/published_source.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "common/paths.h"
#include "imaging/image_io.h"
#include "imaging/location_strip.h"
#include "imaging/video_location_strip.h"
#include "imaging/video_probe.h"
#include "imaging/web_copy.h"
#include "platform/atomic_file.h"
#include "platform/system_error.h"

namespace lumigal {

namespace {

constexpr std::uint64_t kCopyBudget = std::uint64_t{96} << 20;

std::string pageFolderOf(const PageSettings& page) {
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

bool writeCopy(const std::string& path, std::string_view bytes, mode_t mode, std::string& error) {
    platform::ReplaceError failure;
    if (platform::replaceFile(path, bytes, failure, mode, false)) return true;
    error = "impossible d'écrire sa copie " + path + " : " +
            platform::errnoText(failure.err, platform::FileAccess::Writing);
    return false;
}

// A web copy of `source` at `copy`: false with `error` set otherwise. The
// memory it takes while it is made is held in `memory`.
bool makeWebCopy(const PublishedSource& source, const std::string& copy, const ImageHeader& header,
                 unsigned webSize, MemoryGate& memory, std::string& error) {
    const CopySize size = webCopySize(header.width, header.height, webSize);
    std::string bytes;
    std::optional<MemoryHold> hold;
    const auto reserve = [&](std::uint64_t cost, bool wait) {
        if (wait) {
            hold.emplace(memory, cost);
        } else if (memory.tryAcquire(cost)) {
            hold.emplace(memory, cost, MemoryHold::Taken{});
        }
        return hold.has_value();
    };
    const bool encoded =
        encodeWebCopy(source.path(), header, size.width, size.height, bytes, error, reserve);
    hold.reset();
    return encoded && writeCopy(copy, bytes, publishedMode(source.mode), error);
}

// A copy at the original size publishes the file's bytes without the place
// where it was taken, unless the page keeps it; false with `result.error`
// set when the place cannot be removed.
bool dropLocation(std::string& bytes, bool keepLocation, PortableCopy& result) {
    if (keepLocation) return true;
    std::optional<LocationStripped> stripped = stripLocation(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), result.error);
    if (!stripped) return false;
    if (stripped->removed > 0) bytes.assign(stripped->bytes.begin(), stripped->bytes.end());
    result.locationsRemoved = stripped->removed;
    return true;
}

struct CopyJob {
    ThumbnailNames names;
    PortableCopy result;
    std::optional<ThumbnailRecord> record;  // of a new copy
    bool upToDate = false;
};

// The copy byte for byte: the bytes read once from the source's descriptor
// are the bytes checked and the bytes written.
bool makeByteCopy(const PublishedSource& source, const std::string& copy, const ImageHeader& header,
                  bool keepLocation, PortableCopy& result) {
    std::string& error = result.error;
    std::string bytes;
    if (!source.read(bytes, error)) return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (sniffImageFormat(data, bytes.size()) != header.format) {
        error = "fichier modifié pendant sa copie";
        return false;
    }
    return dropLocation(bytes, keepLocation, result) &&
           writeCopy(copy, bytes, publishedMode(source.mode), error);
}

// A video's copy: its bytes as they are, but for the place it was shot at,
// blanked where it lies unless the page keeps it; the copy is probed as
// what it is before it is written. Its probe goes into `info`.
bool makeVideoCopy(const PublishedSource& source, const std::string& copy, VideoFormat format,
                   bool keepLocation, PortableCopy& result, std::optional<VideoInfo>& info) {
    std::string& error = result.error;
    std::string bytes;
    if (!source.read(bytes, error)) return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (sniffVideoFormat(data, bytes.size()) != format) {
        error = "fichier modifié pendant sa copie";
        return false;
    }
    if (!keepLocation) result.locationsRemoved = blankVideoLocation(bytes, format);
    info = probeVideoData(data, bytes.size(), error);
    if (!info) return false;
    if (info->hasLocation && !keepLocation) {
        error = "le lieu de prise de vue ne peut pas être retiré de sa copie";
        return false;
    }
    return writeCopy(copy, bytes, publishedMode(source.mode), error);
}

void makeCopyJob(CopyJob& job, const std::string& source, const PageSettings& page,
                 const std::string& recipe, const ThumbnailRecords& records, MemoryGate& memory) {
    const unsigned webSize = page.webSize;
    if (job.names.page.empty()) {
        job.result.error = "aucun nom libre pour sa copie";
        return;
    }
    const std::optional<PublishedSource> opened =
        openPublishedSource(source, page.chosenFolders, page.followLinks, job.result.error);
    if (!opened) return;
    // From here on the source is only reached through its descriptor.
    const std::optional<FileStamp> stamp = stampOfFile(opened->path());
    if (stamp && records.upToDate(job.names.page, job.names.maker, recipe, source, *stamp, webSize,
                                  webSize)) {
        job.result.path = job.names.page;
        job.upToDate = true;
        return;
    }
    std::optional<ImageHeader> header;
    bool made = false;
    if (const std::optional<VideoFormat> video = sniffVideoFile(opened->path())) {
        // Videos are published as they are, whatever the web size.
        std::optional<VideoInfo> info;
        {
            const MemoryHold hold(memory, stamp ? static_cast<std::uint64_t>(stamp->size) : 0);
            if (!makeVideoCopy(*opened, job.names.page, *video, page.keepLocation != 0, job.result, info)) return;
        }
        header.emplace();
        header->width = info->width;
        header->height = info->height;
        made = true;
    } else {
        {
            const MemoryHold hold(memory, stamp ? 2 * static_cast<std::uint64_t>(stamp->size) : 0);
            header = pingImageFile(opened->path(), job.result.error);
        }
        if (!header) return;
    }
    const std::size_t longest = std::max(header->width, header->height);
    // Browsers do not show HEIC or TIFF: those are always made as JPEG copies.
    const bool asItIs = browserShows(header->format) &&
                        (webSize == 0 || (longest <= webSize && header->format != ImageFormat::JPEG));
    if (!made && asItIs) {
        const MemoryHold hold(memory, stamp ? static_cast<std::uint64_t>(stamp->size) : 0);
        made = makeByteCopy(*opened, job.names.page, *header, page.keepLocation != 0, job.result);
    } else if (!made) {
        made = makeWebCopy(*opened, job.names.page, *header, webSize, memory, job.result.error);
    }
    if (!made) return;
    job.result.path = job.names.page;
    const std::optional<FileStamp> written = stampOfFile(job.names.page);
    if (!stamp || !written) return;
    ThumbnailRecord r;
    r.sourceStamp = *stamp;
    r.sourceWidth = header->width;
    r.sourceHeight = header->height;
    r.width = webSize;
    r.height = webSize;
    r.thumbnailStamp = *written;
    job.record = std::move(r);
}

}  // namespace

std::string pageNameOf(const PageSettings& page) {
    const PathParts parts = splitPath(page.pagePath);
    return parts.baseName + parts.extension;
}

std::string portableCopyRecipe(unsigned webSize, bool keepLocation) {
    if (webSize != 0) return "web 1 -quality 85 -strip-location";
    return keepLocation ? "copy 2" : "copy 2 -strip-location";
}

CopySize webCopySize(std::size_t width, std::size_t height, unsigned webSize) {
    const std::size_t longest = std::max(width, height);
    if (webSize == 0 || longest <= webSize) return {width, height};
    const auto scaled = [&](std::size_t side) {
        return std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(
                                            static_cast<double>(side) * webSize / longest)));
    };
    return {scaled(width), scaled(height)};
}

std::vector<PortableCopy> makePortableCopies(const std::vector<const std::string*>& sources,
                                             const PageSettings& page, int workers) {
    const std::string folder = joinPath(pageFolderOf(page), kImagesFolderName);
    std::vector<PortableCopy> copies(sources.size());
    std::error_code made;
    std::filesystem::create_directory(folder, made);
    if (made || !std::filesystem::is_directory(folder)) {
        const std::string why = "impossible de créer le dossier " + folder +
                                (made ? " : " + platform::errnoText(made.value(), platform::FileAccess::Writing)
                                      : std::string());
        for (PortableCopy& copy : copies) copy.error = why;
        return copies;
    }
    const std::string recipe = portableCopyRecipe(page.webSize, page.keepLocation != 0);
    const std::string recordFile = ThumbnailRecords::fileIn(folder);
    ThumbnailRecords previous;
    previous.load(recordFile);
    ThumbnailRecords records = previous;
    const std::string pageName = pageNameOf(page);
    bool changed = false;
    std::vector<CopyJob> jobs(sources.size());
    {
        std::vector<ThumbnailNames> names =
            uniqueThumbnailNames(sources, folder, true, kCopyNames, previous, page.pagePath);
        // The names are taken before any copy is written, so that what a
        // run stopped half-way leaves under them is known as ours.
        changed = claimNewNames(records, names, pageName, recordFile);
        for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i].names = std::move(names[i]);
    }
    MemoryGate memory(kCopyBudget);
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSave = Clock::now();
    std::string ignored;  // without the record, copies are only made again
    runOrdered(
        sources.size(), workers,
        [&](std::size_t i) {
            try {
                makeCopyJob(jobs[i], *sources[i], page, recipe, previous, memory);
            } catch (const std::exception&) {
                jobs[i].result = PortableCopy{{}, "mémoire insuffisante"};
            }
        },
        [&](std::size_t i) {
            CopyJob& job = jobs[i];
            if (job.upToDate) {
                records.addPage(job.names.page, pageName);
                changed = true;
            }
            if (job.record) {
                job.record->thumbnail = job.names.page;
                job.record->maker = job.names.maker;
                job.record->recipe = recipe;
                job.record->source = *sources[i];
                job.record->pages = {pageName};
                records.put(std::move(*job.record));
                changed = true;
                if (Clock::now() - lastSave >= std::chrono::seconds(1)) {
                    records.save(recordFile, ignored);
                    lastSave = Clock::now();
                }
            }
            copies[i] = std::move(job.result);
            job = CopyJob{};
        });
    if (changed || previous.outdated()) {
        records.dropMissingThumbnails();
        records.save(recordFile, ignored);
    }
    return copies;
}

}  // namespace lumigal
