// TMMEngine: the four picture properties.

#include "foundation/Logging.h"
#include "video/MultimediaEngine.h"
#include "video/PlaybackPipeline.h"

#include <cstdio>

namespace kanvio {

namespace {

const char* const kCurrentText[4] = {
    "MMEngine->CURRENT BRIGHTNESS: ", "MMEngine->CURRENT CONTRAST: ", "MMEngine->CURRENT HUE: ",
    "MMEngine->CURRENT SATURATION: "};
const char* const kSetText[4] = {"MMEngine->SET BRIGHTNESS: ", "MMEngine->SET CONTRAST: ",
                                 "MMEngine->SET HUE: ", "MMEngine->SET SATURATION: "};

std::string Fixed2(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    return text;
}

} // namespace

TPictureBackend& TMMEngine::Picture() {
    return *picture_;
}

bool TMMEngine::CanChangePicProp(int flag, float& min, float& max, float& step, float& def) {
    min = max = step = def = 0;
    const int index = PictureIndexOfFlag(flag);
    std::optional<TPlatformRange> range;
    if (index >= 0)
        range = Picture().Range(index);
    const std::string p = std::to_string(flag);
    if (rendererMode_ == rmVMR) {
        LogLine("MMEngine->[VMR] GetProcAmpControlRange: " + HexStatus(range ? S_OK : E_FAIL),
                LOG_DEBUG);
        TPlatformRange r{};
        if (range)
            r = *range;
        bool available = range && r.Min <= r.Max;
        if (available) {
            LogLine("MMEngine->[VMR] CanChangePicProp(" + p + ") TRUE", LOG_DEBUG);
            min = r.Min, max = r.Max, step = r.Step, def = r.Default;
        }
        LogLine("MMEngine->[VMR] CanChangePicProp(" + p + ", min=" + Fixed2(r.Min) + ", max=" +
                    Fixed2(r.Max) + ", step=" + Fixed2(r.Step) + ", def=" + Fixed2(r.Default) + ")",
                LOG_DEBUG);
        if (!range)
            LogLine("MMEngine->[VMR] CanChangePicProp(" + p + ") FALSE", LOG_DEBUG);
        return available;
    }
    if (!range) {
        LogLine("MMEngine->[Normal] CanChangePicProp(" + p + ") FALSE", LOG_DEBUG);
        return false;
    }
    min = range->Min, max = range->Max, step = range->Step, def = range->Default;
    LogLine("MMEngine->[Normal] CanChangePicProp(" + p + ", min=" + Fixed2(min) +
                ", max=" + Fixed2(max) + ", step=" + Fixed2(step) + ", def=" + Fixed2(def) + ")",
            LOG_DEBUG);
    return true;
}

bool TMMEngine::PropertyRange(int index, TScaledRange& range) {
    float min, max, step, def;
    if (!CanChangePicProp(1 << index, min, max, step, def))
        return false;
    range = ScaleControlRange(min, max, step, def);
    controlScale_[index] = range.Scale;
    return true;
}

void TMMEngine::InitPictureControls() {
    if (pictureControls_[0].Setter && pictureControls_[1].Setter && pictureControls_[2].Setter &&
        pictureControls_[3].Setter)
        return;
    for (int index = 0; index < 4; ++index) {
        TPictureControl& control = pictureControls_[index];
        control = TPictureControl{};
        control.Setter = [this, index](int32_t value) {
            SetProperty(index, value);
        };
        TScaledRange range;
        control.Available = PropertyRange(index, range);
        if (control.Available) {
            control.Min = range.Min;
            control.Max = range.Max;
            control.Default = range.Default;
            control.Step = range.Step;
        }
        control.Getter = [this, index] {
            return GetProperty(index);
        };
    }
}

bool TMMEngine::CanChangePictureProps() {
    TScaledRange range;
    for (int index = 0; index < 4; ++index)
        if (PropertyRange(index, range))
            return true;
    return false;
}

int32_t TMMEngine::GetProperty(int index) {
    const int32_t scale = controlScale_[index];
    int32_t result = kPictureValueUnavailable;
    if (const std::optional<float> value = Picture().Get(index))
        result = static_cast<int32_t>(static_cast<float>(scale) * *value);
    LogLine(kCurrentText[index] + std::to_string(result) + ", " + std::to_string(scale), LOG_DEBUG);
    return result;
}

void TMMEngine::SetProperty(int index, int32_t value) {
    LogLine(kSetText[index] + std::to_string(value), LOG_DEBUG);
    const int32_t scale = controlScale_[index];
    if (scale == 0)
        return; // never available: there is nothing to write
    const float platformValue = static_cast<float>(value) / static_cast<float>(scale);
    if (Picture().Set(index, platformValue)) {
        pictureValues_[index] = platformValue;
        RedrawStillFrame();
    }
}

// Both the balance element and the sinks' colour controls change the frames that pass
// them, not the one already shown. Standing still (the usual case: a user judging a
// damage), the frame is decoded once more, so the change shows while the slider moves.
void TMMEngine::RedrawStillFrame() {
    if (!pipeline_ || pipeline_->CurrentState() != GST_STATE_PAUSED)
        return;
    const int64_t position = ShownPositionNs();
    if (position >= 0)
        SeekPipeline(position, false);
}

void TMMEngine::ApplyPictureValues() {
    for (int index = 0; index < 4; ++index)
        if (pictureValues_[index])
            Picture().Set(index, *pictureValues_[index]);
}

} // namespace kanvio
