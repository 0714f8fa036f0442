#include "video/VideoCommands.h"

#include "foundation/Errors.h"
#include "foundation/JpegEncoder.h"
#include "video/CodecSettings.h"
#include "video/MultimediaEngine.h"

#include <QImage>
#include <cstdio>
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

// Loads film with the strategy given (-1: LoadMovieAuto with strategy 0 first).
HResult LoadForCommand(TMMEngine& engine, const std::string& film, long long strategy) {
    engine.SetPlayPauseStepMs(0);
    if (strategy < 0)
        return engine.LoadMovieAuto(film);
    return engine.LoadMovie(film, static_cast<int32_t>(strategy));
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
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    // The decoder order the user stored, as the player uses it.
    engine.SetPriorityLists(GetFilterLists(false));
    const HResult status = LoadForCommand(engine, args[0], strategy);
    if (Failed(status)) {
        err << args[0] << ": " << ResultCodeText(status) << "\n";
        return 1;
    }
    out << "format: " << MovieFormatName(engine.MovieFormat()) << "\n"
        << "strategy: " << engine.LoadedStrategy() << "\n"
        << "elements: " << engine.ElementNames() << "\n"
        << "width: " << engine.VideoWidth() << "\n"
        << "height: " << engine.VideoHeight() << "\n";
    return 0;
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
    TFixedEngineSettings settings(lsSystem);
    TMMEngine engine(rmVMR, nullptr, settings);
    HResult status = LoadForCommand(engine, args[0], strategy);
    if (Succeeded(status))
        status = engine.SeekTo(ms);
    QImage frame;
    if (Succeeded(status))
        status = engine.GrabPicture(frame);
    if (Failed(status)) {
        err << args[0] << ": " << ResultCodeText(status) << "\n";
        return 1;
    }
    try {
        if (jpeg)
            WriteJpegFile(output, frame);
        else if (!frame.save(QString::fromStdString(output), "PNG"))
            throw EInOutError(output, "cannot be written");
    } catch (const EKanvioError& error) {
        err << error.what() << "\n";
        return 1;
    }
    out << output << ": " << frame.width() << "x" << frame.height() << "\n";
    return 0;
}

} // namespace kanvio
