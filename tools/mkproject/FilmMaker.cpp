#include "tools/mkproject/FilmMaker.h"

#include "tools/mkproject/FrameCode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The shared test media (MakeTestMedia), all written into one folder:
//
//   mpeg1.mpg      MPEG-1 video in an MPEG-1 system stream, 4 s, 352x288, 25 fps, GOP 12
//   mpeg2.mpg      MPEG-2 video in an MPEG-2 program stream, 4 s, 352x288, 25 fps, GOP 12
//   mpeg2.ts       MPEG-2 video in a transport stream, 4 s, 352x288, 25 fps, GOP 12
//   mpeg4.mp4      MPEG-4 Part 2 video in MP4, 4 s, 352x288, 25 fps, GOP 12
//   h264.mp4       H.264 video in MP4, 4 s, 352x288, 25 fps, GOP 12
//   wide.mpg       MPEG-2 program stream, 2 s, 720x576 (the size of real inspection films)
//   truncated.mpg  the first third of mpeg2.mpg: plays a while, then ends early
//   corrupt.mp4    h264.mp4 with its index (moov box) overwritten by random bytes
//   garbage.mpg    4 KB of random bytes with an ".mpg" name
//   empty.mpg      0 bytes
//   notes.txt      a plain text file of several KB
//   tone.wav       one second of sound and no picture
//
// Every film shows the file's label and its running time (hh:mm:ss.mmm from the first
// frame) burnt into the picture.
//
// The exactness films (MakeExactnessMedia), 60 s each at 352x288 and 25 fps, with frame
// numbers in the picture, as inspection cameras write them:
//
//   mpeg1.mpg            MPEG-1 system stream, GOP 12, 2 B-frames
//   mpeg2-gop12.mpg      MPEG-2 program stream, GOP 12, 2 B-frames
//   mpeg2-gop12-ip.mpg   the same without B-frames
//   mpeg2-gop250.mpg     MPEG-2 program stream, GOP 250 (10 s), 2 B-frames
//   mpeg2-gop250-ip.mpg  the same without B-frames
//   mpeg2.ts             MPEG-2 transport stream, GOP 12, 2 B-frames
//   mpeg4.mp4            MPEG-4 Part 2 in MP4, GOP 25, 2 B-frames
//   h264.mp4             H.264 in MP4, GOP 300, 3 B-frames in a pyramid
//   film17.mpg           MPEG-1, 30 s, no frame numbers: the demuxer reads a wrong rate
//                        from it, lands seeks seconds late and reports 16.7 s

namespace kanvio::generator {

namespace {

const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct TKindTraits {
    const char* Codec;
    const char* Muxer;
    const char* ExtraOptions;
};

TKindTraits TraitsOf(TFilmKind kind) {
    switch (kind) {
    case TFilmKind::Mpeg1System:
        return {"mpeg1video", "mpeg", "-q:v 3"};
    case TFilmKind::Mpeg2Program:
        return {"mpeg2video", "vob", "-q:v 3"};
    case TFilmKind::Mpeg2Transport:
        return {"mpeg2video", "mpegts", "-q:v 3"};
    case TFilmKind::Mp4Mpeg4:
        return {"mpeg4", "mp4", "-q:v 3"};
    case TFilmKind::Mp4H264:
        return {"libx264", "mp4", "-preset veryfast -crf 20 -pix_fmt yuv420p"};
    }
    throw std::invalid_argument("unknown film kind");
}

// Key frames only where asked: the encoders' own scene-cut detection would add some.
std::vector<std::string> GopOptions(const TFilmRequest& request) {
    const std::string gop = std::to_string(request.KeyFrameInterval);
    std::vector<std::string> options = {"-g", gop, "-bf", std::to_string(request.BFrames)};
    if (request.Kind == TFilmKind::Mp4H264) {
        options.insert(options.end(), {"-keyint_min", gop, "-sc_threshold", "0"});
        options.insert(options.end(),
                       {"-x264-params", request.BPyramid ? "b-pyramid=normal" : "b-pyramid=none"});
    } else if (request.KeyFrameInterval > 12) {
        options.insert(options.end(), {"-sc_threshold", "1000000000"});
    }
    return options;
}

// Texts for drawtext: its own quoting turns ':' and '\'' into special characters.
std::string EscapeDrawText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ':' || c == '\'' || c == '\\' || c == '%' || c == ',')
            out += '\\';
        out += c;
    }
    return out;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// One ffmpeg process, started without a shell (file names may hold any character); its
