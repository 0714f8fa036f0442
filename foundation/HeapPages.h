#pragma once

// A command that builds a large model once and ends (an export) spends much of its time in
// the system's page faults: every 4 KB page of the heap is faulted in on its own. Backing
// the heap with large pages cuts those faults by a factor of hundreds where the system
// offers large pages on request; elsewhere this does nothing.

#include <cstddef>

namespace kanvio {

// Grows the heap by about bytes at once and asks for large pages for it. Allocations up
// to 32 MB then come from that heap (a delivery's file contents included), and the heap
// is not given back in between. Meant for short command-line runs, called once before the
// work begins; returns false when nothing could be arranged (another allocator, no large
// pages), which changes nothing but the speed.
bool UseLargePagesForHeap(size_t bytes);

} // namespace kanvio
