// The gallery's options: --gallery, --sort with and without its word,
// --reverse, --per-page, --base-url, and what they set.
#include <gtest/gtest.h>

#include "batch/batch_options.h"

namespace lumigal::batch {
namespace {

struct Applied {
    ParsedCommandLine parsed;
    PageSettings page;
};

Applied run(std::vector<std::string> args) {
    Applied a;
    a.parsed = parseCommandLine(args);
    Preferences prefs;
    defaultSettings(prefs, a.page);
    if (a.parsed.outcome == ParsedCommandLine::Run) applyOptions(a.parsed.options, prefs, a.page);
    return a;
}

TEST(GalleryOptions, SortTakesItsWordOnlyWhenItIsOne) {
    struct Case {
        std::vector<std::string> args;
        std::uint32_t sortOrder, tri;
        std::vector<std::string> inputs;
    };
    const Case cases[] = {
        {{"--sort", "-o", "p.html", "d"}, kSortOfTri, 1, {"d"}},
        {{"--no-sort", "-o", "p.html", "d"}, kSortOfTri, 0, {"d"}},
        {{"--sort=date", "-o", "p.html", "d"}, kSortByDate, 0, {"d"}},
        {{"--sort", "date", "-o", "p.html", "d"}, kSortByDate, 0, {"d"}},
        {{"--sort", "name", "-o", "p.html", "d"}, kSortByName, 1, {"d"}},
        {{"--sort", "none", "-o", "p.html", "d"}, kSortNone, 0, {"d"}},
        // A folder called "dates" or "Date" is a folder, not the order.
        {{"-o", "p.html", "--sort", "dates"}, kSortOfTri, 1, {"dates"}},
        {{"-o", "p.html", "--sort", "Date"}, kSortOfTri, 1, {"Date"}},
        {{"-o", "p.html", "d", "--sort", "date"}, kSortByDate, 0, {"d"}},
        {{"-o", "p.html", "--sort", "--", "date"}, kSortOfTri, 1, {"date"}},
    };
    for (const Case& c : cases) {
        const Applied a = run(c.args);
        ASSERT_EQ(a.parsed.outcome, ParsedCommandLine::Run) << c.args[0] << " " << a.parsed.error;
        EXPECT_EQ(a.page.sortOrder, c.sortOrder) << c.args[1];
        EXPECT_EQ(a.page.tri, c.tri) << c.args[1];
        EXPECT_EQ(a.parsed.options.inputs, c.inputs) << c.args[1];
    }
}

TEST(GalleryOptions, GalleryIsModernPortableThumbnails) {
    const Applied a = run({"--gallery", "-o", "out/index.html", "photos"});
    ASSERT_EQ(a.parsed.outcome, ParsedCommandLine::Run) << a.parsed.error;
    EXPECT_EQ(a.page.gallery, 1u);
    EXPECT_EQ(a.page.style, kStyleModern);
    EXPECT_EQ(a.page.portable, 1u);
    EXPECT_EQ(a.page.thumbnail, 1u);
    EXPECT_EQ(photosPerPage(a.page), 100u);
    const Applied plain = run({"-o", "p.html", "photos"});
    EXPECT_EQ(plain.page.gallery, 0u);
    EXPECT_EQ(plain.page.portable, 0u);
    EXPECT_FALSE(a.parsed.options.zip);
    EXPECT_TRUE(run({"--gallery", "--zip", "-o", "out/index.html", "photos"}).parsed.options.zip);
    const Applied zipOnly = run({"--zip", "-o", "p.html", "photos"});
    EXPECT_EQ(zipOnly.parsed.outcome, ParsedCommandLine::Error);
    EXPECT_NE(zipOnly.parsed.error.find("--gallery"), std::string::npos) << zipOnly.parsed.error;
}

TEST(GalleryOptions, PerPageReverseAndBaseUrl) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        unsigned perPage = 100;
        std::uint32_t reverse = 0;
        std::string baseUrl;
    };
    const Case cases[] = {
        {{"--per-page", "2"}, true, 2, 0, ""},
        {{"--per-page=0"}, true, 0, 0, ""},
        {{"--per-page", "-1"}, false, 100, 0, ""},
        {{"--per-page", "x"}, false, 100, 0, ""},
        {{"--reverse"}, true, 100, 1, ""},
        {{"--reverse", "--no-reverse"}, true, 100, 0, ""},
        {{"--base-url", "https://exemple.fr/photos/"}, true, 100, 0, "https://exemple.fr/photos/"},
        {{"--base-url=http://h"}, true, 100, 0, "http://h"},
        {{"--base-url", "ftp://exemple.fr/"}, false, 100, 0, ""},
        {{"--base-url", "https://"}, false, 100, 0, ""},
        {{"--base-url", "https:///chemin"}, false, 100, 0, ""},
        {{"--base-url", "https://a b/"}, false, 100, 0, ""},
        {{"--base-url", "https://a/\"onload"}, false, 100, 0, ""},
        {{"--base-url", "exemple.fr"}, false, 100, 0, ""},
        {{"-m", "details"}, false, 100, 0, ""},
        {{"--style", "classic"}, false, 100, 0, ""},
        {{"--no-portable"}, false, 100, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--gallery", "-o", "o/index.html"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("photos");
        const Applied a = run(args);
        ASSERT_EQ(a.parsed.outcome == ParsedCommandLine::Run, c.ok) << c.args[0] << ": " << a.parsed.error;
        if (!c.ok) {
            EXPECT_FALSE(a.parsed.error.empty());
            continue;
        }
        EXPECT_EQ(photosPerPage(a.page), c.perPage) << c.args[0];
        EXPECT_EQ(a.page.reverseOrder, c.reverse) << c.args[0];
        EXPECT_EQ(a.parsed.options.baseUrl, c.baseUrl) << c.args[0];
    }
}

TEST(GalleryOptions, HelpShowsTheNewOptions) {
    const std::string help = usageText();
    for (const char* shown : {"--gallery", "--sort[=ORDRE], --no-sort", "--reverse, --no-reverse",
                              "--per-page N", "--base-url URL", "--zip"}) {
        EXPECT_NE(help.find(shown), std::string::npos) << shown;
    }
}

}  // namespace
}  // namespace lumigal::batch
