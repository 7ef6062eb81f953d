// The album's ZIP: what it holds, when it is made again, and that a failed
// or cancelled one leaves the old ZIP and nothing beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "album/album_zip.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

// name -> content of every entry of the ZIP at `path`; "!" + error when it
// cannot be read.
std::map<std::string, std::string> entriesOf(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) return {{"!", "open " + std::to_string(code)}};
    std::map<std::string, std::string> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t s;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &s);
        std::string content(s.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!file || zip_fread(file, content.data(), s.size) != static_cast<zip_int64_t>(s.size)) {
            entries["!"] = std::string("read ") + s.name;
        }
        if (file) zip_fclose(file);
        entries[s.name] = content;
    }
    zip_discard(archive);
    return entries;
}

class AlbumZipTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("LUMIGAL_TEST_TMP");
        dir_ = (fs::path(tmp ? tmp : fs::temp_directory_path().string()) /
                ("album-zip-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
                   .string();
        fs::remove_all(dir_);
        fs::create_directories(dir_ + "/images");
        ASSERT_TRUE(test::writeBytes(path("images/a.jpg"), std::string(3000, 'a')));
        ASSERT_TRUE(test::writeBytes(path("images/b é.png"), "bbbb"));
        entries_ = {{"a.jpg", path("images/a.jpg")}, {"b é.png", path("images/b é.png")}};
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::size_t filesIn(const std::string& folder) const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    std::string dir_;
    std::vector<ZipEntry> entries_;
    std::function<bool()> never_ = [] { return false; };
};

TEST_F(AlbumZipTest, HoldsTheCopiesUnderTheirNamesAndIsMadeAgainOnlyWhenOneChanges) {
    std::string error;
    ASSERT_EQ(writeAlbumZip(path("album.zip"), entries_, never_, error), ZipResult::Written) << error;
    const std::map<std::string, std::string> expected = {{"a.jpg", std::string(3000, 'a')}, {"b é.png", "bbbb"}};
    EXPECT_EQ(entriesOf(path("album.zip")), expected);
    const std::string zip = test::readFile(path("album.zip"));
    EXPECT_EQ(zip.find(dir_), std::string::npos) << "the ZIP names the maker's folder";
    struct stat info {};
    ASSERT_EQ(::stat(path("album.zip").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0111, 0u) << "a ZIP is no program";

    EXPECT_EQ(writeAlbumZip(path("album.zip"), entries_, never_, error), ZipResult::Unchanged);
    const struct {
        const char* what;
        std::function<void()> change;
        ZipResult result;
    } cases[] = {
        {"a copy of another size", [&] { test::writeBytes(path("images/a.jpg"), "longer or shorter"); },
         ZipResult::Written},
        {"a copy fewer", [&] { entries_.pop_back(); }, ZipResult::Written},
        {"nothing", [] {}, ZipResult::Unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_EQ(writeAlbumZip(path("album.zip"), entries_, never_, error), c.result) << error;
        EXPECT_EQ(entriesOf(path("album.zip")).size(), entries_.size());
    }
    EXPECT_EQ(entriesOf(path("album.zip")).at("a.jpg"), "longer or shorter");
}

TEST_F(AlbumZipTest, AFailedOrCancelledZipLeavesTheOldOneAndNoTemporaryFile) {
    std::string error;
    ASSERT_EQ(writeAlbumZip(path("album.zip"), entries_, never_, error), ZipResult::Written) << error;
    const std::string before = test::readFile(path("album.zip"));
    ASSERT_EQ(::symlink("/etc/passwd", path("images/link.jpg").c_str()), 0);
    ASSERT_TRUE(test::writeBytes(path("images/c.jpg"), "cc"));
    const struct {
        const char* what;
        std::vector<ZipEntry> entries;
        std::function<bool()> cancelled;
        ZipResult result;
    } cases[] = {
        {"a link among the copies", {entries_[0], {"link.jpg", path("images/link.jpg")}}, never_, ZipResult::Failed},
        {"a copy gone", {entries_[0], {"gone.jpg", path("images/gone.jpg")}}, never_, ZipResult::Failed},
        {"cancelled", {entries_[0], {"c.jpg", path("images/c.jpg")}}, [] { return true; }, ZipResult::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        error.clear();
        EXPECT_EQ(writeAlbumZip(path("album.zip"), c.entries, c.cancelled, error), c.result);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(test::readFile(path("album.zip")), before);
        EXPECT_EQ(filesIn(dir_), 2u) << "only images/ and album.zip";
    }
}

TEST_F(AlbumZipTest, TheTemporaryZipsOfAKilledRunAreRemovedNothingElse) {
    for (const char* name : {"album.zip.Ab3dE9", "album.zip.kept", "album.zip.Ab3dE9x", "other.zip.Ab3dE9"}) {
        ASSERT_TRUE(test::writeBytes(path(name), "x"));
    }
    removeUnfinishedZips(path("album.zip"));
    EXPECT_FALSE(fs::exists(path("album.zip.Ab3dE9")));
    for (const char* kept : {"album.zip.kept", "album.zip.Ab3dE9x", "other.zip.Ab3dE9"}) {
        EXPECT_TRUE(fs::exists(path(kept))) << kept;
    }
}

}  // namespace
}  // namespace lumigal
