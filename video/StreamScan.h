#pragma once

// The pieces of the key-frame scan of program and transport streams: a window of bytes
// over an IByteSource, and the trackers that find key pictures in the video elementary
// stream as the container hands it out PES packet by PES packet.

#include "video/KeyFrameIndex.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kanvio::streamscan {

// Reads the source in large blocks and hands out bytes at absolute offsets.
class TByteWindow {
public:
    explicit TByteWindow(IByteSource& source) : source_(source) {}
    // Makes [offset, offset + count) available; false when the source ends before.
    bool Ensure(int64_t offset, size_t count);
    uint8_t At(int64_t offset) const { return buffer_[static_cast<size_t>(offset - start_)]; }
    const uint8_t* Pointer(int64_t offset) const {
        return buffer_.data() + static_cast<size_t>(offset - start_);
    }
    int64_t SourceSize() const { return source_.Size(); }

private:
    IByteSource& source_;
    std::vector<uint8_t> buffer_;
    int64_t start_ = 0;
};

// 33-bit MPEG time stamps made continuous across their wrap, in nanoseconds.
class TTimeStampLine {
public:
    int64_t ToNs(uint64_t ticks90k);

private:
    int64_t wraps_ = 0;
    int64_t last_ = -1;
};

// What the container knows about the PES packet whose payload follows.
struct TPesStart {
    std::optional<int64_t> PtsNs;
    int64_t UnitOffset = 0;         // pack or TS packet where the PES starts
    std::optional<int64_t> ClockNs; // the pack's system clock (program streams)
};

// Finds key pictures in an elementary stream.
class IPictureTracker {
public:
    virtual ~IPictureTracker() = default;
    virtual void StartPes(const TPesStart& pes) = 0;
    virtual void Feed(const uint8_t* data, size_t count, int64_t unitOffset) = 0;
    virtual void Finish() = 0;
};

// MPEG-1 and MPEG-2 video: I pictures after a sequence or GOP header; picture times from
// the PES time stamps and the temporal references within a GOP.
std::unique_ptr<IPictureTracker> MakeMpegVideoTracker(TKeyFrameIndex& index);
// H.264: IDR pictures, one access unit per PES as muxers write them in transport streams.
std::unique_ptr<IPictureTracker> MakeH264Tracker(TKeyFrameIndex& index);

} // namespace kanvio::streamscan
