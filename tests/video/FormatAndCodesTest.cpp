#include "tests/video/VideoTestSupport.h"
#include "video/FormatDetection.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>

namespace kanvio::test {
namespace {

struct TFormatCase {
    const char* file;
    TMovieFormat expected;
};

// Readable test names and failure messages instead of byte dumps.
void PrintTo(const TFormatCase& c, std::ostream* out) {
    *out << c.file << " -> " << MovieFormatName(c.expected);
}

class FormatDetectionTest : public EngineTest, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(FormatDetectionTest, ClassifiesEachFileByItsContent) {
    const TFormatCase& c = GetParam();
    EXPECT_EQ(DetectMovieFormat(Film(c.file)), c.expected) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FormatDetectionTest,
    ::testing::Values(TFormatCase{"mpeg1.mpg", TMovieFormat::MPEG1},
                      TFormatCase{"mpeg2.mpg", TMovieFormat::MPEG2},
                      TFormatCase{"mpeg2.ts", TMovieFormat::MPEG2},
                      TFormatCase{"mpeg4.mp4", TMovieFormat::MPEG4},
                      TFormatCase{"h264.mp4", TMovieFormat::MPEG4},
                      TFormatCase{"truncated.mpg", TMovieFormat::MPEG2},
                      // readable, but no type can be named: the stream of no subtype
                      TFormatCase{"garbage.mpg", TMovieFormat::MPEG4},
                      TFormatCase{"notes.txt", TMovieFormat::Unknown},
                      TFormatCase{"tone.wav", TMovieFormat::Unknown},
                      TFormatCase{"empty.mpg", TMovieFormat::None},
                      TFormatCase{"no-such-film.mpg", TMovieFormat::None}),
    [](const auto& info) { return FilmTestName(info.param.file); });

TEST(FormatClassTest, MapsTypeFindingResultsToTheFiveClasses) {
    EXPECT_EQ(ClassifyMediaType("video/mpeg, systemstream=(boolean)true, mpegversion=(int)1"),
              TMovieFormat::MPEG1);
    EXPECT_EQ(ClassifyMediaType("video/mpeg, systemstream=(boolean)false, mpegversion=(int)2"),
              TMovieFormat::MPEG2);
    EXPECT_EQ(ClassifyMediaType("video/mpegts, systemstream=(boolean)true"), TMovieFormat::MPEG2);
    EXPECT_EQ(ClassifyMediaType("video/quicktime"), TMovieFormat::MPEG4);
    EXPECT_EQ(ClassifyMediaType("video/mpeg, mpegversion=(int)4"), TMovieFormat::MPEG4);
    EXPECT_EQ(ClassifyMediaType(""), TMovieFormat::MPEG4);
    EXPECT_EQ(ClassifyMediaType("video/x-h264"), TMovieFormat::Unknown);
    EXPECT_EQ(ClassifyMediaType("text/plain"), TMovieFormat::Unknown);
}

TEST_F(EngineTest, DirectoryIsNoFilm) {
    EXPECT_EQ(DetectMovieFormat(env.root().string()), TMovieFormat::None);
    TMMEngine engine(rmVMR, nullptr, settings);
    EXPECT_EQ(engine.LoadMovie(env.root().string(), 0), MM_E_NO_FILE);
}

TEST_F(EngineTest, MissingFileIsRefusedBeforeAnyAttempt) {
    TMMEngine engine(rmVMR, nullptr, settings);
    EXPECT_EQ(engine.LoadMovieAuto(Film("no-such-film.mpg")), MM_E_NO_FILE);
    EXPECT_EQ(engine.LoadMovie(Film("no-such-film.mpg"), 1), MM_E_NO_FILE);
    EXPECT_FALSE(LogHas("Trying strategy"));
    EXPECT_TRUE(engine.FileName().empty());
}

TEST_F(EngineTest, UnknownFormatFailsEveryStrategyInThePreferredOrder) {
    TMMEngine engine(rmVMR, nullptr, settings);
    settings.SetFilterStrategy(0);
    EXPECT_EQ(engine.LoadMovie(Film("notes.txt"), 0), MM_E_UNKNOWN_FORMAT);
    EXPECT_EQ(engine.LoadMovieAuto(Film("notes.txt")), MM_E_ALL_STRATEGIES);
    const std::string log = LogText();
    const size_t s0 = log.find("MMEngine->LoadMovieAuto: Trying strategy 0");
    const size_t s2 = log.find("MMEngine->LoadMovieAuto: Trying strategy 2");
    const size_t s1 = log.find("MMEngine->LoadMovieAuto: Trying strategy 1");
    ASSERT_NE(s0, std::string::npos);
    ASSERT_NE(s2, std::string::npos);
    ASSERT_NE(s1, std::string::npos);
    EXPECT_LT(s0, s2);
    EXPECT_LT(s2, s1);
    EXPECT_EQ(CountInLog("MMEngine->LoadMovie: Format unknown: " + Film("notes.txt")), 4);
}

TEST_F(EngineTest, StrategyOrdersFollowThePreferredOne) {
    const struct {
        int preferred;
        const char* order;
    } cases[] = {{0, "021"}, {1, "120"}, {2, "210"}, {7, "120"}};
    for (const auto& c : cases) {
        std::filesystem::remove(logFile);
        settings.SetFilterStrategy(c.preferred);
        TMMEngine engine(rmVMR, nullptr, settings);
        engine.LoadMovieAuto(Film("tone.wav"));
        std::string seen;
        const std::string log = LogText();
        const std::string tag = "Trying strategy ";
        for (size_t at = log.find(tag); at != std::string::npos; at = log.find(tag, at + 1))
            seen += log[at + tag.size()];
        EXPECT_EQ(seen, c.order) << "preferred " << c.preferred;
    }
}

TEST_F(EngineTest, UnreadableFilesGiveCodesAndLeaveTheEngineUsable) {
    TMMEngine engine(rmVMR, nullptr, settings);
    EXPECT_EQ(engine.LoadMovie(Film("empty.mpg"), 0), E_FAIL);
    EXPECT_TRUE(LogHas("MMEngine->LoadMovie: Getting movie format failed: " + Film("empty.mpg")));
    EXPECT_EQ(engine.LoadMovie(Film("garbage.mpg"), 0), MM_E_DECODER_SYS);
    EXPECT_EQ(engine.LoadMovie(Film("corrupt.mp4"), 0), MM_E_DECODER_SYS);
    EXPECT_TRUE(LogHas("MMEngine->LoadMovie: Loading decoder filter failed"));
    EXPECT_EQ(engine.LoadMovieAuto(Film("corrupt.mp4")), MM_E_ALL_STRATEGIES);
    // nothing is loaded now: playing is refused, seeking fails, the position is 0
    EXPECT_EQ(engine.PlayMovie(), E_FAIL);
    EXPECT_EQ(engine.SeekTo(1000), E_FAIL);
    EXPECT_EQ(engine.GetCurrentPosition(), 0);
    // and the next good film loads
    EXPECT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    EXPECT_EQ(engine.VideoWidth(), 352);
    EXPECT_EQ(engine.VideoHeight(), 288);
}

TEST_F(EngineTest, PlayBeforeAnyFilmFails) {
    TMMEngine engine(rmVMR, nullptr, settings);
    EXPECT_EQ(engine.PlayMovie(), E_FAIL);
    EXPECT_FALSE(LogHas("MMEngine->PlayMovie:"));
    EXPECT_TRUE(LogHas("MMEngine->StopMovie: Failed"));
    QImage image;
    EXPECT_EQ(engine.GrabPicture(image), E_FAIL);
    EXPECT_EQ(engine.VideoWidth(), -1);
    EXPECT_EQ(engine.MovieFormat(), TMovieFormat::None);
}

TEST(ResultCodeTest, TextsNameTheCodes) {
    EXPECT_EQ(ResultCodeText(MM_E_NO_FILE), "MM_E_NO_FILE (0x8004F007)");
    EXPECT_EQ(ResultCodeText(E_FAIL), "E_FAIL (0x80004005)");
    EXPECT_EQ(HexStatus(MM_E_DECODER_PRE), "8004F004");
    EXPECT_TRUE(Failed(MM_E_READER));
    EXPECT_TRUE(Succeeded(MM_S_IN_PROGRESS));
}

} // namespace
} // namespace kanvio::test
