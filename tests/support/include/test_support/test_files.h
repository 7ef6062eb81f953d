// Files as the tests read them.
#pragma once

#include <string>

namespace lumigal::test {

// The whole content of `path`, byte for byte; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace lumigal::test
