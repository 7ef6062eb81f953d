#include "install/file_table.h"

#include <array>

namespace lumigal::install {

namespace {

constexpr std::array<FileEntry, 6> kFileTable = {{
    {"Lumigal._", "Lumigal", true},
    {"lumigal-batch._", "lumigal-batch", true},
    {"uninst._", "uninst", true},
    {"Lumigal.htm_", "Lumigal.html", false},
    {"Lumigal.pn_", "Lumigal.png", false},
    {"whatsnewe.tx_", "whatsnewe.txt", false},
}};
constexpr std::string_view kProgram = "Lumigal";
constexpr std::string_view kUninstaller = "uninst";
constexpr std::string_view kHelp = "Lumigal.html";
constexpr std::string_view kIcon = "Lumigal.png";

}  // namespace

std::span<const FileEntry> fileTable() { return kFileTable; }

std::string_view programFileName() { return kProgram; }
std::string_view readMeFileName() { return "whatsnewe.txt"; }
std::string_view uninstallerFileName() { return kUninstaller; }
std::string_view helpFileName() { return kHelp; }
std::string_view iconFileName() { return kIcon; }

}  // namespace lumigal::install
