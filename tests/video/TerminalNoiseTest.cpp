// Situations that once made GStreamer print criticals: each must pass without a word on
// the terminal, as the criticals pointed at faults of the player.

#include "tests/support/TerminalMessages.h"
#include "tests/video/VideoTestSupport.h"
#include "video/FrameSlot.h"

#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

TEST_F(EngineTest, SpeedChangesWhilePlayingKeepTheTerminalQuiet) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK);
    TerminalMessages terminal;
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    // The window keeps the newest frame while the engine changes speed under it.
    for (const double rate : {2.0, 0.5, 4.0, 1.0, 0.25, 1.0}) {
        RunEventsFor(150);
        QImage shown;
        EXPECT_EQ(engine.GrabPicture(shown), S_OK);
        engine.SetSpeed(rate);
        RunEventsFor(150);
    }
    ASSERT_EQ(engine.PauseMovie(), S_OK);
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
}

TEST_F(EngineTest, FilmAfterFilmKeepsTheTerminalQuiet) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    TerminalMessages terminal;
    for (const char* film : {"mpeg2.mpg", "mpeg1.mpg", "mpeg2.mpg", "h264.mp4"}) {
        ASSERT_EQ(engine.LoadMovie(Film(film), 0), S_OK) << film;
        QImage shown;
        EXPECT_EQ(engine.GrabPicture(shown), S_OK) << film;
        ASSERT_EQ(engine.PlayMovie(), S_OK) << film;
        RunEventsFor(300);
        engine.SetSpeed(2.0);
        RunEventsFor(200);
        ASSERT_EQ(engine.PauseMovie(), S_OK) << film;
    }
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
}

// The sink gives the same sample object out again and changes its caps in place when a
// decoder renegotiates (seen after speed changes); it may only do so while nobody else
// holds that object, so the frame on screen must not keep it.
TEST(FrameSlotTest, ShownFrameLeavesTheSinksSampleUnshared) {
    gst_init(nullptr, nullptr);
    TGstCapsPtr caps(gst_caps_from_string("video/x-raw, format=(string)BGRx, width=(int)4, "
                                          "height=(int)2, framerate=(fraction)25/1"));
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 4 * 4 * 2, nullptr);
    GST_BUFFER_PTS(buffer) = 40 * GST_MSECOND;
    TGstSamplePtr sinkSample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    gst_buffer_unref(buffer);

    TFrameSlot slot;
    slot.Put(TGstSamplePtr(gst_sample_ref(sinkSample.get())));
    const QImage shown = slot.Image();
    EXPECT_EQ(shown.size(), QSize(4, 2));
    EXPECT_EQ(slot.FrameTime(), 40 * int64_t(GST_MSECOND));
    EXPECT_TRUE(gst_sample_is_writable(sinkSample.get()));

    TerminalMessages terminal;
    TGstCapsPtr renegotiated(gst_caps_copy(caps.get()));
    gst_sample_set_caps(sinkSample.get(), renegotiated.get());
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
    EXPECT_EQ(slot.Image().size(), QSize(4, 2));
}

TEST_F(EngineTest, LoadingByEveryStrategyKeepsTheTerminalQuiet) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    TFilterLists lists;
    engine.EnumDecoders(lists);
    engine.SetPriorityLists(lists);
    TerminalMessages terminal;
    for (int strategy = 0; strategy <= 2; ++strategy) {
        for (const char* film : {"mpeg1.mpg", "mpeg2.mpg", "mpeg2.ts", "mpeg4.mp4", "h264.mp4"}) {
            EXPECT_EQ(engine.LoadMovie(Film(film), strategy), S_OK)
                << film << " strategy " << strategy;
        }
    }
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
}

TEST_F(EngineTest, TruncatedFilmPlaysToItsEndQuietly) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    TerminalMessages terminal;
    ASSERT_EQ(engine.LoadMovie(Film("truncated.mpg"), 0), S_OK);
    int completions = 0;
    engine.OnComplete = [&] {
        ++completions;
    };
    ASSERT_EQ(engine.SeekTo(600), S_OK);
    ASSERT_EQ(engine.PlayMovie(), S_OK);
    EXPECT_TRUE(RunEventsUntil([&] { return completions > 0; }));
    // Beyond the end, as a click on a later observation asks.
    engine.SeekTo(60000);
    RunEventsFor(200);
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
}

} // namespace
} // namespace kanvio::test
