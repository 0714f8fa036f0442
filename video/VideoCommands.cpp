#include "video/VideoCommands.h"

#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/FilmUrl.h"
#include "foundation/JpegEncoder.h"
#include "foundation/LangManager.h"
#include "video/CodecSettings.h"
#include "video/DecoderWarmUp.h"
#include "video/FormatDetection.h"
#include "video/LeanDecoders.h"
#include "video/MultimediaEngine.h"

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>

namespace kanvio {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) !=
            tail[i])
            return false;
    return true;
}

bool ParseInteger(const std::string& text, long long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

// Loads libav's decoders meanwhile, unless there is no film to decode or the lean decoder
// will take it.
std::unique_ptr<TDecoderWarmUp> WarmUpFor(const std::string& film, bool leanDecoding) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(film, error))
        return nullptr;
    if (leanDecoding && LeanDecoderCovers(DetectMovieFormat(film)))
        return nullptr;
    return std::make_unique<TDecoderWarmUp>();
}

// Loads film with the strategy given (-1: LoadMovieAuto with strategy 0 first).
HResult LoadForCommand(TMMEngine& engine, const std::string& film, long long strategy) {
    engine.SetPlayPauseStepMs(0);
    // One picture: the key frames around it are found where they lie; reading the whole
    // film for its index would cost more than the picture.
    engine.SetWholeIndexing(false);
    if (strategy < 0)
        return engine.LoadMovieAuto(film);
    return engine.LoadMovie(film, static_cast<int32_t>(strategy));
}

// The language key of the message the player shows for a failed load.
const char* FilmErrorKey(HResult status) {
    switch (status) {
    case MM_E_READER:
        return "_NoCompatibleFilters";
    case MM_E_DECODER_SYS:
        return "_NoCompatibleFiltersSys";
    case MM_E_DECODER_PRI:
        return "_NoCompatibleFiltersPri";
    case MM_E_DECODER_PRE:
        return "_NoCompatibleFiltersPre";
    case MM_E_UNKNOWN_FORMAT:
        return "_UnknownMovieFormat";
    case E_FAIL:
        return "_ErrorLoadingFile";
    case MM_E_ALL_STRATEGIES:
        return "_StrategyError";
    case MM_E_NO_FILE:
        return "_NoFileError";
    default:
        return "_UnknownError";
    }
}

// "film: MM_E_NO_FILE (0x8004F007): The film file was not found." - the code for scripts,
// the text for the person reading it.
void ReportFilmError(std::ostream& err, const std::string& film, HResult status) {
    LangScope lang;
    err << RedactedUrl(film) << ": " << ResultCodeText(status) << ": "
        << AnsiToUtf8(lang.Text(FilmErrorKey(status))) << "\n";
}

std::string EncodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        throw EKanvioError("the picture cannot be encoded as PNG");
    return bytes.toStdString();
}

// Replaces the picture only once it is complete; a new file gets the umask's mode.
void WritePicture(const std::string& fileName, const QImage& frame, bool jpeg) {
    if (jpeg) {
        WriteJpegFile(fileName, frame);
        return;
    }
    std::string bytes;
    try {
        bytes = EncodePng(frame);
    } catch (const EKanvioError& error) {
        throw EInOutError(fileName, error.what());
    }
    WriteFileAtomically(fileName, bytes);
}

// Runs a command body so that no exception ends the process: the film and the reason go
// to err and the exit code is 1.
template <typename TBody> int Guarded(const std::string& film, std::ostream& err, TBody body) {
    try {
        return body();
    } catch (const std::exception& error) {
        err << film << ": " << AnsiToUtf8(error.what()) << "\n";
    } catch (...) {
        err << film << ": an unknown error ended the command\n";
    }
    return 1;
}

int Probe(const std::string& film, long long strategy, std::ostream& out, std::ostream& err) {
    // Reports what the player loads: the player never decodes lean.
    const auto warmUp = WarmUpFor(film, false);
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    // The decoder order the user stored, as the player uses it.
    engine.SetPriorityLists(GetFilterLists(false));
    const HResult status = LoadForCommand(engine, film, strategy);
    if (Failed(status)) {
        ReportFilmError(err, film, status);
        return 1;
    }
    out << "format: " << MovieFormatName(engine.MovieFormat()) << "\n"
        << "strategy: " << engine.LoadedStrategy() << "\n"
        << "elements: " << engine.ElementNames() << "\n"
        << "width: " << engine.VideoWidth() << "\n"
        << "height: " << engine.VideoHeight() << "\n";
    return 0;
}

// Loads film, seeks to ms and takes the picture shown. With lean decoding the picture
// counts only when decoding never ran to the film's end: the lean MPEG decoder keeps a
// film's last frames to itself (a seek there ends in the search for the film's end), and
// after the end it shows stale pictures under the right time stamps.
HResult GrabFrame(const std::string& film, long long ms, long long strategy, bool lean,
                  QImage& frame) {
    const auto warmUp = WarmUpFor(film, lean);
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetLeanDecoding(lean);
    HResult status = LoadForCommand(engine, film, strategy);
    if (Succeeded(status))
        status = engine.SeekTo(ms);
    if (Succeeded(status) && lean && engine.FilmEndReached())
        return E_FAIL;
    if (Succeeded(status))
        status = engine.GrabPicture(frame);
    return status;
}

int Grab(const std::string& film, long long ms, const std::string& output, bool jpeg,
         long long strategy, std::ostream& out, std::ostream& err) {
    QImage frame;
    // Automatic plugging decodes lean first; the other strategies plug the decoders they
    // name, and so does every retry.
    const bool lean = strategy <= lsSystem;
    HResult status = GrabFrame(film, ms, strategy, lean, frame);
    if (lean && Failed(status))
        status = GrabFrame(film, ms, strategy, false, frame);
    if (Failed(status)) {
        ReportFilmError(err, film, status);
        return 1;
    }
    try {
        WritePicture(output, frame, jpeg);
    } catch (const EKanvioError& error) {
        err << AnsiToUtf8(error.what()) << "\n";
        return 1;
    }
    out << output << ": " << frame.width() << "x" << frame.height() << "\n";
    return 0;
}

} // namespace

int RunProbeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    long long strategy = -1;
    const bool strategyGiven = args.size() == 3 && args[1] == "--strategy";
    if ((args.size() != 1 && !strategyGiven) ||
        (strategyGiven && (!ParseInteger(args[2], strategy) || strategy < 0 || strategy > 2))) {
        err << "usage: kanvio --probe FILM [--strategy 0|1|2]\n";
        return 2;
    }
    return Guarded(args[0], err, [&] { return Probe(args[0], strategy, out, err); });
}

int RunGrabCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    long long strategy = -1;
    long long ms = 0;
    const bool strategyGiven = args.size() == 5 && args[3] == "--strategy";
    if ((args.size() != 3 && !strategyGiven) || !ParseInteger(args[1], ms) || ms < 0 ||
        (strategyGiven && (!ParseInteger(args[4], strategy) || strategy < 0 || strategy > 2))) {
        err << "usage: kanvio --grab FILM MS OUT.(jpg|png) [--strategy 0|1|2]\n";
        return 2;
    }
    const std::string& output = args[2];
    const bool jpeg = EndsWithNoCase(output, ".jpg") || EndsWithNoCase(output, ".jpeg");
    if (!jpeg && !EndsWithNoCase(output, ".png")) {
        err << output << ": the picture must be a .jpg or .png file\n";
        return 2;
    }
    return Guarded(args[0], err,
                   [&] { return Grab(args[0], ms, output, jpeg, strategy, out, err); });
}

} // namespace kanvio
