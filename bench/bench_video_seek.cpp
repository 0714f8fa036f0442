// Video engine figures, each checked for the frame it reports on: exact seeks on long
// films (GOP 12 and GOP 250 MPEG-2 program streams at 720x576, H.264 in MP4 with GOP 300
// and a B-pyramid) beside an anchor that does the same work the same way without the
// engine, the film switch, and playback at normal speed painting every frame.
//
//   bench_video_seek [film folder] [--no-two-hours] [--only WORD]
//   (default /tmp; films made once and kept; --only: the seek figures of the films whose
//   name holds WORD)
//
// The anchor is a bare pipeline (filesrc, decodebin, appsink) that seeks a margin before
// the target and drops the decoded frames before it, as the engine does. Its margin
// covers the film's longest GOP and the demuxer's lateness (program streams); MP4 and
// transport stream demuxers start at the key frame themselves, so there it is a plain
// accurate seek. Every frame shown is read back from the frame number in its picture.

#include "bench/BenchFrames.h"
#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/FrameCode.h"
#include "video/GstHandles.h"
#include "video/KeyFrameIndexer.h"
#include "video/MultimediaEngine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gst/app/gstappsink.h>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace kanvio;
using namespace kanvio::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int64_t kFrameMs = 40;

struct TBenchFilm {
    const char* Name;
    generator::TFilmKind Kind;
    double Seconds;
    int Width, Height, Gop, BFrames;
};

std::string FileOf(const std::string& folder, const TBenchFilm& film) {
    return folder + "/" + film.Name;
}

// The films not yet in folder, made side by side (see MakeFilms); the time each took and
// the time of all of them are printed.
void MakeMissingFilms(const std::string& folder, const std::vector<TBenchFilm>& films) {
    std::vector<generator::TFilmRequest> requests;
    for (const TBenchFilm& film : films) {
        const std::string file = FileOf(folder, film);
        if (std::filesystem::exists(file))
            continue;
        std::printf("making %s ...\n", file.c_str());
        generator::TFilmRequest request;
        request.FileName = file;
        request.Kind = film.Kind;
        request.Seconds = film.Seconds;
        request.Width = film.Width;
        request.Height = film.Height;
        request.KeyFrameInterval = film.Gop;
        request.BFrames = film.BFrames;
        request.BPyramid = film.Kind == generator::TFilmKind::Mp4H264;
        request.Label = film.Name;
        request.FrameNumbers = true;
        requests.push_back(request);
    }
    if (requests.empty())
        return;
    std::fflush(stdout);
    const auto start = Clock::now();
    const std::vector<generator::TFilmTimes> times = generator::MakeFilms(requests);
    for (size_t i = 0; i < requests.size(); ++i)
        std::printf("  %-40s %6.1f s (processor %6.1f s)\n", requests[i].FileName.c_str(),
                    times[i].Seconds, times[i].ProcessorSeconds);
    std::printf("  made %zu films side by side in %.1f s\n", requests.size(),
                Milliseconds(Clock::now() - start) / 1000);
}

std::vector<int> RandomFrames(double seconds, int count) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> frame(0, int(seconds * 25) - 1);
    std::vector<int> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(frame(random));
    return frames;
}

using bench::FrameNumberOf;

int FrameNumberOf(GstSample* sample) {
    if (!sample)
        return -1;
    GstCaps* caps = gst_sample_get_caps(sample);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return -1;
    const int number = generator::ReadFrameCode(map.data, width, height, width * 4);
    gst_buffer_unmap(buffer, &map);
    return number;
}

