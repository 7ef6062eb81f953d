// What the page creation dialog's tests share: stored settings to open
// it with, and what they become once it has opened.
#pragma once

#include <QString>

#include <string>

#include "album/settings.h"
#include "common/colour.h"
#include "common/paths.h"

namespace lumigal::test {

constexpr Colour kWhite = makeColour(255, 255, 255);
constexpr Colour kBlack = 0;
constexpr Colour kTeal = makeColour(0, 128, 128);

// A folder path with the native separator: "out" -> "/out" on Linux.
inline std::string native(const std::string& path) {
    std::string result = path;
    for (char& c : result)
        if (c == '|') c = kPathSeparator;
    return result;
}

struct Fixture {
    PageSettings page;
    Preferences prefs;
    Fixture() {
        page.pageFolder = native("|albums|out");
        page.pageTitle = "earlier title";
        page.pagePath = native("|albums|earlier.htm");
        page.page_bgcolor = kTeal;
        page.page_textcolor = kTeal;
        page.page_infocolor = kTeal;
        page.position = 2;
        page.width = 75;
        page.height = 75;
        page.nbThumbByLine = 10;
    }
    // What the settings hold once the dialog has opened: the page colours
    // start again from white, black and black.
    PageSettings afterOpening() const {
        PageSettings expected = page;
        expected.page_bgcolor = kWhite;
        expected.page_textcolor = kBlack;
        expected.page_infocolor = kBlack;
        return expected;
    }
};

inline QString withoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

}  // namespace lumigal::test
