#include "album/thumbnail_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <sstream>

#include "common/paths.h"
#include "platform/atomic_file.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace lumigal {

namespace {

// Version 1 lines have no inodes and no change times; versions 1 and 2
// name the files and the source by their paths, and no pages.
constexpr std::string_view kHeader = "lumigal-vignettes 3";
constexpr std::string_view kHeaderVersion2 = "lumigal-vignettes 2";
constexpr std::string_view kHeaderVersion1 = "lumigal-vignettes 1";
constexpr const char* kFileName = ".lumigal-vignettes";
constexpr std::size_t kFields = 17;  // versions 2 and 3
constexpr std::size_t kFieldsVersion1 = 13;
constexpr char kPageSeparator = '/';  // never in a file name

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stampOf(const struct stat& st) {
    return FileStamp{static_cast<std::int64_t>(st.st_size), nanoseconds(st.st_mtim),
                     static_cast<std::uint64_t>(st.st_ino), nanoseconds(st.st_ctim)};
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The whole record file when it is a regular file of at most
// kMaxFileBytes; it is opened without blocking and never through a link.
std::optional<std::string> readRecordFile(const std::string& path) {
    constexpr std::size_t kMax = ThumbnailRecords::kMaxFileBytes;
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) ||
        static_cast<std::uint64_t>(named.st_size) > kMax) {
        return std::nullopt;
    }
    const platform::UniqueFd fd(
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_ino != named.st_ino ||
        static_cast<std::uint64_t>(st.st_size) > kMax) {
        return std::nullopt;
    }
    // One byte more than allowed, to notice a file that grew meanwhile.
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            if (text.size() > kMax) return std::nullopt;
            text.resize(std::min(kMax + 1, 2 * text.size()));
        }
        const ssize_t got = ::read(fd.get(), text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    text.resize(done);
    return text;
}

// Tabs, line breaks and backslashes in a field are escaped.
std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

template <typename T>
bool number(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// `path` relative to `folder` (the name of a file in it); `path` itself
// without a folder; nullopt for a path elsewhere.
std::optional<std::string> nameIn(const std::string& folder, const std::string& path) {
    if (folder.empty()) return path;
    const std::string prefix = joinPath(folder, "");
    if (!path.starts_with(prefix) || path.size() == prefix.size()) return std::nullopt;
    return path.substr(prefix.size());
}

std::string pathIn(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : joinPath(folder, name);
}

// The maker's name is its format prefix followed by the file's name.
std::optional<std::string> makerIn(const std::string& folder, const ThumbnailRecord& r) {
    if (!r.maker.ends_with(r.thumbnail)) return std::nullopt;
    const std::optional<std::string> name = nameIn(folder, r.thumbnail);
    if (!name) return std::nullopt;
    return r.maker.substr(0, r.maker.size() - r.thumbnail.size()) + *name;
}

std::string joinedPages(const std::vector<std::string>& pages) {
    std::string text;
    for (const std::string& page : pages) {
        if (!text.empty()) text += kPageSeparator;
        text += page;
    }
    return text;
}

std::vector<std::string> splitPages(std::string_view text) {
    std::vector<std::string> pages;
    while (!text.empty()) {
        const std::size_t end = text.find(kPageSeparator);
        if (end != 0) pages.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return pages;
}

void addTo(std::vector<std::string>& pages, const std::string& page) {
    if (std::find(pages.begin(), pages.end(), page) == pages.end()) pages.push_back(page);
}

}  // namespace

bool ThumbnailRecord::claimed() const { return recipe == kClaimedRecipe; }

std::optional<FileStamp> stampOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return stampOf(st);
}

std::string ThumbnailRecords::fileIn(const std::string& folder) {
    return folder.empty() ? std::string(kFileName) : joinPath(folder, kFileName);
}

std::vector<std::string> ThumbnailRecords::namesIn(const std::string& folder) {
    std::vector<std::string> names;
    const std::optional<std::string> file = readRecordFile(fileIn(folder));
    if (!file) return names;
    std::string_view text(*file);
    std::size_t end = text.find('\n');
    const std::string_view header = text.substr(0, end);
    const int version = header == kHeader ? 3 : header == kHeaderVersion2 ? 2 : header == kHeaderVersion1 ? 1 : 0;
    if (version == 0 || end == std::string_view::npos) return names;
    text.remove_prefix(end + 1);
    while (!text.empty()) {
        end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > kMaxLineBytes) continue;
        // An earlier version's paths may spell the folder otherwise.
        if (const auto r = fromLine(std::string(line), version < 3 ? std::string() : folder, version)) {
            names.push_back(r->thumbnail.substr(r->thumbnail.rfind('/') + 1));
        }
    }
    return names;
}