// standard error goes to a file, so that its last line can name the problem.
struct TFfmpegRun {
    pid_t Process = -1;
    std::filesystem::path ErrorFile;
    std::string Target;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    TFilmTimes Times; // once ended
};

TFfmpegRun StartFfmpeg(const std::vector<std::string>& args, const std::string& target) {
    TFfmpegRun run;
    run.Target = target;
    run.ErrorFile =
        std::filesystem::temp_directory_path() /
        ("kanvio-ffmpeg-" + std::to_string(getpid()) + "-" + std::to_string(rand()) + ".log");
    // Everything the child needs is made here: between fork and exec a process with other
    // threads (a test's, a benchmark's) may call nothing that could wait for their locks.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("ffmpeg"));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int errorFd =
        ::open(run.ErrorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    run.Process = fork();
    if (run.Process == 0) {
        if (errorFd >= 0)
            dup2(errorFd, STDERR_FILENO);
        if (nullFd >= 0) {
            dup2(nullFd, STDIN_FILENO);
            dup2(nullFd, STDOUT_FILENO);
        }
        execvp("ffmpeg", argv.data());
        _exit(127);
    }
    if (errorFd >= 0)
        ::close(errorFd);
    if (nullFd >= 0)
        ::close(nullFd);
    if (run.Process < 0) {
        std::error_code ignored;
        std::filesystem::remove(run.ErrorFile, ignored);
        throw std::runtime_error(target + ": cannot start ffmpeg");
    }
    return run;
}

// True, with its exit status, once the process has ended; waits for that when asked to.
bool Ended(TFfmpegRun& run, bool wait, int& status) {
    for (;;) {
        rusage usage{};
        const pid_t ended = wait4(run.Process, &status, wait ? 0 : WNOHANG, &usage);
        if (ended == run.Process) {
            run.Times.Seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - run.Start).count();
            const auto seconds = [](const timeval& t) {
                return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
            };
            run.Times.ProcessorSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            return true;
        }
        if (ended == 0)
            return false;
        if (errno != EINTR) {
            status = -1; // no longer ours to wait for: taken as failed
            return true;
        }
    }
}

// Throws std::runtime_error with ffmpeg's own message when the process failed.
void FinishFfmpeg(const TFfmpegRun& run, int status) {
    std::string message;
    {
        std::ifstream in(run.ErrorFile);
        std::string line;
        while (std::getline(in, line))
            message = line.empty() ? message : line; // ffmpeg's last line names the problem
    }
    std::error_code ignored;
    std::filesystem::remove(run.ErrorFile, ignored);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            message = "ffmpeg is not installed";
        throw std::runtime_error(run.Target + ": ffmpeg failed: " + message);
    }
}

void RunFfmpeg(const std::vector<std::string>& args, const std::string& target) {
    TFfmpegRun run = StartFfmpeg(args, target);
    int status = 0;
    Ended(run, true, status);
    FinishFfmpeg(run, status);
}

// Films are written under a temporary name and renamed, so that processes generating
// the same set at once never see half a film.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
    return target.parent_path() /
           ("." + target.filename().string() + "." + std::to_string(getpid()) + ".part" +
            target.extension().string());
}

void WriteBytesAtomically(const std::filesystem::path& target, const std::string& bytes) {
    std::filesystem::path part = TemporaryNameFor(target);
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error(part.string() + ": cannot write");
    }
    std::filesystem::rename(part, target);
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xff);
    return bytes;
}

bool PresentWithSize(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) &&
           std::filesystem::file_size(file, error) > 0;
}

// The ffmpeg arguments that write request's film to part.
std::vector<std::string> FilmArguments(const TFilmRequest& request,
                                       const std::filesystem::path& part) {
    if (request.FileName.empty())
        throw std::invalid_argument("MakeFilm: no file name");
    if (request.Seconds <= 0 || request.Width <= 0 || request.Height <= 0 ||
        request.FramesPerSecond <= 0 || request.KeyFrameInterval <= 0 || request.BFrames < 0)
        throw std::invalid_argument(request.FileName + ": film size, length or rate not positive");
    const TKindTraits traits = TraitsOf(request.Kind);
    const int fontSize = std::max(12, request.Height / 12);
    std::string filter = "testsrc2=size=" + std::to_string(request.Width) + "x" +
                         std::to_string(request.Height) +
                         ":rate=" + std::to_string(request.FramesPerSecond) +
                         ":duration=" + std::to_string(request.Seconds);
    if (request.FrameNumbers) {
        const std::string code = FrameCodeFilter(request.Width, request.Height);
        if (code.empty())
            throw std::invalid_argument(request.FileName +
                                        ": too small a picture for frame numbers");
        filter += "," + code;
    }
    const std::string box =
        ":box=1:boxcolor=black@0.6:fontcolor=white:fontsize=" + std::to_string(fontSize) +
        ":fontfile=" + kFontFile;
    if (!request.Label.empty())
        filter += ",drawtext=x=8:y=8:text='" + EscapeDrawText(request.Label) + "'" + box;
    filter += ",drawtext=x=8:y=h-th-8:text='%{pts\\:hms}'" + box;

    std::vector<std::string> args = {"-hide_banner", "-nostdin", "-y",    "-loglevel",
                                     "error",        "-f",       "lavfi", "-i",
                                     filter,         "-an",      "-c:v",  traits.Codec};
    for (const std::string& option : GopOptions(request))
        args.push_back(option);
    for (const std::string& word : SplitWords(traits.ExtraOptions))
        args.push_back(word);
    args.insert(args.end(), {"-f", traits.Muxer, part.string()});
    return args;
}

