#include "heif_boxes.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace lumigal {

namespace {

constexpr std::uint32_t fourcc(const char (&t)[5]) {
    return std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
           std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint32_t(std::uint8_t(t[3]));
}

// Big-endian fields read from the front of a span; past its end every read
// gives 0 and marks it short.
struct Fields {
    const std::uint8_t* p = nullptr;
    std::size_t n = 0;
    bool cut = false;

    std::uint64_t take(std::size_t bytes) {
        if (bytes > n) {
            cut = true;
            n = 0;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) v = v << 8 | p[i];
        p += bytes;
        n -= bytes;
        return v;
    }
    void skip(std::uint64_t bytes) {
        if (bytes > n) {
            cut = true;
            bytes = n;
        }
        p += bytes;
        n -= static_cast<std::size_t>(bytes);
    }
};

struct Box {
    std::uint32_t type = 0;
    Fields body;
};

// The box at the front of `rest`, which then starts after it; nullopt when
// no whole header is there or the size is less than the header.
std::optional<Box> nextBox(Fields& rest) {
    if (rest.n < 8) return std::nullopt;
    Fields header = rest;
    std::uint64_t size = header.take(4);
    const auto type = static_cast<std::uint32_t>(header.take(4));
    if (size == 1) {
        size = header.take(8);
        if (header.cut) return std::nullopt;
    } else if (size == 0) {
        size = rest.n;  // up to the container's end
    }
    const std::size_t headerBytes = rest.n - header.n;
    if (size < headerBytes) return std::nullopt;
    size = std::min<std::uint64_t>(size, rest.n);  // cut short: what there is
    Box box{type, {header.p, static_cast<std::size_t>(size) - headerBytes}};
    rest.skip(size);
    return box;
}

// A full box's version (its flags go to `flags`).
unsigned versionOf(Fields& body, std::uint32_t* flags = nullptr) {
    const auto word = static_cast<std::uint32_t>(body.take(4));
    if (flags) *flags = word & 0xffffff;
    return word >> 24;
}

std::uint64_t childCount(Fields rest) {
    std::uint64_t count = 0;
    while (nextBox(rest)) ++count;
    return count;
}

void countInformation(Fields body, HeifBoxCounts& counts) {
    const unsigned version = versionOf(body);
    const std::uint64_t declared = body.take(version == 0 ? 2 : 4);
    counts.items = std::max({counts.items, declared, childCount(body)});
}

void countLocations(Fields body, HeifBoxCounts& counts) {
    const unsigned version = versionOf(body);
    body.skip(2);  // field sizes
    counts.locations = std::max(counts.locations, body.take(version < 2 ? 2 : 4));
}

void countReferences(Fields body, HeifBoxCounts& counts) {
    const unsigned version = versionOf(body);
    const std::size_t idBytes = version == 0 ? 2 : 4;
    while (std::optional<Box> reference = nextBox(body)) {
        reference->body.skip(idBytes);  // from
        const std::uint64_t to = reference->body.take(2);
        counts.references += to;
        counts.mostFromOne = std::max(counts.mostFromOne, to);
    }
}

void countAssociations(Fields body, HeifBoxCounts& counts) {
    std::uint32_t flags = 0;
    const unsigned version = versionOf(body, &flags);
    const std::uint64_t entries = body.take(4);
    counts.items = std::max(counts.items, entries);
    // Each entry takes 3 bytes at least: the loop ends with the bytes.
    for (std::uint64_t i = 0; i < entries && !body.cut; ++i) {
        body.skip(version < 1 ? 2 : 4);
        const std::uint64_t associated = body.take(1);
        counts.associations += associated;
        body.skip(associated * ((flags & 1) ? 2 : 1));
    }
}

void countMeta(Fields body, HeifBoxCounts& counts) {
    versionOf(body);
    while (std::optional<Box> box = nextBox(body)) {
        if (box->type == fourcc("iinf")) {
            countInformation(box->body, counts);
        } else if (box->type == fourcc("iloc")) {
            countLocations(box->body, counts);
        } else if (box->type == fourcc("iref")) {
            countReferences(box->body, counts);
        } else if (box->type == fourcc("iprp")) {
            while (std::optional<Box> part = nextBox(box->body)) {
                if (part->type == fourcc("ipco")) counts.properties += childCount(part->body);
                if (part->type == fourcc("ipma")) countAssociations(part->body, counts);
            }
        }
    }
}

// A property of the ipco box: its type and its first byte (a turn's or a
// mirror's value), when it has one.
struct Property {
    std::uint32_t type = 0;
    std::optional<std::uint8_t> value;
};

// What a turn or a mirror does to a pixel's place (x to the right, y
// down): shown x = xx x + xy y, shown y = yx x + yy y.
struct Placement {
    int xx = 1, xy = 0, yx = 0, yy = 1;
};

// `first`, then `next`.
Placement then(const Placement& first, const Placement& next) {
    return {next.xx * first.xx + next.xy * first.yx, next.xx * first.xy + next.xy * first.yy,
            next.yx * first.xx + next.yy * first.yx, next.yx * first.xy + next.yy * first.yy};
}

// The placement of each EXIF orientation, 1 to 8.
constexpr Placement kOrientations[8] = {{1, 0, 0, 1},  {-1, 0, 0, 1},  {-1, 0, 0, -1}, {1, 0, 0, -1},
                                        {0, 1, 1, 0},  {0, -1, 1, 0},  {0, -1, -1, 0}, {0, 1, -1, 0}};

// A turn by `quarters` quarter turns anticlockwise.
Placement turnedBy(unsigned quarters) {
    constexpr int orientations[4] = {1, 8, 3, 6};
    return kOrientations[orientations[quarters & 3] - 1];
}

// A mirror about the vertical axis (0: left and right swapped) or the
// horizontal one (1: top and bottom).
Placement mirroredAbout(unsigned axis) { return kOrientations[(axis & 1) ? 3 : 1]; }

int orientationOf(const Placement& p) {
    for (int o = 0; o < 8; ++o) {
        const Placement& k = kOrientations[o];
        if (k.xx == p.xx && k.xy == p.xy && k.yx == p.yx && k.yy == p.yy) return o + 1;
    }
    return 1;  // never: the placements make a closed group
}

}  // namespace

