// Statements, parameters and the texts of column values, on a real database.

#include "datasources/FirebirdQuery.h"

#include "datasources/FirebirdValueText.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <gmock/gmock.h>
#include <limits>

namespace kanvio::test {
namespace {

using testing::HasSubstr;

TEST(FirebirdQueryText, NamedParametersOutsideQuotes) {
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
        {"SELECT * FROM T WHERE A = :StructureID", "SELECT * FROM T WHERE A = ?", {"StructureID"}},
        {"VALUES (:P0, :P1,:P0)", "VALUES (?, ?,?)", {"P0", "P1", "P0"}},
        {"WHERE A = ':x' AND B = :y", "WHERE A = ':x' AND B = ?", {"y"}},
        {"WHERE \"C:D\" = 'it''s :no' AND E=:e1$", "WHERE \"C:D\" = 'it''s :no' AND E=?", {"e1$"}},
        {"SELECT 1:2, : x, :", "SELECT 1:2, : x, :", {}},
    };
    for (const auto& [sql, expected, names] : cases) {
        const TPositionalSql result = ReplaceNamedParameters(sql);
        EXPECT_EQ(result.Sql, expected) << sql;
        EXPECT_EQ(result.Names, names) << sql;
    }
}

TEST(FirebirdQueryText, ScaledNumbers) {
    const std::vector<std::tuple<int64_t, int, std::string>> cases = {
        {1250, -2, "12.5"},
        {500, -2, "5"},
        {-5, -2, "-0.05"},
        {0, -2, "0"},
        {-100, -2, "-1"},
        {7, 0, "7"},
        {7, 2, "700"},
        {0, 3, "0"},
        {std::numeric_limits<int64_t>::min(), 0, "-9223372036854775808"},
        {std::numeric_limits<int64_t>::min(), -4, "-922337203685477.5808"},
        {std::numeric_limits<int64_t>::max(), -18, "9.223372036854775807"},
    };
    for (const auto& [value, scale, text] : cases)
        EXPECT_EQ(ScaledIntegerText(value, scale), text) << value << " scale " << scale;
    EXPECT_EQ(FloatText(0.1 + 0.2, 15), "0.3");
    EXPECT_EQ(FloatText(12.5, 15), "12.5");
    EXPECT_EQ(FloatText(-0.0, 15), "-0");

    int64_t value = 0;
    for (const char* good : {"12", " -3 ", "+4", "0"})
        EXPECT_TRUE(TextAsInteger(good, value)) << good;
    for (const char* bad : {"", " ", "1.5", "x", "12a", "++1", "99999999999999999999"})
        EXPECT_FALSE(TextAsInteger(bad, value)) << bad;
}

class FirebirdQueryTest : public FirebirdTest {
protected:
    void SetUp() override {
        generator::TDbTable table;
        table.Name = "Werte";
        table.Columns = {{"Nr", "INTEGER"},
                         {"Fest", "CHAR(6)"},
                         {"Frei", "VARCHAR(20)"},
                         {"Klein", "SMALLINT"},
                         {"Gross", "BIGINT"},
                         {"Geld", "NUMERIC(12,3)"},
                         {"Fliess", "DOUBLE PRECISION"},
                         {"Einfach", "FLOAT"},
                         {"Tag", "DATE"},
                         {"Zeit", "TIME"},
                         {"Moment", "TIMESTAMP"},
                         {"Wahr", "BOOLEAN"},
                         {"Lang", "BLOB SUB_TYPE TEXT"}};
        table.Rows = {
            {"1", "IN", "  frei ", "-32768", "9223372036854775807", "-12.340", "12.5", "0.1",
             "2024-02-29", "01:02:03", "2024-03-01 00:00:00", "true", std::string(20000, 'x')},
            {"2", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
             std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
             std::nullopt},
            {"3", "", "", "0", "0", "0.5", "-1e-7", "3", "1900-01-01", "23:59:59",
             "2024-03-01 13:14:15", "false", "kurz"},
        };
        generator::WriteFirebirdDatabase(DatabaseFile(), {table});
        connection = TFirebirdConnection::Attach(DatabaseFile(), TFirebirdLogin{"sysdba", "x"});
        transaction = std::make_unique<TFirebirdTransaction>(*connection);
    }
    void TearDown() override {
        transaction.reset();
        connection.reset();
    }
    std::unique_ptr<TFirebirdConnection> connection;
    std::unique_ptr<TFirebirdTransaction> transaction;
};

TEST_F(FirebirdQueryTest, ValuesAsText) {
    TFirebirdQuery query(*transaction, "SELECT * FROM Werte WHERE Nr = :Nr");
    const std::vector<std::string> columns = {"Fest", "Frei",   "Klein",   "Gross",
                                              "Geld", "Fliess", "Einfach", "Tag",
                                              "Zeit", "Moment", "Wahr",    "Lang"};
    const std::vector<std::vector<std::string>> expected = {
        {"IN", "  frei ", "-32768", "9223372036854775807", "-12.34", "12.5", "0.1", "29.02.2024",
         "01:02:03", "01.03.2024", "True", std::string(20000, 'x')},
        {"", "", "", "", "", "", "", "", "", "", "", ""},
        {"", "", "0", "0", "0.5", "-1e-07", "3", "01.01.1900", "23:59:59", "01.03.2024 13:14:15",
         "False", "kurz"},
    };
    for (int64_t row = 1; row <= 3; ++row) {
        query.SetParamAsInteger("nr", row); // names compare without regard to case
        query.Open();
        ASSERT_TRUE(query.Next());
        std::string scratch;
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string& text = expected[static_cast<size_t>(row - 1)][i];
            EXPECT_EQ(query.FieldAsText(columns[i]), text)
                << "row " << row << " column " << columns[i];
            // The view gives the same text, whether it points into the row or not.
            scratch = "left from before";
            EXPECT_EQ(query.AsTextView(query.ColumnIndex(columns[i]), scratch), text)
                << "row " << row << " column " << columns[i];
        }
        EXPECT_EQ(query.IsNull(query.ColumnIndex("Frei")), row == 2);
        EXPECT_FALSE(query.Next());
        EXPECT_FALSE(query.Next());
    }
    query.SetParamAsText("Nr", "3");
    query.Open();
    ASSERT_TRUE(query.Next());
    EXPECT_EQ(query.AsInteger(query.ColumnIndex("Geld")), 1); // 0.5 rounds away from zero
    EXPECT_EQ(query.AsInteger(query.ColumnIndex("Einfach")), 3);
    EXPECT_THROW(query.AsInteger(query.ColumnIndex("Fliess")), EConvertError);
    EXPECT_THROW(query.AsInteger(query.ColumnIndex("Tag")), EConvertError);
    query.SetParamNull("Nr");
    query.Open();
    EXPECT_FALSE(query.Next());
}

