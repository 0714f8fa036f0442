// kanvio-mkproject: writes an inspection project (Kanvio.ini, the ISYBAU files, the ZF
// file and films) for tests, demos and benchmarks.

#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace kanvio::generator;

constexpr const char* Usage =
    "usage: kanvio-mkproject [options] FOLDER\n"
    "  --reaches N        reaches (default 6)\n"
    "  --connections N    house connections (default 8)\n"
    "  --observations N   observations over all structures (default 80)\n"
    "  --films N          film files (default 3)\n"
    "  --film-seconds N   length of each film (default 4)\n"
    "  --seed S           seed of the generated content (default 1)\n"
    "  --no-films         write no films\n"
    "  --database         deliver the project as a database (Kanvio.dat) too\n"
    "  --xml VERSION      deliver it as ISYBAU XML (2006-10, 2013-02 or 2017-07) instead\n"
    "  --frames           XML observations give frame numbers instead of time codes\n"
    "  --counter          XML observations give the video counter instead of time codes\n"
    "  --shared-films     XML films show two structures each\n"
    "  --demo             a small demo project with 20-second films\n"
    "  --test-media       the shared test films, and an ISYBAU project in FOLDER/isybau-project\n"
    "  --medium DIR       copy the language and help files from DIR\n";

struct TCommandLine {
    TGeneratorOptions Generator;
    bool WithFilms = true;
    bool Database = false;
    bool TestMedia = false;
    std::optional<TXmlDeliveryOptions> Xml;
    TXmlVideoPosition Position = TXmlVideoPosition::Timecode;
    bool SharedFilms = false;
    std::optional<std::string> Medium;
    std::string Folder;
};

std::optional<long long> ParseNumber(const char* text) {
    long long value = 0;
    const char* end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, value);
    if (error != std::errc() || at != end || value < 0)
        return std::nullopt;
    return value;
}

// Returns false with a message on standard error when the command line cannot be used.
bool ParseCommandLine(int argc, char** argv, TCommandLine& commandLine) {
    auto& options = commandLine.Generator;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto numberFor = [&](auto& target, long long maximum) {
            if (i + 1 >= argc) {
                std::cerr << "kanvio-mkproject: " << argument << " needs a value\n";
                return false;
            }
            const auto value = ParseNumber(argv[++i]);
            if (!value || *value > maximum) {
                std::cerr << "kanvio-mkproject: " << argument << ": '" << argv[i]
                          << "' is no number from 0 to " << maximum << "\n";
                return false;
            }
            target = static_cast<std::remove_reference_t<decltype(target)>>(*value);
            return true;
        };
        bool ok = true;
        if (argument == "--reaches")
            ok = numberFor(options.Reaches, 1000000);
        else if (argument == "--connections")
            ok = numberFor(options.Connections, 1000000);
        else if (argument == "--observations")
            ok = numberFor(options.Observations, 10000000);
        else if (argument == "--films")
            ok = numberFor(options.Films, 1000);
        else if (argument == "--film-seconds")
            ok = numberFor(options.FilmSeconds, 3600);
        else if (argument == "--seed")
            ok = numberFor(options.Seed, 4294967295LL);
        else if (argument == "--no-films")
            commandLine.WithFilms = false;
        else if (argument == "--database")
            commandLine.Database = true;
        else if (argument == "--frames")
            commandLine.Position = TXmlVideoPosition::Frame;
        else if (argument == "--counter")
            commandLine.Position = TXmlVideoPosition::Counter;
        else if (argument == "--shared-films")
            commandLine.SharedFilms = true;
        else if (argument == "--xml") {
            const std::string version = i + 1 < argc ? argv[++i] : "";
            commandLine.Xml.emplace();
            if (version == "2006-10")
                commandLine.Xml->Version = TXmlVersion::V2006_10;
            else if (version == "2013-02")
                commandLine.Xml->Version = TXmlVersion::V2013_02;
            else if (version != "2017-07") {
                std::cerr << "kanvio-mkproject: --xml needs 2006-10, 2013-02 or 2017-07\n";
                return false;
            }
        } else if (argument == "--demo") {
            options.Reaches = 4;
            options.Connections = 6;
            options.Observations = 40;
            options.Films = 4;
            options.FilmSeconds = 20;
        } else if (argument == "--test-media")
            commandLine.TestMedia = true;
        else if (argument == "--medium") {
            if (i + 1 >= argc) {
                std::cerr << "kanvio-mkproject: --medium needs a folder\n";
                return false;
            }
            commandLine.Medium = argv[++i];
        } else if (argument == "--help" || argument == "-h") {
            std::cout << Usage;
            std::exit(0);
        } else if (argument.starts_with("--")) {
            std::cerr << "kanvio-mkproject: unknown option " << argument << "\n" << Usage;
            return false;
        } else if (commandLine.Folder.empty())
            commandLine.Folder = argument;
        else {
            std::cerr << "kanvio-mkproject: only one folder, please\n" << Usage;
            return false;
        }
        if (!ok)
            return false;
    }
    if (commandLine.Folder.empty()) {
        std::cerr << Usage;
        return false;
    }
    if (options.FilmSeconds < 2) {
        std::cerr << "kanvio-mkproject: films must last at least 2 seconds\n";
        return false;
    }
    return true;
}

std::string DefaultMediumFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return (program.parent_path().parent_path() / "medium").string();
}

void WriteProject(const TGeneratorOptions& options, bool withFilms, const std::string& folder,
                  const std::string& medium, bool database = false,
                  const std::optional<TXmlDeliveryOptions>& xml = std::nullopt) {
    const auto project = GenerateProject(options);
    if (xml)
        WriteIsybauXmlProject(project, folder, *xml);
    else
        WriteIsybauProject(project, folder);
    if (database)
        WriteProjectDatabase(project, folder);
    if (withFilms)
        WriteProjectFilms(project, folder);
    const int copied = CopyMediumFiles(medium, folder);
    std::cout << folder << ": " << project.StructuresInTimelineOrder().size() << " structures, "
              << project.ObservationCount() << " observations, "
              << (withFilms ? project.Films.size() : 0) << " films, " << copied
              << " language and help files\n";
}

} // namespace

int main(int argc, char** argv) {
    TCommandLine commandLine;
    if (!ParseCommandLine(argc, argv, commandLine))
        return 2;
    const std::string medium = commandLine.Medium.value_or(DefaultMediumFolder());
    try {
        if (commandLine.TestMedia) {
            MakeTestMedia(commandLine.Folder);
            WriteProject(SharedTestProjectOptions(), true, commandLine.Folder + "/isybau-project",
                         medium);
            return 0;
        }
        if (commandLine.Xml) {
            commandLine.Xml->Position = commandLine.Position;
            commandLine.Xml->ObjectsPerFilm = commandLine.SharedFilms ? 2 : 1;
        }
        WriteProject(commandLine.Generator, commandLine.WithFilms, commandLine.Folder, medium,
                     commandLine.Database && !commandLine.Xml, commandLine.Xml);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "kanvio-mkproject: " << error.what() << "\n";
        return 1;
    }
}
