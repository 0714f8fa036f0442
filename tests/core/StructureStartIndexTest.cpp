// Looking up the structure of a film part by the time of its first observation.

#include "core/StructureStartIndex.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kanvio {
namespace {

TReachDataRef Structure(std::string number, std::vector<std::string> times) {
    auto structure = std::make_shared<TReachData>();
    structure->ReachNumber = std::move(number);
    for (auto& time : times) {
        TReachDetail detail;
        detail.VideoTime = std::move(time);
        structure->Details.push_back(std::move(detail));
    }
    return structure;
}

std::string NumberOf(const TReachData* structure) {
    return structure != nullptr ? structure->ReachNumber : "(none)";
}

TEST(StructureStartIndexTest, FindsTheFirstStructureOfTheListInsideThePart) {
    const TAReachData list = {
        Structure("no observations", {}),     Structure("late", {"00:30:00"}),
        Structure("unreadable", {"0:x:00"}),  Structure("early", {"00:10:00", "00:40:00"}),
        Structure("same time", {"00:10:00"}), Structure("second of two", {"00:20:00", "00:10:00"}),
    };
    const TStructureStartIndex index(list);
    struct TCase {
        const char* part;
        int64_t start, stop;
        const char* expected;
    } cases[] = {
        // List order decides, not the earlier time.
        {"all of it", 0, 3600, "late"},
        {"the first ten minutes", 0, 601, "early"},
        {"both borders are strict", 600, 1800, "second of two"},
        {"start on the time", 600, 601, "(none)"},
        {"stop on the time", 0, 600, "(none)"},
        {"only later observations", 2000, 2500, "(none)"},
        {"an empty part", 1000, 1000, "(none)"},
        {"a reversed part", 1800, 0, "(none)"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(NumberOf(index.FirstWithin(c.start, c.stop)), c.expected) << c.part;
    }
}

TEST(StructureStartIndexTest, UpdateFollowsChangedTimes) {
    const TAReachData list = {Structure("R1", {"00:10:00"}), Structure("R2", {"00:12:00"}),
                              Structure("R3", {"bad"})};
    const TAReachData other = {Structure("C1", {"00:11:00"})};
    TStructureStartIndex index(list);

    // Moved ten hours on, as a film part beyond ten hours moves its structure's times.
    list[0]->Details.front().VideoTime = "10:10:00";
    index.Update(list[0].get());
    EXPECT_EQ(NumberOf(index.FirstWithin(0, 3600)), "R2");
    EXPECT_EQ(NumberOf(index.FirstWithin(36000, 37000)), "R1");

    // A structure whose time becomes readable joins; one that loses it leaves.
    list[2]->Details.front().VideoTime = "00:05:00";
    index.Update(list[2].get());
    list[1]->Details.clear();
    index.Update(list[1].get());
    EXPECT_EQ(NumberOf(index.FirstWithin(0, 3600)), "R3");
    list[2]->Details.front().VideoTime = "bad again";
    index.Update(list[2].get());
    EXPECT_EQ(NumberOf(index.FirstWithin(0, 3600)), "(none)");

    // Structures of another list are not this index's business.
    index.Update(other[0].get());
    EXPECT_EQ(NumberOf(index.FirstWithin(0, 3600)), "(none)");
    index.Update(nullptr);
}

TEST(StructureIdIndexTest, FindsTheFirstStructureWithTheIdAsAWalkOfTheListDoes) {
    TAReachData list;
    for (const auto& [number, id] :
         std::vector<std::pair<std::string, std::string>>{{"first 12", "12"},
                                                          {"no id", ""},
                                                          {"second 12", "12"},
                                                          {"lower", "a7"},
                                                          {"upper", "A7"},
                                                          {"padded", " 5"}}) {
        list.push_back(Structure(number, {}));
        list.back()->ID = id;
    }
    list.push_back(nullptr); // a gap in the list is passed over
    const TStructureIdIndex index(list);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"12", "first 12"}, {"", "no id"},   {"a7", "lower"},  {"A7", "upper"},
        {" 5", "padded"},   {"5", "(none)"}, {"13", "(none)"}, {"12 ", "(none)"},
    };
    for (const auto& [id, expected] : cases) {
        EXPECT_EQ(NumberOf(index.Find(id)), expected) << '"' << id << '"';
    }
    EXPECT_EQ(NumberOf(TStructureIdIndex(TAReachData{}).Find("")), "(none)");
}

} // namespace
} // namespace kanvio
