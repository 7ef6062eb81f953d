// The C library's heap, tuned by a program that makes many thumbnails.
// Process-wide: only a program's main calls these, never a library.
#pragma once

namespace lumigal::platform {

// Buffers up to 32 MB (file bytes, pixel caches of large images) are taken
// from and given back to the heaps, and a heap keeps up to 64 MB free at
// its top, instead of the C library's sliding thresholds: with those, large
// buffers were mapped afresh and faulted in page by page for many images,
// and twice as often with two workers (34,000 page faults instead of 8,500
// for 54 photos). Does nothing outside glibc.
void keepLargeBuffersInHeap();

// For a program that makes web copies of large photos: buffers from 1 MB
// on (file bytes, a progressive JPEG's coefficients, the reduced pixels)
// are mapped and given back as soon as they are freed, and a heap keeps at
// most 8 MB free at its top. Otherwise what the workers freed stays in
// their heaps (a worker's heap is not trimmed below its top) and adds to
// the largest photo's memory. Does nothing outside glibc.
void mapLargeBuffers();

// What the heaps hold free is handed back to the system (after a page).
void returnFreeHeap();

}  // namespace lumigal::platform
