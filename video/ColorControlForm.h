#pragma once

// TColorControlForm: the small floating panel over the video with four sliders for
// brightness, contrast, hue and saturation. Every move changes the playing film at once;
// nothing is stored. The panel hides as soon as the user clicks elsewhere.

#include "video/PictureControlPanel.h"
#include "video/VideoTypes.h"

#include <QPointer>
#include <QWidget>
#include <array>

class QLabel;
class QPushButton;
class QSlider;

namespace kanvio {

class TMMEngine;

class TColorControlForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 166;
    static constexpr int kClientHeight = 219;

    explicit TColorControlForm(QWidget* parent = nullptr);

    // Given by the opener before showing. The anchor defaults to the whole screen.
    TPanelAnchor Anchor;
    TPictureControls Controls;

    void FormShow();
    void FormDeactivate();
    // Each slider's position from its property's current value.
    void GetValues();
    void btResetClick();

    QSlider* tbBrightness() const { return tracks_[0]; }
    QSlider* tbContrast() const { return tracks_[1]; }
    QSlider* tbHue() const { return tracks_[2]; }
    QSlider* tbSaturation() const { return tracks_[3]; }
    QSlider* Track(int index) const { return tracks_[size_t(index)]; }
    QLabel* Label(int index) const { return labels_[size_t(index)]; }
    QPushButton* btReset() const { return btReset_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyTexts();
    void TrackChange(int index);
    void AttachHandlers(bool attached);

    std::array<QLabel*, 4> labels_{};
    std::array<QSlider*, 4> tracks_{};
    QPushButton* btReset_ = nullptr;
    bool handlersAttached_ = false;
};

// Opens a new picture panel for engine over videoArea, owned by owner; the panel of an
// earlier opening (kept in current) goes, so each opening shows the values of that moment.
void OpenColorControl(QWidget& owner, const QWidget& videoArea, TMMEngine& engine,
                      QPointer<TColorControlForm>& current);

} // namespace kanvio
