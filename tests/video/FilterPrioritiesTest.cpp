#include "video/FilterPriorities.h"

#include "foundation/RegistryManager.h"
#include "tests/video/VideoTestSupport.h"
#include "video/FfdshowSwitch.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

std::vector<std::string> ValueNamesOf(const std::string& key) {
    std::vector<std::string> names;
    if (OpenRegKey(key, false)) {
        ReadOpenKeyValueNames(names);
        CloseRegKey();
    }
    return names;
}

TEST_F(EngineTest, SavedPrioritiesComeBackInWriteOrder) {
    TFilterLists saved;
    saved.MPEG1 = {"Zeta decoder={00000000-0000-0000-0000-000000000009}",
                   "Alpha decoder={00000000-0000-0000-0000-000000000001}"};
    saved.MPEG2 = {"B={2}", "C={3}", "A={1}"};
    SaveFilterPriorities(saved);
    EXPECT_EQ(ValueNamesOf("FilterPriorities\\MPEG1"),
              (std::vector<std::string>{"Zeta decoder", "Alpha decoder"}));
    EXPECT_EQ(ValueNamesOf("FilterPriorities\\MPEG2"), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(ReadRegString("FilterPriorities\\MPEG2", "C", ""), "{3}");

    TFilterLists installed;
    installed.MPEG1 = {"Alpha decoder={00000000-0000-0000-0000-000000000001}", "Other={7}",
                       "Zeta decoder={00000000-0000-0000-0000-000000000009}"};
    installed.MPEG2 = {"a={1}", "b={2}", "c={3}", "d={4}"}; // letter case differs
    installed.MPEG4 = {"Only={5}"};
    const TFilterLists chosen = LoadFilterPriorities(installed, false);
    EXPECT_EQ(chosen.MPEG1, saved.MPEG1);
    EXPECT_EQ(chosen.MPEG2, (std::vector<std::string>{"b={2}", "c={3}", "a={1}"}));
    EXPECT_TRUE(chosen.MPEG4.empty());
    const TFilterLists all = LoadFilterPriorities(installed, true);
    EXPECT_EQ(all.MPEG1.back(), "Other={7}");
    EXPECT_EQ(all.MPEG2, (std::vector<std::string>{"b={2}", "c={3}", "a={1}", "d={4}"}));
    EXPECT_EQ(all.MPEG4, installed.MPEG4);

    // A second save replaces the lists: nothing of the first stays in between.
    saved.MPEG2 = {"A={1}"};
    saved.MPEG1.clear();
    SaveFilterPriorities(saved);
    EXPECT_EQ(ValueNamesOf("FilterPriorities\\MPEG2"), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(ValueNamesOf("FilterPriorities\\MPEG1").empty());
    EXPECT_EQ(LoadFilterPriorities(installed, false).MPEG2, (std::vector<std::string>{"a={1}"}));
}

TEST_F(EngineTest, RemovedDecodersAndOverlongListsAreLeftOutWithALogLine) {
    WriteRegString("FilterPriorities\\MPEG4", "Removed decoder", "{9}");
    WriteRegString("FilterPriorities\\MPEG4", "B", "{2}");
    WriteRegString("FilterPriorities\\MPEG4", "A", "{1}");
    TFilterLists installed;
    installed.MPEG4 = {"A={1}", "B={2}", "C={3}"};
    EXPECT_EQ(LoadFilterPriorities(installed, false).MPEG4,
              (std::vector<std::string>{"B={2}", "A={1}"}));
    EXPECT_EQ(LoadFilterPriorities(installed, true).MPEG4,
              (std::vector<std::string>{"B={2}", "A={1}", "C={3}"}));
    EXPECT_TRUE(LogHas("FilterPriorities\\MPEG4: the decoder \"Removed decoder={9}\" is not "
                       "installed and left out"));
    EXPECT_EQ(ValueNamesOf("FilterPriorities\\MPEG4").size(), 3u) << "kept until the next save";

    // Two-digit positions order 100 entries; the 101st cannot be placed among them.
    TFilterLists many;
    for (int i = 100; i >= 0; --i)
        many.MPEG1.push_back("D" + std::to_string(1000 + i) + "={" + std::to_string(i) + "}");
    SaveFilterPriorities(many);
    installed.MPEG1 = many.MPEG1;
    std::sort(installed.MPEG1.begin(), installed.MPEG1.end());
    const std::vector<std::string> loaded = LoadFilterPriorities(installed, false).MPEG1;
    ASSERT_EQ(loaded.size(), 100u);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), many.MPEG1.begin()));
    EXPECT_TRUE(LogHas("FilterPriorities\\MPEG1: the entry \"D1000={0}\" at position 101 is out "
                       "of range and left out"));
    // Listed with the unsaved decoders, it is not lost.
    const std::vector<std::string> all = LoadFilterPriorities(installed, true).MPEG1;
    EXPECT_EQ(all.size(), 101u);
    EXPECT_NE(std::find(all.begin(), all.end(), "D1000={0}"), all.end());
}

TEST_F(EngineTest, SystemDecodersRoundTripAndDriveStrategyPriorities) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    TFilterLists installed;
    engine.EnumDecoders(installed);
    ASSERT_GE(installed.MPEG2.size(), 2u);
    TFilterLists reversed = installed;
    for (auto* list : {&reversed.MPEG1, &reversed.MPEG2, &reversed.MPEG4})
        std::reverse(list->begin(), list->end());
    SaveFilterPriorities(reversed);
    const TFilterLists loaded = LoadFilterPriorities(installed, false);
    EXPECT_EQ(loaded, reversed);
    engine.SetPriorityLists(loaded);
    for (const char* film : {"mpeg1.mpg", "mpeg2.mpg", "h264.mp4"})
        EXPECT_EQ(engine.LoadMovie(Film(film), lsPriorities), S_OK) << film << LogText();
}

TEST_F(EngineTest, DecoderSwitchRemovesOnlyWhatItMade) {
    const char* const ffdshow = "\\Software\\GNU\\ffdshow";
    const struct {
        const char* what;
        const char* otherKey; // written before, must survive
        const char* otherValue;
        bool parentRemains;
    } cases[] = {
        {"nothing else under GNU", nullptr, nullptr, false},
        {"another program's key under GNU", "\\Software\\GNU\\other", "setting", true},
        {"a value of GNU itself", "\\Software\\GNU", "own", true},
    };
    for (const auto& c : cases) {
        DeleteRegKey("\\Software");
        if (c.otherKey)
            WriteRegString(c.otherKey, c.otherValue, "1");
        {
            TFfdshowSwitch on;
            EXPECT_EQ(ReadRegInteger(ffdshow, "divx", -5), 1) << c.what;
        }
        EXPECT_FALSE(OpenRegKey(ffdshow, false)) << c.what;
        EXPECT_EQ(OpenRegKey("\\Software\\GNU", false), c.parentRemains) << c.what;
        CloseRegKey();
        if (c.otherKey) {
            EXPECT_EQ(ReadRegString(c.otherKey, c.otherValue, ""), "1") << c.what;
        }
    }
}

} // namespace
} // namespace kanvio::test
