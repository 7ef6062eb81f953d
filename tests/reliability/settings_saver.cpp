// Test helper for the crash-safe settings test.
//
//   settings_saver save STORE FIRST   saves generation FIRST, FIRST+1, ... of
//                                     the settings in a loop, printing each
//                                     number once it is saved, until killed
//   settings_saver check STORE A B    exit 0 when the stored settings are
//                                     exactly generation A or B (prints which),
//                                     1 when they differ, 2 when unreadable
//
// A generation's values are derived from its number: strings of every byte
// but NUL (non-UTF-8, quotes, backslashes, control characters), DWORDs over
// their whole range, negative signed fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "album/settings.h"
#include "platform/registry.h"

using namespace lumigal;

namespace {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

struct Generator {
    std::uint64_t state;
    std::uint32_t next() { return static_cast<std::uint32_t>(state = mix(state)); }
    std::string text() {
        std::string s(next() % 200, '\0');
        for (char& c : s) c = static_cast<char>(1 + next() % 255);
        return s;
    }
};

void generation(std::uint64_t n, Preferences& prefs, PageSettings& page) {
    Generator g{n};
    prefs = Preferences{};
    page = PageSettings{};
    prefs.pathSave = g.text();
    prefs.pathLaunch = g.text();
    prefs.pathThumbnail = g.text();
    prefs.bip = g.next();
    prefs.launch = g.next();
    std::uint32_t* dwords[] = {&page.details,
                               &page.center,
                               &page.line,
                               &page.tri,
                               &page.thumbnail,
                               &page.height,
                               &page.width,
                               &page.onlyIfSuitable,
                               &page.nbThumbByLine,
                               &page.keepSameFormat,
                               &page.table_border,
                               &page.table_bordercolor,
                               &page.table_bordercolordark,
                               &page.table_cellspace,
                               &page.table_cellpadding};
    for (std::uint32_t* d : dwords) *d = g.next();
    page.position = static_cast<std::int32_t>(g.next());
    page.newFormat = static_cast<std::int32_t>(g.next());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string command = argv[1];
    platform::Registry registry(argv[2]);
    if (command == "save") {
        std::optional<platform::RegistryKey> key;
        if (registry.createKey(kSettingsKey, key) != platform::RegStatus::Ok) return 2;
        key->setString("installPath", "/opt/lumigal");
        if (key->close() != platform::RegStatus::Ok) return 2;
        for (std::uint64_t n = std::strtoull(argv[3], nullptr, 10);; ++n) {
            Preferences prefs;
            PageSettings page;
            generation(n, prefs, page);
            std::string error;
            if (SaveSettings(registry, prefs, page, &error) != 0) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 2;
            }
            std::printf("%llu\n", static_cast<unsigned long long>(n));
            std::fflush(stdout);
        }
    }
    if (command == "check" && argc == 5) {
        Preferences prefs;
        PageSettings page;
        std::string error;
        if (!readStoredSettings(registry, prefs, page, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        if (prefs.installPath != "/opt/lumigal") return 1;
        prefs.installPath.clear();
        for (int i = 3; i < 5; ++i) {
            const std::uint64_t n = std::strtoull(argv[i], nullptr, 10);
            Preferences wantPrefs;
            PageSettings wantPage;
            generation(n, wantPrefs, wantPage);
            if (prefs == wantPrefs && page == wantPage) {
                std::printf("%llu\n", static_cast<unsigned long long>(n));
                return 0;
            }
        }
        return 1;
    }
    return 2;
}
