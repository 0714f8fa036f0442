#pragma once

// A colour box: the sixteen standard colours with their names and a custom-colour entry
// that asks the colour picker.

#include <QComboBox>
#include <cstdint>

namespace kanvio {

class IColorPicker;

class TColorBox final : public QComboBox {
    Q_OBJECT
public:
    TColorBox(IColorPicker& picker, QWidget* parent = nullptr);

    // Windows colour value of the selection.
    uint32_t Selected() const { return selected_; }
    // Selects the standard colour of that value, else shows it as the custom colour.
    void Select(uint32_t color);
    // The custom-colour entry: asks the picker; a cancelled choice keeps the selection.
    void ChooseCustom();

    static constexpr int kStandardColorCount = 16;

private:
    void ItemActivated(int index);
    void ShowCustom(uint32_t color);

    IColorPicker& picker_;
    uint32_t selected_ = 0;
    int customIndex_ = -1;
};

} // namespace kanvio
