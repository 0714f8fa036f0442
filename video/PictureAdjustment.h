#pragma once

// Brightness, contrast, hue and saturation on the platform side. Renderer mode 0 uses a
// videobalance element, mode 1 the colour balance channels of the native video sink.
// Ranges are in platform units (floating point); the engine scales them to integers.

#include <array>
#include <cstdint>
#include <gst/gst.h>
#include <gst/video/colorbalance.h>
#include <optional>

namespace kanvio {

// Property flags, also the index order: 1 brightness, 2 contrast, 4 hue, 8 saturation.
int PictureIndexOfFlag(int flag); // -1 for anything else

struct TPlatformRange {
    float Min = 0;
    float Max = 0;
    float Step = 0;
    float Default = 0;
};

struct TScaledRange {
    int32_t Scale = 1;
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Step = 0;
    int32_t Default = 0;
};

// The smallest integer scale with scale x step >= 1, formed in single precision as the
// values are stored (0.01 gives 101). A step of zero or below keeps scale 1: there is no
// factor that would make it a whole step.
TScaledRange ScaleControlRange(float min, float max, float step, float defaultValue);

// Ranges of the renderer mode 1 colour controls, in their fixed integer units.
TPlatformRange FixedOverlayRange(int index);

class TPictureBackend {
public:
    virtual ~TPictureBackend() = default;
    virtual std::optional<TPlatformRange> Range(int index) const = 0;
    virtual std::optional<float> Get(int index) const = 0;
    virtual bool Set(int index, float value) = 0;
};

// videobalance: brightness -100..100 (step 1), contrast 0..2 (step 0.01), hue -180..180
// (step 1), saturation 0..2 (step 0.01). Without an element nothing is available.
class TBalanceElementBackend final : public TPictureBackend {
public:
    explicit TBalanceElementBackend(GstElement* balance) : balance_(balance) {}
    std::optional<TPlatformRange> Range(int index) const override;
    std::optional<float> Get(int index) const override;
    bool Set(int index, float value) override;
    static TPlatformRange RangeOf(int index);

private:
    GstElement* balance_;
};

// A native sink's GstColorBalance channels behind the fixed overlay ranges: the range's
// default maps to the channel's middle, its ends to the channel's ends.
class TColorBalanceBackend final : public TPictureBackend {
public:
    explicit TColorBalanceBackend(GstElement* sink) : sink_(sink) {}
    std::optional<TPlatformRange> Range(int index) const override;
    std::optional<float> Get(int index) const override;
    bool Set(int index, float value) override;

private:
    GstColorBalanceChannel* Channel(int index) const;
    GstElement* sink_;
};

// The linear pieces of TColorBalanceBackend, for values v in the fixed range r and a
// channel from low to high.
int ChannelValueOf(float v, const TPlatformRange& r, int low, int high);
float FixedValueOf(int channelValue, const TPlatformRange& r, int low, int high);

} // namespace kanvio
