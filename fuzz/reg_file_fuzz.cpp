// The registry file parser: any text either parses or is refused with a line
// number inside the text; what parses formats back to a text that parses to
// the same key and formats to the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/reg_file.h"

using namespace lumigal::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RegFileParse parsed = parseRegFile(text);
    if (!parsed.ok) {
        if (parsed.errorLine < 1 || parsed.error.empty()) std::abort();
        return 0;
    }
    for (const auto& [name, value] : parsed.key.values) {
        if (!isQuotableText(name)) std::abort();
    }
    const std::string formatted = formatRegFile(parsed.key);
    const RegFileParse again = parseRegFile(formatted);
    if (!again.ok || again.key.path != parsed.key.path || again.key.values != parsed.key.values)
        std::abort();
    if (formatRegFile(again.key) != formatted) std::abort();
    return 0;
}
