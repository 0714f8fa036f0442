// How long the project database source takes to build the model of a large project (2,000
// reaches, 10,000 connections, 100,000 observations) and how much memory that takes, next
// to the ISYBAU build of the same generated project, and what the private copy every build
// reads from costs. The memory is measured in fresh processes (this program run again for
// one build), each source's the same way. Prints its figures; reports a wrong copy or model
// on standard error and in its exit code.

#include "bench/ChildProcess.h"
#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdFiles.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of the whole process (the engine may work in threads of its own): on a machine
// busy with other work it tells more than the clock.
double ProcessCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A line of /proc/self/status in kilobytes ("VmRSS", "VmHWM").
long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

std::string FileBytes(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

struct TCopyFigures {
    double Milliseconds = 0;
    uint64_t Bytes = 0;
    const char* Method = "";
    bool SameBytes = true;
};

// The private copy alone, as BuildDataTree makes it; each copy is checked byte for byte
// against the delivery after it was timed.
TCopyFigures MeasurePrivateCopy(const std::string& databaseFile, int rounds) {
    const std::string original = FileBytes(databaseFile);
    std::vector<double> times;
    TCopyFigures figures;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        const kanvio::TPrivateDatabaseCopy copy(databaseFile);
        times.push_back(Milliseconds(Clock::now() - start));
        figures.Bytes = copy.Bytes();
        figures.Method = kanvio::CopyMethodName(copy.Method());
        figures.SameBytes = figures.SameBytes && FileBytes(copy.FileName()) == original;
    }
    figures.Milliseconds = Median(times);
    return figures;
}

size_t CountObservations(const kanvio::TKanvioDataModel& model) {
    size_t count = 0;
    for (const auto* list : {&model.Reaches, &model.Connections})
        for (const auto& structure : *list)
            count += structure->Details.size();
    return count;
}

// What one build in a fresh process printed: the model's size and the process's memory.
struct TChildFigures {
    bool Right = false;
    size_t Structures = 0, Observations = 0;
    long StartKilobytes = 0, PeakKilobytes = 0;
};

// The child's side: one build of the project in folder from the database or the ISYBAU
// files, then the counts and the memory on standard output.
int BuildInThisProcess(const std::string& kind, const std::string& folder,
                       const std::vector<std::string>& files) {
    const long start = kanvio::bench::OwnStatusKilobytes("VmRSS");
    kanvio::SetProgramFolderForTesting(folder + "/");
    kanvio::TConsoleDialogs dialogs;
    kanvio::TKanvioDataModel model;
    if (kind == "database" && files.size() == 1)
        kanvio::TFirebirdDataTreeBuilder(files[0], dialogs).BuildDataTree(model);
    else if (kind == "isybau" && files.size() == 2)
        kanvio::TISYBAUDataTreeBuilder(files[0], files[1]).BuildDataTree(model);
    else
        return 2;
    std::printf("%zu %zu %ld %ld\n", model.Reaches.size() + model.Connections.size(),
                CountObservations(model), start, kanvio::bench::OwnStatusKilobytes("VmHWM"));
    return 0;
}

