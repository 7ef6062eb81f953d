// Expansion of the product files: a source in the Microsoft LZ (SZDD)
// compressed-file format is expanded, any other source is copied unchanged.
//
// The expanded size must equal the size that the SZDD header declares: a
// truncated or damaged source is reported as Damaged, never as a success,
// and the expansion stops writing as soon as the data run past the declared
// size.
#pragma once

#include <cstdint>
#include <optional>

namespace lumigal::install {

enum class ExpandStatus {
    Ok,
    ReadFailed,   // the source could not be read
    WriteFailed,  // the destination could not be written (disk full...)
    Damaged,      // an SZDD source whose content does not expand to its declared size
};

// True when the first bytes of the open file `fd` are the SZDD signature.
// Reads with pread: the file offset is not moved.
bool hasSzddSignature(int fd);

// Writes the content of the source `sourceFd` (read from its start), expanded
// when it is SZDD, to `destFd` at its current offset.
ExpandStatus expandInto(int sourceFd, int destFd);

// The expanded size that an SZDD source declares in its header, or nothing
// when the source is not SZDD or its header cannot be read.
std::optional<std::uint32_t> declaredSzddSize(int sourceFd);

}  // namespace lumigal::install
