// The program run with "--export-json" on a delivery whose database lies on a Firebird
// server: many runs at once against one server all give the document the delivered file
// gives, and a run without windows never connects to a server the user has not confirmed.

#include "datasources/FirebirdServer.h"
#include "foundation/ServerConsent.h"
#include "tests/datasources/firebird/FirebirdServerTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QFile>
#include <QProcess>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;

class ServerExportProgramTest : public IsolatedTest {
protected:
    void SetUp() override {
        std::string whyNot;
        server_ = FindTestFirebirdServer(whyNot);
        if (!server_)
            GTEST_SKIP() << whyNot;
        folder_ = env.root() / "delivery";
        fs::create_directories(folder_);
        generator::TGeneratorOptions options;
        options.Reaches = 20;
        options.Connections = 25;
        options.Observations = 500;
        options.Seed = 22;
        generator::WriteProjectDatabase(generator::GenerateProject(options), folder_.string());
        fs::copy_file(KANVIO_PROGRAM_FILE, folder_ / "kanvio");
        fs::permissions(folder_ / "kanvio", fs::perms::owner_exec, fs::perm_options::add);
    }

    std::unique_ptr<QProcess> StartExport(const std::string& output) {
        auto program = std::make_unique<QProcess>();
        program->setWorkingDirectory(QString::fromStdString(folder_.string()));
        program->start(QString::fromStdString((folder_ / "kanvio").string()),
                       {"--export-json", QString::fromStdString(output)});
        return program;
    }

    // Runs the export to completion; the document, empty when the run failed.
    QByteArray Export(QProcess& program, const std::string& output) {
        EXPECT_TRUE(program.waitForFinished(180000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        QFile file(QString::fromStdString((folder_ / output).string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Moves the database to the server and names it in the settings file instead.
    std::string MoveDatabaseToServer() {
        const std::string served = server_->DataFolder + "export-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                   ".fdb";
        fs::remove(served);
        fs::copy_file(folder_ / "Kanvio.dat", served);
        fs::remove(folder_ / "Kanvio.dat");
        const std::string address = server_->Address(served);
        std::string ini = ReadFile(folder_ / "Kanvio.ini");
        const auto data = ini.find("[DATA]");
        EXPECT_NE(data, std::string::npos);
        ini.insert(ini.find('\n', data) + 1, "Database=" + address + "\r\n");
        WriteFile(folder_ / "Kanvio.ini", ini);
        StoreServerLogin("127.0.0.1", {server_->UserName, server_->Password, 10});
        return address;
    }

    std::optional<TTestFirebirdServer> server_;
    fs::path folder_;
};

TEST_F(ServerExportProgramTest, ConcurrentExportsFromOneServerMatchTheDeliveredFile) {
    auto local = StartExport("local.json");
    const QByteArray expected = Export(*local, "local.json");
    ASSERT_FALSE(expected.isEmpty());

    const std::string address = MoveDatabaseToServer();
    RememberServerConsent(
        {(folder_ / "Kanvio.ini").string(), "[DATA] Database", address, "127.0.0.1"});
    constexpr int Runs = 20;
    std::array<std::unique_ptr<QProcess>, Runs> runs;
    for (int i = 0; i < Runs; ++i)
        runs[i] = StartExport("served-" + std::to_string(i) + ".json");
    for (int i = 0; i < Runs; ++i) {
        SCOPED_TRACE(i);
        const QByteArray served = Export(*runs[i], "served-" + std::to_string(i) + ".json");
        EXPECT_EQ(served.size(), expected.size());
        EXPECT_TRUE(served == expected);
    }
}

TEST_F(ServerExportProgramTest, UnconfirmedServerIsRefusedNamingTheSetting) {
    MoveDatabaseToServer();
    auto run = StartExport("served.json");
    ASSERT_TRUE(run->waitForFinished(60000));
    EXPECT_NE(run->exitCode(), 0);
    const std::string errors = run->readAllStandardError().toStdString();
    EXPECT_NE(errors.find("[DATA] Database names the server 127.0.0.1/"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find(ConfirmedServersSection), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(folder_ / "served.json"));
}

} // namespace
} // namespace kanvio::test