HeifBoxCounts countHeifBoxes(const std::uint8_t* data, std::size_t size) {
    HeifBoxCounts counts;
    Fields rest{data, data ? size : 0};
    while (std::optional<Box> box = nextBox(rest)) {
        if (box->type == fourcc("meta")) {
            countMeta(box->body, counts);
            break;
        }
    }
    return counts;
}

std::optional<HeifGridTiles> heifGridTiles(const std::uint8_t* data, std::size_t size) {
    Fields rest{data, data ? size : 0};
    std::optional<Box> meta;
    while ((meta = nextBox(rest)) && meta->type != fourcc("meta")) {
    }
    if (!meta) return std::nullopt;
    Fields body = meta->body;
    versionOf(body);
    std::optional<std::uint64_t> primary;
    struct Item {
        std::uint32_t type = 0;
        std::size_t flagOffset = 0;
    };
    std::map<std::uint64_t, Item> items;
    std::vector<Property> properties;
    std::optional<Fields> references, associations;
    while (std::optional<Box> box = nextBox(body)) {
        if (box->type == fourcc("pitm")) {
            const unsigned version = versionOf(box->body);
            primary = box->body.take(version == 0 ? 2 : 4);
        } else if (box->type == fourcc("iinf")) {
            box->body.skip(versionOf(box->body) == 0 ? 2 : 4);
            while (std::optional<Box> entry = nextBox(box->body)) {
                if (entry->type != fourcc("infe") || entry->body.n < 4) continue;
                const std::size_t flagOffset = static_cast<std::size_t>(entry->body.p - data) + 3;
                const unsigned version = versionOf(entry->body);
                if (version < 2) continue;  // no item type: no image
                const std::uint64_t id = entry->body.take(version == 2 ? 2 : 4);
                entry->body.skip(2);
                const auto type = static_cast<std::uint32_t>(entry->body.take(4));
                if (!entry->body.cut) items[id] = {type, flagOffset};
            }
        } else if (box->type == fourcc("iref")) {
            references = box->body;
        } else if (box->type == fourcc("iprp")) {
            while (std::optional<Box> part = nextBox(box->body)) {
                if (part->type == fourcc("ipco")) {
                    while (std::optional<Box> property = nextBox(part->body)) {
                        Fields body = property->body;
                        const std::uint64_t first = body.take(1);
                        properties.push_back({property->type, body.cut ? std::nullopt : std::optional<std::uint8_t>(first)});
                    }
                }
                if (part->type == fourcc("ipma")) associations = part->body;
            }
        }
    }
    const auto found = primary ? items.find(*primary) : items.end();
    if (found == items.end() || found->second.type != fourcc("grid") || !references) return std::nullopt;
    HeifGridTiles grid;
    const std::size_t idBytes = versionOf(*references) == 0 ? 2 : 4;
    while (std::optional<Box> reference = nextBox(*references)) {
        if (reference->type != fourcc("dimg") || reference->body.take(idBytes) != *primary) continue;
        if (!grid.tiles.empty()) return std::nullopt;  // a second list
        const std::uint64_t count = reference->body.take(2);
        if (count > kMaxHeifItems) return std::nullopt;
        for (std::uint64_t i = 0; i < count; ++i) {
            const auto it = items.find(reference->body.take(idBytes));
            if (reference->body.cut || it == items.end() || it->second.type == fourcc("grid")) {
                return std::nullopt;
            }
            grid.tiles.push_back(static_cast<std::uint32_t>(it->first));
            grid.flagOffsets.push_back(it->second.flagOffset);
        }
    }
    if (grid.tiles.empty()) return std::nullopt;
    // The grid's turns and mirrors are applied to what its tiles make; a
    // crop, or a tile of its own turned, is the decoder's to make.
    if (associations) {
        std::uint32_t flags = 0;
        const unsigned version = versionOf(*associations, &flags);
        const std::uint64_t entries = associations->take(4);
        const std::set<std::uint64_t> tiles(grid.tiles.begin(), grid.tiles.end());
        bool seen = false;
        Placement placement;
        for (std::uint64_t i = 0; i < entries && !associations->cut; ++i) {
            const std::uint64_t id = associations->take(version < 1 ? 2 : 4);
            const std::uint64_t count = associations->take(1);
            if (id == *primary && std::exchange(seen, true)) return std::nullopt;  // listed twice
            for (std::uint64_t j = 0; j < count && !associations->cut; ++j) {
                const std::uint64_t index = (flags & 1) ? associations->take(2) & 0x7fff : associations->take(1) & 0x7f;
                if ((id != *primary && !tiles.contains(id)) || index == 0 || index > properties.size()) continue;
                const Property& property = properties[index - 1];
                const bool transform = property.type == fourcc("irot") || property.type == fourcc("imir");
                if (property.type == fourcc("clap") || (transform && id != *primary)) return std::nullopt;
                if (transform && !property.value) return std::nullopt;  // cut short
                if (property.type == fourcc("irot")) placement = then(placement, turnedBy(*property.value & 3));
                if (property.type == fourcc("imir")) placement = then(placement, mirroredAbout(*property.value & 1));
            }
        }
        if (associations->cut) return std::nullopt;
        grid.orientation = orientationOf(placement);
    }
    return grid;
}

bool heifBoxesWithinBounds(const HeifBoxCounts& counts) {
    return counts.items <= kMaxHeifItems && counts.locations <= kMaxHeifItems &&
           counts.references <= kMaxHeifReferences && counts.mostFromOne <= kMaxHeifItems &&
           counts.properties <= kMaxHeifProperties && counts.associations <= kMaxHeifAssociations;
}

}  // namespace lumigal