std::string ThumbnailRecords::toLine(const ThumbnailRecord& r, const std::string& folder) {
    const std::optional<std::string> thumbnail = nameIn(folder, r.thumbnail);
    const std::optional<std::string> maker = makerIn(folder, r);
    if (!thumbnail || !maker) return {};
    const auto stamp = [](std::ostringstream& out, const FileStamp& s) {
        out << s.size << '\t' << s.mtimeNs << '\t' << s.inode << '\t' << s.ctimeNs;
    };
    std::ostringstream line;
    line << escape(*thumbnail) << '\t' << escape(*maker) << '\t' << escape(r.recipe) << '\t';
    stamp(line, r.sourceStamp);
    line << '\t' << r.sourceWidth << '\t' << r.sourceHeight << '\t' << r.width << '\t' << r.height
         << '\t';
    stamp(line, r.thumbnailStamp);
    line << '\t' << escape(joinedPages(r.pages)) << "\tok";
    return line.str();
}

std::optional<ThumbnailRecord> ThumbnailRecords::fromLine(const std::string& line,
                                                         const std::string& folder, int version) {
    std::vector<std::string_view> fields;
    std::string_view rest(line);
    for (;;) {
        const std::size_t tab = rest.find('\t');
        fields.push_back(rest.substr(0, tab));
        if (tab == std::string_view::npos || fields.size() > kFields) break;
        rest.remove_prefix(tab + 1);
    }
    // The last field marks a line written to its end.
    const bool version1 = version == 1;
    if (fields.size() != (version1 ? kFieldsVersion1 : kFields) || fields.back() != "ok") {
        return std::nullopt;
    }
    ThumbnailRecord r;
    std::size_t at = 0;
    const auto text = [&](std::string& out) {
        std::optional<std::string> value = unescape(fields[at++]);
        if (!value || value->empty()) return false;
        out = std::move(*value);
        return true;
    };
    const auto num = [&](auto& value) { return number(fields[at++], value); };
    // Size and modification time, then (from version 2) inode and change time.
    const auto stamp = [&](FileStamp& s) {
        return num(s.size) && num(s.mtimeNs) && (version1 || (num(s.inode) && num(s.ctimeNs)));
    };
    std::string sourcePath;  // of versions 1 and 2, not kept
    if (!text(r.thumbnail) || !text(r.maker) || !text(r.recipe) ||
        (version < 3 && !text(sourcePath)) || !stamp(r.sourceStamp) || !num(r.sourceWidth) ||
        !num(r.sourceHeight) || !num(r.width) || !num(r.height) || !stamp(r.thumbnailStamp)) {
        return std::nullopt;
    }
    if (version < 3) {
        // Paths: the files must be in the folder.
        const std::optional<std::string> name = nameIn(folder, r.thumbnail);
        if (!name || (!folder.empty() && name->find('/') != std::string::npos) ||
            !r.maker.ends_with(r.thumbnail)) {
            return std::nullopt;
        }
        r.pages = {kForeignPage};
        return r;
    }
    std::optional<std::string> pages = unescape(fields[at]);
    if (!pages || r.thumbnail.find('/') != std::string::npos || !r.maker.ends_with(r.thumbnail)) {
        return std::nullopt;
    }
    r.pages = splitPages(*pages);
    r.maker = r.maker.substr(0, r.maker.size() - r.thumbnail.size()) + pathIn(folder, r.thumbnail);
    r.thumbnail = pathIn(folder, r.thumbnail);
    return r;
}

