#include "album/page_links.h"

#include <filesystem>

#include "album/html.h"
#include "common/paths.h"

namespace lumigal {

PageLinks PageLinks::relativeTo(const std::string& pageFolder) {
    PageLinks links;
    links.folder_ = absolutePath(pageFolder.empty() ? std::string(".") : pageFolder);
    return links;
}

std::string PageLinks::relativePath(const std::string& path) const {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(absolutePath(path)).lexically_normal();
    const fs::path relative = target.lexically_relative(fs::path(folder_).lexically_normal());
    std::string text = relative.empty() ? target.string() : relative.generic_string();
    return text;
}

std::string PageLinks::url(const std::string& path) const {
    if (!relative()) return "file:///" + fileUrlTail(path);
    std::string text = percentEncodePath(relativePath(path));
    // A first segment with a colon would read as a scheme ("co:lon.jpg").
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos && colon < text.find('/')) text.insert(0, "./");
    return htmlEscape(text);
}

std::string PageLinks::shown(const std::string& path) const {
    return relative() ? relativePath(path) : path;
}

}  // namespace lumigal
