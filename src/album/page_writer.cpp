#include "album/page_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "album/album_folder.h"
#include "album/captions.h"
#include "album/detail_block.h"
#include "album/html.h"
#include "imaging/image_io.h"
#include "album/memory_gate.h"
#include "album/modern_page.h"
#include "album/ordered_pool.h"
#include "album/page_file.h"
#include "album/portable_copies.h"
#include "album/published_source.h"
#include "imaging/thumbnail.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "common/paths.h"

namespace lumigal {

namespace {

std::string format(const char* fmt, auto... args) {
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string text(static_cast<std::size_t>(n), '\0');
    std::snprintf(text.data(), text.size() + 1, fmt, args...);
    return text;
}

// "%02d/%02d/%d %02d:%02d": day, month, year, hour, minute, in UTC.
std::string generationDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return format("%02d/%02d/%d %02d:%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900,
                  utc.tm_hour, utc.tm_min);
}

// What the observer is told when the page cannot be written, and why.
std::string pageFailure(const std::string& pagePath, const PageFile& out) {
    if (out.reason().empty()) return "Impossible de créer " + pagePath + "...";
    return "Impossible de créer " + pagePath + " : " + out.reason();
}

std::string tableTag(const PageSettings& page, bool first) {
    std::string tag = "<table border=\"" + std::to_string(page.table_border) + "\"";
    if (first) tag += " bordercolordark=\"" + htmlColour(page.table_bordercolordark) + "\"";
    tag += " bordercolor=\"" + htmlColour(page.table_bordercolor) + "\" cellspacing=\"" +
           std::to_string(page.table_cellspace) + "\" cellpadding=\"" +
           std::to_string(page.table_cellpadding) + "\">\r\n";
    return tag;
}

// The page's own folder, absolute.
std::string pageFolderOf(const PageSettings& page) {
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

// `shown` holds the paths the header lists (those of a portable album's
// copies, relative to its folder).
void writeHeader(PageFile& out, const PageSettings& page, const std::vector<std::string>& shown,
                 const PageLinks& links) {
    out.write("<HTML><HEAD>\r\n");
    out.write("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n");
    out.write("<TITLE>Lumigal v1.11</TITLE>\r\n");
    out.write("<META NAME=\"DESCRIPTION\" CONTENT=\"GENERATEUR Lumigal v1.11\">\r\n");
    out.write("</HEAD>\r\n");
    out.write("<body bgcolor=\"" + htmlColour(page.page_bgcolor) + "\" text=\"" +
              htmlColour(page.page_textcolor) +
              "\" link=\"#004080\" vlink=\"#004080\" alink=\"#004080\">\r\n");
    out.write("<BASEFONT FACE=\"Verdana\" SIZE=2>\r\n");
    out.write("<HR>\r\n");
    out.write("<CENTER><FONT SIZE=4><B>" + htmlEscape(page.pageTitle) + "</B></FONT></CENTER>\r\n");
    out.write("<center><table width=100%>\r\n");
    out.write("<tr><td ALIGN=LEFT><FONT SIZE=1>le " + generationDate() + "\r\n<br>");
    out.write("Fichier " + htmlEscape(links.shown(page.pagePath)) + "\r\n<BR><BR>");
    const int count = static_cast<int>(shown.size());
    out.write(format(count == 1 ? "%d image\r\n" : "%d images\r\n", count));
    out.write("<BR>\r\n");
    out.write("<HR><PRE><BASEFONT FACE=\"Verdana\" SIZE=2>\r\n");
    for (const std::string& path : shown) out.write("      " + htmlEscape(path) + "\r\n");
    out.write("</PRE></FONT></TD></TR></TABLE></CENTER>\r\n");
    out.write("<HR>\r\n");
    out.write("<font color=\"" + htmlColour(page.page_infocolor) + "\">\r\n");
}

}  // namespace

void WritePlainImage(std::string& out, const std::string& path, const PageLinks& links) {
    out += "<IMG SRC=\"" + links.url(path) + "\">\r\n";
}

void WritePageFooter(std::string& out) {
    const std::string home = kFooterHomePage;
    const std::size_t scheme = home.find("://");
    const std::string shown = scheme == std::string::npos ? home : home.substr(scheme + 3);
    out += "<br><center><table>\r\n";
    out += "<tr><td colspan=2><center><font face=\"Verdana\" size=1>fait par Lumigal version 1.11<br>";
    out += kFooterNotice;
    out += "</CENTER></TD></TR>\r\n";
    out += "<tr><td ALIGN=LEFT><FONT face=\"Verdana\" size=1><a href=\"mailto:";
    out += kFooterEmail;
    out += "\">";
    out += kFooterEmail;
    out += "</A></FONT></TD>\r\n";
    out += "<td ALIGN=RIGHT><FONT face=\"Verdana\" SIZE=1><A HREF=\"" + home + "\">" + shown +
           "</A></FONT></TD></TR>\r\n";
    out += "</TABLE></CENTER>\r\n";
    out += "</BODY></HTML>";
}

ThumbnailTable::ThumbnailTable(std::string& out, const PageSettings& page, const PageLinks& links)
    : out_(out), page_(page), links_(links) {}

void ThumbnailTable::open() { out_ += tableTag(page_, true); }

void ThumbnailTable::WriteThumbnailCell(const std::string& link, const std::string& image) {
    out_ += "<TD><A HREF=\"" + links_.url(link) + "\"><IMG SRC=\"" + links_.url(image) +
            "\"></TD>\r\n";
    ++rowCellCount_;
    if (rowCellCount_ == page_.nbThumbByLine) {
        rowCellCount_ = 0;
        out_ += "</table>\r\n";
        out_ += tableTag(page_, false);
    }
}

void ThumbnailTable::close() { out_ += "</table>\r\n"; }

FittedSize thumbnailSizeFor(std::size_t width, std::size_t height, unsigned boxWidth,
                            unsigned boxHeight, bool keepProportions) {
    if (!keepProportions || width == 0 || height == 0 || boxWidth == 0 || boxHeight == 0) {
        return {boxWidth, boxHeight};
    }
    // The side that limits takes the box's size; the other is rounded.
    if (std::uint64_t{width} * boxHeight >= std::uint64_t{height} * boxWidth) {
        const auto h = static_cast<unsigned>((std::uint64_t{height} * boxWidth * 2 + width) / (2 * width));
        return {boxWidth, std::max(1u, h)};
    }
    const auto w = static_cast<unsigned>((std::uint64_t{width} * boxHeight * 2 + height) / (2 * height));
    return {std::max(1u, w), boxHeight};
}

std::string thumbnailFolder(const PageSettings& page, const Preferences& prefs) {
    if (page.portable) {
        const std::string album = pageFolderOf(page);
        if (!prefs.pathThumbnail.empty()) {
            namespace fs = std::filesystem;
            const fs::path chosen = fs::path(absolutePath(prefs.pathThumbnail)).lexically_normal();
            const fs::path inside = chosen.lexically_relative(fs::path(album).lexically_normal());
            if (!inside.empty() && *inside.begin() != "..") return chosen.string();
        }
        return joinPath(album, kPortableThumbnailFolderName);
    }
    if (!prefs.pathThumbnail.empty()) return absolutePath(prefs.pathThumbnail);
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

namespace {

// What the workers may hold together. One job alone may take more.
constexpr std::uint64_t kDecodeBudget = std::uint64_t{96} << 20;

// About the memory that making a thumbnail of this source takes, as
// measured with this ImageMagick: its bytes (read twice: header, then
// pixels) and its decoded pixels at 8 bytes each, a JPEG being decoded
// shrunk but a progressive JPEG also keeping all its coefficients (2
// bytes per sample) unless it is read from its DC coefficients, a WebP
// decoded shrunk, a HEIF image from its thumbnail item when it has one
// large enough, and a large PNG or TIFF being reduced as it is read.
std::uint64_t decodeCost(const ImageHeader& header, unsigned width, unsigned height) {
    const std::uint64_t w = header.width, h = header.height;
    const auto fileBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, header.fileSize));
    if (width == 0 || height == 0) return w * h * 8 + 2 * fileBytes;
    if (header.format == ImageFormat::PNG && header.colors == 0 && !header.interlaced &&
        w >= 16 * std::uint64_t{width} && h >= 16 * std::uint64_t{height}) {
        return 3 * fileBytes + 64 * std::uint64_t{width} * height * 5 * 4;  // read row by row
    }
    const bool large = w >= 16 * std::uint64_t{width} && h >= 16 * std::uint64_t{height};
    // What is reduced as it is read holds 8 x 8 times the thumbnail's 5
    // running sums, besides the file and what its decoder keeps.
    const std::uint64_t reduced = 64 * std::uint64_t{width} * height * 5 * 4;
    switch (header.format) {
        case ImageFormat::WEBP:  // decoded at twice the thumbnail
            return 3 * fileBytes + 4 * std::uint64_t{width} * height * 4 * 8;
        case ImageFormat::HEIC:
        case ImageFormat::AVIF: {
            const std::uint64_t pw = header.previewWidth, ph = header.previewHeight;
            if (std::min(pw, ph) >= 2 * std::uint64_t{std::min(width, height)} &&
                std::max(pw, ph) >= 2 * std::uint64_t{std::max(width, height)}) {
                return pw * ph * 8 + 2 * fileBytes;  // its thumbnail item
            }
            // A grid a row of tiles at a time: the file, the copy its tiles
            // are read from and the header read's, a row of tiles (up to
            // 1024 pixels high, along the longer side: a turned grid's rows
            // run down the image as shown) and the sums (a 50-megapixel grid
            // measured at 39 MB in all).
            if (large && header.tiled) {
                return 3 * fileBytes + reduced +
                       std::max(w, h) * std::min<std::uint64_t>(std::min(w, h), 1024) * 3;
            }
            // The decoder's frame, libheif's copy and its RGB rows, measured
            // at 12 to 14 bytes a pixel with the AV1 and HEVC decoders.
            return w * h * (large ? 14 : 22) + 2 * fileBytes;
        }
        case ImageFormat::TIFF:
            if (large && header.rowReadable) return 3 * fileBytes + reduced;
            return w * h * 8 + 2 * fileBytes;
        default:
            break;
    }
    if (header.format != ImageFormat::JPEG) return w * h * 8 + 2 * fileBytes;
    const std::uint64_t d = std::min<std::uint64_t>(
        8, std::max<std::uint64_t>(1, std::min(w / (2 * std::uint64_t{width}),
                                               h / (2 * std::uint64_t{height}))));
    const std::uint64_t decoded = ((w + d - 1) / d) * ((h + d - 1) / d) * 8;
    // At 1/8 a progressive JPEG is read from its DC coefficients alone.
    const bool dcOnly = d == 8 && header.eighthReadable;
    const std::uint64_t coefficients = header.interlaced && !dcOnly ? w * h * 6 : 0;
    return decoded + coefficients + 2 * fileBytes;
}

// Thrown on the calling thread when the observer says the work is to stop.
struct GenerationCancelled {};

void stopWhenCancelled(const ProgressObserver& progress) {
    if (progress.cancelled()) throw GenerationCancelled{};
}

// What the workers found out about one image, for the calling thread.
struct ThumbnailJob {
    ThumbnailNames names;  // empty when no free name was found
    // Filled by the worker:
    std::optional<ImageHeader> header;
    int made = kThumbnailNotMade;
    std::string error;
    std::string caption;  // for the modern page
    // The thumbnail was found up to date: its record is already there.
    bool upToDate = false;
    // The record of a new thumbnail, without its names: the calling thread
    // fills them in, so that what stays until the end is not allocated
    // among a worker's short-lived buffers, where it would keep the
    // worker's heap from being reused.
    std::optional<ThumbnailRecord> record;
};

// A portable album with web copies makes its thumbnails from the copies.
bool thumbnailsFromWebCopies(const PageSettings& page) { return page.portable && page.webSize > 0; }

std::string recipeOf(const PageSettings& page) {
    std::string recipe = keepsProportions(page) ? kFittedThumbnailRecipe : kThumbnailRecipe;
    if (thumbnailsFromWebCopies(page)) recipe += " -from-web-copy " + std::to_string(page.webSize);
    return recipe;
}

FittedSize thumbnailSizeOf(const ImageHeader& header, const PageSettings& page) {
    return thumbnailSizeFor(header.width, header.height, page.width, page.height,
                            keepsProportions(page));
}

// Whether `copy` is a copy of `source` in another format: its name then
// ends otherwise (a copy byte for byte keeps the source's extension).
bool reencoded(const std::string& copy, const std::string& source) {
    if (&copy == &source) return false;
    const std::string a = splitPath(copy).extension, b = splitPath(source).extension;
    return !std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Makes (or finds up to date) the thumbnail of one image; runs on a worker.
// Its pixels come from `pixels`: the source itself, or its web copy (as
// upright as the source is shown, and a fraction of its size to decode).
void makeThumbnailJob(ThumbnailJob& job, const std::string& source, const std::string& pixels,
                      const PageSettings& page, const ThumbnailRecords& records, MemoryGate& memory) {
    // A byte-for-byte copy is read rather than its source: it is the file
    // that was checked, whatever the source's name leads to now.
    const std::string& shown = page.portable && page.webSize == 0 ? pixels : source;
    const bool captioned = page.style == kStyleModern;
    // A copy made in another format (a HEIC or TIFF as JPEG) carries no
    // metadata: the caption is the source's.
    const std::string& described = reencoded(shown, source) ? source : shown;
    if (job.names.page.empty()) {
        job.error = "aucun nom libre pour sa vignette";
        return;
    }
    const std::optional<FileStamp> stamp = stampOfFile(source);
    if (stamp) {
        if (const ThumbnailRecord* r = records.upToDate(job.names.page, job.names.maker,
                                                        recipeOf(page), source, *stamp,
                                                        page.width, page.height)) {
            ImageHeader header;
            header.width = r->sourceWidth;
            header.height = r->sourceHeight;
            job.header = header;
            job.made = kThumbnailWritten;
            job.upToDate = true;
            if (captioned) job.caption = imageCaption(described);
            return;
        }
    }
    {
        // The header read holds the file's bytes (twice while it strips
        // metadata): it waits for its share too.
        const std::uint64_t bytes = stamp ? 2 * static_cast<std::uint64_t>(stamp->size) : 0;
        const MemoryHold hold(memory, bytes);
        PhotoMetadata metadata;
        job.header = pingImageFile(shown, job.error, captioned && &described == &shown ? &metadata : nullptr);
        job.caption = &described == &shown ? std::move(metadata.caption) : imageCaption(described);
    }
    if (!job.header) return;
    // The page shows the source's size; the copy's header says what its
    // decoding costs.
    std::optional<ImageHeader> decoded = job.header;
    if (&pixels != &shown) {
        decoded = pingImageFile(pixels, job.error);
        if (!decoded) return;
    }
    const FittedSize size = thumbnailSizeOf(*job.header, page);
    EncodedThumbnail encoded;
    {
        const MemoryHold hold(memory, decodeCost(*decoded, size.width, size.height));
        job.made = RenderThumbnail({"Lumigal", "-quality", "99", "-contrast", pixels, job.names.maker},
                                   ThumbnailSize{size.width, size.height}, encoded, &job.error);
    }
    if (job.made != kThumbnailWritten) return;
    struct stat from {};
    encoded.mode = ::stat(pixels.c_str(), &from) == 0 ? publishedMode(from.st_mode) : 0600;
    if (!writeThumbnailFile(encoded, job.error)) {
        job.made = kThumbnailNotMade;
        return;
    }
    const std::optional<FileStamp> written = stampOfFile(job.names.page);
    if (!stamp || !written) return;
    ThumbnailRecord r;
    r.sourceStamp = *stamp;
    r.sourceWidth = job.header->width;
    r.sourceHeight = job.header->height;
    r.width = page.width;
    r.height = page.height;
    r.thumbnailStamp = *written;
    job.record = std::move(r);
}

// A thumbnail placed on the page: what the page shows for `source` (its
// thumbnail, or the source itself), at what size, with the image's caption.
struct PlacedThumbnail {
    const std::string* source = nullptr;
    bool showsSource = false;
    std::string thumbnail;
    FittedSize size;
    std::string caption;
};
using PlaceThumbnail = std::function<void(const PlacedThumbnail&)>;

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
    if (suitable) {
        placed.showsSource = true;
        placed.size = {static_cast<unsigned>(job.header->width), static_cast<unsigned>(job.header->height)};
    } else if (job.made == kThumbnailWritten) {
        placed.thumbnail = job.names.page;
        placed.size = thumbnailSizeOf(*job.header, page);
    } else {
        progress.imageFailed(*source, job.error);
        return false;
    }
    place(placed);
    return true;
}

// What the page links to for each source: a portable album's copy, or the
// source itself.
class LinkTargets {
public:
    void setCopy(const std::string* source, std::string copy) { copies_[source] = std::move(copy); }
    const std::string& of(const std::string* source) const {
        const auto it = copies_.find(source);
        return it == copies_.end() ? *source : it->second;
    }
    // The thumbnails the page shows.
    void addThumbnail(std::string thumbnail) { thumbnails_.push_back(std::move(thumbnail)); }
    const std::vector<std::string>& thumbnails() const { return thumbnails_; }

private:
    std::unordered_map<const std::string*, std::string> copies_;
    std::vector<std::string> thumbnails_;
};

// The file a thumbnail's pixels come from: a portable album's copy (the
// file checked when it was copied), else the source.
const std::string& pixelsOf(const std::string* source, const PageSettings& page,
                            const LinkTargets& targets) {
    return page.portable ? targets.of(source) : *source;
}

// Makes the thumbnails of the page with `workers` workers and places each
// image that has one, in order; `placed` gets the images placed.
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
        std::vector<ThumbnailNames> names = uniqueThumbnailNames(
            paths, folder, format.keepSameFormat, format.newFormat, previous, page.pagePath);
        changed = claimNewNames(records, names, pageName, recordFile);
        for (std::size_t i = 0; i < count; ++i) jobs[i].names = std::move(names[i]);
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
        job.record->thumbnail = std::move(job.names.page);
        job.record->maker = std::move(job.names.maker);
        job.record->recipe = recipeOf(page);
        job.record->source = *paths[i];
        job.record->pages = {pageName};
        records.put(std::move(*job.record));
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
            }
            progress.setPosition(static_cast<int>(i));
            if (job.upToDate) {
                records.addPage(job.names.page, pageName);
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

// A portable album's copies; the sources without one are left out of
// `paths` (and reported).
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

std::string fileNameOf(const std::string& path) {
    const PathParts parts = splitPath(path);
    return parts.baseName + parts.extension;
}

// The body of the classic page (everything after its header).
std::string classicBody(const std::vector<const std::string*>& paths,
                        std::vector<const std::string*>& placed, const PageSettings& page,
                        const Preferences& prefs, int workers, const PageLinks& links,
                        LinkTargets& targets, ProgressObserver& progress) {
    std::string images;
    const bool thumbnails = page.thumbnail != 0;
    const bool details = !thumbnails && page.details != 0;
    const std::string separator = page.position == 2 ? "<hr>\r\n" : "<br><hr>\r\n";
    if (thumbnails) {
        ThumbnailTable table(images, page, links);
        table.open();
        makeThumbnails(paths, placed, page, prefs, workers, targets, progress, [&](const PlacedThumbnail& t) {
            const std::string& target = targets.of(t.source);
            table.WriteThumbnailCell(target, t.showsSource ? target : t.thumbnail);
        });
        table.close();
    } else {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            stopWhenCancelled(progress);
            const std::string& path = *paths[i];
            const std::string& target = targets.of(paths[i]);
            std::string error;
            if (details) {
                ImageDetails imageDetails;
                if (ReadImageDetails(path, imageDetails, error) != 0) {
                    progress.imageFailed(path, error);
                    continue;
                }
                if (links.relative()) imageDetails.folder = splitPath(links.shown(target)).folder;
                images += FormatDetailBlockWithSource(links.url(target), imageDetails, page.position,
                                                      page.center != 0, page.page_infocolor);
            } else {
                if (!pingImageFile(path, error)) {
                    progress.imageFailed(path, error);
                    continue;
                }
                WritePlainImage(images, target, links);
            }
            placed.push_back(paths[i]);
            progress.setLabel(path);
            progress.setPosition(static_cast<int>(i));
            if (page.line) images += separator;
        }
    }
    if (!page.line) images += "<hr>\r\n";
    WritePageFooter(images);
    return images;
}

