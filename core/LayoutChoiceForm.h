#pragma once

// Asks once which window layout the user wants: three buttons with a sketch of each.

#include <QDialog>
#include <array>

class QLabel;
class QToolButton;

namespace kanvio {

class TLayoutChoiceForm final : public QDialog {
    Q_OBJECT
public:
    explicit TLayoutChoiceForm(QWidget* parent = nullptr);

    // 0 three windows, 1 single window with the structure graphic, 2 single window with
    // the observation list; stays 0 when the dialog is closed without a choice.
    int LayoutResult() const { return layoutResult_; }

    QLabel* lblChooseLayout() const { return lblChooseLayout_; }
    // The button of a layout (0..2).
    QToolButton* LayoutButton(int tag) const { return buttons_.at(size_t(tag)); }

private:
    void ApplyTexts();
    void ArrangeControls();
    void LayoutButtonClick(int tag);

    int layoutResult_ = 0;
    QLabel* lblChooseLayout_;
    std::array<QToolButton*, 3> buttons_{};
};

} // namespace kanvio
