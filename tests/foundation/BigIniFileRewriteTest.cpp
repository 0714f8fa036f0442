// What a settings file looks like after the program wrote it: the user's and the
// contractor's lines survive, only the changed sections are written anew.

#include "foundation/BigIniFile.h"
#include "foundation/Errors.h"
#include "tests/support/TempDir.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kanvio {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Names = std::vector<std::string>;

struct RewriteCase {
    const char* name;
    std::string original;
    std::function<void(TBigIniFile&)> change;
    std::string written;
    // section, key, value that a fresh load of the written file must read
    std::vector<std::array<std::string, 3>> reads;
};

void PrintTo(const RewriteCase& param, std::ostream* out) {
    *out << param.name;
}

class BigIniRewriteTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(BigIniRewriteTest, WritesOnlyWhatChanged) {
    TempDir dir;
    const auto& param = GetParam();
    const auto path = WriteFile(dir / "Kanvio.ini", param.original);
    {
        TBigIniFile ini(path.string());
        EXPECT_FALSE(ini.Modified());
        param.change(ini);
        for (const auto& [section, key, value] : param.reads) {
            EXPECT_EQ(ini.ReadString(section, key, "<none>"), value) << section << "/" << key;
        }
        ini.UpdateFile();
        // What stays in memory reads like the file on disk.
        for (const auto& [section, key, value] : param.reads) {
            EXPECT_EQ(ini.ReadString(section, key, "<none>"), value) << section << "/" << key;
        }
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_EQ(ReadFile(path), param.written);
    TBigIniFile again(path.string());
    for (const auto& [section, key, value] : param.reads) {
        EXPECT_EQ(again.ReadString(section, key, "<none>"), value) << section << "/" << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BigIniRewriteTest,
    ::testing::Values(
        RewriteCase{"LinesBeforeTheFirstSectionAndComments",
                    "; delivered by the contractor\nx=0\n\n[DATA]\n; units: m\nFilmLength=1\n\n"
                    "[Other]\r\nk=v\r\n",
                    [](TBigIniFile& ini) { ini.WriteInteger("DATA", "FilmLength", 2); },
                    "; delivered by the contractor\nx=0\n\n[DATA]\r\n; units: m\r\nFilmLength=2\r\n"
                    "\r\n[Other]\r\nk=v\r\n",
                    {{"DATA", "FilmLength", "2"}, {"Other", "k", "v"}, {"DATA", "x", "<none>"}}},
        RewriteCase{
            "WritesGoToTheFirstOfSeveralSectionsOfOneName",
            "[common]\na=1\n; c\n[Debug]\nLogLevel=0\n[Common]\nb=2\n; d\n\n",
            [](TBigIniFile& ini) { ini.WriteString("COMMON", "b", "3"); },
            "[common]\r\na=1\r\n; c\r\nb=3\r\n\r\n[Debug]\nLogLevel=0\n[Common]\nb=2\n; d\n\n",
            {{"Common", "a", "1"}, {"common", "b", "3"}, {"Debug", "LogLevel", "0"}}},
        RewriteCase{"KeyOnlyTheHiddenSectionHoldsIsNotThere",
                    "[A]\nk=1\n[a]\nk=2\nj=5\n",
                    [](TBigIniFile& ini) { ini.DeleteKey("a", "j"); }, // j is only in the later
                    "[A]\nk=1\n[a]\nk=2\nj=5\n",
                    {{"a", "k", "1"}, {"A", "j", "<none>"}}},
        RewriteCase{"ErasingTheFirstUncoversTheNext",
                    "[A]\nk=1\n[B]\nx=1\n[a]\nk=2\n",
                    [](TBigIniFile& ini) { ini.EraseSection("A"); },
                    "[B]\nx=1\n[a]\nk=2\n",
                    {{"A", "k", "2"}, {"B", "x", "1"}}},
        RewriteCase{"NewSectionAfterALastLineWithoutItsEnd",
                    "x\n[A]\nk=1",
                    [](TBigIniFile& ini) { ini.WriteString("B", "y", "2"); },
                    "x\n[A]\nk=1\r\n[B]\r\ny=2\r\n\r\n",
                    {{"A", "k", "1"}, {"B", "y", "2"}}},
        RewriteCase{"NewSectionAfterOnlyAComment",
                    "; only a comment",
                    [](TBigIniFile& ini) { ini.WriteString("A", "k", "1"); },
                    "; only a comment\r\n[A]\r\nk=1\r\n\r\n",
                    {{"A", "k", "1"}}},
        RewriteCase{"TextFromCtrlZOnStaysBehindTheSections",
                    "[A]\nk=1\n\x1A[B]\nj=2\n",
                    [](TBigIniFile& ini) {
                        ini.WriteString("A", "k", "5");
                        ini.WriteString("C", "n", "6");
                    },
                    "[A]\r\nk=5\r\n\r\n[C]\r\nn=6\r\n\r\n\x1A[B]\nj=2\n",
                    {{"A", "k", "5"}, {"C", "n", "6"}, {"B", "j", "<none>"}}},
        RewriteCase{"CtrlZInsideALine",
                    "[A]\nk=1\x1Atail",
                    [](TBigIniFile& ini) { ini.WriteString("B", "y", "2"); },
                    "[A]\nk=1\r\n[B]\r\ny=2\r\n\r\n\x1Atail",
                    {{"A", "k", "1"}, {"B", "y", "2"}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FileIdentity {
    ino_t inode = 0;
    timespec modified{};
};

FileIdentity IdentityOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_mtim};
}

void ExpectSameFile(const FileIdentity& before, const FileIdentity& after) {
    EXPECT_EQ(before.inode, after.inode);
    EXPECT_EQ(before.modified.tv_sec, after.modified.tv_sec);
    EXPECT_EQ(before.modified.tv_nsec, after.modified.tv_nsec);
}

TEST(BigIniFileTest, DuplicateSectionsReadAsTheFirstAndStayInTheFile) {
    TempDir dir;
    const std::string original = "; header\r\n[common]\nLengthUnit=m\n[Debug]\nLogLevel=1\n"
                                 "[Common]\n; the second one\nlanguage=en\nLengthUnit=ft\n";
    const auto path = WriteFile(dir / "Kanvio.ini", original);
    const FileIdentity before = IdentityOf(path);
    {
        TBigIniFile ini(path.string());
        EXPECT_FALSE(ini.Modified());
        EXPECT_EQ(ini.ReadString("COMMON", "LengthUnit", ""), "m");
        EXPECT_EQ(ini.ReadString("Common", "language", "de"), "de");
        Names names;
        ini.ReadSections(names);
        EXPECT_EQ(names, (Names{"common", "Debug"}));
        std::vector<std::string> keys;
        ini.ReadSection("Common", keys);
        EXPECT_EQ(keys, (Names{"LengthUnit"}));
        ini.WriteString("Common", "LengthUnit", "m"); // the same value: no change
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFile(path), original);
    ExpectSameFile(before, IdentityOf(path));
}

TEST(BigIniFileTest, ReadOnlyObjectKeepsChangesInMemoryOnly) {
    TempDir dir;
    const std::string original = "[DATA]\nLinear=1\n";
    const auto path = WriteFile(dir / "Kanvio.ini", original);
    {
        TBigIniFile ini(path.string(), TIniAccess::ReadOnly);
        EXPECT_TRUE(ini.ReadOnly());
        ini.WriteString("DATA", "Linear", "2");
        EXPECT_EQ(ini.ReadString("DATA", "Linear", ""), "2");
        try {
            ini.UpdateFile();
            ADD_FAILURE() << "a read-only object wrote its file";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.fileName(), path.string());
        }
        EXPECT_TRUE(ini.Modified());
    }
    EXPECT_EQ(ReadFile(path), original);

    {
        TBigIniFile ini(path.string());
        ini.WriteString("DATA", "Linear", "3");
        ini.MakeReadOnly(); // as after a failed write that was reported once
    }
    EXPECT_EQ(ReadFile(path), original);
}

TEST(BigIniFileTest, SettingsFromBytesReadLikeAFileAndWriteNothing) {
    const std::string bytes = "junk\n[A]\r\nx=1\n[a]\nx=2\n[B]\ny=\x1A[C]\nz=3\n";
    TempDir dir;
    TBigIniFile fromFile(WriteFile(dir / "a.ini", bytes).string());
    const auto fromBytes = TBigIniFile::FromBytes(bytes);
    EXPECT_TRUE(fromBytes->FileName().empty());
    EXPECT_EQ(fromBytes->Text(), bytes); // untouched, it would be written back as it is
    Names fileNames;
    Names byteNames;
    fromFile.ReadSections(fileNames);
    fromBytes->ReadSections(byteNames);
    EXPECT_EQ(byteNames, fileNames);
    EXPECT_EQ(byteNames, (Names{"A", "B"}));
    EXPECT_EQ(fromBytes->ReadString("a", "x", ""), "1");
    fromBytes->WriteString("A", "x", "5");
    EXPECT_NO_THROW(fromBytes->UpdateFile()); // nowhere to write: nothing happens
    EXPECT_EQ(fromBytes->ReadString("A", "x", ""), "5");
}

} // namespace
} // namespace kanvio
