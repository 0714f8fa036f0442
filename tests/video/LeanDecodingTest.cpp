#include "tests/video/VideoTestSupport.h"
#include "video/GstHandles.h"
#include "video/KeyFrameIndexer.h"
#include "video/LeanDecoders.h"
#include "video/VideoCommands.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>

namespace kanvio::test {
namespace {

constexpr int64_t kFrameMs = 40; // 25 fps

constexpr int kLastFrame = 1499; // 60 s

// Key frames of every GOP used and the frames around them, forwards and backwards, the
// film's last frames, and seeks after them.
const int kFrames[] = {0,    13,   249,  251,  262,        301, 700, 2,
                       1400, 1490, 1497, 1498, kLastFrame, 700, 2,   1300};

TEST(LeanDecoderTest, OnlyElementaryMpegVideoHasALeanDecoder) {
    EnsureGStreamer();
    const struct {
        const char* caps;
        bool lean;
    } cases[] = {
        {"video/mpeg, mpegversion=(int)1, systemstream=(boolean)false", true},
        {"video/mpeg, mpegversion=(int)2, systemstream=(boolean)false, parsed=(boolean)true", true},
        {"video/mpeg, mpegversion=(int)2", true},
        {"video/mpeg, mpegversion=(int)2, systemstream=(boolean)true", false},
        {"video/mpeg, mpegversion=(int)4, systemstream=(boolean)false", false},
        {"video/mpeg, systemstream=(boolean)false", false},
        {"video/x-h264, stream-format=(string)avc", false},
        {"video/mpegts, systemstream=(boolean)true", false},
        {"video/mpeg, mpegversion=(int)2; video/x-h264", false},
        {"EMPTY", false},
    };
    for (const auto& c : cases) {
        const TGstCapsPtr caps(gst_caps_from_string(c.caps));
        ASSERT_TRUE(caps) << c.caps;
        EXPECT_EQ(LeanDecoderFor(caps.get()) != nullptr, c.lean) << c.caps;
    }
    EXPECT_EQ(LeanDecoderFor(nullptr), nullptr);
}

// What automatic plugging is told for each decoder it offers.
TEST(LeanDecoderTest, OnlyLibavDecodersWithALeanOneBesideThemArePassedOver) {
    EnsureGStreamer();
    constexpr int kTry = 0, kSkip = 2;
    const char* mpeg2 = "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false";
    const char* h264 = "video/x-h264, stream-format=(string)byte-stream";
    const struct {
        const char* factory;
        const char* caps;
        int expected;
    } cases[] = {
        {"avdec_mpeg2video", mpeg2, kSkip},
        {"mpeg2dec", mpeg2, kTry},
        {"avdec_h264", h264, kTry},
        {"avdec_mpeg4", "video/mpeg, mpegversion=(int)4", kTry},
        // Not a decoder, whatever the caps say.
        {"mpegvideoparse", mpeg2, kTry},
    };
    for (const auto& c : cases) {
        GstElementFactory* factory = gst_element_factory_find(c.factory);
        ASSERT_NE(factory, nullptr) << c.factory << " is not installed";
        const TGstCapsPtr caps(gst_caps_from_string(c.caps));
        EXPECT_EQ(SelectLeanDecoder(nullptr, nullptr, caps.get(), factory, nullptr), c.expected)
            << c.factory << " for " << c.caps;
        gst_object_unref(factory);
    }
}

TEST(LeanDecoderTest, CoversTheMpegClassesOnly) {
    EXPECT_TRUE(LeanDecoderCovers(TMovieFormat::MPEG1));
    EXPECT_TRUE(LeanDecoderCovers(TMovieFormat::MPEG2));
    EXPECT_FALSE(LeanDecoderCovers(TMovieFormat::MPEG4));
    EXPECT_FALSE(LeanDecoderCovers(TMovieFormat::Unknown));
    EXPECT_FALSE(LeanDecoderCovers(TMovieFormat::None));
}

struct TLeanCase {
    const char* Film;
    const char* Decoder; // the one plugged with lean decoding on
};

class LeanDecodingTest : public EngineTest, public ::testing::WithParamInterface<TLeanCase> {};

// Every film class decodes to the exact frames, with the lean decoder where it takes the
// stream; the picture is the one ffmpeg decodes. Where the lean decoder cannot show the
// frame (it keeps a film's last frames) decoding has run to the film's end, after which
// the lean decoder is not trusted: a grab then decodes again.
TEST_P(LeanDecodingTest, FramesAreExactOrToldNotToBe) {
    const std::string film = ExactFilm(GetParam().Film);
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    engine.SetWholeIndexing(false);
    engine.SetLeanDecoding(true);
    ASSERT_EQ(engine.LoadMovie(film, lsSystem), S_OK) << GetParam().Film;
    const std::string elements = engine.ElementNames();
    EXPECT_NE(elements.find(std::string(" ") + GetParam().Decoder + ")"), std::string::npos)
        << elements;
    bool pastTheEnd = false;
    for (int frame : kFrames) {
        const std::string what = std::string(GetParam().Film) + " frame " + std::to_string(frame);
        pastTheEnd = pastTheEnd || frame > 1490;
        ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << what;
        QImage grabbed;
        ASSERT_EQ(engine.GrabPicture(grabbed), S_OK) << what;
        const bool exact = FrameNumberOf(grabbed) == frame;
        // What the grab relies on: until decoding ran to the end, every frame is exact.
        if (!engine.FilmEndReached()) {
            EXPECT_TRUE(exact) << what << ": shows " << FrameNumberOf(grabbed);
        }
        if (!pastTheEnd) {
            EXPECT_FALSE(engine.FilmEndReached()) << what;
        }
        if (frame == 262) {
            EXPECT_LT(MeanDifference(grabbed, ReferenceFrame(film, frame)), 6.0) << what;
        }
    }
}

// The command decodes lean and again where the lean decoder cannot show the frame: the
// last frames and a time past the end, which shows the last frame.
TEST_F(EngineTest, GrabIsExactAtTheEndOfEveryMpegFilm) {
    for (const char* name : {"mpeg1.mpg", "mpeg2-gop12.mpg", "mpeg2-gop250.mpg", "mpeg2.ts"}) {
        for (const auto& [ms, frame] :
             {std::pair{1497 * kFrameMs, 1497}, std::pair{kLastFrame * kFrameMs, kLastFrame},
              std::pair{kLastFrame * kFrameMs + 39, kLastFrame},
              std::pair{int64_t{90000}, kLastFrame}}) {
            const std::string picture = (env.root() / "end.png").string();
            std::ostringstream out, err;
            ASSERT_EQ(RunGrabCommand({ExactFilm(name), std::to_string(ms), picture}, out, err), 0)
                << name << ": " << err.str();
            EXPECT_EQ(FrameNumberOf(QImage(QString::fromStdString(picture))), frame)
                << name << " at " << ms << " ms";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Films, LeanDecodingTest,
                         ::testing::Values(TLeanCase{"mpeg1.mpg", "mpeg2dec"},
                                           TLeanCase{"mpeg2-gop12.mpg", "mpeg2dec"},
                                           TLeanCase{"mpeg2-gop250.mpg", "mpeg2dec"},
                                           TLeanCase{"mpeg2-gop250-ip.mpg", "mpeg2dec"},
                                           TLeanCase{"mpeg2.ts", "mpeg2dec"},
                                           TLeanCase{"mpeg4.mp4", "avdec_mpeg4"},
                                           TLeanCase{"h264.mp4", "avdec_h264"}),
                         [](const auto& info) { return FilmTestName(info.param.Film); });

// The player keeps the system's own choice: libav's decoder, ranked first.
TEST_F(EngineTest, WithoutLeanDecodingTheSystemsDecoderIsPlugged) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    engine.SetWholeIndexing(false);
    ASSERT_EQ(engine.LoadMovie(ExactFilm("mpeg2-gop12.mpg"), lsSystem), S_OK);
    EXPECT_NE(engine.ElementNames().find("avdec_mpeg2video"), std::string::npos)
        << engine.ElementNames();
    EXPECT_EQ(engine.ElementNames().find("mpeg2dec"), std::string::npos);
}

} // namespace
} // namespace kanvio::test
