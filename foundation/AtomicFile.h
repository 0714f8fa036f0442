#pragma once

#include <string>
#include <string_view>

namespace kanvio {

// Replaces the file's content with bytes so that a crash or a full disk never leaves a
// half-written file: the bytes go to a hidden temporary file in the same folder, which is
// then renamed over the old one and the folder synced. An existing file keeps its
// permissions, a new one gets those the umask allows (0666 & ~umask). A file is never
// rewritten in place: a read-only file, or a folder where no new file can be made, is an
// error. Temporary files that earlier, killed writes of the same file left behind are
// removed once they are plainly abandoned.
// Throws EInOutError naming the file and the system's reason.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// Reads the whole file into bytes. Returns false (bytes empty) when the file does not
// exist; throws EInOutError when it exists but cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& bytes);

} // namespace kanvio
