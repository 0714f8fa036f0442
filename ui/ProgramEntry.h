#pragma once

#include "core/KanvioContext.h"

#include <memory>

class QWidget;

namespace kanvio {

// Starts the program: the command-line tools, or the player with its windows.
int RunProgram(int argc, char** argv);

// Creates the player context with the program's services. When the project cannot be
// read, the splash window goes, the error (naming the file and the place in it) is shown
// through the services' dialogs and the result is null.
std::unique_ptr<TKanvioContext> CreatePlayerContext(const TContextServices& services,
                                                    QWidget* splash = nullptr);

} // namespace kanvio
