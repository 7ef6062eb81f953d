// Started by the huge pages test: starts itself again the way the programs
// do, then prints what it sees, one item a line: the tunables in its
// environment ("-" without them), whether the restart's own variable is
// left, its arguments (NUL-separated on one line), and whether a large
// buffer it maps is marked for huge pages.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/process_heap.h"

namespace {

// The VmFlags of the mapping that holds `address`, from /proc/self/smaps.
std::string flagsOfMapping(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2 && line.find(':') > line.find(' ')) {
            inside = at >= from && at < to;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line;
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    lumigal::platform::startWithHugePages(argv);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("%s\n", tunables ? tunables : "-");
    std::printf("%s\n", std::getenv("LUMIGAL_STARTED_WITH_TUNABLES") ? "left" : "gone");
    for (int i = 0; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, stdout);
    std::printf("\n");
    const std::size_t size = std::size_t{64} << 20;
    auto* buffer = static_cast<char*>(std::malloc(size));
    if (!buffer) return 1;
    std::memset(buffer, 1, size);
    std::printf("%s\n", flagsOfMapping(buffer + size / 2).find(" hg") != std::string::npos ? "huge" : "small");
    std::free(buffer);
    return 0;
}
