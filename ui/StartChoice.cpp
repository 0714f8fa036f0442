#include "ui/StartChoice.h"

#include "core/KanvioContext.h"
#include "foundation/Logging.h"
#include "ui/MainFormLayout.h"

namespace kanvio {

bool ApplyCommandLineChoice(TKanvioContext& context, const std::vector<std::string>& arguments) {
    const TStartChoice choice = ParseStartChoice(arguments);
    switch (choice.Kind) {
    case TStartChoice::TKind::FirstStructure:
        return false;
    case TStartChoice::TKind::Reach:
    case TStartChoice::TKind::Connection: {
        const bool reach = choice.Kind == TStartChoice::TKind::Reach;
        const bool found =
            reach ? context.SelectReach(choice.Name) : context.SelectConnection(choice.Name);
        if (!found) {
            LogLine(std::string("Command line: no ") + (reach ? "reach" : "connection") +
                        " numbered \"" + choice.Name + "\"; starting with the first structure",
                    LOG_WARNING);
            return false;
        }
        context.SeekDetail(-1);
        return true;
    }
    case TStartChoice::TKind::Film:
        if (!context.PlayFilm(choice.Name, choice.Time)) {
            LogLine("Command line: no film \"" + choice.Name +
                        "\" in the film list; starting with the first structure",
                    LOG_WARNING);
            return false;
        }
        return true;
    }
    return false;
}

bool ApplyStartChoice(TKanvioContext& context, const std::vector<std::string>& arguments) {
    return context.ResumeAfterLayoutSwitch() || ApplyCommandLineChoice(context, arguments);
}

} // namespace kanvio
