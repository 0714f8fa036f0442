#include "foundation/Logging.h"

#include "foundation/KanvioToolkit.h"
#include "foundation/LogFileChoice.h"
#include "foundation/LogLineFormat.h"
#include "foundation/RegistryManager.h"
#include "tests/foundation/RecordingDialogs.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace kanvio {
namespace {

using test::ReadFile;
using test::RecordingDialogs;
using test::WriteFile;
namespace fs = std::filesystem;

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(LogLineFormatTest, LevelTags) {
    const std::pair<int32_t, const char*> cases[] = {
        {1, " [FATAL] "}, {2, " [ERROR] "}, {3, " [WARNING] "}, {4, " [DEBUG] "}, {0, ""},
        {5, ""},          {-1, ""}};
    for (const auto& [level, tag] : cases) {
        EXPECT_STREQ(LogLevelTag(level), tag) << level;
    }
}

TEST(LogLineFormatTest, DateAndTimeFollowTheLocale) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QDate day(2005, 12, 8);
    struct Case {
        QTime time;
        int32_t level;
        const char* expected;
    };
    const Case cases[] = {
        {QTime(10, 58, 1), 4, "08.12.2005 10:58:01 [DEBUG] "},
        {QTime(0, 0), 2, "08.12.2005 [ERROR] "}, // exactly midnight: no time
        {QTime(0, 0, 0, 1), 2, "08.12.2005 00:00:00 [ERROR] "},
        {QTime(0, 0, 1), 1, "08.12.2005 00:00:01 [FATAL] "},
        {QTime(23, 59, 59), 7, "08.12.2005 23:59:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatLogLinePrefix(c.level, QDateTime(day, c.time), german), c.expected);
    }
    const QLocale american(QLocale::English, QLocale::UnitedStates);
    const std::string us = FormatLogTimestamp(QDateTime(day, QTime(14, 5, 9)), american);
    EXPECT_EQ(us.rfind("12/8/2005 2:05:09", 0), 0u) << us;
    EXPECT_EQ(us.find("UTC"), std::string::npos) << us;
}

TEST(LogLineFormatTest, ControlCharactersAreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"a\nb", "a\\nb"},
        {"\r\n", "\\r\\n"},
        {"tab\there", "tab\\there"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"\x7f\x01\x1f", "\\x7f\\x01\\x1f"},
        {"Gr\xFC\xDF\x80 c:\\x", "Gr\xFC\xDF\x80 c:\\x"}, // Windows-1252 text stays
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(EscapeLogText(text), expected);
    }
}

TEST(LogLineFormatTest, LogLinesAreRecognisedInEveryLocale) {
    const QDateTime when(QDate(2005, 12, 8), QTime(14, 58, 1));
    const QDateTime midnight(QDate(2005, 12, 8), QTime(0, 0));
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany),
          QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::English, QLocale::UnitedKingdom),
          QLocale(QLocale::Swedish, QLocale::Sweden), QLocale(QLocale::Polish, QLocale::Poland),
          QLocale(QLocale::Czech, QLocale::CzechRepublic), QLocale::c()}) {
        for (int32_t level : {LOG_FATAL, LOG_ERROR, LOG_WARNING, LOG_DEBUG}) {
            EXPECT_TRUE(IsLogLine(FormatLogLinePrefix(level, when, locale) + "text"))
                << FormatLogLinePrefix(level, when, locale);
            EXPECT_TRUE(IsLogLine(FormatLogLinePrefix(level, midnight, locale)))
                << FormatLogLinePrefix(level, midnight, locale);
        }
    }
    for (const char* line :
         {"", "[DEBUG] x", " [ERROR] x", "export PATH=/bin [DEBUG] x", "#!/bin/sh",
          "08.12.2005 10:58:01 [INFO] x", "2005 [ERROR] x", "08.12.2005 10:58:01 $(id) [ERROR] y",
          "08.12.2005 10:58:01", "1 2 3=4 [DEBUG] x", "alias x='12:30' [ERROR] y"}) {
        EXPECT_FALSE(IsLogLine(line)) << line;
    }
}

class LogTest : public test::IsolatedTest {
protected:
    std::string StateLog() const { return (env.state() / "kanvio" / "kanvio.log").string(); }
    RecordingDialogs dialogs;
};

