// Reading whole reach and connection files: record kinds, continuations, odd files and
// the records that cannot be read.

#include "datasources/IsybauConnectionParser.h"
#include "datasources/IsybauReachParser.h"
#include "tests/datasources/isybau/IsybauTestLines.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::HeaderLines;
using test::RecordLine;

std::string Join(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string text;
    for (const auto& line : lines)
        text += line + end;
    return text;
}

std::string ReachInspection() {
    return RecordLine('1', {{5, "05.11.1998"}, {15, "M\xFCnchen"}, {45, "Kanal GmbH"}});
}
std::string ReachItem(std::string_view number = "R100", std::string_view street = "Hauptstra\xDF"
                                                                                  "e") {
    return RecordLine('2', {{5, number}, {20, street}});
}
std::string ReachData() {
    return RecordLine('3', {{15, "S100"}, {25, "S101"}, {41, " 300"}});
}
std::string ReachObservation(std::string_view station, std::string_view hours,
                             std::string_view minutes, std::string_view seconds,
                             std::string_view code) {
    return RecordLine('4', {{15, station}, {22, hours}, {27, minutes}, {29, seconds}, {50, code}});
}
std::string ReachContinuation(std::string_view text) {
    return RecordLine('4', {{50, "II"}, {57, text}});
}

class IsybauReachFile : public ::testing::Test {
protected:
    TISYBAUHParser ParseText(const std::string& text) {
        TISYBAUHParser parser;
        parser.Parse(test::WriteFile(dir / "reach.txt", text).string());
        return parser;
    }
    test::TempDir dir;
};

TEST_F(IsybauReachFile, OneLinePerKindGivesOneObservation) {
    const auto parser =
        ParseText(HeaderLines() + Join({ReachInspection(), ReachItem(), ReachData(),
                                        ReachObservation(" 12.50", "    1", "02", "03", "BCAAA")}));
    ASSERT_EQ(parser.Inspections.size(), 1u);
    const auto& inspection = parser.Inspections[0];
    EXPECT_EQ(inspection.Date, QDate(1998, 11, 5));
    EXPECT_EQ(inspection.City, "M\xFCnchen");
    EXPECT_EQ(inspection.Company, "Kanal GmbH");
    ASSERT_EQ(inspection.Items.size(), 1u);
    EXPECT_EQ(inspection.Items[0].Number, "R100");
    EXPECT_EQ(inspection.Items[0].Street, "Hauptstra\xDF"
                                          "e");
    ASSERT_EQ(inspection.Items[0].Details.size(), 1u);
    const auto& detail = inspection.Items[0].Details[0];
    EXPECT_EQ(detail.Station, 1250);
    EXPECT_EQ(detail.CounterHours, 1);
    EXPECT_EQ(detail.CounterMinutes, 2);
    EXPECT_EQ(detail.CounterSeconds, 3);
    EXPECT_EQ(detail.Code, "BCAAA");
    EXPECT_EQ(detail.Remark, "");
    EXPECT_EQ(detail.LineNumber, 6);
    EXPECT_EQ(parser.HeaderTexts1[0], "0");
    EXPECT_EQ(parser.HeaderDate, QDate(2005, 2, 1));
    EXPECT_EQ(parser.HeaderTexts2[0], "Kanvio");
}

TEST_F(IsybauReachFile, ContinuationsJoinWithoutSeparator) {
    const auto parser = ParseText(
        HeaderLines() +
        Join({ReachInspection(), ReachItem(), ReachObservation("1.00", "", "", "", "BAB"),
              ReachContinuation("Riss l\xE4ngs, Breite 2 mm"),
              ReachContinuation("  bis Scheitel  "), ReachObservation("2.00", "", "", "", "BCE")}));
    const auto& details = parser.Inspections[0].Items[0].Details;
    ASSERT_EQ(details.size(), 2u);
    EXPECT_EQ(details[0].Remark, "Riss l\xE4ngs, Breite 2 mmbis Scheitel");
    EXPECT_EQ(details[1].Remark, "");
}

