#pragma once

// Headless commands of the program: "--probe FILM" and "--grab FILM MS OUT [--strategy N]".
// args are the words after the option; the result is the process exit code.

#include <ostream>
#include <string>
#include <vector>

namespace kanvio {

// Prints "format", "strategy", "elements", "width", "height", one "key: value" a line.
int RunProbeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Writes the frame at MS milliseconds after the film's first frame at its native size, as
// JPEG (quality 100) or PNG by the output's extension.
int RunGrabCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kanvio
