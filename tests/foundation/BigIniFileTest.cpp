#include "foundation/BigIniFile.h"

#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace kanvio {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> SectionNames(const TBigIniFile& ini) {
    std::vector<std::string> names;
    ini.ReadSections(names);
    return names;
}

std::vector<std::string> Lines(const TBigIniFile& ini, std::string_view section) {
    std::vector<std::string> lines;
    ini.ReadSectionValues(section, lines);
    return lines;
}

using Names = std::vector<std::string>;

struct ReadCase {
    const char* name;
    std::string bytes;
    Names sections;
    Names firstSectionLines;
    bool modified;
};

void PrintTo(const ReadCase& param, std::ostream* out) {
    *out << param.name;
}

class BigIniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BigIniReadTest, ReadsTheFileAsWritten) {
    TempDir dir;
    const auto& param = GetParam();
    const auto path = WriteFile(dir / "Kanvio.ini", param.bytes);
    TBigIniFile ini(path.string());
    EXPECT_EQ(SectionNames(ini), param.sections);
    if (!param.sections.empty()) {
        EXPECT_EQ(Lines(ini, param.sections.front()), param.firstSectionLines);
    }
    EXPECT_EQ(ini.Modified(), param.modified);
}

const std::string kLongValue(100 * 1024, 'v');

INSTANTIATE_TEST_SUITE_P(
    OddFiles, BigIniReadTest,
    ::testing::Values(
        ReadCase{"Empty", "", {}, {}, false},
        ReadCase{"LfLines", "[A]\nx=1\ny=2\n", {"A"}, {"x=1", "y=2"}, false},
        ReadCase{"CrLfLines", "[A]\r\nx=1\r\ny=2\r\n", {"A"}, {"x=1", "y=2"}, false},
        ReadCase{"MixedEndings", "[A]\r\nx=1\ny=2\r\n", {"A"}, {"x=1", "y=2"}, false},
        ReadCase{"LoneCrStaysInLine", "[A]\nx=1\ry=2\n", {"A"}, {"x=1\ry=2"}, false},
        ReadCase{"NoFinalNewline", "[A]\nx=1", {"A"}, {"x=1"}, false},
        ReadCase{"CrAtEndWithoutLf", "[A]\nx=1\r", {"A"}, {"x=1\r"}, false},
        ReadCase{"LinesBeforeFirstSectionUnread", "x=0\n;c\n[A]\nx=1\n", {"A"}, {"x=1"}, false},
        ReadCase{"EmptyLinesSkipped", "\n\n[A]\n\n\nx=1\n\n", {"A"}, {"x=1"}, false},
        ReadCase{"CtrlZEndsText", "[A]\nx=1\n\x1A\n[B]\ny=2\n", {"A"}, {"x=1"}, false},
        ReadCase{"CtrlZInsideLineEndsText", "[A]\nx=1\ny=2\x1Az=3\n", {"A"}, {"x=1", "y=2"}, false},
        ReadCase{"SectionNamesNotTrimmed", "[ A ]\nx=1\n[]\ny=2\n", {" A ", ""}, {"x=1"}, false},
        ReadCase{
            "HeaderNeedsBothBrackets", "[A]\n[B\nC]\n [D]\n", {"A"}, {"[B", "C]", " [D]"}, false},
        ReadCase{"OtherLinesKeptAsTheyAre",
                 "[A]\n; comment\nno equals\n key = \"v\" \n",
                 {"A"},
                 {"; comment", "no equals", " key = \"v\" "},
                 false},
        ReadCase{"LaterDuplicatesInvisible",
                 "[DATA]\na=1\n[Other]\nb=2\n[data]\na=3\nc=4\n",
                 {"DATA", "Other"},
                 {"a=1"},
                 false},
        ReadCase{"HighBytes",
                 "[F\xC4LLE]\nk\xFC=\xE4\xF6\x80\n",
                 {"F\xC4LLE"},
                 {"k\xFC=\xE4\xF6\x80"},
                 false},
        ReadCase{
            "NulBytes", std::string("[A]\nx=a\0b\n", 10), {"A"}, {std::string("x=a\0b", 5)}, false},
        ReadCase{"LongLine", "[A]\nk=" + kLongValue + "\n", {"A"}, {"k=" + kLongValue}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BigIniFileTest, MissingFileAndEmptyNameGiveEmptyObjects) {
    TempDir dir;
    TBigIniFile missing((dir / "none.ini").string());
    EXPECT_TRUE(SectionNames(missing).empty());
    EXPECT_FALSE(missing.Modified());
    TBigIniFile unnamed("");
    unnamed.WriteString("A", "x", "1");
    EXPECT_EQ(unnamed.ReadString("A", "x", ""), "1");
    unnamed.UpdateFile(); // nothing on disk, but the flag clears
    EXPECT_FALSE(unnamed.Modified());
}

TEST(BigIniFileTest, FileThatCannotBeReadIsAnError) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_THROW(TBigIniFile((dir / "folder.ini").string()), EInOutError);
    try {
        TBigIniFile ini((dir / "folder.ini").string());
    } catch (const EInOutError& error) {
        EXPECT_NE(std::string(error.what()).find("folder.ini"), std::string::npos);
    }
}

TEST(BigIniFileTest, LookupsFollowTheKeyRules) {
    TempDir dir;
    const auto path = WriteFile(dir / "a.ini", "[Data]\n"
                                               "Name=first\n"
                                               "name=second\n"
                                               " Spaced = x\n"
                                               "NoEquals\n"
                                               "=empty key\n"
                                               "Path=a=b\n"
                                               "Empty=\n"
                                               "Umlaut\xC4=big\n");
    TBigIniFile ini(path.string());
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"Data", "Name", "first"},         // the first line counts
        {"DATA", "NAME", "first"},         // names compare without case
        {"Data", "Spaced", "<default>"},   // keys are not trimmed
        {"Data", " Spaced ", " x"},        // neither are values
        {"Data", "NoEquals", "<default>"}, // a line without "=" has no key
        {"Data", "Path", "a=b"},           // the first "=" splits
        {"Data", "Empty", ""},
        {"Data", "umlaut\xE4", "big"},
        {"Missing", "Name", "<default>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected)
            << c.section << "/" << c.key;
    }
    std::vector<std::string> keys;
    ini.ReadSection("data", keys);
    EXPECT_EQ(keys, (Names{"Name", "name", " Spaced ", "", "Path", "Empty", "Umlaut\xC4"}));
}

