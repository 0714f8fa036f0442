#include "foundation/Errors.h"
#include "tests/video/VideoTestSupport.h"
#include "tools/mkproject/FrameCode.h"
#include "video/KeyFrameIndexer.h"
#include "video/StreamScan.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

constexpr int64_t kMs = 1000000;

// Key frame times and the number of frames, as ffprobe finds them by decoding the film,
// each time from the film's first frame.
struct TDecodedFilm {
    std::vector<int64_t> KeyFramesMs;
    int Frames = 0;
};

TDecodedFilm DecodeWithFfprobe(const std::string& film) {
    QProcess probe;
    probe.start("ffprobe", {"-loglevel", "error", "-select_streams", "v", "-show_entries",
                            "frame=key_frame,best_effort_timestamp_time", "-of", "csv=p=0",
                            QString::fromStdString(film)});
    probe.waitForFinished(120000);
    TDecodedFilm decoded;
    std::vector<std::pair<double, bool>> frames;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() >= 2)
            frames.emplace_back(fields[1].toDouble(), fields[0] == "1");
    }
    if (frames.empty())
        return decoded;
    double first = frames.front().first;
    for (const auto& frame : frames)
        first = std::min(first, frame.first);
    for (const auto& [time, key] : frames)
        if (key)
            decoded.KeyFramesMs.push_back(std::llround((time - first) * 1000));
    decoded.Frames = static_cast<int>(frames.size());
    return decoded;
}

std::vector<int64_t> IndexKeyFramesMs(const TKeyFrameIndex& index) {
    std::vector<int64_t> times;
    for (const TKeyFrame& key : index.KeyFrames)
        times.push_back((key.TimeNs - index.FirstFrameNs + kMs / 2) / kMs);
    return times;
}

class KeyFrameIndexFilmTest : public ::testing::TestWithParam<const char*> {};

// The index read from the container must name the key frames a full decode finds.
TEST_P(KeyFrameIndexFilmTest, MatchesAFullDecode) {
    const std::string film = ExactFilm(GetParam());
    TFileByteSource source(film);
    const std::optional<TKeyFrameIndex> index = BuildKeyFrameIndex(source);
    ASSERT_TRUE(index);
    const TDecodedFilm decoded = DecodeWithFfprobe(film);
    ASSERT_FALSE(decoded.KeyFramesMs.empty());
    EXPECT_EQ(IndexKeyFramesMs(*index), decoded.KeyFramesMs) << GetParam();
    EXPECT_EQ(index->FrameCount, decoded.Frames) << GetParam();
    EXPECT_EQ(index->LastFrameNs - index->FirstFrameNs, int64_t{1499} * 40 * kMs) << GetParam();
    EXPECT_EQ(index->FrameDurationNs, 40 * kMs) << GetParam();
    for (size_t i = 1; i < index->KeyFrames.size(); ++i)
        EXPECT_LT(index->KeyFrames[i - 1].ByteOffset, index->KeyFrames[i].ByteOffset);
}

INSTANTIATE_TEST_SUITE_P(Films, KeyFrameIndexFilmTest,
                         ::testing::Values("mpeg1.mpg", "mpeg2-gop250.mpg", "mpeg2.ts", "mpeg4.mp4",
                                           "h264.mp4"),
                         [](const auto& info) { return FilmTestName(info.param); });

// A scan that starts anywhere in the file (as a build by range reads would) finds the
// same key frames as the whole scan from there on.
TEST(KeyFrameIndexTest, ARangeScanResynchronisesAnywhere) {
    for (const char* name : {"mpeg2-gop12.mpg", "mpeg2.ts"}) {
        const std::string film = ExactFilm(name);
        TFileByteSource source(film);
        const TKeyFrameIndex whole = *BuildKeyFrameIndex(source);
        for (int64_t from : {source.Size() / 3 + 1, source.Size() / 2 + 777}) {
            TKeyFrameIndex part;
            ASSERT_TRUE(ScanStreamRange(source, whole.Container, from, source.Size(), part));
            std::vector<TKeyFrame> expected;
            for (const TKeyFrame& key : whole.KeyFrames)
                if (key.ByteOffset >= from)
                    expected.push_back(key);
            ASSERT_FALSE(part.KeyFrames.empty()) << name;
            // The first GOP after the cut may lack the time stamp that times its key.
            const auto& got = part.KeyFrames;
            const size_t skip = expected.size() - got.size();
            EXPECT_LE(skip, 1u) << name;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + skip)) << name;
        }
    }
}

