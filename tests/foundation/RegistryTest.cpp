#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/RegistryStoreFile.h"
#include "foundation/UserDialogs.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kanvio {
namespace {

using test::ReadFile;
using test::WriteFile;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class RegistryTest : public test::IsolatedTest {};

TEST(RegistryGroupNameTest, KeyPathsBecomeGroups) {
    struct Case {
        const char* section;
        const char* group;
    };
    const Case cases[] = {
        {"", "SOFTWARE/Orbelin/Kanvio"},
        {"FilterPriorities\\MPEG1", "SOFTWARE/Orbelin/Kanvio/FilterPriorities/MPEG1"},
        {"GridCol\\0\\", "SOFTWARE/Orbelin/Kanvio/GridCol/0"},
        {"a\\\\b", "SOFTWARE/Orbelin/Kanvio/a/b"},
        {"\\Software\\GNU\\ffdshow", "Software/GNU/ffdshow"},
        {"\\", ""},
        {"odd/name", "SOFTWARE/Orbelin/Kanvio/odd\\x2Fname"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegistryGroupName(c.section), c.group) << c.section;
    }
}

TEST_F(RegistryTest, MissingValuesAndNonNumbersReadAsDefaults) {
    EXPECT_EQ(ReadRegInteger("", "LayoutMode", -1), -1);
    EXPECT_EQ(ReadRegString("", "logfile", "given"), "given");
    WriteRegString("", "Seconds", "ten");
    EXPECT_EQ(ReadRegInteger("", "Seconds", 10), 10);
    WriteRegInteger("", "Seconds", -25);
    EXPECT_EQ(ReadRegInteger("", "seconds", 10), -25);
    EXPECT_EQ(ReadRegString("", "SECONDS", ""), "-25");
    EXPECT_FALSE(fs::exists(env.userConfig() / "Orbelin" / "Other.conf"));
}

TEST_F(RegistryTest, ValuesAreStoredAsTextInTheUserScopeFile) {
    WriteRegInteger("", "MainLeft", 12);
    WriteRegString("FilterPriorities\\MPEG1", "Decoder", "{GUID}");
    EXPECT_EQ(ReadFile(env.userStore()), "[SOFTWARE/Orbelin/Kanvio]\n"
                                         "MainLeft=12\n"
                                         "\n"
                                         "[SOFTWARE/Orbelin/Kanvio/FilterPriorities/MPEG1]\n"
                                         "Decoder={GUID}\n"
                                         "\n");
}

TEST_F(RegistryTest, ValuesKeepTheOrderOfTheirFirstWrite) {
    for (const char* name : {"zeta", "alpha", "Mid", "beta"}) {
        WriteRegString("FilterPriorities\\MPEG2", name, name);
    }
    WriteRegString("FilterPriorities\\MPEG2", "ALPHA", "changed");
    env.reopenRegistry();
    ASSERT_TRUE(OpenRegKey("filterpriorities\\mpeg2", false));
    Names names;
    ReadOpenKeyValueNames(names);
    EXPECT_EQ(names, (Names{"zeta", "alpha", "Mid", "beta"}));
    EXPECT_EQ(ReadOpenKeyString("Alpha"), "changed");
    EXPECT_EQ(ReadOpenKeyString("missing"), "");
    CloseRegKey();
    EXPECT_EQ(ReadOpenKeyString("zeta"), "");
    ReadOpenKeyValueNames(names);
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryTest, AnyNameAndValueTextRoundTrips) {
    std::string allBytes;
    for (int i = 1; i < 256; ++i) {
        allBytes.push_back(static_cast<char>(i));
    }
    const std::vector<std::pair<std::string, std::string>> values = {
        {"plain", "C:\\Program Files\\x.log"},
        {"empty", ""},
        {"  spaced  ", "  both sides  "},
        {"with=equals", "a=b"},
        {"[bracketed]", "[x]"},
        {"lines", "one\ntwo\r\nthree\r"},
        {"escapes", "\\n is not a newline \\x41 \\"},
        {"high\xE4\x80\x81", "\xFC\x9F\x8D"},
        {"all", allBytes},
    };
    for (const auto& [name, value] : values) {
        WriteRegString("Odd\\Key\xC4", name, value);
    }
    env.reopenRegistry();
    for (const auto& [name, value] : values) {
        EXPECT_EQ(ReadRegString("odd\\key\xE4", name, "<missing>"), value) << name;
    }
    ASSERT_TRUE(OpenRegKey("Odd\\Key\xC4", false));
    Names names;
    ReadOpenKeyValueNames(names);
    ASSERT_EQ(names.size(), values.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], values[i].first);
    }
}