TEST(BigIniFileTest, SectionSearchFindsEverySectionFromAnyStartingPoint) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    }
    TBigIniFile ini(WriteFile(dir / "a.ini", text).string());
    // Jump back and forth so that every search wraps at some point.
    for (int i : {49, 0, 25, 24, 26, 3, 48, 1, 49, 49}) {
        EXPECT_EQ(ini.ReadInteger("s" + std::to_string(i), "K", -1), i);
    }
    EXPECT_FALSE(ini.SectionExists("S50"));
    EXPECT_TRUE(ini.SectionExists("S7"));

    TSectionList list;
    for (const char* name : {"a", "b", "c"}) {
        list.Append(name);
    }
    EXPECT_EQ(list.IndexOf("C"), 2);
    EXPECT_EQ(list.IndexOf("A"), 0);
    EXPECT_EQ(list.IndexOf("b"), 1);
    EXPECT_EQ(list.IndexOf("d"), -1);
    list.Erase(2);
    EXPECT_EQ(list.IndexOf("c"), -1);
    EXPECT_EQ(list.IndexOf("a"), 0);
}

TEST(BigIniFileTest, ReadIntegerConvertsLikeTheSettingsExpect) {
    struct Case {
        const char* text;
        int32_t expected;
    };
    const int32_t d = -77;
    const Case cases[] = {
        {"0x1A", 26},
        {"0X1A", 26},
        {"$1A", 26},
        {"$1a", 26},
        {"12", 12},
        {" 12", 12},
        {"   -12", -12},
        {"+7", 7},
        {"-$10", -16},
        {"12abc", d},
        {"12 ", d},
        {"", d},
        {" ", d},
        {"-", d},
        {"$", d},
        {"0x", d},
        {" 0x1A", d},
        {"-0x1A", d},
        {"1.5", d},
        {"abc", d},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", d},
        {"-2147483649", d},
        {"$7FFFFFFF", INT32_MAX},
        {"$80000000", d},
        {"99999999999999999999", d},
        {"007", 7},
    };
    TBigIniFile ini("");
    for (const auto& c : cases) {
        ini.WriteString("N", "v", c.text);
        EXPECT_EQ(ini.ReadInteger("N", "v", d), c.expected) << "\"" << c.text << "\"";
    }
    EXPECT_EQ(ini.ReadInteger("N", "missing", 5), 5);
    ini.WriteString("N", "b", "0");
    EXPECT_FALSE(ini.ReadBool("N", "b", true));
    ini.WriteString("N", "b", "$10");
    EXPECT_TRUE(ini.ReadBool("N", "b", false));
    ini.WriteString("N", "b", "yes");
    EXPECT_TRUE(ini.ReadBool("N", "b", true));
    EXPECT_FALSE(ini.ReadBool("N", "b", false));
}

