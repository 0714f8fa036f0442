// How long the project database source takes to build the model of a large project (2,000
// reaches, 10,000 connections, 100,000 observations) and how much memory that takes, next
// to the ISYBAU build of the same generated project. Prints its figures; asserts nothing.

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
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

size_t CountObservations(const kanvio::TKanvioDataModel& model) {
    size_t count = 0;
    for (const auto* list : {&model.Reaches, &model.Connections})
        for (const auto& structure : *list)
            count += structure->Details.size();
    return count;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
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

    const double database = Median(databaseTimes), isybau = Median(isybauTimes);
    std::printf(
        "project database: %zu structures, %zu observations, %.1f MB (written in %.0f ms)\n",
        structures, observations, static_cast<double>(fs::file_size(databaseFile)) / 1e6,
        writeTime);
    std::printf("first BuildDataTree:       %8.1f ms (client library and engine start included)\n",
                databaseTimes.front());
    std::printf("BuildDataTree:             %8.1f ms (median of %d; goal: under 1500 ms)\n",
                database, Rounds);
    std::printf("ISYBAU BuildDataTree:      %8.1f ms (median of %d, same project)\n", isybau,
                Rounds);
    std::printf("database / ISYBAU:         %8.1f x   (goal: at most 8 x)\n", database / isybau);
    std::printf("CPU time: database %.1f ms, ISYBAU %.1f ms, ratio %.1f x (medians)\n",
                Median(databaseCpu), Median(isybauCpu), Median(databaseCpu) / Median(isybauCpu));
    std::printf("resident with the model:   %8.1f MB  (%.1f MB before the first build, peak "
                "%.1f MB)\n",
                residentWithModel / 1024.0, residentBefore / 1024.0,
                StatusKilobytes("VmHWM") / 1024.0);
    kanvio::SetProgramFolderForTesting({});
    fs::remove_all(folder);
    return 0;
}
