// The page writer's escaping: an escaped text holds no markup character and
// unescapes to the original; a file URL tail holds only URL characters and
// HTML entities, and decodes back to the path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "album/html.h"

namespace {

std::string unescapeHtml(std::string_view text) {
    static const struct {
        const char* entity;
        char c;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '&') {
            bool found = false;
            for (const auto& e : kEntities) {
                if (text.substr(i, std::strlen(e.entity)) == e.entity) {
                    out += e.c;
                    i += std::strlen(e.entity);
                    found = true;
                    break;
                }
            }
            if (!found) std::abort();  // a bare & in escaped text
        } else {
            out += text[i++];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower-case hex is not written
}

bool isUrlChar(unsigned char c) {
    return std::strchr("-._~!$&'()*+,;=:@/%", c) != nullptr || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string escaped = lumigal::htmlEscape(text);
    if (escaped.find_first_of("<>\"") != std::string::npos) std::abort();
    if (unescapeHtml(escaped) != text) std::abort();

    const std::string path = "/" + std::string(text);
    const std::string tail = lumigal::fileUrlTail(path);
    if (tail.find_first_of("<>\" \t\r\n#?") != std::string::npos) std::abort();
    const std::string url = unescapeHtml(tail);
    std::string decoded = "/";
    for (std::size_t i = 0; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (!isUrlChar(c)) std::abort();
        if (c == '%') {
            if (i + 2 >= url.size()) std::abort();  // a cut escape
            const int hi = hexValue(url[i + 1]), lo = hexValue(url[i + 2]);
            if (hi < 0 || lo < 0) std::abort();
            decoded += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            decoded += url[i];
        }
    }
    if (decoded != path) std::abort();
    return 0;
}
