// How long the ISYBAU XML data source takes to build the model of a 100,000-observation
// delivery (2,000 reaches, 10,000 connections, every optional observation element), next
// to a bare pugixml parse of the same file in the same run; the peak memory of the model
// build in a fresh process; and the whole "kanvio --export-json" process on the delivery.
// Prints its figures; exits with 1 when a run fails.

#include "bench/ChildProcess.h"
#include "datasources/IsybauXmlDataTreeBuilder.h"
#include "datasources/IsybauXmlReader.h"
#include "foundation/KanvioToolkit.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string ReadAll(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The parse the data source makes, and nothing after it: the file read as the source reads
// it, the tree built.
size_t BareParse(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<size_t>(file.tellg()), '\0');
    file.seekg(0);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    pugi::xml_document document;
    const auto result = document.load_buffer_inplace(
        bytes.data(), bytes.size(), kanvio::IsybauXmlParseOptions(), pugi::encoding_utf8);
    return result ? bytes.size() : 0;
}

size_t BuildModel(const std::string& fileName, size_t& structures) {
    kanvio::TKanvioDataModel model;
    kanvio::TIsybauXmlDataTreeBuilder(fileName).BuildDataTree(model);
    structures = model.Reaches.size() + model.Connections.size();
    size_t observations = 0;
    for (const auto* list : {&model.Reaches, &model.Connections})
        for (const auto& structure : *list)
            observations += structure->Details.size();
    return observations;
}

// The child: one model build, its peak memory on standard output.
int BuildInChild(const std::string& fileName) {
    size_t structures = 0;
    const size_t observations = BuildModel(fileName, structures);
    std::printf("%zu %zu %ld\n", structures, observations,
                kanvio::bench::OwnStatusKilobytes("VmHWM"));
    return observations > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv); // the date texts come from the locale
    if (argc == 3 && std::strcmp(argv[1], "--build-in-child") == 0)
        return BuildInChild(argv[2]);

    const fs::path folder =
        fs::temp_directory_path() / ("kanvio-bench-isybau-xml-" + std::to_string(getpid()));
    kanvio::generator::TGeneratorOptions options;
    options.Reaches = 2000;
    options.Connections = 10000;
    options.Observations = 100000;
    options.Films = 4;
    {
        const auto project = kanvio::generator::GenerateProject(options);
        kanvio::generator::TXmlDeliveryOptions xml;
        xml.FullObservations = true;
        kanvio::generator::WriteIsybauXmlProject(project, folder.string(), xml);
    }
    const std::string file = (folder / "Inspektion.xml").string();
    const auto bytes = fs::file_size(file);
    kanvio::SetProgramFolderForTesting(folder.string() + "/");
    fs::current_path(folder);

    constexpr int Rounds = 5;
    std::vector<double> parseTimes, buildTimes, ratios;
    size_t structures = 0, observations = 0;
    BareParse(file); // the file in the page cache for both
    bool right = true;
    for (int round = 0; round < Rounds; ++round) {
        auto start = Clock::now();
        right = right && BareParse(file) == bytes;
        parseTimes.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        observations = BuildModel(file, structures);
        buildTimes.push_back(Milliseconds(Clock::now() - start));
        ratios.push_back(buildTimes.back() / parseTimes.back());
    }
    right = right && observations == 100000;
    std::printf("ISYBAU XML delivery: %zu structures, %zu observations, %.1f MB\n", structures,
                observations, static_cast<double>(bytes) / 1e6);
    std::printf("bare pugixml parse:        %8.2f ms (median of %d, file read included)\n",
                Median(parseTimes), Rounds);
    std::printf("model build:               %8.2f ms (median of %d, file read included)\n",
                Median(buildTimes), Rounds);
    std::printf("build / parse:             %8.2f x   (median of the ratios; goal: at most 3 x)\n",
                Median(ratios));

    // Peak memory of one build as the program makes it: in a fresh process.
    const std::string childOut = (folder / "child.out").string();
    const auto child = kanvio::bench::RunChild(
        {kanvio::bench::OwnProgramFile(), "--build-in-child", file}, folder.string(), childOut);
    size_t childStructures = 0, childObservations = 0;
    long peak = -1;
    std::istringstream(ReadAll(childOut)) >> childStructures >> childObservations >> peak;
    right = right && child.Ran && childObservations == observations;
    std::printf("peak memory of a build:    %8.1f MB  (fresh process; goal: under 300 MB)\n",
                static_cast<double>(peak) / 1024.0);

    const std::string program = (folder / "kanvio").string();
    fs::copy_file(KANVIO_PROGRAM_FILE, program, fs::copy_options::overwrite_existing);
    std::vector<double> exportTimes, exportCpu;
    for (int round = 0; round < 3; ++round) {
        const auto exported = kanvio::bench::RunChild({program, "--export-json"}, folder.string(),
                                                      (folder / "export.json").string());
        right = right && exported.Ran;
        exportTimes.push_back(exported.WallMilliseconds);
        exportCpu.push_back(exported.CpuMilliseconds);
    }
    std::printf("kanvio --export-json:      %8.2f ms (median of 3 whole processes), CPU %.2f ms, "
                "%.1f MB written\n",
                Median(exportTimes), Median(exportCpu),
                static_cast<double>(fs::file_size(folder / "export.json")) / 1e6);
    std::printf("all runs right: %s\n", right ? "yes" : "NO");

    kanvio::SetProgramFolderForTesting({});
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    return right ? 0 : 1;
}
