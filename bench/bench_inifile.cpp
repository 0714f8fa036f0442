// Settings file figures: loading a 20,000-line Kanvio.ini, 10,000 lookups on it, and
// writing it back.

#include "foundation/BigIniFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kFilms = 5000;
constexpr int kCorrectionSections = 1000;
constexpr int kCorrectionsPerSection = 14;

// A project with many films and time corrections: about 20,000 lines.
class LargeSettingsFile {
public:
    LargeSettingsFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kanvio-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder_ = pattern;
        std::ofstream out(FileName(), std::ios::binary);
        out << "[common]\r\nlanguage=de\r\nFPS=25\r\n\r\n[Debug]\r\nLogLevel=0\r\n\r\n";
        out << "[DATA]\r\nISYBAU=Haltungen.txt\r\nConnections=Anschluesse.txt\r\n\r\n[FILME]\r\n";
        for (int i = 0; i < kFilms; ++i) {
            out << "Film" << i << "=Film" << i << ".mpg;" << i * 600 << ";" << i * 600 + 599 << ";R"
                << i << ";K" << i << "\r\n";
        }
        for (int s = 0; s < kCorrectionSections; ++s) {
            out << "\r\n[TIMECORR_" << s << "]\r\n";
            for (int c = 0; c < kCorrectionsPerSection; ++c) {
                out << "00:0" << c % 10 << ":" << 10 + c << "=" << c * 3 << "\r\n";
            }
        }
    }
    ~LargeSettingsFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string FileName() const { return (folder_ / "Kanvio.ini").string(); }
    std::string CopyName() const { return (folder_ / "Copy.ini").string(); }

private:
    std::filesystem::path folder_;
};

const LargeSettingsFile& Settings() {
    static const LargeSettingsFile file;
    return file;
}

void BM_Load20000Lines(benchmark::State& state) {
    const std::string name = Settings().FileName();
    for (auto _ : state) {
        kanvio::TBigIniFile ini(name);
        benchmark::DoNotOptimize(ini.Modified());
    }
    state.counters["lines/s"] = benchmark::Counter(
        20000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Load20000Lines)->Unit(benchmark::kMillisecond);

// The player's pattern: the film list, then the corrections of consecutive films.
void BM_10000ReadStrings(benchmark::State& state) {
    kanvio::TBigIniFile ini(Settings().FileName());
    std::vector<std::string> sections;
    std::vector<std::string> filmKeys;
    for (int i = 0; i < kCorrectionSections; ++i) {
        sections.push_back("timecorr_" + std::to_string(i));
    }
    for (int i = 0; i < kFilms; ++i) {
        filmKeys.push_back("film" + std::to_string(i));
    }
    for (auto _ : state) {
        size_t found = 0;
        for (int i = 0; i < 5000; ++i) {
            found += ini.ReadString("FILME", filmKeys[static_cast<size_t>(i)], "").size();
        }
        for (int i = 0; i < 5000; ++i) {
            const int c = i % kCorrectionsPerSection;
            const std::string key = "00:0" + std::to_string(c % 10) + ":" + std::to_string(10 + c);
            found += ini.ReadString(sections[static_cast<size_t>(i / 5)], key, "").size();
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["reads/s"] = benchmark::Counter(
        10000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_10000ReadStrings)->Unit(benchmark::kMillisecond);

void BM_Write20000Lines(benchmark::State& state) {
    kanvio::TBigIniFile source(Settings().FileName());
    std::vector<std::string> names;
    source.ReadSections(names);
    kanvio::TBigIniFile copy(Settings().CopyName());
    for (const auto& name : names) {
        std::vector<std::string> lines;
        source.ReadSectionValues(name, lines);
        for (const auto& line : lines) {
            const auto equals = line.find('=');
            copy.WriteString(name, line.substr(0, equals), line.substr(equals + 1));
        }
    }
    int round = 0;
    for (auto _ : state) {
        copy.WriteInteger("common", "Round", ++round);
        copy.UpdateFile();
    }
}
BENCHMARK(BM_Write20000Lines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
