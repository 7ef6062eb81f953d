// The running system's version, and the line of the about box that names it.
#pragma once

#include <string>
#include <string_view>

namespace lumigal::platform {

struct SystemVersion {
    std::string name;  // "Linux", "Windows"
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    std::string servicePack;  // what the system reports after its numbers
};

// "%s %u.%u Build %u %s" (name, major, minor, build, service pack) for
// version 4.0, "%s %u.%u" (name, major, minor) for every other version.
std::string systemVersionLine(const SystemVersion& version);

// A kernel release such as "6.1.0-18-amd64": major 6, minor 1, build 0,
// service pack "18-amd64". Missing numbers are 0.
SystemVersion parseKernelRelease(std::string_view name, std::string_view release);

// The version of the running system (uname on POSIX systems).
SystemVersion runningSystemVersion();

}  // namespace lumigal::platform
