// Exact seeks on a film served by a web server on this machine, beside the same seeks on
// the same film as a local file, and on a server answering every request 50 ms late. The
// server is the tests' range server (tests/support/range_http_server.py), started here.
// Every frame shown is read back from the frame number in its picture.
//
// The anchor is the engine on the local file, with the key-frame index it builds there
// (what a user of a disc gets); the web film has no whole index: each seek finds its key
// frame by bisection over range requests, and the player's source then starts reading at
// that key frame's pack. Both seek to the same frames in the same order.
//
//   bench_web_seek [film folder]   (default /tmp; films made once, kept)

#include "bench/BenchFrames.h"
#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/FrameCode.h"
#include "video/KeyFrameIndexer.h"
#include "video/MultimediaEngine.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace kanvio;
using namespace kanvio::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int64_t kFrameMs = 40;

// The films of these names not yet in folder, made side by side.
void MakeFilms(const std::string& folder, const std::vector<std::pair<const char*, int>>& films,
               int seconds) {
    std::vector<generator::TFilmRequest> requests;
    for (const auto& [name, gop] : films) {
        const std::string file = folder + "/" + name;
        if (std::filesystem::exists(file))
            continue;
        std::printf("making %s ...\n", file.c_str());
        generator::TFilmRequest request;
        request.FileName = file;
        request.Kind = generator::TFilmKind::Mpeg2Program;
        request.Seconds = seconds;
        request.Width = 720;
        request.Height = 576;
        request.KeyFrameInterval = gop;
        request.BFrames = 2;
        request.Label = name;
        request.FrameNumbers = true;
        requests.push_back(request);
    }
    std::fflush(stdout);
    generator::MakeFilms(requests);
}

// The range server on a free port, serving folder; stopped when the object goes.
class TWebServer {
public:
    explicit TWebServer(const std::string& folder)
        : state_(std::filesystem::temp_directory_path() /
                 ("kanvio-bench-web-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(state_);
        const std::string portFile = (state_ / "port").string();
        pid_ = fork();
        if (pid_ == 0) {
            execlp("python3", "python3", KANVIO_RANGE_SERVER_SCRIPT, folder.c_str(),
                   portFile.c_str(), (state_ / "requests.log").c_str(), "50", nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100 && port_ == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::ifstream(portFile) >> port_;
        }
    }
    ~TWebServer() {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        std::filesystem::remove_all(state_);
    }
    std::string Url(const std::string& name, const char* variant = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + variant + name;
    }
    bool Running() const { return port_ != 0; }

private:
    std::filesystem::path state_;
    pid_t pid_ = -1;
    int port_ = 0;
};

struct TRun {
    std::vector<double> Times;
    int Exact = 0;
    double LoadMs = 0;
};

TRun SeekAll(const std::string& film, const std::vector<int>& frames, bool waitForIndex) {
    TRun run;
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    const auto load = Clock::now();
    if (Failed(engine.LoadMovie(film, lsSystem))) {
        std::printf("  %s does not load\n", film.c_str());
        return run;
    }
    run.LoadMs = Milliseconds(Clock::now() - load);
    if (waitForIndex && engine.Indexer())
        engine.Indexer()->Wait();
    for (const int frame : frames) {
        const auto start = Clock::now();
        engine.SeekTo(frame * kFrameMs);
        run.Times.push_back(Milliseconds(Clock::now() - start));
        QImage grabbed;
        engine.GrabPicture(grabbed);
        run.Exact += FrameNumberOf(grabbed) == frame;
    }
    return run;
}

void Report(const char* what, const TRun& run, size_t count) {
    std::printf("  %-34s exact %2d/%zu  load %6.0f ms  median %7.1f ms  p95 %7.1f ms\n", what,
                run.Exact, count, run.LoadMs, Percentile(run.Times, 0.5),
                Percentile(run.Times, 0.95));
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    EnsureGStreamer();
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    constexpr int Seconds = 300;
    MakeFilms(folder, {{"kanvio-bench-5min-gop250.mpg", 250}, {"kanvio-bench-5min-gop12.mpg", 12}},
              Seconds);
    const std::string gop250 = folder + "/kanvio-bench-5min-gop250.mpg";
    const std::string gop12 = folder + "/kanvio-bench-5min-gop12.mpg";
    TWebServer server(folder);
    if (!server.Running()) {
        std::fprintf(stderr, "the web server did not start\n");
        return 1;
    }
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> pick(0, Seconds * 25 - 1);
    std::vector<int> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(pick(random));

    int failures = 0;
    for (const std::string& film : {gop12, gop250}) {
        const std::string name = std::filesystem::path(film).filename().string();
        std::printf("\n%s (%.1f MB), %zu exact seeks\n", name.c_str(),
                    double(std::filesystem::file_size(film)) / 1e6, frames.size());
        const TRun local = SeekAll(film, frames, true);
        const TRun web = SeekAll(server.Url(name), frames, false);
        const TRun slow = SeekAll(server.Url(name, "slow/"), frames, false);
        Report("local file, index built (anchor)", local, frames.size());
        Report("web server on this machine", web, frames.size());
        Report("web server, 50 ms per request", slow, frames.size());
        std::printf("  p95 web / local: %.2f (goal: at most 2)\n",
                    Percentile(web.Times, 0.95) / Percentile(local.Times, 0.95));
        for (const TRun* run : {&local, &web, &slow})
            failures += run->Exact != int(frames.size());
    }
    if (failures)
        std::fprintf(stderr, "some seeks did not show their frame\n");
    return failures == 0 ? 0 : 1;
}