TEST_F(LogTest, ThresholdDecidesWhichLinesAreWritten) {
    struct Case {
        int32_t threshold;
        bool fileCreated;
        std::vector<int32_t> written;
    };
    const Case cases[] = {{4, true, {1, 2, 3, 4}}, {2, true, {1, 2}}, {1, true, {1}},
                          {0, false, {}},          {-1, true, {}},    {9, true, {1, 2, 3, 4, 5}}};
    int run = 0;
    for (const auto& c : cases) {
        const std::string name = (env.root() / ("log" + std::to_string(run++) + ".log")).string();
        TLog log(name, c.threshold, dialogs);
        for (int32_t level : {1, 2, 3, 4, 5}) {
            log.Write("line " + std::to_string(level), level);
        }
        ASSERT_EQ(fs::exists(name), c.fileCreated) << "threshold " << c.threshold;
        if (!c.fileCreated) {
            continue;
        }
        const auto lines = LinesOf(ReadFile(name));
        ASSERT_EQ(lines.size(), c.written.size()) << "threshold " << c.threshold;
        for (size_t i = 0; i < lines.size(); ++i) {
            const int32_t level = c.written[i];
            EXPECT_TRUE(EndsWith(lines[i], LogLevelTag(level) + ("line " + std::to_string(level))))
                << lines[i];
        }
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(LogTest, ThresholdZeroTouchesNothing) {
    WriteRegString("", "logfile", (env.root() / "registry.log").string());
    TLog log((env.root() / "given.log").string(), 0, dialogs);
    log.Write("fatal", LOG_FATAL);
    log.Write("zero", 0);
    log.Write("negative", -3);
    EXPECT_EQ(log.Level(), 0);
    EXPECT_FALSE(fs::exists(env.root() / "given.log"));
    EXPECT_FALSE(fs::exists(env.root() / "registry.log"));
    EXPECT_FALSE(fs::exists(env.state() / "kanvio"));
}

TEST_F(LogTest, LinesKeepTheirBytesAndEndWithCrLf) {
    TLog log((env.root() / "a.log").string(), 4, dialogs);
    log.Write("Gr\xFC\xDF"
              "e \x80",
              LOG_WARNING);
    log.Write("", LOG_ERROR);
    const std::string text = ReadFile(env.root() / "a.log");
    const auto lines = LinesOf(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], " [WARNING] Gr\xFC\xDF"
                                   "e \x80"));
    EXPECT_TRUE(EndsWith(lines[1], " [ERROR] "));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(LogTest, TheStoreNamesTheLogFile) {
    const std::string stored = (env.root() / "from-store.log").string();
    WriteRegString("", "logfile", stored);
    TLog log((env.root() / "given.log").string(), 3, dialogs);
    EXPECT_EQ(log.GivenFileName(), (env.root() / "given.log").string());
    EXPECT_EQ(log.FileName(), stored);
    log.Write("x", LOG_ERROR);
    EXPECT_FALSE(fs::exists(env.root() / "given.log"));
    EXPECT_EQ(LinesOf(ReadFile(stored)).size(), 1u);
}

TEST_F(LogTest, TheSettingsDefaultAndEmptyNamesUseTheStateFolder) {
    for (const char* given : {"c:\\kanvio.log", "C:\\Kanvio.LOG", ""}) {
        fs::remove_all(env.state() / "kanvio");
        TLog log(given, 4, dialogs);
        EXPECT_EQ(log.FileName(), StateLog()) << given;
        EXPECT_EQ(DefaultLogFileName(), StateLog());
        log.Write("hello", LOG_DEBUG);
        EXPECT_EQ(LinesOf(ReadFile(StateLog())).size(), 1u) << given;
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(LogTest, AnUnwritableFolderAsksForAnotherFile) {
    WriteFile(env.root() / "plain-file", "x");
    const std::string unusable = (env.root() / "plain-file" / "debug.log").string();
    const std::string chosen = (env.root() / "chosen.log").string();
    dialogs.answers = {(env.root() / "plain-file" / "again.log").string(), chosen};

    TLog log(unusable, 4, dialogs);
    EXPECT_EQ(log.Level(), 4);
    EXPECT_EQ(log.FileName(), chosen);
    ASSERT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_EQ(dialogs.saveRequests[0].initialFolder, GetDocumentsFolder());
    EXPECT_EQ(dialogs.saveRequests[0].proposedName, "debug.log");
    EXPECT_EQ(dialogs.saveRequests[1].proposedName, "again.log");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Warning);
    EXPECT_EQ(dialogs.messages[0].second, "_NoRightsToLogFile"); // no language file: the key
    EXPECT_EQ(ReadRegString("", "logfile", ""), chosen);
    EXPECT_TRUE(fs::exists(chosen));
}

TEST_F(LogTest, CancellingTheDialogSwitchesTheLogOff) {
    WriteFile(env.root() / "plain-file", "x");
    WriteFile(env.programFolder() / "lang_kanvio_de.ini",
              "[Messages]\n_NoRightsToLogFile=Keine Rechte f\xFCr die Logdatei %1\n");
    const std::string unusable = (env.root() / "plain-file" / "debug.log").string();
    TLog log(unusable, 4, dialogs);
    EXPECT_EQ(log.Level(), 0);
    log.Write("lost", LOG_FATAL);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second, "Keine Rechte f\xFCr die Logdatei " + unusable);
    EXPECT_EQ(ReadRegString("", "logfile", "<none>"), "<none>");
}

TEST_F(LogTest, AFailedWriteIsReportedOnceAndNeverThrows) {
    const auto name = env.root() / "a.log";
    TLog log(name.string(), 4, dialogs);
    fs::remove(name);
    fs::create_directory(name); // the file cannot be opened any more
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(log.Write("first", LOG_ERROR));
    EXPECT_NO_THROW(log.Write("second", LOG_ERROR));
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(name.string()), std::string::npos) << errors;
    EXPECT_EQ(errors.find(name.string()), errors.rfind(name.string())) << "reported twice";
}

