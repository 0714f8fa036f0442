#pragma once

// The player context: reads the configuration, chooses and runs the data source, holds
// the data model and the film list, and carries out what the windows ask of the player.

#include "core/ContextInterfaces.h"
#include "core/KanvioDataModel.h"
#include "core/PrintTarget.h"
#include "foundation/QelListViewModel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kanvio {

class TBigIniFile;

// Language texts the context holds for the windows and its own messages.
struct TContextTexts {
    std::string Trailer, Reach, Connection;
    std::string NoCompatibleFilters, NoCompatibleFiltersSys, NoCompatibleFiltersPri,
        NoCompatibleFiltersPre, UnknownMovieFormat, ErrorLoadingFile, StrategyError, NoFileError,
        UnknownError;
    std::string FilmList, Image, NoMovieFound, HelpFileNotFound, NoProjectData;
    std::string NoPicture, SaveFailed, PrintFailed;
    // Column captions of the inspection list.
    std::string Type, Number, City, Street, ReachNumber, ConnectionNumber, InspectionLength,
        FlowDirection, Video, InspectionType, StartManhole, EndManhole, ZIP, CodeDigit;
};

struct TContextServices {
    IUserDialogs* Dialogs = nullptr;
    IStartupUi* StartupUi = nullptr;
    IDataSourceFactory* DataSources = nullptr;
    IDesktop* Desktop = nullptr;
    IPrinters* Printers = nullptr;
    ITimeCorrectionUi* TimeCorrectionUi = nullptr;
    ITimeCodeStore* TimeCodes = nullptr;
    // Command-line runs (export, summary): no dialog is shown and nothing is stored.
    bool Headless = false;
};

using TColorArray = std::array<uint32_t, 6>;

class TKanvioContext {
public:
    explicit TKanvioContext(TContextServices services);
    ~TKanvioContext();
    TKanvioContext(const TKanvioContext&) = delete;
    TKanvioContext& operator=(const TKanvioContext&) = delete;

    // The creation sequence. Errors of the data source reach the caller.
    void Create();
    // Once only: stores the settings and frees the player windows. Never throws; what
    // could not be stored is logged and shown.
    void ShutDown(bool keepMainWindow);

    void SetMainWindow(IMainWindow* window) { mainWindow_ = window; }
    void SetPlayerWindows(IPlayerWindows* windows) { playerWindows_ = windows; }
    IPlayerWindows* PlayerWindows() const { return playerWindows_; }

    // Layout switching. SwitchLayout keeps the current structure and film position and
    // closes the main window; false (nothing happens) for the current layout or one
    // outside 0..2. The program then calls BeginPendingLayout, which makes the new layout
    // current and forgets the old layout's film, and opens the new windows, whose start
    // comes back to the kept place through ResumeAfterLayoutSwitch instead of the trailer
    // and the start-up choice.
    bool SwitchLayout(int layout);
    bool BeginPendingLayout();
    bool ResumePending() const { return resume_.has_value(); }
    bool ResumeAfterLayoutSwitch();

    // Opening another delivery: the main window closes as at the end of the program, the
    // settings are stored as then, and the program starts again on folder. Taken by the
    // program once the windows are gone.
    void OpenDeliveryAfterClose(const std::string& folder);
    std::optional<std::string> TakePendingDelivery();

    // Playback commands, keyboard and help.
    void StartPlayer();
    bool PlayTrailer();
    void CloseSplash();
    void Play(double rate);
    void Pause();
    TVideoResult Stop();
    void NextFilm();
    void PreviousFilm();
    void SetZoom(float factor);
    void ShowFilmName(const std::string& text);
    bool HasColorControl();
    // Opens the picture panel over the video of the layout.
    void ShowColorControl();
    int GetMovieFormat();
    // Windows virtual-key codes (37 left arrow, 33 page up, 65 "A", 122 F11 ...).
    void HandleKey(uint16_t key, bool ctrl);
    void OpenHelp();

    // Positions on the project timeline and seeking.
    int64_t GetFilmTime();
    int64_t GetCurrentPosition();
    void SeekPosition(const std::string& timeText);
    void SeekPosition(bool fromFilmStart, int64_t position);
    // The film (1-based) to load for position, -1 when the loaded part covers it, -2 when
    // no film of the current structure does. May move position, start and stop.
    int FindFilmPart(int64_t& position, int64_t& start, int64_t& stop, bool forward);
    // Whether the film search of structure takes film: only by the type word and ID of
    // its entry, whatever structure the film list linked it to.
    bool IsFilmOf(const TPlayListItem& film, const TReachData& structure) const;
    void SeekDetail(int index);
    void PlayFilmIndex(int index);
    bool PlayFilm(const std::string& fileName, const std::string& timeText);
    bool SelectReach(const std::string& number);
    bool SelectConnection(const std::string& number);
    void SyncCurrentStructure();
    void ShowIdleState();
    void UpdateTrackRange();
    void ShowStructureRanges();
    // The message shown for a failed film load.
    std::string LoadErrorText(TVideoResult code) const;

    uint32_t GetDefectClassColor(int index) const;
    uint32_t GetDefaultDefectClassColor(int index) const;
    void SetDefectClassColor(int index, uint32_t color);
    std::string ObjectTypeText(char objectType) const;

    // Still images and printouts. Each returns true when the file or page was delivered.
    bool SaveImage();
    bool PrintImage();
    // panel: the structure information panel; graphic: the whole structure graphic.
    bool PrintStructure(const QImage& panel, const QImage& graphic);

