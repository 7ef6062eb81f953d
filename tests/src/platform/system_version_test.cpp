// The running system's version: the about box's line and the kernel
// release it is read from.
#include "platform/system_version.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace lumigal::platform {
namespace {

TEST(SystemVersion, LineOfEachVersion) {
    struct Case {
        const char* what;
        SystemVersion version;
        const char* line;
    };
    const Case cases[] = {
        {"NT 4.0 with its build and service pack", {"Windows", 4, 0, 1381, "Service Pack 6"},
         "Windows 4.0 Build 1381 Service Pack 6"},
        {"5.0 has no build", {"Windows", 5, 0, 2195, "Service Pack 1"}, "Windows 5.0"},
        {"4.10 has no build", {"Windows", 4, 10, 1998, ""}, "Windows 4.10"},
        {"Linux 6.1", {"Linux", 6, 1, 0, "18-amd64"}, "Linux 6.1"},
        {"Linux 4.0 follows the same rule", {"Linux", 4, 0, 9, "rc1"}, "Linux 4.0 Build 9 rc1"},
    };
    for (const Case& c : cases) EXPECT_EQ(systemVersionLine(c.version), c.line) << c.what;
}

TEST(SystemVersion, KernelRelease) {
    struct Case {
        const char* release;
        unsigned major, minor, build;
        const char* rest;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0, "18-amd64"},
        {"6.18-custom", 6, 18, 0, "custom"},
        {"5.15.133", 5, 15, 133, ""},
        {"", 0, 0, 0, ""},
        {"abc", 0, 0, 0, "abc"},
        {"99999999999999.2", 999999999, 0, 0, "99999.2"},  // a huge number stays bounded
    };
    for (const Case& c : cases) {
        const SystemVersion version = parseKernelRelease("Linux", c.release);
        EXPECT_EQ(version.name, "Linux") << c.release;
        EXPECT_EQ(version.major, c.major) << c.release;
        EXPECT_EQ(version.minor, c.minor) << c.release;
        EXPECT_EQ(version.build, c.build) << c.release;
        EXPECT_EQ(version.servicePack, c.rest) << c.release;
    }
}

TEST(SystemVersion, RunningSystemIsNamed) {
    std::ifstream file("/proc/sys/kernel/osrelease");
    std::string release;
    std::getline(file, release);
    ASSERT_FALSE(release.empty());
    const SystemVersion version = runningSystemVersion();
    EXPECT_EQ(version.name, "Linux");
    unsigned major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(release.c_str(), "%u.%u", &major, &minor), 2) << release;
    EXPECT_EQ(version.major, major);
    EXPECT_EQ(version.minor, minor);
}

}  // namespace
}  // namespace lumigal::platform
