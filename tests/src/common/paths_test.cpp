#include "common/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace lumigal {
namespace {

TEST(Paths, CollapseSeparatorsMakesEveryRunOne) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"a", "a"},
        {"/", "/"},
        {"///", "/"},
        {"a//b", "a/b"},
        {"a///b//c/", "a/b/c/"},
        {"//srv/share", "/srv/share"},
        {"/a/b/", "/a/b/"},
        {"a\\\\b", "a\\\\b"},  // not the separator here
    };
    for (const auto& c : cases) {
        std::string path = c.in;
        collapseSeparators(path);
        EXPECT_EQ(path, c.out) << '"' << c.in << '"';
    }
}

TEST(Paths, JoinPathPutsExactlyOneSeparatorBetween) {
    EXPECT_EQ(joinPath("a", "b.jpg"), "a/b.jpg");
    EXPECT_EQ(joinPath("", "b.jpg"), "/b.jpg");
    EXPECT_EQ(joinPath("a/", "b"), "a//b");  // used as received, like the format
    EXPECT_EQ(joinPath("a", ""), "a/");
}

TEST(Paths, SplitPathSeparatesFolderBaseNameAndExtension) {
    const struct {
        std::string path, folder, baseName, extension;
    } cases[] = {
        {"/a.jpg", "/", "a", ".jpg"},
        {"dir/sub/x.tar.gz", "dir/sub/", "x.tar", ".gz"},
        {"/home/u/.bashrc", "/home/u/", "", ".bashrc"},
        {".bashrc", "", "", ".bashrc"},
        {"dir.d/file", "dir.d/", "file", ""},
        {"dir/", "dir/", "", ""},
        {"noext", "", "noext", ""},
        {"a.", "", "a", "."},
        {"", "", "", ""},
        {"/", "/", "", ""},
        {"a//b.png", "a//", "b", ".png"},
    };
    for (const auto& c : cases) {
        const PathParts parts = splitPath(c.path);
        EXPECT_EQ(parts.folder, c.folder) << c.path;
        EXPECT_EQ(parts.baseName, c.baseName) << c.path;
        EXPECT_EQ(parts.extension, c.extension) << c.path;
    }
}

TEST(Paths, FileExtensionStartsAtTheLastDotOfTheName) {
    const struct {
        std::string name, extension;
    } cases[] = {
        {"a.jpg", ".jpg"},
        {"j.jpg.txt", ".txt"},
        {"i", ""},
        {".photo.jpg", ".jpg"},
        {".bashrc", ".bashrc"},
        {"a.", "."},
        {"", ""},
        {"d.x/file", ""},
        {"d/f.PNG", ".PNG"},
        {"\xff\xfe.Jpg", ".Jpg"},
    };
    for (const auto& c : cases) EXPECT_EQ(fileExtension(c.name), c.extension) << c.name;
}

TEST(Paths, AbsolutePathPrefixesTheCurrentFolderOnly) {
    char buffer[PATH_MAX];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    const std::string cwd = buffer;
    const std::string prefix = cwd == "/" ? "/" : cwd + "/";

    EXPECT_EQ(absolutePath("/x/../y//z"), "/x/../y//z");
    EXPECT_EQ(absolutePath("a.html"), prefix + "a.html");
    EXPECT_EQ(absolutePath("a/../b//c"), prefix + "a/../b//c");
    EXPECT_EQ(absolutePath("./p"), prefix + "./p");
    EXPECT_EQ(absolutePath(""), cwd);
}

TEST(Paths, AbsolutePathFollowsTheCurrentFolder) {
    char buffer[PATH_MAX];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    ASSERT_EQ(chdir("/"), 0);
    const std::string atRoot = absolutePath("a.html");
    ASSERT_EQ(chdir(buffer), 0);
    EXPECT_EQ(atRoot, "/a.html");
}

}  // namespace
}  // namespace lumigal
