#include "video/VideoCommands.h"

#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/TempDir.h"
#include "tests/video/VideoTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace kanvio::test {
namespace {

struct TCommandOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
};

TCommandOutput Probe(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunProbeCommand(args, out, err);
    return {code, out.str(), err.str()};
}

TCommandOutput Grab(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunGrabCommand(args, out, err);
    return {code, out.str(), err.str()};
}

// The keys, in their order, with the value each line carries.
std::vector<std::pair<std::string, std::string>> KeyLines(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(": ");
        lines.emplace_back(line.substr(0, colon),
                           colon == std::string::npos ? "" : line.substr(colon + 2));
    }
    return lines;
}

TEST_F(EngineTest, ProbeNamesFormatStrategyElementsAndSize) {
    const struct {
        const char* film;
        const char* format;
    } cases[] = {{"mpeg1.mpg", "MPEG1"}, {"mpeg2.ts", "MPEG2"}, {"h264.mp4", "MPEG4"}};
    for (const auto& c : cases) {
        const TCommandOutput probe = Probe({Film(c.film)});
        ASSERT_EQ(probe.exitCode, 0) << c.film << ": " << probe.err;
        EXPECT_EQ(probe.err, "");
        const auto lines = KeyLines(probe.out);
        ASSERT_EQ(lines.size(), 5u) << probe.out;
        const std::vector<std::string> keys = {"format", "strategy", "elements", "width", "height"};
        for (size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(lines[i].first, keys[i]) << probe.out;
        EXPECT_EQ(lines[0].second, c.format) << c.film;
        EXPECT_EQ(lines[1].second, "0") << "the command prefers the system's decoders";
        EXPECT_NE(lines[2].second.find("filesrc"), std::string::npos) << lines[2].second;
        EXPECT_NE(lines[2].second.find("appsink"), std::string::npos) << lines[2].second;
        EXPECT_EQ(lines[3].second, "352");
        EXPECT_EQ(lines[4].second, "288");
    }
}

TEST_F(EngineTest, CommandsRefuseWrongUseAndBadFilms) {
    const std::string picture = (env.root() / "frame.png").string();
    const struct {
        const char* what;
        bool grab;
        std::vector<std::string> args;
        int exitCode;
        std::string errorText;
    } cases[] = {
        {"probe without a film", false, {}, 2, "usage: kanvio --probe FILM"},
        {"probe with two films", false, {"a", "b"}, 2, "usage: kanvio --probe FILM"},
        {"probe of a missing film",
         false,
         {Film("no-such-film.mpg")},
         1,
         "MM_E_NO_FILE (0x8004F007)"},
        {"probe of a text file", false, {Film("notes.txt")}, 1, "MM_E_ALL_STRATEGIES (0x8004F006)"},
        {"probe of an empty file", false, {Film("empty.mpg")}, 1, "MM_E_ALL_STRATEGIES"},
        {"grab without a time", true, {Film("mpeg2.mpg")}, 2, "usage: kanvio --grab"},
        {"grab at a negative time", true, {Film("mpeg2.mpg"), "-40", picture}, 2, "usage:"},
        {"grab at no number", true, {Film("mpeg2.mpg"), "12x", picture}, 2, "usage:"},
        {"grab at a time too large",
         true,
         {Film("mpeg2.mpg"), "99999999999999999999", picture},
         2,
         "usage:"},
        {"grab with strategy 3",
         true,
         {Film("mpeg2.mpg"), "0", picture, "--strategy", "3"},
         2,
         "usage:"},
        {"grab with another option",
         true,
         {Film("mpeg2.mpg"), "0", picture, "--speed", "1"},
         2,
         "usage:"},
        {"grab into a bitmap",
         true,
         {Film("mpeg2.mpg"), "0", "frame.bmp"},
         2,
         "frame.bmp: the picture must be a .jpg or .png file"},
        {"grab of a missing film",
         true,
         {Film("no-such-film.mpg"), "0", picture},
         1,
         "MM_E_NO_FILE"},
        {"grab of a broken film",
         true,
         {Film("corrupt.mp4"), "0", picture},
         1,
         "MM_E_ALL_STRATEGIES"},
        // strategy 2 has no decoder lists in a command: it must say so, not fall back
        {"grab with strategy 2",
         true,
         {Film("mpeg2.mpg"), "0", picture, "--strategy", "2"},
         1,
         "MM_E_DECODER_PRI (0x8004F003)"},
        {"grab into a missing folder",
         true,
         {Film("mpeg2.mpg"), "0", (env.root() / "no" / "such" / "frame.jpg").string()},
         1,
         (env.root() / "no" / "such" / "frame.jpg").string()},
    };
    for (const auto& c : cases) {
        const TCommandOutput result = c.grab ? Grab(c.args) : Probe(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.err;
        EXPECT_NE(result.err.find(c.errorText), std::string::npos) << c.what << ": " << result.err;
        EXPECT_EQ(result.out, "") << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(picture)) << "no picture is written on failure";
}

// A decoder switch value that is no number ends the load with an exception: the command
// must report it with the film and end normally, leaving the value as it was.
TEST_F(EngineTest, AnUnreadableDecoderSwitchIsAnErrorNotACrash) {
    const char* const key = "\\Software\\GNU\\ffdshow";
    WriteRegString(key, "divx", "yes");
    const std::string picture = (env.root() / "frame.png").string();
    const std::string film = Film("mpeg4.mp4");
    const TCommandOutput results[] = {
        Probe({film, "--strategy", "1"}),
        Grab({film, "0", picture, "--strategy", "1"}),
    };
    for (const TCommandOutput& result : results) {
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(result.err.rfind(film + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("'yes' is not a valid integer value"), std::string::npos)
            << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadRegString(key, "divx", ""), "yes");
    EXPECT_FALSE(std::filesystem::exists(picture));
}

TEST_F(EngineTest, FilmErrorsGiveTheCodeAndThePlayersMessage) {
    const std::string missing = Film("no-such-film.mpg");
    const std::string text = Film("notes.txt");
    const struct {
        const char* language;
        bool grab;
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {"en",
         false,
         {missing},
         missing + ": MM_E_NO_FILE (0x8004F007): The film file was not found.\n"},
        {"en",
         true,
         {missing, "0", (env.root() / "a.png").string()},
         missing + ": MM_E_NO_FILE (0x8004F007): The film file was not found.\n"},
        {"en",
         false,
         {text},
         text + ": MM_E_ALL_STRATEGIES (0x8004F006): No decoder selection could load the "
                "film.\n"},
        {"de",
         false,
         {missing},
         missing + ": MM_E_NO_FILE (0x8004F007): Die Filmdatei wurde nicht gefunden.\n"},
    };
    // A program folder of its own, in the language of the case.
    SetProgramFolderForTesting(env.programFolder().string() + "/");
    for (const auto& c : cases) {
        const std::string code = c.language;
        WriteFile(env.programFolder() / "Kanvio.ini", "[Common]\nlanguage=" + code + "\n");
        std::filesystem::copy_file(std::filesystem::path(KANVIO_SOURCE_DIR) / "medium" / code /
                                       ("lang_kanvio_" + code + ".ini"),
                                   env.programFolder() / ("lang_kanvio_" + code + ".ini"),
                                   std::filesystem::copy_options::overwrite_existing);
        const TCommandOutput result = c.grab ? Grab(c.args) : Probe(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, c.expected);
    }
}

// The picture replaces an earlier one only once it is complete; a failure says why and
// leaves the earlier file as it was.
TEST_F(EngineTest, PngGrabsAreWrittenWholeOrNotAtAll) {
    const auto folder = env.root() / "pictures";
    std::filesystem::create_directories(folder / "taken.png");
    const std::string earlier = (folder / "earlier.png").string();
    WriteFile(earlier, "earlier picture");
    const struct {
        std::string output;
        int exitCode;
        std::string errorText;
    } cases[] = {
        {(folder / "taken.png").string(), 1,
         (folder / "taken.png").string() + ": cannot be written"},
        {(folder / "missing" / "a.png").string(), 1,
         (folder / "missing" / "a.png").string() +
             ": cannot be written: no new file can be made in " + (folder / "missing").string() +
             ": No such file or directory"},
        {earlier, 0, ""},
    };
    for (const auto& c : cases) {
        const TCommandOutput result = Grab({Film("mpeg2.mpg"), "1000", c.output});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.output << ": " << result.err;
        EXPECT_EQ(result.err.rfind(c.errorText, 0), 0u) << result.err;
    }
    const QImage written(QString::fromStdString(earlier));
    EXPECT_EQ(written.size(), QSize(352, 288));
    // No temporary file is left beside the pictures.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"earlier.png", "taken.png"}));
}

// A new picture gets the mode the umask leaves, as any new file of the user's; checked by
// an ordinary user, for whom modes decide.
TEST_F(EngineTest, NewPicturesGetTheUmasksMode) {
    TempDir out{"kanvio-grab-modes"};
    GiveToOrdinaryUser(out.path());
    const struct {
        mode_t umask;
        const char* name;
        mode_t expected;
    } cases[] = {{022, "a.png", 0644}, {027, "b.png", 0640}, {077, "c.jpg", 0600}};
    for (const auto& c : cases) {
        const std::string picture = (out / c.name).string();
        const int result = RunAsOrdinaryUser([&] {
            ::umask(c.umask);
            std::ostringstream output, errors;
            if (RunGrabCommand({Film("mpeg1.mpg"), "0", picture}, output, errors) != 0)
                return 2;
            struct stat info {};
            return ::stat(picture.c_str(), &info) == 0 && (info.st_mode & 07777) == c.expected ? 0
                                                                                               : 1;
        });
        EXPECT_EQ(result, 0) << c.name;
    }
}

TEST_F(EngineTest, GrabWritesTheFrameFfmpegDecodesAtThatTime) {
    const struct {
        const char* film;
        int ms;
        int frame;
        const char* extension;
        const char* strategy;
        double tolerance; // JPEG at quality 100 differs a little from the decoded frame
    } cases[] = {
        {"mpeg2.mpg", 1000, 25, "png", nullptr, 6.0},   {"mpeg1.mpg", 2520, 63, "jpg", "1", 8.0},
        {"mpeg4.mp4", 0, 0, "PNG", "0", 6.0},           {"h264.mp4", 3960, 99, "jpeg", "0", 8.0},
        {"mpeg2.mpg", 600000, 99, "png", nullptr, 6.0}, // beyond the end: the last frame
    };
    for (const auto& c : cases) {
        const std::string picture =
            (env.root() / (std::string("grab-") + std::to_string(c.ms) + "." + c.extension))
                .string();
        std::vector<std::string> args = {Film(c.film), std::to_string(c.ms), picture};
        if (c.strategy) {
            args.push_back("--strategy");
            args.push_back(c.strategy);
        }
        const TCommandOutput result = Grab(args);
        ASSERT_EQ(result.exitCode, 0) << c.film << ": " << result.err;
        EXPECT_EQ(result.out, picture + ": 352x288\n");
        const QImage written(QString::fromStdString(picture));
        ASSERT_FALSE(written.isNull()) << picture;
        EXPECT_LT(MeanDifference(written, ReferenceFrame(Film(c.film), c.frame)), c.tolerance)
            << c.film << " at " << c.ms << " ms";
    }
}

} // namespace
} // namespace kanvio::test
