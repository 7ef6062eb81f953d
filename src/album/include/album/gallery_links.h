// The links of gallery pages. The model's paths are relative to the
// gallery's output folder, '/' between levels, not escaped; a page links
// them relative to its own folder, every segment percent-encoded, so that
// the gallery can be moved or served anywhere.
#pragma once

#include <string>
#include <string_view>

namespace lumigal {

// The path `path` as seen from the folder `fromFolder` ("" for the output
// folder): "../../2026/06 Bretagne/index.html". Not escaped.
std::string relativePath(std::string_view fromFolder, std::string_view path);

// The HREF or SRC value of `path` on a page of `fromFolder`: relative,
// percent-encoded (RFC 3986), then HTML-escaped.
std::string galleryUrl(std::string_view fromFolder, std::string_view path);

// The absolute address of `path` once the gallery is published at
// `baseUrl` ("https://photos.exemple.fr/galerie/"): the base, a '/' if it
// has none at its end, then the path percent-encoded. HTML-escaped.
std::string publishedUrl(std::string_view baseUrl, std::string_view path);

// `folder` + "/" + `name`, or `name` for the output folder itself.
std::string inFolder(std::string_view folder, std::string_view name);

}  // namespace lumigal
