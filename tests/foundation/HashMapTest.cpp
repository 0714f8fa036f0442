#include "foundation/HashMap.h"

#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace kanvio {
namespace {

std::vector<std::string> Keys(const THashMap& map) {
    std::vector<std::string> keys;
    for (size_t i = 0; i < map.Count(); ++i) {
        keys.push_back(map.KeyAt(i));
    }
    return keys;
}

TEST(HashMapTest, KeysIgnoreTheCaseOfLettersAToZOnly) {
    THashMap map;
    map.PutValue("Stadt", "Bonn");
    for (const char* key : {"stadt", "STADT", "sTaDt"}) {
        ASSERT_NE(map.GetEntry(key), nullptr) << key;
        EXPECT_EQ(map.GetString(key, "-"), "Bonn") << key;
    }
    EXPECT_EQ(map.KeyAt(0), "STADT");

    // Umlauts are bytes like any other: a lower-case \xE4 is not its upper-case \xC4.
    map.PutValue("Stra\xE4"
                 "e",
                 "lower");
    EXPECT_EQ(map.GetEntry("STRA\xC4"
                           "E"),
              nullptr);
    EXPECT_EQ(map.GetString("sTrA\xE4"
                            "e",
                            ""),
              "lower");
}

TEST(HashMapTest, EntriesKeepInsertionOrderAndARePutMovesToTheEnd) {
    THashMap map;
    map.PutValue("b", 1);
    map.PutValue("a", 2);
    map.PutValue("c", 3);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"B", "A", "C"}));

    // Differs from the stored key only in case: replaces it and moves to the end.
    map.PutValue("B", "new");
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(map.Count(), 3u);
    EXPECT_EQ(map.GetString("b", ""), "new");

    map.PutInt64("a", 5);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"C", "B", "A"}));
}

TEST(HashMapTest, PutInt64StoresTheDecimalText) {
    THashMap map;
    const int64_t values[] = {0, -1, 42, std::numeric_limits<int64_t>::min(),
                              std::numeric_limits<int64_t>::max()};
    for (int64_t value : values) {
        map.PutInt64("Nr", value);
        const TVariant* entry = map.GetEntry("nr");
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(entry->IsText());
        EXPECT_EQ(*entry->TextIf(), std::to_string(value));
    }
}

TEST(HashMapTest, GetIntegerFallsBackToTheDefaultForAnythingThatIsNoWholeNumber) {
    struct Case {
        std::optional<TVariant> stored; // nullopt: key missing
        int32_t expected;
    };
    const Case cases[] = {
        {std::nullopt, -7},
        {TVariant(), -7},
        {TVariant("42"), 42},
        {TVariant("+42"), 42},
        {TVariant("-42"), -42},
        {TVariant("  42"), 42},
        {TVariant("42 "), -7},
        {TVariant(""), -7},
        {TVariant("   "), -7},
        {TVariant("4x"), -7},
        {TVariant("--4"), -7},
        {TVariant("+-4"), -7},
        {TVariant("2147483647"), 2147483647},
        {TVariant("2147483648"), -7},
        {TVariant("-2147483648"), std::numeric_limits<int32_t>::min()},
        {TVariant(int64_t(1) << 40), -7},
        {TVariant(int64_t(-12)), -12},
        {TVariant(3.7), 4},
        {TVariant(-3.7), -4},
        {TVariant(1e300), -7},
        {TVariant(std::numeric_limits<double>::quiet_NaN()), -7},
    };
    for (const auto& c : cases) {
        THashMap map;
        if (c.stored) {
            map.PutValue("Value", *c.stored);
        }
        EXPECT_EQ(map.GetInteger("value", -7), c.expected)
            << (c.stored ? c.stored->ToText() : "<missing>");
    }
}

TEST(HashMapTest, GetStringGivesTextsAndNumbersAndTheDefaultForNothing) {
    THashMap map;
    map.PutValue("Text", "Hauptstra\xDF"
                         "e");
    map.PutValue("Empty", "");
    map.PutValue("Null", TVariant());
    map.PutValue("Whole", int64_t(-123));
    map.PutValue("Length", 12.5);
    map.PutValue("Sum", 0.1 + 0.2);
    map.PutValue("Round", 40.0);

    EXPECT_EQ(map.GetString("text", "-"), "Hauptstra\xDF"
                                          "e");
    EXPECT_EQ(map.GetString("empty", "-"), "");
    EXPECT_EQ(map.GetString("null", "-"), "-");
    EXPECT_EQ(map.GetString("missing", "-"), "-");
    EXPECT_EQ(map.GetString("whole", "-"), "-123");
    EXPECT_EQ(map.GetString("length", "-"), "12.5");
    EXPECT_EQ(map.GetString("sum", "-"), "0.3");
    EXPECT_EQ(map.GetString("round", "-"), "40");

    std::string scratch;
    EXPECT_EQ(map.GetStringView(THashKey("length"), scratch), "12.5");
    EXPECT_EQ(map.GetStringView(THashKey("null"), scratch), "");
    EXPECT_EQ(map.GetStringView(THashKey("missing"), scratch), "");
}

} // namespace
} // namespace kanvio