// The images of the modern page.
std::vector<ModernImage> modernImages(const std::vector<const std::string*>& paths,
                                      std::vector<const std::string*>& placed,
                                      const PageSettings& page, const Preferences& prefs,
                                      int workers, const PageLinks& links,
                                      LinkTargets& targets, ProgressObserver& progress) {
    std::vector<ModernImage> images;
    images.reserve(paths.size());
    if (page.thumbnail) {
        makeThumbnails(paths, placed, page, prefs, workers, targets, progress, [&](const PlacedThumbnail& t) {
            const std::string& target = targets.of(t.source);
            ModernImage image;
            image.name = fileNameOf(*t.source);
            image.caption = t.caption;
            image.linkUrl = links.url(target);
            image.shownUrl = t.showsSource ? image.linkUrl : links.url(t.thumbnail);
            image.shownWidth = t.size.width;
            image.shownHeight = t.size.height;
            images.push_back(std::move(image));
        });
        return images;
    }
    const bool details = page.details != 0;
    const unsigned webSize = page.portable ? page.webSize : 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        stopWhenCancelled(progress);
        const std::string& path = *paths[i];
        ModernImage image;
        std::string error;
        std::size_t width = 0, height = 0;
        if (details) {
            if (ReadImageDetails(path, image.details, error) != 0) {
                progress.imageFailed(path, error);
                continue;
            }
            width = image.details.width;
            height = image.details.height;
        } else {
            const std::optional<ImageHeader> header = pingImageFile(path, error);
            if (!header) {
                progress.imageFailed(path, error);
                continue;
            }
            width = header->width;
            height = header->height;
        }
        const CopySize shown = webCopySize(width, height, webSize);
        image.name = fileNameOf(path);
        image.caption = imageCaption(path);
        image.linkUrl = links.url(targets.of(paths[i]));
        image.shownUrl = image.linkUrl;
        image.shownWidth = shown.width;
        image.shownHeight = shown.height;
        images.push_back(std::move(image));
        placed.push_back(paths[i]);
        progress.setLabel(path);
        progress.setPosition(static_cast<int>(i));
    }
    return images;
}

}  // namespace

