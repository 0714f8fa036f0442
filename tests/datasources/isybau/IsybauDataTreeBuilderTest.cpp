// The ISYBAU data source: which files it reads, what each structure and observation
// becomes, and what stays in the model when a file cannot be read.

#include "datasources/IsybauDataTreeBuilder.h"

#include "datasources/IsybauRecordParser.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "tests/datasources/isybau/IsybauTestLines.h"
#include "tests/support/IsolatedEnvironment.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::HeaderLines;
using test::RecordLine;

std::string Lines(const std::vector<std::string>& lines) {
    std::string text = HeaderLines();
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

std::string Inspection(std::string_view date, std::string_view city) {
    return RecordLine('1', {{5, date},
                            {15, city},
                            {45, "Pr\xFC"
                                 "fdienst S\xFC"
                                 "d KG"}});
}
std::string Reach(std::string_view number) {
    return RecordLine('2', {{5, number},
                            {20, "Schlo\xDF"
                                 "allee"}});
}
std::string ReachObservation(std::string_view station, std::string_view hours,
                             std::string_view minutes, std::string_view seconds,
                             std::string_view code) {
    return RecordLine('4', {{15, station}, {22, hours}, {27, minutes}, {29, seconds}, {50, code}});
}
std::string Connection(std::string_view number) {
    return RecordLine('2', {{5, number}, {23, "Am M\xFChlbach"}});
}
std::string ConnectionObservation(std::string_view station, std::string_view code) {
    return RecordLine('4', {{19, station}, {25, "    0"}, {30, "45"}, {32, " 7"}, {53, code}});
}

class IsybauDataTreeBuilderTest : public test::IsolatedTest {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void Write(const std::string& name, const std::string& text) {
        test::WriteFile(env.programFolder() / name, text);
    }
    TKanvioDataModel Build(const std::string& reachFile, const std::string& connectionFile) {
        TKanvioDataModel model;
        TISYBAUDataTreeBuilder(reachFile, connectionFile).BuildDataTree(model);
        return model;
    }
};

TEST_F(IsybauDataTreeBuilderTest, ReachFieldsAndObservationTexts) {
    Write("h.txt",
          Lines({Inspection("05.11.98", "L\xFC"
                                        "beck"),
                 Reach("H0412-017"), ReachObservation(" 12.50", "    1", "02", "03", "BABBA"),
                 RecordLine('4', {{50, "II"}, {57, "Riss l\xE4ngs"}}),
                 ReachObservation("  0.00", "", "45", " 7", "")}));
    const auto model = Build("h.txt", "");
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_TRUE(model.Connections.empty());
    const TReachData& reach = *model.Reaches[0];
    EXPECT_EQ(reach.ObjectType, 'H');
    EXPECT_EQ(reach.ReachNumber, "H0412-017");
    EXPECT_EQ(reach.ConnectionNumber, "");
    EXPECT_EQ(reach.city, "L\xFC"
                          "beck");
    EXPECT_EQ(reach.street, "Schlo\xDF"
                            "allee");
    EXPECT_EQ(reach.InspectingCompany, "Pr\xFC"
                                       "fdienst S\xFC"
                                       "d KG");
    EXPECT_EQ(reach.date,
              QLocale().toString(QDate(1998, 11, 5), QLocale::ShortFormat).toStdString());
    EXPECT_DOUBLE_EQ(reach.StartDist, 0.0);
    EXPECT_DOUBLE_EQ(reach.EndDist, 2000.0);
    for (const std::string* empty : {&reach.ID, &reach.StartManholeNumber, &reach.EndManholeNumber,
                                     &reach.video, &reach.InspMode, &reach.CodeDigit, &reach.ZIP})
        EXPECT_EQ(*empty, "");
    EXPECT_FALSE(reach.direction);
    EXPECT_DOUBLE_EQ(reach.InspLength, 0.0);

    ASSERT_EQ(reach.Details.size(), 2u);
    const TReachDetail& crack = reach.Details[0];
    EXPECT_DOUBLE_EQ(crack.Distance, 1250.0);
    EXPECT_EQ(crack.Text, "(BABBA) Riss l\xE4ngs");
    EXPECT_EQ(crack.VideoTime, "01:02:03");
    EXPECT_EQ(crack.Code, "");
    EXPECT_EQ(crack.DefectClass, 0);
    EXPECT_EQ(crack.CounterHours, 1);
    EXPECT_EQ(crack.CounterMinutes, 2);
    EXPECT_EQ(crack.CounterSeconds, 3);
    EXPECT_EQ(reach.Details[1].Text, "() ") << "no code and no continuation";
    EXPECT_EQ(reach.Details[1].VideoTime, "00:45:07");
}

TEST_F(IsybauDataTreeBuilderTest, OnlyTheConnectionFilePresent) {
    Write("a.txt", Lines({Inspection("01.03.2004", "K\xF6ln"), Connection("A0412-017.01"),
                          ConnectionObservation("  3.75", "BCAAA"), Connection("A0412-017.02")}));
    const auto model = Build("missing.txt", "a.txt");
    EXPECT_TRUE(model.Reaches.empty());
    ASSERT_EQ(model.Connections.size(), 2u);
    for (const auto& connection : model.Connections) {
        EXPECT_EQ(connection->ObjectType, 'A');
        EXPECT_EQ(connection->ReachNumber, "");
    }
    EXPECT_EQ(model.Connections[0]->ConnectionNumber, "A0412-017.01");
    EXPECT_EQ(model.Connections[0]->street, "Am M\xFChlbach");
    ASSERT_EQ(model.Connections[0]->Details.size(), 1u);
    EXPECT_DOUBLE_EQ(model.Connections[0]->Details[0].Distance, 375.0);
    EXPECT_EQ(model.Connections[0]->Details[0].VideoTime, "00:45:07");
    EXPECT_EQ(model.Connections[0]->Details[0].Text, "(BCAAA) ");
    EXPECT_TRUE(model.Connections[1]->Details.empty());
}

TEST_F(IsybauDataTreeBuilderTest, NoFilesGiveAnEmptyModel) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"missing.txt", "also-missing.txt"}, {".", ".."}, {"sub", ""}};
    std::filesystem::create_directories(env.programFolder() / "sub");
    for (const auto& [reaches, connections] : cases) {
        const auto model = Build(reaches, connections);
        EXPECT_TRUE(model.Reaches.empty()) << reaches;
        EXPECT_TRUE(model.Connections.empty()) << connections;
    }
}

