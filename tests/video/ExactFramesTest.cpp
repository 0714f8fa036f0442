#include "tests/video/VideoTestSupport.h"
#include "video/KeyFrameIndexer.h"
#include "video/VideoCommands.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>

namespace kanvio::test {
namespace {

constexpr int64_t kFrameMs = 40; // 25 fps
constexpr int kLastFrame = 1499; // 60 s

// The frame shown after a seek, read from the picture itself.
int ShownFrame(TMMEngine& engine) {
    QImage grabbed;
    if (engine.GrabPicture(grabbed) != S_OK)
        return -2;
    return FrameNumberOf(grabbed);
}

// Frames around key frames of every GOP used (12, 25, 250, 300), the first and the last,
// forwards and backwards.
const int kFrames[] = {0, 1, 13, 249, 250, 251, 262, 299, 300, 301, 600, kLastFrame, 1100, 700, 2};

void ExpectEveryFrameExact(TMMEngine& engine, const std::string& what) {
    for (int frame : kFrames) {
        ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << what << " frame " << frame;
        EXPECT_EQ(ShownFrame(engine), frame) << what;
        EXPECT_EQ(engine.GetCurrentPosition(), frame * kFrameMs * 10000) << what;
    }
}

class ExactFramesTest : public EngineTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExactFramesTest, EveryFrameIsExactWithTheIndexAndWithout) {
    const std::string film = ExactFilm(GetParam());
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(film, lsSystem), S_OK);
    // No index: the margin grows from what the seeks meet.
    engine.OverrideKeyFrameIndex(std::make_shared<TKeyFrameIndex>());
    ExpectEveryFrameExact(engine, std::string(GetParam()) + " without an index");
    engine.OverrideKeyFrameIndex(nullptr);
    ASSERT_NE(engine.Indexer(), nullptr);
    engine.Indexer()->Wait();
    ASSERT_NE(engine.Indexer()->Index(), nullptr) << engine.Indexer()->Error();
    const uint64_t slowBefore = engine.SeeksDecodedFromFilmStart();
    ExpectEveryFrameExact(engine, std::string(GetParam()) + " with its index");
    EXPECT_EQ(engine.SeeksDecodedFromFilmStart(), slowBefore) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Films, ExactFramesTest,
                         ::testing::Values("mpeg1.mpg", "mpeg2-gop12.mpg", "mpeg2-gop12-ip.mpg",
                                           "mpeg2-gop250.mpg", "mpeg2-gop250-ip.mpg", "mpeg2.ts",
                                           "mpeg4.mp4", "h264.mp4"),
                         [](const auto& info) { return FilmTestName(info.param); });

TEST_F(EngineTest, FramesStayExactAcrossFilmSwitches) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    const struct {
        const char* film;
        int frame;
    } steps[] = {{"mpeg2-gop250.mpg", 1100},
                 {"h264.mp4", 299},
                 {"mpeg2-gop250.mpg", 251},
                 {"mpeg2.ts", 700},
                 {"h264.mp4", 1301}};
    for (const auto& step : steps) {
        ASSERT_EQ(engine.LoadMovie(ExactFilm(step.film), lsSystem), S_OK) << step.film;
        ASSERT_EQ(engine.SeekTo(step.frame * kFrameMs), S_OK) << step.film;
        EXPECT_EQ(ShownFrame(engine), step.frame) << step.film;
    }
}

// An index that places key frames where the film has none: every seek it plans lands
// after its target, and the engine must go further back until the frame comes.
TEST_F(EngineTest, SeeksRetryFurtherBackWhenTheIndexMisses) {
    const std::string film = ExactFilm("mpeg2-gop250.mpg");
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(film, lsSystem), S_OK);
    engine.Indexer()->Wait();
    auto wrong = std::make_shared<TKeyFrameIndex>(*engine.Indexer()->Index());
    wrong->KeyFrames.clear();
    for (int64_t t = wrong->FirstFrameNs; t < wrong->LastFrameNs; t += 12 * kFrameMs * 1000000)
        wrong->KeyFrames.push_back({t, 0, 0});
    engine.OverrideKeyFrameIndex(wrong);
    for (int frame : {1100, 262, 1499, 749}) {
        ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << frame;
        EXPECT_EQ(ShownFrame(engine), frame);
    }
    EXPECT_GT(engine.SeekRetries(), 0u);
}

