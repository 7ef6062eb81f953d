// The first settings of the main program, written by the installation under
// its registry key: seventeen values in a fixed order. Other values of the
// key are left as they are.
#pragma once

#include <string_view>

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

// Creates or opens the key and writes the seventeen values, the three folder
// values holding `installFolder`. Nothing is reported: a key that cannot be
// made gets no value, a value that cannot be set is skipped.
void writeDefaultSettings(platform::Registry& registry, std::string_view installFolder);

}  // namespace lumigal::install
