// What reaches the caller when the database cannot be read, and that nothing is left open
// or behind.

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdDataTreeBuilder.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <gmock/gmock.h>

namespace kanvio::test {
namespace {

using generator::TDbDelivery;
using testing::HasSubstr;

TEST_F(FirebirdTest, MissingFileLeavesTheModelEmpty) {
    const TKanvioDataModel model = Build(DatabaseFile());
    EXPECT_TRUE(model.Reaches.empty());
    EXPECT_TRUE(model.Connections.empty());
    EXPECT_TRUE(dialogs.Messages.empty());
    const std::string log = LogText();
    EXPECT_THAT(log, HasSubstr(" [DEBUG] db file: " + DatabaseFile() + "\r\n"));
    EXPECT_THAT(log, HasSubstr(" [FATAL] No database file\r\n"));
}

TEST_F(FirebirdTest, FilesThatAreNoDatabaseNameTheFile) {
    std::string random(20000, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty", ""},
        {"text", "[DATA]\r\nproject=x\r\n"},
        {"random", random},
        {"database header cut off", std::string(1024, '\x01')},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        WriteFile(DatabaseFile(), bytes);
        try {
            Build(DatabaseFile());
            ADD_FAILURE() << "no error";
        } catch (const EFirebirdError& error) {
            EXPECT_EQ(error.fileName(), DatabaseFile());
            EXPECT_THAT(error.what(), HasSubstr(DatabaseFile() + ": "));
        }
        ExpectNoCopyLeft();
    }
}

TEST_F(FirebirdTest, MissingColumnsAndTablesAreErrors) {
    struct TCase {
        std::string Table, DroppedColumn, ExpectedInMessage;
    };
    const std::vector<TCase> cases = {
        {"Haltung", "Stadt", "column Stadt"},
        {"Haltung", "Untersuchl", "column Untersuchl"},
        {"Haltung", "EndSchacht", "column EndSchacht"},
        {"HaltungE", "KZL", "column KZL"},
        {"HaltungE", "Streckensch", "column Streckensch"},
        {"HaltungE", "StatAnf", "column StatAnf"},
        {"AnschlE", "Bis", "column Bis"},
        {"HaltungE", "", "HALTUNGE"},
        {"AnschlE", "", "ANSCHLE"},
    };
    TDbDelivery delivery;
    delivery.Reaches.push_back(SampleStructure(1));
    delivery.Reaches[0].Observations.push_back(SampleObservation("BCA"));
    delivery.Connections.push_back(SampleStructure(2));
    delivery.Connections[0].Observations.push_back(SampleObservation("BCA"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Table + "." + c.DroppedColumn);
        auto tables = generator::DeliveryTables(delivery);
        for (auto table = tables.begin(); table != tables.end(); ++table) {
            if (table->Name != c.Table)
                continue;
            if (c.DroppedColumn.empty()) {
                tables.erase(table);
                break;
            }
            for (size_t i = 0; i < table->Columns.size(); ++i)
                if (table->Columns[i].Name == c.DroppedColumn) {
                    table->Columns.erase(table->Columns.begin() + static_cast<long>(i));
                    for (auto& row : table->Rows)
                        row.erase(row.begin() + static_cast<long>(i));
                    break;
                }
        }
        generator::WriteFirebirdDatabase(DatabaseFile(), tables);
        TKanvioDataModel model;
        try {
            TFirebirdDataTreeBuilder(DatabaseFile(), dialogs).BuildDataTree(model);
            ADD_FAILURE() << "no error";
        } catch (const EFirebirdError& error) {
            EXPECT_THAT(error.what(), HasSubstr(DatabaseFile() + ": "));
            EXPECT_THAT(error.what(), HasSubstr(c.ExpectedInMessage));
        }
        // What was read before the error stays.
        if (c.Table == "AnschlE") {
            EXPECT_EQ(model.Reaches.size(), 1u);
            EXPECT_EQ(model.Connections.size(), 1u);
        }
        ExpectNoCopyLeft();
    }
}

TEST_F(FirebirdTest, UnreadableDistanceEndsReachesButNotConnections) {
    TDbDelivery delivery;
    for (int64_t id : {1, 2, 3}) {
        delivery.Reaches.push_back(SampleStructure(id));
        delivery.Reaches.back().Observations.push_back(SampleObservation("BCA"));
    }
    delivery.Reaches[1].Observations.push_back(SampleObservation("BCB"));
    delivery.Reaches[1].Observations.back().StatAnf = "drei";
    delivery.Connections.push_back(SampleStructure(9));
    delivery.Connections[0].Observations.push_back(SampleObservation("BCA"));
    delivery.Connections[0].Observations[0].StatAnf = "drei";
    generator::WriteDeliveryDatabase(DatabaseFile(), delivery);

    TKanvioDataModel model;
    try {
        TFirebirdDataTreeBuilder(DatabaseFile(), dialogs).BuildDataTree(model);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_THAT(error.what(), HasSubstr(DatabaseFile()));
        EXPECT_THAT(error.what(), HasSubstr("Haltung 2"));
        EXPECT_THAT(error.what(), HasSubstr("\"drei\""));
    }
    ASSERT_EQ(model.Reaches.size(), 2u);
    EXPECT_EQ(model.Reaches[1]->Details.size(), 1u);
    EXPECT_TRUE(model.Connections.empty());
    ExpectNoCopyLeft();

    // Connections take 0 for it and go on.
    delivery.Reaches.clear();
    model = WriteAndBuild(delivery);
    ASSERT_EQ(model.Connections.size(), 1u);
    ASSERT_EQ(model.Connections[0]->Details.size(), 1u);
    EXPECT_EQ(model.Connections[0]->Details[0].Distance, 0.0);
}

TEST_F(FirebirdTest, StructureNumberThatIsNoWholeNumber) {
    generator::TDbTable reaches;
    reaches.Name = "Haltung";
    for (const char* column :
         {"LFDNR", "Stadt", "Datum", "Strasse", "HaltungsNr", "Untersuchl", "Fliessr"})
        reaches.Columns.push_back({column, "VARCHAR(20)"});
    reaches.Rows.push_back({"7", "a", "b", "c", "d", "1", "IN"});
    reaches.Rows.push_back({"x7", "a", "b", "c", "d", "1", "IN"});
    generator::TDbTable observations;
    observations.Name = "HaltungE";
    for (const char* column : {"ZuLFDNr", "StatAnf", "VideoZ", "Text", "KZL", "Mass1", "Einheit1",
                               "Mass2", "Einheit2", "Streckensch", "Von", "Bis"})
        observations.Columns.push_back({column, "VARCHAR(20)"});
    generator::WriteFirebirdDatabase(DatabaseFile(), {reaches, observations});
    TKanvioDataModel model;
    try {
        TFirebirdDataTreeBuilder(DatabaseFile(), dialogs).BuildDataTree(model);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_THAT(error.what(), HasSubstr(DatabaseFile()));
        EXPECT_THAT(error.what(), HasSubstr("\"x7\""));
    }
    EXPECT_EQ(model.Reaches.size(), 2u);
    ExpectNoCopyLeft();
}

TEST_F(FirebirdTest, MissingClientLibrary) {
    generator::WriteDeliveryDatabase(DatabaseFile(), TDbDelivery{});
    // Another library name than the one loaded by the writer: loaded anew, and missing.
    SetFirebirdClientLibraryForTesting("libkanvio-no-such-fbclient.so.2");
    try {
        Build(DatabaseFile());
        ADD_FAILURE() << "no error";
    } catch (const EFirebirdError& error) {
        EXPECT_EQ(error.fileName(), DatabaseFile());
        EXPECT_THAT(error.what(), HasSubstr("libkanvio-no-such-fbclient.so.2"));
    }
    // A library that is no Firebird client.
    SetFirebirdClientLibraryForTesting("libz.so.1");
    EXPECT_THROW(Build(DatabaseFile()), EFirebirdError);
    SetFirebirdClientLibraryForTesting({});
    EXPECT_NO_THROW(Build(DatabaseFile()));
}

} // namespace
} // namespace kanvio::test
