// The thumbnails of modern pages: a 2x beside each 1x that the image is
// large enough for, offered in the page's srcset, kept by the next run,
// made again once after an older recipe, removed when no longer due; the
// classic page keeps its recipe.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "album/page_writer.h"
#include "album/portable_copies.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "imaging/image_io.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"
#include "thumbnail_job.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

using test::readFile;

TEST(PhotoThumbnailRecipe, OnlyModernPagesChangeRecipe) {
    const struct {
        std::uint32_t style, proportions, portable, webSize;
        const char* recipe;
    } cases[] = {
        {kStyleClassic, kProportionsOfStyle, 0, 0, "3 -quality 99 -contrast"},
        {kStyleClassic, kProportionsKept, 0, 0, "3 -quality 99 -contrast -fit"},
        {kStyleClassic, kProportionsOfStyle, 1, 800, "3 -quality 99 -contrast -from-web-copy 800"},
        {kStyleModern, kProportionsOfStyle, 0, 0, "photo 1 -quality 82 -fit"},
        {kStyleModern, kProportionsExact, 0, 0, "photo 1 -quality 82"},
        {kStyleModern, kProportionsOfStyle, 1, 800, "photo 1 -quality 82 -fit -from-web-copy 800"},
    };
    for (const auto& c : cases) {
        PageSettings page;
        page.style = c.style;
        page.keepProportions = c.proportions;
        page.portable = c.portable;
        page.webSize = c.webSize;
        EXPECT_EQ(recipeOf(page), c.recipe);
        EXPECT_EQ(recipe2xOf(page), std::string(c.recipe) + " -2x");
    }
}

TEST(PhotoThumbnailNames, TheTwoXLiesBesideTheOneXAndBothAreFree) {
    const struct {
        const char* what;
        std::vector<std::string> sources;
        std::vector<std::string> otherFiles;  // not ours, in the thumbnail folder
        std::vector<std::string> one, two;    // expected
    } cases[] = {
        {"plain", {"s/a.png", "s/b.png"}, {}, {"a.jpg", "b.jpg"}, {"a@2x.jpg", "b@2x.jpg"}},
        // a.jpg's 2x would be the other image's usual name.
        {"a source named like a 2x", {"s/a.png", "s/a@2x.png"}, {}, {"a-2.jpg", "a@2x.jpg"},
         {"a-2@2x.jpg", "a@2x@2x.jpg"}},
        {"a file of the user's own, another case", {"s/p.png"}, {"P@2X.JPG"}, {"p-2.jpg"},
         {"p-2@2x.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = test::makeTempFolder(std::string("names2x-") + c.one[0]);
        std::vector<std::string> paths;
        for (const std::string& s : c.sources) paths.push_back(dir + "/" + s);
        std::vector<const std::string*> sources;
        for (const std::string& p : paths) sources.push_back(&p);
        fs::create_directories(dir + "/v");
        for (const std::string& o : c.otherFiles) ASSERT_TRUE(test::writeBytes(dir + "/v/" + o, "mine"));
        std::vector<ThumbnailNames> two;
        const std::vector<ThumbnailNames> one =
            uniqueThumbnailNames(sources, dir + "/v", false, kJpegThumbnailFormat, ThumbnailRecords(),
                                 dir + "/album.html", &two);
        ASSERT_EQ(one.size(), c.one.size());
        ASSERT_EQ(two.size(), c.two.size());
        for (std::size_t i = 0; i < one.size(); ++i) {
            EXPECT_EQ(one[i].page, dir + "/v/" + c.one[i]);
            EXPECT_EQ(two[i].page, dir + "/v/" + c.two[i]);
            EXPECT_EQ(two[i].maker, "JPEG:" + two[i].page);
        }
    }
}

class ModernThumbnailsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::makeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        page = PageSettings{};
        files.clear();
        page.pagePath = dir + "/index.html";
        page.pageFolder = dir;
        page.thumbnail = 1;
        page.style = kStyleModern;
        page.portable = 1;
        page.modernWidth = 100;
        page.modernHeight = 100;
        image("big.jpg", 900, 600);   // 1x 100 x 67, 2x 200 x 134
        image("small.jpg", 150, 100);  // too small for a 2x
        files.add(dir + "/big.jpg");
        files.add(dir + "/small.jpg");
        ::chmod((dir + "/big.jpg").c_str(), 0640);
    }
    void image(const std::string& name, unsigned w, unsigned h) {
        ASSERT_TRUE(test::writeTestImage(dir + "/" + name, w, h));
    }
    std::string generate() {
        ProgressObserver quiet;
        EXPECT_EQ(GenerateAlbumPage(files.selectedFileCount(), page, prefs, files, quiet,
                                    AlbumRunOptions{2}),
                  0);
        return readFile(page.pagePath);
    }
    std::string thumb(const std::string& name) const {
        return dir + "/" + kPortableThumbnailFolderName + "/" + name;
    }
    // The inode of each thumbnail file (0: none), to tell which were made again.
    std::map<std::string, ino_t> inodes() const {
        std::map<std::string, ino_t> found;
        for (const char* name : {"big.jpg", "big@2x.jpg", "small.jpg", "small@2x.jpg"}) {
            struct stat st {};
            found[name] = ::stat(thumb(name).c_str(), &st) == 0 ? st.st_ino : 0;
        }
        return found;
    }
    std::string dir;
    PageSettings page;
    Preferences prefs;
    SelectedFileList files;
};

