#include "test_support/test_files.h"

#include <fstream>
#include <iterator>

namespace lumigal::test {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace lumigal::test
