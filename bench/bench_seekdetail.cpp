// Click-to-frame time of a click on an observation (SeekDetail) in the three-window
// layout: the real player context on a generated project of 20 films, the real video
// window and engine on the offscreen platform. Half of the clicks go to another
// structure's film (the film is loaded), half stay within the loaded film. Next to them,
// in the same run, the engine's bare SeekTo. Prints its figures; asserts nothing.
//
// The engine pauses a freshly loaded film only after letting it play for a fixed step
// (500 ms); the film-switch figures are measured without that step and once more with it.

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"
#include "ui/SteeringForm.h"
#include "ui/ThreeWindowLayout.h"
#include "video/VideoDisplayWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace kanvio;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * values.size()));
    return values[at];
}

void Print(const char* what, const std::vector<double>& values) {
    std::printf("%-46s n=%3zu  p50 %7.1f ms  p95 %7.1f ms  max %7.1f ms\n", what, values.size(),
                Percentile(values, 0.5), Percentile(values, 0.95),
                values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()));
}

// Handles events until the display shows a frame other than before; false after 3 s.
bool WaitForNewFrame(const TVideoDisplayWidget& display, qint64 before) {
    QElapsedTimer clock;
    clock.start();
    while (display.Frame().isNull() || display.Frame().cacheKey() == before) {
        if (clock.elapsed() > 3000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct TClick {
    TReachData* Structure;
    int Observation;
    bool SwitchesFilm;
};

// 2 x pairs clicks: one to another structure's film, then one within that film.
std::vector<TClick> PlanClicks(const TAReachData& all, int pairs, std::mt19937& random) {
    std::vector<TReachData*> reaches;
    for (const auto& reach : all) {
        if (!reach->Details.empty()) {
            reaches.push_back(reach.get());
        }
    }
    std::vector<TClick> clicks;
    if (reaches.size() < 2) {
        return clicks;
    }
    size_t current = 0;
    for (int i = 0; i < pairs; ++i) {
        current = (current + 1 + random() % (reaches.size() - 1)) % reaches.size();
        TReachData* structure = reaches[current];
        const int count = static_cast<int>(structure->Details.size());
        clicks.push_back({structure, static_cast<int>(random() % count), true});
        clicks.push_back({structure, static_cast<int>(random() % count), false});
    }
    return clicks;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir root;
    const std::string base = root.path().toStdString();
    for (const char* folder : {"config", "xdg", "state", "medium", "project"}) {
        std::filesystem::create_directories(base + "/" + folder);
    }
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (base + "/xdg").c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
    QApplication application(argc, argv);
    ReopenRegistryStore();
    // The program runs from the delivery, as it does from a CD.
    const std::string project = base + "/project";
    SetProgramFolderForTesting(project + "/");
    std::filesystem::current_path(project);

    generator::TGeneratorOptions options;
    options.Reaches = 20;
    options.Connections = 0;
    options.Films = 20;
    options.FilmSeconds = 30;
    options.Observations = 120;
    const generator::TGeneratedProject generated = generator::GenerateProject(options);
    std::printf("making 20 films of %d s ...\n", options.FilmSeconds);
    std::fflush(stdout);
    generator::WriteIsybauProject(generated, project);
    generator::WriteProjectFilms(generated, project);

    TConsoleDialogs dialogs;
    TDataSourceFactory sources(dialogs);
    TContextServices services;
    services.Dialogs = &dialogs;
    services.DataSources = &sources;
    TKanvioContext context(services);
    context.Create();
    context.FilterStrategy = lsSystem;
    TThreeWindowLayout layout(context);
    context.SetPlayerWindows(&layout);
    context.StartPlayer();
    TScreenForm& screen = *layout.ScreenForm();
    TVideoDisplayWidget& display = *screen.VideoWindow();
    std::printf("structures %zu, films %zu, observations %zu\n", context.Reaches.size(),
                context.PlayList.size(), context.ObservationCount());

    std::mt19937 random(7);
    // Clicks whose seek missed through the film's index and was decoded from the film
    // start are counted apart: that is the demuxer's fault on one generated film.
    std::vector<double> fromFilmStart, withinIndexFound;
    auto measure = [&](const std::vector<TClick>& clicks, std::vector<double>& switching,
                       std::vector<double>& within) {
        std::string previousTarget;
        for (const TClick& click : clicks) {
            context.CurrentStructure = click.Structure;
            const qint64 before = display.Frame().isNull() ? 0 : display.Frame().cacheKey();
            const int filmBefore = context.FilmIndex;
            const uint64_t slowBefore = screen.Engine()->SeeksDecodedFromFilmStart();
            const auto start = Clock::now();
            context.SeekDetail(click.Observation);
            const std::string& target =
                click.Structure->Details[static_cast<size_t>(click.Observation)].VideoTime;
            const bool sameAsBefore = target == previousTarget;
            previousTarget = target;
            if (!WaitForNewFrame(display, before)) {
                std::printf("no new frame after a click on %s at %s (film part %lld..%lld)%s\n",
                            click.Structure->ReachNumber.c_str(), target.c_str(),
                            static_cast<long long>(context.FilmPartStart),
                            static_cast<long long>(context.FilmPartStop),
                            sameAsBefore ? ", the time shown already" : "");
                continue;
            }
            const double ms = Milliseconds(Clock::now() - start);
            const bool slow = screen.Engine()->SeeksDecodedFromFilmStart() != slowBefore;
            const bool switched = context.FilmIndex != filmBefore;
            (switched ? switching : within).push_back(ms);
            if (slow) {
                fromFilmStart.push_back(ms);
            } else if (!switched) {
                withinIndexFound.push_back(ms);
            }
        }
    };

    screen.Engine()->SetPlayPauseStepMs(0);
    context.SeekDetail(0); // plugins load with the first film
    std::vector<double> switching, within;
    measure(PlanClicks(context.Reaches, 100, random), switching, within);

    if (display.Frame().isNull()) {
        std::printf("no film could be shown\n");
        return 1;
    }
    std::vector<double> bareSeek, bareSeekToFrame;
    for (int i = 0; i < 200; ++i) {
        const int64_t target = 400 + static_cast<int64_t>(random() % 28000);
        const qint64 before = display.Frame().isNull() ? 0 : display.Frame().cacheKey();
        const auto start = Clock::now();
        screen.SeekTo(target);
        bareSeek.push_back(Milliseconds(Clock::now() - start));
        if (WaitForNewFrame(display, before)) {
            bareSeekToFrame.push_back(Milliseconds(Clock::now() - start));
        }
    }

    const std::vector<double> slowOnes = fromFilmStart;
    const std::vector<double> indexFound = withinIndexFound;
    screen.Engine()->SetPlayPauseStepMs(500);
    std::vector<double> switchingWithStep, withinWithStep;
    measure(PlanClicks(context.Reaches, 20, random), switchingWithStep, withinWithStep);

    std::printf(
        "\nclick-to-frame of SeekDetail, offscreen, 20 films of 352x288 MPEG-1/MPEG-2 PS\n");
    Print("SeekDetail with a film switch (no 500 ms step)", switching);
    Print("SeekDetail within the loaded film", within);
    Print("  of both, decoded from the film start", slowOnes);
    Print("SeekDetail within the film, index found", indexFound);
    Print("engine SeekTo alone (call returns)", bareSeek);
    Print("engine SeekTo to the frame shown", bareSeekToFrame);
    Print("SeekDetail with a film switch, 500 ms step", switchingWithStep);
    std::printf("goals: film switch p95 < 300 ms (without the step), within a film p95 < 60 ms\n");
    layout.DestroyPlayerWindows();
    context.SetPlayerWindows(nullptr);
    return 0;
}