// filesrc ! decodebin ! videoconvert ! appsink; a probe in front of the sink drops the
// frames before the target, so the sink prerolls on the target frame.
class TAnchorPipeline {
public:
    explicit TAnchorPipeline(const std::string& film) {
        pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("anchor"))));
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        GstElement* decode = gst_element_factory_make("decodebin", nullptr);
        GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
        sink_ = gst_element_factory_make("appsink", nullptr);
        g_object_set(source, "location", film.c_str(), nullptr);
        TGstCapsPtr caps(gst_caps_from_string("video/x-raw, format=(string)BGRx"));
        g_object_set(sink_, "caps", caps.get(), "max-buffers", 1u, "drop", TRUE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), source, decode, convert, sink_, nullptr);
        gst_element_link(source, decode);
        gst_element_link(convert, sink_);
        g_signal_connect(
            decode, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer convert) {
                TGstPadPtr input(gst_element_get_static_pad(GST_ELEMENT(convert), "sink"));
                if (!gst_pad_is_linked(input.get()))
                    gst_pad_link(pad, input.get());
            }),
            convert);
        TGstPadPtr entry(gst_element_get_static_pad(sink_, "sink"));
        gst_pad_add_probe(entry.get(), GST_PAD_PROBE_TYPE_BUFFER, &TAnchorPipeline::Drop, this,
                          nullptr);
        gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, 10 * GST_SECOND);
        TGstSamplePtr first(gst_app_sink_pull_preroll(GST_APP_SINK(sink_)));
        firstNs_ = first ? int64_t(GST_BUFFER_PTS(gst_sample_get_buffer(first.get()))) : 0;
        // Seeks ask for stream time; an MP4 edit list puts the frames' time stamps later.
        gint64 position = 0;
        if (gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position))
            streamOffsetNs_ = firstNs_ - position;
    }
    ~TAnchorPipeline() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }

    // Seeks to the frame at ms from the first frame, starting marginMs earlier; returns
    // the frame number the sink then holds.
    void Seek(int64_t ms, int64_t marginMs) {
        const int64_t target = firstNs_ + ms * GST_MSECOND;
        target_ = target;
        gst_element_seek_simple(
            pipeline_.get(), GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
            std::max<int64_t>(0, target - streamOffsetNs_ - marginMs * GST_MSECOND));
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, 30 * GST_SECOND);
    }
    int ShownFrame() {
        TGstSamplePtr sample(gst_app_sink_pull_preroll(GST_APP_SINK(sink_)));
        return FrameNumberOf(sample.get());
    }

private:
    static GstPadProbeReturn Drop(GstPad*, GstPadProbeInfo* info, gpointer self) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        const int64_t pts = int64_t(GST_BUFFER_PTS(buffer));
        const int64_t half = int64_t(kFrameMs * GST_MSECOND / 2);
        return pts + half < static_cast<TAnchorPipeline*>(self)->target_.load() ? GST_PAD_PROBE_DROP
                                                                                : GST_PAD_PROBE_OK;
    }
    TGstElementPtr pipeline_;
    GstElement* sink_ = nullptr;
    int64_t firstNs_ = 0;
    int64_t streamOffsetNs_ = 0;
    std::atomic<int64_t> target_{0};
};

struct TFigures {
    double Median, P95;
};

TFigures Report(const char* what, const std::vector<double>& times, int exact, size_t count) {
    const TFigures f{Percentile(times, 0.5), Percentile(times, 0.95)};
    std::printf("  %-40s exact %2d/%zu   median %7.1f ms   p95 %7.1f ms\n", what, exact, count,
                f.Median, f.P95);
    return f;
}

