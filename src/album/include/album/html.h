// Escaping of the texts inserted into the album page.
#pragma once

#include <string>
#include <string_view>

namespace lumigal {

// & < > " become &amp; &lt; &gt; &quot;; nothing else changes.
std::string htmlEscape(std::string_view text);

// A text of a page (a file name, a caption, a title) as HTML may hold it:
// bytes that are not UTF-8 and control characters, which a file name may
// contain, become U+FFFD; then escaped as htmlEscape does.
std::string pageText(std::string_view text);

// RFC 3986 path encoding: letters, digits, -._~ !$&'()*+,;= : @ and / stay,
// every other byte becomes %XX (upper-case hex).
std::string percentEncodePath(std::string_view path);

// What follows "file:///" in an SRC or HREF: the absolute path without its
// leading separator, percent-encoded, then HTML-escaped.
std::string fileUrlTail(std::string_view absolutePath);

}  // namespace lumigal