TEST_F(RegistryTest, HandEditedStoreFilesAreReadLeniently) {
    WriteFile(env.userStore(), "stray=line before any group\r\n"
                               "[software/orbelin/kanvio]\r\n"
                               "no equals sign\r\n"
                               "Seconds=15\r\n"
                               "seconds=99\r\n"
                               "[SOFTWARE/Orbelin/Kanvio]\n"
                               "MainTop=7\n");
    env.reopenRegistry();
    EXPECT_EQ(ReadRegInteger("", "Seconds", 10), 15);
    EXPECT_EQ(ReadRegInteger("", "MainTop", 0), 7);
    EXPECT_EQ(ReadRegString("", "stray", "none"), "none");
}

TEST_F(RegistryTest, UserScopeComesBeforeMachineScope) {
    WriteFile(env.machineStore(), "[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=2\nSeconds=30\n");
    WriteFile(env.userStore(), "[SOFTWARE/Orbelin/Kanvio]\nSeconds=5\n");
    env.reopenRegistry();
    EXPECT_EQ(ReadRegInteger("", "LayoutMode", -1), 2);
    EXPECT_EQ(ReadRegInteger("", "Seconds", 10), 5);
}

TEST_F(RegistryTest, AnOrdinaryUserWritesOnlyHisOwnScope) {
    WriteFile(env.machineStore(), "[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=2\n");
    test::GiveToOrdinaryUser(env.userConfig());
    test::GiveToOrdinaryUser(env.state());
    ::chmod(env.machineConfig().c_str(), 0755);
    ::chmod((env.machineConfig() / "Orbelin").c_str(), 0755);

    const int result = test::RunAsOrdinaryUser([] {
        ReopenRegistryStore();
        if (RegistryWritesMachineScope() || IsUserAdministrator()) {
            return 1;
        }
        if (ReadRegInteger("", "LayoutMode", -1) != 2) {
            return 2;
        }
        try {
            WriteRegInteger("", "LayoutMode", 1);
        } catch (const ERegistryError&) {
            return 3;
        }
        return ReadRegInteger("", "LayoutMode", -1) == 1 ? 0 : 4;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(env.machineStore()), "[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=2\n");
    EXPECT_EQ(ReadFile(env.userStore()), "[SOFTWARE/Orbelin/Kanvio]\nLayoutMode=1\n\n");
}

TEST_F(RegistryTest, TheMachineWideFlagWritesBothScopes) {
    if (!RegistryWritesMachineScope()) {
        GTEST_SKIP() << "the machine scope folder of the test is not writable";
    }
    WriteRegInteger("", "FilterStrategy", 2);
    EXPECT_EQ(ReadFile(env.userStore()), ReadFile(env.machineStore()));
}

TEST_F(RegistryTest, AFailedMachineScopeWriteKeepsTheUserScopeWrite) {
    WriteFile(env.root() / "plain-file", "x");
    const fs::path unreachable = env.root() / "plain-file" / "xdg";
    setenv("XDG_CONFIG_DIRS", unreachable.c_str(), 1);
    env.reopenRegistry();
    const bool machineWide = RegistryWritesMachineScope();

    TConsoleDialogs dialogs;
    AppLog = std::make_unique<TLog>((env.state() / "test.log").string(), LOG_DEBUG, dialogs);
    EXPECT_NO_THROW(WriteRegString("", "logfile", "kept"));
    const std::string log = ReadFile(AppLog->FileName());
    AppLog.reset();

    EXPECT_EQ(ReadRegString("", "logfile", ""), "kept");
    if (machineWide) {
        EXPECT_NE(log.find("Kanvio.conf"), std::string::npos) << log;
    }
}

TEST_F(RegistryTest, AFailedUserScopeWriteIsAnErrorNamingFileAndValue) {
    WriteFile(env.root() / "plain-file", "x");
    setenv("XDG_CONFIG_HOME", (env.root() / "plain-file" / "config").c_str(), 1);
    env.reopenRegistry();
    try {
        WriteRegInteger("", "MainWidth", 400);
        FAIL() << "the write reported success";
    } catch (const ERegistryError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("plain-file/config/Orbelin/Kanvio.conf"), std::string::npos)
            << message;
        EXPECT_NE(message.find("MainWidth"), std::string::npos) << message;
    }
    // Reads still answer, with defaults.
    EXPECT_EQ(ReadRegInteger("", "MainWidth", 400), 400);
}

TEST_F(RegistryTest, AnotherProgramsValuesSurviveAWrite) {
    WriteRegString("", "first", "1");
    // Another running program adds a value behind this one's back.
    TRegistryStoreFile other(env.userStore().string());
    other.Update([](TRegistryGroups& groups) {
        return SetRegistryValue(groups, "SOFTWARE/Orbelin/Kanvio", "second", "2");
    });
    EXPECT_EQ(ReadRegString("", "second", ""), "2");
    WriteRegString("", "third", "3");
    env.reopenRegistry();
    EXPECT_EQ(ReadRegString("", "first", ""), "1");
    EXPECT_EQ(ReadRegString("", "second", ""), "2");
    EXPECT_EQ(ReadRegString("", "third", ""), "3");
}

