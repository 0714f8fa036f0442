#pragma once

// What the player context needs from the outside world: the windows of the current
// layout, the start-up dialogs, the data sources and the desktop. The program passes the
// real ones; tests pass their own, so the context's logic runs without a display.

#include "core/KanvioDataModel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QImage;

namespace kanvio {

class IUserDialogs;

// Result codes of the video (negative: failure), as the engine returns them.
using TVideoResult = int32_t;

// The layout's video: the engine's operations as the video window offers them.
class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    virtual TVideoResult LoadMovieAuto(const std::string& fileName) = 0;
    virtual TVideoResult PlayMovie() = 0;
    virtual TVideoResult PauseMovie() = 0;
    virtual TVideoResult StopMovie() = 0;
    virtual TVideoResult SeekTo(int64_t milliseconds) = 0;
    virtual void SetSpeed(double rate) = 0;
    // 100-nanosecond units from the first frame of the loaded film.
    virtual int64_t GetCurrentPosition() = 0;
    virtual void SetZoom(float factor) = 0;
    virtual void ToggleFullScreen() = 0;
    virtual bool IsFullScreen() const = 0;
    // 0 None, 1 Unknown, 2 MPEG1, 3 MPEG2, 4 MPEG4.
    virtual int MovieFormat() const = 0;
    virtual bool CanChangePictureProps() = 0;
    // Brings the video to the front and opens the picture panel over it, without waiting.
    virtual void ShowColorControl() = 0;
    virtual void BringToFront() = 0;
    // Orders the decoders the engine found by the stored priorities (without the ones
    // that have none) and hands them to the engine.
    virtual void ApplyDecoderPriorities() = 0;
    // A copy of the picture shown now; a negative result when there is none to take.
    virtual TVideoResult GrabPicture(QImage& bitmap) = 0;
};

// The player controls of the layout.
class IPlayerControls {
public:
    virtual ~IPlayerControls() = default;
    // The film-name field; the picture button is enabled when colorControl, unless the
    // controls are locked.
    virtual void SetFilmName(const std::string& text, bool colorControl) = 0;
    virtual void SetTimeLabel(const std::string& text) = 0;
    virtual void EnableControls(bool enabled) = 0;
    // Play shown pressed and Pause released (true), or the other way round.
    virtual void ShowPlaying(bool playing) = 0;
    // The Play button shown released; the Pause button stays as it is.
    virtual void ReleasePlayButton() = 0;
    virtual void SetTrackTimer(bool running) = 0;
    // Updates track bar and time label from the current position now.
    virtual void TrackBarTimer() = 0;
    virtual void ShowTrackRange(int64_t first, int64_t last, int64_t tickFrequency) = 0;
    // "start=stop" lines (eight digits each) of the films of the current structure.
    virtual void ShowFilmParts(const std::vector<std::string>& ranges) = 0;
    virtual bool IsFastViewOn() const = 0;
    virtual void SetFastView(bool on) = 0;
    // After a film change during a drag, keep following the thumb with the mouse.
    virtual void FollowThumb() = 0;
    virtual void PlayButtonClick() = 0;
    virtual void PauseButtonClick() = 0;
    virtual void StopButtonClick() = 0;
    virtual void SkipbackButtonClick() = 0;
    virtual void SkipForwardButtonClick() = 0;
};

// The main window of the layout.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Closes the main window (and with it the application).
    virtual void CloseMainWindow() = 0;
    // Lists the project's structures (menus, or the observation tree).
    virtual void ShowStructureList() = 0;
    // Shows the context's current structure as the selected one.
    virtual void ShowCurrentStructure() = 0;
    // The start-up choice: the structure of the command line, else the first reach.
    virtual void SelectInitialStructure() = 0;
    virtual void EnableControls(bool enabled) = 0;
};

// The windows of a layout beside its main window. Layout 0 makes separate video and
// control windows; the single window of layouts 1 and 2 is both itself.
class IPlayerWindows {
public:
    virtual ~IPlayerWindows() = default;
    virtual void CreatePlayerWindows() = 0;
    virtual IVideoWindow* Video() = 0;
    virtual IPlayerControls* Controls() = 0;
    // Shows the player windows once the splash window is gone.
    virtual void ShowPlayerWindows() = 0;
    virtual void CloseSplash() = 0;
    // Frees the player control and video windows; they store their positions on closing.
    virtual void DestroyPlayerWindows() = 0;
    // The main window's first-start frame has grown or is framed at last: windows whose
    // first-start place lies beside it move along. Windows at a stored place stay.
    virtual void FollowMainWindow() {}
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

// Opens documents (the help file) with the desktop's own program.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual bool OpenDocument(const std::string& fileName) = 0;
    virtual void SetBusy(bool busy) = 0;
};

// What a time correction is for: the observation, and the film its correction is filed
// under. Texts are Windows-1252 bytes.
struct TTimeCorrectionSubject {
    std::string Structure; // type text and number, "Haltung H0123-456"
    double Distance = 0.0;
    std::string LengthFormat; // how the delivery's distances are shown
    std::string LengthUnit;
    std::string Code;
    std::string VideoTime; // hh:mm:ss on the project timeline
    // Without folder; empty when no film of the structure holds the time, so no
    // correction can be stored.
    std::string FilmName;
    int32_t Seconds = 0; // the correction in force there
};

// The time-correction dialog: shown without waiting; closed tells whether the user
// confirmed it and the seconds entered.
class ITimeCorrectionUi {
public:
    virtual ~ITimeCorrectionUi() = default;
    virtual void
    ShowTimeCorrection(const TTimeCorrectionSubject& subject,
                       std::function<void(bool confirmed, int32_t seconds)> closed) = 0;
};

// The time-code file of a delivery, kept in step with the user's time corrections.
class ITimeCodeStore {
public:
    virtual ~ITimeCodeStore() = default;
    // Adds the entry to the film's element and writes the file. False when the file has
    // no such film (nothing written); throws EKanvioError naming the file on failure.
    virtual bool AddOffset(const std::string& fileName, const std::string& filmName,
                           int32_t timeCodeFrame, int32_t filmFrame) = 0;
};

// Creates the data source a delivery calls for.
class IDataSourceFactory {
public:
    virtual ~IDataSourceFactory() = default;
    virtual TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) = 0;
    // The project database on a server, as [DATA] Database of settingsFileName names it.
    virtual TDataTreeBuilderRef CreateServerDatabaseSource(const std::string& address,
                                                           const std::string& settingsFileName) = 0;
    // Both names as the settings file gives them, relative to the program folder.
    virtual TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                                   const std::string& connectionFileName) = 0;
    // Whether the file is an ISYBAU XML delivery (root Identifikation with condition data).
    virtual bool IsIsybauXml(const std::string& fileName) = 0;
    // The folder's only ISYBAU XML delivery; empty when it has none or several.
    virtual std::string FindIsybauXml(const std::string& folder) = 0;
    virtual TDataTreeBuilderRef CreateIsybauXmlSource(const std::string& fileName) = 0;
};

} // namespace kanvio
