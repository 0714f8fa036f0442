#pragma once

#include "core/KanvioContext.h"

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QApplication;
class QWidget;

namespace kanvio {

// Starts the program: the command-line tools, or the player with its windows.
int RunProgram(int argc, char** argv);

// Creates the player context with the program's services. When the project cannot be
// read, the splash window goes, the error (naming the file and the place in it) is shown
// through the services' dialogs and the result is null.
std::unique_ptr<TKanvioContext> CreatePlayerContext(const TContextServices& services,
                                                    QWidget* splash = nullptr);

class IUserDialogs;
class TSplashForm;

// Runs the windows of the context's layout until the main window closes; when the user
// switched layouts, the windows of the new layout follow. Returns the event loop's code.
int RunLayouts(QApplication& application, TKanvioContext& context, IUserDialogs& dialogs,
               const std::vector<std::string>& arguments, QPointer<TSplashForm> splash = {});

} // namespace kanvio
