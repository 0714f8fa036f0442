#pragma once

// The structure or film the player's command line names, applied to the player context.
// Both main windows start with it.

#include <string>
#include <vector>

namespace kanvio {

class TKanvioContext;

// Makes the reach or connection of the command line current and seeks to its start, or
// plays the named film from the given time. False (with a log line) when the command line
// names nothing, or something the project does not have.
bool ApplyCommandLineChoice(TKanvioContext& context, const std::vector<std::string>& arguments);

// The start of a layout's windows: back to the place kept by a layout switch, else the
// command line's choice. False when the window must choose the first structure itself.
bool ApplyStartChoice(TKanvioContext& context, const std::vector<std::string>& arguments);

} // namespace kanvio
