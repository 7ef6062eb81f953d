#include "album/thumbnail_record.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

#include "album/thumbnail.h"
#include "common/paths.h"

namespace lumigal {

namespace {

constexpr const char* kHeader = "lumigal-vignettes 1";
constexpr const char* kFileName = ".lumigal-vignettes";
constexpr std::size_t kFields = 13;
// A record file bigger than this is not a record file of ours.
constexpr std::streamsize kMaxFileBytes = std::streamsize{64} << 20;

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

}  // namespace

std::optional<FileStamp> stampOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{
        static_cast<std::int64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string ThumbnailRecords::fileIn(const std::string& folder) {
    return folder.empty() ? std::string(kFileName) : joinPath(folder, kFileName);
}

std::string ThumbnailRecords::toLine(const ThumbnailRecord& r) {
    std::ostringstream line;
    line << escape(r.thumbnail) << '\t' << escape(r.maker) << '\t' << escape(r.recipe) << '\t'
         << escape(r.source) << '\t' << r.sourceStamp.size << '\t' << r.sourceStamp.mtimeNs << '\t'
         << r.sourceWidth << '\t' << r.sourceHeight << '\t' << r.width << '\t' << r.height << '\t'
         << r.thumbnailStamp.size << '\t' << r.thumbnailStamp.mtimeNs << "\tok";
    return line.str();
}

std::optional<ThumbnailRecord> ThumbnailRecords::fromLine(const std::string& line) {
    std::vector<std::string_view> fields;
    std::string_view rest(line);
    for (;;) {
        const std::size_t tab = rest.find('\t');
        fields.push_back(rest.substr(0, tab));
        if (tab == std::string_view::npos) break;
        rest.remove_prefix(tab + 1);
    }
    // The last field marks a line written to its end.
    if (fields.size() != kFields || fields.back() != "ok") return std::nullopt;
    ThumbnailRecord r;
    const auto text = [&](std::size_t i, std::string& out) {
        std::optional<std::string> value = unescape(fields[i]);
        if (!value || value->empty()) return false;
        out = std::move(*value);
        return true;
    };
    if (!text(0, r.thumbnail) || !text(1, r.maker) || !text(2, r.recipe) || !text(3, r.source) ||
        !number(fields[4], r.sourceStamp.size) || !number(fields[5], r.sourceStamp.mtimeNs) ||
        !number(fields[6], r.sourceWidth) || !number(fields[7], r.sourceHeight) ||
        !number(fields[8], r.width) || !number(fields[9], r.height) ||
        !number(fields[10], r.thumbnailStamp.size) ||
        !number(fields[11], r.thumbnailStamp.mtimeNs)) {
        return std::nullopt;
    }
    return r;
}

void ThumbnailRecords::load(const std::string& path) {
    records_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return;
    std::streamsize total = 0;
    while (std::getline(in, line)) {
        total += static_cast<std::streamsize>(line.size()) + 1;
        if (total > kMaxFileBytes) {
            records_.clear();
            return;
        }
        if (std::optional<ThumbnailRecord> r = fromLine(line)) put(std::move(*r));
    }
}

bool ThumbnailRecords::save(const std::string& path, std::string& error) const {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [name, record] : records_) text += toLine(record) + "\n";
    EncodedThumbnail file;
    file.path = path;
    file.bytes.assign(text.begin(), text.end());
    return writeThumbnailFile(file, error);
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
    if (r.maker != maker || r.recipe != recipe || r.source != source ||
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
    std::string key = record.thumbnail;
    records_.insert_or_assign(std::move(key), std::move(record));
}

void ThumbnailRecords::erase(const std::string& thumbnail) { records_.erase(thumbnail); }

void ThumbnailRecords::dropMissingThumbnails() {
    std::erase_if(records_, [](const auto& entry) {
        return !stampOfFile(entry.second.thumbnail).has_value();
    });
}

}  // namespace lumigal
