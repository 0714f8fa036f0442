#pragma once

// Loading a library with a large tree of dependencies holds the dynamic loader for the
// whole tree: every other thread that loads a library or starts a thread meanwhile waits
// for all of it (libav's decoders: 177 libraries, a tenth of a second). Loaded one library
// at a time, deepest first, the same tree holds the loader only for one library at a time.
// Whatever cannot be found or loaded that way is left to the caller's own load of the
// library afterwards, which then finds the rest of the tree in place.

#include <string>
#include <vector>

namespace kanvio {

// The libraries a 64-bit ELF file names as needed, in its order; empty when the file cannot
// be read as one.
std::vector<std::string> NeededLibraries(const std::string& file);

// Loads file's dependencies one by one, each after its own, and then file itself, all with
// their symbols kept local. Returns how many libraries it loaded; they stay loaded.
int LoadLibraryTreeStepwise(const std::string& file);

} // namespace kanvio
