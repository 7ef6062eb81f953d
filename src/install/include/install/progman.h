// The program group: the Program Manager command texts that make it and the
// layer that carries them out. On Windows the commands go to Program
// Manager's command interface; on Linux XdgProgramManager (xdg_program_manager.h)
// turns them into a menu folder.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal::install {

// Something that executes Program Manager commands such as
// "[CreateGroup(Lumigal, 1)]".
class ProgramManager {
public:
    virtual ~ProgramManager() = default;
    // True when the command was carried out.
    virtual bool execute(std::string_view command) = 0;
    // The files written and the folders made so far, for the uninstaller.
    virtual std::vector<std::string> writtenFiles() const { return {}; }
    virtual std::vector<std::string> createdFolders() const { return {}; }
};

// The six commands that make the group, in the order they are sent, with
// `installFolder` put in as it stands (not normalised again).
std::array<std::string, 6> programGroupCommands(std::string_view installFolder);

// Sends one command; returns whether it was carried out.
bool execProgmanCommand(ProgramManager& manager, std::string_view command);

// Makes the program group: the six commands in order, each result ignored.
void createProgramGroup(ProgramManager& manager, std::string_view installFolder);

}  // namespace lumigal::install