TEST(BigIniFileTest, WriteStringSetsTheModifiedFlagOnlyForRealChanges) {
    TempDir dir;
    const std::string original = "[Common]\nlanguage=de\n";
    const auto path = WriteFile(dir / "Kanvio.ini", original);
    {
        TBigIniFile ini(path.string());
        ini.WriteString("COMMON", "LANGUAGE", "de"); // key in other case, same value? no:
        // the whole line differs ("LANGUAGE=de"), so it is replaced with the caller's spelling.
        EXPECT_TRUE(ini.Modified());
    }
    EXPECT_EQ(ReadFile(path), "[Common]\r\nLANGUAGE=de\r\n\r\n");

    WriteFile(path, original);
    {
        TBigIniFile ini(path.string());
        ini.WriteString("common", "language", "de");
        EXPECT_FALSE(ini.Modified());
        ini.WriteInteger("Common", "language", 0); // different value
        EXPECT_TRUE(ini.Modified());
        EXPECT_EQ(ini.ReadString("Common", "language", ""), "0");
        ini.WriteString("Common", "language", "de");
        ini.UpdateFile();
        EXPECT_FALSE(ini.Modified());
        ini.WriteString("Common", "language", "DE"); // differs only in case: still a change
        EXPECT_TRUE(ini.Modified());
    }
    EXPECT_EQ(ReadFile(path), "[Common]\r\nlanguage=DE\r\n\r\n");
}

TEST(BigIniFileTest, ReadingNeverChangesTheFileOnDisk) {
    TempDir dir;
    const std::string original = "junk\n[A]\nx=1\n\n\n[Empty]\n[B]\r\n; c\ry\n";
    const auto path = WriteFile(dir / "Kanvio.ini", original);
    {
        TBigIniFile ini(path.string());
        ini.ReadString("A", "x", "");
        ini.WriteString("A", "x", "1");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFile(path), original);
}

TEST(BigIniFileTest, WriteStringWithAnEmptyKey) {
    TBigIniFile ini("");
    ini.WriteString("A", "x", "1");
    ini.WriteString("B", "y", "2");
    ini.UpdateFile();

    ini.WriteString("A", "", ""); // section given: erased
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_TRUE(ini.Modified());
    ini.UpdateFile();

    ini.WriteString("", "", "value"); // value given: the section named "" is erased
    ini.WriteString("", "z", "3");
    ini.WriteString("", "", "value");
    EXPECT_FALSE(ini.SectionExists(""));
    EXPECT_TRUE(ini.SectionExists("B"));
}

