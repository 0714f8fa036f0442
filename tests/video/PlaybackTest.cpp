#include "tests/video/VideoTestSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <dirent.h>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

int OpenFileCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

TEST_F(EngineTest, EndOfStreamArrivesOnceOnTheUiThread) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    int completions = 0;
    bool onUiThread = false;
    engine.OnComplete = [&] {
        ++completions;
        onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    ASSERT_EQ(engine.LoadMovie(Film("truncated.mpg"), 0), S_OK);
    ASSERT_EQ(engine.SeekTo(600), S_OK);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    RunEventsUntil([&] { return completions > 0; });
    RunEventsFor(300);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(onUiThread);
}

TEST_F(EngineTest, EndOfAReplacedFilmIsNotDelivered) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    int completions = 0;
    engine.OnComplete = [&] {
        ++completions;
    };
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    ASSERT_EQ(engine.SeekTo(3900), S_OK);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    QThread::msleep(600); // the end is posted, not yet delivered
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.ts"), 0), S_OK);
    RunEventsFor(300);
    EXPECT_EQ(completions, 0);
}

// Finding the last frame decodes the film's end once more; playing, the film must still
// end exactly once, at its end.
TEST_F(EngineTest, SeekBeyondTheEndWhilePlayingEndsTheFilmOnce) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    int completions = 0;
    engine.OnComplete = [&] {
        ++completions;
    };
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    ASSERT_EQ(engine.SeekTo(60000), S_OK);
    RunEventsUntil([&] { return completions > 0; });
    RunEventsFor(500);
    EXPECT_EQ(completions, 1);
    EXPECT_GE(engine.GetCurrentPosition(), 99 * 400000); // the last frame or its end
    EXPECT_LE(engine.GetCurrentPosition(), 100 * 400000);
}

TEST_F(EngineTest, StatesFollowTheOperations) {
    TMMEngine engine(rmVMR, nullptr, settings);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg4.mp4"), 0), S_OK); // with the 500 ms step
    EXPECT_TRUE(LogHas("MMEngine->PlayMovie: Success"));
    EXPECT_TRUE(LogHas("MMEngine->PauseMovie: Success"));
    const int64_t afterLoad = engine.GetCurrentPosition();
    EXPECT_GT(afterLoad, 0);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    QThread::msleep(200);
    EXPECT_EQ(engine.StopMovie(), S_OK); // stands paused at its picture
    const int64_t stopped = engine.GetCurrentPosition();
    EXPECT_GT(stopped, afterLoad);
    QThread::msleep(100);
    EXPECT_EQ(engine.GetCurrentPosition(), stopped);
    // a film loaded while playing plays on
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    QThread::msleep(300);
    EXPECT_GT(engine.GetCurrentPosition(), 0);
    QImage image;
    EXPECT_EQ(engine.GrabPicture(image), S_OK); // pauses, grabs, plays again
    EXPECT_TRUE(LogHas("MMEngine->GrabPicture: Captured (" + std::to_string(352 * 288 * 4) + ")"));
}

// A pause right on the heels of a play must hold, also when the sink had no time to start.
TEST_F(EngineTest, PauseRightAfterPlayHolds) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    ExpectPauseRightAfterPlayHolds(engine);
}

TEST_F(EngineTest, RateChangesKeepThePosition) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    ASSERT_EQ(engine.SeekTo(1000), S_OK);
    engine.SetSpeed(2.0);
    EXPECT_TRUE(LogHas("MMEngine->SetSpeed: 2"));
    EXPECT_TRUE(LogHas("MMEngine->SetSpeed Result 00000000"));
    EXPECT_EQ(engine.GetCurrentPosition(), 10000000);
    engine.SetSpeed(0.0);
    EXPECT_TRUE(LogHas("MMEngine->SetSpeed Result 80004005"));
    engine.SetSpeed(-1.0);
    EXPECT_EQ(engine.GetCurrentPosition(), 10000000);
}

TEST_F(EngineTest, RepeatedLoadsLeakNoFiles) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK); // plugins and threads warm
    const int before = OpenFileCount();
    const char* films[] = {"mpeg1.mpg", "mpeg2.ts", "h264.mp4", "corrupt.mp4", "mpeg4.mp4"};
    for (int cycle = 0; cycle < 20; ++cycle) {
        const char* film = films[cycle % 5];
        const HResult loaded = engine.LoadMovie(Film(film), cycle % 2 ? 1 : 0);
        if (Succeeded(loaded)) {
            EXPECT_EQ(engine.SeekTo(1000 + cycle * 50), S_OK) << film;
        }
    }
    engine.Destroy();
    EXPECT_LE(OpenFileCount(), before);
}

} // namespace
} // namespace kanvio::test
