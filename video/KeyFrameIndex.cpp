#include "video/KeyFrameIndex.h"

#include "foundation/Errors.h"
#include "video/StreamScan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {

using streamscan::IPictureTracker;
using streamscan::TByteWindow;
using streamscan::TPesStart;
using streamscan::TTimeStampLine;

std::optional<TKeyFrame> TKeyFrameIndex::AtOrBefore(int64_t timeNs) const {
    if (KeyFrames.empty())
        return std::nullopt;
    auto after = std::upper_bound(KeyFrames.begin(), KeyFrames.end(), timeNs,
                                  [](int64_t t, const TKeyFrame& k) { return t < k.TimeNs; });
    return after == KeyFrames.begin() ? KeyFrames.front() : *(after - 1);
}

std::optional<TKeyFrame> TKeyFrameIndex::Before(const TKeyFrame& keyFrame) const {
    auto it = std::lower_bound(KeyFrames.begin(), KeyFrames.end(), keyFrame.TimeNs,
                               [](const TKeyFrame& k, int64_t t) { return k.TimeNs < t; });
    if (it == KeyFrames.begin())
        return std::nullopt;
    return *(it - 1);
}

int64_t TKeyFrameIndex::LongestGapNs() const {
    int64_t longest = 0;
    for (size_t i = 1; i < KeyFrames.size(); ++i)
        longest = std::max(longest, KeyFrames[i].TimeNs - KeyFrames[i - 1].TimeNs);
    if (!KeyFrames.empty() && LastFrameNs >= 0)
        longest = std::max(longest, LastFrameNs - KeyFrames.back().TimeNs + FrameDurationNs);
    return longest;
}

int64_t TKeyFrameIndex::LargestClockLeadNs() const {
    int64_t largest = 0;
    for (const TKeyFrame& k : KeyFrames)
        largest = std::max(largest, k.ClockLeadNs);
    return largest;
}

TFileByteSource::TFileByteSource(const std::string& fileName) : name_(fileName) {
    descriptor_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0)
        throw EInOutError(fileName, std::strerror(errno));
    struct stat info {};
    if (::fstat(descriptor_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor_);
        throw EInOutError(fileName, "not a film file");
    }
    size_ = info.st_size;
}

TFileByteSource::~TFileByteSource() {
    ::close(descriptor_);
}

size_t TFileByteSource::ReadAt(int64_t offset, uint8_t* into, size_t count) {
    for (;;) {
        const ssize_t read = ::pread(descriptor_, into, count, offset);
        if (read >= 0)
            return static_cast<size_t>(read);
        if (errno != EINTR)
            throw EInOutError(name_, std::strerror(errno));
    }
}

