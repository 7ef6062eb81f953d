// Folders of the installation: the default install folder, the checks and
// the creation of the install folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal::install {

// For every separator of `path`, from the left, creates the folder named by
// the path up to that separator, then the whole path. Failures (an existing
// folder, no rights) are ignored. Returns the folders it made, in order.
std::vector<std::string> createFolderPath(std::string_view path);

// The write test of the folder page: creates an empty file with a unique
// name starting with "H" in `folder` and deletes it again. False when the
// file could not be created.
bool folderIsWritable(std::string_view folder);

// The folder as the user typed it, made usable: a leading "~" stands for the
// home folder, a relative path is taken from the current folder, and runs of
// separators become one. An empty text stays empty.
std::string normaliseTypedFolder(std::string_view typed);

// The folder of the running program, with its trailing separator; empty when
// it cannot be found.
std::string ownProgramFolder();

// Removes every folder of `folders` that is empty, deepest first, and returns
// the ones removed. Folders that are not empty or not there are left alone.
std::vector<std::string> removeEmptyFolders(std::vector<std::string> folders);

}  // namespace lumigal::install