TEST_F(LogTest, AMissingLogFileIsCreatedAgain) {
    const auto name = env.root() / "a.log";
    TLog log(name.string(), 4, dialogs);
    fs::remove(name);
    log.Write("again", LOG_DEBUG);
    EXPECT_EQ(LinesOf(ReadFile(name)).size(), 1u);
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    const auto name = env.root() / "threads.log";
    TLog log(name.string(), 4, dialogs);
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            const std::string text =
                "thread " + std::to_string(t) + " " + std::string(300, 'a' + t);
            for (int i = 0; i < kLines; ++i) {
                log.Write(text, LOG_DEBUG);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto lines = LinesOf(ReadFile(name));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    for (const auto& line : lines) {
        const auto tag = line.find(" [DEBUG] thread ");
        ASSERT_NE(tag, std::string::npos) << line;
        const char letter = line.back();
        EXPECT_EQ(line.substr(line.size() - 300), std::string(300, letter));
    }
}

// The name a delivery's settings give may only lead to a log of this program; everything
// else gives way to the default log file, with the reason.
TEST_F(LogTest, OnlyALogFileOfThisProgramIsTakenFromTheSettings) {
    const fs::path folder = env.root() / "delivery";
    fs::create_directories(folder / "folder.log");
    WriteFile(folder / "empty.log", "");
    WriteFile(folder / "own.log", "08.12.2005 10:58:01 [DEBUG] Preparing data structure...\r\n");
    WriteFile(folder / "profile.log", "export PATH=$HOME/bin:$PATH\n");
    WriteFile(folder / ".bashrc", "alias ll='ls -l'\n");
    fs::create_symlink(folder / "own.log", folder / "link.log");
    fs::create_symlink(folder / "missing-target.log", folder / "dangling.log");
    ASSERT_EQ(::mkfifo((folder / "pipe.log").c_str(), 0600), 0);
    const std::string logFolder = (env.state() / "kanvio").string();
    const struct {
        std::string given;
        std::string used; // empty: the default log file
        const char* refusal;
    } cases[] = {
        {"", "", ""},
        {"c:\\kanvio.log", "", ""},
        {"C:\\KANVIO.LOG", "", ""},
        {"d:\\logs\\kanvio.log", "", "_LogFileWindowsPath"},
        {"logs\\kanvio.log", "", "_LogFileWindowsPath"},
        {"c:kanvio.log", "", "_LogFileWindowsPath"},
        {(folder / ".bashrc").string(), "", "_LogFileNotLog"},
        {(folder / "kanvio.log.sh").string(), "", "_LogFileNotLog"},
        {(folder / ".log").string(), "", "_LogFileNotLog"},
        {(folder / "new.log").string(), (folder / "new.log").string(), ""},
        {(folder / "NEW.LOG").string(), (folder / "NEW.LOG").string(), ""},
        {(folder / "empty.log").string(), (folder / "empty.log").string(), ""},
        {(folder / "own.log").string(), (folder / "own.log").string(), ""},
        {(folder / "profile.log").string(), "", "_LogFileForeign"},
        {(folder / "link.log").string(), "", "_LogFileLink"},
        {(folder / "dangling.log").string(), "", "_LogFileLink"},
        {(folder / "folder.log").string(), "", "_LogFileNotRegular"},
        {(folder / "pipe.log").string(), "", "_LogFileNotRegular"},
        {"debug.log", logFolder + "/debug.log", ""},
        {"runs/debug.log", logFolder + "/runs/debug.log", ""},
        {"../debug.log", "", "_LogFileOutside"},
        {"runs/../../x.log", "", "_LogFileOutside"},
    };
    for (const auto& c : cases) {
        const TLogFileChoice choice = ChooseLogFile(c.given);
        EXPECT_EQ(choice.FileName, c.used.empty() ? StateLog() : c.used) << c.given;
        EXPECT_EQ(choice.RefusalKey, c.refusal) << c.given;
    }
}

TEST_F(LogTest, ARefusedFileStaysUntouchedAndTheWarningNamesItInTheUsersLanguage) {
    const fs::path medium = fs::path(KANVIO_SOURCE_DIR) / "medium";
    const struct {
        const char* language;
        const char* expected;
    } cases[] = {
        {"en", " [WARNING] The log file %s is not used: it holds something other than a log of "
               "this program. The log is written to %s.\r\n"},
        {"de", " [WARNING] Die Protokolldatei %s wird nicht verwendet: sie enth\xE4lt etwas "
               "anderes als ein Protokoll dieses Programms. Das Protokoll wird in %s "
               "geschrieben.\r\n"},
    };
    const fs::path target = env.root() / "profile.log";
    const std::string bytes = "export PATH=$HOME/bin:$PATH\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        fs::remove_all(env.state() / "kanvio");
        WriteFile(target, bytes);
        WriteFile(env.programFolder() / "Kanvio.ini",
                  std::string("[Common]\nlanguage=") + c.language + "\n");
        fs::copy_file(medium / c.language / ("lang_kanvio_" + std::string(c.language) + ".ini"),
                      env.programFolder() / ("lang_kanvio_" + std::string(c.language) + ".ini"),
                      fs::copy_options::overwrite_existing);
        ::testing::internal::CaptureStderr();
        {
            TLog log(target.string(), LOG_ERROR, dialogs);
            EXPECT_EQ(log.FileName(), StateLog());
            log.Write("a film entry\n. ~/evil", LOG_ERROR);
        }
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(ReadFile(target), bytes);
        char expected[1024];
        std::snprintf(expected, sizeof expected, c.expected, target.string().c_str(),
                      StateLog().c_str());
        const std::string log = ReadFile(StateLog());
        const auto lines = LinesOf(log);
        ASSERT_EQ(lines.size(), 2u) << log;
        EXPECT_TRUE(EndsWith(lines[0] + "\r\n", expected)) << lines[0];
        EXPECT_TRUE(EndsWith(lines[1], " [ERROR] a film entry\\n. ~/evil")) << lines[1];
        EXPECT_NE(errors.find(target.string()), std::string::npos) << errors;
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

TEST_F(LogTest, AWindowsPathNeverAsksForALogFile) {
    for (int start = 0; start < 2; ++start) {
        TLog log("d:\\projekte\\kanvio.log", LOG_DEBUG, dialogs);
        EXPECT_EQ(log.FileName(), StateLog());
        EXPECT_EQ(log.Level(), LOG_DEBUG);
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.saveRequests.empty());
    EXPECT_EQ(ReadRegString("", "logfile", "<none>"), "<none>");
    const std::string log = ReadFile(StateLog());
    EXPECT_NE(log.find(" [WARNING] _LogFileRefused"), std::string::npos) << log;
}

TEST_F(LogTest, ALinkPutInThePlaceOfTheLogIsNotFollowed) {
    const fs::path name = env.root() / "run.log";
    const fs::path victim = env.root() / "victim.log";
    WriteFile(victim, "keep\n");
    TLog log(name.string(), LOG_DEBUG, dialogs);
    fs::remove(name);
    fs::create_symlink(victim, name);
    ::testing::internal::CaptureStderr();
    log.Write("line", LOG_DEBUG);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadFile(victim), "keep\n");
}

TEST_F(LogTest, LogLineWritesOnlyWhenThereIsALog) {
    AppLog.reset();
    EXPECT_NO_THROW(LogLine("nobody listens", LOG_FATAL));
    const auto name = env.root() / "app.log";
    AppLog = std::make_unique<TLog>(name.string(), 2, dialogs);
    LogLine("kept", LOG_ERROR);
    LogLine("dropped", LOG_DEBUG);
    AppLog.reset();
    const auto lines = LinesOf(ReadFile(name));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(EndsWith(lines[0], "[ERROR] kept"));
}

} // namespace
} // namespace kanvio