namespace {

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

uint64_t ReadTimeStamp(const uint8_t* p) {
    return (uint64_t(p[0] >> 1) & 7) << 30 | uint64_t(p[1]) << 22 | uint64_t(p[2] >> 1) << 15 |
           uint64_t(p[3]) << 7 | uint64_t(p[4] >> 1);
}

// The payload of a PES packet at p (start code included) of length bytes: its offset in
// the packet and the presentation time stamp it carries, MPEG-1 or MPEG-2 syntax.
bool ParsePesHeader(const uint8_t* p, size_t length, size_t& payload,
                    std::optional<uint64_t>& pts) {
    pts.reset();
    if (length < 9)
        return false;
    if ((p[6] & 0xc0) == 0x80) {
        payload = 9 + size_t(p[8]);
        if ((p[7] & 0x80) && length >= 14)
            pts = ReadTimeStamp(p + 9);
        return payload <= length;
    }
    size_t at = 6;
    while (at < length && at < 6 + 16 && p[at] == 0xff)
        ++at;
    if (at + 2 <= length && (p[at] & 0xc0) == 0x40)
        at += 2;
    if (at >= length)
        return false;
    if ((p[at] & 0xf0) == 0x20) {
        if (at + 5 > length)
            return false;
        pts = ReadTimeStamp(p + at);
        at += 5;
    } else if ((p[at] & 0xf0) == 0x30) {
        if (at + 10 > length)
            return false;
        pts = ReadTimeStamp(p + at);
        at += 10;
    } else {
        at += 1;
    }
    payload = at;
    return payload <= length;
}

// The next pack start code at or after offset, before limit; -1 for none.
int64_t FindPackStart(TByteWindow& window, int64_t offset, int64_t limit) {
    for (int64_t at = offset; at + 4 <= limit; ++at) {
        if (!window.Ensure(at, 4))
            return -1;
        if (window.At(at) == 0 && window.At(at + 1) == 0 && window.At(at + 2) == 1 &&
            window.At(at + 3) == 0xba)
            return at;
    }
    return -1;
}

bool ScanProgramStream(IByteSource& source, int64_t from, int64_t to, TKeyFrameIndex& index,
                       const std::atomic<bool>* stop) {
    TByteWindow window(source);
    TTimeStampLine clockLine, ptsLine;
    const int64_t size = source.Size();
    to = std::min(to, size);
    std::unique_ptr<IPictureTracker> tracker = streamscan::MakeMpegVideoTracker(index);
    int videoId = -1;
    int64_t packOffset = -1;
    std::optional<int64_t> clockNs;
    int64_t at = FindPackStart(window, from, size);
    for (int64_t steps = 0; at >= 0 && at < to; ++steps) {
        if ((steps & 1023) == 0 && Stopped(stop))
            return false;
        if (!window.Ensure(at, 6))
            break;
        if (window.At(at) != 0 || window.At(at + 1) != 0 || window.At(at + 2) != 1 ||
            window.At(at + 3) < 0xb9) {
            at = FindPackStart(window, at + 1, size);
            continue;
        }
        const uint8_t code = window.At(at + 3);
        if (code == 0xba) {
            if (!window.Ensure(at, 14))
                break;
            const uint8_t* p = window.Pointer(at);
            packOffset = at;
            if ((p[4] & 0xc0) == 0x40) {
                const uint64_t scr = (uint64_t(p[4] >> 3) & 7) << 30 | uint64_t(p[4] & 3) << 28 |
                                     uint64_t(p[5]) << 20 | uint64_t(p[6] >> 3) << 15 |
                                     uint64_t(p[6] & 3) << 13 | uint64_t(p[7]) << 5 |
                                     uint64_t(p[8] >> 3);
                clockNs = clockLine.ToNs(scr);
                at += 14 + (p[13] & 7);
            } else {
                clockNs = clockLine.ToNs(ReadTimeStamp(p + 4));
                at += 12;
            }
            continue;
        }
        if (code == 0xb9) {
            at += 4;
            continue;
        }
        const size_t length = 6 + ((size_t(window.At(at + 4)) << 8) | window.At(at + 5));
        const bool video = code >= 0xe0 && code <= 0xef && (videoId < 0 || videoId == code);
        if (video) {
            if (!window.Ensure(at, length))
                break;
            videoId = code;
            const uint8_t* p = window.Pointer(at);
            size_t payload = 0;
            std::optional<uint64_t> pts;
            if (ParsePesHeader(p, length, payload, pts)) {
                TPesStart pes;
                pes.UnitOffset = packOffset >= 0 ? packOffset : at;
                pes.ClockNs = clockNs;
                if (pts)
                    pes.PtsNs = ptsLine.ToNs(*pts);
                tracker->StartPes(pes);
                tracker->Feed(p + payload, length - payload, pes.UnitOffset);
            }
        }
        at += static_cast<int64_t>(length);
    }
    tracker->Finish();
    return true;
}

constexpr int64_t kPacket = 188;

// The first offset at or after from where three packets in a row start with the sync byte.
int64_t FindTransportSync(TByteWindow& window, int64_t from) {
    for (int64_t at = from; at + 3 * kPacket <= window.SourceSize(); ++at) {
        if (!window.Ensure(at, 3 * kPacket))
            return -1;
        if (window.At(at) == 0x47 && window.At(at + kPacket) == 0x47 &&
            window.At(at + 2 * kPacket) == 0x47)
            return at;
    }
    return -1;
}

// A PSI section's body after the pointer field: table id, length, then the entries.
struct TTransportState {
    int PmtPid = -1;
    int VideoPid = -1;
    int StreamType = 0;
};

void ParsePat(const uint8_t* p, size_t count, TTransportState& state) {
    if (count < 1 || size_t(p[0]) + 1 + 8 > count)
        return;
    const uint8_t* section = p + 1 + p[0];
    const size_t length = ((section[1] & 0x0f) << 8) | section[2];
    const size_t end = std::min<size_t>(3 + length, count - 1 - p[0]);
    for (size_t at = 8; at + 4 + 4 <= end; at += 4) {
        const int program = (section[at] << 8) | section[at + 1];
        if (program != 0) {
            state.PmtPid = ((section[at + 2] & 0x1f) << 8) | section[at + 3];
            return;
        }
    }
}

void ParsePmt(const uint8_t* p, size_t count, TTransportState& state) {
    if (count < 1 || size_t(p[0]) + 1 + 12 > count)
        return;
    const uint8_t* section = p + 1 + p[0];
    const size_t available = count - 1 - p[0];
    const size_t length = ((section[1] & 0x0f) << 8) | section[2];
    const size_t end = std::min<size_t>(3 + length - 4, available);
    size_t at = 12 + (((section[10] & 0x0f) << 8) | section[11]);
    while (at + 5 <= end) {
        const int type = section[at];
        const int pid = ((section[at + 1] & 0x1f) << 8) | section[at + 2];
        if (type == 0x01 || type == 0x02 || type == 0x1b || type == 0x10) {
            state.VideoPid = pid;
            state.StreamType = type;
            return;
        }
        at += 5 + (((section[at + 3] & 0x0f) << 8) | section[at + 4]);
    }
}

bool ScanTransportStream(IByteSource& source, int64_t from, int64_t to, TKeyFrameIndex& index,
                         const std::atomic<bool>* stop) {
    TByteWindow window(source);
    TTimeStampLine ptsLine;
    TTransportState state;
    std::unique_ptr<IPictureTracker> tracker;
    int64_t at = FindTransportSync(window, from);
    to = std::min(to, source.Size());
    for (int64_t steps = 0; at >= 0 && at < to; ++steps) {
        if ((steps & 4095) == 0 && Stopped(stop))
            return false;
        if (!window.Ensure(at, kPacket))
            break;
        const uint8_t* p = window.Pointer(at);
        if (p[0] != 0x47) {
            at = FindTransportSync(window, at + 1);
            continue;
        }
        const int pid = ((p[1] & 0x1f) << 8) | p[2];
        const bool unitStart = p[1] & 0x40;
        const int control = (p[3] >> 4) & 3;
        size_t payload = 4;
        if (control & 2)
            payload += 1 + size_t(p[4]);
        if (!(control & 1) || payload >= kPacket || (p[1] & 0x80)) {
            at += kPacket;
            continue;
        }
        const uint8_t* data = p + payload;
        const size_t count = kPacket - payload;
        if (pid == 0 && unitStart) {
            ParsePat(data, count, state);
        } else if (pid == state.PmtPid && unitStart && state.VideoPid < 0) {
            ParsePmt(data, count, state);
            if (state.StreamType == 0x1b)
                tracker = streamscan::MakeH264Tracker(index);
            else if (state.StreamType == 0x01 || state.StreamType == 0x02)
                tracker = streamscan::MakeMpegVideoTracker(index);
        } else if (pid == state.VideoPid && tracker) {
            if (unitStart) {
                size_t headerEnd = 0;
                std::optional<uint64_t> pts;
                if (count >= 9 && data[0] == 0 && data[1] == 0 && data[2] == 1 &&
                    ParsePesHeader(data, count, headerEnd, pts)) {
                    TPesStart pes;
                    pes.UnitOffset = at;
                    if (pts)
                        pes.PtsNs = ptsLine.ToNs(*pts);
                    tracker->StartPes(pes);
                    tracker->Feed(data + headerEnd, count - headerEnd, at);
                }
            } else {
                tracker->Feed(data, count, at);
            }
        }
        at += kPacket;
    }
    if (tracker)
        tracker->Finish();
    return true;
}

} // namespace