TEST_F(RegistryTest, TwoProgramsWritingAtOnceKeepEachOthersValues) {
    WriteRegString("", "start", "1"); // both find the store folder in place
    constexpr int kValues = 60;
    std::vector<pid_t> children;
    for (const char* prefix : {"a", "b", "c"}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0; i < kValues; ++i) {
                WriteRegInteger("Shared", prefix + std::to_string(i), i);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    env.reopenRegistry();
    ASSERT_TRUE(OpenRegKey("Shared", false));
    Names names;
    ReadOpenKeyValueNames(names);
    EXPECT_EQ(names.size(), 3u * kValues);
}

TEST_F(RegistryTest, OpenRegKeyPrefersTheUserScopeAndCreatesInTheMachineScope) {
    WriteFile(env.machineStore(), "[SOFTWARE/Orbelin/Kanvio/FilterPriorities/MPEG4]\nM=machine\n");
    env.reopenRegistry();
    EXPECT_FALSE(OpenRegKey("FilterPriorities\\MPEG1", false));
    ASSERT_TRUE(OpenRegKey("FilterPriorities\\MPEG4", false));
    EXPECT_EQ(ReadOpenKeyString("M"), "machine");
    EXPECT_TRUE(OpenRegKey("FilterPriorities", false)) << "a key exists through its sub-keys";

    WriteRegString("FilterPriorities\\MPEG4", "U", "user");
    ASSERT_TRUE(OpenRegKey("FilterPriorities\\MPEG4", false));
    EXPECT_EQ(ReadOpenKeyString("U"), "user");
    EXPECT_EQ(ReadOpenKeyString("M"), "") << "the open key lies in one scope";

    if (RegistryWritesMachineScope()) {
        EXPECT_TRUE(OpenRegKey("FilterPriorities\\MPEG2", true));
        EXPECT_NE(
            ReadFile(env.machineStore()).find("[SOFTWARE/Orbelin/Kanvio/FilterPriorities/MPEG2]"),
            std::string::npos);
        Names names{"stale"};
        ReadOpenKeyValueNames(names);
        EXPECT_TRUE(names.empty());
    }
}

TEST_F(RegistryTest, DeleteRegKeyRemovesTheKeyWithItsSubKeys) {
    WriteRegString("FilterPriorities\\MPEG1", "a", "1");
    WriteRegString("FilterPriorities\\MPEG2", "b", "2");
    WriteRegString("FilterPrioritiesOther", "c", "3");
    WriteRegString("", "LayoutMode", "0");
    EXPECT_TRUE(DeleteRegKey("filterpriorities"));
    EXPECT_EQ(ReadRegString("FilterPriorities\\MPEG1", "a", "gone"), "gone");
    EXPECT_EQ(ReadRegString("FilterPriorities\\MPEG2", "b", "gone"), "gone");
    EXPECT_EQ(ReadRegString("FilterPrioritiesOther", "c", "gone"), "3");
    EXPECT_EQ(ReadRegString("", "LayoutMode", ""), "0");
    EXPECT_FALSE(DeleteRegKey("FilterPriorities"));
    EXPECT_FALSE(OpenRegKey("FilterPriorities", false));
}

TEST_F(RegistryTest, IsUserAdministratorOnlyWhereTheMachineScopeIsWritable) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare; // gets the XDG_CONFIG_DIRS folder
        bool expected;
    };
    const Case cases[] = {
        {"own store folder",
         [](const fs::path& xdg) {
             fs::create_directories(xdg / "Orbelin");
             test::GiveToOrdinaryUser(xdg / "Orbelin");
         },
         true},
        {"may create the store folder",
         [](const fs::path& xdg) {
             fs::create_directories(xdg);
             test::GiveToOrdinaryUser(xdg);
         },
         true},
        {"foreign store folder",
         [](const fs::path& xdg) {
             fs::create_directories(xdg / "Orbelin");
             ::chmod(xdg.c_str(), 0755);
             ::chmod((xdg / "Orbelin").c_str(), 0755);
             test::GiveToOrdinaryUser(xdg); // the parent is his, the store folder is not
             ::chown((xdg / "Orbelin").c_str(), 0, 0);
         },
         false},
        {"folder below a file", [](const fs::path& xdg) { WriteFile(xdg.parent_path(), "x"); },
         false},
        {"nothing there", [](const fs::path&) {}, false},
    };
    int index = 0;
    for (const auto& c : cases) {
        const fs::path xdg = env.root() / ("case" + std::to_string(index++)) / "xdg";
        fs::create_directories(xdg.parent_path().parent_path());
        ::chmod(xdg.parent_path().parent_path().c_str(), 0755);
        ::chmod(env.root().c_str(), 0755);
        c.prepare(xdg);
        const int answer = test::RunAsOrdinaryUser([&] {
            setenv("XDG_CONFIG_DIRS", xdg.c_str(), 1);
            return IsUserAdministrator() ? 1 : 0;
        });
        EXPECT_EQ(answer, c.expected ? 1 : 0) << c.name;
    }
}

} // namespace
} // namespace kanvio
