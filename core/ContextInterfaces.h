#pragma once

// What the player context needs from the outside world: the windows of the current
// layout, the start-up dialogs and the data sources. The program passes the real ones;
// tests pass their own, so the context's logic runs without a display.

#include "core/KanvioDataModel.h"

#include <string>

namespace kanvio {

class IUserDialogs;

// The main window of the layout.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Closes the main window (and with it the application).
    virtual void CloseMainWindow() = 0;
};

// The windows of a layout beside its main window (the video and the player controls).
class IPlayerWindows {
public:
    virtual ~IPlayerWindows() = default;
    // Frees the player control and video windows; they store their positions on closing.
    virtual void DestroyPlayerWindows() = 0;
};

// Dialogs of the program start.
class IStartupUi {
public:
    virtual ~IStartupUi() = default;
    // Hides the splash window, asks for the window layout modally and shows the splash
    // window again. 0 three windows, 1 single window with the structure graphic, 2 single
    // window with the observation list; 0 when the dialog was closed without a choice.
    virtual int AskLayoutMode() = 0;
};

// Creates the data source a delivery calls for.
class IDataSourceFactory {
public:
    virtual ~IDataSourceFactory() = default;
    virtual TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) = 0;
    // Both names as the settings file gives them, relative to the program folder.
    virtual TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                                   const std::string& connectionFileName) = 0;
};

} // namespace kanvio