TEST_F(ModernThumbnailsTest, TheTwoXIsMadeOfferedAndKept) {
    const std::string text = generate();
    std::string error;
    const auto two = pingImageFile(thumb("big@2x.jpg"), error);
    ASSERT_TRUE(two) << error;
    EXPECT_EQ(two->width, 200u);
    EXPECT_EQ(two->height, 134u);
    EXPECT_FALSE(fs::exists(thumb("small@2x.jpg")));
    EXPECT_NE(text.find("<img src=\"vignettes/big.jpg\" srcset=\"vignettes/big.jpg 1x, "
                        "vignettes/big@2x.jpg 2x\" width=\"100\" height=\"67\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<img src=\"vignettes/small.jpg\" width=\"100\" height=\"67\""),
              std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(thumb("big@2x.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0037, 0u) << "no wider than the source";

    const auto first = inodes();
    EXPECT_EQ(generate(), text);
    EXPECT_EQ(inodes(), first) << "the second run made a thumbnail again";
}

TEST_F(ModernThumbnailsTest, AnOlderRecipeIsMadeAgainOnce) {
    generate();
    const std::string record = ThumbnailRecords::fileIn(dir + "/" + kPortableThumbnailFolderName);
    // What the modern page's thumbnails were recorded with before: the
    // classic recipe, and no 2x.
    std::string text = readFile(record);
    text = std::regex_replace(text, std::regex("photo 1 -quality 82 -fit"), "3 -quality 99 -contrast -fit");
    ASSERT_TRUE(test::writeBytes(record, text));
    const auto before = inodes();
    generate();
    const auto remade = inodes();
    EXPECT_NE(remade.at("big.jpg"), before.at("big.jpg"));
    EXPECT_NE(remade.at("big@2x.jpg"), before.at("big@2x.jpg"));
    EXPECT_NE(remade.at("small.jpg"), before.at("small.jpg"));
    generate();
    EXPECT_EQ(inodes(), remade) << "made again twice";
}

TEST_F(ModernThumbnailsTest, ATwoXNoLongerDueIsRemoved) {
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"the source became small", [&] { image("big.jpg", 120, 80); }},
        {"a larger thumbnail size", [&] { page.modernWidth = page.modernHeight = 500; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        generate();
        ASSERT_TRUE(fs::exists(thumb("big@2x.jpg")));
        c.change();
        const std::string text = generate();
        EXPECT_FALSE(fs::exists(thumb("big@2x.jpg")));
        EXPECT_EQ(text.find("@2x"), std::string::npos);
        EXPECT_TRUE(fs::exists(thumb("big.jpg")));
    }
}

}  // namespace
}  // namespace lumigal
