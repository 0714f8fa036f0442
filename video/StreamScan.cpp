#include "video/StreamScan.h"

#include <algorithm>
#include <cstring>

namespace kanvio::streamscan {

namespace {

constexpr size_t kBlockSize = 1 << 20;

int64_t TicksToNs(int64_t ticks) {
    return ticks * 100000 / 9;
}

void NotePicture(TKeyFrameIndex& index, int64_t timeNs) {
    if (index.FirstFrameNs < 0 || timeNs < index.FirstFrameNs)
        index.FirstFrameNs = timeNs;
    index.LastFrameNs = std::max(index.LastFrameNs, timeNs);
}

// Start codes 00 00 01 xx across the pieces an elementary stream arrives in. Within a
// piece the prefix is found by searching for its 01 byte, which is rare in coded data;
// the first bytes of a piece finish what the piece before began.
class TStartCodeFinder {
public:
    // Calls onCode(code, positionOfFirstZero) for every start code, when its code byte
    // arrives; positions count the bytes fed so far.
    template <typename TOnCode> void Feed(const uint8_t* data, size_t count, TOnCode onCode) {
        const int64_t base = position_;
        const size_t head = std::min<size_t>(count, 3);
        for (size_t i = 0; i < head; ++i)
            Step(data[i], onCode);
        if (count <= head)
            return;
        size_t i = head;
        while (i < count) {
            if (afterPrefix_) {
                afterPrefix_ = false;
                onCode(data[i], base + int64_t(i) - 3);
            }
            const void* one = std::memchr(data + i, 0x01, count - i);
            if (!one)
                break;
            const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(one) - data);
            // at >= 3: the two bytes before it lie in this piece.
            afterPrefix_ = data[at - 1] == 0 && data[at - 2] == 0;
            i = at + 1;
        }
        shift_ = uint32_t(data[count - 3]) << 16 | uint32_t(data[count - 2]) << 8 | data[count - 1];
        position_ = base + int64_t(count);
    }
    int64_t Position() const { return position_; }

private:
    template <typename TOnCode> void Step(uint8_t byte, TOnCode& onCode) {
        if (afterPrefix_) {
            afterPrefix_ = false;
            onCode(byte, position_ - 3);
        }
        shift_ = (shift_ << 8) | byte;
        afterPrefix_ = (shift_ & 0xffffff) == 0x000001;
        ++position_;
    }

    uint32_t shift_ = 0xffffffff;
    bool afterPrefix_ = false;
    int64_t position_ = 0;
};

// Collects the few bytes after a start code that a tracker needs.
struct THeaderBytes {
    uint8_t Code = 0;
    size_t Wanted = 0;
    int64_t StartPosition = 0; // of the start code's first zero
    std::vector<uint8_t> Bytes;
    // Stream position of the next byte wanted: the first after the code byte.
    int64_t NextPosition() const { return StartPosition + 4 + int64_t(Bytes.size()); }
};

class TMpegVideoTracker final : public IPictureTracker {
public:
    explicit TMpegVideoTracker(TKeyFrameIndex& index) : index_(index) {}

    void StartPes(const TPesStart& pes) override {
        previousUnit_ = currentUnit_;
        currentUnit_ = {pes.UnitOffset, finder_.Position(), pes.ClockNs};
        if (pes.PtsNs) {
            pendingPts_ = *pes.PtsNs;
            pendingPtsFrom_ = finder_.Position();
        }
    }

    void Feed(const uint8_t* data, size_t count, int64_t) override {
        const int64_t base = finder_.Position();
        finder_.Feed(data, count, [&](uint8_t code, int64_t at) {
            // A header still being read takes the bytes up to this code byte first.
            CollectHeader(data, base, at + 4);
            OnStartCode(code, at);
        });
        CollectHeader(data, base, base + int64_t(count));
    }

    void Finish() override {}

private:
    struct TUnit {
        int64_t Offset = 0;
        int64_t EsStart = 0;
        std::optional<int64_t> ClockNs;
    };
    struct TPendingKey {
        int TemporalReference = 0;
        TUnit Unit;
    };

    // Hands the wanted header bytes among data's stream positions [base, end) over.
    void CollectHeader(const uint8_t* data, int64_t base, int64_t end) {
        while (header_.Wanted > 0 && header_.NextPosition() < end) {
            const int64_t next = header_.NextPosition();
            if (next < base)
                return; // cannot happen: earlier pieces were read to their end
            header_.Bytes.push_back(data[next - base]);
            if (header_.Bytes.size() == header_.Wanted) {
                header_.Wanted = 0;
                OnHeader();
            }
        }
    }

    const TUnit& UnitAt(int64_t esPosition) const {
        return esPosition >= currentUnit_.EsStart ? currentUnit_ : previousUnit_;
    }

    void OnStartCode(uint8_t code, int64_t at) {
        if (code == 0x00 || code == 0xB3) {
            header_ = {code, code == 0x00 ? size_t{2} : size_t{4}, at, {}};
        } else if (code == 0xB8) {
            StartGop();
            if (!keyStart_)
                keyStart_ = UnitAt(at);
        }
        if (code == 0xB3) {
            StartGop();
            keyStart_ = UnitAt(at);
        }
    }

    void StartGop() {
        gopBase_.reset();
        unresolved_.clear();
        pendingKey_.reset();
    }

