// The real program run headless on a delivery, once from ISYBAU files and once from a
// project database: the commands only read, so every file of the delivery keeps its bytes,
// its time and its mode, and no file appears or vanishes there. The settings file carries
// what a careless rewrite would lose (lines before the first section, a second section
// whose name differs only in case) and the whole delivery is marked read-only, as a disc
// copied to a folder arrives.

#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QProcess>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace kanvio {
namespace {

using namespace generator;
namespace fs = std::filesystem;

struct TFileState {
    std::string Bytes;
    timespec Modified{};
    mode_t Mode = 0;
};

std::map<std::string, TFileState> Snapshot(const fs::path& folder) {
    std::map<std::string, TFileState> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        EXPECT_EQ(::lstat(entry.path().c_str(), &info), 0) << entry.path();
        TFileState state;
        state.Modified = info.st_mtim;
        state.Mode = info.st_mode;
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            state.Bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        files[fs::relative(entry.path(), folder).string()] = std::move(state);
    }
    return files;
}

void ExpectSameFiles(const std::map<std::string, TFileState>& before,
                     const std::map<std::string, TFileState>& after) {
    for (const auto& [name, state] : after)
        EXPECT_TRUE(before.count(name)) << "new file in the delivery: " << name;
    for (const auto& [name, state] : before) {
        const auto found = after.find(name);
        if (found == after.end()) {
            ADD_FAILURE() << "file gone from the delivery: " << name;
            continue;
        }
        EXPECT_EQ(found->second.Bytes, state.Bytes) << name;
        EXPECT_EQ(found->second.Mode, state.Mode) << name;
        EXPECT_EQ(found->second.Modified.tv_sec, state.Modified.tv_sec) << name;
        EXPECT_EQ(found->second.Modified.tv_nsec, state.Modified.tv_nsec) << name;
    }
}

void MakeReadOnly(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            fs::permissions(entry.path(),
                            fs::perms::owner_write | fs::perms::group_write |
                                fs::perms::others_write,
                            fs::perm_options::remove);
}

class DeliveryUntouchedProgramTest : public test::IsolatedTest,
                                     public ::testing::WithParamInterface<bool> {
protected:
    // A small generated project beside a copy of the program, as a disc carries them.
    fs::path MakeDelivery(bool database) {
        TGeneratorOptions options;
        options.Reaches = 2;
        options.Connections = 2;
        options.Observations = 12;
        options.Films = 2;
        const TGeneratedProject project = GenerateProject(options);
        const fs::path folder = env.root() / "delivery";
        fs::create_directories(folder);
        WriteIsybauProject(project, folder.string());
        if (database)
            WriteProjectDatabase(project, folder.string());

        std::ostringstream settings;
        settings << "; written by the inspection company\r\n"
                 << std::ifstream(folder / "Kanvio.ini", std::ios::binary).rdbuf()
                 << "[Common]\r\nlanguage=en\r\n; a second section of the same name\r\n"
                 << "[COMMON]\r\nlanguage=de\r\nLengthUnit=mm\r\n";
        std::ofstream(folder / "Kanvio.ini", std::ios::binary | std::ios::trunc) << settings.str();

        fs::copy_file(KANVIO_PROGRAM_FILE, folder / "kanvio");
        fs::permissions(folder / "kanvio", fs::perms::owner_exec, fs::perm_options::add);
        MakeReadOnly(folder);
        return folder;
    }

    void Run(const fs::path& folder, const QStringList& arguments) {
        QProcess program;
        program.setWorkingDirectory(QString::fromStdString(folder.string()));
        program.start(QString::fromStdString((folder / "kanvio").string()), arguments);
        ASSERT_TRUE(program.waitForFinished(120000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << arguments.join(' ').toStdString() << ": "
                                         << program.readAllStandardError().toStdString();
    }
};

TEST_P(DeliveryUntouchedProgramTest, HeadlessCommandsChangeNothingInTheDelivery) {
    const fs::path folder = MakeDelivery(GetParam());
    const auto before = Snapshot(folder);
    const fs::path output = env.root() / "picked" / "export.json";
    fs::create_directories(output.parent_path());

    Run(folder, {"--summary"});
    Run(folder, {"--export-json", QString::fromStdString(output.string())});

    EXPECT_GT(fs::file_size(output), 100u);
    ExpectSameFiles(before, Snapshot(folder));
}

INSTANTIATE_TEST_SUITE_P(Sources, DeliveryUntouchedProgramTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Database" : "IsybauFiles"; });

} // namespace
} // namespace kanvio
