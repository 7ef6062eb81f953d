#include "dialogs/field_text.h"

#include "common/paths.h"

namespace lumigal {

std::optional<std::uint32_t> parseUnsignedField(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

QString truncateToCodePoints(const QString& text, int maxCodePoints) {
    int units = 0;
    for (int count = 0; units < text.size() && count < maxCodePoints; ++count) {
        const bool pair = text.at(units).isHighSurrogate() && units + 1 < text.size() &&
                          text.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return text.left(units);
}

bool fitsPathLimit(const std::string& path) { return path.size() <= kMaxPath; }

}  // namespace lumigal