TEST(BigIniFileTest, WriteStringWithEverythingEmptyWritesTheFile) {
    TempDir dir;
    const auto path = dir / "new.ini";
    TBigIniFile ini(path.string());
    ini.WriteString("A", "x", "1");
    EXPECT_FALSE(std::filesystem::exists(path));
    ini.WriteString("", "", "");
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\n\r\n");
    EXPECT_FALSE(ini.Modified());
}

TEST(BigIniFileTest, NewSectionsAndKeysGoToTheEnd) {
    TBigIniFile ini("");
    ini.WriteString("First", "a", "1");
    ini.WriteString("Second", "b", "2");
    ini.WriteString("first", "c", "3");
    EXPECT_EQ(SectionNames(ini), (Names{"First", "Second"}));
    EXPECT_EQ(Lines(ini, "First"), (Names{"a=1", "c=3"}));
}

TEST(BigIniFileTest, EraseSectionAndDeleteKey) {
    TempDir dir;
    const auto path = WriteFile(dir / "a.ini", "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    TBigIniFile ini(path.string());
    ini.EraseSection("missing");
    ini.DeleteKey("A", "missing");
    ini.DeleteKey("missing", "x");
    EXPECT_FALSE(ini.Modified());

    EXPECT_EQ(ini.ReadString("C", "w", ""), "4"); // the last hit is the last section
    ini.EraseSection("c");
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1"); // searches still work after the erase
    EXPECT_EQ(ini.ReadString("B", "z", ""), "3");

    ini.DeleteKey("a", "X");
    EXPECT_EQ(ini.ReadString("A", "x", "gone"), "gone");
    ini.UpdateFile();
    // Only the changed section is written anew; B stays as it stood.
    EXPECT_EQ(ReadFile(path), "[A]\r\ny=2\r\n\r\n[B]\nz=3\n");
}

TEST(BigIniFileTest, UpdateFileKeepsSectionsWithoutLines) {
    TempDir dir;
    const auto path = WriteFile(dir / "Kanvio.ini", "[FILME]\n[DATA]\nx=1\n");
    TBigIniFile ini(path.string());
    EXPECT_TRUE(ini.SectionExists("FILME"));
    ini.WriteString("DATA", "x", "2");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(path), "[FILME]\n[DATA]\r\nx=2\r\n\r\n");
    EXPECT_TRUE(TBigIniFile(path.string()).SectionExists("FILME"));
}

TEST(BigIniFileTest, SectionEmptiedByTheProgramIsLeftOut) {
    TempDir dir;
    const auto path = WriteFile(dir / "Kanvio.ini", "[A]\nx=1\n[B]\ny=2\n");
    TBigIniFile ini(path.string());
    ini.DeleteKey("A", "x");
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(path), "[B]\ny=2\n");
}

TEST(BigIniFileTest, WrittenFilesReadBackTheSame) {
    TempDir dir;
    const auto path = dir / "round.ini";
    const std::vector<std::pair<std::string, std::string>> values = {
        {"plain", "text"},   {"blank", ""},      {"spaces", "  both  "},
        {"equals", "a=b=c"}, {"quote", "\"q\""}, {"high", "\xE4\xF6\xFC\xDF\x80\xFF"},
        {"semicolon", ";x"}, {"bracket", "[y]"}, {"long", std::string(30000, 'z')}};
    {
        TBigIniFile ini(path.string());
        for (const auto& [key, value] : values) {
            ini.WriteString("S\xC4", key, value);
        }
    }
    TBigIniFile again(path.string());
    for (const auto& [key, value] : values) {
        EXPECT_EQ(again.ReadString("s\xE4", key, "<none>"), value) << key;
    }
    EXPECT_FALSE(again.Modified());
}

