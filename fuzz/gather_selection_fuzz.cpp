// The quoted-selection splitter over any text: it never reads outside the
// text, adds exactly as many paths as it says, each in the folder given, and
// no name holds a double quote.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/selected_files.h"
#include "selection/gather_selection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so that ASan sees any read past the end.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string folder = "/albums/x";
    lumigal::SelectedFileList list;
    const int added =
        lumigal::GatherSelection(std::string_view(text.data(), text.size()), folder, list);
    if (added < 0 || added != list.selectedFileCount()) std::abort();
    for (const std::string& path : list.selectedFiles()) {
        if (path.compare(0, folder.size() + 1, folder + "/") != 0) std::abort();
    }
    return 0;
}