TEST_F(IsybauDataTreeBuilderTest, FileNamesWithBackslashesAndOtherCase) {
    std::filesystem::create_directories(env.programFolder() / "daten");
    Write("daten/haltungen.txt", Lines({Inspection("01.01.2001", "Bonn"), Reach("H1")}));
    const auto model = Build("DATEN\\HALTUNGEN.TXT", "");
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->ReachNumber, "H1");
}

TEST_F(IsybauDataTreeBuilderTest, StructuresInFileOrderOverInspections) {
    Write("h.txt", Lines({Inspection("01.01.2001", "A"), Reach("I1R1"), Reach("I1R2"),
                          Inspection("02.01.2001", "B"), Reach("I2R1"), Reach("I2R2")}));
    const auto model = Build("h.txt", "");
    std::vector<std::string> numbers;
    for (const auto& reach : model.Reaches)
        numbers.push_back(reach->ReachNumber);
    EXPECT_EQ(numbers, (std::vector<std::string>{"I1R1", "I1R2", "I2R1", "I2R2"}));
    EXPECT_EQ(model.Reaches[2]->city, "B");
}

TEST_F(IsybauDataTreeBuilderTest, InvalidDataEndsTheBuildKeepingWhatCameBefore) {
    Write("h.txt",
          Lines({Inspection("01.01.2001", "A"), Reach("R1"), Reach("R2"), RecordLine('9', {})}));
    Write("a.txt", Lines({Inspection("01.01.2001", "A"), Connection("C1")}));
    TKanvioDataModel model;
    TISYBAUDataTreeBuilder builder("h.txt", "a.txt");
    try {
        builder.BuildDataTree(model);
        FAIL() << "no error";
    } catch (const EInvalidIsybauData& error) {
        EXPECT_EQ(error.LineNumber(), 6);
        EXPECT_NE(std::string(error.what()).find("h.txt, line 6: Invalid data"), std::string::npos);
    }
    EXPECT_EQ(model.Reaches.size(), 2u);
    EXPECT_TRUE(model.Connections.empty()) << "the connection file is not read after the error";
}