void SeekFigures(const std::string& film, double seconds) {
    std::printf("\nexact seeks, %s\n", std::filesystem::path(film).filename().c_str());
    const std::vector<int> frames = RandomFrames(seconds, 50);
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    if (Failed(engine.LoadMovie(film, lsSystem))) {
        std::printf("  the film does not load\n");
        return;
    }
    const auto indexStart = Clock::now();
    engine.Indexer()->Wait();
    const std::shared_ptr<const TKeyFrameIndex> index = engine.Indexer()->Index();
    if (!index) {
        std::printf("  no index: %s\n", engine.Indexer()->Error().c_str());
        return;
    }
    std::printf("  index: %zu key frames, longest GOP %.2f s, clock lead %.2f s, built in %.0f ms "
                "after the load\n",
                index->KeyFrames.size(), index->LongestGapNs() / 1e9,
                index->LargestClockLeadNs() / 1e9, Milliseconds(Clock::now() - indexStart));

    std::vector<double> engineTimes, anchorTimes;
    int engineExact = 0, anchorExact = 0, positionRight = 0;
    for (int frame : frames) {
        const auto start = Clock::now();
        engine.SeekTo(frame * kFrameMs);
        engineTimes.push_back(Milliseconds(Clock::now() - start));
        QImage grabbed;
        engine.GrabPicture(grabbed);
        engineExact += FrameNumberOf(grabbed) == frame;
        const int64_t position = engine.GetCurrentPosition(); // 100-ns units
        if (position != frame * kFrameMs * 10000 && positionRight == 0)
            std::printf("  frame %d at %.3f s reported at %.3f s\n", frame, frame * kFrameMs / 1e3,
                        position / 1e7);
        positionRight += position == frame * kFrameMs * 10000;
    }
    const bool demuxerSeeksKeyFrames = index->Container != TContainer::ProgramStream;
    const int64_t marginMs =
        demuxerSeeksKeyFrames
            ? 0
            : (index->LongestGapNs() + index->LargestClockLeadNs()) / 1000000 + kFrameMs;
    TAnchorPipeline anchor(film);
    for (int frame : frames) {
        const auto start = Clock::now();
        anchor.Seek(frame * kFrameMs, marginMs);
        anchorTimes.push_back(Milliseconds(Clock::now() - start));
        const int shown = anchor.ShownFrame();
        if (shown != frame && anchorExact == 0)
            std::printf("  anchor: frame %d asked, %d shown\n", frame, shown);
        anchorExact += shown == frame;
    }
    const TFigures e =
        Report("engine SeekTo, index built", engineTimes, engineExact, frames.size());
    std::printf("  position reported after the seek: right %d/%zu\n", positionRight, frames.size());
    char label[80];
    std::snprintf(label, sizeof label, "anchor, margin %lld ms", static_cast<long long>(marginMs));
    const TFigures a = Report(label, anchorTimes, anchorExact, frames.size());
    std::printf("  ratio engine/anchor: median %.2f, p95 %.2f\n", e.Median / a.Median,
                e.P95 / a.P95);

    // The first seeks after a load, before the index is there: the margin is learnt.
    engine.OverrideKeyFrameIndex(std::make_shared<TKeyFrameIndex>());
    std::vector<double> learning;
    int learningExact = 0;
    const std::vector<int> few(frames.begin(), frames.begin() + 10);
    for (int frame : few) {
        const auto start = Clock::now();
        engine.SeekTo(frame * kFrameMs);
        learning.push_back(Milliseconds(Clock::now() - start));
        QImage grabbed;
        engine.GrabPicture(grabbed);
        learningExact += FrameNumberOf(grabbed) == frame;
    }
    Report("engine SeekTo, no index (learning)", learning, learningExact, few.size());
}