    void OnHeader() {
        const std::vector<uint8_t>& b = header_.Bytes;
        if (header_.Code == 0xB3) {
            static constexpr int64_t kRates[][2] = {{0, 1},  {24000, 1001}, {24, 1},
                                                    {25, 1}, {30000, 1001}, {30, 1},
                                                    {50, 1}, {60000, 1001}, {60, 1}};
            const int code = b[3] & 0x0f;
            if (code >= 1 && code <= 8)
                index_.FrameDurationNs = 1000000000LL * kRates[code][1] / kRates[code][0];
            return;
        }
        const int temporalReference = (b[0] << 2) | (b[1] >> 6);
        const int type = (b[1] >> 3) & 7;
        ++index_.FrameCount;
        const int64_t duration = index_.FrameDurationNs;
        if (pendingPts_ && header_.StartPosition >= pendingPtsFrom_) {
            const int64_t pts = *pendingPts_;
            pendingPts_.reset();
            if (!gopBase_ && duration > 0) {
                gopBase_ = pts - temporalReference * duration;
                for (int reference : unresolved_)
                    NotePicture(index_, *gopBase_ + reference * duration);
                unresolved_.clear();
                if (pendingKey_)
                    AddKey(*pendingKey_);
                pendingKey_.reset();
            } else if (duration <= 0) {
                NotePicture(index_, pts);
            }
        }
        if (gopBase_)
            NotePicture(index_, *gopBase_ + temporalReference * duration);
        else
            unresolved_.push_back(temporalReference);
        if (type == 1 && keyStart_) {
            const TPendingKey key{temporalReference, *keyStart_};
            if (gopBase_)
                AddKey(key);
            else
                pendingKey_ = key;
        }
        keyStart_.reset();
    }

    void AddKey(const TPendingKey& key) {
        TKeyFrame frame;
        frame.TimeNs = *gopBase_ + key.TemporalReference * index_.FrameDurationNs;
        frame.ByteOffset = key.Unit.Offset;
        frame.ClockLeadNs =
            key.Unit.ClockNs ? std::max<int64_t>(0, frame.TimeNs - *key.Unit.ClockNs) : 0;
        index_.KeyFrames.push_back(frame);
    }

    TKeyFrameIndex& index_;
    TStartCodeFinder finder_;
    THeaderBytes header_;
    TUnit currentUnit_, previousUnit_;
    std::optional<int64_t> pendingPts_;
    int64_t pendingPtsFrom_ = 0;
    std::optional<TUnit> keyStart_;
    std::optional<int64_t> gopBase_;
    std::vector<int> unresolved_;
    std::optional<TPendingKey> pendingKey_;
};

class TH264Tracker final : public IPictureTracker {
public:
    explicit TH264Tracker(TKeyFrameIndex& index) : index_(index) {}

    void StartPes(const TPesStart& pes) override {
        pts_ = pes.PtsNs;
        unit_ = pes.UnitOffset;
        keyInPes_ = false;
        if (pts_) {
            ++index_.FrameCount;
            NotePicture(index_, *pts_);
        }
    }

    void Feed(const uint8_t* data, size_t count, int64_t) override {
        finder_.Feed(data, count, [&](uint8_t code, int64_t) {
            if ((code & 0x1f) == 5 && !keyInPes_ && pts_) {
                keyInPes_ = true;
                index_.KeyFrames.push_back({*pts_, unit_, 0});
            }
        });
    }

    void Finish() override {}

private:
    TKeyFrameIndex& index_;
    TStartCodeFinder finder_;
    std::optional<int64_t> pts_;
    int64_t unit_ = 0;
    bool keyInPes_ = false;
};

} // namespace

bool TByteWindow::Ensure(int64_t offset, size_t count) {
    if (offset < 0)
        return false;
    if (offset >= start_ &&
        offset + static_cast<int64_t>(count) <= start_ + int64_t(buffer_.size()))
        return true;
    const size_t want = std::max(count, kBlockSize);
    buffer_.resize(want);
    size_t got = 0;
    while (got < want) {
        const size_t read = source_.ReadAt(offset + int64_t(got), buffer_.data() + got, want - got);
        if (read == 0)
            break;
        got += read;
    }
    buffer_.resize(got);
    start_ = offset;
    return got >= count;
}

int64_t TTimeStampLine::ToNs(uint64_t ticks90k) {
    constexpr int64_t kWrap = int64_t{1} << 33;
    int64_t ticks = static_cast<int64_t>(ticks90k & (kWrap - 1)) + wraps_ * kWrap;
    if (last_ >= 0 && ticks < last_ - kWrap / 2) {
        ++wraps_;
        ticks += kWrap;
    } else if (last_ >= 0 && ticks > last_ + kWrap / 2 && wraps_ > 0) {
        ticks -= kWrap; // a late stamp from before the wrap
    }
    last_ = std::max(last_, ticks);
    return TicksToNs(ticks);
}

std::unique_ptr<IPictureTracker> MakeMpegVideoTracker(TKeyFrameIndex& index) {
    return std::make_unique<TMpegVideoTracker>(index);
}

std::unique_ptr<IPictureTracker> MakeH264Tracker(TKeyFrameIndex& index) {
    return std::make_unique<TH264Tracker>(index);
}

} // namespace kanvio::streamscan
