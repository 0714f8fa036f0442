#include "foundation/UserDialogs.h"

#include "foundation/AnsiText.h"

#include <cstdio>

namespace kanvio {
namespace {

const char* KindLabel(TMessageKind kind) {
    switch (kind) {
    case TMessageKind::Information:
        return "Information";
    case TMessageKind::Warning:
        return "Warning";
    case TMessageKind::Error:
        return "Error";
    }
    return "Message";
}

} // namespace

void TConsoleDialogs::ShowMessage(TMessageKind kind, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", KindLabel(kind), AnsiToUtf8(text).c_str());
}

bool TConsoleDialogs::AskYesNo(const std::string& text) {
    std::fprintf(stderr, "%s (answered: no)\n", AnsiToUtf8(text).c_str());
    return false;
}

std::optional<std::string> TConsoleDialogs::AskSaveFileName(const std::string& /*initialFolder*/,
                                                            const std::string& /*proposedName*/,
                                                            const std::string& /*filter*/) {
    return std::nullopt;
}

} // namespace kanvio
