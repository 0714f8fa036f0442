#pragma once

// TDefectClassForm: chooses the colour of each defect class 0..5. It starts from the
// player's current colours and changes nothing itself: the opener takes the choice on OK.

#include <QDialog>
#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QPushButton;

namespace kanvio {

class IColorPicker;
class TColorBox;
class TKanvioContext;

class TDefectClassForm final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClassCount = 6;
    // The graphic's colour of rows without a class.
    static constexpr uint32_t kNoClassColor = 16711680;

    TDefectClassForm(const TKanvioContext& context, IColorPicker& picker,
                     QWidget* parent = nullptr);

    uint32_t SelectedColor(int defectClass) const;
    TColorBox* ColorBox(int defectClass) const { return boxes_[size_t(defectClass)]; }

    void btSaveClick() { accept(); }
    void btCancelClick() { reject(); }
    void btClearClick();
    void btDefaultClick();

    QPushButton* btSave() const { return btSave_; }
    QPushButton* btCancel() const { return btCancel_; }
    QPushButton* btClear() const { return btClear_; }
    QPushButton* btDefault() const { return btDefault_; }

private:
    void ApplyTexts();

    const TKanvioContext& context_;
    QGroupBox* gbDefectClass_;
    std::array<QLabel*, kClassCount> labels_{};
    std::array<TColorBox*, kClassCount> boxes_{};
    QPushButton* btClear_;
    QPushButton* btDefault_;
    QPushButton* btSave_;
    QPushButton* btCancel_;
};

} // namespace kanvio
