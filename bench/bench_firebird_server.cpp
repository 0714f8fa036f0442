// How long the project database of a large project (2,000 reaches, 10,000 connections,
// 100,000 observations) takes to read from a Firebird server on this machine, next to the
// delivered file (its private copy included), and 20 "--export-json" runs at once against
// one server. Starts a server of its own (tests/support/firebird_server.sh). Prints its
// figures; a model or document that differs from the delivered file's is reported on
// standard error and in the exit code.
//
//   bench_firebird_server [work folder]   (default: a fresh temporary folder, removed at the
//                                          end; a given folder keeps the generated project)

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdServer.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "foundation/ServerConsent.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of this process, and of another one by its /proc entry, in milliseconds.
double OwnCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double ProcessCpuMilliseconds(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every field the data source fills, in model order.
std::string Describe(const kanvio::TKanvioDataModel& model) {
    std::ostringstream out;
    out.precision(17);
    for (const auto* structures : {&model.Reaches, &model.Connections})
        for (const auto& s : *structures) {
            out << s->ObjectType << '|' << s->ID << '|' << s->city << '|' << s->date << '|'
                << s->street << '|' << s->ReachNumber << '|' << s->ConnectionNumber << '|'
                << s->StartManholeNumber << '|' << s->EndManholeNumber << '|' << s->video << '|'
                << s->EndDist << '|' << s->direction << '|' << s->InspMode << '|' << s->CodeDigit
                << '\n';
            for (const auto& d : s->Details)
                out << d.Distance << '|' << d.Code << '|' << d.Text << '|' << d.VideoTime << '|'
                    << d.DefectClass << '\n';
        }
    return out.str();
}

// The test server script's way of starting and stopping; stopped when the object goes.
class TServer {
public:
    explicit TServer(fs::path folder) : folder_(std::move(folder)) {
        Run("start");
        std::ifstream env(folder_ / "server.env");
        for (std::string line; std::getline(env, line);)
            if (const auto equals = line.find('='); equals != std::string::npos)
                values_[line.substr(0, equals)] = line.substr(equals + 1);
    }
    ~TServer() { Run("stop"); }
    bool Running() const { return values_.count("PORT") != 0; }
    std::string Pid() const {
        std::string pid;
        std::ifstream(folder_ / "pid") >> pid;
        return pid;
    }
    std::string Value(const std::string& name) const { return values_.at(name); }
    fs::path DataFolder() const { return folder_ / "data"; }

private:
    void Run(const char* action) {
        const std::string command = std::string(KANVIO_FIREBIRD_SERVER_SCRIPT) + " " + action +
                                    " '" + folder_.string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "%s\n", (command + " failed").c_str());
    }
    fs::path folder_;
    std::map<std::string, std::string> values_;
};

