#include "tests/video/VideoTestSupport.h"
#include "tools/mkproject/FilmMaker.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>

namespace kanvio::test {
namespace {

struct TSeekCase {
    const char* film;
    int strategy;
};

void PrintTo(const TSeekCase& c, std::ostream* out) {
    *out << c.film << " with strategy " << c.strategy;
}

class SeekAccuracyTest : public EngineTest, public ::testing::WithParamInterface<TSeekCase> {};

// The grabbed frame must be the one ffmpeg decodes as frame ms / 40 (25 fps), and must
// match it better than its neighbours.
TEST_P(SeekAccuracyTest, ShowsTheFrameAtExactlyTheTimeAsked) {
    const TSeekCase& c = GetParam();
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film(c.film), c.strategy), S_OK) << LogText();
    for (int frameIndex : {0, 1, 13, 37, 62, 99, 50, 3}) {
        ASSERT_EQ(engine.SeekTo(frameIndex * 40), S_OK) << c.film << " frame " << frameIndex;
        EXPECT_EQ(engine.GetCurrentPosition(), int64_t{frameIndex} * 400000) << c.film;
        QImage grabbed;
        ASSERT_EQ(engine.GrabPicture(grabbed), S_OK);
        const double same = MeanDifference(grabbed, ReferenceFrame(Film(c.film), frameIndex));
        EXPECT_LT(same, 6.0) << c.film << " frame " << frameIndex;
        for (int neighbour : {frameIndex - 1, frameIndex + 1}) {
            if (neighbour < 0 || neighbour > 99)
                continue;
            const double other = MeanDifference(grabbed, ReferenceFrame(Film(c.film), neighbour));
            EXPECT_LT(same, other) << c.film << " frame " << frameIndex << " vs " << neighbour;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Films, SeekAccuracyTest,
                         ::testing::Values(TSeekCase{"mpeg1.mpg", 0}, TSeekCase{"mpeg2.mpg", 0},
                                           TSeekCase{"mpeg2.ts", 0}, TSeekCase{"mpeg4.mp4", 0},
                                           TSeekCase{"h264.mp4", 0}, TSeekCase{"mpeg2.mpg", 1},
                                           TSeekCase{"h264.mp4", 1}),
                         [](const auto& info) {
                             return FilmTestName(info.param.film) + "_strategy" +
                                    std::to_string(info.param.strategy);
                         });

TEST_F(EngineTest, SeekBeyondTheEndShowsTheLastFrame) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    for (const char* film : {"mpeg2.mpg", "h264.mp4"}) {
        ASSERT_EQ(engine.LoadMovie(Film(film), 0), S_OK);
        EXPECT_EQ(engine.SeekTo(90000), S_OK) << film;
        QImage grabbed;
        ASSERT_EQ(engine.GrabPicture(grabbed), S_OK);
        EXPECT_LT(MeanDifference(grabbed, ReferenceFrame(Film(film), 99)), 6.0) << film;
        // and the pipeline is still fine afterwards
        EXPECT_EQ(engine.SeekTo(400), S_OK);
        EXPECT_EQ(engine.GetCurrentPosition(), 4000000);
    }
}

TEST_F(EngineTest, KeyFrameSeekLandsOnAKeyFrameAtOrBefore) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("h264.mp4"), 0), S_OK);
    ASSERT_EQ(engine.Seek(true, 1000), S_OK); // key frames every 12 frames: 0.96 s
    EXPECT_LE(engine.GetCurrentPosition(), 10000000);
    EXPECT_GE(engine.GetCurrentPosition(), 9600000 - 1);
}

} // namespace
} // namespace kanvio::test

namespace kanvio::test {
namespace {

// Some MPEG-1 system streams make the demuxer land a seek seconds after the time asked
// for, or on packets without time stamps (it guesses the byte offset from a wrong rate);
// the film the generator makes as the 17th of a project is one of them. The same wrong
// rate makes the demuxer report 16.7 s for this 30 s film, so the frames tested lie
// before that.
TEST_F(EngineTest, SeekLandingLateInTheFileStillShowsTheExactFrame) {
    // Made by the media fixture exactly as the generator makes its 17th film.
    struct {
        std::string FileName = ExactFilm("film17.mpg");
    } request;

    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(request.FileName, 0), S_OK) << LogText();
    for (int frameIndex : {125, 300, 100, 380}) {
        ASSERT_EQ(engine.SeekTo(frameIndex * 40), S_OK) << "frame " << frameIndex;
        EXPECT_EQ(engine.GetCurrentPosition(), int64_t{frameIndex} * 400000);
        QImage grabbed;
        ASSERT_EQ(engine.GrabPicture(grabbed), S_OK);
        EXPECT_LT(MeanDifference(grabbed, ReferenceFrame(request.FileName, frameIndex)), 6.0)
            << "frame " << frameIndex;
    }
    // The demuxer did land late: the engine had to go further back at least once.
    EXPECT_GT(engine.SeekRetries() + engine.SeeksDecodedFromFilmStart(), 0u);
}

} // namespace
} // namespace kanvio::test