// Far into a 10-second GOP, the decoder is told that frames more than half a second
// before the target come too late: it skips the B-frames among them and drops the rest
// itself, so only the last few reach the video tail, and the frame shown is still exact.
// The film then plays on from there frame by frame.
TEST_F(EngineTest, FramesFarBeforeTheTargetNeverReachTheTail) {
    for (const char* name : {"mpeg2-gop250.mpg", "mpeg2-gop250-ip.mpg", "h264.mp4"}) {
        TMMEngine engine(rmVMR, nullptr, settings);
        engine.SetPlayPauseStepMs(0);
        ASSERT_EQ(engine.LoadMovie(ExactFilm(name), lsSystem), S_OK) << name;
        engine.Indexer()->Wait();
        for (int frame : {1240, 245, 1499}) {
            ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << name << " frame " << frame;
            EXPECT_EQ(ShownFrame(engine), frame) << name;
            // Decoding starts up to 240 frames before these targets.
            EXPECT_LE(engine.FramesDroppedBeforeTarget(), 20u) << name << " frame " << frame;
        }
        ASSERT_EQ(engine.SeekTo(1000 * kFrameMs), S_OK);
        ASSERT_EQ(engine.PlayMovie(), S_OK);
        RunEventsFor(300);
        engine.PauseMovie();
        const int shown = ShownFrame(engine);
        EXPECT_GT(shown, 1000) << name;
        EXPECT_LT(shown, 1100) << name;
    }
}

// The program-stream demuxer reads a wrong rate from this film: it reports 16.7 s for
// its 30 s and lands seeks seconds late. Frames after its wrong end are still there.
TEST_F(EngineTest, FramesBeyondAMisreportedDurationAreExact) {
    const std::string film = ExactFilm("film17.mpg");
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(film, lsSystem), S_OK);
    for (int frame : {500, 740, 749, 420, 100}) {
        ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << frame;
        EXPECT_EQ(engine.GetCurrentPosition(), frame * kFrameMs * 10000);
        QImage grabbed;
        ASSERT_EQ(engine.GrabPicture(grabbed), S_OK);
        EXPECT_LT(MeanDifference(grabbed, ReferenceFrame(film, frame)), 6.0) << "frame " << frame;
    }
    // Past the end the film stands at its last frame.
    ASSERT_EQ(engine.SeekTo(40000), S_OK);
    EXPECT_EQ(engine.GetCurrentPosition(), 749 * kFrameMs * 10000);
}

// One process, one picture: the grab finds the key frames around its time without the
// film's whole index, also in long GOPs and after a misreported duration.
TEST_F(EngineTest, GrabWritesTheExactFrameOfEveryFilmClass) {
    const struct {
        const char* film;
        int frame;
    } cases[] = {{"mpeg2-gop250.mpg", 1262}, {"mpeg2-gop250-ip.mpg", 251}, {"h264.mp4", 899},
                 {"mpeg2.ts", 1333},         {"mpeg1.mpg", 1011},          {"mpeg4.mp4", 26}};
    for (const auto& c : cases) {
        const std::string picture = (env.root() / (std::to_string(c.frame) + ".png")).string();
        std::ostringstream out, err;
        ASSERT_EQ(RunGrabCommand({ExactFilm(c.film), std::to_string(c.frame * kFrameMs), picture},
                                 out, err),
                  0)
            << c.film << ": " << err.str();
        EXPECT_EQ(FrameNumberOf(QImage(QString::fromStdString(picture))), c.frame) << c.film;
    }
    const std::string film17 = ExactFilm("film17.mpg");
    const std::string picture = (env.root() / "film17.png").string();
    std::ostringstream out, err;
    ASSERT_EQ(RunGrabCommand({film17, "20000", picture}, out, err), 0) << err.str();
    EXPECT_LT(MeanDifference(QImage(QString::fromStdString(picture)), ReferenceFrame(film17, 500)),
              6.0);
}

} // namespace
} // namespace kanvio::test
