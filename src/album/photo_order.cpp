#include "album/photo_order.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "common/paths.h"

namespace lumigal {

namespace {

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool number(const std::string& text, std::size_t at, std::size_t length, int& value) {
    if (at + length > text.size()) return false;
    for (std::size_t i = at; i < at + length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    std::from_chars(text.data() + at, text.data() + at + length, value);
    return true;
}

unsigned daysIn(int year, int month) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

std::string shownTime(int year, int month, int day, int hour, int minute) {
    char text[80];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", day, month, year, hour, minute);
    return text;
}

// The offset "+02:00" in seconds; nullopt when it is no offset.
std::optional<int> offsetSeconds(const std::string& offset) {
    int hours = 0, minutes = 0;
    if (offset.size() != 6 || (offset[0] != '+' && offset[0] != '-') || offset[3] != ':' ||
        !number(offset, 1, 2, hours) || !number(offset, 4, 2, minutes) || hours > 14 ||
        minutes > 59) {
        return std::nullopt;
    }
    const int seconds = hours * 3600 + minutes * 60;
    return offset[0] == '-' ? -seconds : seconds;
}

template <typename T>
void permute(std::vector<T>& items, const std::vector<std::size_t>& order) {
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (std::size_t i : order) sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}

}  // namespace

PhotoOrder photoOrderOf(const PageSettings& page, PhotoOrder unset) {
    switch (page.sortOrder) {
        case kSortByName: return PhotoOrder::Name;
        case kSortByDate: return PhotoOrder::Date;
        case kSortNone: return PhotoOrder::None;
        default: return unset;
    }
}

std::optional<CaptureTime> captureTimeFrom(const std::string& dateTime, const std::string& offset) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // "YYYY-MM-DDTHH:MM:SS"; EXIF's own "YYYY:MM:DD HH:MM:SS" is taken too.
    if (dateTime.size() < 19 || !number(dateTime, 0, 4, year) || !number(dateTime, 5, 2, month) ||
        !number(dateTime, 8, 2, day) || !number(dateTime, 11, 2, hour) ||
        !number(dateTime, 14, 2, minute) || !number(dateTime, 17, 2, second)) {
        return std::nullopt;
    }
    if (year < 1800 || month < 1 || month > 12 || day < 1 ||
        static_cast<unsigned>(day) > daysIn(year, month) || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const std::optional<int> shift = offset.empty() ? std::optional<int>(0) : offsetSeconds(offset);
    CaptureTime time;
    time.key = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
               hour * 3600 + minute * 60 + second - (shift ? *shift : 0);
    char iso[80];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute,
                  second);
    time.iso = iso;
    if (!offset.empty() && shift) time.iso += offset;
    time.shown = shownTime(year, month, day, hour, minute);
    time.fromMetadata = true;
    return time;
}

CaptureTime fileTime(std::int64_t mtimeNs) {
    std::int64_t seconds = mtimeNs / 1000000000;
    if (mtimeNs % 1000000000 < 0) --seconds;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    CaptureTime time;
    time.key = seconds;
    char iso[80];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    time.iso = iso;
    time.shown = shownTime(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min);
    return time;
}

std::vector<std::size_t> orderOf(const std::vector<OrderKey>& keys, PhotoOrder how, bool reverse) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (how == PhotoOrder::None) {
        if (reverse) std::reverse(order.begin(), order.end());
        return order;
    }
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const OrderKey& key : keys) names.push_back(caseIgnoredKey(*key.name));
    // Three-way: by time (those without one last, whichever way round),
    // then by name, case ignored, then by the name's bytes.
    const auto byTime = [&](std::size_t a, std::size_t b) {
        if (how != PhotoOrder::Date) return 0;
        const CaptureTime* x = keys[a].taken;
        const CaptureTime* y = keys[b].taken;
        if (!x || !y) return int(!x) - int(!y);
        if (x->key == y->key) return 0;
        return (x->key < y->key) != reverse ? -1 : 1;
    };
    const bool reverseNames = reverse && how == PhotoOrder::Name;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (const int c = byTime(a, b); c != 0) return c < 0;
        if (names[a] != names[b]) return (names[a] < names[b]) != reverseNames;
        if (*keys[a].name != *keys[b].name) return (*keys[a].name < *keys[b].name) != reverseNames;
        return false;
    });
    return order;
}

void orderImages(std::vector<AlbumImage>& images, PhotoOrder how, bool reverse) {
    std::vector<OrderKey> keys;
    keys.reserve(images.size());
    for (const AlbumImage& i : images) keys.push_back({&i.name, i.taken ? &*i.taken : nullptr});
    permute(images, orderOf(keys, how, reverse));
}

void orderAlbums(std::vector<Album>& albums, PhotoOrder how, bool reverse) {
    std::vector<OrderKey> keys;
    keys.reserve(albums.size());
    for (const Album& a : albums) keys.push_back({&a.title, a.last ? &*a.last : nullptr});
    permute(albums, orderOf(keys, how, reverse));
}

}  // namespace lumigal
