// How the page names the files it shows: file URLs of their absolute paths,
// or, for a portable album, URLs relative to the page's folder, so that the
// folder can be moved, zipped or served and every link still resolves.
#pragma once

#include <string>

namespace lumigal {

class PageLinks {
public:
    // File URLs of the paths as given (absolute: "file:///...").
    PageLinks() = default;
    // URLs relative to `pageFolder` (an absolute folder).
    static PageLinks relativeTo(const std::string& pageFolder);

    // The SRC or HREF value for `path`: percent-encoded (RFC 3986), then
    // HTML-escaped.
    std::string url(const std::string& path) const;
    // The path as the page may show it: relative in a portable album.
    std::string shown(const std::string& path) const;
    bool relative() const { return !folder_.empty(); }

private:
    std::string relativePath(const std::string& path) const;
    std::string folder_;  // empty: absolute URLs
};

}  // namespace lumigal
