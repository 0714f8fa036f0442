#include "core/KanvioContext.h"

#include "core/StructureListModel.h"
#include "foundation/BigIniFile.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>
#include <unistd.h>

namespace kanvio {

std::unique_ptr<TKanvioContext> PlayerContext;

namespace {

constexpr const char* kLabelProperties[] = {"",
                                            "city",
                                            "date",
                                            "street",
                                            "ReachNumber",
                                            "ConnectionNumber",
                                            "StartManholeNumber",
                                            "EndManholeNumber",
                                            "video",
                                            "DirectionTxt",
                                            "ConnectionInfo"};
constexpr const char* kLabelCaptionKeys[] = {"",
                                             "_City",
                                             "_Date",
                                             "_Street",
                                             "_ReachNumber",
                                             "_ConnectionNumber",
                                             "_StartManhole",
                                             "_EndManhole",
                                             "_Video",
                                             "_FlowDirection",
                                             "_ConnectionInfo"};

// The "Linear" value: blanks trimmed, "." as decimal separator, anything unreadable is 0.
double ParseDecimal(const std::string& text) {
    std::istringstream in(Trim(text));
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    if (in.fail()) {
        return 0.0;
    }
    return value;
}

bool ValidColorIndex(int index) {
    return index >= 0 && index < 6;
}

constexpr uint32_t kLargestColor = 0xFFFFFF;

// A stored choice outside first..last gives way to its default; the log names it.
int32_t ChoiceInRange(const char* name, int32_t value, int32_t first, int32_t last,
                      int32_t fallback) {
    if (value >= first && value <= last) {
        return value;
    }
    LogLine(std::string("Registry value \"") + name + "\" = " + std::to_string(value) +
                " is out of range " + std::to_string(first) + ".." + std::to_string(last) + "; " +
                std::to_string(fallback) + " is used",
            LOG_WARNING);
    return fallback;
}

} // namespace

TKanvioContext::TKanvioContext(TContextServices services) : services_(services) {}

TKanvioContext::~TKanvioContext() = default;

void TKanvioContext::Create() {
    Seeking = false;
    TrailerPlaying = false;
    ZoomFactor = 1.0f;
    FilmStructureID = "-1";
    FilmStructureType.clear();

    InspectionInfo.assign(std::size(kLabelProperties), {});
    for (size_t row = 0; row < InspectionInfo.size(); ++row) {
        InspectionInfo[row].PropertyName = kLabelProperties[row];
    }
    LoadTexts();
    ReadLayoutMode();

    CurrentTimeCorrection = 0;
    FilterStrategy = ReadRegInteger("", "FilterStrategy", 1);
    RendererMode = ReadRegInteger("", "RendererMode", 0);
    RunsFromCD = IsOnOpticalDisc(GetProjectFolder());
    TotalFilmLength = 0;

    OpenSettingsFile();
    ReadDefectClassColors();
    OpenLog();
    CheckStoredChoices();
    if (!layoutNote_.empty()) {
        LogLine(layoutNote_, LOG_WARNING);
    }
    ReadDisplaySettings();

    FramesPerSecond = settings_->ReadInteger("DATA", "FramesPerSeconds", 25);
    FilmName = settings_->ReadString("DATA", "FilmName", "");
    ZFFileName = settings_->ReadString("DATA", "QE_ISYBAU", "notexistingfile");
    StartTimeText = settings_->ReadString("DATA", "LaengeOffset", "+00:00:00");
    TotalFilmLength = settings_->ReadInteger("DATA", "FilmLength", 0);
    projectFile_ = settings_->ReadString("DATA", "Projekt", "");
    connectionProjectFile_ = settings_->ReadString("DATA", "ProjektA", "");

    HasFilmList = settings_->SectionExists("FILME");
    if (HasFilmList) {
        ReadFilmList();
    }
    ReadLinearFactor();
    if (RunsFromCD && !HasFilmList) {
        FilmName = ExtractFileName(FilmName);
    }
    Playing = false;

    LogLine("Preparing data structure...", LOG_DEBUG);
    BuildDataModel();
    // The choice window's list: a run without windows never shows it.
    if (!services_.Headless) {
        ListModel = BuildListModel(*this);
    }
    LogLine("Data structure prepared. Assigning reaches to films...", LOG_DEBUG);
    AssignReachesToFilms();
}

void TKanvioContext::LoadTexts() {
    LangScope lang;
    auto text = [&lang](const char* key) {
        return lang.Text(key);
    };
    texts_ = TContextTexts{
        text("_Trailer"),
        text("_Reach"),
        text("_Connection"),
        text("_NoCompatibleFilters"),
        text("_NoCompatibleFiltersSys"),
        text("_NoCompatibleFiltersPri"),
        text("_NoCompatibleFiltersPre"),
        text("_UnknownMovieFormat"),
        text("_ErrorLoadingFile"),
        text("_StrategyError"),
        text("_NoFileError"),
        text("_UnknownError"),
        text("_FilmList"),
        text("_Image"),
        text("_NoMovieFound"),
        text("_HelpFileNotFound"),
        text("_NoProjectData"),
        text("_NoPicture"),
        text("_SaveFailed"),
        text("_PrintFailed"),
        text("_Type"),
        text("_Number"),
        text("_City"),
        text("_Street"),
        text("_ReachNumber"),
        text("_ConnectionNumber"),
        text("_InspectionLength"),
        text("_FlowDirection"),
        text("_Video"),
        text("_InspectionType"),
        text("_StartManhole"),
        text("_EndManhole"),
        text("_ZIP"),
        text("_CodeDigit"),
    };
    SetDirectionTexts(text("_Upstream"), text("_Downstream"));
    for (size_t row = 1; row < InspectionInfo.size(); ++row) {
        InspectionInfo[row].Caption = text(kLabelCaptionKeys[row]);
    }
}

void TKanvioContext::ReadLayoutMode() {
    int32_t mode = ReadRegInteger("", "LayoutMode", -1);
    if (mode == -1) {
        if (services_.Headless || services_.StartupUi == nullptr) {
            // Nobody to ask: use the three windows and leave the question for a real start.
            mode = 0;
        } else {
            mode = services_.StartupUi->AskLayoutMode();
            if (mode < 0 || mode > 2) {
                mode = 0;
            }
            try {
                WriteRegInteger("", "LayoutMode", mode);
            } catch (const EKanvioError& error) {
                // The choice still holds for this run; the next start asks again.
                std::fprintf(stderr, "kanvio: %s\n", error.what());
            }
        }
    }
    if (mode < 0 || mode > 2) {
        // Noted now, logged once the log is open: the settings may come from an older or
        // newer program, and the user should learn why the window looks as it does.
        layoutNote_ = "Stored layout " + std::to_string(mode) +
                      " is not one of 0, 1 and 2; the three-window layout is used";
    }
    LayoutMode = (mode == 1 || mode == 2) ? static_cast<uint8_t>(mode) : 0;
}

void TKanvioContext::OpenSettingsFile() {
    const std::string quorvi = FindFileIgnoringCase(ProjectSettingsFolder() + "Quorvi.ini");
    if (FileExists(quorvi)) {
        SettingsFileName = quorvi;
    } else {
        SettingsFileName = FindFileIgnoringCase(ProjectSettingsFolder() + "Kanvio.ini");
    }
    // A command without windows only reads: not even the settings object's own write-back
    // at its destruction may reach the delivery.
    settings_ = std::make_unique<TBigIniFile>(
        SettingsFileName, services_.Headless ? TIniAccess::ReadOnly : TIniAccess::ReadWrite);
}

void TKanvioContext::ReadDefectClassColors() {
    for (int i = 0; i < 6; ++i) {
        const std::string key = std::to_string(i);
        const int32_t configured = settings_->ReadInteger("DefaultDefectClass", key, 0);
        DefectClassColors[i] =
            static_cast<uint32_t>(ReadRegInteger("", "DefectClassColor_" + key, configured));
        DefaultDefectClassColors[i] = static_cast<uint32_t>(configured);
    }
}

void TKanvioContext::CheckStoredChoices() {
    FilterStrategy = ChoiceInRange("FilterStrategy", FilterStrategy, 0, 2, 1);
    RendererMode = ChoiceInRange("RendererMode", RendererMode, 0, 1, 0);
    for (size_t i = 0; i < DefectClassColors.size(); ++i) {
        const std::string key = std::to_string(i);
        if (DefaultDefectClassColors[i] > kLargestColor) {
            LogLine(SettingsFileName + ": [DefaultDefectClass] " + key + "=" +
                        std::to_string(int32_t(DefaultDefectClassColors[i])) +
                        " is no colour; black is used",
                    LOG_WARNING);
            DefaultDefectClassColors[i] = 0;
        }
        if (DefectClassColors[i] > kLargestColor) {
            LogLine("Registry value \"DefectClassColor_" + key +
                        "\" = " + std::to_string(int32_t(DefectClassColors[i])) +
                        " is no colour; the default colour is used",
                    LOG_WARNING);
            DefectClassColors[i] = DefaultDefectClassColors[i];
        }
    }
}

void TKanvioContext::OpenLog() {
    const int32_t level = settings_->ReadInteger("Debug", "LogLevel", 0);
    const std::string file = settings_->ReadString("Debug", "LogFile", "c:\\kanvio.log");
    TConsoleDialogs console;
    IUserDialogs& dialogs =
        (services_.Headless || services_.Dialogs == nullptr) ? console : *services_.Dialogs;
    AppLog = std::make_unique<TLog>(file, level, dialogs);
}

void TKanvioContext::ReadDisplaySettings() {
    DisplayConnectionMode = 0;
    if (LayoutMode == 0 || LayoutMode == 1) {
        switch (settings_->ReadInteger("common", "DisplayConnectionMode", 1)) {
        case 2:
            DisplayConnectionMode = 1;
            break;
        case 3:
            DisplayConnectionMode = 2;
            break;
        default:
            break;
        }
    }
    LengthUnit = settings_->ReadString("common", "LengthUnit", "m");
    LengthFormat = settings_->ReadString("common", "LengthFormat", "0.##");
}

void TKanvioContext::ReadLinearFactor() {
    LinearFactor = ParseDecimal(settings_->ReadString("DATA", "Linear", ""));
    if (!(LinearFactor >= 0.1)) {
        LinearFactor = 1.0;
    }
}

void TKanvioContext::BuildDataModel() {
    const std::string folder = GetProjectFolder();
    const std::string database = FindFileIgnoringCase(folder + "Kanvio.dat");
    auto projectPath = [&folder](const std::string& name) {
        return name.empty() ? std::string()
                            : FindFileIgnoringCase(folder + ToNativeSeparators(name));
    };
    auto projectExists = [&projectPath](const std::string& name) {
        return !name.empty() && FileExists(projectPath(name));
    };
    // A database named in the settings, on a server, stands before any file of the folder.
    const std::string serverDatabase = settings_->ReadString("DATA", "Database", "");
    DataSource.reset();
    if (IDataSourceFactory* sources = services_.DataSources; sources != nullptr) {
        if (!serverDatabase.empty()) {
            DataSource = sources->CreateServerDatabaseSource(serverDatabase, SettingsFileName);
        } else if (FileExists(database)) {
            DataSource = sources->CreateDatabaseSource(database);
        } else if (projectExists(projectFile_) && sources->IsIsybauXml(projectPath(projectFile_))) {
            DataSource = sources->CreateIsybauXmlSource(projectPath(projectFile_));
        } else if (projectExists(projectFile_) || projectExists(connectionProjectFile_)) {
            DataSource = sources->CreateIsybauSource(projectFile_, connectionProjectFile_);
        } else if (const std::string xml = sources->FindIsybauXml(folder); !xml.empty()) {
            DataSource = sources->CreateIsybauXmlSource(xml);
        }
    }
    if (!DataSource && services_.DataSources != nullptr) {
        ReportNoProjectData(folder);
    }
    TKanvioDataModel model;
    if (DataSource) {
        DataSource->BuildDataTree(model);
    }
    if (services_.Headless) {
        for (const std::string& warning : model.Warnings) {
            std::fprintf(stderr, "kanvio: warning: %s\n", warning.c_str());
        }
    }
    Reaches = std::move(model.Reaches);
    Connections = std::move(model.Connections);
    ManholeInspections = model.ManholeInspections;
    // The delivery's own film list serves only where the settings file has none.
    if (!HasFilmList && !model.Films.empty()) {
        UseDeliveryFilms(std::move(model.Films));
    }
}

// Without data the windows come up empty; the user learns where the player looked and
// what it looked for, so that a program started in the wrong folder or with a damaged
// settings file is told from an empty delivery.
void TKanvioContext::ReportNoProjectData(const std::string& folder) {
    std::string wanted = "Kanvio.dat";
    for (const std::string& name : {projectFile_, connectionProjectFile_}) {
        if (!name.empty()) {
            wanted += ", " + name;
        }
    }
    const std::string message = texts_.NoProjectData + "\n" + folder + "\n" + wanted;
    LogLine("No project data in " + folder + " (" + wanted + ")", LOG_WARNING);
    if (services_.Dialogs != nullptr) {
        services_.Dialogs->ShowMessage(TMessageKind::Warning, message);
    }
}

void TKanvioContext::ShutDown(bool keepMainWindow) {
    if (ShutDownDone) {
        return;
    }
    ShutDownDone = true;

    std::vector<std::string> failures;
    auto attempt = [&failures](auto&& step) {
        try {
            step();
        } catch (const std::exception& error) {
            failures.emplace_back(error.what());
        }
    };
    if (!services_.Headless) {
        attempt([&] { WriteRegInteger("", "FilterStrategy", FilterStrategy); });
        attempt([&] { WriteRegInteger("", "RendererMode", RendererMode); });
        for (int i = 0; i < 6; ++i) {
            attempt([&] {
                WriteRegInteger("", "DefectClassColor_" + std::to_string(i),
                                static_cast<int32_t>(DefectClassColors[i]));
            });
        }
        if (!RunsFromCD && settings_) {
            attempt([&] { StoreShutDownValues(); });
        }
    }
    for (const auto& failure : failures) {
        LogLine("Settings could not be stored: " + failure, LOG_ERROR);
    }
    if (!failures.empty() && services_.Dialogs != nullptr && !services_.Headless) {
        services_.Dialogs->ShowMessage(TMessageKind::Error, failures.front());
    }

    if (!keepMainWindow && mainWindow_ != nullptr) {
        mainWindow_->CloseMainWindow();
    }
    if (playerWindows_ != nullptr) {
        playerWindows_->DestroyPlayerWindows();
    }
}

void TKanvioContext::StoreShutDownValues() {
    const std::string& fileName = settings_->FileName();
    if (FileExists(fileName) && ::access(fileName.c_str(), W_OK) != 0) {
        // The read-only mark says the file is not to change: no value goes in, so nothing
        // is left over for the settings object to retry when it is destroyed.
        const int error = errno;
        settings_->MakeReadOnly();
        throw EInOutError(fileName, "cannot be written: " + std::string(std::strerror(error)));
    }
    settings_->WriteInteger("DATA", "FramesPerSeconds", FramesPerSecond);
    settings_->WriteInteger("DATA", "FilmLength", static_cast<int32_t>(TotalFilmLength));
    char linear[64];
    std::snprintf(linear, sizeof linear, "%8.6f", LinearFactor);
    std::string text = linear;
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    settings_->WriteString("DATA", "Linear", text);
    try {
        settings_->UpdateFile();
    } catch (const EKanvioError&) {
        // Reported once, by the shut-down; the destruction must not try again.
        settings_->MakeReadOnly();
        throw;
    }
}

uint32_t TKanvioContext::GetDefectClassColor(int index) const {
    return ValidColorIndex(index) ? DefectClassColors[index] : 0;
}

uint32_t TKanvioContext::GetDefaultDefectClassColor(int index) const {
    return ValidColorIndex(index) ? DefaultDefectClassColors[index] : 0;
}

void TKanvioContext::SetDefectClassColor(int index, uint32_t color) {
    if (ValidColorIndex(index)) {
        DefectClassColors[index] = color;
    }
}

std::string TKanvioContext::ObjectTypeText(char objectType) const {
    switch (objectType) {
    case 'H':
        return texts_.Reach;
    case 'A':
        return texts_.Connection;
    default:
        return {};
    }
}

size_t TKanvioContext::ObservationCount() const {
    size_t count = 0;
    for (const auto* list : {&Reaches, &Connections}) {
        for (const auto& structure : *list) {
            count += structure->Details.size();
        }
    }
    return count;
}

} // namespace kanvio
