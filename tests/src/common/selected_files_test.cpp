#include "common/selected_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

namespace lumigal {
namespace {

// Sets LC_ALL for one test and puts the previous locale back afterwards.
class LocaleGuard {
public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool use(const char* name) { return std::setlocale(LC_ALL, name) != nullptr; }

private:
    std::string saved_;
};

bool useUtf8Locale(LocaleGuard& guard) {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (guard.use(name)) return true;
    }
    return false;
}

std::vector<std::string> texts(const std::vector<const std::string*>& paths) {
    std::vector<std::string> out;
    for (const std::string* p : paths) out.push_back(*p);
    return out;
}

SelectedFileList listOf(const std::vector<std::string>& paths) {
    SelectedFileList list;
    for (const std::string& p : paths) list.add(p);
    return list;
}

// The position of an entry of a view in selectedFiles, to check that the
// views point into the gathered table.
std::size_t indexOf(const SelectedFileList& list, const std::string* p) {
    return static_cast<std::size_t>(p - list.selectedFiles().data());
}

TEST(SelectedFiles, AddKeepsGatheringOrderAndCount) {
    const SelectedFileList list = listOf({"/b/2.jpg", "/a/1.jpg", "/c/3.jpg"});
    EXPECT_EQ(list.selectedFileCount(), 3);
    EXPECT_EQ(list.selectedFiles(), (std::vector<std::string>{"/b/2.jpg", "/a/1.jpg", "/c/3.jpg"}));
}

TEST(SelectedFiles, SortListUnderTheCLocaleFoldsAsciiCaseThenUsesByteOrder) {
    LocaleGuard guard;
    ASSERT_TRUE(guard.use("C"));
    const SelectedFileList list = listOf({"/p/b.jpg", "/p/Z.gif", "/p/_x.png", "/p/A.jpg",
                                          "/p/c.JPG", "/p/a0.bmp", "/p/\xc3\xa9.jpg"});
    // '_' (0x5F) lies below 'a' once 'A' is folded; 'Z' folds to 'z'; the
    // UTF-8 bytes of the accented name lie above every ASCII letter.
    EXPECT_EQ(texts(list.sortList()),
              (std::vector<std::string>{"/p/_x.png", "/p/A.jpg", "/p/a0.bmp", "/p/b.jpg",
                                        "/p/c.JPG", "/p/Z.gif", "/p/\xc3\xa9.jpg"}));
}

TEST(SelectedFiles, EqualKeysKeepInsertionOrder) {
    LocaleGuard guard;
    ASSERT_TRUE(guard.use("C"));
    const std::vector<std::vector<std::string>> orders = {
        {"/p/a.jpg", "/p/A.JPG", "/p/A.jpg", "/p/b.jpg"},
        {"/p/A.jpg", "/p/b.jpg", "/p/a.jpg", "/p/A.JPG"},
        {"/p/b.jpg", "/p/A.JPG", "/p/A.jpg", "/p/a.jpg"},
    };
    for (const auto& order : orders) {
        const SelectedFileList list = listOf(order);
        std::vector<std::string> expected;
        for (const std::string& p : order) {
            if (p != "/p/b.jpg") expected.push_back(p);
        }
        expected.push_back("/p/b.jpg");
        EXPECT_EQ(texts(list.sortList()), expected);
    }
}

TEST(SelectedFiles, SortListFoldsNonAsciiCaseInAUtf8Locale) {
    LocaleGuard guard;
    if (!useUtf8Locale(guard)) GTEST_SKIP() << "no UTF-8 locale on this machine";
    // Unfolded, "\xc3\x89" (É) sorts below "\xc3\xa9" (é); folded, both are é
    // and the second letter decides.
    const SelectedFileList list =
        listOf({"/p/\xc3\x89"
                "b.jpg",
                "/p/\xc3\xa9"
                "a.jpg",
                "/p/\xc3\x89"
                "A.jpg"});
    EXPECT_EQ(texts(list.sortList()), (std::vector<std::string>{"/p/\xc3\xa9"
                                                                "a.jpg",
                                                                "/p/\xc3\x89"
                                                                "A.jpg",
                                                                "/p/\xc3\x89"
                                                                "b.jpg"}));
}

TEST(SelectedFiles, NamesThatAreNotValidUtf8AreKeptAndOrderedByTheirBytes) {
    LocaleGuard guard;
    if (!useUtf8Locale(guard)) GTEST_SKIP() << "no UTF-8 locale on this machine";
    const std::vector<std::vector<std::string>> orders = {
        {"/p/\xff.jpg", "/p/\xfe.jpg", "/p/\xc3.jpg", "/p/a.jpg", "/p/A\xff.jpg"},
        {"/p/A\xff.jpg", "/p/a.jpg", "/p/\xc3.jpg", "/p/\xfe.jpg", "/p/\xff.jpg"},
    };
    std::vector<std::vector<std::string>> results;
    for (const auto& order : orders) {
        const SelectedFileList list = listOf(order);
        ASSERT_EQ(list.selectedFileCount(), 5);
        EXPECT_EQ(list.selectedFiles(), order);
        results.push_back(texts(list.sortList()));
    }
    // The same names give the same order, whatever order they came in.
    EXPECT_EQ(results[0], results[1]);
    std::vector<std::string> sortedInput = orders[0];
    std::sort(sortedInput.begin(), sortedInput.end());
    std::vector<std::string> sortedResult = results[0];
    std::sort(sortedResult.begin(), sortedResult.end());
    EXPECT_EQ(sortedResult, sortedInput);
    // Bytes that do not decode are not dropped from the key either.
    EXPECT_NE(sortKey("/p/\xff.jpg"), sortKey("/p/\xfe.jpg"));
    EXPECT_NE(sortKey("/p/\xff.jpg"), sortKey("/p/.jpg"));
}

TEST(SelectedFiles, SortListPointsIntoSelectedFiles) {
    const SelectedFileList list = listOf({"/b", "/a", "/c"});
    const auto sorted = list.sortList();
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(indexOf(list, sorted[0]), 1u);
    EXPECT_EQ(indexOf(list, sorted[1]), 0u);
    EXPECT_EQ(indexOf(list, sorted[2]), 2u);
}

TEST(SelectedFiles, ClearEmptiesBothViews) {
    SelectedFileList list = listOf({"/b", "/a"});
    list.clear();
    EXPECT_EQ(list.selectedFileCount(), 0);
    EXPECT_TRUE(list.selectedFiles().empty());
    EXPECT_TRUE(list.sortList().empty());
    list.add("/c");
    EXPECT_EQ(texts(list.sortList()), (std::vector<std::string>{"/c"}));
    EXPECT_EQ(texts(list.inPageOrder(true, 5)), (std::vector<std::string>{"/c"}));
}

TEST(SelectedFiles, InPageOrderTakesTheFirstCountOfEitherView) {
    const SelectedFileList list = listOf({"/c", "/a", "/d", "/b"});
    const struct {
        bool sorted;
        int count;
        std::vector<std::string> expected;
    } cases[] = {
        {false, 4, {"/c", "/a", "/d", "/b"}},
        {true, 4, {"/a", "/b", "/c", "/d"}},
        {false, 2, {"/c", "/a"}},
        {true, 3, {"/a", "/b", "/c"}},
        {true, 9, {"/a", "/b", "/c", "/d"}},
        {false, 9, {"/c", "/a", "/d", "/b"}},
        {true, 0, {}},
        {false, -1, {}},
        {true, -7, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts(list.inPageOrder(c.sorted, c.count)), c.expected)
            << "sorted=" << c.sorted << " count=" << c.count;
    }
}

TEST(SelectedFiles, ManyAddsStayOrderedAndStable) {
    LocaleGuard guard;
    ASSERT_TRUE(guard.use("C"));
    SelectedFileList list;
    std::uint32_t seed = 12345;
    const int total = 20000;
    for (int i = 0; i < total; ++i) {
        seed = seed * 1664525u + 1013904223u;
        std::string name = "/photos/";
        // Few distinct letters, so that many names collide once case is folded.
        for (int k = 0; k < 3; ++k) name.push_back("aAbBcC"[(seed >> (8 + 4 * k)) % 6]);
        name += ".jpg";
        list.add(name);
    }
    ASSERT_EQ(list.selectedFileCount(), total);
    const auto sorted = list.sortList();
    ASSERT_EQ(sorted.size(), static_cast<std::size_t>(total));
    std::vector<bool> seen(total, false);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::size_t index = indexOf(list, sorted[i]);
        ASSERT_LT(index, seen.size());
        ASSERT_FALSE(seen[index]) << "entry listed twice";
        seen[index] = true;
        if (i == 0) continue;
        const std::string before = sortKey(*sorted[i - 1]);
        const std::string here = sortKey(*sorted[i]);
        ASSERT_LE(before, here) << *sorted[i - 1] << " / " << *sorted[i];
        if (before == here) {
            ASSERT_LT(indexOf(list, sorted[i - 1]), index) << "not stable";
        }
    }
}

}  // namespace
}  // namespace lumigal
