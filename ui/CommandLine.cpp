#include "ui/CommandLine.h"

#include "core/KanvioContext.h"
#include "core/ProjectExport.h"
#include "foundation/AnsiText.h"
#include "foundation/HeapPages.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/UserDialogs.h"

#include <QFile>
#include <QSaveFile>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>

namespace kanvio {

namespace {

struct TOptionName {
    const char* Name;
    TCommand Command;
    size_t MinArguments;
    size_t MaxArguments;
};

constexpr TOptionName kOptions[] = {
    {"--version", TCommand::Version, 0, 0},
    {"--export-json", TCommand::ExportJson, 0, 1},
    {"--summary", TCommand::Summary, 0, 0},
    {"--probe", TCommand::Probe, 1, 3},
    {"--grab", TCommand::Grab, 3, 5},
    {"--help", TCommand::Usage, 0, 0},
    {"--report", TCommand::Report, 1, SIZE_MAX},
};

// The player context as the program starts it, without any window: no dialog is shown
// and nothing is stored.
std::unique_ptr<TKanvioContext> StartHeadless(IDataSourceFactory& dataSources) {
    // The model is built once and the process ends: its heap in large pages spares most of
    // the page faults of a large delivery.
    UseLargePagesForHeap(size_t(256) << 20);
    static TConsoleDialogs console;
    TContextServices services;
    services.Dialogs = &console;
    services.DataSources = &dataSources;
    services.Headless = true;
    auto context = std::make_unique<TKanvioContext>(services);
    context->Create();
    return context;
}

int ExportJson(const TCommandLine& commandLine, IDataSourceFactory& dataSources, std::ostream& out,
               std::ostream& err) {
    const auto context = StartHeadless(dataSources);
    if (commandLine.Arguments.empty()) {
        WriteProjectJson(*context, out);
        return out ? 0 : 1;
    }
    const std::string& fileName = commandLine.Arguments.front();
    QSaveFile file(QFile::decodeName(fileName.c_str()));
    const std::string json = ProjectJson(*context);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(json.data(), static_cast<qint64>(json.size())) !=
            static_cast<qint64>(json.size()) ||
        !file.commit()) {
        err << "kanvio: " << fileName << ": " << file.errorString().toStdString() << '\n';
        return 1;
    }
    return 0;
}

int Summary(IDataSourceFactory& dataSources, std::ostream& out) {
    const auto context = StartHeadless(dataSources);
    std::string languageFile;
    {
        LangScope lang;
        languageFile = lang->FileName();
    }
    out << "Settings file: " << context->SettingsFileName << '\n'
        << "Language file: " << languageFile << '\n'
        << "Reaches: " << context->Reaches.size() << '\n'
        << "Connections: " << context->Connections.size() << '\n'
        << "Observations: " << context->ObservationCount() << '\n'
        << "Manhole inspections: " << context->ManholeInspections << '\n'
        << "Films: " << context->PlayList.size() << '\n';
    for (const TPlayListItem& film : context->PlayList) {
        out << "  " << film.Number << ": " << film.FileName << ' ' << AnsiToUtf8(film.StartText)
            << '-' << AnsiToUtf8(film.StopText) << " -> "
            << (film.Structure ? AnsiToUtf8(film.Structure->ReachNumber +
                                            (film.Structure->ObjectType == 'A'
                                                 ? " / " + film.Structure->ConnectionNumber
                                                 : std::string()))
                               : std::string("(no structure)"));
        if (film.Structure != nullptr && !context->IsFilmOf(film, *film.Structure)) {
            // Linked by time, but seeking goes by type word and ID and never finds it.
            out << " (not played: the entry's type and ID do not name the structure)";
        }
        out << '\n';
    }
    return 0;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine result;
    if (arguments.empty() || arguments.front().rfind("--", 0) != 0) {
        result.Arguments = arguments;
        return result;
    }
    for (const TOptionName& option : kOptions) {
        if (arguments.front() == option.Name) {
            result.Command = option.Command;
            result.Arguments.assign(arguments.begin() + 1, arguments.end());
            if (result.Arguments.size() < option.MinArguments ||
                result.Arguments.size() > option.MaxArguments) {
                result.Error = std::string("wrong number of arguments for ") + option.Name;
            }
            return result;
        }
    }
    result.Command = TCommand::Usage;
    result.Error = "unknown option " + arguments.front();
    return result;
}

std::string UsageText() {
    return "Usage: kanvio [--project DIR] [/H reach | /A connection | film start-time]\n"
           "       kanvio --version\n"
           "       kanvio --export-json [FILE]   inspection data and film list as JSON\n"
           "       kanvio --summary              counts of the project in this folder\n"
           "       kanvio --probe FILM [--strategy N]  how a film is recognised and loaded\n"
           "       kanvio --grab FILM MS OUT.(jpg|png) [--strategy N]\n"
           "       kanvio --report OUT.pdf [--structure H:NUMBER|A:NUMBER ...]\n"
           "                                     inspection report with observation pictures\n"
           "--project DIR, with any of them, opens the delivery in DIR instead of the one\n"
           "in the working directory beside the program.\n"
           "Exit codes: 0 done; 1 the command failed (standard error names the file and the\n"
           "reason); 2 the command line cannot be understood.\n";
}

int RunHeadlessCommand(const TCommandLine& commandLine, IDataSourceFactory& dataSources,
                       std::ostream& out, std::ostream& err) {
    if (!commandLine.Error.empty()) {
        err << "kanvio: " << commandLine.Error << '\n' << UsageText();
        return 2;
    }
    try {
        switch (commandLine.Command) {
        case TCommand::Version:
            out << "Kanvio " << GetVersionText("", false) << '\n';
            return 0;
        case TCommand::ExportJson:
            return ExportJson(commandLine, dataSources, out, err);
        case TCommand::Summary:
            return Summary(dataSources, out);
        case TCommand::Usage:
            out << UsageText();
            return 0;
        case TCommand::Probe:
        case TCommand::Grab:
        case TCommand::Report:
        case TCommand::Player:
            break;
        }
    } catch (const std::exception& error) {
        err << "kanvio: " << AnsiToUtf8(error.what()) << '\n';
        return 1;
    } catch (...) {
        err << "kanvio: an unknown error ended the command\n";
        return 1;
    }
    err << "kanvio: " << UsageText();
    return 2;
}

} // namespace kanvio
