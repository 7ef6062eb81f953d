#include "album/html.h"

namespace lumigal {

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

namespace {

bool keptInPath(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '-': case '.': case '_': case '~':
        case '!': case '$': case '&': case '\'': case '(': case ')':
        case '*': case '+': case ',': case ';': case '=':
        case ':': case '@': case '/':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string percentEncodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInPath(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string fileUrlTail(std::string_view absolutePath) {
    if (!absolutePath.empty() && absolutePath.front() == '/') absolutePath.remove_prefix(1);
    return htmlEscape(percentEncodePath(absolutePath));
}

std::string pageText(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n > 1 && i + n <= text.size()) {
            for (std::size_t k = 1; k < n; ++k) {
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) n = 0;
            }
            // Overlong forms and surrogates are not UTF-8 either.
            const auto c1 = n ? static_cast<unsigned char>(text[i + 1]) : 0;
            if ((n == 2 && c < 0xC2) || (n == 3 && c == 0xE0 && c1 < 0xA0) ||
                (n == 3 && c == 0xED && c1 >= 0xA0) || (n == 4 && c == 0xF0 && c1 < 0x90) ||
                (n == 4 && (c > 0xF4 || (c == 0xF4 && c1 >= 0x90)))) {
                n = 0;
            }
        } else if (n > 1) {
            n = 0;
        }
        if (n == 0 || (n == 1 && (c < 0x20 || c == 0x7F))) {
            clean += kReplacement;
            i += 1;
            continue;
        }
        // C1 controls (U+0080 to U+009F) are no text either.
        if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            clean += kReplacement;
        } else {
            clean.append(text.substr(i, n));
        }
        i += n;
    }
    return htmlEscape(clean);
}

}  // namespace lumigal
