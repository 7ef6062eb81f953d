// The programs start themselves again with their large buffers in huge
// pages: once, with the same arguments, and giving back the environment
// they were started with (the programs they start see the user's own).
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

#ifndef HUGE_PAGES_CHILD
#error "HUGE_PAGES_CHILD names the child program"
#endif

bool hugePagesOnRequest() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(mode, line) && line.find("[madvise]") != std::string::npos;
}

// Under a sanitizer (GCC's and clang's ways of saying so) the programs do
// not start again: its allocator takes malloc's place.
constexpr bool kUnderSanitizer =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

struct Seen {
    std::string tunables, marker, arguments, buffer;
};

// Runs the child with `args` after its name and GLIBC_TUNABLES = `tunables`
// (unset when absent); what it printed.
std::optional<Seen> runChild(const std::vector<std::string>& args, const std::optional<std::string>& tunables) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("GLIBC_TUNABLES=", 0) != 0 && entry.rfind("LD_PRELOAD=", 0) != 0) env.push_back(entry);
    }
    if (tunables) env.push_back("GLIBC_TUNABLES=" + *tunables);
    std::vector<char*> envp, argv{const_cast<char*>(HUGE_PAGES_CHILD)};
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, HUGE_PAGES_CHILD, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) text.append(chunk, std::size_t(n));
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    // Two lines, the arguments (which may hold newlines), the last line.
    const std::size_t first = text.find('\n');
    const std::size_t second = text.find('\n', first + 1);
    const std::size_t last = text.size() < 2 ? std::string::npos : text.rfind('\n', text.size() - 2);
    if (second == std::string::npos || last == std::string::npos || last <= second) return std::nullopt;
    Seen seen;
    seen.tunables = text.substr(0, first);
    seen.marker = text.substr(first + 1, second - first - 1);
    seen.arguments = text.substr(second + 1, last - second - 1);
    seen.buffer = text.substr(last + 1, text.size() - last - 2);
    return seen;
}

TEST(HugePages, StartedAgainWithItsOwnArgumentsAndEnvironment) {
    const std::vector<std::string> args{"-o", "a b.htm", "", "new\nline", "--web-size=2048"};
    std::string joined = std::string(HUGE_PAGES_CHILD) + '\0';
    for (const std::string& a : args) joined += a + '\0';
    const bool restarts = hugePagesOnRequest() && !kUnderSanitizer;
    const struct {
        const char* name;
        std::optional<std::string> tunables;
        bool huge;  // when the system gives huge pages on request
    } cases[] = {
        {"no tunables", std::nullopt, true},
        {"empty tunables", std::string(), true},
        {"the user's tunables", std::string("glibc.malloc.arena_max=2"), true},
        {"the user said no", std::string("glibc.malloc.hugetlb=0"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Seen> seen = runChild(args, c.tunables);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->arguments, joined);
        EXPECT_EQ(seen->tunables, c.tunables.value_or("-"));
        EXPECT_EQ(seen->marker, "gone");
        if (restarts) {
            EXPECT_EQ(seen->buffer, c.huge ? "huge" : "small");
        }
    }
}

}  // namespace
