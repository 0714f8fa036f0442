// Observation pictures and inspection reports, each figure checked for the frames it shows.
//
//   bench_report [work folder]   (default /tmp/kanvio-bench-report; projects made once, kept)
//
// 1. The thumbnails of a structure with 20 observations (demo films: 352x288 MPEG-2, 20 s):
//    the time from the request until the last thumbnail is announced, with an empty cache
//    and again with a filled one. Anchor: the same 20 exact grabs, one after the other on
//    the calling thread, without cache or thread. Each thumbnail is compared with ffmpeg's
//    decode of its frame, scaled the same way.
//    Then the same with the film playing at normal speed on this (the window's) thread,
//    every frame painted: frames per second while the thumbnails come, beside the same
//    playback just before without them (its anchor); frames are checked to come in order.
// 2. The report of the demo delivery (10 structures, 40 observations) and of a delivery of
//    100 structures with 1,000 observations, each by the program itself in a fresh process
//    (`kanvio --report`), with an empty picture cache and with a filled one: time and peak
//    memory (/usr/bin/time). Anchor: the grabs of all the report's pictures alone. Every
//    picture of the PDF is taken out (pdfimages) and its frame number read and compared
//    with the frame of its observation.

#include "bench/BenchFrames.h"
#include "bench/ChildProcess.h"
#include "tools/mkproject/FrameCode.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"
#include "ui/ObservationPictures.h"
#include "video/FrameGrabber.h"
#include "video/MultimediaEngine.h"
#include "video/VideoDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

using namespace kanvio;
using namespace kanvio::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFps = 25;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct TProject {
    generator::TGeneratedProject Project;
    fs::path Folder;
};

TProject MakeProject(const fs::path& folder, const generator::TGeneratorOptions& options) {
    TProject made{generator::GenerateProject(options), folder};
    if (!fs::exists(folder / "Kanvio.ini")) {
        generator::WriteIsybauProject(made.Project, folder.string());
        generator::WriteProjectFilms(made.Project, folder.string(), true);
        generator::CopyMediumFiles(KANVIO_MEDIUM_DIR, folder.string());
    }
    return made;
}

// The film and frame of each observation, in report order (reaches, then connections).
struct TExpected {
    std::string Film;
    int64_t Ms = 0;
    int Frame = 0;
};
std::vector<TExpected> ExpectedPictures(const TProject& project) {
    std::vector<TExpected> expected;
    for (const auto* structure : project.Project.StructuresInTimelineOrder()) {
        const auto& film = project.Project.Films[size_t(structure->FilmIndex)];
        for (const auto& observation : structure->Observations) {
            const int64_t ms =
                std::max<int64_t>(400, (observation.TimelineSeconds - structure->StartTime) * 1000);
            expected.push_back(
                {(project.Folder / film.FileName).string(), ms, int(ms * kFps / 1000)});
        }
    }
    return expected;
}

QImage Reference(const std::string& film, int frame, const fs::path& scratch) {
    const fs::path out = scratch / "reference.png";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-loglevel", "error", "-y", "-i", QString::fromStdString(film), "-vf",
                            QString("select=eq(n\\,%1)").arg(frame), "-frames:v", "1", "-vsync",
                            "0", QString::fromStdString(out.string())});
    ffmpeg.waitForFinished(60000);
    return QImage(QString::fromStdString(out.string())).convertToFormat(QImage::Format_RGB32);
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            if (i % 4 != 3)
                sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

// Frames painted per second while fetch() runs (at least seconds long); fetch tells when
// its work is done.
double PaintedPerSecond(const TPaintingDisplay& display, double seconds,
                        const std::function<bool()>& done, double* took = nullptr) {
    const int before = display.Painted();
    const auto start = Clock::now();
    bool finished = false;
    while (Seconds(Clock::now() - start) < seconds ||
           (!finished && Seconds(Clock::now() - start) < 60)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!finished && done()) {
            finished = true;
            if (took != nullptr)
                *took = Seconds(Clock::now() - start);
        }
    }
    return (display.Painted() - before) / Seconds(Clock::now() - start);
}

