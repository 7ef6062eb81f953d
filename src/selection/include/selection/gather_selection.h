// Gathering a selection into the selected-file list: a single name, or the
// quoted multiple selection of the main window's file-name box.
#pragma once

#include <string>
#include <string_view>

#include "common/selected_files.h"

namespace lumigal {

// `folder` and `name` joined by one separator; a folder that already ends
// with the separator (the root "/") does not get a second one.
std::string joinSourcePath(const std::string& folder, std::string_view name);

// Splits a multiple selection: each name stands in double quotes, the names
// separated by one blank ("a.jpg" "b.jpg"). The walk starts after the first
// character (the opening quote); a quote ends a name, whose path in `folder`
// is added to `list`, and the two characters after it (the blank and the
// next opening quote) are passed over. Characters after the last closing
// quote are dropped. Names are neither tested for existence nor for their
// extension; the list grows with the selection, whatever its length.
// Returns the number of names added.
int GatherSelection(std::string_view selectionText, const std::string& folder,
                    SelectedFileList& list);

}  // namespace lumigal
