#include "album/html.h"

#include <gtest/gtest.h>

namespace lumigal {
namespace {

struct EscapeCase {
    std::string in;
    std::string escaped;
    std::string url;
};

TEST(Html, EscapesTextAndEncodesUrls) {
    const EscapeCase cases[] = {
        {"/home/u/My Pics/a#1.jpg", "/home/u/My Pics/a#1.jpg", "home/u/My%20Pics/a%231.jpg"},
        {"/t/\"><img onerror=x>.png", "/t/&quot;&gt;&lt;img onerror=x&gt;.png",
         "t/%22%3E%3Cimg%20onerror=x%3E.png"},
        {"/a&b/c'd.gif", "/a&amp;b/c'd.gif", "a&amp;b/c'd.gif"},
        {"/q?x=1;y[2]@h:|.bmp", "/q?x=1;y[2]@h:|.bmp", "q%3Fx=1;y%5B2%5D@h:%7C.bmp"},
        {"/per%cent/tab\there", "/per%cent/tab\there", "per%25cent/tab%09here"},
        {"/\xC3\xA9t\xC3\xA9/\xFF.png", "/\xC3\xA9t\xC3\xA9/\xFF.png", "%C3%A9t%C3%A9/%FF.png"},
        {"/keep/-._~!$()*+,=.png", "/keep/-._~!$()*+,=.png", "keep/-._~!$()*+,=.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(htmlEscape(c.in), c.escaped) << c.in;
        EXPECT_EQ(fileUrlTail(c.in), c.url) << c.in;
    }
}

TEST(Html, UrlStripsOnlyTheLeadingSeparator) {
    EXPECT_EQ(fileUrlTail("/x/y.png"), "x/y.png");
    EXPECT_EQ(fileUrlTail("//x/y.png"), "/x/y.png");
    EXPECT_EQ(percentEncodePath("a b"), "a%20b");
    EXPECT_EQ(percentEncodePath(std::string("a\0b", 3)), "a%00b");
}

}  // namespace
}  // namespace lumigal
