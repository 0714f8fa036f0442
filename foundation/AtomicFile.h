#pragma once

#include <string>
#include <string_view>

namespace kanvio {

// Replaces the file's content with bytes so that a crash or a full disk never leaves a
// half-written file: the bytes go to a temporary file in the same folder, which is then
// renamed over the old one (permissions of an existing file are kept). Where no new file
// can be made in the folder but the file itself is writable, it is rewritten in place.
// Throws EInOutError naming the file and the system's reason.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// Reads the whole file into bytes. Returns false (bytes empty) when the file does not
// exist; throws EInOutError when it exists but cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& bytes);

} // namespace kanvio
