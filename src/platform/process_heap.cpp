#include "platform/process_heap.h"

#include <cstddef>  // defines __GLIBC__ with the C library, for the test below

#ifdef __GLIBC__
#include <malloc.h>  // mallopt, malloc_trim
#include <unistd.h>  // execv

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#endif

namespace lumigal::platform {

#ifdef __GLIBC__
namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHugePages = "glibc.malloc.hugetlb=1";
// Set for the program started again: "=" followed by the tunables it was
// started with, or "-" when there were none.
constexpr const char* kStartedWith = "LUMIGAL_STARTED_WITH_TUNABLES";

// Whether the system puts memory in huge pages only when asked (the mode
// in which the tunable changes anything).
bool hugePagesOnRequest() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(mode, line) && line.find("[madvise]") != std::string::npos;
}

// A sanitizer's allocator (GCC and clang tell it each their own way)
// takes the place of malloc: the setting would change nothing.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMIGAL_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define LUMIGAL_OWN_ALLOCATOR 1
#endif
#endif

// Under a memory checker the program must not start again outside it.
bool underMemoryChecker() {
#ifdef LUMIGAL_OWN_ALLOCATOR
    return true;
#else
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "vgpreload") != nullptr;
#endif
}

}  // namespace
#endif

void startWithHugePages(char** argv) {
#ifdef __GLIBC__
    if (const char* startedWith = std::getenv(kStartedWith)) {
        // Started again: the environment as it was, for the programs this
        // one starts.
        if (startedWith[0] == '=') {
            setenv(kTunables, startedWith + 1, 1);
        } else {
            unsetenv(kTunables);
        }
        unsetenv(kStartedWith);
        return;
    }
    if (!argv || !argv[0] || underMemoryChecker() || !hugePagesOnRequest()) return;
    const char* found = std::getenv(kTunables);
    const bool had = found != nullptr;
    const std::string tunables = had ? found : "";
    if (tunables.find("glibc.malloc.hugetlb") != std::string::npos) return;  // the user's choice
    const std::string asked = tunables.empty() ? kHugePages : tunables + ":" + kHugePages;
    if (setenv(kStartedWith, had ? ("=" + tunables).c_str() : "-", 1) != 0) return;
    if (setenv(kTunables, asked.c_str(), 1) == 0) execv("/proc/self/exe", argv);
    // Not started again: on as it is, with its own environment.
    if (had) {
        setenv(kTunables, tunables.c_str(), 1);
    } else {
        unsetenv(kTunables);
    }
    unsetenv(kStartedWith);
#else
    (void)argv;
#endif
}

void keepLargeBuffersInHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

void mapLargeBuffers() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
#endif
}

void returnFreeHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace lumigal::platform
