#include "album/gallery_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/paths.h"
#include "platform/unique_fd.h"

namespace lumigal {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Control characters become spaces: the value is shown as a line.
std::string valueOf(std::string_view text) {
    std::string value(trim(text));
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return value;
}

}  // namespace

AlbumText parseAlbumText(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    AlbumText album;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string key = lowered(trim(line.substr(0, colon)));
        const std::string value = valueOf(line.substr(colon + 1));
        if (key == "titre" || key == "title") album.title = value;
        else if (key == "description") album.description = value;
        else if (key == "couverture" || key == "cover") album.cover = value;
    }
    return album;
}

std::optional<AlbumText> readAlbumText(const std::string& folder) {
    const std::string path = joinPath(folder, kAlbumTextName);
    const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(kMaxAlbumTextBytes)) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(fd.get(), text.data() + done, text.size() - done);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    text.resize(done);
    return parseAlbumText(text);
}

std::size_t photoCountOf(const SourceAlbum& album) {
    std::size_t count = album.images.size();
    for (const SourceAlbum& sub : album.albums) count += photoCountOf(sub);
    return count;
}

}  // namespace lumigal
