#include "foundation/BigIniFile.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/UserDialogs.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {
namespace {

using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

TEST(ToolkitTextTest, ExtractField) {
    const std::string longField(250, 'x');
    struct Case {
        std::string text;
        int index;
        std::string expected;
    };
    const Case cases[] = {
        {"a;b;c", 0, "a"},
        {"a;b;c", 1, "b"},
        {"a;b;c", 2, "c"},
        {"a;b;c", 3, ""},
        {"a;b;c", 9, ""},
        {"a;b;c", -1, "a"},
        {"", 0, ""},
        {";;x", 2, "x"},
        {"a;;c", 1, ""},
        {" a ; b ", 1, " b "},
        {"a;" + longField + ";c", 1, std::string(200, 'x')}, // cut to 200 characters
        {"a;" + longField + ";c", 2, ""},                    // lost behind the cut
        {"a;" + std::string(198, 'y') + ";c", 2, "c"},       // just inside the window
        {"a;" + std::string(199, 'y') + ";c", 2, ""},        // the separator counts too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractField(c.text, c.index), c.expected)
            << c.text.substr(0, 20) << " #" << c.index;
    }
}

TEST(ToolkitTextTest, TrimLeadingBlanks) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"   ", " "},
        {"  x", "x"},
        {"x", "x"},
        {"", ""},
        {" ", " "},
        {" a b ", "a b "},
        {"\tx", "\tx"}, // only blanks count
        {std::string(254, ' ') + "z", "z"},
        {std::string(255, ' '), " "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimLeadingBlanks(c.text), c.expected) << "\"" << c.text << "\"";
    }
    EXPECT_THROW(TrimLeadingBlanks(std::string(256, ' ')), ERangeError);
    EXPECT_THROW(TrimLeadingBlanks(std::string(1000, 'a')), ERangeError);
}