void FilmSwitch(const std::string& a, const std::string& b) {
    std::printf("\nfilm switch, LoadMovieAuto then an exact seek, checked\n");
    for (int stepMs : {500, 0}) {
        TFixedEngineSettings settings(lsSystem);
        TMMEngine engine(rmVMR, nullptr, settings);
        engine.SetPlayPauseStepMs(stepMs);
        engine.LoadMovieAuto(a); // plugins loaded
        std::vector<double> times;
        int exact = 0;
        for (int i = 0; i < 10; ++i) {
            const int frame = 1000 + 37 * i;
            const auto start = Clock::now();
            engine.LoadMovieAuto(i % 2 ? a : b);
            engine.SeekTo(frame * kFrameMs);
            times.push_back(Milliseconds(Clock::now() - start));
            QImage grabbed;
            engine.GrabPicture(grabbed);
            exact += FrameNumberOf(grabbed) == frame;
        }
        Report(stepMs ? "with the 500 ms play-then-pause step" : "without the step", times, exact,
               times.size());
    }
}

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PlaybackLoad(const std::string& film) {
    std::printf("\nplayback at 1x, renderer mode 0, 10 s, every frame painted at 1024x819\n");
    TFixedEngineSettings settings(lsSystem);
    TPaintingDisplay display({1024, 819});
    TMMEngine engine(rmVMR, &display, settings);
    engine.SetPlayPauseStepMs(0);
    if (Failed(engine.LoadMovie(film, lsSystem)))
        return;
    engine.SeekTo(60000);
    const int paintedBefore = display.Painted();
    const double cpuBefore = ProcessorSeconds();
    const auto start = Clock::now();
    engine.PlayMovie();
    while (Clock::now() - start < std::chrono::seconds(10)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double wall = Milliseconds(Clock::now() - start) / 1000.0;
    const double cpu = ProcessorSeconds() - cpuBefore;
    engine.PauseMovie();
    const int painted = display.Painted() - paintedBefore;
    std::printf("  %d frames painted in %.2f s (%.1f per second), last frame %d, %d out of order\n",
                painted, wall, painted / wall, display.Last(), display.OutOfOrder());
    std::printf("  processor time %.2f s: %.1f%% of one core (decoding, conversion, picture "
                "adjustment and painting)\n",
                cpu, 100.0 * cpu / wall);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    EnsureGStreamer();
    std::string folder = "/tmp";
    bool twoHours = true;
    std::string only; // --only WORD: the seek figures of the films whose name holds WORD
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-two-hours") == 0)
            twoHours = false;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            folder = argv[i];
    }
    using generator::TFilmKind;
    const TBenchFilm gop12{
        "kanvio-bench-20min-gop12.mpg", TFilmKind::Mpeg2Program, 1200, 720, 576, 12, 2};
    const TBenchFilm gop250{
        "kanvio-bench-20min-gop250.mpg", TFilmKind::Mpeg2Program, 1200, 720, 576, 250, 2};
    const TBenchFilm h264{
        "kanvio-bench-10min-h264-gop300.mp4", TFilmKind::Mp4H264, 600, 352, 288, 300, 3};
    // A strip of a picture (the smallest that carries the frame numbers) keeps the
    // two-hour film quick to make: about a minute and a half here, beside the others.
    const TBenchFilm twoHour{
        "kanvio-bench-2h-gop250.mpg", TFilmKind::Mpeg2Program, 7200, 352, 64, 250, 2};
    if (!only.empty()) {
        std::vector<TBenchFilm> chosen;
        for (const TBenchFilm& film : {gop12, gop250, h264, twoHour})
            if (std::strstr(film.Name, only.c_str()))
                chosen.push_back(film);
        MakeMissingFilms(folder, chosen);
        for (const TBenchFilm& film : chosen)
            SeekFigures(FileOf(folder, film), film.Seconds);
        return 0;
    }
    std::vector<TBenchFilm> films = {gop12, gop250, h264};
    if (twoHours)
        films.push_back(twoHour);
    MakeMissingFilms(folder, films);
    const std::string film12 = FileOf(folder, gop12);
    const std::string film250 = FileOf(folder, gop250);
    SeekFigures(film12, gop12.Seconds);
    SeekFigures(film250, gop250.Seconds);
    SeekFigures(FileOf(folder, h264), h264.Seconds);
    if (twoHours)
        SeekFigures(FileOf(folder, twoHour), twoHour.Seconds);
    FilmSwitch(film12, film250);
    PlaybackLoad(film250);
    std::printf("\ngoals: every frame exact; seek p95 <= 1.0x the anchor on every film; on the "
                "GOP-250 film median <= 150 ms and p95 <= 300 ms; GOP-12 no worse than before "
                "(7-24 / 16-48 ms)\n");
    return 0;
}