    // The time correction of the current observation.
    void ShowTimeCorrection();
    void TimeCorrectionClosed(bool confirmed, int32_t seconds);
    // The film (0-based) of structure whose range holds time: the loaded one when it
    // does, else the first in the list, as seeking finds it; -1 when none does.
    int FilmHolding(const TReachData& structure, int64_t time) const;

    // Film list and time corrections.
    // The film of a [FILME] entry (its first ';'-separated field), and a film file as
    // written, each looked for where the film search looks.
    std::string ResolveFilmPath(const std::string& entry) const;
    std::string ResolveFilmFile(const std::string& written) const;
    TReachData* FindStructure(const std::string& type, const std::string& id) const;
    void AssignReachesToFilms();
    void LoadTimeCorrections();
    static int32_t LookupTimeCorrection(const std::vector<std::string>& list, int64_t position);
    int32_t GetCurrentTimeCorrection() const;
    // The "start=stop" lines of the films of the current structure, sorted as text.
    std::vector<std::string> StructureRangeLines() const;

    const TContextTexts& Texts() const { return texts_; }
    // The video of the current layout, null while there is none.
    IVideoWindow* CurrentVideo() const { return Video(); }
    TBigIniFile& Settings() { return *settings_; }
    const TBigIniFile& Settings() const { return *settings_; }
    const TContextServices& Services() const { return services_; }
    // Number of observations over all structures.
    size_t ObservationCount() const;

    // State, named as the windows and the rest of the player know it.
    bool Seeking = false;
    bool TrailerPlaying = false;
    uint8_t LayoutMode = 0;
    uint8_t DisplayConnectionMode = 0;
    TAInspectionInfo InspectionInfo;
    TDataTreeBuilderRef DataSource;
    // The rows of the inspection choice window, one per reach and connection.
    std::unique_ptr<TQelListViewModel> ListModel;
    std::string SettingsFileName;
    std::string ZFFileName;
    std::string FilmName;
    bool RunsFromCD = false;
    int32_t FilmCount = 0;
    int32_t FilmIndex = 0;
    int64_t FilmPartStart = 0;
    int64_t FilmPartStop = 0;
    int64_t FilmStartSeconds = 0;
    bool Playing = false;
    int32_t FramesPerSecond = 25;
    TPlayList PlayList;
    double LinearFactor = 1.0;
    std::string LengthUnit;
    std::string LengthFormat;
    float ZoomFactor = 1.0f;
    double PlayRate = 1.0; // the speed last chosen with Play
    bool ShutDownDone = false;
    std::string StartTimeText;
    std::string FilmStructureID = "-1";
    std::string FilmStructureType;
    int32_t CurrentTimeCorrection = 0;
    int64_t TotalFilmLength = 0;
    int64_t FirstFilmStart = 0;
    int64_t LastFilmStop = 0;
    int64_t CachedPosition = 0;
    bool HasFilmList = false;
    // Manhole inspections of the delivery (counted for the summary, not shown).
    size_t ManholeInspections = 0;
    TReachDetail CurrentDetail;
    // The structure CurrentDetail belongs to; playback may since have moved to another.
    TReachData* CurrentDetailStructure = nullptr;
    TReachData* CurrentStructure = nullptr;
    TAReachData Reaches;
    TAReachData Connections;
    int32_t FilterStrategy = 1;
    int32_t RendererMode = 0;
    TColorArray DefectClassColors{};
    TColorArray DefaultDefectClassColors{};

private:
    void LoadTexts();
    void ReadLayoutMode();
    void OpenSettingsFile();
    void ReadDefectClassColors();
    void OpenLog();
    // Stored values out of range are logged and give way to their defaults.
    void CheckStoredChoices();
    void ReadDisplaySettings();
    // The DATA values of the shut-down into the settings file; throws EInOutError.
    void StoreShutDownValues();
    void ReadFilmList();
    void ReadLinearFactor();
    void BuildDataModel();
    // The films a delivery lists itself, as the film list of the settings file would be.
    void UseDeliveryFilms(TPlayList films);
    bool NamesStructure(const std::string& type, const std::string& id,
                        const TReachData& structure) const;
    void ReportNoProjectData(const std::string& folder);
    bool BelongsToCurrentStructure(const std::string& type, const std::string& id) const;
    IVideoWindow* Video() const;
    IPlayerControls* Controls() const;
    void SetBusy(bool busy) const;

    TContextServices services_;
    TContextTexts texts_;
    std::unique_ptr<TBigIniFile> settings_;
    IMainWindow* mainWindow_ = nullptr;
    IPlayerWindows* playerWindows_ = nullptr;
    std::string projectFile_;
    std::string connectionProjectFile_;
    std::string layoutNote_;
    struct TLayoutResume {
        TReachData* Structure = nullptr;
        int32_t FilmIndex = -1; // -1: no film of the structure was loaded
        int64_t TimelineSeconds = 0;
        int64_t FilmMilliseconds = 0;
    };
    std::optional<TLayoutResume> resume_; // set from a layout switch until the new start
    // What the open time-correction dialog was opened for: taken when it opens, so that
    // another observation chosen meanwhile does not receive its value.
    struct TPendingCorrection {
        TReachDetail Detail;
        TReachData* Structure = nullptr;
        int FilmIndex = -1; // -1: no film holds the observation's time
    };
    std::optional<TPendingCorrection> pendingCorrection_;
    int pendingLayout_ = -1;
    std::optional<std::string> pendingDelivery_;
};

// The one player context of the program; null until the program entry creates it.
extern std::unique_ptr<TKanvioContext> PlayerContext;

// The Windows colour value (red in the low byte) of an RGB triple.
constexpr uint32_t WindowsColor(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t(red) | (uint32_t(green) << 8) | (uint32_t(blue) << 16);
}

} // namespace kanvio
