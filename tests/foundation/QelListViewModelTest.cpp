#include "foundation/QelListViewModel.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace kanvio {
namespace {

// Rows of two text columns; the attribute index of City is 1, of Street 2.
TQelListViewModel CityModel(const std::vector<std::pair<std::string, std::string>>& rows) {
    TQelListViewModel model;
    model.Attributes = {
        {"Nr", "", false, TQelAlignment::Left, false},
        {"City", "City", true, TQelAlignment::Left, true},
        {"Street", "Street", true, TQelAlignment::Left, true},
    };
    int64_t nr = 0;
    for (const auto& [city, street] : rows) {
        auto row = std::make_shared<THashMap>();
        row->PutInt64("Nr", nr++);
        row->PutValue("City", city);
        row->PutValue("Street", street);
        model.Rows.push_back(row);
    }
    return model;
}

std::vector<std::string> Values(const TQelListViewModel& model, const char* key) {
    std::vector<std::string> values;
    for (const auto& row : model.Rows) {
        values.push_back(row->GetString(key, ""));
    }
    return values;
}

TEST(QelFilterTest, PrefixMatchIgnoresTheCaseOfLettersAToZOnly) {
    struct Case {
        std::string_view value, prefix;
        bool expected;
    };
    const Case cases[] = {
        {"abc", "ab", true},
        {"ABC", "ab", true},
        {"Abc", "aB", true},
        {"cab", "ab", false},
        {"ab", "abc", false},
        {"", "", true},
        {"x", "", true},
        {"\xFC"
         "ber",
         "\xFC", true},
        {"\xDC"
         "ber",
         "\xFC", false},
        {"a.b", ".", false},
        {".b", ".", true},
        {"a*", "*", false},
        {"[x]", "[", true},
        {"\\d", "\\", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StartsWithIgnoringAsciiCase(c.value, c.prefix), c.expected)
            << "'" << c.value << "' / '" << c.prefix << "'";
    }
}

TEST(QelFilterTest, FilterRowsKeepsSourceOrderAndTakesTheTextLiterally) {
    const TQelListViewModel source = CityModel({
        {"Abtsgm\xFCnd", "1"},
        {"cab", "2"},
        {"ab", "3"},
        {" abseits", "4"},
        {"AB.C", "5"},
        {"\xDC"
         "bersee",
         "6"},
        {"\xFC"
         "lzen",
         "7"},
        {"a*b", "8"},
        {"", "9"},
        {"ABC", "10"},
    });
    struct Case {
        std::string text;
        std::vector<std::string> streets;
    };
    const std::vector<Case> cases = {
        {"ab", {"1", "3", "5", "10"}},
        {"AB", {"1", "3", "5", "10"}},
        {"aB.", {"5"}},
        {"ab ", {}},
        // A leading blank is part of the text.
        {" ab", {"4"}},
        {"\xFC", {"7"}},
        {"\xDC", {"6"}},
        {"a*", {"8"}},
        {".*", {}},
        {"[", {}},
        {"(", {}},
        {"?", {}},
        {"%", {}},
        {"zzz", {}},
        // Nothing but blanks, or nothing at all: every row.
        {"", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {"   ", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {" \t ", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {std::string(100000, 'a'), {}},
        {std::string(300, ' ') + "x", {}},
    };
    for (const auto& c : cases) {
        TQelListViewModel filtered;
        ASSERT_NO_THROW(FilterRows(source, 1, c.text, filtered)) << c.text.substr(0, 20);
        EXPECT_EQ(Values(filtered, "Street"), c.streets) << "'" << c.text.substr(0, 20) << "'";
    }
}

TEST(QelFilterTest, FilterRowsLooksAtTheChosenColumnOnlyAndSharesTheRowMaps) {
    const TQelListViewModel source =
        CityModel({{"Bonn", "Bahnhofstr."}, {"Berlin", "Alleeweg"}, {"Aachen", "Bachweg"}});
    TQelListViewModel filtered;
    FilterRows(source, 2, "b", filtered);
    EXPECT_EQ(Values(filtered, "City"), (std::vector<std::string>{"Bonn", "Aachen"}));
    ASSERT_EQ(filtered.Rows.size(), 2u);
    EXPECT_EQ(filtered.Rows[0].get(), source.Rows[0].get());
    EXPECT_EQ(filtered.Rows[1].get(), source.Rows[2].get());
    ASSERT_EQ(filtered.Attributes.size(), source.Attributes.size());
    EXPECT_EQ(filtered.Attributes[2].Name, "Street");

    // The hidden number column filters by its text like any other.
    FilterRows(source, 0, "1", filtered);
    EXPECT_EQ(Values(filtered, "City"), (std::vector<std::string>{"Berlin"}));

    // Beyond the attributes every value counts as empty: only a blank text shows rows.
    FilterRows(source, 7, "B", filtered);
    EXPECT_TRUE(filtered.Rows.empty());
    FilterRows(source, 7, " ", filtered);
    EXPECT_EQ(filtered.Rows.size(), 3u);

    // A refilter replaces the rows, it does not narrow the previous result.
    FilterRows(source, 1, "B", filtered);
    FilterRows(source, 1, "A", filtered);
    EXPECT_EQ(Values(filtered, "City"), (std::vector<std::string>{"Aachen"}));
}

TEST(QelFilterTest, FilterRowsMatchesNumbersByTheirText) {
    TQelListViewModel source;
    source.Attributes = {{"Length", "Length", true, TQelAlignment::Left, true}};
    for (double length : {12.5, 125.0, 2.0}) {
        auto row = std::make_shared<THashMap>();
        row->PutValue("Length", length);
        source.Rows.push_back(row);
    }
    source.Rows.push_back(std::make_shared<THashMap>()); // no value at all
    TQelListViewModel filtered;
    FilterRows(source, 0, "12", filtered);
    EXPECT_EQ(Values(filtered, "Length"), (std::vector<std::string>{"12.5", "125"}));
}

TEST(QelFilterTest, ChoicesStartWithABlankAndHoldEachValueOnceWhateverItsCase) {
    const TQelListViewModel source = CityModel({
        {"Bonn", ""},
        {"", ""},
        {"BONN", ""},
        {"K\xF6ln", ""},
        {" ", ""},
        {"K\xD6LN", ""},
        {"Aachen", ""},
        {"bonn", ""},
    });
    EXPECT_EQ(FilterChoices(source, 1),
              (std::vector<std::string>{" ", "Bonn", "K\xF6ln", "Aachen"}));
    // Only empty values: nothing beyond the blank.
    EXPECT_EQ(FilterChoices(source, 2), (std::vector<std::string>{" "}));
    EXPECT_EQ(FilterChoices(source, 99), (std::vector<std::string>{" "}));
    EXPECT_EQ(FilterChoices(TQelListViewModel{}, 0), (std::vector<std::string>{" "}));
}

TEST(QelColumnsTest, VisibleAttributesBecomeColumnsInOrder) {
    const TAQelAttrib attributes = {
        {"Hidden", "", false, TQelAlignment::Left, false},
        {"Type", "Art", true, TQelAlignment::Left, true},
        {"Number", "Nummer", true, TQelAlignment::Right, false},
        {"Other", "", false, TQelAlignment::Left, true},
        {"Zip", "PLZ", true, TQelAlignment::Center, false},
    };
    const TQelColumns columns = BuildColumns(attributes);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].Name, "Type");
    EXPECT_EQ(columns[1].Caption, "Nummer");
    EXPECT_EQ(columns[1].Alignment, TQelAlignment::Right);
    EXPECT_EQ(columns[2].Key.Text(), "ZIP");

    EXPECT_EQ(FindColumn(columns, "NUMBER"), 1);
    EXPECT_EQ(FindColumn(columns, "number"), 1);
    EXPECT_EQ(FindColumn(columns, "Hidden"), -1);
    EXPECT_EQ(FindColumn(columns, ""), -1);

    EXPECT_EQ(DefaultColumnWidth(822, 14), 53);
    EXPECT_EQ(DefaultColumnWidth(100, 3), 28);
    EXPECT_EQ(DefaultColumnWidth(800, 0), 0);
}

TEST(QelSortTest, CellTextsCompareAsNumbersOnlyWhenBothAreWholeNumbers) {
    struct Case {
        std::string_view a, b;
        int expected;
    };
    const Case cases[] = {
        {"2", "10", -1},  {"10", "9", 1},    {"a10", "a2", -1},       {"007", "7", 0},
        {"-5", "3", -1},  {"b", "B", 1},     {"b", "Z", 1},           {"B", "Z", -1},
        {"", "", 0},      {"", "0", -1},     {"2147483648", "3", -1}, {"12.5", "2", -1},
        {"\xE4", "z", 1}, {"abc", "abc", 0}, {" 5", "10", -1},        {"5 ", "10", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareCellTexts(c.a, c.b), c.expected) << "'" << c.a << "' / '" << c.b << "'";
        EXPECT_EQ(CompareCellTexts(c.b, c.a), -c.expected) << "'" << c.b << "' / '" << c.a << "'";
    }
}

TEST(QelSortTest, SortRowOrderIsStableInBothDirections) {
    const TQelListViewModel model =
        CityModel({{"2", "a"}, {"10", "b"}, {"1", "c"}, {"2", "d"}, {"1", "e"}});
    const TQelColumns columns = BuildColumns(model.Attributes);
    auto streets = [&](const std::vector<size_t>& order) {
        std::string text;
        for (size_t index : order) {
            text += model.Rows[index]->GetString("Street", "");
        }
        return text;
    };
    EXPECT_EQ(streets(SortRowOrder(model.Rows, {&columns, 0, false}, nullptr)), "ceadb");
    EXPECT_EQ(streets(SortRowOrder(model.Rows, {&columns, 0, true}, nullptr)), "badce");
    // No sorted column: the rows stay as they are.
    EXPECT_EQ(streets(SortRowOrder(model.Rows, {&columns, -1, false}, nullptr)), "abcde");
    EXPECT_EQ(streets(SortRowOrder(model.Rows, {&columns, 5, false}, nullptr)), "abcde");
    EXPECT_TRUE(SortRowOrder({}, {&columns, 0, false}, nullptr).empty());

    // A window's comparison replaces the default one.
    int calls = 0;
    const TQelRowCompare byStreetDescending = [&calls](const TQelSortRequest&,
                                                       const TQelCompareRows& rows) {
        ++calls;
        return -rows.RowA.GetString("Street", "").compare(rows.RowB.GetString("Street", ""));
    };
    EXPECT_EQ(streets(SortRowOrder(model.Rows, {&columns, 0, false}, byStreetDescending)), "edcba");
    EXPECT_GT(calls, 0);
}

TEST(QelSortTest, MixedNumbersAndTextsStillGiveEveryRowOnce) {
    // 9 < 10 as numbers, "10" < "1a" and "1a" < "9" as texts: no order satisfies all three.
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < 200; ++i) {
        rows.push_back(
            {std::vector<std::string>{"10", "9", "1a", "", "-3", "x"}[i % 6], std::to_string(i)});
    }
    const TQelListViewModel model = CityModel(rows);
    const TQelColumns columns = BuildColumns(model.Attributes);
    for (bool descending : {false, true}) {
        std::vector<size_t> order = SortRowOrder(model.Rows, {&columns, 0, descending}, nullptr);
        std::sort(order.begin(), order.end());
        ASSERT_EQ(order.size(), rows.size());
        EXPECT_EQ(std::set<size_t>(order.begin(), order.end()).size(), rows.size());
    }
}

} // namespace
} // namespace kanvio
