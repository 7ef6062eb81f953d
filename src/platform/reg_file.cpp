#include "platform/reg_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_set>

namespace lumigal::platform {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Hexadecimal lists are wrapped after a comma once a line is this long.
constexpr std::size_t kWrapColumn = 76;

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimTrailingBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads 1 to 8 hexadecimal digits at the start of `s`; `used` tells how many.
std::optional<std::uint32_t> readHex32(std::string_view s, std::size_t& used) {
    std::uint32_t value = 0;
    used = 0;
    while (used < s.size() && hexDigit(s[used]) >= 0) {
        if (used == 8) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(hexDigit(s[used]));
        ++used;
    }
    if (used == 0) return std::nullopt;
    return value;
}

// Decodes one UTF-8 sequence at `s[i]` (shortest form, no surrogates, at
// most U+10FFFF); nullopt when it is not valid.
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t length;
    char32_t cp;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += length;
    return cp;
}

bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

void appendHexByte(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

std::string hexType(std::uint32_t type) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[type & 0x0F]);
        type >>= 4;
    } while (type != 0);
    return digits;
}

void appendValue(std::string& out, const std::string& name, const RegValue& value) {
    const std::size_t lineStart = out.size();
    if (name.empty()) {
        out += '@';
    } else {
        appendQuoted(out, name);
    }
    out += '=';
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size());
    if (value.type == REG_SZ && isQuotableText(text)) {
        appendQuoted(out, text);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out += "dword:";
        for (int k = 3; k >= 0; --k) appendHexByte(out, value.data[static_cast<std::size_t>(k)]);
    } else {
        out += value.type == REG_BINARY ? std::string("hex:") : "hex(" + hexType(value.type) + "):";
        std::size_t column = out.size() - lineStart;
        for (std::size_t k = 0; k < value.data.size(); ++k) {
            appendHexByte(out, value.data[k]);
            column += 2;
            if (k + 1 == value.data.size()) break;
            out += ',';
            ++column;
            if (column >= kWrapColumn) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    out += '\n';
}

// A strict reader of the file, one physical line at a time.
class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    RegFileParse run() {
        RegFileParse result;
        if (!parse(result.key)) {
            result.ok = false;
            result.errorLine = errorLine_;
            result.error = error_;
            result.key = {};
            return result;
        }
        result.ok = true;
        return result;
    }

private:
    bool fail(std::string message) {
        errorLine_ = lineNumber_;
        error_ = std::move(message);
        return false;
    }

    // Moves to the next physical line; false at the end of the text.
    bool nextLine() {
        if (next_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', next_);
        if (end == std::string_view::npos) end = text_.size();
        line_ = text_.substr(next_, end - next_);
        next_ = end + 1;
        ++lineNumber_;
        if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
        return true;
    }

    bool parse(RegFileKey& key) {
        if (text_.empty() || !nextLine()) {
            lineNumber_ = 1;
            return fail("le fichier est vide");
        }
        std::string_view header = line_;
        if (header.starts_with(kUtf8Bom)) header.remove_prefix(kUtf8Bom.size());
        if (trimTrailingBlanks(header) != kHeader) {
            return fail("en-tête « REGEDIT4 » attendu");
        }
        if (text_.find('\0') != std::string_view::npos) {
            // Name the line of the first NUL byte.
            const std::size_t at = text_.find('\0');
            std::size_t lines = 1;
            for (std::size_t k = 0; k < at; ++k) lines += text_[k] == '\n';
            lineNumber_ = static_cast<int>(lines);
            return fail("octet nul dans le fichier");
        }
        bool haveSection = false;
        while (nextLine()) {
            const std::string_view line = trimTrailingBlanks(line_);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                if (haveSection) return fail("une seule clé par fichier");
                if (!parseSection(line, key.path)) return false;
                haveSection = true;
                continue;
            }
            if (!haveSection) return fail("valeur placée avant la ligne de la clé");
            std::string name;
            RegValue value;
            if (!parseValueLine(name, value)) return false;
            std::string folded = name;
            for (char& c : folded) c = asciiLower(c);
            if (!seenNames_.insert(std::move(folded)).second) {
                return fail("la valeur « " + name + " » apparaît deux fois");
            }
            key.values.emplace_back(std::move(name), std::move(value));
        }
        if (!haveSection) return fail("ligne de la clé « [...] » manquante");
        return true;
    }

    bool parseSection(std::string_view line, std::string& path) {
        if (line.size() < 2 || line.back() != ']') return fail("crochet fermant « ] » manquant");
        const std::string_view inside = line.substr(1, line.size() - 2);
        if (inside.empty() || inside.front() == '-') return fail("nom de clé invalide");
        if (!isQuotableText(inside)) return fail("nom de clé illisible (caractère de contrôle)");
        path.assign(inside);
        return true;
    }

    // Reads a quoted text at `s[pos]` (on the opening quote).
    bool parseQuoted(std::string_view s, std::size_t& pos, std::string& out) {
        ++pos;
        const std::size_t start = pos;
        for (;;) {
            if (pos >= s.size()) return fail("guillemet fermant manquant");
            const char c = s[pos];
            if (c == '"') break;
            if (c == '\\') {
                if (pos + 1 >= s.size()) return fail("guillemet fermant manquant");
                const char escaped = s[pos + 1];
                if (escaped != '\\' && escaped != '"') {
                    return fail("séquence d'échappement invalide « \\" + std::string(1, escaped) +
                                " »");
                }
                out += escaped;
                pos += 2;
                continue;
            }
            out += c;
            ++pos;
        }
        ++pos;
        if (!isQuotableText(std::string_view(s).substr(start, pos - 1 - start))) {
            return fail("texte entre guillemets non UTF-8 ou avec un caractère de contrôle");
        }
        return true;
    }

    bool expectEnd(std::string_view s, std::size_t pos) {
        if (!trimTrailingBlanks(s.substr(pos)).empty()) {
            return fail("texte inattendu après la valeur");
        }
        return true;
    }

    bool parseValueLine(std::string& name, RegValue& value) {
        const std::string_view s = line_;
        std::size_t pos = 0;
        if (s.front() == '@') {
            pos = 1;
        } else if (s.front() == '"') {
            if (!parseQuoted(s, pos, name)) return false;
        } else {
            return fail("nom de valeur entre guillemets attendu");
        }
        if (pos >= s.size() || s[pos] != '=')
            return fail("« = » attendu après le nom de la valeur");
        ++pos;
        const std::string_view rest = s.substr(pos);
        if (rest.starts_with('"')) {
            std::string text;
            if (!parseQuoted(s, pos, text)) return false;
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            return expectEnd(s, pos);
        }
        if (rest.starts_with("dword:")) {
            pos += 6;
            std::size_t used = 0;
            const auto number = readHex32(s.substr(pos), used);
            if (!number) return fail("nombre DWORD invalide (1 à 8 chiffres hexadécimaux)");
            value.type = REG_DWORD;
            for (int k = 0; k < 4; ++k) {
                value.data.push_back(static_cast<std::uint8_t>(*number >> (8 * k)));
            }
            return expectEnd(s, pos + used);
        }
        if (rest.starts_with("hex:")) {
            value.type = REG_BINARY;
            return parseHexList(pos + 4, value.data);
        }
        if (rest.starts_with("hex(")) {
            pos += 4;
            std::size_t used = 0;
            const auto type = readHex32(s.substr(pos), used);
            pos += used;
            if (!type || s.substr(pos, 2) != "):") return fail("type « hex(N): » invalide");
            value.type = *type;
            return parseHexList(pos + 2, value.data);
        }
        return fail("type de valeur inconnu");
    }

    // Reads "xx,xx,..." from `pos` of the current line, following lines that
    // end with a backslash (after the colon or after a comma).
    bool parseHexList(std::size_t pos, std::vector<std::uint8_t>& data) {
        bool wantByte = true;  // a byte must come next (or the list may end when empty)
        bool afterComma = false;
        for (;;) {
            std::string_view s = line_;
            while (pos < s.size() && isBlank(s[pos])) ++pos;
            if (pos >= s.size()) {
                if (afterComma) return fail("liste hexadécimale terminée par une virgule");
                return true;
            }
            const char c = s[pos];
            if (c == '\\') {
                if (!(data.empty() || afterComma)) {
                    return fail("« \\ » de continuation ailleurs qu'après une virgule");
                }
                if (!trimTrailingBlanks(s.substr(pos + 1)).empty()) {
                    return fail("texte inattendu après « \\ »");
                }
                if (!nextLine()) return fail("ligne de continuation manquante en fin de fichier");
                pos = 0;
                continue;
            }
            if (wantByte) {
                if (pos + 1 >= s.size() || hexDigit(s[pos]) < 0 || hexDigit(s[pos + 1]) < 0) {
                    return fail("octet hexadécimal invalide (deux chiffres attendus)");
                }
                data.push_back(
                    static_cast<std::uint8_t>(hexDigit(s[pos]) << 4 | hexDigit(s[pos + 1])));
                pos += 2;
                wantByte = false;
                afterComma = false;
                continue;
            }
            if (c != ',') return fail("« , » attendue entre deux octets");
            ++pos;
            wantByte = true;
            afterComma = true;
        }
    }

    std::string_view text_;
    std::unordered_set<std::string> seenNames_;  // value names folded to lower case
    std::size_t next_ = 0;
    std::string_view line_;
    int lineNumber_ = 0;
    int errorLine_ = 0;
    std::string error_;
};

}  // namespace

bool isQuotableText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto cp = decodeUtf8(text, i);
        if (!cp || isControl(*cp)) return false;
    }
    return true;
}

bool sameValueName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (asciiLower(a[k]) != asciiLower(b[k])) return false;
    }
    return true;
}

RegFileParse parseRegFile(std::string_view text) { return Parser(text).run(); }

std::string formatRegFile(const RegFileKey& key) {
    std::string out;
    out += kHeader;
    out += "\n\n[";
    out += key.path;
    out += "]\n";
    for (const auto& [name, value] : key.values) appendValue(out, name, value);
    out += '\n';
    return out;
}

}  // namespace lumigal::platform
