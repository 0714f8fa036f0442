// Each column rule on a real database: one structure (or observation) per case, read back
// through the data source.

#include "datasources/FirebirdColumnRules.h"

#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <cstdint>
#include <gmock/gmock.h>
#include <tuple>

namespace kanvio::test {
namespace {

using generator::TDbDelivery;
using generator::TDbObservation;
using generator::TDbStructure;

TEST_F(FirebirdTest, InspectedLengthAcceptsEitherSeparatorAndReportsTheRest) {
    struct TCase {
        std::string Text;
        double Length;
        bool Message;
    };
    const std::vector<TCase> cases = {
        {"0", 1, false},         {"12,5", 12.5, false}, {"12.5", 12.5, false},
        {" 7,25 ", 7.25, false}, {"-3,5", -3.5, false}, {"1e3", 1000, false},
        {"0,0", 1, false},       {"1.234,5", 1, true},  {"abc", 1, true},
        {"", 1, true},           {"inf", 1, true},      {"12,5m", 1, true},
        {"1,2,3", 1, true},      {"+4", 4, false},      {",5", 0.5, false},
    };
    TDbDelivery delivery;
    for (size_t i = 0; i < cases.size(); ++i) {
        delivery.Reaches.push_back(SampleStructure(static_cast<int64_t>(i + 1)));
        delivery.Reaches.back().Untersuchl = cases[i].Text;
    }
    // A connection's message names the connection.
    delivery.Connections.push_back(SampleStructure(77));
    delivery.Connections.back().Untersuchl = "x";

    const TKanvioDataModel model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Reaches.size(), cases.size());
    std::vector<std::string> expectedMessages;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("Untersuchl \"" + cases[i].Text + "\"");
        const TReachData& reach = *model.Reaches[i];
        EXPECT_EQ(reach.StartDist, 0.0);
        EXPECT_DOUBLE_EQ(reach.EndDist, cases[i].Length);
        EXPECT_DOUBLE_EQ(reach.InspLength, std::abs(cases[i].Length));
        if (cases[i].Message)
            expectedMessages.push_back("Haltung " + reach.ID + ": " + LengthErrorText);
    }
    expectedMessages.push_back(std::string("Anschluss 77: ") + LengthErrorText);
    std::vector<std::string> shown;
    for (const auto& [kind, text] : dialogs.Messages) {
        EXPECT_EQ(kind, TMessageKind::Error);
        shown.push_back(text);
    }
    EXPECT_EQ(shown, expectedMessages);
}

TEST_F(FirebirdTest, FlowDirection) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"IN", true},
        {" in ", true},
        {"In", true},
        {"0", true},
        {DownstreamText, true},
        {"GEGEN", false},
        {"", false},
        {"00", false},
        {" 0", false},
        {"INN", false},
        {std::string(DownstreamText) + " ", false},
        {"in Fliessrichtung", false},
    };
    TDbDelivery delivery;
    for (size_t i = 0; i < cases.size(); ++i) {
        delivery.Reaches.push_back(SampleStructure(static_cast<int64_t>(i + 1)));
        delivery.Reaches.back().Fliessr = cases[i].first;
    }
    const TKanvioDataModel model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Reaches.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(model.Reaches[i]->direction, cases[i].second)
            << "Fliessr \"" << cases[i].first << "\"";
}

