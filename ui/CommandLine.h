#pragma once

// The program's command line. Options of the command-line tools begin with "--"; any
// other first argument keeps the meaning the main window gives it ("/H" reach number,
// "/A" connection number, or a film file name and a start time).

#include <iosfwd>
#include <string>
#include <vector>

namespace kanvio {

class IDataSourceFactory;

enum class TCommand { Player, Version, ExportJson, Summary, Probe, Grab, Report, Usage };

struct TCommandLine {
    TCommand Command = TCommand::Player;
    std::vector<std::string> Arguments; // what follows the option (or all, for the player)
    std::string Error;                  // set when the options cannot be understood
};

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Runs a command that needs no window. Returns the process exit code.
int RunHeadlessCommand(const TCommandLine& commandLine, IDataSourceFactory& dataSources,
                       std::ostream& out, std::ostream& err);

std::string UsageText();

} // namespace kanvio
