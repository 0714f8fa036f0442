#pragma once

namespace kanvio {

// Starts the program: the command-line tools, or the player with its windows.
int RunProgram(int argc, char** argv);

} // namespace kanvio
