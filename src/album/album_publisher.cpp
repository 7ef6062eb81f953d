#include "album_publisher.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "album/camera_line.h"
#include "album/gallery_names.h"
#include "album/memory_gate.h"
#include "album/ordered_pool.h"
#include "album/photo_order.h"
#include "album/portable_copies.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "common/paths.h"
#include "thumbnail_job.h"

namespace lumigal {

namespace {

// Places one image, once its thumbnail is made. An image whose header
// cannot be read, or whose thumbnail cannot be made, is left out (false).
bool placeThumbnail(const std::string* source, ThumbnailJob& job, const PageSettings& page,
                    ProgressObserver& progress, const PlaceThumbnail& place) {
    progress.setLabel(*source);
    if (!job.header) {
        progress.imageFailed(*source, job.error);
        return false;
    }
    const bool suitable = page.onlyIfSuitable && job.header->width < page.width &&
                          job.header->height < page.height;
    PlacedThumbnail placed;
    placed.source = source;
    placed.caption = std::move(job.caption);
    placed.metadata = &job.metadata;
    placed.sourceWidth = job.header->width;
    placed.sourceHeight = job.header->height;
    if (job.video) placed.video = &*job.video;
    if (suitable) {
        placed.showsSource = true;
        placed.size = {static_cast<unsigned>(job.header->width), static_cast<unsigned>(job.header->height)};
    } else if (job.made == kThumbnailWritten) {
        placed.thumbnail = job.names.page;
        if (job.size2x) placed.thumbnail2x = job.names2x.page;
        placed.size = thumbnailSizeOf(*job.header, page);
    } else {
        progress.imageFailed(*source, job.error);
        return false;
    }
    place(placed);
    return true;
}


// The file a thumbnail's pixels come from: a portable album's copy (the
// file checked when it was copied), else the source.
const std::string& pixelsOf(const std::string* source, const PageSettings& page,
                            const LinkTargets& targets) {
    return page.portable ? targets.of(source) : *source;
}

}  // namespace

std::string fileNameOf(const std::string& path) {
    const PathParts parts = splitPath(path);
    return parts.baseName + parts.extension;
}

void stopWhenCancelled(const ProgressObserver& progress) {
    if (progress.cancelled()) throw GenerationCancelled{};
}

void makeThumbnails(const std::vector<const std::string*>& paths,
                    std::vector<const std::string*>& placed, const PageSettings& page,
                    const Preferences& prefs, int workers, LinkTargets& targets,
                    ProgressObserver& progress, const PlaceThumbnail& place) {
    const std::string folder = thumbnailFolder(page, prefs);
    if (page.portable) {
        std::error_code ignored;  // a folder that cannot be made fails each thumbnail
        std::filesystem::create_directories(folder, ignored);
    }
    const std::size_t count = paths.size();
    const std::string recordFile = ThumbnailRecords::fileIn(folder);
    ThumbnailRecords previous;  // read by the workers
    previous.load(recordFile);
    ThumbnailRecords records = previous;  // brought up to date by the calling thread
    // A page of another folder cannot tell which of its thumbnails it
    // still links.
    const std::string pageName = page.portable ? pageNameOf(page) : kForeignPage;
    bool changed = false;
    std::vector<ThumbnailJob> jobs(count);
    {
        const ThumbnailFormat format = thumbnailFormat(page);
        std::vector<ThumbnailNames> names2x;
        std::vector<ThumbnailNames> names = uniqueThumbnailNames(
            paths, folder, format.keepSameFormat, format.newFormat, previous, page.pagePath,
            makesPhotoThumbnails(page) ? &names2x : nullptr);
        changed = claimNewNames(records, names, pageName, recordFile);
        changed = claimNewNames(records, names2x, pageName, recordFile) || changed;
        for (std::size_t i = 0; i < count; ++i) jobs[i].names = std::move(names[i]);
        for (std::size_t i = 0; i < names2x.size(); ++i) jobs[i].names2x = std::move(names2x[i]);
    }
    MemoryGate memory(kDecodeBudget);
    // The record is also saved as the run goes, so that a run that is
    // killed leaves its finished thumbnails known as ours (the next run
    // keeps them instead of making them again under new names).
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSave = Clock::now();
    std::string ignored;  // without the record, thumbnails are only made again
    // A new thumbnail of job i goes into the record.
    const auto recordNew = [&](std::size_t i, ThumbnailJob& job) {
        const auto put = [&](ThumbnailRecord& r, ThumbnailNames& names, std::string recipe) {
            r.thumbnail = std::move(names.page);
            r.maker = std::move(names.maker);
            r.recipe = std::move(recipe);
            r.source = *paths[i];
            r.pages = {pageName};
            records.put(std::move(r));
        };
        put(*job.record, job.names, recipeOf(page));
        if (job.record2x) put(*job.record2x, job.names2x, recipe2xOf(page));
        changed = true;
    };
    try {
    runOrdered(
        count, workers,
        [&](std::size_t i) {
            if (progress.cancelled()) return;  // not started: nothing to undo
            try {
                makeThumbnailJob(jobs[i], *paths[i], pixelsOf(paths[i], page, targets), page,
                                 previous, memory);
            } catch (const std::exception&) {
                jobs[i].made = kThumbnailNotMade;
                jobs[i].error = "mémoire insuffisante";
            }
        },
        [&](std::size_t i) {
            stopWhenCancelled(progress);
            ThumbnailJob& job = jobs[i];
            if (placeThumbnail(paths[i], job, page, progress, place)) {
                placed.push_back(paths[i]);
                if (job.made == kThumbnailWritten) targets.addThumbnail(job.names.page);
                if (job.size2x) targets.addThumbnail(job.names2x.page);
            }
            progress.setPosition(static_cast<int>(i));
            if (job.upToDate) {
                records.addPage(job.names.page, pageName);
                if (job.size2x) records.addPage(job.names2x.page, pageName);
                changed = true;  // `records` holds it already, as a copy of `previous`
            } else if (job.record) {
                recordNew(i, job);
                if (Clock::now() - lastSave >= std::chrono::seconds(1)) {
                    records.save(recordFile, ignored);
                    lastSave = Clock::now();
                }
            }
            job = ThumbnailJob{};  // what is delivered is no longer needed
        });
    } catch (const GenerationCancelled&) {
        // The thumbnails finished so far are whole: they stay, recorded as
        // ours, delivered or not (the jobs running at the stop have ended).
        for (std::size_t i = 0; i < count; ++i) {
            ThumbnailJob& job = jobs[i];
            if (job.record) recordNew(i, job);
        }
        if (changed) records.save(recordFile, ignored);
        throw;
    }
    if (changed || previous.outdated()) {
        records.dropMissingThumbnails();  // the record file does not grow without end
        records.save(recordFile, ignored);
    }
}

void copyForPortableAlbum(std::vector<const std::string*>& paths, LinkTargets& targets,
                          const PageSettings& page, int workers, ProgressObserver& progress) {
    std::vector<PortableCopy> copies = makePortableCopies(paths, page, workers);
    std::vector<const std::string*> copied;
    copied.reserve(paths.size());
    int located = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (copies[i].path.empty()) {
            progress.imageFailed(*paths[i], copies[i].error);
            continue;
        }
        if (copies[i].locationsRemoved > 0) ++located;
        targets.setCopy(paths[i], std::move(copies[i].path));
        copied.push_back(paths[i]);
    }
    paths = std::move(copied);
    if (located > 0) progress.locationsRemoved(located);
}