TEST(KeyFrameIndexTest, LooksUpTheKeyFrameAtOrBefore) {
    TKeyFrameIndex index;
    EXPECT_FALSE(index.AtOrBefore(0));
    index.KeyFrames = {{100, 0, 0}, {200, 10, 0}, {300, 20, 0}};
    index.LastFrameNs = 390;
    index.FrameDurationNs = 10;
    const struct {
        int64_t at;
        int64_t key;
    } cases[] = {{0, 100}, {99, 100}, {100, 100}, {199, 100}, {200, 200}, {301, 300}, {5000, 300}};
    for (const auto& c : cases)
        EXPECT_EQ(index.AtOrBefore(c.at)->TimeNs, c.key) << c.at;
    EXPECT_FALSE(index.Before(index.KeyFrames[0]));
    EXPECT_EQ(index.Before(index.KeyFrames[2])->TimeNs, 200);
    EXPECT_EQ(index.LongestGapNs(), 100);
    index.LastFrameNs = 600; // a long tail after the last key frame counts too
    EXPECT_EQ(index.LongestGapNs(), 310);
}

TEST(KeyFrameIndexTest, TimeStampsContinueAcrossTheirWrap) {
    streamscan::TTimeStampLine line;
    const uint64_t wrap = uint64_t{1} << 33;
    const int64_t before = line.ToNs(wrap - 90000); // a second before the wrap
    const int64_t after = line.ToNs(90000);         // a second after it
    const int64_t late = line.ToNs(wrap - 45000);   // a B-frame stamped before the wrap
    EXPECT_EQ(after - before, 2'000'000'000);
    EXPECT_EQ(late - before, 500'000'000);
}

// Films that are not what their names say, or are broken: a message naming the file, or
// for a film cut short an index of what is there.
TEST(KeyFrameIndexTest, BadFilmsFailNamingTheFileOrIndexWhatIsThere) {
    for (const char* name : {"garbage.mpg", "empty.mpg", "notes.txt", "corrupt.mp4", "tone.wav"}) {
        const std::string film = Film(name);
        try {
            TFileByteSource source(film);
            BuildKeyFrameIndex(source);
            ADD_FAILURE() << name << " gave an index";
        } catch (const EKanvioError& error) {
            EXPECT_NE(std::string(error.what()).find(film), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(TFileByteSource("/nonexistent/film.mpg"), EInOutError);
    TFileByteSource whole(Film("mpeg2.mpg"));
    TFileByteSource cut(Film("truncated.mpg"));
    const TKeyFrameIndex full = *BuildKeyFrameIndex(whole);
    const TKeyFrameIndex part = *BuildKeyFrameIndex(cut);
    ASSERT_FALSE(part.KeyFrames.empty());
    EXPECT_LT(part.KeyFrames.size(), full.KeyFrames.size());
    EXPECT_TRUE(std::equal(part.KeyFrames.begin(), part.KeyFrames.end(), full.KeyFrames.begin()));
}

TEST(KeyFrameIndexTest, StopsWhenAskedAndKeepsFinishedIndexesForTheSession) {
    const std::string film = ExactFilm("mpeg2-gop12.mpg");
    std::atomic<bool> stop{true};
    TFileByteSource source(film);
    EXPECT_FALSE(BuildKeyFrameIndex(source, &stop));
    TKeyFrameIndexer::ForgetSession();
    std::shared_ptr<const TKeyFrameIndex> first;
    {
        TKeyFrameIndexer indexer(film);
        indexer.Wait();
        first = indexer.Index();
        ASSERT_NE(first, nullptr) << indexer.Error();
    }
    TKeyFrameIndexer again(film);
    EXPECT_TRUE(again.Finished());
    EXPECT_EQ(again.Index(), first);
    TKeyFrameIndexer::ForgetSession();
}

// The demuxer takes the rate this film states and reports 16.7 s; its time stamps say 30 s.
TEST(KeyFrameIndexTest, StreamBoundsComeFromTheFilmsTimeStamps) {
    TFileByteSource source(ExactFilm("film17.mpg"));
    const TFilmBounds bounds = ReadStreamBounds(source);
    ASSERT_TRUE(bounds.Known());
    EXPECT_EQ(bounds.LastFrameNs - bounds.FirstFrameNs, int64_t{749} * 40 * kMs);
    TFileByteSource mp4(ExactFilm("h264.mp4"));
    EXPECT_FALSE(ReadStreamBounds(mp4).Known());
}

TEST(FrameCodeTest, ReadsWhatItWroteAndRefusesWhatItDidNot) {
    using namespace generator;
    const int width = 352, height = 288;
    const TFrameCodeGeometry g = FrameCodeGeometry(width, height);
    ASSERT_GT(g.BlockWidth, 0);
    const auto paint = [&](int number, uint8_t guardWhite, uint8_t guardBlack) {
        std::vector<uint8_t> pixels(size_t(width) * height * 4, 128);
        for (int block = 0; block < kFrameCodeBlocks; ++block) {
            uint8_t level = block == 0                      ? guardWhite
                            : block == kFrameCodeBlocks - 1 ? guardBlack
                            : ((number >> (block - 1)) & 1) ? 255
                                                            : 0;
            for (int y = g.Top; y < g.Top + g.BlockHeight; ++y)
                for (int x = g.Left + block * g.BlockWidth; x < g.Left + (block + 1) * g.BlockWidth;
                     ++x)
                    for (int c = 0; c < 4; ++c)
                        pixels[(size_t(y) * width + x) * 4 + c] = level;
        }
        return pixels;
    };
    for (int number : {0, 1, 2, 1499, 180000, (1 << kFrameCodeBits) - 1}) {
        const auto pixels = paint(number, 255, 0);
        EXPECT_EQ(ReadFrameCode(pixels.data(), width, height, width * 4), number);
    }
    const struct { uint8_t white, black; } broken[] = {{0, 0}, {255, 255}, {128, 0}};
    for (const auto& b : broken) {
        const auto pixels = paint(5, b.white, b.black);
        EXPECT_EQ(ReadFrameCode(pixels.data(), width, height, width * 4), -1);
    }
    const auto pixels = paint(5, 255, 0);
    EXPECT_EQ(ReadFrameCode(pixels.data(), width, height, width), -1); // short lines
    EXPECT_EQ(ReadFrameCode(nullptr, width, height, width * 4), -1);
    EXPECT_EQ(FrameCodeGeometry(176, 144).BlockWidth, 0); // too narrow to carry it
    EXPECT_TRUE(FrameCodeFilter(176, 144).empty());
}

} // namespace
} // namespace kanvio::test

namespace kanvio::test {
namespace {

// Before the whole index is there, a scan of the bytes around a time finds the same key
// frame at or before it as the whole index.
TEST(KeyFrameIndexTest, TheBytesAroundATimeGiveTheSameKeyFrameAsTheWholeIndex) {
    for (const char* name : {"mpeg2-gop250.mpg", "mpeg1.mpg", "mpeg2.ts"}) {
        const std::string film = ExactFilm(name);
        TKeyFrameIndexer::ForgetSession();
        TKeyFrameIndexer indexer(film);
        indexer.Wait();
        const std::shared_ptr<const TKeyFrameIndex> whole = indexer.Index();
        ASSERT_NE(whole, nullptr) << name;
        const int64_t first = whole->FirstFrameNs;
        for (int frame : {0, 249, 250, 251, 700, 1100, 1499}) {
            const int64_t t = first + int64_t{frame} * 40 * kMs;
            const std::shared_ptr<const TKeyFrameIndex> near = indexer.NearbyIndex(t);
            ASSERT_NE(near, nullptr) << name << " frame " << frame;
            EXPECT_EQ(near->AtOrBefore(t)->TimeNs, whole->AtOrBefore(t)->TimeNs)
                << name << " frame " << frame;
            EXPECT_EQ(near->FirstFrameNs, first);
        }
    }
    TKeyFrameIndexer::ForgetSession();
    TKeyFrameIndexer mp4(ExactFilm("h264.mp4"));
    EXPECT_EQ(mp4.NearbyIndex(0), nullptr); // MP4 reads its own tables instead
}

} // namespace
} // namespace kanvio::test