TEST_F(FirebirdQueryTest, MistakesNameTheFileAndTheStatement) {
    TFirebirdQuery query(*transaction, "SELECT Nr FROM Werte");
    EXPECT_FALSE(query.HasColumn("Frei"));
    try {
        query.ColumnIndex("Frei");
        ADD_FAILURE();
    } catch (const EFirebirdError& error) {
        EXPECT_THAT(error.what(), HasSubstr(DatabaseFile() + ": SELECT Nr FROM Werte"));
        EXPECT_THAT(error.what(), HasSubstr("Frei"));
    }
    EXPECT_THROW(query.SetParamAsInteger("Nr", 1), EFirebirdError);
    TFirebirdQuery insert(*transaction, "INSERT INTO Werte (Nr, Frei) VALUES (:Nr, :Frei)");
    EXPECT_THROW(insert.SetParamAsText("Frei", std::string(32766, 'x')), EFirebirdError);
    insert.SetParamAsInteger("Nr", 4);
    insert.SetParamAsText("Frei", std::string(21, 'x')); // one more than the column holds
    try {
        insert.Execute();
        ADD_FAILURE();
    } catch (const EFirebirdError& error) {
        EXPECT_THAT(error.what(), HasSubstr(DatabaseFile() + ": INSERT INTO Werte"));
    }
    try {
        TFirebirdQuery broken(*transaction, "SELECT * FROM Unbekannt");
        ADD_FAILURE();
    } catch (const EFirebirdError& error) {
        EXPECT_THAT(error.what(), HasSubstr(DatabaseFile() + ": SELECT * FROM Unbekannt: "));
        EXPECT_THAT(error.what(), HasSubstr("UNBEKANNT"));
    }
    // The attachment still works after the errors.
    query.Open();
    int rows = 0;
    while (query.Next())
        ++rows;
    EXPECT_EQ(rows, 3); // the refused row is not there
}

} // namespace
} // namespace kanvio::test