namespace {

std::string relativeTo(const std::string& path, const std::string& folder) {
    return std::filesystem::path(path).lexically_relative(folder).generic_string();
}

}  // namespace

PublishedImages publishAlbumImages(std::vector<const std::string*> paths, const PageSettings& page,
                                   const Preferences& prefs, int workers,
                                   ProgressObserver& progress, const std::string& outputFolder) {
    PublishedImages published;
    LinkTargets targets;
    copyForPortableAlbum(paths, targets, page, workers, progress);
    stopWhenCancelled(progress);
    std::vector<const std::string*> placed;
    published.images.reserve(paths.size());
    makeThumbnails(paths, placed, page, prefs, workers, targets, progress, [&](const PlacedThumbnail& t) {
        const std::string& copy = targets.of(t.source);
        AlbumImage image;
        image.source = *t.source;
        image.name = fileNameOf(*t.source);
        image.caption = t.caption;
        if (t.video) {
            image.taken = captureTimeFrom(t.video->captureTime, t.video->captureOffset);
            image.video = AlbumVideo{t.video->duration, t.video->codec, playsInBrowsers(*t.video)};
        } else if (t.metadata) {
            image.taken = captureTimeFrom(t.metadata->captureTime, t.metadata->captureOffset);
            image.camera = cameraLine(*t.metadata);
        }
        struct stat info {};
        if (!image.taken && ::stat(t.source->c_str(), &info) == 0) {
            image.taken = fileTime(std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec);
        }
        image.link = relativeTo(copy, outputFolder);
        if (::stat(copy.c_str(), &info) == 0) image.linkBytes = static_cast<std::uint64_t>(info.st_size);
        // A video is published as it is, whatever the web size.
        const CopySize shown = t.video ? CopySize{t.sourceWidth, t.sourceHeight}
                                       : webCopySize(t.sourceWidth, t.sourceHeight, page.webSize);
        image.width = static_cast<unsigned>(shown.width);
        image.height = static_cast<unsigned>(shown.height);
        image.linksOriginal = page.webSize == 0 || t.video || (shown.width == t.sourceWidth &&
                                                    shown.height == t.sourceHeight &&
                                                    fileExtension(copy) == fileExtension(*t.source));
        image.thumbnail = {t.showsSource ? image.link : relativeTo(t.thumbnail, outputFolder),
                           t.size.width, t.size.height};
        if (!t.thumbnail2x.empty()) {
            image.thumbnail2x = {relativeTo(t.thumbnail2x, outputFolder), 2 * t.size.width, 2 * t.size.height};
        }
        published.copies.push_back(copy);
        published.images.push_back(std::move(image));
    });
    published.thumbnails = targets.thumbnails();
    std::vector<std::string> names;
    names.reserve(published.images.size());
    for (const AlbumImage& image : published.images) names.push_back(image.name);
    std::vector<std::string> ids = photoIds(names);
    for (std::size_t i = 0; i < ids.size(); ++i) published.images[i].id = std::move(ids[i]);
    return published;
}

}  // namespace lumigal