TEST_F(IsybauReachFile, ContinuationTextStopsAtColumn80) {
    const auto parser =
        ParseText(HeaderLines() +
                  Join({ReachInspection(), ReachItem(), ReachObservation("1", "", "", "", "X"),
                        ReachContinuation("123456789012345678901234567890")}));
    EXPECT_EQ(parser.Inspections[0].Items[0].Details[0].Remark, "123456789012345678901234");
}

TEST_F(IsybauReachFile, StationsOutside16BitsKeepTheLowBits) {
    struct Case {
        const char* station;
        uint16_t expected;
    };
    const Case cases[] = {{"655.35", 65535}, {"655.36", 0}, {"  0.00", 0}, {"  0,01", 1},
                          {"  -0.5", 65486}, {" 1e300", 0}, {" x.yz ", 0}, {"  12.5", 1250}};
    for (const auto& c : cases) {
        const auto parser =
            ParseText(HeaderLines() + Join({ReachInspection(), ReachItem(),
                                            ReachObservation(c.station, "", "", "", "A")}));
        EXPECT_EQ(parser.Inspections[0].Items[0].Details[0].Station, c.expected) << c.station;
    }
}

TEST_F(IsybauReachFile, LineCutAfterColumn20ReadsLaterFieldsAsEmpty) {
    const std::string cut = ReachObservation(" 12.50", "    1", "02", "03", "BAB").substr(0, 20);
    const auto parser = ParseText(HeaderLines() + Join({ReachInspection(), ReachItem(), cut}));
    const auto& detail = parser.Inspections[0].Items[0].Details[0];
    EXPECT_EQ(detail.Station, 1250);
    EXPECT_EQ(detail.CounterHours, 0);
    EXPECT_EQ(detail.Code, "");
}

TEST_F(IsybauReachFile, InspectionsAndReachesKeepFileOrder) {
    const auto parser = ParseText(
        HeaderLines() + Join({ReachInspection(), ReachItem("A1"), ReachItem("A2"),
                              ReachInspection(), ReachItem("B1"), ReachData(), ReachItem("B2")}));
    ASSERT_EQ(parser.Inspections.size(), 2u);
    EXPECT_EQ(parser.Inspections[0].Items.size(), 2u);
    EXPECT_EQ(parser.Inspections[0].Items[1].Number, "A2");
    EXPECT_EQ(parser.Inspections[1].Items[0].Number, "B1");
    EXPECT_EQ(parser.Inspections[1].Items[1].Number, "B2");
}

TEST_F(IsybauReachFile, OddButReadableFiles) {
    const std::string body =
        Join({ReachInspection(), ReachItem(), ReachObservation("1", "", "", "", "BCD")}, "\n");
    struct Case {
        const char* name;
        std::string text;
        size_t inspections;
    };
    const Case cases[] = {
        {"empty file", "", 0},
        {"header line only", RecordLine('0', {}), 0},
        {"header only", HeaderLines(), 0},
        {"LF line ends", HeaderLines() + body, 1},
        {"no final line end", HeaderLines() + body.substr(0, body.size() - 1), 1},
        {"tabs in fields", HeaderLines() + Join({RecordLine('1', {{15, "\tBonn\t"}})}), 1},
    };
    for (const auto& c : cases) {
        const auto parser = ParseText(c.text);
        EXPECT_EQ(parser.Inspections.size(), c.inspections) << c.name;
    }
}

