#include "install/progman.h"

#include "common/paths.h"
#include "install/file_table.h"

namespace lumigal::install {

namespace {

// "%s<sep><name>" for the quoted command line of an item.
std::string inFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += kPathSeparator;
    path += name;
    return path;
}

}  // namespace

std::array<std::string, 6> programGroupCommands(std::string_view installFolder) {
    return {
        "[CreateGroup(Lumigal, 1)]",
        "[AddItem(\"" + inFolder(installFolder, programFileName()) + "\",Lumigal)]",
        "[AddItem(\"" + inFolder(installFolder, readMeFileName()) + "\",Read me, notepad.exe, 0)]",
        "[AddItem(\"" + inFolder(installFolder, uninstallerFileName()) + "\",Uninstall)]",
        "[AddItem(\"" + inFolder(installFolder, helpFileName()) + "\",Help, winhlp32.exe, 1)]",
        "[ShowGroup(Lumigal)]",
    };
}

bool execProgmanCommand(ProgramManager& manager, std::string_view command) {
    return manager.execute(command);
}

void createProgramGroup(ProgramManager& manager, std::string_view installFolder) {
    for (const std::string& command : programGroupCommands(installFolder)) {
        execProgmanCommand(manager, command);
    }
}

}  // namespace lumigal::install