TContainer SniffContainer(IByteSource& source) {
    uint8_t head[3 * kPacket] = {};
    const size_t got = source.ReadAt(0, head, sizeof head);
    if (got >= 12 && std::memcmp(head + 4, "ftyp", 4) == 0)
        return TContainer::Mp4;
    if (got >= 4 && head[0] == 0 && head[1] == 0 && head[2] == 1 && head[3] == 0xba)
        return TContainer::ProgramStream;
    if (got == sizeof head && head[0] == 0x47 && head[kPacket] == 0x47 && head[2 * kPacket] == 0x47)
        return TContainer::TransportStream;
    return TContainer::Unknown;
}

bool ScanStreamRange(IByteSource& source, TContainer container, int64_t from, int64_t to,
                     TKeyFrameIndex& index, const std::atomic<bool>* stop) {
    index.Container = container;
    if (container == TContainer::ProgramStream)
        return ScanProgramStream(source, from, to, index, stop);
    if (container == TContainer::TransportStream)
        return ScanTransportStream(source, from, to, index, stop);
    throw EKanvioError(source.Name() + ": not a program or transport stream");
}

std::optional<TKeyFrameIndex> BuildKeyFrameIndex(IByteSource& source,
                                                 const std::atomic<bool>* stop) {
    const TContainer container = SniffContainer(source);
    TKeyFrameIndex index;
    switch (container) {
    case TContainer::Mp4:
        index = ReadMp4Index(source);
        break;
    case TContainer::ProgramStream:
    case TContainer::TransportStream:
        if (!ScanStreamRange(source, container, 0, source.Size(), index, stop))
            return std::nullopt;
        break;
    case TContainer::Unknown:
        throw EKanvioError(source.Name() + ": no program stream, transport stream or MP4 file");
    }
    std::sort(index.KeyFrames.begin(), index.KeyFrames.end(),
              [](const TKeyFrame& a, const TKeyFrame& b) { return a.TimeNs < b.TimeNs; });
    return index;
}

} // namespace kanvio
