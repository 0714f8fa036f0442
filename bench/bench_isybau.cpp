// How long the ISYBAU data source takes to build the model of a large project (2,000
// reaches, 10,000 connections, 100,000 observations), next to merely reading the same
// bytes; how long the whole start of the player takes on it (settings, model, film list,
// assignment of the films, choice list); how much memory the started player takes; and how
// long the whole "kanvio --export-json" process takes, next to cat of the same files (both
// as fresh processes, in turn). Prints its figures; an export whose output differs from the
// export made in this process is reported on standard error and in the exit code.

#include "bench/ChildProcess.h"
#include "core/KanvioContext.h"
#include "core/ProjectExport.h"
#include "datasources/DataSourceFactory.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/AtomicFile.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of this thread: on a machine busy with other work it tells more than the clock.
double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
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

// The same way the parsers read a file, without looking at the bytes.
size_t ReadPlain(const std::string& fileName) {
    std::string bytes;
    kanvio::ReadWholeFile(fileName, bytes);
    return bytes.size();
}

// The player's start as "kanvio --export-json" runs it: no window, nothing stored.
std::unique_ptr<kanvio::TKanvioContext> StartPlayer() {
    static kanvio::TConsoleDialogs dialogs;
    static kanvio::TDataSourceFactory sources(dialogs);
    kanvio::TContextServices services;
    services.Dialogs = &dialogs;
    services.DataSources = &sources;
    services.Headless = true;
    auto context = std::make_unique<kanvio::TKanvioContext>(services);
    context->Create();
    return context;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv); // the date texts come from the locale
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("kanvio-bench-isybau-" + std::to_string(getpid()));

    kanvio::generator::TGeneratorOptions options;
    options.Reaches = 2000;
    options.Connections = 10000;
    options.Observations = 100000;
    options.Films = 4;
    // The generator's own copy of the project is gone before anything is measured.
    const auto project = [&] {
        auto generated = kanvio::generator::GenerateProject(options);
        kanvio::generator::WriteIsybauProject(generated, folder.string());
        generated.ReachInspections.clear();
        generated.ConnectionInspections.clear();
        return generated;
    }();
    // The player runs from the delivery, as from a disc.
    kanvio::SetProgramFolderForTesting(folder.string() + "/");
    fs::current_path(folder);
    const std::string reachFile = (folder / project.ReachFileName).string();
    const std::string connectionFile = (folder / project.ConnectionFileName).string();
    const auto bytes = fs::file_size(reachFile) + fs::file_size(connectionFile);

    // Memory first, while the process holds nothing of earlier rounds.
    const long residentBefore = StatusKilobytes("VmRSS");
    long residentStarted = 0;
    size_t films = 0;
    {
        const auto context = StartPlayer();
        residentStarted = StatusKilobytes("VmRSS");
        films = context->PlayList.size();
    }

    constexpr int Rounds = 9;
    std::vector<double> readTimes, buildTimes, readCpu, buildCpu, startTimes, startCpu;
    size_t structures = 0, observations = 0;
    ReadPlain(reachFile); // the first round of each finds the files in the page cache
    ReadPlain(connectionFile);
    for (int round = 0; round < Rounds; ++round) {
        auto start = Clock::now();
        double cpu = ThreadCpuMilliseconds();
        const size_t read = ReadPlain(reachFile) + ReadPlain(connectionFile);
        readTimes.push_back(Milliseconds(Clock::now() - start));
        readCpu.push_back(ThreadCpuMilliseconds() - cpu);
        if (read != bytes)
            std::cerr << "short read\n";

        kanvio::TKanvioDataModel model;
        start = Clock::now();
        cpu = ThreadCpuMilliseconds();
        kanvio::TISYBAUDataTreeBuilder(project.ReachFileName, project.ConnectionFileName)
            .BuildDataTree(model);
        buildTimes.push_back(Milliseconds(Clock::now() - start));
        buildCpu.push_back(ThreadCpuMilliseconds() - cpu);
        structures = model.Reaches.size() + model.Connections.size();
        observations = 0;
        for (const auto* list : {&model.Reaches, &model.Connections})
            for (const auto& structure : *list)
                observations += structure->Details.size();

        start = Clock::now();
        cpu = ThreadCpuMilliseconds();
        StartPlayer();
        startTimes.push_back(Milliseconds(Clock::now() - start));
        startCpu.push_back(ThreadCpuMilliseconds() - cpu);
    }

    const double read = Median(readTimes), build = Median(buildTimes);
    std::printf("ISYBAU project: %zu structures, %zu observations, %.1f MB in two files\n",
                structures, observations, static_cast<double>(bytes) / 1e6);
    std::printf("plain read of the files:   %8.2f ms (median of %d)\n", read, Rounds);
    std::printf("BuildDataTree:             %8.2f ms (median of %d; goal: under 150 ms)\n", build,
                Rounds);
    std::printf("build / plain read:        %8.1f x   (goal: at most 10 x)\n", build / read);
    std::printf("CPU time: read %.2f ms, build %.2f ms, ratio %.1f x (medians)\n", Median(readCpu),
                Median(buildCpu), Median(buildCpu) / Median(readCpu));
    std::printf("whole start (settings, model, %zu film parts, assignment):\n"
                "                           %8.2f ms (median of %d), CPU %.2f ms\n",
                films, Median(startTimes), Rounds, Median(startCpu));
    std::printf("resident, player started:  %8.1f MB  (goal: under 100 MB; %.1f MB before "
                "the start)\n",
                residentStarted / 1024.0, residentBefore / 1024.0);

    // The whole export process, next to cat of the files it reads.
    const std::string program = (folder / "kanvio").string();
    fs::copy_file(KANVIO_PROGRAM_FILE, program, fs::copy_options::overwrite_existing);
    const std::string expected = kanvio::ProjectJson(*StartPlayer());
    const std::string exportFile = (folder / "export.json").string();
    const std::string catFile = (folder / "cat.out").string();
    std::vector<double> exportTimes, exportCpu, catTimes, catCpu, ratios;
    bool right = true;
    for (int round = 0; round < Rounds; ++round) {
        const auto exported =
            kanvio::bench::RunChild({program, "--export-json"}, folder.string(), exportFile);
        const auto read = kanvio::bench::RunChild({"/bin/cat", reachFile, connectionFile},
                                                  folder.string(), catFile);
        std::string written;
        kanvio::ReadWholeFile(exportFile, written);
        if (!exported.Ran || written != expected) {
            std::fprintf(stderr,
                         "round %d: the export process failed or wrote other bytes than "
                         "the export in this process\n",
                         round);
            right = false;
        }
        if (!read.Ran || fs::file_size(catFile) != bytes) {
            std::fprintf(stderr, "round %d: cat failed or copied a wrong number of bytes\n", round);
            right = false;
        }
        exportTimes.push_back(exported.WallMilliseconds);
        exportCpu.push_back(exported.CpuMilliseconds);
        catTimes.push_back(read.WallMilliseconds);
        catCpu.push_back(read.CpuMilliseconds);
        ratios.push_back(exported.WallMilliseconds / read.WallMilliseconds);
    }
    std::printf("kanvio --export-json:      %8.2f ms (median of %d whole processes; goal: at "
                "most 300 ms), CPU %.2f ms, %.1f MB written\n",
                Median(exportTimes), Rounds, Median(exportCpu),
                static_cast<double>(expected.size()) / 1e6);
    std::printf("cat of the same files:     %8.2f ms (median), CPU %.2f ms\n", Median(catTimes),
                Median(catCpu));
    std::printf("export / cat:              %8.1f x   (median of the ratios of each pair)\n",
                Median(ratios));
    std::printf("export output equal to the export in this process: %s\n", right ? "yes" : "NO");

    kanvio::SetProgramFolderForTesting({});
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    return right ? 0 : 1;
}
