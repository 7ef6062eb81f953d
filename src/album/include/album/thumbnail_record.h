// The record kept beside the thumbnails: for each thumbnail file, the
// source it was made from (path, stamp, dimensions) and the settings it was
// made with. An unchanged source whose thumbnail is still there, unchanged,
// needs no new thumbnail.
//
// The record is one text file in the thumbnail folder, replaced as a whole
// (never written in place). A damaged or foreign file is ignored, as are
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

struct ThumbnailRecord {
    std::string thumbnail;  // the thumbnail file (the page name)
    std::string maker;      // the name given to the maker (format prefix included)
    std::string recipe;     // the maker's options and their version
    std::string source;     // the source path
    FileStamp sourceStamp;
    std::size_t sourceWidth = 0, sourceHeight = 0;
    unsigned width = 0, height = 0;  // the thumbnail's size
    FileStamp thumbnailStamp;
};

class ThumbnailRecords {
public:
    // The record file of a thumbnail folder.
    static std::string fileIn(const std::string& folder);

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

    // The record of `thumbnail` when it describes exactly this source,
    // stamp, maker name, recipe and size, and the thumbnail file still has
    // the stamp recorded for it.
    const ThumbnailRecord* upToDate(const std::string& thumbnail, const std::string& maker,
                                    const std::string& recipe, const std::string& source,
                                    const FileStamp& sourceStamp, unsigned width,
                                    unsigned height) const;

    // The record of `thumbnail`, whatever it describes; nullptr when there is none.
    const ThumbnailRecord* find(const std::string& thumbnail) const;

    void put(ThumbnailRecord record);
    void erase(const std::string& thumbnail);
    // Forgets the records whose thumbnail file is gone (such a record can
    // never be up to date again).
    void dropMissingThumbnails();
    std::size_t size() const { return records_.size(); }

    // One line of the file, and back (nullopt for a damaged line). A line of
    // an earlier version (no inodes, no change times) reads with stamps
    // that match no file.
    static std::string toLine(const ThumbnailRecord& record);
    static std::optional<ThumbnailRecord> fromLine(const std::string& line);

private:
    std::unordered_map<std::string, ThumbnailRecord> records_;
};

}  // namespace lumigal
