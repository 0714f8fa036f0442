// Every language key the program asks for must be in each shipped language file, or the
// user would see the bare key.

#include "foundation/BigIniFile.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace kanvio::test {
namespace {

std::set<std::string> KeysUsedBySource() {
    const std::regex key("\"(_[A-Z0-9][A-Za-z0-9]*)\"");
    std::set<std::string> keys;
    const std::filesystem::path root = KANVIO_SOURCE_DIR;
    for (const char* folder : {"foundation", "core", "datasources", "video", "ui"}) {
        if (!std::filesystem::exists(root / folder)) {
            continue;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const auto extension = entry.path().extension();
            if (extension != ".cpp" && extension != ".h") {
                continue;
            }
            const std::string text = ReadFile(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), key), end; it != end; ++it) {
                keys.insert((*it)[1]);
            }
        }
    }
    return keys;
}

class LanguageFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LanguageFileTest, HoldsEveryKeyTheProgramUses) {
    const std::string code = GetParam();
    const std::filesystem::path file = std::filesystem::path(KANVIO_SOURCE_DIR) / "medium" / code /
                                       ("lang_kanvio_" + code + ".ini");
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    TBigIniFile language(file.string());
    const auto keys = KeysUsedBySource();
    ASSERT_GT(keys.size(), 40u);
    for (const std::string& key : keys) {
        EXPECT_NE(language.ReadString("Messages", key, ""), "") << key << " missing in " << file;
    }
}

TEST_P(LanguageFileTest, HasNoKeyTwice) {
    const std::string code = GetParam();
    const std::filesystem::path file = std::filesystem::path(KANVIO_SOURCE_DIR) / "medium" / code /
                                       ("lang_kanvio_" + code + ".ini");
    TBigIniFile language(file.string());
    std::vector<std::string> keys;
    language.ReadSection("Messages", keys);
    const std::set<std::string> unique(keys.begin(), keys.end());
    EXPECT_EQ(unique.size(), keys.size());
    EXPECT_GT(keys.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageFileTest, ::testing::Values("de", "en"));

// A double-click on the picture never switches to full screen: in the three windows it
// sizes the video window to the film, in the single window it enlarges the picture. No
// sentence of a help file may tie the two together.
TEST(HelpFileTest, DoubleClickIsNotDescribedAsFullScreen) {
    const std::filesystem::path medium = std::filesystem::path(KANVIO_SOURCE_DIR) / "medium";
    const std::regex doubleClick("Doppelklick|double-click", std::regex::icase);
    const std::regex fullScreen("Vollbild|full screen", std::regex::icase);
    for (const char* name : {"de/help.html", "de/help_de.html", "en/help_en.html"}) {
        const std::string text = ReadFile(medium / name);
        size_t start = 0;
        int mentions = 0;
        while (start < text.size()) {
            size_t end = text.find_first_of(".;", start);
            end = end == std::string::npos ? text.size() : end + 1;
            const std::string sentence = text.substr(start, end - start);
            if (std::regex_search(sentence, doubleClick)) {
                ++mentions;
                EXPECT_FALSE(std::regex_search(sentence, fullScreen)) << name << ": " << sentence;
            }
            start = end;
        }
        EXPECT_GE(mentions, 2) << name << " describes the double-click of both layouts";
    }
}

} // namespace
} // namespace kanvio::test