// Runs the program's export in folder, count times at once; the wall time of all.
double ExportsAtOnce(const fs::path& folder, int count, std::vector<int>& exitCodes) {
    const auto start = Clock::now();
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const std::string output = "served-" + std::to_string(i) + ".json";
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(folder.c_str()) != 0)
                _exit(126);
            const std::string program = (folder / "kanvio").string();
            execl(program.c_str(), program.c_str(), "--export-json", output.c_str(), nullptr);
            _exit(127);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        exitCodes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return Milliseconds(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const bool keep = argc > 1;
    const fs::path root =
        keep ? fs::path(argv[1])
             : fs::temp_directory_path() / ("kanvio-bench-server-" + std::to_string(getpid()));
    const fs::path delivery = root / "delivery";
    const fs::path kept = root / "project";
    fs::remove_all(delivery);
    fs::remove_all(root / "config");
    fs::create_directories(delivery);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    kanvio::ReopenRegistryStore();
    int failures = 0;
    {
        TServer server(root / "server");
        if (!server.Running()) {
            std::fprintf(stderr, "the Firebird server did not start\n");
            return 1;
        }
        kanvio::generator::TGeneratorOptions options;
        options.Reaches = 2000;
        options.Connections = 10000;
        options.Observations = 100000;
        options.Films = 4;
        if (!keep || !fs::exists(kept / "Kanvio.dat")) {
            fs::create_directories(kept);
            kanvio::generator::WriteProjectDatabase(kanvio::generator::GenerateProject(options),
                                                    kept.string());
        }
        for (const char* name : {"Kanvio.dat", "Kanvio.ini"})
            fs::copy_file(kept / name, delivery / name);
        const fs::path served = server.DataFolder() / "project.fdb";
        fs::copy_file(delivery / "Kanvio.dat", served);
        const std::string address = "127.0.0.1/" + server.Value("PORT") + ":" + served.string();
        kanvio::StoreServerLogin("127.0.0.1", {server.Value("USER"), server.Value("PASSWORD"), 10});
        const std::string settingsFile = (delivery / "Kanvio.ini").string();
        kanvio::RememberServerConsent({settingsFile, "[DATA] Database", address, "127.0.0.1"});
        kanvio::SetProgramFolderForTesting(delivery.string() + "/");
        kanvio::TConsoleDialogs dialogs;

        constexpr int Rounds = 5;
        std::vector<double> embeddedTimes, serverTimes, embeddedCpu, clientCpu, serverCpu;
        std::string embeddedModel, serverModel;
        for (int round = 0; round < Rounds; ++round) {
            {
                kanvio::TKanvioDataModel model;
                const auto start = Clock::now();
                const double cpu = OwnCpuMilliseconds();
                kanvio::TFirebirdDataTreeBuilder((delivery / "Kanvio.dat").string(), dialogs)
                    .BuildDataTree(model);
                embeddedTimes.push_back(Milliseconds(Clock::now() - start));
                embeddedCpu.push_back(OwnCpuMilliseconds() - cpu);
                if (round == 0)
                    embeddedModel = Describe(model);
            }
            {
                kanvio::TKanvioDataModel model;
                const auto start = Clock::now();
                const double cpu = OwnCpuMilliseconds();
                const double serverStart = ProcessCpuMilliseconds(server.Pid());
                kanvio::TFirebirdDataTreeBuilder::OnServer(address, settingsFile, dialogs)
                    ->BuildDataTree(model);
                serverTimes.push_back(Milliseconds(Clock::now() - start));
                clientCpu.push_back(OwnCpuMilliseconds() - cpu);
                serverCpu.push_back(ProcessCpuMilliseconds(server.Pid()) - serverStart);
                if (round == 0)
                    serverModel = Describe(model);
            }
        }
        // The attachment alone: login, wire encryption, the server opening the database.
        std::vector<double> attachTimes;
        for (int round = 0; round < Rounds; ++round) {
            const auto start = Clock::now();
            kanvio::AttachServerDatabase(address, settingsFile, dialogs)->Detach();
            attachTimes.push_back(Milliseconds(Clock::now() - start));
        }
        std::printf("attach and detach alone:                %8.1f ms (median of %d)\n",
                    Median(attachTimes), Rounds);
        if (serverModel != embeddedModel || embeddedModel.empty()) {
            std::fprintf(stderr, "the model read from the server differs from the file's\n");
            ++failures;
        }
        const double embedded = Median(embeddedTimes), remote = Median(serverTimes);
        std::printf("project: %d structures, %d observations, %.1f MB\n",
                    options.Reaches + options.Connections, options.Observations,
                    static_cast<double>(fs::file_size(served)) / 1e6);
        std::printf("delivered file (private copy included): %8.1f ms (median of %d)\n", embedded,
                    Rounds);
        std::printf("server on this machine:                 %8.1f ms (median of %d)\n", remote,
                    Rounds);
        std::printf("server / file:                          %8.2f x  (goal: at most 1.5 x)\n",
                    remote / embedded);
        std::printf("CPU (medians): file %.0f ms; server path %.0f ms here + %.0f ms in the "
                    "server\n",
                    Median(embeddedCpu), Median(clientCpu), Median(serverCpu));

        // The program's own export, once from the file, then 20 at once from the server.
        fs::copy_file(KANVIO_PROGRAM_FILE, delivery / "kanvio");
        fs::permissions(delivery / "kanvio", fs::perms::owner_exec, fs::perm_options::add);
        std::vector<int> codes;
        fs::rename(delivery / "Kanvio.ini", delivery / "Kanvio.ini.file");
        {
            std::string ini = FileBytes(delivery / "Kanvio.ini.file");
            fs::copy_file(delivery / "Kanvio.ini.file", delivery / "Kanvio.ini");
            const double local = ExportsAtOnce(delivery, 1, codes);
            fs::rename(delivery / "served-0.json", delivery / "local.json");
            std::printf("one export from the file:               %8.1f ms\n", local);
            ini.insert(ini.find('\n', ini.find("[DATA]")) + 1, "Database=" + address + "\r\n");
            std::ofstream(delivery / "Kanvio.ini", std::ios::binary | std::ios::trunc) << ini;
        }
        fs::remove(delivery / "Kanvio.dat");
        constexpr int Concurrent = 20;
        codes.clear();
        const double all = ExportsAtOnce(delivery, Concurrent, codes);
        const std::string expected = FileBytes(delivery / "local.json");
        int same = 0, succeeded = 0;
        for (int i = 0; i < Concurrent; ++i) {
            succeeded += codes[static_cast<size_t>(i)] == 0;
            same += !expected.empty() &&
                    FileBytes(delivery / ("served-" + std::to_string(i) + ".json")) == expected;
        }
        std::printf("%d exports at once from the server:     %8.1f ms (%d succeeded, %d identical "
                    "to the file's document)\n",
                    Concurrent, all, succeeded, same);
        if (succeeded != Concurrent || same != Concurrent) {
            std::fprintf(stderr, "exports failed or differ\n");
            ++failures;
        }
    }
    if (keep)
        fs::remove_all(delivery);
    else
        fs::remove_all(root);
    return failures == 0 ? 0 : 1;
}
