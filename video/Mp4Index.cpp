// The key-frame index of an MP4 film from its own sample tables: the sync samples (stss),
// their decoding times (stts) and composition offsets (ctts), and where their bytes lie
// (stsc, stsz, stco or co64).

#include "foundation/Errors.h"
#include "video/KeyFrameIndex.h"

#include <algorithm>
#include <cstring>

namespace kanvio {

namespace {

// One box's body in memory, read big-endian with bounds checks: a short or damaged table
// throws, it never reads beyond what the file holds.
class TBoxReader {
public:
    TBoxReader(const std::string& film, const uint8_t* data, size_t size)
        : film_(film), data_(data), size_(size) {}
    size_t Size() const { return size_; }
    uint32_t U32(size_t at) const {
        Need(at, 4);
        const uint8_t* p = data_ + at;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    uint64_t U64(size_t at) const { return uint64_t(U32(at)) << 32 | U32(at + 4); }
    bool Type(size_t at, const char* type) const {
        Need(at, 4);
        return std::memcmp(data_ + at, type, 4) == 0;
    }
    // The child box of the given type inside [from, to), or none.
    std::optional<TBoxReader> Child(size_t from, size_t to, const char* type) const {
        size_t at = from;
        while (at + 8 <= to) {
            uint64_t length = U32(at);
            size_t header = 8;
            if (length == 1) {
                length = U64(at + 8);
                header = 16;
            } else if (length == 0) {
                length = to - at;
            }
            if (length < header || at + length > to)
                throw EKanvioError(film_ + ": a damaged MP4 box at byte " + std::to_string(at));
            if (Type(at + 4, type))
                return TBoxReader(film_, data_ + at + header, size_t(length) - header);
            at += size_t(length);
        }
        return std::nullopt;
    }
    std::optional<TBoxReader> Child(const char* type) const { return Child(0, size_, type); }

private:
    void Need(size_t at, size_t count) const {
        if (at + count > size_ || at + count < at)
            throw EKanvioError(film_ + ": an MP4 table ends early");
    }
    const std::string& film_;
    const uint8_t* data_;
    size_t size_;
};

// The moov box, wherever it lies in the file.
std::vector<uint8_t> ReadMovieBox(IByteSource& source) {
    int64_t at = 0;
    const int64_t size = source.Size();
    while (at + 8 <= size) {
        uint8_t head[16] = {};
        if (source.ReadAt(at, head, 16) < 8)
            break;
        uint64_t length =
            uint64_t(head[0]) << 24 | uint64_t(head[1]) << 16 | uint64_t(head[2]) << 8 | head[3];
        if (length == 1)
            for (int i = 8; i < 16; ++i)
                length = i == 8 ? head[i] : (length << 8) | head[i];
        else if (length == 0)
            length = uint64_t(size - at);
        if (length < 8 || at + int64_t(length) > size)
            break;
        if (std::memcmp(head + 4, "moov", 4) == 0) {
            if (length > (uint64_t{1} << 30))
                break;
            std::vector<uint8_t> box(length);
            size_t got = 0;
            while (got < box.size()) {
                const size_t read =
                    source.ReadAt(at + int64_t(got), box.data() + got, box.size() - got);
                if (read == 0)
                    break;
                got += read;
            }
            if (got == box.size())
                return box;
            break;
        }
        at += int64_t(length);
    }
    throw EKanvioError(source.Name() + ": the MP4 file has no readable index (moov box)");
}

struct TTrackTables {
    uint32_t TimeScale = 0;
    std::vector<int64_t> Decode;  // per sample
    std::vector<int64_t> Compose; // per sample, the composition offset
    std::vector<uint32_t> Sync;   // 1-based sample numbers; empty: every sample
    std::vector<int64_t> Offset;  // per sample byte offset
};

TTrackTables ReadTables(const std::string& film, const TBoxReader& trak) {
    const auto need = [&](std::optional<TBoxReader> box, const char* what) {
        if (!box)
            throw EKanvioError(film + ": the MP4 video track has no " + what + " table");
        return *box;
    };
    TTrackTables t;
    const TBoxReader mdia = need(trak.Child("mdia"), "mdia");
    const TBoxReader mdhd = need(mdia.Child("mdhd"), "mdhd");
    t.TimeScale = mdhd.U32(0) >> 24 == 1 ? mdhd.U32(20) : mdhd.U32(12);
    if (t.TimeScale == 0)
        throw EKanvioError(film + ": the MP4 video track has no time scale");
    const TBoxReader stbl = need(need(mdia.Child("minf"), "minf").Child("stbl"), "stbl");
    const TBoxReader stts = need(stbl.Child("stts"), "stts");
    int64_t time = 0;
    for (uint32_t i = 0, n = stts.U32(4); i < n; ++i) {
        const uint32_t count = stts.U32(8 + 8 * i);
        const uint32_t delta = stts.U32(12 + 8 * i);
        if (t.Decode.size() + count > (size_t{1} << 26))
            throw EKanvioError(film + ": an MP4 time table beyond any film's length");
        for (uint32_t k = 0; k < count; ++k, time += delta)
            t.Decode.push_back(time);
    }
    t.Compose.assign(t.Decode.size(), 0);
    if (const auto ctts = stbl.Child("ctts")) {
        const bool signedOffsets = ctts->U32(0) >> 24 == 1;
        size_t sample = 0;
        for (uint32_t i = 0, n = ctts->U32(4); i < n; ++i) {
            const uint32_t count = ctts->U32(8 + 8 * i);
            const uint32_t raw = ctts->U32(12 + 8 * i);
            const int64_t offset = signedOffsets ? int64_t(int32_t(raw)) : int64_t(raw);
            for (uint32_t k = 0; k < count && sample < t.Compose.size(); ++k)
                t.Compose[sample++] = offset;
        }
    }
    if (const auto stss = stbl.Child("stss"))
        for (uint32_t i = 0, n = stss->U32(4); i < n; ++i)
            t.Sync.push_back(stss->U32(8 + 4 * i));
    // Sample byte offsets: chunks from stco/co64, samples per chunk from stsc, sizes from stsz.
    std::vector<int64_t> chunks;
    if (const auto stco = stbl.Child("stco")) {
        for (uint32_t i = 0, n = stco->U32(4); i < n; ++i)
            chunks.push_back(stco->U32(8 + 4 * i));
    } else if (const auto co64 = stbl.Child("co64")) {
        for (uint32_t i = 0, n = co64->U32(4); i < n; ++i)
            chunks.push_back(int64_t(co64->U64(8 + 8 * i)));
    }
    const auto stsz = stbl.Child("stsz");
    const auto stsc = stbl.Child("stsc");
    if (!stsz || !stsc || chunks.empty())
        return t;
    const uint32_t fixedSize = stsz->U32(4);
    const uint32_t sizes = stsz->U32(8);
    const uint32_t entries = stsc->U32(4);
    size_t sample = 0;
    for (uint32_t e = 0; e < entries; ++e) {
        const uint32_t first = stsc->U32(8 + 12 * e);
        const uint32_t perChunk = stsc->U32(12 + 12 * e);
        const uint32_t last =
            e + 1 < entries ? stsc->U32(8 + 12 * (e + 1)) : uint32_t(chunks.size()) + 1;
        for (uint32_t chunk = first; chunk < last && chunk >= 1 && chunk <= chunks.size();
             ++chunk) {
            int64_t offset = chunks[chunk - 1];
            for (uint32_t k = 0; k < perChunk && sample < t.Decode.size(); ++k, ++sample) {
                t.Offset.push_back(offset);
                offset += fixedSize ? fixedSize : (sample < sizes ? stsz->U32(12 + 4 * sample) : 0);
            }
        }
    }
    return t;
}

bool IsVideoTrack(const TBoxReader& trak) {
    const auto mdia = trak.Child("mdia");
    const auto hdlr = mdia ? mdia->Child("hdlr") : std::nullopt;
    return hdlr && hdlr->Size() >= 12 && hdlr->Type(8, "vide");
}

} // namespace

TKeyFrameIndex ReadMp4Index(IByteSource& source) {
    const std::vector<uint8_t> moov = ReadMovieBox(source);
    const TBoxReader movie(source.Name(), moov.data() + 8, moov.size() - 8);
    std::optional<TBoxReader> video;
    for (size_t at = 0; at + 8 <= movie.Size();) {
        const uint32_t length = movie.U32(at);
        if (length < 8 || at + length > movie.Size())
            break;
        if (movie.Type(at + 4, "trak")) {
            TBoxReader trak(source.Name(), moov.data() + 8 + at + 8, length - 8);
            if (IsVideoTrack(trak)) {
                video.emplace(trak);
                break;
            }
        }
        at += length;
    }
    if (!video)
        throw EKanvioError(source.Name() + ": the MP4 file has no video track");
    const TTrackTables t = ReadTables(source.Name(), *video);
    TKeyFrameIndex index;
    index.Container = TContainer::Mp4;
    const auto toNs = [&](int64_t ticks) {
        return static_cast<int64_t>(static_cast<__int128>(ticks) * 1000000000 / t.TimeScale);
    };
    index.FrameCount = static_cast<int64_t>(t.Decode.size());
    for (size_t i = 0; i < t.Decode.size(); ++i) {
        const int64_t time = toNs(t.Decode[i] + t.Compose[i]);
        if (index.FirstFrameNs < 0 || time < index.FirstFrameNs)
            index.FirstFrameNs = time;
        index.LastFrameNs = std::max(index.LastFrameNs, time);
    }
    if (t.Decode.size() >= 2)
        index.FrameDurationNs = toNs(t.Decode[1] - t.Decode[0]);
    const auto addKey = [&](size_t sample) {
        if (sample < t.Decode.size())
            index.KeyFrames.push_back(
                {toNs(t.Decode[sample] + t.Compose[sample]),
                 sample < t.Offset.size() ? t.Offset[sample] : 0,
                 std::max<int64_t>(0, toNs(t.Decode[sample] + t.Compose[sample]) -
                                          toNs(t.Decode[sample]))});
    };
    if (t.Sync.empty())
        for (size_t i = 0; i < t.Decode.size(); ++i)
            addKey(i);
    for (uint32_t number : t.Sync)
        if (number >= 1)
            addKey(number - 1);
    return index;
}

} // namespace kanvio
