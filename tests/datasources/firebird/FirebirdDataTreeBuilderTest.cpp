// Whole deliveries read back: every field, the optional columns, the tables a delivery may
// leave out, typed columns and the order of rows.

#include "datasources/FirebirdDataTreeBuilder.h"

#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <gmock/gmock.h>

namespace kanvio::test {
namespace {

using generator::TDbDelivery;
using generator::TDbStructure;
using generator::TDeliveryLayout;

TDbDelivery SmallDelivery() {
    TDbDelivery delivery;
    for (int64_t id : {3, 1, 2}) {
        TDbStructure reach = SampleStructure(id);
        for (const char* code : {"BCAAA", "BAB", "BCD"})
            reach.Observations.push_back(SampleObservation(code + std::to_string(id)));
        delivery.Reaches.push_back(reach);
    }
    TDbStructure connection = SampleStructure(10);
    connection.Observations.push_back(SampleObservation("BCA"));
    delivery.Connections.push_back(connection);
    return delivery;
}

TEST_F(FirebirdTest, EveryFieldOfReachesAndConnections) {
    const TKanvioDataModel model = WriteAndBuild(SmallDelivery());
    ASSERT_EQ(model.Reaches.size(), 3u);
    ASSERT_EQ(model.Connections.size(), 1u);
    // In the order the table returns them, observations in the order written.
    EXPECT_EQ(model.Reaches[0]->ID, "3");
    EXPECT_EQ(model.Reaches[1]->ID, "1");
    EXPECT_EQ(model.Reaches[1]->Details[2].Code, "BCD1");

    const TReachData& reach = *model.Reaches[1];
    EXPECT_EQ(reach.city, "K\xf6ln");
    EXPECT_EQ(reach.date, "01.03.2024");
    EXPECT_EQ(reach.street, "Stra\xdf"
                            "e 1");
    EXPECT_EQ(reach.ReachNumber, "H1");
    EXPECT_EQ(reach.ConnectionNumber, "");
    EXPECT_EQ(reach.StartManholeNumber, "S1");
    EXPECT_EQ(reach.EndManholeNumber, "S2");
    EXPECT_EQ(reach.video, "Band 1");
    EXPECT_EQ(reach.CodeDigit, "K1");
    EXPECT_EQ(reach.InspMode, "TV");
    EXPECT_EQ(reach.InspectingCompany, "");
    EXPECT_EQ(reach.ZIP, "");
    EXPECT_EQ(reach.ObjectType, 'H');
    EXPECT_TRUE(reach.direction);
    EXPECT_DOUBLE_EQ(reach.EndDist, 42.5);
    ASSERT_EQ(reach.Details.size(), 3u);
    const TReachDetail& detail = reach.Details[0];
    EXPECT_EQ(detail.Code, "BCAAA1");
    EXPECT_EQ(detail.Text, "(BCAAA1) Riss, 5 mm");
    EXPECT_EQ(detail.VideoTime, "00:01:02");
    EXPECT_EQ(detail.DefectClass, 2);
    EXPECT_DOUBLE_EQ(detail.Distance, 3.25);

    const TReachData& connection = *model.Connections[0];
    EXPECT_EQ(connection.ObjectType, 'A');
    EXPECT_EQ(connection.ConnectionNumber, "A10");
    EXPECT_EQ(connection.ReachNumber, "H10");
    ASSERT_EQ(connection.Details.size(), 1u);
    EXPECT_EQ(connection.Details[0].Code, "BCA");
    EXPECT_EQ(connection.Details[0].Text, "(BCA) Riss, 5 mm");
    EXPECT_TRUE(dialogs.Messages.empty());

    const std::string log = LogText();
    EXPECT_THAT(log, testing::HasSubstr(" [DEBUG] db file: " + DatabaseFile() + "\r\n"));
}

TEST_F(FirebirdTest, OptionalColumnsMissing) {
    TDeliveryLayout layout;
    layout.ManholeColumns = false;
    layout.ConnectionNumberColumn = false;
    layout.VideoColumn = false;
    layout.CodeDigitColumn = false;
    layout.InspModeColumn = false;
    layout.DefectClassColumn = false;
    layout.ExtraTablesAndColumns = false;
    const TKanvioDataModel model = WriteAndBuild(SmallDelivery(), layout);
    ASSERT_EQ(model.Reaches.size(), 3u);
    for (const auto& structure : {model.Reaches[0], model.Connections[0]}) {
        EXPECT_EQ(structure->StartManholeNumber, "");
        EXPECT_EQ(structure->EndManholeNumber, "");
        EXPECT_EQ(structure->video, "");
        EXPECT_EQ(structure->CodeDigit, "");
        EXPECT_EQ(structure->InspMode, "");
        EXPECT_EQ(structure->Details[0].DefectClass, 0);
        EXPECT_EQ(structure->ConnectionNumber, "");
    }
}

TEST_F(FirebirdTest, ConnectionNumberFallsBackToTheManholeOfTheDirection) {
    TDbDelivery delivery;
    struct TCase {
        std::string Number, Direction, Expected;
    };
    const std::vector<TCase> cases = {
        {"A7", "GEGEN", "A7"}, {"", "GEGEN", "S3"}, {"", "IN", "S5"}, {"", "0", "S6"}};
    for (size_t i = 0; i < cases.size(); ++i) {
        TDbStructure connection = SampleStructure(static_cast<int64_t>(i + 2));
        connection.AnschlNr = cases[i].Number;
        connection.Fliessr = cases[i].Direction;
        delivery.Connections.push_back(connection);
    }
    TKanvioDataModel model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Connections.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(model.Connections[i]->ConnectionNumber, cases[i].Expected) << i;

    // Without the column every connection takes its manhole.
    TDeliveryLayout layout;
    layout.ConnectionNumberColumn = false;
    model = WriteAndBuild(delivery, layout);
    EXPECT_EQ(model.Connections[0]->ConnectionNumber, "S2");
}

TEST_F(FirebirdTest, DeliveriesWithOneKindOfStructure) {
    TDeliveryLayout reachesOnly;
    reachesOnly.ConnectionTables = false;
    TKanvioDataModel model = WriteAndBuild(SmallDelivery(), reachesOnly);
    EXPECT_EQ(model.Reaches.size(), 3u);
    EXPECT_TRUE(model.Connections.empty());

    TDeliveryLayout connectionsOnly;
    connectionsOnly.ReachTables = false;
    model = WriteAndBuild(SmallDelivery(), connectionsOnly);
    EXPECT_TRUE(model.Reaches.empty());
    ASSERT_EQ(model.Connections.size(), 1u);
    EXPECT_EQ(model.Connections[0]->Details.size(), 1u);

    model = WriteAndBuild(TDbDelivery{});
    EXPECT_TRUE(model.Reaches.empty());
    EXPECT_TRUE(model.Connections.empty());
}

// A structure table without its observation table is fine as long as nothing asks for
// observations; the reach table alone does not need the connection tables' observations.
TEST_F(FirebirdTest, ObservationTableIsOnlyNeededWhenThereAreStructures) {
    generator::TDbTable reaches;
    reaches.Name = "Haltung";
    for (const char* column :
         {"LFDNR", "Stadt", "Datum", "Strasse", "HaltungsNr", "Untersuchl", "Fliessr"})
        reaches.Columns.push_back({column, "VARCHAR(20)"});
    generator::TDbTable connections = reaches;
    connections.Name = "Anschl";
    generator::WriteFirebirdDatabase(DatabaseFile(), {reaches, connections});
    const TKanvioDataModel model = Build(DatabaseFile());
    EXPECT_TRUE(model.Reaches.empty());
    EXPECT_TRUE(model.Connections.empty());
}

// Numbers, dates and times in typed columns read as the texts a delivery would write.
TEST_F(FirebirdTest, TypedColumns) {
    TDbDelivery delivery;
    TDbStructure reach = SampleStructure(1);
    reach.Untersuchl = "12.5";
    reach.Datum = "2024-03-01";
    auto observation = SampleObservation("BCA");
    observation.StatAnf = "3.25";
    observation.VideoZ = "1:02:03";
    observation.Mass1 = "2.50";
    observation.Mass2 = "";
    observation.Einheit2 = "mm";
    observation.Klasse = "4";
    reach.Observations.push_back(observation);
    delivery.Reaches.push_back(reach);
    reach.Untersuchl = "0";
    delivery.Reaches.push_back(reach);
    delivery.Reaches.back().LFDNR = 2;

    TDeliveryLayout layout;
    layout.TypedColumns = true;
    const TKanvioDataModel model = WriteAndBuild(delivery, layout);
    ASSERT_EQ(model.Reaches.size(), 2u);
    EXPECT_DOUBLE_EQ(model.Reaches[0]->EndDist, 12.5);
    EXPECT_DOUBLE_EQ(model.Reaches[1]->EndDist, 1);
    EXPECT_EQ(model.Reaches[0]->date, "01.03.2024");
    const TReachDetail& detail = model.Reaches[0]->Details.at(0);
    EXPECT_DOUBLE_EQ(detail.Distance, 3.25);
    EXPECT_EQ(detail.VideoTime, "01:02:03");
    EXPECT_EQ(detail.Text, "(BCA) Riss, 2.5 mm");
    EXPECT_EQ(detail.DefectClass, 4);
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Texts are the delivery's Windows-1252 bytes, unchanged.
TEST_F(FirebirdTest, TextsKeepTheirBytes) {
    std::string allHighBytes;
    for (int c = 0xA0; c <= 0xFF; ++c)
        allHighBytes += static_cast<char>(c);
    TDbDelivery delivery;
    TDbStructure reach = SampleStructure(1);
    reach.Strasse = allHighBytes.substr(0, 60);
    reach.Stadt = "\x80\x8a\x9f";
    auto observation = SampleObservation("BC\xc4");
    observation.Text = allHighBytes.substr(60);
    reach.Observations.push_back(observation);
    delivery.Reaches.push_back(reach);
    const TKanvioDataModel model = WriteAndBuild(delivery);
    EXPECT_EQ(model.Reaches.at(0)->street, allHighBytes.substr(0, 60));
    EXPECT_EQ(model.Reaches[0]->city, "\x80\x8a\x9f");
    EXPECT_EQ(model.Reaches[0]->Details.at(0).Text,
              "(BC\xc4) " + allHighBytes.substr(60) + ", 5 mm");
}

TEST_F(FirebirdTest, ManyStructuresShareOnePreparedObservationQuery) {
    TDbDelivery delivery;
    for (int64_t id = 1; id <= 300; ++id) {
        TDbStructure reach = SampleStructure(id);
        for (int64_t n = 0; n < id % 4; ++n)
            reach.Observations.push_back(SampleObservation("B" + std::to_string(id * 10 + n)));
        delivery.Reaches.push_back(reach);
    }
    const TKanvioDataModel model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Reaches.size(), 300u);
    for (int64_t id = 1; id <= 300; ++id) {
        const TReachData& reach = *model.Reaches[static_cast<size_t>(id - 1)];
        ASSERT_EQ(reach.Details.size(), static_cast<size_t>(id % 4)) << id;
        for (size_t n = 0; n < reach.Details.size(); ++n)
            EXPECT_EQ(reach.Details[n].Code,
                      "B" + std::to_string(id * 10 + static_cast<int64_t>(n)));
    }
}

} // namespace
} // namespace kanvio::test