// How many films are made at once: one per processor, since each encoder keeps one busy.
size_t FilmsAtOnce() {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 0 ? static_cast<size_t>(processors) : 1;
}

} // namespace

void MakeFilm(const TFilmRequest& request) {
    MakeFilms({request});
}

std::vector<TFilmTimes> MakeFilms(const std::vector<TFilmRequest>& requests) {
    // Bad requests fail before any film is started.
    std::vector<std::vector<std::string>> arguments;
    for (const TFilmRequest& request : requests) {
        arguments.push_back(FilmArguments(request, TemporaryNameFor(request.FileName)));
        if (std::count_if(requests.begin(), requests.end(), [&](const TFilmRequest& other) {
                return other.FileName == request.FileName;
            }) > 1)
            throw std::invalid_argument(request.FileName + ": asked for twice");
    }
    // The longest work first, so that the short films fill the gaps at the end. A frame
    // costs about as much as 77,000 pixels beside its own (measured here with the MPEG-2
    // encoder at 720x576 and at 352x64): a long film of small pictures is no short work.
    std::vector<size_t> order(requests.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto work = [&](size_t i) {
        const TFilmRequest& r = requests[i];
        return r.Seconds * r.FramesPerSecond * (double(r.Width) * r.Height + 77000);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return work(a) > work(b); });

    std::vector<std::pair<size_t, TFfmpegRun>> running;
    std::vector<TFilmTimes> times(requests.size());
    std::exception_ptr firstFailure;
    // Waits until one of the films is done (whichever ends first) and renames it.
    const auto finishOne = [&] {
        for (;;) {
            for (auto it = running.begin(); it != running.end(); ++it) {
                int status = 0;
                if (!Ended(it->second, false, status))
                    continue;
                const auto [index, run] = std::move(*it);
                running.erase(it);
                times[index] = run.Times;
                const std::filesystem::path target(requests[index].FileName);
                const std::filesystem::path part = TemporaryNameFor(target);
                try {
                    FinishFfmpeg(run, status);
                    std::filesystem::rename(part, target);
                } catch (...) {
                    std::error_code ignored;
                    std::filesystem::remove(part, ignored);
                    if (!firstFailure)
                        firstFailure = std::current_exception();
                }
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    for (const size_t index : order) {
        if (running.size() >= FilmsAtOnce())
            finishOne();
        try {
            running.emplace_back(index, StartFfmpeg(arguments[index], requests[index].FileName));
        } catch (...) {
            if (!firstFailure)
                firstFailure = std::current_exception();
            break;
        }
    }
    // Every film started is waited for, also after a failure: no process outlives the call.
    while (!running.empty())
        finishOne();
    if (firstFailure)
        std::rethrow_exception(firstFailure);
    return times;
}

namespace {

// The exactness films not yet in folder.
std::vector<TFilmRequest> MissingExactnessFilms(const std::filesystem::path& dir) {
    struct TEntry {
        const char* Name;
        TFilmKind Kind;
        int Gop;
        int BFrames;
    };
    const TEntry films[] = {
        {"mpeg1.mpg", TFilmKind::Mpeg1System, 12, 2},
        {"mpeg2-gop12.mpg", TFilmKind::Mpeg2Program, 12, 2},
        {"mpeg2-gop12-ip.mpg", TFilmKind::Mpeg2Program, 12, 0},
        {"mpeg2-gop250.mpg", TFilmKind::Mpeg2Program, 250, 2},
        {"mpeg2-gop250-ip.mpg", TFilmKind::Mpeg2Program, 250, 0},
        {"mpeg2.ts", TFilmKind::Mpeg2Transport, 12, 2},
        {"mpeg4.mp4", TFilmKind::Mp4Mpeg4, 25, 2},
        {"h264.mp4", TFilmKind::Mp4H264, 300, 3},
    };
    std::vector<TFilmRequest> missing;
    for (const TEntry& film : films) {
        const std::filesystem::path file = dir / film.Name;
        if (PresentWithSize(file))
            continue;
        TFilmRequest request;
        request.FileName = file.string();
        request.Kind = film.Kind;
        request.Seconds = 60;
        request.KeyFrameInterval = film.Gop;
        request.BFrames = film.BFrames;
        request.BPyramid = film.Kind == TFilmKind::Mp4H264;
        request.Label = film.Name;
        request.FrameNumbers = true;
        missing.push_back(request);
    }
    // Made exactly as the project generator makes its 17th film.
    if (!PresentWithSize(dir / "film17.mpg")) {
        TFilmRequest request;
        request.FileName = (dir / "film17.mpg").string();
        request.Kind = TFilmKind::Mpeg1System;
        request.Seconds = 30;
        request.Label = "Film 17";
        missing.push_back(request);
    }
    return missing;
}

} // namespace

void MakeExactnessMedia(const std::string& folder) {
    std::filesystem::create_directories(folder);
    MakeFilms(MissingExactnessFilms(folder));
}

void MakeTestMedia(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path dir(folder);
    fs::create_directories(dir);

    struct TFilmEntry {
        const char* Name;
        TFilmKind Kind;
        double Seconds;
        int Width;
        int Height;
    };
    const TFilmEntry films[] = {
        {"mpeg1.mpg", TFilmKind::Mpeg1System, 4.0, 352, 288},
        {"mpeg2.mpg", TFilmKind::Mpeg2Program, 4.0, 352, 288},
        {"mpeg2.ts", TFilmKind::Mpeg2Transport, 4.0, 352, 288},
        {"mpeg4.mp4", TFilmKind::Mp4Mpeg4, 4.0, 352, 288},
        {"h264.mp4", TFilmKind::Mp4H264, 4.0, 352, 288},
        {"wide.mpg", TFilmKind::Mpeg2Program, 2.0, 720, 576},
    };
    // Every missing film at once, the exactness films too: they are made side by side.
    fs::create_directories(dir / "exact");
    std::vector<TFilmRequest> missing = MissingExactnessFilms(dir / "exact");
    for (const TFilmEntry& film : films) {
        const fs::path file = dir / film.Name;
        if (PresentWithSize(file))
            continue;
        TFilmRequest request;
        request.FileName = file.string();
        request.Kind = film.Kind;
        request.Seconds = film.Seconds;
        request.Width = film.Width;
        request.Height = film.Height;
        request.Label = film.Name;
        missing.push_back(request);
    }
    MakeFilms(missing);

    if (!PresentWithSize(dir / "truncated.mpg")) {
        const std::string whole = ReadBytes(dir / "mpeg2.mpg");
        WriteBytesAtomically(dir / "truncated.mpg", whole.substr(0, whole.size() / 3));
    }
    if (!PresentWithSize(dir / "corrupt.mp4")) {
        std::string bytes = ReadBytes(dir / "h264.mp4");
        const size_t moov = bytes.find("moov");
        const size_t from = moov == std::string::npos ? bytes.size() / 2 : moov - 4;
        const std::string noise = RandomBytes(bytes.size() - from, 7);
        bytes.replace(from, noise.size(), noise);
        WriteBytesAtomically(dir / "corrupt.mp4", bytes);
    }
    if (!PresentWithSize(dir / "garbage.mpg"))
        WriteBytesAtomically(dir / "garbage.mpg", RandomBytes(4096, 11));
    if (!fs::exists(dir / "empty.mpg"))
        WriteBytesAtomically(dir / "empty.mpg", "");
    if (!PresentWithSize(dir / "notes.txt")) {
        std::string text;
        for (int line = 1; line <= 200; ++line)
            text += "Inspection note " + std::to_string(line) +
                    ": nothing to see in this reach, the pipe is in good order.\n";
        WriteBytesAtomically(dir / "notes.txt", text);
    }
    if (!PresentWithSize(dir / "tone.wav")) {
        const fs::path file = dir / "tone.wav";
        const fs::path part = TemporaryNameFor(file);
        RunFfmpeg({"-hide_banner", "-nostdin", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
                   "sine=frequency=440:duration=1", "-f", "wav", part.string()},
                  file.string());
        fs::rename(part, file);
    }
}

} // namespace kanvio::generator
