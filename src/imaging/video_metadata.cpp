#include "video_metadata.h"

#include <cctype>

namespace lumigal {

namespace {

// `count` digits at `at` as a number; -1 when they are not all digits.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int daysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string twoDigits(int value) {
    return std::string{static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

bool readCaptureTime(std::string_view text, std::string& time, std::string& offset) {
    // 2024-05-01T10:20:30
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return false;
    }
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (year < 1971 || month < 1 || month > 12 || day < 1 || day > daysIn(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) {
        return false;
    }
    std::size_t at = 19;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        const std::size_t start = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == start) return false;
    }
    std::string zone;
    const std::string_view rest = text.substr(at);
    if (rest == "Z" || rest == "z") {
        zone = "+00:00";
    } else if (!rest.empty()) {
        if (rest[0] != '+' && rest[0] != '-') return false;
        const int hours = digits(rest, 1, 2);
        int minutes = 0;
        if (rest.size() == 6 && rest[3] == ':') {
            minutes = digits(rest, 4, 2);
        } else if (rest.size() == 5) {
            minutes = digits(rest, 3, 2);
        } else if (rest.size() != 3) {
            return false;
        }
        if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59) return false;
        zone = std::string(1, rest[0]) + twoDigits(hours) + ":" + twoDigits(minutes);
    }
    time = std::string(text.substr(0, 10)) + "T" + std::string(text.substr(11, 8));
    offset = zone;
    return true;
}

bool namesLocation(std::string_view key) {
    if (key == "\xc2\xa9xyz" || key == "\xa9xyz") return true;
    static constexpr std::string_view kWord = "location";
    for (std::size_t i = 0; i + kWord.size() <= key.size(); ++i) {
        bool same = true;
        for (std::size_t j = 0; j < kWord.size() && same; ++j) {
            same = std::tolower(static_cast<unsigned char>(key[i + j])) == kWord[j];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace lumigal
