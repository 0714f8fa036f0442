// The real program, installed apart from the deliveries and reached through a relative
// symbolic link, opening a generated delivery with "--project DIR" from another working
// directory: the delivery's files come from DIR, the language files from the folder the
// resolved program lies in, and what the program reports equals what the same delivery
// gives on the medium.

#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace kanvio {
namespace {

using namespace generator;
namespace fs = std::filesystem;

struct TRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// The value after "name: " on its own line of the summary; empty when there is none.
std::string SummaryValue(const std::string& summary, const std::string& name) {
    std::istringstream lines(summary);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(name + ": ", 0) == 0)
            return line.substr(name.size() + 2);
    return {};
}

// The summary without the lines that name where files lie, which differ between layouts.
std::string SummaryCounts(const std::string& summary) {
    std::istringstream lines(summary);
    std::string line, counts;
    while (std::getline(lines, line))
        if (line.rfind("Settings file", 0) != 0 && line.rfind("Language file", 0) != 0 &&
            line.rfind("  ", 0) != 0)
            counts += line + "\n";
    return counts;
}

class ProjectOptionProgramTest : public test::IsolatedTest {
protected:
    void SetUp() override {
        // The program folder as the package lays it out, the command a relative link to it.
        programFolder_ = env.root() / "usr/lib/kanvio";
        fs::create_directories(programFolder_);
        fs::copy_file(KANVIO_PROGRAM_FILE, programFolder_ / "kanvio");
        fs::permissions(programFolder_ / "kanvio", fs::perms::owner_exec, fs::perm_options::add);
        for (const char* language : {"de", "en"})
            fs::copy(fs::path(KANVIO_MEDIUM_DIR) / language, programFolder_ / language,
                     fs::copy_options::recursive);
        fs::create_directories(env.root() / "usr/bin");
        fs::create_symlink("../lib/kanvio/kanvio", env.root() / "usr/bin/kanvio");
        workingDirectory_ = env.root() / "home";
        fs::create_directories(workingDirectory_);
    }

    // A generated delivery without any program file in it.
    fs::path MakeDelivery(const std::string& name, bool database = false) {
        TGeneratorOptions options;
        options.Reaches = 3;
        options.Connections = 2;
        options.Observations = 14;
        options.Films = 2;
        const TGeneratedProject project = GenerateProject(options);
        const fs::path folder = env.root() / "deliveries" / name;
        fs::create_directories(folder);
        WriteIsybauProject(project, folder.string());
        if (database)
            WriteProjectDatabase(project, folder.string());
        return folder;
    }

    TRun Run(const fs::path& program, const fs::path& directory, const QStringList& arguments,
             const QString& lang = "C.UTF-8") {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("LC_ALL");
        environment.remove("LC_MESSAGES");
        environment.insert("LANG", lang);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(directory.string()));
        process.start(QString::fromStdString(program.string()), arguments);
        TRun run;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << program << " did not end normally";
            return run;
        }
        run.ExitCode = process.exitCode();
        run.Out = process.readAllStandardOutput().toStdString();
        run.Err = process.readAllStandardError().toStdString();
        return run;
    }

    TRun RunInstalled(const QStringList& arguments, const QString& lang = "C.UTF-8") {
        return Run(env.root() / "usr/bin/kanvio", workingDirectory_, arguments, lang);
    }

    static QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

    fs::path programFolder_;
    fs::path workingDirectory_;
};