// Every observation rule, one observation per case in the order written.
TEST_F(FirebirdTest, ObservationColumns) {
    struct TCase {
        TDbObservation Row;
        std::string Text;
        std::string VideoTime;
        int32_t DefectClass;
        double Distance;
    };
    auto row = [](std::string code, std::string text) {
        TDbObservation o;
        o.KZL = std::move(code);
        o.Text = std::move(text);
        o.StatAnf = "1";
        o.VideoZ = "00:00:01";
        return o;
    };
    std::vector<TCase> cases;
    {
        TDbObservation o = row("BCA", "Riss");
        o.Mass1 = "5";
        o.Einheit1 = "mm";
        o.Streckensch = "A";
        o.Von = "1.0";
        cases.push_back({o, std::string("(BCA) Riss, 5 mm, ") + StretchStartText + " von 1.0",
                         "00:00:01", 0, 1});
    }
    auto marker = [&](std::string mark, std::string expected) {
        TDbObservation o = row("BAB", "Riss");
        o.Streckensch = std::move(mark);
        cases.push_back({o, "(BAB) Riss" + expected, "00:00:01", 0, 1});
    };
    marker("B", std::string(", ") + StretchEndText);
    marker("E", std::string(", ") + StretchEndText);
    marker("G", std::string(", ") + WholeReachText);
    marker("R", std::string(", ") + WholeTubeText);
    marker("AE", std::string(", ") + StretchStartText);
    for (const char* lower : {"a", "b", "e", "g", "r", "X", " A"})
        marker(lower, "");
    {
        TDbObservation o = row("", "ohne K\xfcrzel");
        cases.push_back({o, "ohne K\xfcrzel", "00:00:01", 0, 1});
    }
    {
        TDbObservation o = row("BDB", "Abzweig");
        o.Mass1 = "5"; // no unit: left out
        o.Mass2 = "150";
        o.Einheit2 = "mm";
        o.Bis = "3.0"; // without Von: left out
        cases.push_back({o, "(BDB) Abzweig, 150 mm", "00:00:01", 0, 1});
    }
    {
        TDbObservation o = row("BBA", "Wurzeln");
        o.Einheit1 = "%"; // unit without measure: left out
        o.Von = "2,5";
        o.Bis = "4,0";
        cases.push_back({o, "(BBA) Wurzeln von 2,5 bis 4,0", "00:00:01", 0, 1});
    }
    auto timeAndClass = [&](std::string videoTime, std::string expectedTime, std::string klasse,
                            int32_t expectedClass, std::string distance, double expectedDistance) {
        TDbObservation o = row("BCD", "x");
        o.VideoZ = std::move(videoTime);
        o.Klasse = std::move(klasse);
        o.StatAnf = std::move(distance);
        cases.push_back({o, "(BCD) x", expectedTime, expectedClass, expectedDistance});
    };
    timeAndClass("1:02:03", "01:02:03", "2", 2, "3,25", 3.25);
    timeAndClass("01:02:03", "01:02:03", " 3", 3, "10.5", 10.5);
    timeAndClass("12:34:56", "12:34:56", "4a", 4, "0", 0);
    timeAndClass("1:2:3", "1:2:3", "x", 0, " 7 ", 7);
    timeAndClass("", "", "", 0, "-1,5", -1.5);
    timeAndClass("100:00:00", "100:00:00", "2.5", 2, "1e2", 100);
    timeAndClass("9:59:59", "09:59:59", "-1", -1, "12", 12);
    timeAndClass("00:00:00", "00:00:00", "99999999999", 0, "0,001", 0.001);

    TDbDelivery delivery;
    delivery.Reaches.push_back(SampleStructure(1));
    for (const auto& c : cases)
        delivery.Reaches.back().Observations.push_back(c.Row);
    const TKanvioDataModel model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Reaches.size(), 1u);
    const TAReachDetail& details = model.Reaches[0]->Details;
    ASSERT_EQ(details.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("observation " + std::to_string(i) + " \"" + cases[i].Text + "\"");
        EXPECT_EQ(details[i].Text, cases[i].Text);
        EXPECT_EQ(details[i].Code, cases[i].Row.KZL);
        EXPECT_EQ(details[i].VideoTime, cases[i].VideoTime);
        EXPECT_EQ(details[i].DefectClass, cases[i].DefectClass);
        EXPECT_DOUBLE_EQ(details[i].Distance, cases[i].Distance);
        EXPECT_EQ(details[i].CounterHours, 0);
    }
}

// The system's separator may be either: the result is the same number.
TEST(FirebirdColumnRules, NumbersWithEitherSystemSeparator) {
    const std::vector<std::tuple<std::string, bool, double>> cases = {
        {"12,5", true, 12.5},     {"12.5", true, 12.5}, {"1.234,5", false, 0},
        {"1,234.5", false, 0},    {"", false, 0},       {"  ", false, 0},
        {"-", false, 0},          {"1e", false, 0},     {"0x10", false, 0},
        {"nan", false, 0},        {"1e999", false, 0},  {"5,", true, 5},
        {"-0,5e-1", true, -0.05},
    };
    for (char separator : {'.', ','}) {
        for (const auto& [text, ok, value] : cases) {
            SCOPED_TRACE("\"" + text + "\" with separator " + separator);
            double parsed = -99;
            EXPECT_EQ(ParseNumber(NormaliseDecimalSeparator(text, separator), separator, parsed),
                      ok);
            if (ok)
                EXPECT_DOUBLE_EQ(parsed, value);
            else
                EXPECT_EQ(parsed, -99);
        }
    }
    EXPECT_EQ(NormaliseDecimalSeparator("1.2.3", ','), "1,2.3");
    EXPECT_EQ(NormaliseDecimalSeparator("1.2,3", ';'), "1.2;3");
}

// Only the text std::to_string gives for a number is that number's plain form.
TEST(FirebirdColumnRules, PlainWholeNumbers) {
    const std::vector<std::tuple<std::string, bool, int64_t>> cases = {
        {"0", true, 0},
        {"7", true, 7},
        {"-3", true, -3},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
        {"-9223372036854775809", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"-0", false, 0},
        {"07", false, 0},
        {"-07", false, 0},
        {"00", false, 0},
        {"+7", false, 0},
        {" 7", false, 0},
        {"7 ", false, 0},
        {"7.0", false, 0},
        {"1e3", false, 0},
        {"x7", false, 0},
        {"7x", false, 0},
        {"--7", false, 0},
    };
    for (const auto& [text, plain, value] : cases) {
        SCOPED_TRACE("\"" + text + "\"");
        int64_t parsed = 42;
        EXPECT_EQ(PlainWholeNumber(text, parsed), plain);
        EXPECT_EQ(parsed, plain ? value : 42);
        if (plain) {
            EXPECT_EQ(std::to_string(parsed), text);
        }
    }
}

} // namespace
} // namespace kanvio::test
