// Whole-process figures of "kanvio --grab" beside an ffmpeg doing the same work: seek one
// GOP before the time in the input, then decode forward to the exact frame
// (ffmpeg -ss T-G -i FILM -ss G -frames:v 1). Both write a JPEG; the frame number in
// each picture is read back and counted. "ffmpeg -ss T -i FILM -frames:v 1" runs beside
// them as a speed reference only: between key frames it shows the key frame, not T.
//
//   bench_grab [film folder]   (default /tmp; the 20-minute films of bench_video_seek,
//                               made once and kept)
//
// The two commands run in turn, A B A B, after a warm-up of each; the ratio is taken pair
// by pair so that it holds while the machine's speed drifts.

#include "bench/ChildProcess.h"
#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/FrameCode.h"

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace kanvio;

namespace {

constexpr int kRounds = 7;

struct TGrabFilm {
    const char* Name;
    int Gop;
    // Frames to grab: between key frames, on one, and the last GOP's end.
    std::vector<int> Frames;
};

// The films not yet in folder, made side by side.
void MakeMissingFilms(const std::string& folder, const std::vector<const TGrabFilm*>& films) {
    std::vector<generator::TFilmRequest> requests;
    for (const TGrabFilm* film : films) {
        const std::string file = folder + "/" + film->Name;
        if (std::filesystem::exists(file))
            continue;
        std::printf("making %s ...\n", file.c_str());
        generator::TFilmRequest request;
        request.FileName = file;
        request.Kind = generator::TFilmKind::Mpeg2Program;
        request.Seconds = 1200;
        request.Width = 720;
        request.Height = 576;
        request.KeyFrameInterval = film->Gop;
        request.BFrames = 2;
        request.Label = film->Name;
        request.FrameNumbers = true;
        requests.push_back(request);
    }
    std::fflush(stdout);
    generator::MakeFilms(requests);
}

std::string OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return program;
}

int FrameNumberIn(const std::string& picture) {
    const QImage image =
        QImage(QString::fromStdString(picture)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return -1;
    return generator::ReadFrameCode(image.constBits(), image.width(), image.height(),
                                    static_cast<int>(image.bytesPerLine()));
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct TCommandFigures {
    std::vector<double> Wall;
    int Exact = 0;
    int Runs = 0;
};

// Runs the command and checks the frame its picture shows.
void RunChecked(const std::vector<std::string>& command, const std::string& picture, int frame,
                TCommandFigures& figures, bool count) {
    std::filesystem::remove(picture);
    const bench::TChildRun run = bench::RunChild(command, "/tmp", "");
    if (!count)
        return;
    ++figures.Runs;
    if (run.Ran)
        figures.Wall.push_back(run.WallMilliseconds);
    figures.Exact += run.Ran && FrameNumberIn(picture) == frame;
}

void GrabFigures(const std::string& film, const TGrabFilm& traits, const std::string& scratch) {
    std::printf("\n%s (GOP %d)\n", traits.Name, traits.Gop);
    const std::string ffmpeg = OnPath("ffmpeg");
    const double gopSeconds = traits.Gop / 25.0;
    TCommandFigures kanvio, same, reference;
    std::vector<double> ratios;
    for (int frame : traits.Frames) {
        const double t = frame / 25.0;
        const std::string ours = scratch + "/kanvio.jpg";
        const std::string theirs = scratch + "/ffmpeg.jpg";
        const std::string quick = scratch + "/ffmpeg-key.jpg";
        const std::vector<std::string> grab = {KANVIO_PROGRAM_FILE, "--grab", film,
                                               std::to_string(frame * 40), ours};
        const double early = std::max(0.0, t - gopSeconds);
        const std::vector<std::string> exact = {
            ffmpeg,         "-v", "error", "-y",  "-ss",
            Seconds(early), "-i", film,    "-ss", Seconds(t - early),
            "-frames:v",    "1",  theirs};
        const std::vector<std::string> key = {ffmpeg, "-v", "error",     "-y", "-ss", Seconds(t),
                                              "-i",   film, "-frames:v", "1",  quick};
        RunChecked(grab, ours, frame, kanvio, false); // warm-up
        RunChecked(exact, theirs, frame, same, false);
        for (int round = 0; round < kRounds; ++round) {
            RunChecked(grab, ours, frame, kanvio, true);
            RunChecked(exact, theirs, frame, same, true);
            if (!kanvio.Wall.empty() && !same.Wall.empty())
                ratios.push_back(kanvio.Wall.back() / same.Wall.back());
            RunChecked(key, quick, frame, reference, true);
        }
    }
    const auto print = [](const char* what, const TCommandFigures& f) {
        std::printf("  %-46s median %6.0f ms   exact %2d/%d\n", what, Median(f.Wall), f.Exact,
                    f.Runs);
    };
    print("kanvio --grab", kanvio);
    print("ffmpeg -ss T-G -i FILM -ss G -frames:v 1", same);
    print("ffmpeg -ss T -i FILM -frames:v 1 (reference)", reference);
    std::printf("  ratio kanvio/ffmpeg (same work), pair by pair: median %.2f\n", Median(ratios));
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string scratch =
        (std::filesystem::temp_directory_path() / ("kanvio-bench-grab-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(scratch);
    // A frame late in the film, one in the middle and one among the first.
    const TGrabFilm gop12{"kanvio-bench-20min-gop12.mpg", 12, {28623, 12000, 7}};
    const TGrabFilm gop250{"kanvio-bench-20min-gop250.mpg", 250, {28623, 12000, 7}};
    MakeMissingFilms(folder, {&gop12, &gop250});
    for (const TGrabFilm* film : {&gop12, &gop250})
        GrabFigures(folder + "/" + film->Name, *film, scratch);
    std::filesystem::remove_all(scratch);
    std::printf(
        "\ngoal: kanvio --grab <= 1.0x the ffmpeg doing the same work, every frame exact\n");
    return 0;
}