TEST_F(IsybauDataTreeBuilderTest, LongCountersKeepTheirTime) {
    TConsoleDialogs dialogs;
    const auto logFile = env.state() / "test.log";
    AppLog = std::make_unique<TLog>(logFile.string(), LOG_DEBUG, dialogs);
    Write("h.txt", Lines({Inspection("01.01.2001", "A"), Reach("R1"),
                          ReachObservation("1.00", "  100", "05", "07", "BCD"),
                          ReachObservation("2.00", "   -1", "00", "00", "BCE"),
                          ReachObservation("3.00", "    5", "-1", "00", "BAB")}));
    const auto model = Build("h.txt", "");
    AppLog.reset();
    const auto& details = model.Reaches.at(0)->Details;
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[0].VideoTime, "100:05:07");
    EXPECT_EQ(details[0].CounterHours, 100);
    EXPECT_EQ(details[1].VideoTime, "65535:00:00");
    EXPECT_EQ(details[1].CounterHours, 65535);
    EXPECT_EQ(details[2].VideoTime, "09:15:00") << "5 h + 255 min";
    ASSERT_EQ(model.Warnings.size(), 1u);
    EXPECT_NE(model.Warnings[0].find("h.txt, line 7: the video counter 05:255:00"),
              std::string::npos)
        << model.Warnings[0];
    const std::string log = test::ReadFile(logFile);
    EXPECT_NE(log.find(" [WARNING] " + model.Warnings[0]), std::string::npos) << log;
    EXPECT_EQ(log.find("100:05:07"), std::string::npos) << log;
}

TEST_F(IsybauDataTreeBuilderTest, FileEndsAreFormattingAndCutLinesAreReported) {
    TConsoleDialogs dialogs;
    const auto logFile = env.state() / "test.log";
    AppLog = std::make_unique<TLog>(logFile.string(), LOG_WARNING, dialogs);
    Write("h.txt", Lines({Inspection("01.01.2001", "A"), Reach("R1")}) + "\r\n\r\n\x1A");
    const std::string cut = ConnectionObservation("1.00", "BCAAA").substr(0, 55);
    Write("a.txt", Lines({Inspection("01.01.2001", "A"), Connection("C1")}) + cut);
    const auto model = Build("h.txt", "a.txt");
    AppLog.reset();
    ASSERT_EQ(model.Reaches.size(), 1u);
    ASSERT_EQ(model.Connections.size(), 1u);
    ASSERT_EQ(model.Connections[0]->Details.size(), 1u);
    EXPECT_EQ(model.Connections[0]->Details[0].Text, "(BCA) ");
    ASSERT_EQ(model.Warnings.size(), 1u);
    const std::string expected = (env.programFolder() / "a.txt").string() + ", line 5: ";
    EXPECT_EQ(model.Warnings[0].rfind(expected, 0), 0u) << model.Warnings[0];
    const std::string log = test::ReadFile(logFile);
    EXPECT_NE(log.find(" [WARNING] " + model.Warnings[0]), std::string::npos) << log;
}

TEST_F(IsybauDataTreeBuilderTest, BytesBuildWhatTheFileBuilds) {
    const std::string text = Lines({Inspection("01.01.2001", "A"), Reach("R1"),
                                    ReachObservation("1.00", "  100", "05", "07", "BCD")});
    Write("h.txt", text);
    const auto fromFile = Build("h.txt", "");
    TKanvioDataModel fromBytes;
    isybau::AppendStructures('H', text, "h.txt", fromBytes);
    ASSERT_EQ(fromBytes.Reaches.size(), 1u);
    EXPECT_TRUE(fromBytes.Connections.empty());
    EXPECT_EQ(fromBytes.Reaches[0]->ReachNumber, fromFile.Reaches.at(0)->ReachNumber);
    EXPECT_EQ(fromBytes.Reaches[0]->Details.at(0).VideoTime, "100:05:07");
    TKanvioDataModel connections;
    isybau::AppendStructures('A', Lines({Inspection("01.01.2001", "A"), Connection("C1")}), "a.txt",
                             connections);
    ASSERT_EQ(connections.Connections.size(), 1u);
    EXPECT_EQ(connections.Connections[0]->ObjectType, 'A');
}

} // namespace
} // namespace kanvio
