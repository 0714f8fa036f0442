#pragma once

// Where a film's key frames are: for each, the time of its picture and the byte offset
// where a reader has to start to decode it. Seeks use it to start decoding at the last
// key frame at or before the frame asked for, whatever the film's GOP length.
//
// Times are the films' own presentation time stamps in nanoseconds; callers relate them
// to the pipeline through FirstFrameNs (the earliest picture of the film), which the
// demuxers show as the film's start.
//
// An index is built from an IByteSource by reading the container: MP4's own sample
// tables, or the packet and picture headers of a program or transport stream. The
// stream scanners resynchronise at any offset (ScanStreamRange), so an index can also be
// built piece by piece, bisecting on time stamps over range reads, instead of reading
// the whole file.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kanvio {

struct TKeyFrame {
    int64_t TimeNs = 0;     // presentation time of the key frame's picture
    int64_t ByteOffset = 0; // container unit (pack, packet, chunk) that starts it
    // How far the key frame's picture time lies after the clock a demuxer seeks by: the
    // system clock of the pack that starts it (program streams), its decoding time (MP4).
    // A seek for the picture time lands this much late. 0 for transport streams.
    int64_t ClockLeadNs = 0;
    bool operator==(const TKeyFrame&) const = default;
};

enum class TContainer { Unknown, ProgramStream, TransportStream, Mp4 };

class TKeyFrameIndex {
public:
    TContainer Container = TContainer::Unknown;
    std::vector<TKeyFrame> KeyFrames; // ascending by time
    int64_t FirstFrameNs = -1;        // earliest picture time of the film
    int64_t LastFrameNs = -1;         // latest picture time of the film
    int64_t FrameDurationNs = 0;      // 0 when unknown
    int64_t FrameCount = 0;           // pictures seen

    bool Empty() const { return KeyFrames.empty(); }
    // The last key frame whose picture time is at or before timeNs; the first key frame
    // when timeNs lies before every one of them; none for an empty index.
    std::optional<TKeyFrame> AtOrBefore(int64_t timeNs) const;
    // The key frame before the given one (by position in the list), if any.
    std::optional<TKeyFrame> Before(const TKeyFrame& keyFrame) const;
    // The longest stretch between consecutive key frames (the film's GOP), and from the
    // last key frame to the film's end.
    int64_t LongestGapNs() const;
    // The largest clock lead of any key frame.
    int64_t LargestClockLeadNs() const;
};

// Random-access reads of a film: a local file here; a range-reading client later.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual int64_t Size() const = 0;
    // Reads up to count bytes at offset; returns how many were read (0 at the end) and
    // throws EInOutError naming the source when the read fails.
    virtual size_t ReadAt(int64_t offset, uint8_t* into, size_t count) = 0;
    virtual const std::string& Name() const = 0;
};

class TFileByteSource final : public IByteSource {
public:
    // Throws EInOutError naming the file when it cannot be opened.
    explicit TFileByteSource(const std::string& fileName);
    ~TFileByteSource() override;
    TFileByteSource(const TFileByteSource&) = delete;
    TFileByteSource& operator=(const TFileByteSource&) = delete;
    int64_t Size() const override { return size_; }
    size_t ReadAt(int64_t offset, uint8_t* into, size_t count) override;
    const std::string& Name() const override { return name_; }

private:
    std::string name_;
    int descriptor_ = -1;
    int64_t size_ = 0;
};

// Which container the bytes at the start of the source are.
TContainer SniffContainer(IByteSource& source);

// Builds the whole index. stop, when set meanwhile, ends the build early: the result is
// then std::nullopt. Throws EKanvioError naming the source for a film it cannot read
// (an unknown container, an MP4 without a video track's tables).
std::optional<TKeyFrameIndex> BuildKeyFrameIndex(IByteSource& source,
                                                 const std::atomic<bool>* stop = nullptr);

// The stream scanners, for program and transport streams: key frames whose container unit
// starts in [from, to), appended to index. Picture counts and first/last times cover the
// range only. Returns false when stopped.
bool ScanStreamRange(IByteSource& source, TContainer container, int64_t from, int64_t to,
                     TKeyFrameIndex& index, const std::atomic<bool>* stop = nullptr);

// MP4's sample tables (the first video track).
TKeyFrameIndex ReadMp4Index(IByteSource& source);

} // namespace kanvio
