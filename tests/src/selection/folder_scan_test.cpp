#include "selection/folder_scan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lumigal {
namespace {

namespace fs = std::filesystem;

ScanFormats onlyFormat(bool ScanFormats::*flag) {
    ScanFormats formats{false, false, false, false, false, false, false, false, false, false, {}};
    formats.*flag = true;
    return formats;
}

TEST(IsWantedImage, ComparesPrefixesIgnoringCase) {
    const ScanFormats all;
    const struct {
        const char* extension;
        bool wanted;
    } cases[] = {
        {".jpg", true},  {".JPG", true},   {".jpeg", true},   {".JPEG", true},  {".jpe", true},
        {".Jpe", true},  {".JPEGX", true}, {".jpgfoo", true}, {".bmp", true},   {".Bmp", true},
        {".bmpx", true}, {".dib", true},   {".gif", true},    {".GIF", true},   {".png", true},
        {".xbm", true},  {".tif", true},   {".txt", false},   {"", false},      {".", false},
        {".jp", false},  {".bm", false},   {"jpg", false},    {".j.pg", false}, {"..jpg", false},
        {".jpg ", true}, {".pn", false},   {".svg", false},   {".webp", true},  {".WebP", true},
        {".heic", true}, {".HEIF", true},  {".avif", true},   {".TIFF", true},  {".ti", false},
        {".hei", false}, {".avi", false},  {".web", false},   {".heix", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWantedImage(c.extension, all), c.wanted) << c.extension;
    }
}

TEST(IsWantedImage, EachFlagAcceptsOnlyItsOwnFamily) {
    const std::vector<std::string> extensions = {".bmp", ".dib",  ".gif",  ".png",  ".xbm",
                                                 ".jpg", ".jpe",  ".jpeg", ".webp", ".heic",
                                                 ".heif", ".avif", ".tif", ".tiff"};
    const struct {
        bool ScanFormats::*flag;
        std::set<std::string> accepted;
    } cases[] = {
        {&ScanFormats::bmp, {".bmp"}}, {&ScanFormats::dib, {".dib"}},
        {&ScanFormats::gif, {".gif"}}, {&ScanFormats::png, {".png"}},
        {&ScanFormats::xbm, {".xbm"}}, {&ScanFormats::jpeg, {".jpg", ".jpe", ".jpeg"}},
        {&ScanFormats::webp, {".webp"}}, {&ScanFormats::heic, {".heic", ".heif"}},
        {&ScanFormats::avif, {".avif"}}, {&ScanFormats::tiff, {".tif", ".tiff"}},
    };
    for (const auto& c : cases) {
        const ScanFormats formats = onlyFormat(c.flag);
        for (const std::string& extension : extensions) {
            EXPECT_EQ(IsWantedImage(extension, formats), c.accepted.count(extension) == 1)
                << extension << " with only " << *c.accepted.begin() << "'s flag on";
        }
    }
    const ScanFormats none{false, false, false, false, false, false, false, false, false, false, {}};
    for (const std::string& extension : extensions) EXPECT_FALSE(IsWantedImage(extension, none));
}

// Records what the scan reports.
class RecordingObserver : public ScanObserver {
public:
    void fileAdded(const std::string& path, int count) override {
        reports.emplace_back(path, count);
    }
    std::vector<std::pair<std::string, int>> reports;
};

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("LUMIGAL_TEST_TMP");
        fs::path parent = base && *base ? fs::path(base) : fs::temp_directory_path();
        fs::create_directories(parent);
        std::string pattern = (parent / "scan-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }

    void TearDown() override {
        // Give back any access a test took away, then remove everything.
        for (const std::string& path : locked_) chmod(path.c_str(), 0700);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    void file(const std::string& relative) {
        std::ofstream out(path(relative));
        ASSERT_TRUE(out) << relative;
        out << "x";
    }
    void folder(const std::string& relative) { ASSERT_EQ(mkdir(path(relative).c_str(), 0700), 0); }
    void link(const std::string& target, const std::string& relative) {
        ASSERT_EQ(symlink(target.c_str(), path(relative).c_str()), 0) << relative;
    }
    void lock(const std::string& relative) {
        locked_.push_back(path(relative));
        ASSERT_EQ(chmod(path(relative).c_str(), 0), 0);
    }

    std::string root_;
    std::vector<std::string> locked_;
};

std::set<std::string> asSet(const std::vector<std::string>& paths) {
    return {paths.begin(), paths.end()};
}

TEST_F(FolderScanTest, EmptyFolderOrNoWantedImageGivesZero) {
    folder("empty");
    folder("none");
    for (const char* name : {"h.svg", "i", "j.jpg.txt", ".photo.jpg", "readme.txt"}) {
        file(std::string("none/") + name);
    }
    for (const char* name : {"empty", "none"}) {
        SelectedFileList list;
        EXPECT_EQ(ScanFolder(nullptr, path(name), ScanFormats{}, list), 0) << name;
        EXPECT_EQ(ScanFolderTree(nullptr, path(name), ScanFormats{}, list), 0) << name;
        EXPECT_EQ(list.selectedFileCount(), 0);
        EXPECT_TRUE(list.sortList().empty());
    }
}

TEST_F(FolderScanTest, CollectsTheWantedFilesInNameOrder) {
    const std::set<std::string> wanted = {"a.JPG", "b.jpeg", "c.Bmp",  "d.dib",  "e.gif",
                                          "f.png", "g.xbm",  "k.bmpx", "l.JPEGX", "m.tif"};
    const std::set<std::string> unwanted = {"h.svg", "i", "j.jpg.txt", ".photo.jpg", ".jpg"};
    for (const std::string& name : wanted) file(name);
    for (const std::string& name : unwanted) file(name);
    folder("x.jpg");
    file("x.jpg/inside.png");

    // Their names differ from their first letter on, so name order is set order.
    std::vector<std::string> expected;
    for (const std::string& name : wanted) expected.push_back(path(name));

    SelectedFileList list;
    EXPECT_EQ(ScanFolder(nullptr, root_, ScanFormats{}, list), 10);
    EXPECT_EQ(list.selectedFiles(), expected);
    EXPECT_EQ(list.sortList().size(), expected.size());
}

TEST_F(FolderScanTest, FormatFlagsChooseTheFamilies) {
    for (const char* name :
         {"a.bmp", "b.dib", "c.gif", "d.png", "e.xbm", "f.jpg", "g.jpe", "h.JPEG"}) {
        file(name);
    }
    const struct {
        bool ScanFormats::*flag;
        std::set<std::string> expected;
    } cases[] = {
        {&ScanFormats::bmp, {"a.bmp"}}, {&ScanFormats::dib, {"b.dib"}},
        {&ScanFormats::gif, {"c.gif"}}, {&ScanFormats::png, {"d.png"}},
        {&ScanFormats::xbm, {"e.xbm"}}, {&ScanFormats::jpeg, {"f.jpg", "g.jpe", "h.JPEG"}},
    };
    for (const auto& c : cases) {
        std::set<std::string> expected;
        for (const std::string& name : c.expected) expected.insert(path(name));
        SelectedFileList list;
        EXPECT_EQ(ScanFolder(nullptr, root_, onlyFormat(c.flag), list),
                  static_cast<int>(expected.size()));
        EXPECT_EQ(asSet(list.selectedFiles()), expected) << *c.expected.begin();
    }
}

TEST_F(FolderScanTest, VideosAreTakenByTheirContentWhenAskedFor) {
    const std::string mp4("\0\0\0\x18" "ftypisom\0\0\0\0isomavc1", 24);
    const std::string webm = std::string("\x1a\x45\xdf\xa3\x87\x42\x82\x84", 8) + "webm" +
                             std::string(3, '\0');
    const std::string heic("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24);
    const struct {
        const char* name;
        std::string content;
    } files[] = {
        {"a.mp4", mp4},
        {"b.MOV", mp4},  // an MP4 under a QuickTime name
        {"c.webm", webm},
        {"d.mkv", webm},
        {"e.avi", std::string("RIFF\x10\0\0\0AVI LIST", 16)},
        {"f.3gp", std::string("\0\0\0\x10" "ftyp3gp5\0\0\0\0", 16)},
        {"g.m4v", std::string("\0\0\0\x10" "ftypM4V \0\0\0\0", 16)},
        {"h.mp4", "not a video"},  // taken, for the page to say why it is left out
        {"i.mp4", heic},
        {"j.txt", mp4},   // not a video's name
        {"k.qt", std::string("\0\0\0\x10" "ftypqt  \0\0\0\0", 16)},
        {"photo.jpg", "x"},
    };
    for (const auto& f : files) {
        std::ofstream out(path(f.name), std::ios::binary);
        out << f.content;
    }
    ASSERT_EQ(mkfifo(path("pipe.mp4").c_str(), 0600), 0);
    folder("folder.mp4");
    const auto only = [](bool VideoTypes::*flag) {
        ScanFormats formats{false, false, false, false, false, false, false, false, false, false, {}};
        formats.videos.*flag = true;
        return formats;
    };
    ScanFormats allVideos{false, false, false, false, false, false, false, false, false, false, {}};
    allVideos.videos = VideoTypes::all();
    ScanFormats everything;
    everything.videos = VideoTypes::all();
    const struct {
        const char* what;
        ScanFormats formats;
        std::set<std::string> expected;
    } cases[] = {
        {"the default", ScanFormats{}, {"photo.jpg"}},
        {"every video", allVideos,
         {"a.mp4", "b.MOV", "c.webm", "d.mkv", "e.avi", "f.3gp", "g.m4v", "h.mp4", "i.mp4", "k.qt"}},
        {"everything", everything,
         {"a.mp4", "b.MOV", "c.webm", "d.mkv", "e.avi", "f.3gp", "g.m4v", "h.mp4", "i.mp4", "k.qt",
          "photo.jpg"}},
        {"mp4", only(&VideoTypes::mp4), {"a.mp4", "b.MOV", "h.mp4", "i.mp4"}},
        {"mov", only(&VideoTypes::mov), {"k.qt"}},
        {"webm", only(&VideoTypes::webm), {"c.webm", "d.mkv"}},
        {"mkv", only(&VideoTypes::mkv), {}},
        {"avi", only(&VideoTypes::avi), {"e.avi"}},
        {"3gp", only(&VideoTypes::threeGp), {"f.3gp"}},
        {"m4v", only(&VideoTypes::m4v), {"g.m4v"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::set<std::string> expected;
        for (const std::string& name : c.expected) expected.insert(path(name));
        SelectedFileList list;
        ScanFolder(nullptr, root_, c.formats, list);
        EXPECT_EQ(asSet(list.selectedFiles()), expected);
    }
}

TEST_F(FolderScanTest, FolderNamedLikeAnImageIsNeverAFile) {
    folder("x.jpg");
    file("x.jpg/y.gif");
    file("z.png");

    SelectedFileList flat;
    EXPECT_EQ(ScanFolder(nullptr, root_, ScanFormats{}, flat), 1);
    EXPECT_EQ(flat.selectedFiles(), std::vector<std::string>{path("z.png")});

    SelectedFileList tree;
    EXPECT_EQ(ScanFolderTree(nullptr, root_, ScanFormats{}, tree), 2);
    EXPECT_EQ(asSet(tree.selectedFiles()),
              (std::set<std::string>{path("x.jpg/y.gif"), path("z.png")}));
}

TEST_F(FolderScanTest, ScansListByNameCaseIgnoredAndTreesDepthFirst) {
    // Entries are made in the order given; a name ending in '/' is a folder.
    const struct {
        const char* label;
        std::vector<std::string> made;
        std::vector<std::string> flat;  // ScanFolder of the case's folder
        std::vector<std::string> tree;  // ScanFolderTree of it
    } cases[] = {
        {"case ignored, ties by bytes, letters before the signs after 'Z'",
         {"_u.jpg", "b.jpg", "Z.jpg", "a.jpg", "9.jpg", "C.JPG", "ab.jpg", "A.jpg", "10.jpg"},
         {"10.jpg", "9.jpg", "A.jpg", "a.jpg", "ab.jpg", "b.jpg", "C.JPG", "Z.jpg", "_u.jpg"},
         {"10.jpg", "9.jpg", "A.jpg", "a.jpg", "ab.jpg", "b.jpg", "C.JPG", "Z.jpg", "_u.jpg"}},
        {"a sub-folder's images where its name comes",
         {"N.jpg", "m/", "m/z.jpg", "m/B.jpg", "m/.hidden/", "m/.hidden/h.jpg", "m/k/", "m/k/1.jpg",
          "l.jpg", "A.jpg", "O/", "e/"},
         {"A.jpg", "l.jpg", "N.jpg"},
         {"A.jpg", "l.jpg", "m/B.jpg", "m/k/1.jpg", "m/z.jpg", "N.jpg"}},
        {"Latin-1 letters folded, others by code point, other bytes by value",
         {"\xff.jpg", "\xc3\x89" "b.jpg", "zoo.jpg", "\xce\xb1.jpg", "\xc3\xa9" "a.jpg", "eau.jpg"},
         {"eau.jpg", "zoo.jpg", "\xc3\xa9" "a.jpg", "\xc3\x89" "b.jpg", "\xce\xb1.jpg", "\xff.jpg"},
         {"eau.jpg", "zoo.jpg", "\xc3\xa9" "a.jpg", "\xc3\x89" "b.jpg", "\xce\xb1.jpg", "\xff.jpg"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string top = "case" + std::to_string(n++);
        folder(top);
        for (const std::string& name : c.made) {
            if (name.ends_with('/')) {
                folder(top + "/" + name.substr(0, name.size() - 1));
            } else {
                file(top + "/" + name);
            }
        }
        const auto full = [&](const std::vector<std::string>& names) {
            std::vector<std::string> paths;
            for (const std::string& name : names) paths.push_back(path(top + "/" + name));
            return paths;
        };
        SelectedFileList flat;
        ScanFolder(nullptr, path(top), ScanFormats{}, flat);
        EXPECT_EQ(flat.selectedFiles(), full(c.flat));
        SelectedFileList tree;
        ScanFolderTree(nullptr, path(top), ScanFormats{}, tree);
        EXPECT_EQ(tree.selectedFiles(), full(c.tree));
    }
}

TEST_F(FolderScanTest, ManyFilesMadeShuffledComeInNameOrder) {
    std::vector<std::string> names;
    for (int i = 1; i <= 300; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.png", i);
        names.push_back(name);
    }
    std::vector<std::string> made = names;
    std::shuffle(made.begin(), made.end(), std::mt19937(13));
    folder("many");
    for (const std::string& name : made) file("many/" + name);

    std::vector<std::string> expected;
    for (const std::string& name : names) expected.push_back(path("many/" + name));
    SelectedFileList list;
    ScanFolder(nullptr, path("many"), ScanFormats{}, list);
    EXPECT_EQ(list.selectedFiles(), expected);
}

TEST_F(FolderScanTest, ObserverSeesEveryFileWithTheRunningCount) {
    folder("A");
    folder("A/B");
    for (const char* name : {"A/1.jpg", "A/2.png", "A/B/3.gif", "A/skip.txt"}) file(name);

    RecordingObserver observer;
    SelectedFileList list;
    const int count = ScanFolderTree(&observer, path("A"), ScanFormats{}, list);
    ASSERT_EQ(count, 3);
    ASSERT_EQ(observer.reports.size(), 3u);
    for (std::size_t i = 0; i < observer.reports.size(); ++i) {
        EXPECT_EQ(observer.reports[i].first, list.selectedFiles()[i]);
        EXPECT_EQ(observer.reports[i].second, static_cast<int>(i) + 1);
    }
    EXPECT_EQ(observer.reports.back().second, count);
}

TEST_F(FolderScanTest, FolderThatCannotBeListedGivesZero) {
    file("plain.jpg");
    folder("locked");
    file("locked/a.jpg");
    const bool canLock = geteuid() != 0;
    if (canLock) lock("locked");

    std::vector<std::string> folders = {path("missing"), path("plain.jpg"), path("missing/deeper")};
    if (canLock) folders.push_back(path("locked"));
    for (const std::string& f : folders) {
        RecordingObserver observer;
        SelectedFileList list;
        EXPECT_EQ(ScanFolder(&observer, f, ScanFormats{}, list), 0) << f;
        EXPECT_EQ(ScanFolderTree(&observer, f, ScanFormats{}, list), 0) << f;
        EXPECT_EQ(list.selectedFileCount(), 0);
        EXPECT_TRUE(observer.reports.empty());
    }
}

TEST_F(FolderScanTest, TreeScanPassesOverASubFolderThatCannotBeListed) {
    if (geteuid() == 0) GTEST_SKIP() << "root can list any folder";
    folder("A");
    file("A/1.jpg");
    folder("A/locked");
    file("A/locked/2.jpg");
    folder("A/open");
    file("A/open/3.jpg");
    lock("A/locked");

    struct Skips : ScanObserver {
        std::vector<std::string> folders;
        void folderSkipped(const std::string& p) override { folders.push_back(p); }
    } skips;
    SelectedFileList list;
    EXPECT_EQ(ScanFolderTree(&skips, path("A"), ScanFormats{}, list), 2);
    EXPECT_EQ(asSet(list.selectedFiles()),
              (std::set<std::string>{path("A/1.jpg"), path("A/open/3.jpg")}));
    EXPECT_EQ(skips.folders, (std::vector<std::string>{path("A/locked")}));
}

TEST_F(FolderScanTest, LinksNeverLeadOutOfTheTreeOrIntoALoop) {
    file("outside.jpg");
    folder("T");
    file("T/a.jpg");
    folder("T/sub");
    file("T/sub/s.jpg");
    link(".", "T/self");
    link(".", "T/self.jpg");
    link("..", "T/up");
    link("../..", "T/sub/back");
    link(path("T"), "T/sub/absolute");
    link("sub", "T/dir.jpg");
    link("a.jpg", "T/lnk.jpg");
    link("../outside.jpg", "T/out.jpg");
    link("nothing-there.jpg", "T/dead.jpg");
    link("loop2.jpg", "T/loop1.jpg");
    link("loop1.jpg", "T/loop2.jpg");
    ASSERT_EQ(mkfifo(path("T/pipe.jpg").c_str(), 0600), 0);

    const std::set<std::string> expectedFlat = {path("T/a.jpg"), path("T/lnk.jpg"),
                                                path("T/out.jpg")};
    std::set<std::string> expectedTree = expectedFlat;
    expectedTree.insert(path("T/sub/s.jpg"));

    SelectedFileList flat;
    EXPECT_EQ(ScanFolder(nullptr, path("T"), ScanFormats{}, flat), 3);
    EXPECT_EQ(asSet(flat.selectedFiles()), expectedFlat);

    SelectedFileList tree;
    EXPECT_EQ(ScanFolderTree(nullptr, path("T"), ScanFormats{}, tree), 4);
    EXPECT_EQ(asSet(tree.selectedFiles()), expectedTree);
    EXPECT_EQ(tree.selectedFiles().size(), expectedTree.size()) << "a file came twice";
}

TEST_F(FolderScanTest, TopFolderMayItselfBeALink) {
    folder("real");
    file("real/a.png");
    link(path("real"), "alias");

    SelectedFileList flat;
    EXPECT_EQ(ScanFolder(nullptr, path("alias"), ScanFormats{}, flat), 1);
    EXPECT_EQ(flat.selectedFiles(), std::vector<std::string>{path("alias/a.png")});

    SelectedFileList tree;
    EXPECT_EQ(ScanFolderTree(nullptr, path("alias"), ScanFormats{}, tree), 1);
    EXPECT_EQ(tree.selectedFiles(), std::vector<std::string>{path("alias/a.png")});
}

TEST_F(FolderScanTest, NamesThatAreNotUtf8AreKeptAsBytes) {
    const std::string oddFile = "\xff\xfe photo.JPG";
    const std::string oddFolder = "\xe9t\xe9";  // Latin-1 bytes
    file(oddFile);
    folder(oddFolder);
    file(oddFolder + "/x\x80.png");

    SelectedFileList list;
    EXPECT_EQ(ScanFolderTree(nullptr, root_, ScanFormats{}, list), 2);
    EXPECT_EQ(asSet(list.selectedFiles()),
              (std::set<std::string>{path(oddFile), path(oddFolder + "/x\x80.png")}));
    EXPECT_EQ(list.sortList().size(), 2u);
}

TEST_F(FolderScanTest, DeepPathsBeyondTheOldLimitsAreScanned) {
    std::string relative;
    for (int level = 0; level < 12; ++level) {
        relative += (relative.empty() ? "" : "/") + std::string(40, static_cast<char>('a' + level));
        folder(relative);
    }
    file(relative + "/deep.gif");
    ASSERT_GT(path(relative).size(), 300u);

    SelectedFileList list;
    EXPECT_EQ(ScanFolderTree(nullptr, root_, ScanFormats{}, list), 1);
    EXPECT_EQ(list.selectedFiles(), std::vector<std::string>{path(relative + "/deep.gif")});
}

TEST_F(FolderScanTest, TreeScanListsThroughDoubledSeparatorsButKeepsTheFolderAsGiven) {
    folder("A");
    folder("A/B");
    file("A/B/1.jpg");
    const std::string given = root_ + "//A";

    SelectedFileList list;
    EXPECT_EQ(ScanFolderTree(nullptr, given, ScanFormats{}, list), 1);
    EXPECT_EQ(list.selectedFiles(), std::vector<std::string>{given + "/B/1.jpg"});
}

TEST_F(FolderScanTest, MoreFilesThanTheOldTableHeldAreAllCollected) {
    const int total = 5100;
    for (int i = 0; i < total; ++i) file("img" + std::to_string(i) + ".gif");

    RecordingObserver observer;
    SelectedFileList list;
    EXPECT_EQ(ScanFolder(&observer, root_, ScanFormats{}, list), total);
    EXPECT_EQ(list.selectedFileCount(), total);
    EXPECT_EQ(asSet(list.selectedFiles()).size(), static_cast<std::size_t>(total));
    ASSERT_FALSE(observer.reports.empty());
    EXPECT_EQ(observer.reports.back().second, total);
}

}  // namespace
}  // namespace lumigal
