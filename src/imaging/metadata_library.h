// The metadata library, started once for the whole program: its XMP
// parser is made ready before any thread uses it, and its warnings, which
// it would print on standard error, are silenced (a damaged block simply
// gives nothing).
#pragma once

namespace lumigal {

void startMetadataLibrary();

}  // namespace lumigal
