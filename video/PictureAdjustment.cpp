#include "video/PictureAdjustment.h"

#include <cctype>
#include <cmath>
#include <string>

namespace kanvio {

namespace {

const char* const kBalanceProperty[4] = {"brightness", "contrast", "hue", "saturation"};
const char* const kChannelWord[4] = {"BRIGHTNESS", "CONTRAST", "HUE", "SATURATION"};

// videobalance's own units: brightness and hue -1..1, contrast and saturation 0..2.
double ToElementUnits(int index, float value) {
    switch (index) {
    case 0:
        return value / 100.0;
    case 2:
        return value / 180.0;
    default:
        return value;
    }
}

float FromElementUnits(int index, double value) {
    switch (index) {
    case 0:
        return static_cast<float>(value * 100.0);
    case 2:
        return static_cast<float>(value * 180.0);
    default:
        return static_cast<float>(value);
    }
}

std::string UpperCase(const char* text) {
    std::string out(text ? text : "");
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

int PictureIndexOfFlag(int flag) {
    switch (flag) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return -1;
    }
}

TScaledRange ScaleControlRange(float min, float max, float step, float defaultValue) {
    TScaledRange out;
    int32_t scale = 1;
    // The products use the stored single-precision values exactly (in double), so 0.01,
    // stored just below it, needs 101.
    if (step > 0) {
        while (static_cast<double>(scale) * static_cast<double>(step) < 1.0)
            ++scale;
    }
    out.Scale = scale;
    const auto scaled = [scale](float value) {
        return static_cast<int32_t>(std::trunc(static_cast<double>(scale) * value));
    };
    out.Min = scaled(min);
    out.Max = scaled(max);
    out.Step = scaled(step);
    out.Default = scaled(defaultValue);
    return out;
}

TPlatformRange FixedOverlayRange(int index) {
    static const TPlatformRange ranges[4] = {
        {0, 10000, 50, 750}, {0, 20000, 100, 10000}, {-180, 180, 1, 0}, {0, 20000, 100, 10000}};
    return ranges[index];
}

TPlatformRange TBalanceElementBackend::RangeOf(int index) {
    static const TPlatformRange ranges[4] = {
        {-100, 100, 1, 0}, {0, 2, 0.01f, 1}, {-180, 180, 1, 0}, {0, 2, 0.01f, 1}};
    return ranges[index];
}

std::optional<TPlatformRange> TBalanceElementBackend::Range(int index) const {
    if (!balance_ || index < 0 || index > 3)
        return std::nullopt;
    return RangeOf(index);
}

std::optional<float> TBalanceElementBackend::Get(int index) const {
    if (!balance_ || index < 0 || index > 3)
        return std::nullopt;
    gdouble value = 0;
    g_object_get(balance_, kBalanceProperty[index], &value, nullptr);
    return FromElementUnits(index, value);
}

bool TBalanceElementBackend::Set(int index, float value) {
    if (!balance_ || index < 0 || index > 3)
        return false;
    const TPlatformRange range = RangeOf(index);
    const float clamped = std::fmin(std::fmax(value, range.Min), range.Max);
    g_object_set(balance_, kBalanceProperty[index], ToElementUnits(index, clamped), nullptr);
    return true;
}

int ChannelValueOf(float v, const TPlatformRange& r, int low, int high) {
    const double middle = (low + high) / 2.0;
    v = std::fmin(std::fmax(v, r.Min), r.Max);
    double result;
    if (v <= r.Default)
        result =
            r.Default == r.Min ? middle : low + (v - r.Min) / (r.Default - r.Min) * (middle - low);
    else
        result = middle + (v - r.Default) / (r.Max - r.Default) * (high - middle);
    return static_cast<int>(std::lround(result));
}

float FixedValueOf(int channelValue, const TPlatformRange& r, int low, int high) {
    const double middle = (low + high) / 2.0;
    if (high <= low)
        return r.Default;
    double result;
    if (channelValue <= middle)
        result = middle == low
                     ? r.Default
                     : r.Min + (channelValue - low) / (middle - low) * (r.Default - r.Min);
    else
        result = r.Default + (channelValue - middle) / (high - middle) * (r.Max - r.Default);
    return static_cast<float>(std::round(result));
}

GstColorBalanceChannel* TColorBalanceBackend::Channel(int index) const {
    if (!sink_ || index < 0 || index > 3 || !GST_IS_COLOR_BALANCE(sink_))
        return nullptr;
    const GList* channels = gst_color_balance_list_channels(GST_COLOR_BALANCE(sink_));
    for (const GList* item = channels; item; item = item->next) {
        auto* channel = GST_COLOR_BALANCE_CHANNEL(item->data);
        if (UpperCase(channel->label).find(kChannelWord[index]) != std::string::npos)
            return channel;
    }
    return nullptr;
}

std::optional<TPlatformRange> TColorBalanceBackend::Range(int index) const {
    if (!Channel(index))
        return std::nullopt;
    return FixedOverlayRange(index);
}

std::optional<float> TColorBalanceBackend::Get(int index) const {
    GstColorBalanceChannel* channel = Channel(index);
    if (!channel)
        return std::nullopt;
    const int value = gst_color_balance_get_value(GST_COLOR_BALANCE(sink_), channel);
    return FixedValueOf(value, FixedOverlayRange(index), channel->min_value, channel->max_value);
}

bool TColorBalanceBackend::Set(int index, float value) {
    GstColorBalanceChannel* channel = Channel(index);
    if (!channel)
        return false;
    gst_color_balance_set_value(
        GST_COLOR_BALANCE(sink_), channel,
        ChannelValueOf(value, FixedOverlayRange(index), channel->min_value, channel->max_value));
    return true;
}

} // namespace kanvio
