#include "ui/ProgramEntry.h"

#include "datasources/DataSourceFactory.h"
#include "foundation/UserDialogs.h"
#include "ui/CommandLine.h"
#include "video/VideoCommands.h"

#include <QCoreApplication>
#include <iostream>

namespace kanvio {

int RunProgram(int argc, char** argv) {
    const TCommandLine commandLine =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("Kanvio");
    TConsoleDialogs console;
    TDataSourceFactory dataSources(console);
    if (commandLine.Command == TCommand::Player) {
        // The player's windows are not part of this build yet: show what was loaded.
        std::cout << "Kanvio: the player windows are not available in this build; project "
                     "summary:\n";
        return RunHeadlessCommand(TCommandLine{TCommand::Summary, {}, {}}, dataSources, std::cout,
                                  std::cerr);
    }
    if (commandLine.Error.empty() && commandLine.Command == TCommand::Probe) {
        return RunProbeCommand(commandLine.Arguments, std::cout, std::cerr);
    }
    if (commandLine.Error.empty() && commandLine.Command == TCommand::Grab) {
        return RunGrabCommand(commandLine.Arguments, std::cout, std::cerr);
    }
    return RunHeadlessCommand(commandLine, dataSources, std::cout, std::cerr);
}

} // namespace kanvio
