#pragma once

// The colour dialog as the windows see it, so that tests can answer it without a modal
// window.

#include <cstdint>
#include <optional>

class QWidget;

namespace kanvio {

class IColorPicker {
public:
    virtual ~IColorPicker() = default;
    // Windows colour values (red in the low byte); nothing when the user cancels.
    virtual std::optional<uint32_t> PickColor(uint32_t initial, QWidget* parent) = 0;
};

class TQtColorPicker final : public IColorPicker {
public:
    std::optional<uint32_t> PickColor(uint32_t initial, QWidget* parent) override;
};

} // namespace kanvio
