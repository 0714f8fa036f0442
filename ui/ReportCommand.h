#pragma once

// kanvio --report OUT.pdf [--structure H:NUMBER|A:NUMBER ...]: the inspection report of
// the delivery, or of the structures named (the reach or connection number, compared
// exactly as the start-up choice "/H" and "/A" compare it), without a window. One
// progress line per structure goes to out.

#include <iosfwd>
#include <string>
#include <vector>

namespace kanvio {

class IDataSourceFactory;
class TKanvioContext;
class TReachData;

struct TReportArguments {
    std::string Output;
    std::vector<std::pair<char, std::string>> Structures; // type 'H' or 'A', number (UTF-8)
    std::string Error; // set when the arguments cannot be understood
};
TReportArguments ParseReportArguments(const std::vector<std::string>& args);

// The structures named, in the order given; throws EKanvioError naming the first that
// the delivery does not have.
std::vector<const TReachData*>
FindReportStructures(const TKanvioContext& context,
                     const std::vector<std::pair<char, std::string>>& wanted);

// Makes its own (offscreen) application for fonts and painting. Returns the exit code.
int RunReportCommand(int argc, char** argv, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err);

} // namespace kanvio
