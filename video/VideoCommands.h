#pragma once

// Headless commands of the program: "--probe FILM" and "--grab FILM MS OUT [--strategy N]".
// args are the words after the option; the result is the process exit code: 0 done, 1 the
// film or the picture failed (err names the file and the reason; a film error gives its
// code and the player's message for it), 2 the words cannot be understood. No exception
// leaves them.

#include <ostream>
#include <string>
#include <vector>

namespace kanvio {

// Prints "format", "strategy", "elements", "width", "height", one "key: value" a line.
int RunProbeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Writes the frame at MS milliseconds after the film's first frame at its native size, as
// JPEG (quality 100) or PNG by the output's extension. The picture replaces OUT only once it
// is complete; a new file gets the mode the umask leaves.
int RunGrabCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kanvio