int GenerateAlbumPage(int count, const PageSettings& page, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress) {
    return GenerateAlbumPage(count, page, prefs, files, progress, AlbumRunOptions{});
}

int GenerateAlbumPage(int count, const PageSettings& settings, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress,
                      const AlbumRunOptions& run) {
    // The thumbnails of the page's style: the classic page's are the stored
    // width and height, the modern page's its own.
    PageSettings page = settings;
    setThumbnailSize(page, kStyleClassic, thumbnailSize(settings, settings.style));
    std::vector<const std::string*> paths = files.inPageOrder(page.tri != 0, count);
    progress.started(static_cast<int>(paths.size()));

    // Two runs into one folder would mix their albums: the second stops.
    std::string busy;
    const std::optional<AlbumLock> lock = AlbumLock::take(pageFolderOf(page), busy);
    if (!lock) {
        progress.failed("Impossible de créer " + page.pagePath + " : " + busy);
        return 1;
    }
    PageFile out;
    if (!out.create(page.pagePath)) {
        progress.failed(pageFailure(page.pagePath, out));
        return 1;
    }
    const int workers = run.workers > 0 ? run.workers : defaultWorkerCount();
    const PageLinks links = page.portable ? PageLinks::relativeTo(pageFolderOf(page)) : PageLinks();
    LinkTargets targets;
    // The images come first: the header lists only those that are placed.
    std::vector<const std::string*> placed;
    try {
    if (page.portable) copyForPortableAlbum(paths, targets, page, workers, progress);
    placed.reserve(paths.size());
    if (page.style == kStyleModern) {
        const std::vector<ModernImage> images =
            modernImages(paths, placed, page, prefs, workers, links, targets, progress);
        out.write(ModernPage(page, images, generationDate()));
    } else {
        const std::string body =
            classicBody(paths, placed, page, prefs, workers, links, targets, progress);
        std::vector<std::string> shown;
        shown.reserve(placed.size());
        for (const std::string* path : placed) shown.push_back(links.shown(targets.of(path)));
        writeHeader(out, page, shown, links);
        out.write(body);
    }
    stopWhenCancelled(progress);
    } catch (const GenerationCancelled&) {
        return 2;  // the temporary page goes with `out`
    }
    if (!out.commit()) {
        progress.failed(pageFailure(page.pagePath, out));
        return 1;
    }
    if (page.portable) {
        // What this page made and links no more (images left out, or made
        // by a run that was stopped) goes.
        std::vector<std::string> copies;
        for (const std::string* path : placed) copies.push_back(targets.of(path));
        removeUnlinkedFiles(joinPath(pageFolderOf(page), kImagesFolderName), pageNameOf(page), copies);
        removeUnlinkedFiles(thumbnailFolder(page, prefs), pageNameOf(page), targets.thumbnails());
    }
    return 0;
}

}  // namespace lumigal