// A plain model of the lookup rules: first line whose key matches without regard to case.
std::string ModelRead(const TBigIniFile& ini, const std::string& section, const std::string& key) {
    std::vector<std::string> lines;
    ini.ReadSectionValues(section, lines);
    for (const auto& line : lines) {
        const auto equals = line.find('=');
        if (equals != std::string::npos &&
            AsciiLowerCase(line.substr(0, equals)) == AsciiLowerCase(key)) {
            return line.substr(equals + 1);
        }
    }
    return "<default>";
}

TEST(BigIniFileTest, LongSectionsAnswerLikeShortOnesThroughEveryChange) {
    std::string text;
    for (const char* section : {"FILME", "Short", "TIMECORR_1"}) {
        text += std::string("[") + section + "]\n";
        const int lines = std::string(section) == "Short" ? 5 : 300;
        for (int i = 0; i < lines; ++i) {
            text += "Key" + std::to_string(i % 250) + "=" + section + std::to_string(i) + "\n";
        }
    }
    TempDir dir;
    TBigIniFile ini(WriteFile(dir / "a.ini", text).string());
    std::mt19937 random(4711);
    const char* sections[] = {"FILME", "filme", "Short", "TIMECORR_1", "New"};
    for (int step = 0; step < 3000; ++step) {
        const std::string section = sections[random() % 5];
        // Few keys, so that reads meet earlier writes: 0..9 exist twice, 250..259 are new.
        const unsigned pick = random() % 25;
        const unsigned number = pick < 10 ? pick : 235 + pick;
        const std::string key = (random() % 2 ? "KEY" : "key") + std::to_string(number);
        switch (random() % 10) {
        case 0:
            ini.WriteString(section, key, "w" + std::to_string(step));
            break;
        case 1:
            ini.DeleteKey(section, key);
            break;
        case 2:
            if (random() % 20 == 0) {
                ini.EraseSection(section);
            }
            break;
        default:
            ASSERT_EQ(ini.ReadString(section, key, "<default>"), ModelRead(ini, section, key))
                << "step " << step << " " << section << "/" << key;
        }
    }
}

TEST(BigIniFileTest, LongSectionSeesEveryChangeAtOnce) {
    TBigIniFile ini("");
    for (int i = 0; i < 100; ++i) {
        ini.WriteString("FILME", "Film" + std::to_string(i), std::to_string(i));
    }
    ini.WriteString("Other", "x", "1");
    EXPECT_EQ(ini.ReadString("filme", "FILM50", ""), "50");
    ini.WriteString("FILME", "Added", "new");
    EXPECT_EQ(ini.ReadString("FILME", "added", ""), "new");
    ini.WriteString("FILME", "film50", "changed");
    EXPECT_EQ(ini.ReadString("FILME", "Film50", ""), "changed");
    ini.DeleteKey("FILME", "Film50");
    EXPECT_EQ(ini.ReadString("FILME", "Film50", "gone"), "gone");
    EXPECT_EQ(ini.ReadString("FILME", "Film51", ""), "51");
    ini.EraseSection("FILME");
    EXPECT_EQ(ini.ReadString("Other", "x", ""), "1");
    EXPECT_EQ(ini.ReadString("FILME", "Film51", "gone"), "gone");
}

TEST(BigIniFileTest, FailedWriteIsReportedAndKeepsTheChanges) {
    TempDir dir;
    WriteFile(dir / "plain-file", "x");
    const auto path =
        dir / "plain-file" / "Kanvio.ini"; // a folder that is a file: fails for root too
    TBigIniFile ini(path.string());
    ini.WriteString("A", "x", "1");
    try {
        ini.UpdateFile();
        FAIL() << "the write reported success";
    } catch (const EInOutError& error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos);
    }
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
}

TEST(BigIniFileTest, DestructorSwallowsAFailedWrite) {
    TempDir dir;
    WriteFile(dir / "plain-file", "x");
    EXPECT_NO_THROW({
        TBigIniFile ini((dir / "plain-file" / "a.ini").string());
        ini.WriteString("A", "x", "1");
    });
}

} // namespace
} // namespace kanvio