TEST_F(IsybauReachFile, UnreadableRecordsNameFileAndLine) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int badLine; // counted from the first line of the file
        size_t inspectionsKept;
    };
    const Case cases[] = {
        {"unknown kind", {ReachInspection(), RecordLine('5', {})}, 4, 1},
        {"blank line between records", {ReachInspection(), "", ReachItem()}, 4, 1},
        {"blank line between the header and the records", {"", ReachInspection()}, 3, 0},
        {"second end-of-file mark", {ReachInspection(), "\x1A", "\x1A"}, 4, 1},
        {"text after the end-of-file mark", {ReachInspection(), "\x1A", ReachItem()}, 4, 1},
        {"three characters", {ReachInspection(), "  4"}, 4, 1},
        {"reach before inspection", {ReachItem()}, 3, 0},
        {"data before reach", {ReachInspection(), ReachData()}, 4, 1},
        {"observation before reach",
         {ReachInspection(), ReachObservation("1", "", "", "", "A")},
         4,
         1},
        {"observation of a new inspection without its reach",
         {ReachInspection(), ReachItem(), ReachInspection(),
          ReachObservation("1", "", "", "", "A")},
         6,
         2},
        {"continuation before observation",
         {ReachInspection(), ReachItem(), ReachContinuation("x")},
         5,
         1},
        {"binary bytes", {ReachInspection(), std::string("\x00\xFF\xFE\x80", 4)}, 4, 1},
    };
    for (const auto& c : cases) {
        const auto file = test::WriteFile(dir / "bad.txt", HeaderLines() + Join(c.lines));
        TISYBAUHParser parser;
        try {
            parser.Parse(file.string());
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EInvalidIsybauData& error) {
            EXPECT_EQ(error.LineNumber(), c.badLine) << c.name;
            EXPECT_EQ(std::string(error.what()),
                      file.string() + ", line " + std::to_string(c.badLine) + ": Invalid data")
                << c.name;
        }
        EXPECT_EQ(parser.Inspections.size(), c.inspectionsKept) << c.name;
    }
}

TEST_F(IsybauReachFile, EmptyLinesAndOneEndOfFileMarkEndTheFile) {
    const std::string records =
        HeaderLines() + Join({ReachInspection(), ReachItem(), ReachData(),
                              ReachObservation(" 12.50", "    1", "02", "03", "BCAAA")});
    const char* const endings[] = {
        "\r\n",     "\r\n\r\n\r\n",     "\n\n", "\x1A",   "\r\n\x1A",
        "\x1A\r\n", "\r\n\x1A\r\n\r\n", "\r",   "\r\r\n",
    };
    for (const char* ending : endings) {
        const std::string text = records.substr(0, records.size() - 2) + ending;
        const auto parser = ParseText(text);
        ASSERT_EQ(parser.Inspections.size(), 1u) << testing::PrintToString(ending);
        const auto& details = parser.Inspections[0].Items.at(0).Details;
        ASSERT_EQ(details.size(), 1u) << testing::PrintToString(ending);
        EXPECT_EQ(details[0].Code, "BCAAA");
        EXPECT_TRUE(parser.Warnings().empty()) << testing::PrintToString(ending);
    }
    // A file of its header and a closing mark has no records.
    EXPECT_TRUE(ParseText(HeaderLines() + "\r\n\x1A").Inspections.empty());
}

TEST_F(IsybauReachFile, LastLineCutInsideAFieldIsReadAndReported) {
    const std::string start = HeaderLines() + Join({ReachInspection(), ReachItem()});
    const std::string observation = ReachObservation(" 12.50", "    1", "02", "03", "BCAAA");
    const std::string remark = ReachContinuation("Riss");
    struct Case {
        const char* name;
        std::string tail;
        bool warned;
        const char* code; // of the one observation
    };
    const Case cases[] = {
        {"inside the code", observation.substr(0, 52), true, "BCA"},
        {"inside the hours", observation.substr(0, 24), true, ""},
        {"after the code, in unread columns", observation.substr(0, 60), false, "BCAAA"},
        {"between fields", observation.substr(0, 21), false, ""},
        {"whole line", observation, false, "BCAAA"},
        {"inside the code, with a line end", observation.substr(0, 52) + "\r\n", false, "BCA"},
        {"inside the code, with an end-of-file mark", observation.substr(0, 52) + "\x1A", false,
         "BCA"},
        {"continuation inside its text", Join({observation}) + remark.substr(0, 60), true, "BCAAA"},
        {"continuation with its text", Join({observation}) + remark, false, "BCAAA"},
    };
    for (const auto& c : cases) {
        const auto parser = ParseText(start + c.tail);
        const auto& details = parser.Inspections.at(0).Items.at(0).Details;
        ASSERT_EQ(details.size(), 1u) << c.name;
        EXPECT_EQ(details[0].Code, c.code) << c.name;
        if (c.warned) {
            ASSERT_EQ(parser.Warnings().size(), 1u) << c.name;
            const int line = std::string_view(c.name).starts_with("continuation") ? 6 : 5;
            EXPECT_EQ(parser.Warnings()[0].rfind((dir / "reach.txt").string() + ", line " +
                                                     std::to_string(line) + ": ",
                                                 0),
                      0u)
                << parser.Warnings()[0];
        } else {
            EXPECT_TRUE(parser.Warnings().empty()) << c.name;
        }
    }
}

