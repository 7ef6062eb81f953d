#include "album/portable_copies.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "album/memory_gate.h"
#include "album/ordered_pool.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "common/paths.h"
#include "imaging/image_io.h"
#include "imaging/location_strip.h"
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

bool writeCopy(const std::string& path, std::string_view bytes, std::string& error) {
    platform::ReplaceError failure;
    if (platform::replaceFile(path, bytes, failure, 0666, false)) return true;
    error = "impossible d'écrire sa copie " + path + " : " +
            platform::errnoText(failure.err, platform::FileAccess::Writing);
    return false;
}

// A web copy of `source` at `copy`: false with `error` set otherwise. The
// memory it takes while it is made is held in `memory`.
bool makeWebCopy(const std::string& source, const std::string& copy, const ImageHeader& header,
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
    const bool encoded = encodeWebCopy(source, header, size.width, size.height, bytes, error, reserve);
    hold.reset();
    return encoded && writeCopy(copy, bytes, error);
}

// A copy at the original size publishes the file's bytes without the place
// where it was taken, unless the page keeps it; false with `result.error`
// set when the place cannot be removed.
bool dropLocation(FileBytes& file, bool keepLocation, PortableCopy& result) {
    if (keepLocation) return true;
    std::optional<LocationStripped> stripped = stripLocation(file.data.data(), file.data.size(), result.error);
    if (!stripped) return false;
    if (stripped->removed > 0) file.data = std::move(stripped->bytes);
    result.locationsRemoved = stripped->removed;
    return true;
}

struct CopyJob {
    ThumbnailNames names;
    PortableCopy result;
    std::optional<ThumbnailRecord> record;  // of a new copy
    bool upToDate = false;
};

void makeCopyJob(CopyJob& job, const std::string& source, unsigned webSize, bool keepLocation,
                 const std::string& recipe, const ThumbnailRecords& records, MemoryGate& memory) {
    if (job.names.page.empty()) {
        job.result.error = "aucun nom libre pour sa copie";
        return;
    }
    const std::optional<FileStamp> stamp = stampOfFile(source);
    if (stamp && records.upToDate(job.names.page, job.names.maker, recipe, source, *stamp, webSize,
                                  webSize)) {
        job.result.path = job.names.page;
        job.upToDate = true;
        return;
    }
    std::optional<ImageHeader> header;
    {
        const MemoryHold hold(memory, stamp ? 2 * static_cast<std::uint64_t>(stamp->size) : 0);
        header = pingImageFile(source, job.result.error);
    }
    if (!header) return;
    const std::size_t longest = std::max(header->width, header->height);
    bool made = false;
    // Browsers do not show HEIC or TIFF: those are always made as JPEG copies.
    if (browserShows(header->format) &&
        (webSize == 0 || (longest <= webSize && header->format != ImageFormat::JPEG))) {
        const MemoryHold hold(memory, stamp ? static_cast<std::uint64_t>(stamp->size) : 0);
        std::optional<FileBytes> bytes = readImageFile(source, job.result.error);
        made = bytes && dropLocation(*bytes, keepLocation, job.result) &&
               writeCopy(job.names.page,
                         {reinterpret_cast<const char*>(bytes->data.data()), bytes->data.size()},
                         job.result.error);
    } else {
        made = makeWebCopy(source, job.names.page, *header, webSize, memory, job.result.error);
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
    const unsigned webSize = page.webSize;
    const bool keepLocation = page.keepLocation != 0;
    const std::string recipe = portableCopyRecipe(webSize, keepLocation);
    const std::string recordFile = ThumbnailRecords::fileIn(folder);
    ThumbnailRecords previous;
    previous.load(recordFile);
    std::vector<CopyJob> jobs(sources.size());
    {
        std::vector<ThumbnailNames> names =
            uniqueThumbnailNames(sources, folder, true, 0, previous, page.pagePath);
        for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i].names = std::move(names[i]);
    }
    ThumbnailRecords records = previous;
    MemoryGate memory(kCopyBudget);
    bool changed = false;
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSave = Clock::now();
    std::string ignored;  // without the record, copies are only made again
    runOrdered(
        sources.size(), workers,
        [&](std::size_t i) {
            try {
                makeCopyJob(jobs[i], *sources[i], webSize, keepLocation, recipe, previous, memory);
            } catch (const std::exception&) {
                jobs[i].result = PortableCopy{{}, "mémoire insuffisante"};
            }
        },
        [&](std::size_t i) {
            CopyJob& job = jobs[i];
            if (job.upToDate) changed = true;
            if (job.record) {
                job.record->thumbnail = job.names.page;
                job.record->maker = job.names.maker;
                job.record->recipe = recipe;
                job.record->source = *sources[i];
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
    if (changed) {
        records.dropMissingThumbnails();
        records.save(recordFile, ignored);
    }
    return copies;
}

}  // namespace lumigal
