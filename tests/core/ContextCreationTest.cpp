#include "foundation/BigIniFile.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"

#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

namespace kanvio::test {
namespace {

class ContextCreationTest : public ContextTest {};

TEST_F(ContextCreationTest, EmptyFolderGivesEveryDefaultAndCreatesNothing) {
    keepNoProjectDataNotice = true;
    auto context = CreateContext();
    EXPECT_EQ(context->LayoutMode, 0);
    EXPECT_EQ(context->DisplayConnectionMode, 0);
    EXPECT_EQ(context->FilterStrategy, 1);
    EXPECT_EQ(context->RendererMode, 0);
    EXPECT_EQ(context->LengthUnit, "m");
    EXPECT_EQ(context->LengthFormat, "0.##");
    EXPECT_EQ(context->FramesPerSecond, 25);
    EXPECT_EQ(context->FilmName, "");
    EXPECT_EQ(context->ZFFileName, "notexistingfile");
    EXPECT_EQ(context->StartTimeText, "+00:00:00");
    EXPECT_EQ(context->TotalFilmLength, 0);
    EXPECT_DOUBLE_EQ(context->LinearFactor, 1.0);
    EXPECT_FALSE(context->HasFilmList);
    EXPECT_TRUE(context->PlayList.empty());
    EXPECT_EQ(context->FilmStructureID, "-1");
    EXPECT_FLOAT_EQ(context->ZoomFactor, 1.0f);
    EXPECT_FALSE(context->DataSource);
    EXPECT_TRUE(context->Reaches.empty());
    EXPECT_TRUE(context->Connections.empty());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(context->GetDefectClassColor(i), 0u);
        EXPECT_EQ(context->GetDefaultDefectClassColor(i), 0u);
    }
    EXPECT_TRUE(sources.requests.empty());
    // Said once: where the player looked and for what.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Warning);
    const std::string& said = dialogs.messages[0].second;
    EXPECT_NE(said.find("_NoProjectData"), std::string::npos) << said;
    EXPECT_NE(said.find(GetProgramFolder()), std::string::npos) << said;
    EXPECT_NE(said.find("Kanvio.dat"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(projectFolder() / "Kanvio.ini"));
    EXPECT_EQ(AppLog->Level(), 0);
    // Without language files every text is its key.
    EXPECT_EQ(context->ObjectTypeText('H'), "_Reach");
    EXPECT_EQ(context->ObjectTypeText('A'), "_Connection");
    EXPECT_EQ(context->ObjectTypeText('X'), "");
}

TEST_F(ContextCreationTest, SettingsNamingMissingProjectFilesSayWhatWasSought) {
    const std::vector<std::string> settings = {
        "[DATA]\nProjekt=Haltungen.txt\nProjektA=Anschluesse.txt\n",
        std::string("\x01\xff garbage \0 without any section\n[[[\n", 37),
    };
    keepNoProjectDataNotice = true;
    for (const std::string& text : settings) {
        WriteSettings(text);
        dialogs.messages.clear();
        auto context = CreateContext();
        EXPECT_TRUE(context->Reaches.empty());
        ASSERT_EQ(dialogs.messages.size(), 1u) << text;
        const std::string& said = dialogs.messages[0].second;
        EXPECT_NE(said.find(GetProgramFolder()), std::string::npos) << said;
        if (text.find("Projekt=") != std::string::npos) {
            EXPECT_NE(said.find("Haltungen.txt"), std::string::npos) << said;
            EXPECT_NE(said.find("Anschluesse.txt"), std::string::npos) << said;
        }
    }
}

TEST_F(ContextCreationTest, RealisticSettingsFileSetsEveryKey) {
    WriteSettings("[DATA]\n"
                  "FramesPerSeconds=30\n"
                  "FilmName=film.mpg\n"
                  "QE_ISYBAU=zf.xml\n"
                  "LaengeOffset=+01:00:00\n"
                  "FilmLength=1234\n"
                  "Projekt=reaches.txt\n"
                  "ProjektA=connections.txt\n"
                  "Linear= 1.5 \n"
                  "[common]\n"
                  "DisplayConnectionMode=3\n"
                  "LengthUnit=ft\n"
                  "LengthFormat=0.000\n"
                  "[Debug]\n"
                  "LogLevel=4\n"
                  "LogFile=" +
                  (env.state() / "run.log").string() +
                  "\n"
                  "[DefaultDefectClass]\n"
                  "0=0\n1=255\n2=$00FF00\n3=0xFF0000\n4=65535\n5=16711935\n");
    auto context = CreateContext();
    EXPECT_EQ(context->FramesPerSecond, 30);
    EXPECT_EQ(context->FilmName, "film.mpg");
    EXPECT_EQ(context->ZFFileName, "zf.xml");
    EXPECT_EQ(context->StartTimeText, "+01:00:00");
    EXPECT_EQ(context->TotalFilmLength, 1234);
    EXPECT_DOUBLE_EQ(context->LinearFactor, 1.5);
    EXPECT_EQ(context->DisplayConnectionMode, 2);
    EXPECT_EQ(context->LengthUnit, "ft");
    EXPECT_EQ(context->LengthFormat, "0.000");
    EXPECT_EQ(context->GetDefaultDefectClassColor(1), 255u);
    EXPECT_EQ(context->GetDefaultDefectClassColor(2), 0x00FF00u);
    EXPECT_EQ(context->GetDefaultDefectClassColor(3), 0xFF0000u);
    EXPECT_EQ(context->GetDefectClassColor(5), 16711935u);
    EXPECT_EQ(AppLog->Level(), 4);
    // Neither ISYBAU file exists beside the program: no data source.
    EXPECT_TRUE(sources.requests.empty());
    std::ifstream log(env.state() / "run.log", std::ios::binary);
    const std::string lines((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(lines.find(" [DEBUG] Preparing data structure...\r\n"), std::string::npos);
    EXPECT_NE(lines.find(" [DEBUG] Data structure prepared. Assigning reaches to films...\r\n"),
              std::string::npos);
}

TEST_F(ContextCreationTest, StoredColoursOverrideTheConfiguredOnes) {
    WriteSettings("[DefaultDefectClass]\n1=255\n");
    WriteRegInteger("", "DefectClassColor_1", 4242);
    auto context = CreateContext();
    EXPECT_EQ(context->GetDefectClassColor(1), 4242u);
    EXPECT_EQ(context->GetDefaultDefectClassColor(1), 255u);
    context->SetDefectClassColor(1, 7);
    EXPECT_EQ(context->GetDefectClassColor(1), 7u);
    // Indexes outside 0..5 are ignored rather than written past the table.
    context->SetDefectClassColor(6, 9);
    context->SetDefectClassColor(-1, 9);
    EXPECT_EQ(context->GetDefectClassColor(6), 0u);
}

TEST_F(ContextCreationTest, LayoutIsAskedOnceAndStored) {
    startupUi.answer = 2;
    auto first = CreateContext();
    EXPECT_EQ(startupUi.asked, 1);
    EXPECT_EQ(first->LayoutMode, 2);
    EXPECT_EQ(ReadRegInteger("", "LayoutMode", -1), 2);
    first.reset();
    auto second = CreateContext();
    EXPECT_EQ(startupUi.asked, 1);
    EXPECT_EQ(second->LayoutMode, 2);
    // Layout 2 leaves the connection label mode at 0.
    EXPECT_EQ(second->DisplayConnectionMode, 0);
}

TEST_F(ContextCreationTest, UnknownStoredLayoutMeansThreeWindowsWithoutAskingAndIsLogged) {
    WriteSettings("[Debug]\nLogLevel=3\nLogFile=" + (env.state() / "layout.log").string() + "\n");
    for (const int stored : {7, -2, 3}) {
        WriteRegInteger("", "LayoutMode", stored);
        auto context = CreateContext();
        EXPECT_EQ(startupUi.asked, 0) << stored;
        EXPECT_EQ(context->LayoutMode, 0) << stored;
        std::ifstream log(env.state() / "layout.log", std::ios::binary);
        const std::string lines((std::istreambuf_iterator<char>(log)), {});
        EXPECT_NE(lines.find("Stored layout " + std::to_string(stored) +
                             " is not one of 0, 1 and 2; the three-window layout is used"),
                  std::string::npos)
            << stored;
    }
    // Stored values that are layouts log nothing.
    WriteRegInteger("", "LayoutMode", 1);
    auto single = CreateContext();
    EXPECT_EQ(single->LayoutMode, 1);
    std::ifstream log(env.state() / "layout.log", std::ios::binary);
    const std::string lines((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(lines.find("Stored layout 1"), std::string::npos);
}

TEST_F(ContextCreationTest, HeadlessStartAsksNothingAndStoresNothing) {
    auto context = CreateContext(/*headless=*/true);
    EXPECT_EQ(startupUi.asked, 0);
    EXPECT_EQ(context->LayoutMode, 0);
    EXPECT_EQ(ReadRegInteger("", "LayoutMode", -1), -1);
    EXPECT_FALSE(std::filesystem::exists(env.userStore()));
}

struct LinearCase {
    const char* written;
    double factor;
    friend void PrintTo(const LinearCase& c, std::ostream* os) { *os << '"' << c.written << '"'; }
};

class LinearFactorTest : public ContextTest, public ::testing::WithParamInterface<LinearCase> {};

TEST_P(LinearFactorTest, SmallOrUnreadableFactorsBecomeOne) {
    WriteSettings(std::string("[DATA]\n") + GetParam().written + "\n");
    auto context = CreateContext();
    EXPECT_DOUBLE_EQ(context->LinearFactor, GetParam().factor) << GetParam().written;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LinearFactorTest,
    ::testing::Values(LinearCase{"", 1.0}, LinearCase{"Linear=0", 1.0},
                      LinearCase{"Linear=0.05", 1.0}, LinearCase{"Linear=abc", 1.0},
                      LinearCase{"Linear=-2", 1.0}, LinearCase{"Linear=0.1", 0.1},
                      LinearCase{"Linear=1.5", 1.5}, LinearCase{"Linear=  2.25  ", 2.25}));

struct ConnectionModeCase {
    const char* written;
    int mode;
    friend void PrintTo(const ConnectionModeCase& c, std::ostream* os) { *os << c.written; }
};

class ConnectionModeTest : public ContextTest,
                           public ::testing::WithParamInterface<ConnectionModeCase> {};

TEST_P(ConnectionModeTest, SettingMapsToLabelMode) {
    WriteSettings(std::string("[common]\nDisplayConnectionMode=") + GetParam().written + "\n");
    auto context = CreateContext();
    EXPECT_EQ(context->DisplayConnectionMode, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Values, ConnectionModeTest,
                         ::testing::Values(ConnectionModeCase{"1", 0}, ConnectionModeCase{"2", 1},
                                           ConnectionModeCase{"3", 2}, ConnectionModeCase{"4", 0},
                                           ConnectionModeCase{"x", 0}));

TEST_F(ContextCreationTest, QuorviSettingsTakePrecedence) {
    WriteSettings("[DATA]\nFramesPerSeconds=30\n");
    WriteSettings("[DATA]\nFramesPerSeconds=50\n", "Quorvi.ini");
    auto context = CreateContext();
    EXPECT_EQ(context->FramesPerSecond, 50);
    EXPECT_EQ(std::filesystem::path(context->SettingsFileName).filename(), "Quorvi.ini");
}

TEST_F(ContextCreationTest, DatabaseWinsOverIsybauFiles) {
    WriteSettings("[DATA]\nProjekt=data\\reaches.txt\nProjektA=conn.txt\n");
    WriteFile(env.programFolder() / "data" / "REACHES.TXT", "x");
    WriteFile(env.programFolder() / "kanvio.DAT", "x");
    auto context = CreateContext();
    ASSERT_EQ(sources.requests.size(), 1u);
    EXPECT_EQ(sources.requests[0], "database:" + (env.programFolder() / "kanvio.DAT").string());
}

TEST_F(ContextCreationTest, IsybauSourceWhenOneProjectFileExists) {
    WriteSettings("[DATA]\nProjekt=missing.txt\nProjektA=data\\conn.txt\n");
    WriteFile(env.programFolder() / "data" / "conn.txt", "x");
    sources.model.Reaches.push_back(MakeStructure('H', "R1", {"00:00:10"}));
    auto context = CreateContext();
    ASSERT_EQ(sources.requests.size(), 1u);
    EXPECT_EQ(sources.requests[0], "isybau:missing.txt|data\\conn.txt");
    ASSERT_EQ(context->Reaches.size(), 1u);
    EXPECT_EQ(context->ObservationCount(), 1u);
    // The choice window's list holds one row per structure.
    ASSERT_TRUE(context->ListModel);
    EXPECT_EQ(context->ListModel->Rows.size(), 1u);
}

TEST_F(ContextCreationTest, DataSourceErrorReachesTheCaller) {
    class FailingSource final : public IDataTreeBuilder {
    public:
        void BuildDataTree(TKanvioDataModel&) override {
            throw EConvertError("reaches.txt, line 3: Invalid data");
        }
    };
    class FailingFactory final : public IDataSourceFactory {
    public:
        TDataTreeBuilderRef CreateDatabaseSource(const std::string&) override {
            return std::make_shared<FailingSource>();
        }
        TDataTreeBuilderRef CreateServerDatabaseSource(const std::string&,
                                                       const std::string&) override {
            return std::make_shared<FailingSource>();
        }
        TDataTreeBuilderRef CreateIsybauSource(const std::string&, const std::string&) override {
            return std::make_shared<FailingSource>();
        }
        bool IsIsybauXml(const std::string&) override { return false; }
        std::string FindIsybauXml(const std::string&) override { return {}; }
        TDataTreeBuilderRef CreateIsybauXmlSource(const std::string&) override {
            return std::make_shared<FailingSource>();
        }
    } failing;
    WriteFile(env.programFolder() / "Kanvio.dat", "x");
    TContextServices services;
    services.Dialogs = &dialogs;
    services.StartupUi = &startupUi;
    services.DataSources = &failing;
    TKanvioContext context(services);
    EXPECT_THROW(context.Create(), EConvertError);
}

// Which source the delivery's files call for: a database server named in the settings,
// the database file, then an XML file named in Projekt, then the fixed-width files, then
// the folder's only XML delivery.
TEST_F(ContextCreationTest, SourcePrecedenceWithXmlDeliveries) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::string settings;
        std::string xmlInFolder;
        std::string request;
    };
    const std::string folder = GetProgramFolder();
    const Case cases[] = {
        {"database server first",
         {"Kanvio.dat", "delivery.xml"},
         "[DATA]\nProjekt=delivery.xml\nDatabase=db.example/3051:net\n",
         "",
         // ... and the settings file naming it, however the context spells its name.
         "server:db.example/3051:net|"},
        {"database first",
         {"Kanvio.dat", "delivery.xml"},
         "[DATA]\nProjekt=delivery.xml\n",
         "",
         "database:" + folder + "Kanvio.dat"},
        {"XML named",
         {"delivery.xml"},
         "[DATA]\nProjekt=delivery.xml\n",
         "",
         "isybau-xml:" + folder + "delivery.xml"},
        {"fixed width named",
         {"H.txt", "other.xml"},
         "[DATA]\nProjekt=H.txt\n",
         folder + "other.xml",
         "isybau:H.txt|"},
        {"only XML of the folder",
         {"other.xml"},
         "[DATA]\nProjekt=missing.txt\n",
         folder + "other.xml",
         "isybau-xml:" + folder + "other.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(env.programFolder());
        std::filesystem::create_directories(env.programFolder());
        for (const std::string& file : c.files)
            WriteFile(env.programFolder() / file, "x");
        WriteSettings(c.settings);
        sources.requests.clear();
        sources.xmlInFolder = c.xmlInFolder;
        auto context = CreateContext();
        ASSERT_EQ(sources.requests.size(), 1u);
        if (c.request.rfind("server:", 0) == 0) {
            EXPECT_EQ(sources.requests[0].rfind(c.request, 0), 0u) << sources.requests[0];
            EXPECT_TRUE(sources.requests[0].ends_with("Kanvio.ini")) << sources.requests[0];
        } else {
            EXPECT_EQ(sources.requests[0], c.request);
        }
    }
}

// The delivery's own films serve when the settings file lists none, and not otherwise.
TEST_F(ContextCreationTest, DeliveryFilmsServeWithoutAFilmList) {
    WriteFile(env.programFolder() / "delivery.xml", "x");
    sources.model.Reaches.push_back(MakeStructure('H', "H1", {"00:00:02"}, "H1"));
    sources.model.Connections.push_back(MakeStructure('A', "A1", {"00:00:07"}, "A1"));
    for (const auto& [number, start, stop, type, id] :
         {std::tuple{1, 0, 5, "H", "H1"}, std::tuple{2, 5, 12, "A", "A1"}}) {
        TPlayListItem film;
        film.Number = number;
        film.FileName = "film" + std::to_string(number) + ".mpg";
        film.StartTime = start;
        film.StopTime = stop;
        film.StartText = start == 0 ? "00:00:00" : "00:00:05";
        film.StopText = "x";
        film.StructureType = type;
        film.StructureID = id;
        sources.model.Films.push_back(film);
    }
    sources.model.ManholeInspections = 2;
    WriteSettings("[DATA]\nProjekt=delivery.xml\n[TIMECORR_2]\n00:00:06=2\n");
    {
        auto context = CreateContext();
        EXPECT_TRUE(context->HasFilmList);
        ASSERT_EQ(context->PlayList.size(), 2u);
        EXPECT_EQ(context->FilmCount, 2);
        EXPECT_EQ(context->TotalFilmLength, 12);
        EXPECT_EQ(context->ManholeInspections, 2u);
        EXPECT_EQ(context->PlayList[0].Structure, context->Reaches[0].get());
        EXPECT_EQ(context->PlayList[1].Structure, context->Connections[0].get());
        EXPECT_TRUE(context->PlayList[0].TimeCorrections.empty());
        EXPECT_EQ(context->PlayList[1].TimeCorrections, std::vector<std::string>{"00:00:06=2"});
        EXPECT_EQ(ExtractFileName(context->FilmName), "film1.mpg");
    }
    WriteSettings("[DATA]\nProjekt=delivery.xml\n[FILME]\nCount=1\n1=only.mpg;00:00:00;"
                  "00:00:30;30;H;H1\n");
    auto context = CreateContext();
    ASSERT_EQ(context->PlayList.size(), 1u);
    EXPECT_EQ(ExtractFileName(context->PlayList[0].FileName), "only.mpg");
}

TEST_F(ContextCreationTest, LabelTableHasElevenRowsWithCaptions) {
    WriteFile(env.programFolder() / "de" / "lang_kanvio_de.ini",
              "[Messages]\r\n_City=Ort\r\n_ConnectionInfo=Anschlussbezeichnung\r\n"
              "_Upstream=gegen\r\n_Downstream=mit\r\n");
    auto context = CreateContext();
    ASSERT_EQ(context->InspectionInfo.size(), 11u);
    EXPECT_EQ(context->InspectionInfo[0].PropertyName, "");
    EXPECT_EQ(context->InspectionInfo[0].Caption, "");
    EXPECT_EQ(context->InspectionInfo[1].PropertyName, "city");
    EXPECT_EQ(context->InspectionInfo[1].Caption, "Ort");
    EXPECT_EQ(context->InspectionInfo[9].PropertyName, "DirectionTxt");
    EXPECT_EQ(context->InspectionInfo[9].Caption, "_FlowDirection");
    EXPECT_EQ(context->InspectionInfo[10].PropertyName, "ConnectionInfo");
    EXPECT_EQ(context->InspectionInfo[10].Caption, "Anschlussbezeichnung");
    TReachData reach;
    EXPECT_EQ(reach.DirectionTxt(), "gegen");
}

class ShutDownTest : public ContextTest {};

TEST_F(ShutDownTest, StoresSettingsOnceAndFreesTheWindows) {
    FakeMainWindow main;
    FakeLayout layout;
    WriteSettings("[DATA]\nLinear=1.25\nFramesPerSeconds=30\n");
    auto context = CreateContext();
    context->SetMainWindow(&main);
    context->SetPlayerWindows(&layout);
    context->FilterStrategy = 2;
    context->RendererMode = 1;
    context->SetDefectClassColor(3, 0x123456);
    context->ShutDown(false);
    context->ShutDown(false);
    EXPECT_EQ(main.calls, std::vector<std::string>{"close"});
    EXPECT_EQ(layout.calls, std::vector<std::string>{"destroy"});
    EXPECT_EQ(ReadRegInteger("", "FilterStrategy", -1), 2);
    EXPECT_EQ(ReadRegInteger("", "RendererMode", -1), 1);
    EXPECT_EQ(ReadRegInteger("", "DefectClassColor_3", -1), 0x123456);
    EXPECT_EQ(ReadRegInteger("", "DefectClassColor_0", -1), 0);
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("DATA", "Linear", ""), "1.250000");
    EXPECT_EQ(written.ReadString("DATA", "FramesPerSeconds", ""), "30");
    EXPECT_EQ(written.ReadString("DATA", "FilmLength", ""), "0");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ShutDownTest, KeepMainWindowLeavesItOpen) {
    FakeMainWindow main;
    auto context = CreateContext();
    context->SetMainWindow(&main);
    context->ShutDown(true);
    EXPECT_TRUE(main.calls.empty());
}

TEST_F(ShutDownTest, FromOpticalDiscOnlyTheStoreIsWritten) {
    WriteSettings("[DATA]\nLinear=1.25\n");
    const std::string before = ReadFile(projectFolder() / "Kanvio.ini");
    auto context = CreateContext();
    context->RunsFromCD = true;
    context->ShutDown(false);
    EXPECT_EQ(ReadFile(projectFolder() / "Kanvio.ini"), before);
    EXPECT_EQ(ReadRegInteger("", "FilterStrategy", -1), 1);
}

TEST_F(ShutDownTest, UnwritableSettingsFileIsReportedAndTheStoreStillWritten) {
    auto context = CreateContext();
    // A folder in the settings file's place cannot be replaced, not even by root.
    WriteFile(projectFolder() / "Kanvio.ini" / "blocker", "file");
    context->ShutDown(true);
    EXPECT_EQ(ReadRegInteger("", "FilterStrategy", -1), 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].second.find("Kanvio.ini"), std::string::npos);
}

} // namespace
} // namespace kanvio::test
