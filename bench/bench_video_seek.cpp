// Video engine figures: exact seek latency next to the same seeks on a bare GStreamer
// pipeline, film switch time with and without the play-then-pause step after a load, and
// the processor time of playback at normal speed in renderer mode 0.
//
//   bench_video_seek [film folder]   (default /tmp; the films are made once and kept)

#include "tools/mkproject/FilmMaker.h"
#include "video/GstHandles.h"
#include "video/MultimediaEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gst/app/gstappsink.h>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace kanvio;
using Clock = std::chrono::steady_clock;

namespace {

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

std::string FilmOf(const std::string& folder, const char* name, double seconds) {
    const std::string file = folder + "/" + name;
    if (!std::filesystem::exists(file)) {
        std::printf("making %s (%.0f s, 720x576 MPEG-2) ...\n", file.c_str(), seconds);
        std::fflush(stdout);
        generator::TFilmRequest request;
        request.FileName = file + ".part.mpg";
        request.Kind = generator::TFilmKind::Mpeg2Program;
        request.Seconds = seconds;
        request.Width = 720;
        request.Height = 576;
        request.Label = name;
        generator::MakeFilm(request);
        std::filesystem::rename(request.FileName, file);
    }
    return file;
}

std::vector<int64_t> RandomPositionsMs(double seconds, int count) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int64_t> position(0, int64_t(seconds * 1000) - 200);
    std::vector<int64_t> positions;
    for (int i = 0; i < count; ++i)
        positions.push_back(position(random));
    return positions;
}

// filesrc ! decodebin ! videoconvert ! appsink, seeking as an application would without
// the engine: one flushing accurate seek, then wait for the preroll.
class TBarePipeline {
public:
    explicit TBarePipeline(const std::string& film) {
        pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("bare"))));
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        GstElement* decode = gst_element_factory_make("decodebin", nullptr);
        convert_ = gst_element_factory_make("videoconvert", nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        g_object_set(source, "location", film.c_str(), nullptr);
        TGstCapsPtr caps(gst_caps_from_string("video/x-raw, format=(string)BGRx"));
        g_object_set(sink, "caps", caps.get(), "max-buffers", 1u, "drop", TRUE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), source, decode, convert_, sink, nullptr);
        gst_element_link(source, decode);
        gst_element_link(convert_, sink);
        g_signal_connect(
            decode, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer convert) {
                TGstPadPtr input(gst_element_get_static_pad(GST_ELEMENT(convert), "sink"));
                if (!gst_pad_is_linked(input.get()))
                    gst_pad_link(pad, input.get());
            }),
            convert_);
        gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, 10 * GST_SECOND);
    }
    ~TBarePipeline() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }

    void SeekMs(int64_t ms, int64_t firstNs) {
        gst_element_seek_simple(
            pipeline_.get(), GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
            firstNs + ms * GST_MSECOND);
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, 10 * GST_SECOND);
    }

private:
    TGstElementPtr pipeline_;
    GstElement* convert_;
};

struct TFigures {
    double median, p95;
};

TFigures Summary(const char* what, const std::vector<double>& times) {
    const TFigures f{Percentile(times, 0.5), Percentile(times, 0.95)};
    std::printf("  %-44s median %7.1f ms   p95 %7.1f ms   (n=%zu)\n", what, f.median, f.p95,
                times.size());
    return f;
}

void SeekLatency(const std::string& film, double seconds) {
    std::printf("\nexact seeks, %s\n", std::filesystem::path(film).filename().c_str());
    const std::vector<int64_t> positions = RandomPositionsMs(seconds, 50);
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    if (Failed(engine.LoadMovie(film, lsSystem))) {
        std::printf("  the film does not load\n");
        return;
    }
    std::vector<double> engineTimes, bareTimes;
    for (int64_t ms : positions) {
        const auto start = Clock::now();
        engine.SeekTo(ms);
        engineTimes.push_back(Milliseconds(Clock::now() - start));
    }
    // Stream times, not times from the first frame: the difference does not change the cost.
    const int64_t firstNs = 0;
    TBarePipeline bare(film);
    for (int64_t ms : positions) {
        const auto start = Clock::now();
        bare.SeekMs(ms, firstNs);
        bareTimes.push_back(Milliseconds(Clock::now() - start));
    }
    const TFigures e = Summary("engine SeekTo (frame at the sink)", engineTimes);
    const TFigures b = Summary("bare pipeline, flushing accurate seek", bareTimes);
    std::printf("  ratio engine/bare: median %.2f, p95 %.2f\n", e.median / b.median, e.p95 / b.p95);
}

void FilmSwitch(const std::string& a, const std::string& b) {
    std::printf("\nfilm switch, LoadMovieAuto until the first frame\n");
    for (int stepMs : {500, 0}) {
        TFixedEngineSettings settings(lsSystem);
        TMMEngine engine(rmVMR, nullptr, settings);
        engine.SetPlayPauseStepMs(stepMs);
        engine.LoadMovieAuto(a); // plugins loaded
        std::vector<double> times;
        for (int i = 0; i < 10; ++i) {
            const auto start = Clock::now();
            engine.LoadMovieAuto(i % 2 ? a : b);
            times.push_back(Milliseconds(Clock::now() - start));
        }
        Summary(stepMs ? "with the 500 ms play-then-pause step" : "without the step", times);
    }
}

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PlaybackLoad(const std::string& film) {
    std::printf("\nplayback at 1x, renderer mode 0, 10 s\n");
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    if (Failed(engine.LoadMovie(film, lsSystem)))
        return;
    engine.SeekTo(60000);
    const double cpuBefore = ProcessorSeconds();
    const auto start = Clock::now();
    engine.PlayMovie();
    while (Clock::now() - start < std::chrono::seconds(10)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double wall = Milliseconds(Clock::now() - start) / 1000.0;
    const double cpu = ProcessorSeconds() - cpuBefore;
    engine.PauseMovie();
    std::printf("  processor time %.2f s in %.2f s: %.1f%% of one core (decoding, conversion "
                "and picture adjustment; painting is the window's)\n",
                cpu, wall, 100.0 * cpu / wall);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    EnsureGStreamer();
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string longFilm = FilmOf(folder, "kanvio-bench-20min-720x576.mpg", 1200);
    const std::string shortFilm = FilmOf(folder, "kanvio-bench-30s-720x576.mpg", 30);
    SeekLatency(longFilm, 1200);
    SeekLatency(shortFilm, 30);
    FilmSwitch(shortFilm, longFilm);
    PlaybackLoad(longFilm);
    std::printf("\ngoals: seek p95 < 50 ms on the 20-minute film and <= 1.5x bare p95; switch "
                "median < 250 ms; playback < 25%% of a core\n");
    return 0;
}
