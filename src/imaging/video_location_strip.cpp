#include "imaging/video_location_strip.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace lumigal {

namespace {

std::uint64_t bigEndian(const std::string& b, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// One box of [at, end): its type, where its payload begins and where the
// next box does; false when no whole box is there.
struct Box {
    std::string_view type;
    std::size_t payload = 0, next = 0;
};
bool boxAt(const std::string& b, std::size_t at, std::size_t end, Box& box) {
    if (at + 8 > end) return false;
    std::uint64_t size = bigEndian(b, at, 4);
    std::size_t header = 8;
    if (size == 1) {
        if (at + 16 > end) return false;
        size = bigEndian(b, at + 8, 8);
        header = 16;
    } else if (size == 0) {
        size = end - at;
    }
    if (size < header || size > end - at) return false;
    box.type = std::string_view(b.data() + at + 4, 4);
    box.payload = at + header;
    box.next = at + static_cast<std::size_t>(size);
    return true;
}

// Makes the box at `at` a "free" box of zeros, of the same size.
void blankBox(std::string& b, std::size_t at, const Box& box) {
    std::memcpy(b.data() + at + 4, "free", 4);
    std::memset(b.data() + box.payload, 0, box.next - box.payload);
}

bool namesPlace(std::string_view name) {
    for (std::size_t i = 0; i + 8 <= name.size(); ++i) {
        std::string word(name.substr(i, 8));
        for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (word == "location") return true;
    }
    return false;
}

// The indexes (from 1) of the keys of a "keys" box whose names say a
// place ("com.apple.quicktime.location.ISO6709").
std::vector<std::uint32_t> placeKeys(const std::string& b, const Box& keys) {
    std::vector<std::uint32_t> found;
    if (keys.next - keys.payload < 8) return found;
    const std::uint64_t count = bigEndian(b, keys.payload + 4, 4);
    std::size_t at = keys.payload + 8;
    for (std::uint32_t index = 1; index <= count && at + 8 <= keys.next; ++index) {
        const std::uint64_t size = bigEndian(b, at, 4);
        if (size < 8 || size > keys.next - at) break;
        if (namesPlace(std::string_view(b.data() + at + 8, static_cast<std::size_t>(size) - 8))) {
            found.push_back(index);
        }
        at += static_cast<std::size_t>(size);
    }
    return found;
}

std::size_t blankBoxes(std::string& b, std::size_t begin, std::size_t end, int depth);

// A meta box's children from `begin`: those of a metadata item list whose
// key says a place are blanked (their key stays, without a value), and the
// user data inside is looked into as elsewhere.
std::size_t blankMeta(std::string& b, std::size_t begin, std::size_t end, int depth) {
    std::vector<std::uint32_t> places;
    Box box;
    for (std::size_t at = begin; boxAt(b, at, end, box); at = box.next) {
        if (box.type == "keys") places = placeKeys(b, box);
    }
    std::size_t blanked = 0;
    for (std::size_t at = begin; boxAt(b, at, end, box); at = box.next) {
        if (box.type != "ilst") {
            if (box.type == "udta") blanked += blankBoxes(b, box.payload, box.next, depth + 1);
            continue;
        }
        Box item;
        for (std::size_t i = box.payload; boxAt(b, i, box.next, item); i = item.next) {
            const auto index = static_cast<std::uint32_t>(bigEndian(b, i + 4, 4));
            const bool place = item.type == "\xA9xyz" ||
                               std::find(places.begin(), places.end(), index) != places.end();
            if (place) {
                blankBox(b, i, item);
                ++blanked;
            }
        }
    }
    return blanked;
}

// The boxes of [begin, end), and those of the containers where user data
// may be: the movie, its tracks, their user data and meta boxes. A place is
// QuickTime's "\xA9xyz", 3GPP's "loci", or a metadata item of a place key.
std::size_t blankBoxes(std::string& b, std::size_t begin, std::size_t end, int depth) {
    std::size_t blanked = 0;
    Box box;
    for (std::size_t at = begin; depth < 8 && boxAt(b, at, end, box); at = box.next) {
        if (box.type == "\xA9xyz" || box.type == "loci") {
            blankBox(b, at, box);
            ++blanked;
        } else if (box.type == "moov" || box.type == "trak" || box.type == "udta") {
            blanked += blankBoxes(b, box.payload, box.next, depth + 1);
        } else if (box.type == "meta") {
            // An ISO meta box begins with its version and flags; a
            // QuickTime one with its first box.
            const bool full = box.next - box.payload >= 8 &&
                              std::string_view(b.data() + box.payload + 4, 4) != "hdlr";
            blanked += blankMeta(b, box.payload + (full ? 4 : 0), box.next, depth + 1);
        }
    }
    return blanked;
}

// An EBML variable-length number at `at`: its value and length; false when
// none fits before `end`.
bool readVint(const std::string& b, std::size_t at, std::size_t end, std::uint64_t& value, int& length,
              bool keepMarker) {
    if (at >= end) return false;
    const unsigned first = static_cast<unsigned char>(b[at]);
    length = 1;
    while (length <= 8 && !(first & (0x80u >> (length - 1)))) ++length;
    if (length > 8 || at + length > end) return false;
    value = keepMarker ? first : first & (0xFFu >> length);
    for (int i = 1; i < length; ++i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
    return true;
}

std::size_t blankMatroskaLocations(std::string& b) {
    std::size_t blanked = 0;
    const std::string_view simpleTag("\x67\xC8", 2);
    for (std::size_t at = b.find(simpleTag); at != std::string::npos; at = b.find(simpleTag, at + 1)) {
        std::uint64_t size = 0, id = 0, nameSize = 0;
        int sizeLength = 0, idLength = 0, nameSizeLength = 0;
        if (!readVint(b, at + 2, b.size(), size, sizeLength, false)) continue;
        const std::size_t payload = at + 2 + sizeLength;
        if (size > b.size() - payload) continue;
        const std::size_t end = payload + static_cast<std::size_t>(size);
        // Its children: a TagName reading LOCATION marks it.
        bool location = false;
        for (std::size_t child = payload; child < end && !location;) {
            if (!readVint(b, child, end, id, idLength, true) ||
                !readVint(b, child + idLength, end, nameSize, nameSizeLength, false))
                break;
            const std::size_t value = child + idLength + nameSizeLength;
            if (nameSize > end - value) break;
            if (id == 0x45A3 && nameSize == 8) {
                std::string name = b.substr(value, 8);
                for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                location = name == "LOCATION";
            }
            child = value + static_cast<std::size_t>(nameSize);
        }
        const std::size_t total = end - at;
        if (!location || total < 9) continue;
        // A Void element of the same length: its ID, an 8-byte size, zeros.
        b[at] = static_cast<char>(0xEC);
        b[at + 1] = 0x01;
        const std::uint64_t voidSize = total - 9;
        for (int i = 0; i < 7; ++i) b[at + 2 + i] = static_cast<char>(voidSize >> (8 * (6 - i)) & 0xFF);
        std::memset(b.data() + at + 9, 0, total - 9);
        ++blanked;
        at = end - 1;
    }
    return blanked;
}

}  // namespace

std::size_t blankVideoLocation(std::string& bytes, VideoFormat format) {
    switch (format) {
        case VideoFormat::MP4:
        case VideoFormat::MOV:
        case VideoFormat::M4V:
        case VideoFormat::ThreeGP:
            return blankBoxes(bytes, 0, bytes.size(), 0);
        case VideoFormat::WebM:
        case VideoFormat::MKV:
            return blankMatroskaLocations(bytes);
        case VideoFormat::AVI:
            return 0;
    }
    return 0;
}

}  // namespace lumigal
