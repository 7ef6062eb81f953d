#include "selection/gather_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumigal {
namespace {

std::vector<std::string> sorted(const SelectedFileList& list) {
    std::vector<std::string> out;
    for (const std::string* p : list.sortList()) out.push_back(*p);
    return out;
}

struct GatherCase {
    const char* name;
    std::string text;
    std::string folder;
    std::vector<std::string> expected;
};

class GatherSelectionTest : public ::testing::TestWithParam<GatherCase> {};

TEST_P(GatherSelectionTest, SplitsQuotedNames) {
    const GatherCase& c = GetParam();
    SelectedFileList list;
    const int added = GatherSelection(c.text, c.folder, list);
    EXPECT_EQ(added, static_cast<int>(c.expected.size()));
    EXPECT_EQ(list.selectedFiles(), c.expected);
    EXPECT_EQ(list.selectedFileCount(), added);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GatherSelectionTest,
    ::testing::Values(
        GatherCase{"two", R"("a.jpg" "b.jpg")", "/photos", {"/photos/a.jpg", "/photos/b.jpg"}},
        GatherCase{"root", R"("a.jpg" "b.jpg")", "/", {"/a.jpg", "/b.jpg"}},
        GatherCase{
            "blanks", R"("mon image.png" "x y.gif")", "/p", {"/p/mon image.png", "/p/x y.gif"}},
        GatherCase{"unclosed tail dropped", R"("a.jpg" "b.j)", "/p", {"/p/a.jpg"}},
        GatherCase{"only quote", R"(")", "/p", {}},
        GatherCase{"empty quotes", R"("" "b")", "/p", {"/p/", "/p/b"}},
        GatherCase{"no existence test",
                   R"("nowhere.txt" "ghost")",
                   "/none",
                   {"/none/nowhere.txt", "/none/ghost"}},
        GatherCase{"utf8", "\"été.jpg\" \"Ça.png\"", "/p", {"/p/été.jpg", "/p/Ça.png"}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(GatherSelection, SortListHoldsTheSamePathsSorted) {
    SelectedFileList list;
    GatherSelection(R"("b.jpg" "A.jpg")", "/p", list);
    EXPECT_EQ(list.selectedFiles(), (std::vector<std::string>{"/p/b.jpg", "/p/A.jpg"}));
    EXPECT_EQ(sorted(list), (std::vector<std::string>{"/p/A.jpg", "/p/b.jpg"}));
}

TEST(GatherSelection, GrowsBeyondTheOldFixedLimits) {
    // More than 5096 names and far more than 2048 characters of text.
    std::string text;
    const int n = 6000;
    for (int i = 0; i < n; ++i) {
        if (i) text += ' ';
        text += "\"image_numero_" + std::to_string(i) + ".jpg\"";
    }
    ASSERT_GT(text.size(), 2048u);
    SelectedFileList list;
    EXPECT_EQ(GatherSelection(text, "/p", list), n);
    ASSERT_EQ(list.selectedFileCount(), n);
    EXPECT_EQ(list.selectedFiles().back(), "/p/image_numero_5999.jpg");
}

TEST(GatherSelection, AddsToTheList) {
    SelectedFileList list;
    list.add("/x/first.jpg");
    EXPECT_EQ(GatherSelection(R"("a")", "/p", list), 1);
    EXPECT_EQ(list.selectedFiles(), (std::vector<std::string>{"/x/first.jpg", "/p/a"}));
}

}  // namespace
}  // namespace lumigal
