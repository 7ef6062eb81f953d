// The image library of this process. A program that reads images starts it
// once in its main, before any other thread exists (the start-up sets the
// environment for a moment): ImageMagick then runs with this program's own
// security policy (the formats' coders, no delegate, no "@file" list) and
// resource limits (dimensions, area, memory, disk, frames). Nothing in the
// libraries starts it behind the program's back: an image read before the
// start fails with « bibliothèque d'images non démarrée ».
#pragma once

namespace lumigal {

// Starts ImageMagick with our policy and limits; `threads` is its own
// thread count. Only the first call takes effect.
void startImageLibrary(int threads = 1);

// Whether startImageLibrary has run.
bool imageLibraryStarted();

}  // namespace lumigal