void BenchPlaybackMeanwhile(const std::vector<TFramePlace>& places, const std::string& film,
                            const fs::path& cache) {
    fs::remove_all(cache);
    TFixedEngineSettings settings(lsSystem);
    TPaintingDisplay display({704, 576});
    TMMEngine engine(rmVMR, &display, settings);
    engine.SetPlayPauseStepMs(0);
    if (Failed(engine.LoadMovie(film, lsSystem)) || Failed(engine.PlayMovie())) {
        std::printf("playback: the film cannot be played\n");
        return;
    }
    const double alone = PaintedPerSecond(display, 3, [] { return true; });
    size_t arrived = 0;
    TBackgroundPictures pictures(nullptr, cache.string());
    QObject::connect(&pictures, &TBackgroundPictures::PictureReady,
                     [&](quint64, int, const QImage&) { ++arrived; });
    pictures.Request(places, QSize(160, 120));
    double took = -1;
    const double meanwhile = PaintedPerSecond(
        display, 3, [&] { return arrived == places.size(); }, &took);
    engine.PauseMovie();
    std::printf("  playback at 1x while they come: %.1f frames per second (anchor, the same "
                "playback without them: %.1f; the film has %d); all shown after %.2f s; "
                "%d frames out of order\n",
                meanwhile, alone, kFps, took, display.OutOfOrder());
}

// 1. The strip's thumbnails.
void BenchThumbnails(const fs::path& work) {
    generator::TGeneratorOptions options;
    options.Reaches = 1;
    options.Connections = 0;
    options.Observations = 20;
    options.Films = 1;
    options.FilmSeconds = 20;
    const TProject project = MakeProject(work / "strip", options);
    const std::vector<TExpected> expected = ExpectedPictures(project);
    std::vector<TFramePlace> places;
    for (const TExpected& e : expected)
        places.push_back({e.Film, e.Ms});
    const QSize size(160, 120);

    // GStreamer's plugins are loaded once per process: by a grab of another film, so that
    // neither the strip nor its anchor pays for it.
    TFrameGrabber().Grab(places.front().Film, 0);
    const fs::path cache = work / "strip-cache";
    fs::remove_all(cache);
    for (const char* round : {"empty cache", "filled cache"}) {
        std::map<int, QImage> arrived;
        TBackgroundPictures pictures(nullptr, cache.string());
        QObject::connect(
            &pictures, &TBackgroundPictures::PictureReady,
            [&](quint64, int index, const QImage& picture) { arrived[index] = picture; });
        const auto start = Clock::now();
        pictures.Request(places, size);
        while (arrived.size() < places.size() && Seconds(Clock::now() - start) < 120)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double took = Seconds(Clock::now() - start);
        int right = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            const QImage want =
                FitPicture(Reference(expected[i].Film, expected[i].Frame, work), size);
            const QImage before =
                FitPicture(Reference(expected[i].Film, expected[i].Frame - 1, work), size);
            const double exact = MeanDifference(arrived[int(i)], want);
            right += exact < 3 && exact < MeanDifference(arrived[int(i)], before) ? 1 : 0;
        }
        std::printf("thumbnails, 20 observations, %s: all shown after %.2f s (goal 2 s); "
                    "%d of %zu are their frame\n",
                    round, took, right, expected.size());
    }
    TFrameGrabber grabber;
    const auto start = Clock::now();
    int right = 0;
    for (const TExpected& e : expected)
        right += FrameNumberOf(grabber.Grab(e.Film, e.Ms)) == e.Frame ? 1 : 0;
    std::printf("  anchor: the 20 exact grabs one after the other: %.2f s; %d of %zu exact\n",
                Seconds(Clock::now() - start), right, expected.size());
    BenchPlaybackMeanwhile(places, expected.front().Film, work / "strip-cache-playing");
}