TEST_F(ProjectOptionProgramTest, InstalledProgramReadsTheDeliveryAsTheMediumDoes) {
    for (const bool database : {false, true}) {
        SCOPED_TRACE(database ? "database" : "ISYBAU files");
        const fs::path delivery = MakeDelivery(database ? "Lieferung DB" : "Lieferung 7", database);
        const TRun installed = RunInstalled({"--summary", "--project", Q(delivery)});
        ASSERT_EQ(installed.ExitCode, 0) << installed.Err;
        EXPECT_EQ(SummaryValue(installed.Out, "Settings file"), (delivery / "Kanvio.ini").string());
        EXPECT_EQ(SummaryValue(installed.Out, "Language file"),
                  (programFolder_ / "de/lang_kanvio_de.ini").string());
        EXPECT_EQ(SummaryValue(installed.Out, "Reaches"), "3");
        EXPECT_EQ(SummaryValue(installed.Out, "Connections"), "2");
        // Every film is found inside the delivery, not in the working directory.
        EXPECT_NE(installed.Out.find("  1: " + (delivery / "film01.mpg").string()),
                  std::string::npos)
            << installed.Out;

        // The same delivery on the medium: the program beside it, started in it.
        const fs::path medium = env.root() / (database ? "medium-db" : "medium-files");
        fs::copy(delivery, medium, fs::copy_options::recursive);
        fs::copy(programFolder_, medium, fs::copy_options::recursive);
        const TRun onMedium = Run(medium / "kanvio", medium, {"--summary"});
        ASSERT_EQ(onMedium.ExitCode, 0) << onMedium.Err;
        EXPECT_EQ(SummaryValue(onMedium.Out, "Settings file"), "./Kanvio.ini");
        EXPECT_EQ(SummaryCounts(onMedium.Out), SummaryCounts(installed.Out));
    }
}

// Without a language in the delivery the installed program speaks the user's language; the
// delivery's own choice wins over it.
TEST_F(ProjectOptionProgramTest, LanguageFromTheDeliveryElseTheUsersLocale) {
    const fs::path delivery = MakeDelivery("delivery");
    const std::string withGerman = test::ReadFile(delivery / "Kanvio.ini");
    std::string without = withGerman;
    const auto at = without.find("language=de\r\n");
    ASSERT_NE(at, std::string::npos);
    without.erase(at, std::string("language=de\r\n").size());
    struct Case {
        const std::string* settings;
        const char* lang;
        const char* file;
    };
    const Case cases[] = {
        {&without, "en_US.UTF-8", "en/lang_kanvio_en.ini"},
        {&without, "de_AT.UTF-8", "de/lang_kanvio_de.ini"},
        {&without, "C", "en/lang_kanvio_en.ini"},
        {&withGerman, "en_US.UTF-8", "de/lang_kanvio_de.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        test::WriteFile(delivery / "Kanvio.ini", *c.settings);
        const TRun run = RunInstalled({"--project", Q(delivery), "--summary"}, c.lang);
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(SummaryValue(run.Out, "Language file"), (programFolder_ / c.file).string());
    }
}

// A relative output file is the user's, taken in the working directory; nothing is
// written into the delivery.
TEST_F(ProjectOptionProgramTest, ExportGoesToTheWorkingDirectoryNotTheDelivery) {
    const fs::path delivery = MakeDelivery("delivery");
    const auto before = std::distance(fs::directory_iterator(delivery), {});
    const TRun run = RunInstalled({"--project=" + Q(delivery), "--export-json", "out.json"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_GT(fs::file_size(workingDirectory_ / "out.json"), 100u);
    EXPECT_EQ(std::distance(fs::directory_iterator(delivery), {}), before);
}

TEST_F(ProjectOptionProgramTest, FolderWithoutDeliveryIsNamedWithWhatWasLookedFor) {
    const fs::path empty = env.root() / "no delivery";
    fs::create_directories(empty / "Kanvio.ini.d");
    test::WriteFile(empty / "readme.txt", "not a delivery");
    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"empty folder",
         {"--summary", "--project", Q(empty)},
         1,
         {empty.string(), "Kanvio.ini", "Quorvi.ini", "Kanvio.dat"}},
        {"missing folder",
         {"--project", Q(env.root() / "gone"), "--export-json"},
         1,
         {(env.root() / "gone").string(), "no such folder"}},
        {"a file, not a folder",
         {"--summary", "--project", Q(empty / "readme.txt")},
         1,
         {"readme.txt", "no such folder"}},
        {"folder missing", {"--summary", "--project"}, 2, {"--project needs a folder", "Usage"}},
        {"given twice",
         {"--project", Q(empty), "--project", Q(empty), "--summary"},
         2,
         {"more than once"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = RunInstalled(c.arguments);
        EXPECT_EQ(run.ExitCode, c.exitCode) << run.Err;
        EXPECT_EQ(run.Out.find("Reaches"), std::string::npos);
        for (const std::string& part : c.said)
            EXPECT_NE(run.Err.find(part), std::string::npos) << run.Err;
    }
}

} // namespace
} // namespace kanvio
