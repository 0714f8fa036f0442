#include "ui/ReportCommand.h"

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/UserDialogs.h"
#include "ui/DeliveryReport.h"
#include "ui/ObservationPictures.h"

#include <QGuiApplication>
#include <cstdlib>
#include <ostream>

namespace kanvio {

namespace {

constexpr const char* kUsage =
    "usage: kanvio --report OUT.pdf [--structure H:NUMBER|A:NUMBER ...]\n";

int WriteReport(const TReportArguments& arguments, std::ostream& out, std::ostream& err) {
    TConsoleDialogs console;
    TDataSourceFactory dataSources(console);
    TContextServices services;
    services.Dialogs = &console;
    services.DataSources = &dataSources;
    services.Headless = true;
    TKanvioContext context(services);
    context.Create();
    const std::vector<const TReachData*> structures =
        arguments.Structures.empty() ? AllStructures(context)
                                     : FindReportStructures(context, arguments.Structures);
    if (structures.empty()) {
        err << "kanvio: the delivery has no reaches or connections to report on\n";
        return 1;
    }
    TObservationPictureSource pictures;
    TInspectionReport report(context, pictures);
    report.Write(arguments.Output, structures,
                 [&](size_t index, size_t total, const TReachData& structure) {
                     out << "[" << index + 1 << "/" << total << "] "
                         << AnsiToUtf8(context.ObjectTypeText(structure.ObjectType) + " " +
                                       StructureNumberText(structure))
                         << std::endl;
                     return true;
                 });
    if (report.MissingPictures() > 0)
        err << "kanvio: " << report.MissingPictures()
            << " observations have no picture (no film holds their time or it cannot be read)\n";
    out << arguments.Output << ": " << structures.size() << " structures\n";
    return 0;
}

} // namespace

TReportArguments ParseReportArguments(const std::vector<std::string>& args) {
    TReportArguments result;
    if (args.empty() || args.front().starts_with("--")) {
        result.Error = "no report file given";
        return result;
    }
    result.Output = args.front();
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] != "--structure") {
            result.Error = "unknown argument " + args[i];
            return result;
        }
        const std::string value = i + 1 < args.size() ? args[++i] : std::string();
        if (value.size() < 3 || (value[0] != 'H' && value[0] != 'A') || value[1] != ':') {
            result.Error = "--structure needs H:NUMBER or A:NUMBER, not \"" + value + "\"";
            return result;
        }
        result.Structures.emplace_back(value[0], value.substr(2));
    }
    return result;
}

std::vector<const TReachData*>
FindReportStructures(const TKanvioContext& context,
                     const std::vector<std::pair<char, std::string>>& wanted) {
    std::vector<const TReachData*> found;
    for (const auto& [type, number] : wanted) {
        const std::string ansi = Utf8ToAnsi(number);
        const TAReachData& list = type == 'H' ? context.Reaches : context.Connections;
        const TReachData* match = nullptr;
        for (const TReachDataRef& structure : list) {
            const std::string& own =
                type == 'H' ? structure->ReachNumber : structure->ConnectionNumber;
            if (own == ansi) {
                match = structure.get();
                break;
            }
        }
        if (match == nullptr)
            throw EKanvioError(std::string(type == 'H' ? "no reach " : "no connection ") + number +
                               " in the delivery");
        found.push_back(match);
    }
    return found;
}

int RunReportCommand(int argc, char** argv, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err) {
    const TReportArguments arguments = ParseReportArguments(args);
    if (!arguments.Error.empty()) {
        err << "kanvio: " << arguments.Error << '\n' << kUsage;
        return 2;
    }
    // Fonts and painting need a GUI application, but no screen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName("Kanvio");
    try {
        return WriteReport(arguments, out, err);
    } catch (const std::exception& error) {
        err << "kanvio: " << AnsiToUtf8(error.what()) << '\n';
    }
    return 1;
}

} // namespace kanvio
