// The record kept beside the thumbnails: for each thumbnail file, the
// source it was made from (its stamp and dimensions) and the settings it was
// made with. An unchanged source whose thumbnail is still there, unchanged,
// needs no new thumbnail.
//
// The record is one text file in the thumbnail folder, replaced as a whole
// (never written in place). It names no path outside its folder: the files
// by their names in the folder, a source only by its stamp (size, times and
// inode, which tell one file from any other), the pages that link a file
// by their names in their own folder, so that an album published with its
// record shows nothing of the machine it was made on. Records of earlier
// versions (absolute paths) are read and written back in this form. A damaged or foreign file is ignored, as are
// damaged lines: the thumbnails they describe are simply made again. Only a
// regular file of bounded size is read, so nothing planted under its name (a
// pipe, a link to a device, a huge file) can hold up a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumigal {

// What a file looks like on disk. The inode and the change time tell a file
// rewritten in place, or replaced, even when its size and modification time
// were kept. A stamp read from a record of an earlier version has neither
// (0): it matches no file.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of a regular file; nullopt for anything else.
std::optional<FileStamp> stampOfFile(const std::string& path);

// A page that no run of this folder's album can vouch for: a page in
// another folder, or one of an earlier version's records. A file it links
// is never removed as unlinked.
inline constexpr const char* kForeignPage = "*";

struct ThumbnailRecord {
    std::string thumbnail;  // the thumbnail file (the page name)
    std::string maker;      // the name given to the maker (format prefix included)
    std::string recipe;     // the maker's options and their version
    // The source path, while the run that made the record holds it; never
    // written (a record read back has none, and its stamp alone tells).
    std::string source;
    FileStamp sourceStamp;
    std::size_t sourceWidth = 0, sourceHeight = 0;
    unsigned width = 0, height = 0;  // the thumbnail's size
    FileStamp thumbnailStamp;
    // The pages that link the file (their file names, or kForeignPage).
    std::vector<std::string> pages;

    // A name taken by a run before it writes the file: what is found under
    // it later, even after a killed run, is ours.
    bool claimed() const;
};

// The recipe of a claimed name.
inline constexpr const char* kClaimedRecipe = "claimed";

class ThumbnailRecords {
public:
    // The record file of a thumbnail folder.
    static std::string fileIn(const std::string& folder);
    // The names, in `folder`, of the files its record says are ours (read
    // only: nothing in the folder is changed).
    static std::vector<std::string> namesIn(const std::string& folder);

    // Reads the record file; a missing or damaged file gives no records,
    // and so does anything but a regular file of at most kMaxFileBytes.
    // Our temporaries left in the folder by a killed run are removed. The
    // thumbnail of an earlier version's line that still has its recorded
    // size and time takes the inode and change time it has now (the most
    // that line could tell); its source stamp matches no file, so the
    // thumbnail is made again once, under its name.
    void load(const std::string& path);
    // Writes all records through a temporary file renamed into place. The
    // name is replaced whatever it holds (the rename never writes through a
    // link or into a pipe), except a folder.
    bool save(const std::string& path, std::string& error) const;

    static constexpr std::size_t kMaxFileBytes = std::size_t{32} << 20;
    static constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;

    // The record of `thumbnail` when it describes exactly this source
    // stamp, maker name, recipe and size (and this source path, when the
    // record still holds one), and the thumbnail file still has the stamp
    // recorded for it.
    const ThumbnailRecord* upToDate(const std::string& thumbnail, const std::string& maker,
                                    const std::string& recipe, const std::string& source,
                                    const FileStamp& sourceStamp, unsigned width,
                                    unsigned height) const;

    // The record of `thumbnail`, whatever it describes; nullptr when there is none.
    const ThumbnailRecord* find(const std::string& thumbnail) const;

    // Puts the record in place of the one of its file; the pages that
    // linked that file still do.
    void put(ThumbnailRecord record);
    void erase(const std::string& thumbnail);
    // Takes the name for `page` before its file is written (see claimed()).
    void claim(const std::string& thumbnail, const std::string& maker, const std::string& page);
    // The file is linked by `page` (a name it has no record of is ignored).
    void addPage(const std::string& thumbnail, const std::string& page);
    // Removes the files that `page` linked and no longer does (`linked`
    // holds what it links now) when no other page links them, with their
    // records; a file changed since it was recorded is not ours: only its
    // record goes. Returns the number of files removed.
    std::size_t removeUnlinked(const std::string& page, const std::vector<std::string>& linked);
    // Forgets the records whose thumbnail file is gone (such a record can
    // never be up to date again).
    void dropMissingThumbnails();
    std::size_t size() const { return records_.size(); }
    // The file read was of an earlier version: it is to be written again.
    bool outdated() const { return outdated_; }

    // One line of the file, and back (nullopt for a damaged line), the
    // file names relative to `folder` (the record's folder, "" for none).
    // A line of version 1 (no inodes, no change times) reads with stamps
    // that match no file; one of version 1 or 2 names its files and its
    // source by their paths (the source is not kept, its pages are
    // foreign). toLine gives nothing for a file outside `folder`.
    static std::string toLine(const ThumbnailRecord& record, const std::string& folder = {});
    static std::optional<ThumbnailRecord> fromLine(const std::string& line,
                                                   const std::string& folder = {},
                                                   int version = 3);

private:
    std::unordered_map<std::string, ThumbnailRecord> records_;
    bool outdated_ = false;
};

}  // namespace lumigal
