#include "selection/gather_selection.h"

namespace lumigal {

std::string joinSourcePath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

int GatherSelection(std::string_view selectionText, const std::string& folder,
                    SelectedFileList& list) {
    int added = 0;
    std::string name;
    std::size_t i = 1;
    while (i < selectionText.size()) {
        const char c = selectionText[i];
        if (c == '"') {
            list.add(joinSourcePath(folder, name));
            ++added;
            name.clear();
            i += 3;  // the quote, the blank, the next opening quote
            continue;
        }
        name += c;
        ++i;
    }
    return added;
}

}  // namespace lumigal
