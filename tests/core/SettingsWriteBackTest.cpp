// What the player leaves of a delivery's settings files: the shut-down values and nothing
// else, and nothing at all after a command without windows.

#include "foundation/BigIniFile.h"
#include "foundation/RegistryManager.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/foundation/OrdinaryUser.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;

// Every entry below a folder with what would show a change to it.
struct EntryState {
    std::string bytes;
    mode_t mode = 0;
    ino_t inode = 0;
    int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    bool operator==(const EntryState&) const = default;
};

std::map<std::string, EntryState> Snapshot(const fs::path& folder) {
    std::map<std::string, EntryState> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        EntryState state{{},
                         info.st_mode,
                         info.st_ino,
                         static_cast<int64_t>(info.st_mtim.tv_sec),
                         info.st_mtim.tv_nsec};
        if (S_ISREG(info.st_mode)) {
            state.bytes = ReadFile(entry.path());
        }
        entries.emplace(fs::relative(entry.path(), folder).string(), state);
    }
    return entries;
}

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// A delivery's settings as contractors write them: a header before the first section,
// comments, and the same section twice in different case.
const std::string kDeliveredSettings = "; Kanalinspektion 2024, Los 3\r\n"
                                       "Erstellt=01.02.2024\r\n"
                                       "[DATA]\r\n"
                                       "; Bildrate der Filme\r\n"
                                       "FramesPerSeconds=30\r\n"
                                       "Linear=1.25\r\n"
                                       "\r\n"
                                       "[common]\r\n"
                                       "LengthUnit=m\r\n"
                                       "[Common]\r\n"
                                       "; nachgetragen\r\n"
                                       "LengthUnit=ft\r\n"
                                       "DisplayConnectionMode=3\r\n";

class SettingsWriteBackTest : public ContextTest {};

TEST_F(SettingsWriteBackTest, ShutDownChangesOnlyTheValuesItStores) {
    WriteFile(projectFolder() / "Kanvio.ini", kDeliveredSettings);
    auto context = CreateContext();
    EXPECT_EQ(context->LengthUnit, "m"); // the first of the two sections counts
    EXPECT_EQ(context->DisplayConnectionMode, 0);
    context->TotalFilmLength = 754;
    context->ShutDown(true);
    EXPECT_TRUE(dialogs.messages.empty());

    EXPECT_EQ(ReadFile(projectFolder() / "Kanvio.ini"), "; Kanalinspektion 2024, Los 3\r\n"
                                                        "Erstellt=01.02.2024\r\n"
                                                        "[DATA]\r\n"
                                                        "; Bildrate der Filme\r\n"
                                                        "FramesPerSeconds=30\r\n"
                                                        "Linear=1.250000\r\n"
                                                        "FilmLength=754\r\n"
                                                        "\r\n"
                                                        "[common]\r\n"
                                                        "LengthUnit=m\r\n"
                                                        "[Common]\r\n"
                                                        "; nachgetragen\r\n"
                                                        "LengthUnit=ft\r\n"
                                                        "DisplayConnectionMode=3\r\n");
}

TEST_F(SettingsWriteBackTest, ReadOnlySettingsFileIsReportedOnceAndLeftAlone) {
    const auto path = WriteFile(projectFolder() / "Kanvio.ini", kDeliveredSettings);
    GiveToOrdinaryUser(env.root());
    GiveToOrdinaryUser(projectFolder());
    ::chmod(path.c_str(), 0444);
    const auto before = Snapshot(projectFolder());
    const auto errors = env.root() / "stderr.txt";

    // 1: one message naming the file; 2: another message count or text; 3: the settings
    // object tried again when it was destroyed.
    const int result = RunAsOrdinaryUser([&] {
        auto context = CreateContext();
        context->TotalFilmLength = 754;
        context->ShutDown(true);
        context->ShutDown(true);
        if (dialogs.messages.size() != 1 ||
            dialogs.messages[0].second.find("Kanvio.ini") == std::string::npos ||
            dialogs.messages[0].second.find("Permission denied") == std::string::npos) {
            for (const auto& message : dialogs.messages) {
                std::fprintf(stderr, "message: %s\n", message.second.c_str());
            }
            return 2;
        }
        const int captured = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(captured, STDERR_FILENO);
        context.reset();
        return ReadFile(errors).find("Kanvio.ini") == std::string::npos ? 1 : 3;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Snapshot(projectFolder()), before);
    EXPECT_EQ(ModeOf(path), 0444u);
}

TEST_F(SettingsWriteBackTest, CommandWithoutWindowsWritesNothingAndChangesNoMode) {
    WriteFile(projectFolder() / "Kanvio.ini", kDeliveredSettings);
    const auto programSettings =
        WriteFile(env.programFolder() / "Kanvio.ini", "; Programm\r\n[Common]\r\nlanguage=en\r\n"
                                                      "[COMMON]\r\nlanguage=de\r\n");
    ::chmod(programSettings.c_str(), 0444);
    const auto project = Snapshot(projectFolder());
    const auto program = Snapshot(env.programFolder());

    auto context = CreateContext(/*headless=*/true);
    EXPECT_EQ(context->LengthUnit, "m");
    // Whatever reaches the settings object of such a run stays in memory.
    context->Settings().WriteString("DATA", "Linear", "9");
    context->ShutDown(false);
    context.reset();

    EXPECT_EQ(Snapshot(projectFolder()), project);
    EXPECT_EQ(Snapshot(env.programFolder()), program);
    EXPECT_EQ(ModeOf(programSettings), 0444u);
}

} // namespace
} // namespace kanvio::test