TEST(ToolkitTextTest, PadTextAndTrim) {
    EXPECT_EQ(PadText("abc", 5), "abc  ");
    EXPECT_EQ(PadText("abcdef", 3), "abc");
    EXPECT_EQ(PadText("abc", 0), "");
    EXPECT_EQ(PadText("", 2), "  ");
    EXPECT_EQ(Trim("  \t a b \r\n"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0"); // no-break spaces are text
}

TEST(ToolkitScreenTest, KeepFormOnScreen) {
    struct Case {
        TFormGeometry form;
        TScreenArea screen;
        TFormGeometry expected;
    };
    const TScreenArea fullHd{1920, 1080, 0};
    const TScreenArea withTaskbar{1920, 1080, 40};
    const Case cases[] = {
        {{100, 100, 400, 500}, fullHd, {100, 100, 400, 500}},
        {{1920, 1080, 400, 500}, fullHd, {1920, 1080, 400, 500}}, // exactly at the edge: stays
        {{1921, 100, 400, 500}, fullHd, {1890, 100, 400, 500}},
        {{100, 1081, 400, 500}, fullHd, {100, 830, 400, 500}},
        {{100, 1041, 400, 501}, withTaskbar, {100, 790, 400, 501}}, // 1040 - 501 div 2
        {{100, 1040, 400, 500}, withTaskbar, {100, 1040, 400, 500}},
        {{5000, 5000, 300, 300}, withTaskbar, {1890, 890, 300, 300}},
        {{-500, -500, 300, 300}, fullHd, {-500, -500, 300, 300}}, // left and top are not checked
    };
    for (const auto& c : cases) {
        const TFormGeometry result = KeepFormOnScreen(c.form, c.screen);
        EXPECT_EQ(result.Left, c.expected.Left) << c.form.Left << "," << c.form.Top;
        EXPECT_EQ(result.Top, c.expected.Top) << c.form.Left << "," << c.form.Top;
        EXPECT_EQ(result.Width, c.expected.Width);
        EXPECT_EQ(result.Height, c.expected.Height);
    }
}

TEST(ToolkitPathTest, PathPartsAcceptBothSeparators) {
    struct Case {
        const char* path;
        const char* name;
        const char* dir;
    };
    const Case cases[] = {
        {"/a/b/c.mpg", "c.mpg", "/a/b"},
        {"a\\b\\c.mpg", "c.mpg", "a\\b"},
        {"films\\x/y.mpg", "y.mpg", "films\\x"},
        {"c.mpg", "c.mpg", ""},
        {"/c.mpg", "c.mpg", "/"},
        {"dir/", "", "dir"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(ExtractFileDir(c.path), c.dir) << c.path;
    }
    EXPECT_EQ(ToNativeSeparators("Filme\\Teil 1\\a.mpg"), "Filme/Teil 1/a.mpg");
}

TEST(ToolkitPathTest, FindFileIgnoringCase) {
    TempDir dir;
    WriteFile(dir / "Filme" / "Haltung1.MPG", "x");
    WriteFile(dir / "Kanvio.dat", "x");
    WriteFile(dir / "H\xC3\xA4ltung.mpg", "x"); // UTF-8 name on disk
    const std::string base = dir.folder();
    struct Case {
        std::string asked;
        std::string found;
    };
    const Case cases[] = {
        {base + "Filme/Haltung1.MPG", base + "Filme/Haltung1.MPG"},
        {base + "FILME/haltung1.mpg", base + "Filme/Haltung1.MPG"},
        {base + "filme\\HALTUNG1.mpg", base + "Filme/Haltung1.MPG"},
        {base + "KANVIO.DAT", base + "Kanvio.dat"},
        {base + "h\xC4LTUNG.MPG", base + "H\xC3\xA4ltung.mpg"}, // Windows-1252 name asked
        {base + "Filme/missing.mpg", base + "Filme/missing.mpg"},
        {base + "nowhere/Haltung1.MPG", base + "nowhere/Haltung1.MPG"},
        {base + "Kanvio.dat/inside", base + "Kanvio.dat/inside"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindFileIgnoringCase(c.asked), c.found) << c.asked;
    }
    // Two spellings of one name: the answer does not depend on the directory order.
    WriteFile(dir / "dup" / "b.TXT", "1");
    WriteFile(dir / "dup" / "B.txt", "2");
    EXPECT_EQ(FindFileIgnoringCase(base + "dup/b.txt"), base + "dup/B.txt");
    EXPECT_TRUE(FileExists(base + "Kanvio.dat"));
    EXPECT_FALSE(FileExists(base + "Filme"));
    EXPECT_FALSE(FileExists(base + "none"));
    EXPECT_FALSE(FileExists(""));
}

TEST(ToolkitPathTest, LocalFoldersAreNeitherDiscsNorNetworkDrives) {
    TempDir dir;
    EXPECT_FALSE(IsOnOpticalDisc(dir.folder()));
    EXPECT_FALSE(IsOnNetworkDrive(dir.folder()));
    EXPECT_FALSE(IsOnOpticalDisc(dir.folder() + "missing/"));
    EXPECT_FALSE(IsOnNetworkDrive(dir.folder() + "missing/"));
    EXPECT_FALSE(IsOnOpticalDisc("/proc/"));
}

TEST(ToolkitFolderTest, FoldersEndWithASeparator) {
    for (const std::string& folder :
         {GetProgramFolder(), GetDocumentsFolder(), GetPicturesFolder(), GetTempFolder()}) {
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '/') << folder;
    }
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(GetProgramFolder() + ExtractFileName(self), std::string(self));
    SetProgramFolderForTesting("/somewhere/else");
    EXPECT_EQ(GetProgramFolder(), "/somewhere/else/");
    SetProgramFolderForTesting("");
    EXPECT_EQ(GetProgramFolder() + ExtractFileName(self), std::string(self));
}

TEST(ToolkitVersionTest, VersionOfTheProgramAndOfOtherFiles) {
    const std::string full =
        std::to_string(KANVIO_VERSION_MAJOR) + "." + std::to_string(KANVIO_VERSION_MINOR) + "." +
        std::to_string(KANVIO_VERSION_PATCH) + "." + std::to_string(KANVIO_VERSION_TWEAK);
    EXPECT_EQ(GetVersionText("", false), full);
    EXPECT_EQ(GetVersionText("", true),
              std::to_string(KANVIO_VERSION_MAJOR) + "." + std::to_string(KANVIO_VERSION_MINOR));
    EXPECT_EQ(GetVersionText("/proc/self/exe", false), full);
    EXPECT_EQ(GetVersionText("/etc/hostname", true), "0.0");
    EXPECT_EQ(GetVersionText("/no/such/file", false), "0.0.0.0");
}

class ProgramSettingsTest : public test::IsolatedTest {};

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST_F(ProgramSettingsTest, MissingFileOrFolderInItsPlace) {
    bool writable = true;
    auto missing = OpenProgramSettings(writable);
    EXPECT_FALSE(writable);
    EXPECT_EQ(missing->FileName(), (env.programFolder() / "Kanvio.ini").string());
    missing.reset();
    EXPECT_FALSE(fs::exists(env.programFolder() / "Kanvio.ini"));

    fs::create_directory(env.programFolder() / "Kanvio.ini"); // not a file
    writable = true;
    EXPECT_THROW(OpenProgramSettings(writable), EInOutError);
    EXPECT_FALSE(writable);
}

TEST_F(ProgramSettingsTest, WritableIsAskedWithoutChangingTheFile) {
    struct Case {
        const char* name;
        mode_t fileMode;
        mode_t folderMode;
        bool writable;
    };
    const Case cases[] = {
        {"own file", 0644, 0755, true},
        {"copied from a disc", 0444, 0755, false},
        {"read-only folder", 0644, 0555, false},
    };
    for (const auto& c : cases) {
        const fs::path folder = env.programFolder() / c.name;
        fs::create_directory(folder);
        const auto path = WriteFile(folder / "KANVIO.INI", "[Common]\nlanguage=en\n");
        ::chmod(path.c_str(), c.fileMode);
        test::GiveToOrdinaryUser(folder);
        ::chmod(folder.c_str(), c.folderMode);
        SetProgramFolderForTesting(folder.string());

        const int result = test::RunAsOrdinaryUser([&] {
            bool writable = !c.writable;
            const auto settings = OpenProgramSettings(writable);
            const bool read = settings->FileName() == path.string() &&
                              settings->ReadString("common", "language", "") == "en";
            return read ? (writable ? 1 : 0) : 2;
        });
        EXPECT_EQ(result, c.writable ? 1 : 0) << c.name;
        EXPECT_EQ(ModeOf(path), c.fileMode) << c.name;
        EXPECT_EQ(test::ReadFile(path), "[Common]\nlanguage=en\n") << c.name;
        ::chmod(folder.c_str(), 0755);
    }
}

TEST(ConsoleDialogsTest, NeverWaitsForAnAnswer) {
    TConsoleDialogs dialogs;
    ::testing::internal::CaptureStderr();
    dialogs.ShowMessage(TMessageKind::Error, "Datei f\xFCr Haltung fehlt");
    EXPECT_FALSE(dialogs.AskYesNo("Weiter?"));
    EXPECT_FALSE(dialogs.AskSaveFileName("/tmp/", "a.jpg", "JPEG (*.jpg)").has_value());
    const std::string output = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("Datei f\xC3\xBCr Haltung fehlt"), std::string::npos) << output;
    EXPECT_NE(output.find("Weiter?"), std::string::npos);
}

} // namespace
} // namespace kanvio