// Frame numbers of the observation pictures in the PDF, in order (the graphics, drawn
// wider, are left out).
std::vector<int> PictureFrames(const fs::path& pdf, const fs::path& scratch) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    QProcess pdfimages;
    pdfimages.start("pdfimages", {"-png", QString::fromStdString(pdf.string()),
                                  QString::fromStdString((scratch / "i").string())});
    pdfimages.waitForFinished(600000);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(scratch))
        files.push_back(entry.path());
    // "i-999.png" comes before "i-1000.png": by number, not by text.
    const auto number = [](const fs::path& file) {
        const std::string stem = file.stem().string();
        return std::stol(stem.substr(stem.find('-') + 1));
    };
    std::sort(files.begin(), files.end(),
              [&](const fs::path& a, const fs::path& b) { return number(a) < number(b); });
    std::vector<int> frames;
    for (const fs::path& file : files) {
        const QImage image(QString::fromStdString(file.string()));
        if (image.size() == QSize(352, 288))
            frames.push_back(FrameNumberOf(image));
    }
    return frames;
}

struct TRun {
    double Seconds = 0;
    long PeakKilobytes = -1;
    bool Ran = false;
};

TRun RunReport(const TProject& project, const fs::path& pdf, const fs::path& cache) {
    const fs::path timeFile = project.Folder.parent_path() / "time.txt";
    setenv("XDG_CACHE_HOME", cache.string().c_str(), 1);
    const auto run =
        bench::RunChild({"/usr/bin/time", "-f", "%M", "-o", timeFile.string(), KANVIO_PROGRAM_FILE,
                         "--project", project.Folder.string(), "--report", pdf.string()},
                        project.Folder.string(), "");
    TRun result{run.WallMilliseconds / 1000, -1, run.Ran};
    std::ifstream(timeFile) >> result.PeakKilobytes;
    return result;
}

void BenchReport(const fs::path& work, const char* name,
                 const generator::TGeneratorOptions& options, const char* goal) {
    const TProject project = MakeProject(work / name, options);
    const std::vector<TExpected> expected = ExpectedPictures(project);
    const fs::path cache = work / (std::string(name) + "-cache");
    fs::remove_all(cache);
    const fs::path pdf = work / (std::string(name) + ".pdf");
    for (const char* round : {"empty cache", "filled cache"}) {
        fs::remove(pdf);
        const TRun run = RunReport(project, pdf, cache);
        const std::vector<int> frames = PictureFrames(pdf, work / "images");
        size_t right = 0;
        for (size_t i = 0; i < std::min(frames.size(), expected.size()); ++i)
            right += frames[i] == expected[i].Frame ? 1 : 0;
        std::printf("report, %s (%zu structures, %zu observations), %s: %.2f s%s, peak memory "
                    "%.0f MB, %s; %zu of %zu pictures are their frame (%zu in the PDF)\n",
                    name, project.Project.StructuresInTimelineOrder().size(), expected.size(),
                    round, run.Seconds, goal, double(run.PeakKilobytes) / 1024,
                    run.Ran ? "ran" : "FAILED", right, expected.size(), frames.size());
    }
    TFrameGrabber grabber;
    const auto start = Clock::now();
    for (const TExpected& e : expected)
        grabber.Grab(e.Film, e.Ms);
    std::printf("  anchor: its %zu grabs alone: %.2f s\n", expected.size(),
                Seconds(Clock::now() - start));
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/kanvio-bench-report");
    fs::create_directories(work);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    std::printf("before any work this process holds %ld MB\n",
                bench::OwnStatusKilobytes("VmRSS") / 1024);
    BenchThumbnails(work);

    generator::TGeneratorOptions demo; // as kanvio-mkproject --demo makes it
    demo.Reaches = 4;
    demo.Connections = 6;
    demo.Observations = 40;
    demo.Films = 4;
    demo.FilmSeconds = 20;
    BenchReport(work, "demo", demo, " (goal 10 s)");

    generator::TGeneratorOptions large;
    large.Reaches = 60;
    large.Connections = 40;
    large.Observations = 1000;
    large.Films = 4;
    large.FilmSeconds = 20;
    BenchReport(work, "large", large, "");
    return 0;
}
