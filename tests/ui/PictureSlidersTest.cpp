// The picture panel's sliders as the user sees them: on the panel's black face the whole
// groove must show, or a slider in the middle looks as if it sat at its right end.

#include "video/ColorControlForm.h"

#include <QApplication>
#include <QImage>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

bool IsDark(QRgb pixel) {
    return qRed(pixel) < 24 && qGreen(pixel) < 24 && qBlue(pixel) < 24;
}

TEST(PictureSlidersTest, GrooveShowsOnBothSidesOfTheHandle) {
    TColorControlForm panel;
    int32_t values[4] = {0, 101, 0, 101};
    const int32_t ranges[4][2] = {{-100, 100}, {0, 202}, {-180, 180}, {0, 202}};
    for (int i = 0; i < 4; ++i) {
        TPictureControl& control = panel.Controls[size_t(i)];
        control.Available = true;
        control.Min = ranges[i][0];
        control.Max = ranges[i][1];
        control.Default = values[i];
        control.Getter = [&values, i] {
            return values[i];
        };
        control.Setter = [&values, i](int32_t value) {
            values[i] = value;
        };
    }
    panel.show();
    for (QSlider* track :
         {panel.tbBrightness(), panel.tbContrast(), panel.tbHue(), panel.tbSaturation()}) {
        const std::string name = track->objectName().toStdString();
        // At its default, in the middle of its range.
        ASSERT_EQ(track->value(), (track->minimum() + track->maximum()) / 2) << name;
        QStyleOptionSlider option;
        option.initFrom(track);
        option.orientation = track->orientation();
        option.minimum = track->minimum();
        option.maximum = track->maximum();
        option.sliderPosition = track->value();
        option.sliderValue = track->value();
        option.tickPosition = track->tickPosition();
        option.tickInterval = track->tickInterval();
        const QRect handle = track->style()->subControlRect(QStyle::CC_Slider, &option,
                                                            QStyle::SC_SliderHandle, track);
        const QImage shown = track->grab().toImage();
        // Right of the handle, along the middle of the groove, the columns must show
        // something.
        const QRect groove = track->style()->subControlRect(QStyle::CC_Slider, &option,
                                                            QStyle::SC_SliderGroove, track);
        const auto columnShows = [&shown, &groove](int x) {
            for (int y = groove.center().y() - 1; y <= groove.center().y() + 1; ++y) {
                if (!IsDark(shown.pixel(x, y))) {
                    return true;
                }
            }
            return false;
        };
        int visible = 0;
        for (int x = handle.right() + 4; x < shown.width() - 4; ++x) {
            visible += columnShows(x) ? 1 : 0;
        }
        const int row = handle.center().y();
        EXPECT_GT(visible, (shown.width() - handle.right()) / 2) << name;
        // The handle itself stands out from the black face.
        int handleVisible = 0;
        for (int x = handle.left() + 2; x < handle.right() - 1; ++x) {
            handleVisible += IsDark(shown.pixel(x, row)) ? 0 : 1;
        }
        EXPECT_GT(handleVisible, 0) << name;
    }
}

} // namespace
} // namespace kanvio
