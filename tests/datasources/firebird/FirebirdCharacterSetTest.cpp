// Texts in every character set a column may declare: UTF8 ones arrive as Windows-1252,
// all others as stored, and what the player does not read may hold anything.

#include "datasources/FirebirdDataTreeBuilder.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include <gmock/gmock.h>

namespace kanvio::test {
namespace {

using generator::TDbTable;

constexpr const char* SmallRInCaron = "\xc5\x99"; // "ř" in UTF-8
constexpr const char* SunInUtf8 = "\xe6\x97\xa5"; // "日" in UTF-8
constexpr const char* SmallRInCaron1250 = "\xf8"; // "ř" in Windows-1250

generator::TDbDelivery OneReach() {
    generator::TDbDelivery delivery;
    delivery.Reaches.push_back(SampleStructure(1));
    delivery.Reaches[0].Observations.push_back(SampleObservation("BCA"));
    return delivery;
}

TDbTable& Table(std::vector<TDbTable>& tables, const std::string& name) {
    for (auto& table : tables)
        if (table.Name == name)
            return table;
    throw std::runtime_error("no table " + name);
}

void AddColumn(TDbTable& table, const std::string& name, const std::string& type,
               const std::string& value) {
    table.Columns.push_back({name, type});
    for (auto& row : table.Rows)
        row.emplace_back(value);
}

// Gives a column another declared type and every row the value.
void Redeclare(TDbTable& table, const std::string& name, const std::string& type,
               const std::string& value) {
    for (size_t i = 0; i < table.Columns.size(); ++i)
        if (table.Columns[i].Name == name) {
            table.Columns[i].SqlType = type;
            for (auto& row : table.Rows)
                row.at(i) = value;
            return;
        }
    throw std::runtime_error("no column " + name);
}

TEST_F(FirebirdTest, UnreadColumnsAndTablesMayHoldAnyCharacterSet) {
    std::vector<TDbTable> tables = generator::DeliveryTables(OneReach());
    for (const char* name : {"Haltung", "HaltungE"}) {
        TDbTable& table = Table(tables, name);
        AddColumn(table, "NotizUtf8", "VARCHAR(10) CHARACTER SET UTF8", SmallRInCaron);
        AddColumn(table, "ZeichenUtf8", "CHAR(4) CHARACTER SET UTF8", SunInUtf8);
        AddColumn(table, "Notiz1250", "VARCHAR(10) CHARACTER SET WIN1250", SmallRInCaron1250);
        AddColumn(table, "Lang", "BLOB SUB_TYPE TEXT CHARACTER SET UTF8",
                  std::string(SunInUtf8) + SmallRInCaron);
    }
    TDbTable foreign;
    foreign.Name = "Fremd";
    AddColumn(foreign, "Nr", "INTEGER", "");
    foreign.Rows.push_back({"1"});
    AddColumn(foreign, "Wort", "VARCHAR(10) CHARACTER SET UTF8", SunInUtf8);
    tables.push_back(foreign);
    generator::WriteFirebirdDatabase(DatabaseFile(), tables);

    const TKanvioDataModel model = Build(DatabaseFile());
    ASSERT_EQ(model.Reaches.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->city, "K\xf6ln");
    ASSERT_EQ(model.Reaches[0]->Details.size(), 1u);
    EXPECT_EQ(model.Reaches[0]->Details[0].Text, "(BCA) Riss, 5 mm");
}

TEST_F(FirebirdTest, ReadTextsInEveryCharacterSet) {
    struct TCase {
        std::string Type, Stored, Expected;
    };
    const std::vector<TCase> cases = {
        {"VARCHAR(60) CHARACTER SET UTF8",
         std::string("K\xc3\xb6ln ") + SmallRInCaron + " " + SunInUtf8, "K\xf6ln ? ?"},
        {"CHAR(20) CHARACTER SET UTF8", "\xe2\x82\xac \xc3\xa4", "\x80 \xe4"},
        {"VARCHAR(60) CHARACTER SET UNICODE_FSS", "\xc3\x9f\xe2\x80\x9e", "\xdf\x84"},
        {"BLOB SUB_TYPE TEXT CHARACTER SET UTF8", std::string("x") + SmallRInCaron, "x?"},
        {"VARCHAR(60) CHARACTER SET WIN1250", "\xf8\x9a\x8a", "\xf8\x9a\x8a"},
        {"VARCHAR(60) CHARACTER SET WIN1252", "\x80\xe4\xfc", "\x80\xe4\xfc"},
        {"VARCHAR(60) CHARACTER SET ISO8859_1", "\xe4\xdf\xa0x", "\xe4\xdf\xa0x"},
        {"VARCHAR(60) CHARACTER SET NONE", "\x81\x8d\xc5\x99", "\x81\x8d\xc5\x99"},
        {"VARCHAR(60) CHARACTER SET OCTETS", "ab\x01\xff", "ab\x01\xff"},
        {"BLOB SUB_TYPE TEXT CHARACTER SET WIN1250", "\xf8", "\xf8"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Type);
        std::vector<TDbTable> tables = generator::DeliveryTables(OneReach());
        Redeclare(Table(tables, "Haltung"), "Strasse", c.Type, c.Stored);
        Redeclare(Table(tables, "HaltungE"), "Text", c.Type, c.Stored);
        generator::WriteFirebirdDatabase(DatabaseFile(), tables);
        const TKanvioDataModel model = Build(DatabaseFile());
        ASSERT_EQ(model.Reaches.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->street, c.Expected);
        ASSERT_EQ(model.Reaches[0]->Details.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->Details[0].Text, "(BCA) " + c.Expected + ", 5 mm");
    }
}

} // namespace
} // namespace kanvio::test
