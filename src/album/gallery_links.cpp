#include "album/gallery_links.h"

#include <vector>

#include "album/html.h"

namespace lumigal {

namespace {

std::vector<std::string_view> segments(std::string_view path) {
    std::vector<std::string_view> out;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) out.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return out;
}

}  // namespace

std::string relativePath(std::string_view fromFolder, std::string_view path) {
    const std::vector<std::string_view> from = segments(fromFolder), to = segments(path);
    std::size_t common = 0;
    // The last segment of `path` is the file itself, never a folder in common.
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i) out += "../";
    for (std::size_t i = common; i < to.size(); ++i) {
        out += to[i];
        if (i + 1 < to.size()) out += '/';
    }
    return out;
}

std::string galleryUrl(std::string_view fromFolder, std::string_view path) {
    std::string text = percentEncodePath(relativePath(fromFolder, path));
    // A first segment with a colon would read as a scheme ("co:lon.jpg").
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos && colon < text.find('/')) text.insert(0, "./");
    return htmlEscape(text);
}

std::string publishedUrl(std::string_view baseUrl, std::string_view path) {
    std::string url(baseUrl);
    if (url.empty() || url.back() != '/') url += '/';
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    return htmlEscape(url + percentEncodePath(path));
}

std::string inFolder(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    std::string out(folder);
    if (out.back() != '/') out += '/';
    out += name;
    return out;
}

}  // namespace lumigal
