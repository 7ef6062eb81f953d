#include "platform/system_version.h"

#include <cstdio>

#include <sys/utsname.h>

namespace lumigal::platform {

std::string systemVersionLine(const SystemVersion& version) {
    char line[512];
    if (version.major == 4 && version.minor == 0) {
        std::snprintf(line, sizeof line, "%s %u.%u Build %u %s", version.name.c_str(),
                      version.major, version.minor, version.build, version.servicePack.c_str());
    } else {
        std::snprintf(line, sizeof line, "%s %u.%u", version.name.c_str(), version.major,
                      version.minor);
    }
    return line;
}

SystemVersion parseKernelRelease(std::string_view name, std::string_view release) {
    SystemVersion version;
    version.name = std::string(name);
    unsigned* numbers[] = {&version.major, &version.minor, &version.build};
    std::size_t at = 0;
    for (unsigned* number : numbers) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (at < release.size() && release[at] >= '0' && release[at] <= '9' && digits < 9) {
            value = value * 10 + static_cast<unsigned>(release[at] - '0');
            ++at;
            ++digits;
        }
        *number = value;
        if (digits == 0 || at >= release.size() || release[at] != '.') break;
        ++at;
    }
    // What follows the numbers, without its leading separator.
    while (at < release.size() && (release[at] == '.' || release[at] == '-' || release[at] == '_'))
        ++at;
    version.servicePack = std::string(release.substr(at));
    return version;
}

SystemVersion runningSystemVersion() {
    utsname system{};
    if (uname(&system) != 0) return parseKernelRelease("Linux", "");
    return parseKernelRelease(system.sysname, system.release);
}

}  // namespace lumigal::platform
