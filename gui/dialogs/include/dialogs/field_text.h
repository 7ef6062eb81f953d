// Reading and writing the text of dialog fields: unsigned numbers, length
// limits of titles and paths, and the conversion between the fields'
// QString and the settings' UTF-8 std::string.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace lumigal {

// The field's text as an unsigned 32-bit decimal number: optional blanks
// around one or more digits 0-9, nothing else, at most 4294967295.
// nullopt for anything else (an empty field included).
std::optional<std::uint32_t> parseUnsignedField(const QString& text);

// `text` cut to its first `maxCodePoints` characters (Unicode code points;
// a character is never split).
QString truncateToCodePoints(const QString& text, int maxCodePoints);

// True when `path` (UTF-8) fits the platform's path limit (kMaxPath bytes).
bool fitsPathLimit(const std::string& path);

inline std::string toStdString(const QString& text) { return text.toStdString(); }
inline QString toQString(const std::string& text) { return QString::fromStdString(text); }

}  // namespace lumigal