TEST_F(IsybauReachFile, BytesReadLikeTheFile) {
    const std::string text =
        HeaderLines() + Join({ReachInspection(), ReachItem(),
                              ReachObservation(" 12.50", "    1", "02", "03", "BCAAA")});
    TISYBAUHParser fromBytes;
    fromBytes.Parse(text, "named.txt");
    const auto fromFile = ParseText(text);
    ASSERT_EQ(fromBytes.Inspections.size(), 1u);
    EXPECT_EQ(fromBytes.Inspections[0].Items.at(0).Details.at(0).Code,
              fromFile.Inspections[0].Items.at(0).Details.at(0).Code);
    TISYBAUHParser bad;
    try {
        bad.Parse(text + "xyz\r\n", "named.txt");
        FAIL() << "no error";
    } catch (const EInvalidIsybauData& error) {
        EXPECT_STREQ(error.what(), "named.txt, line 6: Invalid data");
    }
}

TEST_F(IsybauReachFile, MissingFileIsAnInputOutputError) {
    TISYBAUHParser parser;
    EXPECT_THROW(parser.Parse((dir / "missing.txt").string()), EInOutError);
    EXPECT_THROW(parser.Parse(dir.path().string()), EInOutError);
}

// The connection file has its own columns.
TEST(IsybauConnectionFile, ColumnsAndContinuationMark) {
    test::TempDir dir;
    const std::string observation = RecordLine(
        '4', {{19, "  3.75"}, {25, "   10"}, {30, "05"}, {32, "09"}, {50, "II"}, {53, "BCAAA"}});
    const std::string continuation = RecordLine('4', {{53, "II"}, {57, "Anschluss DN 150"}});
    const std::string text =
        HeaderLines() +
        Join({RecordLine('1', {{5, "01.03.2004"}, {15, "K\xF6ln"}, {45, "Rohr AG"}}),
              RecordLine('2', {{5, "A-4711-0001.01"}, {23, "Gr\xFCner Weg"}}),
              RecordLine('3', {{19, "S1"}}), observation, continuation});
    TISYBAULHParser parser;
    parser.Parse(test::WriteFile(dir / "a.txt", text).string());
    ASSERT_EQ(parser.Inspections.size(), 1u);
    const auto& connection = parser.Inspections[0].Items.at(0);
    EXPECT_EQ(connection.Number, "A-4711-0001.01");
    EXPECT_EQ(connection.Street, "Gr\xFCner Weg");
    ASSERT_EQ(connection.Details.size(), 1u) << "II in columns 50-51 is an ordinary observation";
    EXPECT_EQ(connection.Details[0].Station, 375);
    EXPECT_EQ(connection.Details[0].CounterHours, 10);
    EXPECT_EQ(connection.Details[0].CounterMinutes, 5);
    EXPECT_EQ(connection.Details[0].CounterSeconds, 9);
    EXPECT_EQ(connection.Details[0].Code, "BCAAA");
    EXPECT_EQ(connection.Details[0].Remark, "Anschluss DN 150");
}

TEST(IsybauConnectionFile, RecordsWithoutParentAreInvalid) {
    test::TempDir dir;
    const std::vector<std::string> cases[] = {
        {RecordLine('2', {{5, "A1"}})},
        {RecordLine('1', {}), RecordLine('3', {})},
        {RecordLine('1', {}), RecordLine('2', {}), RecordLine('4', {{53, "II"}, {57, "x"}})},
        {RecordLine('1', {}), RecordLine('2', {}), RecordLine('1', {}), RecordLine('4', {})},
    };
    for (const auto& lines : cases) {
        TISYBAULHParser parser;
        const auto file = test::WriteFile(dir / "a.txt", HeaderLines() + Join(lines));
        EXPECT_THROW(parser.Parse(file.string()), EInvalidIsybauData) << lines.back();
    }
}

} // namespace
} // namespace kanvio
