// The picture panel over the real video window: sliders change the playing film's
// picture at once, reset brings the defaults back, and the panel never outlives the
// engine its sliders are bound to.

#include "video/ColorControlForm.h"

#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/SteeringForm.h"
#include "video/VideoDisplayWidget.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

constexpr uint16_t kKeyK = 75;

double MeanBrightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return sum / (double(image.width()) * image.height());
}

class ColorControlTest : public PlayerWindowsTest {
protected:
    // The frame at the film's start after the picture properties changed.
    double FreshFrameBrightness() {
        EXPECT_GE(screen().SeekTo(0), 0);
        QImage frame;
        EXPECT_GE(screen().GrabPicture(frame), 0);
        return MeanBrightness(frame);
    }
};

TEST_F(ColorControlTest, SlidersChangeTheFilmAtOnceAndResetRestoresTheDefaults) {
    StartPlayer();
    context->SeekDetail(-1);
    ASSERT_TRUE(steering().btColorSettings()->isEnabled());
    const double original = FreshFrameBrightness();

    steering().btColorSettings()->click();
    TColorControlForm* panel = screen().ColorControl();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->size(), QSize(166, 219));
    const QPoint origin = screen().VideoWindow()->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(panel->pos(), QPoint(origin.x() + screen().VideoWindow()->width() / 2 - 83,
                                   origin.y() + screen().VideoWindow()->height() / 2 - 109));
    const struct {
        QSlider* track;
        int min, max, page, line, value;
    } expected[] = {
        {panel->tbBrightness(), -100, 100, 20, 10, 0},
        {panel->tbContrast(), 0, 202, 20, 10, 101}, // 0..2 in steps of 0.01: scale 101
        {panel->tbHue(), -180, 180, 36, 18, 0},
        {panel->tbSaturation(), 0, 202, 20, 10, 101},
    };
    for (const auto& e : expected) {
        const std::string name = e.track->objectName().toStdString();
        EXPECT_TRUE(e.track->isEnabled()) << name;
        EXPECT_EQ(e.track->minimum(), e.min) << name;
        EXPECT_EQ(e.track->maximum(), e.max) << name;
        EXPECT_EQ(e.track->pageStep(), e.page) << name;
        EXPECT_EQ(e.track->singleStep(), e.line) << name;
        EXPECT_EQ(e.track->tickInterval(), e.page) << name;
        EXPECT_EQ(e.track->value(), e.value) << name;
    }
    EXPECT_EQ(panel->Label(0)->text().toStdString(), "_Brightness");
    EXPECT_EQ(panel->btReset()->text().toStdString(), "_ResetToDefault");

    panel->tbBrightness()->setValue(60);
    EXPECT_EQ(screen().Engine()->GetBrightness(), 60);
    EXPECT_GT(FreshFrameBrightness(), original + 20);

    panel->tbContrast()->setValue(0); // no contrast: one flat grey
    panel->btReset()->click();
    EXPECT_EQ(panel->tbBrightness()->value(), 0);
    EXPECT_EQ(panel->tbContrast()->value(), 101);
    EXPECT_EQ(screen().Engine()->GetContrast(), 101);
    EXPECT_NEAR(FreshFrameBrightness(), original, 1.0);
    EXPECT_GE(CountInLog("MMEngine->SET BRIGHTNESS: 60"), 1);
}

TEST_F(ColorControlTest, EachOpeningShowsTheValuesOfThatMoment) {
    StartPlayer();
    context->SeekDetail(-1);
    screen().PopupMenuPopup();
    screen().miColorSettings()->trigger();
    QPointer<TColorControlForm> first = screen().ColorControl();
    ASSERT_TRUE(first);
    screen().Engine()->SetHue(-90);
    context->HandleKey(kKeyK, true);
    ASSERT_NE(screen().ColorControl(), nullptr);
    EXPECT_NE(screen().ColorControl(), first.data());
    EXPECT_FALSE(first) << "the earlier panel is freed, not left hidden";
    EXPECT_EQ(screen().ColorControl()->tbHue()->value(), -90);
}

TEST_F(ColorControlTest, CtrlKOpensThePanelPlainKDoesNotAndEscClosesIt) {
    StartPlayer();
    context->SeekDetail(-1);
    context->HandleKey(kKeyK, false);
    EXPECT_EQ(screen().ColorControl(), nullptr);
    QTest::keyClick(screen().VideoWindow(), Qt::Key_K, Qt::ControlModifier);
    TColorControlForm* panel = screen().ColorControl();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    panel->tbBrightness()->setValue(40);
    // Esc where the user's keys go: on the slider last moved.
    QTest::keyClick(panel->tbBrightness(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(screen().Engine()->GetBrightness(), 40) << "what the sliders set stays";
}

TEST_F(ColorControlTest, BeforeAnyFilmThePanelOffersNothingAndStaysHarmless) {
    StartPlayer();
    EXPECT_FALSE(steering().btColorSettings()->isEnabled());
    context->HandleKey(kKeyK, true);
    TColorControlForm* panel = screen().ColorControl();
    ASSERT_NE(panel, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(panel->Track(i)->isEnabled()) << i;
        panel->Track(i)->setValue(5); // the engine has bound nothing yet
    }
    panel->btResetClick();
    context->SeekDetail(-1);
    EXPECT_EQ(screen().Engine()->GetBrightness(), 0);
}

TEST_F(ColorControlTest, PanelHidesWhenAnotherWindowIsActivatedAndGoesWithTheEngine) {
    StartPlayer();
    context->SeekDetail(-1);
    steering().show();
    context->ShowColorControl();
    QPointer<TColorControlForm> panel = screen().ColorControl();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(WaitUntil([&] { return panel->isActiveWindow(); }, 2000));
    steering().activateWindow();
    EXPECT_TRUE(WaitUntil([&] { return !panel->isVisible(); }, 2000));

    context->ShowColorControl();
    panel = screen().ColorControl();
    layout->DestroyPlayerWindows();
    EXPECT_FALSE(panel) << "sliders bound to a freed engine must not remain";
}

} // namespace
} // namespace kanvio::test