void ThumbnailRecords::load(const std::string& path) {
    records_.clear();
    outdated_ = false;
    platform::removeStaleTemporaries(folderOf(path));
    const std::optional<std::string> file = readRecordFile(path);
    if (!file) return;
    std::string_view text(*file);
    const auto nextLine = [&text](std::string_view& line) {
        if (text.empty()) return false;
        const std::size_t end = text.find('\n');
        line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        return true;
    };
    std::string_view line;
    if (!nextLine(line)) return;
    const int version = line == kHeader           ? 3
                        : line == kHeaderVersion2 ? 2
                        : line == kHeaderVersion1 ? 1
                                                  : 0;
    if (version == 0) return;
    outdated_ = version < 3;
    const std::string folder = folderOf(path);
    const std::string inFolder = folder.empty() ? std::string() : folder.substr(0, folder.size() - 1);
    while (nextLine(line)) {
        if (line.size() > kMaxLineBytes) continue;
        std::optional<ThumbnailRecord> r = fromLine(std::string(line), inFolder, version);
        if (!r) continue;
        FileStamp& thumb = r->thumbnailStamp;
        if (thumb.inode == 0 && thumb.ctimeNs == 0) {
            const std::optional<FileStamp> now = stampOfFile(r->thumbnail);
            if (now && now->size == thumb.size && now->mtimeNs == thumb.mtimeNs) thumb = *now;
        }
        put(std::move(*r));
    }
}

bool ThumbnailRecords::save(const std::string& path, std::string& error) const {
    platform::removeStaleTemporaries(folderOf(path));
    std::string folder = folderOf(path);
    if (!folder.empty()) folder.pop_back();
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [name, record] : records_) {
        const std::string line = toLine(record, folder);
        if (!line.empty()) text += line + "\n";
    }
    platform::ReplaceError failure;
    if (platform::replaceFile(path, text, failure)) return true;
    error = "Impossible d'écrire la vignette " + path + " : " +
            platform::errnoText(failure.err, platform::FileAccess::Writing);
    return false;
}

const ThumbnailRecord* ThumbnailRecords::upToDate(const std::string& thumbnail,
                                                  const std::string& maker,
                                                  const std::string& recipe,
                                                  const std::string& source,
                                                  const FileStamp& sourceStamp, unsigned width,
                                                  unsigned height) const {
    const auto found = records_.find(thumbnail);
    if (found == records_.end()) return nullptr;
    const ThumbnailRecord& r = found->second;
    if (r.maker != maker || r.recipe != recipe || (!r.source.empty() && r.source != source) ||
        !(r.sourceStamp == sourceStamp) || r.width != width || r.height != height) {
        return nullptr;
    }
    const std::optional<FileStamp> now = stampOfFile(thumbnail);
    if (!now || !(*now == r.thumbnailStamp)) return nullptr;
    return &r;
}

const ThumbnailRecord* ThumbnailRecords::find(const std::string& thumbnail) const {
    const auto it = records_.find(thumbnail);
    return it == records_.end() ? nullptr : &it->second;
}

void ThumbnailRecords::put(ThumbnailRecord record) {
    if (const auto it = records_.find(record.thumbnail); it != records_.end()) {
        for (const std::string& page : it->second.pages) addTo(record.pages, page);
    }
    std::string key = record.thumbnail;
    records_.insert_or_assign(std::move(key), std::move(record));
}

void ThumbnailRecords::claim(const std::string& thumbnail, const std::string& maker,
                             const std::string& page) {
    ThumbnailRecord r;
    r.thumbnail = thumbnail;
    r.maker = maker;
    r.recipe = kClaimedRecipe;
    r.pages = {page};
    put(std::move(r));
}

void ThumbnailRecords::addPage(const std::string& thumbnail, const std::string& page) {
    if (const auto it = records_.find(thumbnail); it != records_.end()) addTo(it->second.pages, page);
}

std::size_t ThumbnailRecords::removeUnlinked(const std::string& page,
                                             const std::vector<std::string>& linked) {
    std::size_t removed = 0;
    for (auto it = records_.begin(); it != records_.end();) {
        ThumbnailRecord& r = it->second;
        const std::size_t before = r.pages.size();
        if (std::find(linked.begin(), linked.end(), r.thumbnail) == linked.end()) {
            std::erase(r.pages, page);
        }
        if (r.pages.size() == before || !r.pages.empty()) {
            ++it;
            continue;
        }
        const std::optional<FileStamp> now = stampOfFile(r.thumbnail);
        if (now && (r.claimed() || *now == r.thumbnailStamp) && ::unlink(r.thumbnail.c_str()) == 0) {
            ++removed;
        }
        it = records_.erase(it);
    }
    return removed;
}

void ThumbnailRecords::erase(const std::string& thumbnail) { records_.erase(thumbnail); }

void ThumbnailRecords::dropMissingThumbnails() {
    std::erase_if(records_, [](const auto& entry) {
        return !stampOfFile(entry.second.thumbnail).has_value();
    });
}

}  // namespace lumigal