TChildFigures BuildInChild(const std::string& kind, const std::string& folder,
                           const std::vector<std::string>& files) {
    std::vector<std::string> arguments = {kanvio::bench::OwnProgramFile(), "--build-in-child", kind,
                                          folder};
    arguments.insert(arguments.end(), files.begin(), files.end());
    const std::string output = folder + "/child-" + kind + ".txt";
    TChildFigures figures;
    if (!kanvio::bench::RunChild(arguments, folder, output).Ran)
        return figures;
    std::ifstream printed(output);
    figures.Right = static_cast<bool>(printed >> figures.Structures >> figures.Observations >>
                                      figures.StartKilobytes >> figures.PeakKilobytes);
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc >= 4 && std::string(argv[1]) == "--build-in-child")
        return BuildInThisProcess(argv[2], argv[3],
                                  std::vector<std::string>(argv + 4, argv + argc));
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("kanvio-bench-firebird-" + std::to_string(getpid()));
    kanvio::generator::TGeneratorOptions options;
    options.Reaches = 2000;
    options.Connections = 10000;
    options.Observations = 100000;
    options.Films = 4;

    const std::string databaseFile = (folder / "Kanvio.dat").string();
    std::string reachFileName, connectionFileName;
    double writeTime = 0;
    {
        const auto project = kanvio::generator::GenerateProject(options);
        kanvio::generator::WriteIsybauProject(project, folder.string());
        const auto start = Clock::now();
        kanvio::generator::WriteProjectDatabase(project, folder.string());
        writeTime = Milliseconds(Clock::now() - start);
        reachFileName = project.ReachFileName;
        connectionFileName = project.ConnectionFileName;
    }
    kanvio::SetProgramFolderForTesting(folder.string() + "/");
    kanvio::TConsoleDialogs dialogs;
    // Private copies go to a cache folder of the benchmark's own.
    setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);

    const long residentBefore = StatusKilobytes("VmRSS");
    constexpr int Rounds = 5;
    std::vector<double> databaseTimes, isybauTimes, databaseCpu, isybauCpu;
    size_t structures = 0, observations = 0;
    long residentWithModel = 0;
    for (int round = 0; round < Rounds; ++round) {
        {
            kanvio::TKanvioDataModel model;
            const auto start = Clock::now();
            const double cpu = ProcessCpuMilliseconds();
            kanvio::TFirebirdDataTreeBuilder(databaseFile, dialogs).BuildDataTree(model);
            databaseTimes.push_back(Milliseconds(Clock::now() - start));
            databaseCpu.push_back(ProcessCpuMilliseconds() - cpu);
            structures = model.Reaches.size() + model.Connections.size();
            observations = CountObservations(model);
            if (round == 0)
                residentWithModel = StatusKilobytes("VmRSS");
        }
        {
            kanvio::TKanvioDataModel model;
            const auto start = Clock::now();
            const double cpu = ProcessCpuMilliseconds();
            kanvio::TISYBAUDataTreeBuilder(reachFileName, connectionFileName).BuildDataTree(model);
            isybauTimes.push_back(Milliseconds(Clock::now() - start));
            isybauCpu.push_back(ProcessCpuMilliseconds() - cpu);
            if (model.Reaches.size() + model.Connections.size() != structures ||
                CountObservations(model) != observations)
                std::fprintf(stderr, "the ISYBAU model differs in size\n");
        }
    }

    const TCopyFigures copy = MeasurePrivateCopy(databaseFile, Rounds);
    bool right = copy.SameBytes && copy.Bytes == fs::file_size(databaseFile);
    const size_t expectedStructures =
        static_cast<size_t>(options.Reaches) + static_cast<size_t>(options.Connections);
    if (structures != expectedStructures ||
        observations != static_cast<size_t>(options.Observations)) {
        std::fprintf(stderr,
                     "the model read from the private copy has %zu structures and %zu "
                     "observations instead of %zu and %d\n",
                     structures, observations, expectedStructures, options.Observations);
        right = false;
    }
    if (!copy.SameBytes || copy.Bytes != fs::file_size(databaseFile))
        std::fprintf(stderr, "the private copy differs from the delivery's file\n");

    const double database = Median(databaseTimes), isybau = Median(isybauTimes);
    std::printf(
        "project database: %zu structures, %zu observations, %.1f MB (written in %.0f ms)\n",
        structures, observations, static_cast<double>(fs::file_size(databaseFile)) / 1e6,
        writeTime);
    std::printf("first BuildDataTree:       %8.1f ms (client library and engine start included)\n",
                databaseTimes.front());
    std::printf("BuildDataTree:             %8.1f ms (median of %d; goal: under 1500 ms)\n",
                database, Rounds);
    std::printf("private copy (in it):      %8.1f ms (median of %d; %.1f MB by %s, %s)\n",
                copy.Milliseconds, Rounds, static_cast<double>(copy.Bytes) / 1e6, copy.Method,
                copy.SameBytes ? "same bytes" : "BYTES DIFFER");
    std::printf("ISYBAU BuildDataTree:      %8.1f ms (median of %d, same project)\n", isybau,
                Rounds);
    std::printf("database / ISYBAU:         %8.1f x   (goal: at most 8 x)\n", database / isybau);
    std::printf("CPU time: database %.1f ms, ISYBAU %.1f ms, ratio %.1f x (medians)\n",
                Median(databaseCpu), Median(isybauCpu), Median(databaseCpu) / Median(isybauCpu));
    std::printf("resident in this process:  %8.1f MB  (%.1f MB before the first build, peak "
                "%.1f MB; warm from earlier rounds)\n",
                residentWithModel / 1024.0, residentBefore / 1024.0,
                StatusKilobytes("VmHWM") / 1024.0);

    // Memory of one build in a fresh process, the database's next to the ISYBAU files'.
    std::vector<double> databasePeaks, isybauPeaks;
    long databaseStart = 0, isybauStart = 0;
    for (int round = 0; round < 3; ++round) {
        const TChildFigures database = BuildInChild("database", folder.string(), {databaseFile});
        const TChildFigures isybau =
            BuildInChild("isybau", folder.string(), {reachFileName, connectionFileName});
        for (const auto& [name, figures] :
             {std::pair{"database", &database}, std::pair{"ISYBAU", &isybau}}) {
            if (!figures->Right || figures->Structures != expectedStructures ||
                figures->Observations != static_cast<size_t>(options.Observations)) {
                std::fprintf(stderr,
                             "the %s build in a fresh process failed or read %zu structures and "
                             "%zu observations\n",
                             name, figures->Structures, figures->Observations);
                right = false;
            }
        }
        databasePeaks.push_back(static_cast<double>(database.PeakKilobytes));
        isybauPeaks.push_back(static_cast<double>(isybau.PeakKilobytes));
        databaseStart = database.StartKilobytes;
        isybauStart = isybau.StartKilobytes;
    }
    std::printf("peak, fresh process:       %8.1f MB  database (%.1f MB at its start), %.1f MB "
                "ISYBAU (%.1f MB at its start); medians of 3\n",
                Median(databasePeaks) / 1024.0, databaseStart / 1024.0,
                Median(isybauPeaks) / 1024.0, isybauStart / 1024.0);
    kanvio::SetProgramFolderForTesting({});
    fs::remove_all(folder);
    return right ? 0 : 1;
}
