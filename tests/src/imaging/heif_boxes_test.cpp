// The count of a HEIF file's items over its bytes, whatever the box sizes
// say, and the tiles of a grid as its boxes list them.
#include "heif_boxes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumigal {
namespace {

using Bytes = std::string;

Bytes be(std::uint64_t v, int n) {
    Bytes out;
    for (int i = n - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xff);
    return out;
}
Bytes box(const char* type, const Bytes& body) { return be(8 + body.size(), 4) + type + body; }
Bytes fullBox(const char* type, int version, int flags, const Bytes& body) {
    return box(type, be(std::uint64_t(version) << 24 | unsigned(flags), 4) + body);
}
Bytes infe(int id, const char* type, int flags = 0) {
    return fullBox("infe", 2, flags, be(id, 2) + be(0, 2) + type + '\0');
}

const Bytes kFtyp = box("ftyp", Bytes("heic") + be(0, 4) + "mif1heic");

// A grid (item 1) of tiles 2 to 5, with `extra` properties of the grid.
Bytes gridMeta(const Bytes& extraProperty = {}, const char* primaryType = "grid") {
    const Bytes iinf = fullBox("iinf", 0, 0, be(5, 2) + infe(1, primaryType) + infe(2, "hvc1", 1) +
                                                 infe(3, "hvc1", 1) + infe(4, "hvc1", 1) + infe(5, "hvc1", 1));
    const Bytes iref = fullBox("iref", 0, 0, box("dimg", be(1, 2) + be(4, 2) + be(2, 2) + be(3, 2) + be(4, 2) + be(5, 2)));
    const Bytes ipco = box("ipco", fullBox("ispe", 0, 0, be(64, 4) + be(64, 4)) + extraProperty);
    Bytes entries = be(1, 2) + be(extraProperty.empty() ? 1 : 2, 1) + be(1, 1) + (extraProperty.empty() ? "" : be(2, 1));
    for (int id = 2; id <= 5; ++id) entries += be(id, 2) + be(1, 1) + be(0x81, 1);
    const Bytes ipma = fullBox("ipma", 0, 0, be(5, 4) + entries);
    const Bytes iloc = fullBox("iloc", 0, 0, be(0x4400, 2) + be(5, 2));
    return fullBox("meta", 0, 0,
                   fullBox("pitm", 0, 0, be(1, 2)) + iloc + iinf + iref + box("iprp", ipco + ipma));
}

HeifBoxCounts count(const Bytes& file) {
    return countHeifBoxes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
}

TEST(HeifBoxes, CountsWhatTheBoxesDeclareWhateverTheirSizesSay) {
    const Bytes meta = gridMeta();
    const Bytes body = meta.substr(8);
    const struct {
        const char* name;
        Bytes file;
        std::uint64_t items, locations, references, mostFromOne, properties, associations;
    } cases[] = {
        {"no meta box", kFtyp + box("mdat", "xyz"), 0, 0, 0, 0, 0, 0},
        {"a grid of 4 tiles", kFtyp + meta + box("mdat", ""), 5, 5, 4, 4, 1, 5},
        {"meta up to the end (size 0)", kFtyp + be(0, 4) + "meta" + body, 5, 5, 4, 4, 1, 5},
        {"meta with a 64-bit size", kFtyp + be(1, 4) + "meta" + be(16 + body.size(), 8) + body, 5, 5, 4, 4, 1, 5},
        {"meta longer than the file", kFtyp + be(1u << 30, 4) + "meta" + body, 5, 5, 4, 4, 1, 5},
        {"a size below the header", be(4, 4) + "ftyp" + meta, 0, 0, 0, 0, 0, 0},
        // Within the item entries: 3 of 5 there, the references never reached.
        {"cut in the middle", kFtyp + meta.substr(0, meta.size() / 2), 5, 5, 0, 0, 0, 0},
        {"70,000 entries declared, none there",
         kFtyp + fullBox("meta", 0, 0, fullBox("iinf", 1, 0, be(70000, 4))), 70000, 0, 0, 0, 0, 0},
        {"4 billion associations declared in 7 bytes",
         kFtyp + fullBox("meta", 0, 0, box("iprp", fullBox("ipma", 0, 0, be(0xffffffff, 4) + be(1, 2) + be(200, 1)))),
         0xffffffff, 0, 0, 0, 0, 200},
        {"60,000 references from one item",
         kFtyp + fullBox("meta", 0, 0, fullBox("iref", 0, 0, box("dimg", be(1, 2) + be(60000, 2)))), 0, 0, 60000,
         60000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HeifBoxCounts n = count(c.file);
        EXPECT_EQ(n.items, c.items);
        EXPECT_EQ(n.locations, c.locations);
        EXPECT_EQ(n.references, c.references);
        EXPECT_EQ(n.mostFromOne, c.mostFromOne);
        EXPECT_EQ(n.properties, c.properties);
        EXPECT_EQ(n.associations, c.associations);
    }
    EXPECT_EQ(countHeifBoxes(nullptr, 100).items, 0u);
}

TEST(HeifBoxes, EachCountHasItsBound) {
    const HeifBoxCounts atBounds{kMaxHeifItems, kMaxHeifItems, kMaxHeifReferences, kMaxHeifItems,
                                 kMaxHeifProperties, kMaxHeifAssociations};
    EXPECT_TRUE(heifBoxesWithinBounds(atBounds));
    std::uint64_t HeifBoxCounts::*fields[] = {&HeifBoxCounts::items, &HeifBoxCounts::locations,
                                              &HeifBoxCounts::references, &HeifBoxCounts::mostFromOne,
                                              &HeifBoxCounts::properties, &HeifBoxCounts::associations};
    for (auto field : fields) {
        HeifBoxCounts over = atBounds;
        ++(over.*field);
        EXPECT_FALSE(heifBoxesWithinBounds(over));
    }
}

TEST(HeifBoxes, TheTilesOfAGridAreListedInOrderWithTheirFlags) {
    const Bytes plain = kFtyp + gridMeta();
    const auto* data = reinterpret_cast<const std::uint8_t*>(plain.data());
    const std::optional<HeifGridTiles> grid = heifGridTiles(data, plain.size());
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->tiles, (std::vector<std::uint32_t>{2, 3, 4, 5}));
    ASSERT_EQ(grid->flagOffsets.size(), 4u);
    for (std::size_t at : grid->flagOffsets) {
        ASSERT_LT(at, plain.size());
        EXPECT_EQ(plain[at], '\1');          // the hidden flag
        EXPECT_EQ(plain.substr(at - 7, 4), "infe");
    }
    const struct {
        const char* name;
        Bytes file;
    } refused[] = {
        {"cropped", kFtyp + gridMeta(box("clap", Bytes(32, '\0')))},
        {"no grid", kFtyp + gridMeta({}, "hvc1")},
        {"cut before the references", plain.substr(0, plain.find("iref"))},
        {"no meta", kFtyp},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(heifGridTiles(reinterpret_cast<const std::uint8_t*>(c.file.data()), c.file.size()))
            << c.name;
    }
    // A turn or a mirror of the grid is applied to what the tiles make.
    const struct {
        const char* type;
        int value, orientation;
    } placed[] = {{"irot", 0, 1}, {"irot", 1, 8}, {"irot", 2, 3}, {"irot", 3, 6},
                  {"imir", 0, 2}, {"imir", 1, 4}, {"irot", 5, 8}};
    for (const auto& c : placed) {
        const Bytes file = kFtyp + gridMeta(box(c.type, be(c.value, 1)));
        const auto found = heifGridTiles(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
        ASSERT_TRUE(found) << c.type << ' ' << c.value;
        EXPECT_EQ(found->orientation, c.orientation) << c.type << ' ' << c.value;
    }
    // A property that changes nothing of the geometry is no reason.
    const Bytes described = kFtyp + gridMeta(box("colr", Bytes("nclx") + be(0x0001000d0006, 6) + be(0x80, 1)));
    EXPECT_TRUE(heifGridTiles(reinterpret_cast<const std::uint8_t*>(described.data()), described.size()));
}

}  // namespace
}  // namespace lumigal
