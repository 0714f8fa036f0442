// The observations of every structure, read from the whole table in one pass, must be the
// rows and the order a query for that one structure gives, also when rows were deleted and
// new ones took their room, when structures share a number and when rows belong to none.

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdQuery.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <filesystem>
#include <gmock/gmock.h>

namespace kanvio::test {
namespace {

using generator::TDbDelivery;
using generator::TDbStructure;

// Per structure row: the codes a query for its number returns, in that query's order.
std::vector<std::vector<std::string>> CodesPerStructure(const std::string& fileName,
                                                        const char* structureTable,
                                                        const char* observationTable) {
    auto connection = TFirebirdConnection::Attach(fileName, TFirebirdLogin{"sysdba", "x"});
    TFirebirdTransaction transaction(*connection, TFirebirdTransaction::TAccess::ReadOnly);
    std::vector<std::vector<std::string>> codes;
    {
        TFirebirdQuery structures(transaction, std::string("SELECT LFDNR FROM ") + structureTable);
        TFirebirdQuery observations(transaction, std::string("SELECT KZL FROM ") +
                                                     observationTable +
                                                     " WHERE ZuLFDNr = :StructureID");
        structures.Open();
        while (structures.Next()) {
            observations.SetParamAsInteger("StructureID", structures.AsInteger(0));
            observations.Open();
            codes.emplace_back();
            while (observations.Next())
                codes.back().push_back(observations.AsText(0));
            observations.Close();
        }
        structures.Close();
    }
    transaction.Commit();
    connection->Detach();
    return codes;
}

std::vector<std::vector<std::string>> CodesPerStructure(const TAReachData& structures) {
    std::vector<std::vector<std::string>> codes;
    for (const auto& structure : structures) {
        codes.emplace_back();
        for (const TReachDetail& detail : structure->Details)
            codes.back().push_back(detail.Code);
    }
    return codes;
}

void Execute(const std::string& fileName, const std::vector<std::string>& statements) {
    auto connection = TFirebirdConnection::Attach(fileName, TFirebirdLogin{"sysdba", "x"});
    for (const std::string& sql : statements) {
        TFirebirdTransaction transaction(*connection);
        if (sql.rfind("SELECT", 0) == 0) {
            // Reading the table lets the engine collect the deleted rows and free their room.
            TFirebirdQuery query(transaction, sql);
            query.Open();
            while (query.Next()) {
            }
            query.Close();
        } else {
            connection->Execute(transaction, sql);
        }
        transaction.Commit();
    }
    connection->Detach();
}

void ExpectSameAsQueriesPerStructure(const std::string& fileName, const TKanvioDataModel& model) {
    EXPECT_EQ(CodesPerStructure(model.Reaches), CodesPerStructure(fileName, "Haltung", "HaltungE"));
    // Deliveries without connections have no connection tables to ask.
    if (!model.Connections.empty()) {
        EXPECT_EQ(CodesPerStructure(model.Connections),
                  CodesPerStructure(fileName, "Anschl", "AnschlE"));
    }
}

TEST_F(FirebirdTest, ObservationsComeInTheOrderOfAQueryPerStructure) {
    // A generated project, its observations inserted structure by structure.
    generator::TGeneratorOptions options;
    options.Reaches = 30;
    options.Connections = 45;
    options.Observations = 600;
    options.Seed = 19;
    const auto project = generator::GenerateProject(options);
    generator::WriteProjectDatabase(project, env.programFolder().string());
    const TKanvioDataModel generated = Build(DatabaseFile());
    ASSERT_EQ(generated.Reaches.size(), 30u);
    ExpectSameAsQueriesPerStructure(DatabaseFile(), generated);

    // Rows of one structure scattered through the table: every third row goes, new rows for
    // early structures fill the room the engine frees, and rows point to no structure.
    Execute(DatabaseFile(),
            {"DELETE FROM HaltungE WHERE MOD(LFDNR, 3) = 0",
             "DELETE FROM AnschlE WHERE MOD(LFDNR, 3) = 1", "SELECT COUNT(*) FROM HaltungE",
             "INSERT INTO HaltungE (LFDNR, ZuLFDNr, StatAnf, VideoZ, KZL, Text, Mass1, Einheit1, "
             "Mass2, Einheit2, Streckensch, Von, Bis) SELECT LFDNR + 100000, "
             "(SELECT MIN(LFDNR) FROM Haltung), StatAnf, VideoZ, 'N' || KZL, Text, Mass1, "
             "Einheit1, Mass2, Einheit2, Streckensch, Von, Bis FROM HaltungE WHERE "
             "MOD(LFDNR, 5) = 0",
             "INSERT INTO AnschlE (LFDNR, ZuLFDNr, StatAnf, VideoZ, KZL, Text, Mass1, Einheit1, "
             "Mass2, Einheit2, Streckensch, Von, Bis) SELECT LFDNR + 200000, -7, StatAnf, "
             "VideoZ, KZL, Text, Mass1, Einheit1, Mass2, Einheit2, Streckensch, Von, Bis FROM "
             "AnschlE WHERE MOD(LFDNR, 4) = 0"});
    const TKanvioDataModel scattered = Build(DatabaseFile());
    ASSERT_EQ(scattered.Reaches.size(), 30u);
    ASSERT_EQ(scattered.Connections.size(), 45u);
    ExpectSameAsQueriesPerStructure(DatabaseFile(), scattered);
    const auto& first = scattered.Reaches.front()->Details;
    EXPECT_TRUE(std::any_of(first.begin(), first.end(),
                            [](const TReachDetail& detail) { return detail.Code[0] == 'N'; }));
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Keys in a text column: the engine compares them with a structure's number as text, so
// only the number's plain text (trailing blanks aside) names it. Structures sharing a number
// each get all its rows; rows of no structure, with an empty key or a key that is no number,
// are left out, and a bad distance in them is no error.
TEST_F(FirebirdTest, TextKeysNameTheStructuresTheEngineFindsForThem) {
    generator::TDbTable reaches;
    reaches.Name = "Haltung";
    for (const char* column :
         {"LFDNR", "Stadt", "Datum", "Strasse", "HaltungsNr", "Untersuchl", "Fliessr"})
        reaches.Columns.push_back({column, "VARCHAR(20)"});
    for (const char* id : {"7", "07", "9", "7"})
        reaches.Rows.push_back({id, "a", "b", "c", std::string("H") + id, "1", "IN"});
    generator::TDbTable observations;
    observations.Name = "HaltungE";
    for (const char* column : {"ZuLFDNr", "StatAnf", "VideoZ", "Text", "KZL", "Mass1", "Einheit1",
                               "Mass2", "Einheit2", "Streckensch", "Von", "Bis"})
        observations.Columns.push_back({column, "VARCHAR(20)"});
    const auto row = [](std::optional<std::string> key, std::string distance, std::string code) {
        return std::vector<generator::TDbValue>{key, distance, "0:00:01", "", code, "",
                                                "",  "",       "",        "", "",   ""};
    };
    observations.Rows = {row("7", "1", "A"),    row(std::nullopt, "x", "B"), row("x7", "y", "C"),
                         row(" 7", "2", "D"),   row("8", "z", "E"),          row("7.0", "3", "F"),
                         row("0007", "4", "G"), row("9", "5", "H"),          row("7 ", "6", "I")};
    generator::WriteFirebirdDatabase(DatabaseFile(), {reaches, observations});
    const TKanvioDataModel model = Build(DatabaseFile());
    ASSERT_EQ(model.Reaches.size(), 4u);
    ExpectSameAsQueriesPerStructure(DatabaseFile(), model);
    const std::vector<std::vector<std::string>> expected = {
        {"A", "I"}, {"A", "I"}, {"H"}, {"A", "I"}};
    EXPECT_EQ(CodesPerStructure(model.Reaches), expected);
    // Each structure's details are its own copies, texts and distances included.
    EXPECT_EQ(model.Reaches[0]->Details[1].Distance, 6.0);
    EXPECT_EQ(model.Reaches[3]->Details[1].Distance, 6.0);
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Keys in number columns of every kind name the structure whose number they equal, as the
// engine compares them: 7.00 names structure 7, 7.5 none, -3 and 0 their own.
TEST_F(FirebirdTest, NumberKeysNameTheStructuresTheEngineFindsForThem) {
    for (const char* keyType :
         {"SMALLINT", "INTEGER", "BIGINT", "NUMERIC(9,2)", "DOUBLE PRECISION", "CHAR(6)"}) {
        SCOPED_TRACE(keyType);
        generator::TDbTable reaches;
        reaches.Name = "Haltung";
        reaches.Columns.push_back({"LFDNR", "INTEGER"});
        for (const char* column :
             {"Stadt", "Datum", "Strasse", "HaltungsNr", "Untersuchl", "Fliessr"})
            reaches.Columns.push_back({column, "VARCHAR(20)"});
        for (const char* id : {"7", "-3", "0", "8", "7"})
            reaches.Rows.push_back({id, "a", "b", "c", std::string("H") + id, "1", "IN"});
        generator::TDbTable observations;
        observations.Name = "HaltungE";
        observations.Columns.push_back({"ZuLFDNr", keyType});
        for (const char* column : {"StatAnf", "VideoZ", "Text", "KZL", "Mass1", "Einheit1", "Mass2",
                                   "Einheit2", "Streckensch", "Von", "Bis"})
            observations.Columns.push_back({column, "VARCHAR(20)"});
        const auto row = [](std::optional<std::string> key, std::string code) {
            return std::vector<generator::TDbValue>{key, "1", "0:00:01", "", code, "",
                                                    "",  "",  "",        "", "",   ""};
        };
        // Keys alternate between structures, so that no row follows one of its own.
        observations.Rows = {row("7", "A"),  row("-3", "B"), row("8", "C"),
                             row("7", "D"),  row("0", "E"),  row(std::nullopt, "F"),
                             row("12", "G"), row("-3", "H"), row("7", "I")};
        const std::string type = keyType;
        if (type.find("NUMERIC") == 0 || type.find("DOUBLE") == 0)
            observations.Rows.push_back(row("7.5", "J"));
        if (type.find("CHAR") == 0)
            observations.Rows.push_back(row("-0", "K"));
        std::filesystem::remove(DatabaseFile());
        generator::WriteFirebirdDatabase(DatabaseFile(), {reaches, observations});
        const TKanvioDataModel model = Build(DatabaseFile());
        ASSERT_EQ(model.Reaches.size(), 5u);
        ExpectSameAsQueriesPerStructure(DatabaseFile(), model);
        const std::vector<std::vector<std::string>> expected = {
            {"A", "D", "I"}, {"B", "H"}, {"E"}, {"C"}, {"A", "D", "I"}};
        EXPECT_EQ(CodesPerStructure(model.Reaches), expected);
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

} // namespace
} // namespace kanvio::test
