#include "video/StreamScan.h"

#include "tests/video/VideoTestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace kanvio::test {
namespace {

using streamscan::IPictureTracker;
using streamscan::TPesStart;

constexpr int64_t kMs = 1000000;

// The film's video as a bare elementary stream, copied out by ffmpeg.
std::vector<uint8_t> ElementaryStream(const std::string& film, const QString& format) {
    QTemporaryDir folder;
    const QString out = folder.filePath("video.es");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-loglevel", "error", "-y", "-i", QString::fromStdString(film), "-an",
                            "-c:v", "copy", "-f", format, out});
    ffmpeg.waitForFinished(60000);
    std::ifstream in(out.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Feeds bytes to the tracker in pieces of the given size (0: all at once).
void FeedInPieces(IPictureTracker& tracker, const uint8_t* data, size_t count, size_t piece) {
    if (piece == 0)
        piece = count;
    for (size_t at = 0; at < count; at += piece)
        tracker.Feed(data + at, std::min(piece, count - at), 0);
}

const size_t kPieceSizes[] = {0, 1, 2, 3, 4, 5, 7, 184, 2048};

// Where the stream's GOP headers start, and the temporal reference of the picture after
// each: a GOP's pictures are timed from the first time stamp within it.
struct TGopStart {
    size_t Offset;
    int TemporalReference;
};

std::vector<TGopStart> GopStarts(const std::vector<uint8_t>& s) {
    std::vector<TGopStart> starts;
    for (size_t at = 0; at + 6 < s.size(); ++at) {
        if (s[at] != 0 || s[at + 1] != 0 || s[at + 2] != 1 || s[at + 3] != 0xb8)
            continue;
        for (size_t p = at + 4; p + 6 < s.size(); ++p) {
            if (s[p] == 0 && s[p + 1] == 0 && s[p + 2] == 1 && s[p + 3] == 0) {
                starts.push_back({starts.empty() ? 0 : at, (s[p + 4] << 2) | (s[p + 5] >> 6)});
                break;
            }
        }
    }
    return starts;
}

// Start codes, and the header bytes after them, fall across the pieces a container cuts
// the stream into at any byte: the scan finds the same pictures however it is cut.
TEST(StreamScanTest, MpegVideoPicturesDoNotDependOnWhereTheStreamIsCut) {
    const std::vector<uint8_t> stream =
        ElementaryStream(ExactFilm("mpeg2-gop12.mpg"), "mpeg2video");
    ASSERT_GT(stream.size(), 100000u);
    const std::vector<TGopStart> gops = GopStarts(stream);
    ASSERT_GE(gops.size(), 125u); // 60 s in GOPs of 12

    std::optional<TKeyFrameIndex> whole;
    for (size_t piece : kPieceSizes) {
        TKeyFrameIndex index;
        std::unique_ptr<IPictureTracker> tracker = streamscan::MakeMpegVideoTracker(index);
        // One PES a GOP, stamped with a time for its first picture.
        for (size_t g = 0; g < gops.size(); ++g) {
            TPesStart pes;
            pes.PtsNs = (1000 + (int64_t(g) * 12 + gops[g].TemporalReference) * 40) * kMs;
            pes.UnitOffset = int64_t(gops[g].Offset);
            tracker->StartPes(pes);
            const size_t end = g + 1 < gops.size() ? gops[g + 1].Offset : stream.size();
            FeedInPieces(*tracker, stream.data() + gops[g].Offset, end - gops[g].Offset, piece);
        }
        tracker->Finish();
        if (!whole) {
            whole = index;
            EXPECT_EQ(index.FrameCount, 1500);
            EXPECT_EQ(index.KeyFrames.size(), gops.size());
            EXPECT_EQ(index.FrameDurationNs, 40 * kMs);
            continue;
        }
        EXPECT_EQ(index.KeyFrames, whole->KeyFrames) << "pieces of " << piece;
        EXPECT_EQ(index.FrameCount, whole->FrameCount) << "pieces of " << piece;
        EXPECT_EQ(index.FirstFrameNs, whole->FirstFrameNs) << "pieces of " << piece;
        EXPECT_EQ(index.LastFrameNs, whole->LastFrameNs) << "pieces of " << piece;
    }
}

// H.264 access units, one a PES as transport streams carry them: an IDR slice makes the
// unit a key frame wherever its start code lies, also across pieces, and a start code
// prefix of four bytes or one preceded by zeros counts once.
TEST(StreamScanTest, H264KeyUnitsAreFoundAcrossPieces) {
    const std::vector<std::vector<uint8_t>> units = {
        {0, 0, 0, 1, 0x09, 0x10, 0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x65, 0x88, 0x01, 0x00},
        {0, 0, 0, 1, 0x09, 0x30, 0, 0, 1, 0x41, 0x9a, 0x00, 0x01, 0x00, 0x00, 0x02},
        {0, 0, 0, 0, 0, 1, 0x65, 0x01, 0x01, 0, 0, 0, 1, 0x65, 0x00},
        {0, 0, 1, 0x01, 0x00, 0x00, 0x01, 0x21, 0x00, 0x00},
        {0, 0, 1, 0x41, 0, 0, 1},
        {0x65, 0, 0, 1, 0x25, 0xff},
    };
    for (size_t piece : kPieceSizes) {
        TKeyFrameIndex index;
        std::unique_ptr<IPictureTracker> tracker = streamscan::MakeH264Tracker(index);
        for (size_t i = 0; i < units.size(); ++i) {
            TPesStart pes;
            pes.PtsNs = int64_t(i) * 40 * kMs;
            pes.UnitOffset = int64_t(i) * 188;
            tracker->StartPes(pes);
            FeedInPieces(*tracker, units[i].data(), units[i].size(), piece);
        }
        tracker->Finish();
        // The last unit's first byte completes the start code the unit before left open.
        const std::vector<TKeyFrame> expected = {
            {0, 0, 0}, {80 * kMs, 376, 0}, {200 * kMs, 940, 0}};
        EXPECT_EQ(index.KeyFrames, expected) << "pieces of " << piece;
        EXPECT_EQ(index.FrameCount, 6) << "pieces of " << piece;
    }
}

} // namespace
} // namespace kanvio::test
