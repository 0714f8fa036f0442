// Where the windows go: frames kept on the screen, the first-start places of the three
// windows, stored places read back unchanged, and window sizes that follow the font. The
// windows are the real ones on the offscreen platform, on a desktop-sized screen whose
// window frames have margins.

#include "foundation/WindowPlace.h"

#include "foundation/FramePlacement.h"
#include "foundation/RegistryManager.h"
#include "tests/ui/MainFormTestFixture.h"
#include "ui/SteeringForm.h"
#include "ui/ThreeWindowLayout.h"
#include "video/ScreenFrm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace kanvio {
namespace {

TEST(WindowPlaceLogic, FramesAreClampedIntoTheArea) {
    const QRect area(0, 0, 1280, 870); // a task bar of 30 below
    struct Case {
        QRect frame;
        QRect expected;
    };
    const Case cases[] = {
        {{100, 100, 400, 300}, {100, 100, 400, 300}},   // inside stays
        {{880, 570, 400, 300}, {880, 570, 400, 300}},   // touching both edges stays
        {{881, 571, 400, 300}, {880, 570, 400, 300}},   // one beyond
        {{5000, 5000, 400, 300}, {880, 570, 400, 300}}, // far beyond
        {{-20, -20, 400, 300}, {0, 0, 400, 300}},       // title bar above the screen
        {{-3000, 100, 400, 300}, {0, 100, 400, 300}},   // left of the screen
        {{100, 100, 2000, 1000}, {0, 0, 2000, 1000}},   // larger: the corner stays reachable
        {{0, 600, 821, 141}, {0, 600, 821, 141}},       // the control window at its default
        {{0, 800, 821, 141}, {0, 729, 821, 141}},       // ... and pushed down by a big font
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampFrameToArea(c.frame, area), c.expected) << c.frame.x() << "," << c.frame.y();
    }
    const QRect shifted(1280, 24, 1024, 744); // a second screen with a panel on top
    EXPECT_EQ(ClampFrameToArea({1200, 0, 300, 200}, shifted), QRect(1280, 24, 300, 200));
    EXPECT_EQ(ClampFrameToArea({100, 100, 50, 50}, QRect()), QRect(100, 100, 50, 50));
}

TEST(WindowPlaceLogic, FontScaleNeverShrinksTheDesign) {
    struct Case {
        double width, height, expected;
    };
    const Case cases[] = {
        {5.0, 13.0, 1.0}, {4.0, 11.0, 1.0}, {6.0, 13.0, 1.2}, {5.0, 19.5, 1.5},
        {7.0, 14.0, 1.4}, {0.0, 13.0, 1.0}, {6.0, -1.0, 1.0}, {std::nan(""), 13.0, 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(FontScale(c.width, c.height), c.expected) << c.width << "x" << c.height;
    }
    EXPECT_EQ(ScaledDesignSize({400, 500}, 1.0), QSize(400, 500));
    EXPECT_EQ(ScaledDesignSize({400, 500}, 0.5), QSize(400, 500));
    EXPECT_EQ(ScaledDesignSize({400, 500}, 1.1), QSize(440, 550)); // no pixel from rounding
    EXPECT_EQ(ScaledDesignSize({819, 120}, 1.33), QSize(1090, 160));
}

TEST(WindowPlaceLogic, FirstStartFramesTouchButNeverOverlap) {
    for (const double scale : {1.0, 1.2, 1.37, 2.0}) {
        const TThreeWindowDefaults defaults = ThreeWindowDefaults(scale);
        EXPECT_EQ(defaults.Main.topLeft(), QPoint(0, 0));
        EXPECT_EQ(defaults.Main.size(), ScaledDesignSize({400, 500}, scale));
        const QRect video(defaults.Video, QSize(320, 320));
        const QRect controls(defaults.Controls, QSize(840, 140));
        EXPECT_FALSE(defaults.Main.intersects(video)) << scale;
        EXPECT_FALSE(defaults.Main.intersects(controls)) << scale;
        EXPECT_EQ(video.left(), defaults.Main.right() + 1) << scale;
        EXPECT_EQ(controls.top(), defaults.Main.bottom() + 1) << scale;
    }
}

// The main window with the real three-window layout on the generated delivery.
class WindowPlaceTest : public test::MainFormTestFixture {
protected:
    ~WindowPlaceTest() override { Stop(); }

    void Start() {
        TContextServices services;
        services.Dialogs = &dialogs;
        services.DataSources = &sources;
        services.Desktop = &desktop;
        services.Printers = printers;
        context_ = CreatePlayerContext(services);
        ASSERT_TRUE(context_);
        windows_ = std::make_unique<TThreeWindowLayout>(*context_);
        context_->SetPlayerWindows(windows_.get());
        form_ = std::make_unique<TKanvioMainForm>(*context_, dialogs, std::vector<std::string>{});
        context_->SetMainWindow(form_.get());
        form_->show();
        ASSERT_TRUE(windows_->ScreenForm() && windows_->SteeringForm());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(windows_->SteeringForm()));
    }
    void Stop() {
        if (form_) {
            form_->close();
        }
        form_.reset();
        windows_.reset();
        context_.reset();
    }
    std::vector<QRect> Frames() const {
        return {form_->frameGeometry(), windows_->ScreenForm()->frameGeometry(),
                windows_->SteeringForm()->frameGeometry()};
    }
    static std::map<std::string, int> StoredPlaces() {
        std::map<std::string, int> values;
        for (const char* name :
             {"MainLeft", "MainTop", "MainWidth", "MainHeight", "ScreenLeft", "ScreenTop",
              "ScreenWidth", "ScreenHeight", "CtrlLeft", "CtrlTop"}) {
            values[name] = ReadRegInteger("", name, -99999);
        }
        return values;
    }
    // The design size grown by the font, and further where the texts need a wider window.
    QSize MainFrameSize(double scale) const {
        const QSize frameExtra = form_->frameGeometry().size() - form_->size();
        return ScaledDesignSize({400, 500}, scale).expandedTo(form_->minimumSize() + frameExtra);
    }
    static QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    // Wholly on the screen; a window larger than the screen starts at its edge, so that
    // its title bar and corner stay reachable.
    static bool OnScreen(const QRect& frame) {
        const QRect area = Available();
        const auto fits = [](int start, int length, int areaStart, int areaLength) {
            return length <= areaLength
                       ? start >= areaStart && start + length <= areaStart + areaLength
                       : start == areaStart;
        };
        return fits(frame.x(), frame.width(), area.x(), area.width()) &&
               fits(frame.y(), frame.height(), area.y(), area.height());
    }

    std::unique_ptr<TThreeWindowLayout> windows_;
};

TEST_F(WindowPlaceTest, FirstStartWindowsNeitherOverlapNorLeaveTheScreen) {
    Start();
    const std::vector<QRect> frames = Frames();
    const char* names[] = {"main", "video", "controls"};
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(OnScreen(frames[i])) << names[i];
        for (size_t j = i + 1; j < frames.size(); ++j) {
            EXPECT_FALSE(frames[i].intersects(frames[j])) << names[i] << " and " << names[j];
        }
    }
    // The neighbours start at the main window's edges.
    EXPECT_EQ(frames[1].topLeft(), QPoint(frames[0].right() + 1, 0));
    EXPECT_EQ(frames[2].topLeft(), QPoint(0, frames[0].bottom() + 1));
    EXPECT_EQ(frames[0].size(), MainFrameSize(DesignFontScale()));
}

TEST_F(WindowPlaceTest, StoredPlacesComeBackUnchangedOverTwoStarts) {
    WriteRegInteger("", "CtrlTop", 600);
    WriteRegInteger("", "CtrlLeft", 0); // the control window is nearly as wide as the screen
    WriteRegInteger("", "MainLeft", 30);
    WriteRegInteger("", "MainTop", 40);
    Start();
    Stop();
    const std::map<std::string, int> first = StoredPlaces();
    EXPECT_EQ(first.at("CtrlTop"), 600);
    EXPECT_EQ(first.at("CtrlLeft"), 0);
    EXPECT_EQ(first.at("MainLeft"), 30);
    EXPECT_EQ(first.at("MainTop"), 40);
    Start();
    Stop();
    EXPECT_EQ(StoredPlaces(), first);
}

TEST_F(WindowPlaceTest, StoredPlacesBeyondTheScreenAreBroughtWhollyOntoIt) {
    struct Case {
        int left, top;
    };
    const Case cases[] = {{5000, 5000}, {-3000, -20}, {Available().right(), 10}, {10, -500}};
    for (const Case& c : cases) {
        for (const char* prefix : {"Main", "Screen", "Ctrl"}) {
            WriteRegInteger("", std::string(prefix) + "Left", c.left);
            WriteRegInteger("", std::string(prefix) + "Top", c.top);
        }
        Start();
        const std::vector<QRect> frames = Frames();
        for (const QRect& frame : frames) {
            EXPECT_TRUE(OnScreen(frame))
                << c.left << "," << c.top << ": " << frame.x() << "," << frame.y() << " "
                << frame.width() << "x" << frame.height();
        }
        Stop();
    }
}

TEST_F(WindowPlaceTest, StoredSizesNoScreenHoldsAreCutToTheScreen) {
    struct Case {
        int width, height;
    };
    const Case cases[] = {{100000, 100000}, {100000, 300}, {0, 0}, {-50, -400}};
    for (const Case& c : cases) {
        WriteRegInteger("", "MainLeft", 10);
        WriteRegInteger("", "MainTop", 10);
        WriteRegInteger("", "MainWidth", c.width);
        WriteRegInteger("", "MainHeight", c.height);
        Start();
        const QRect frame = Frames()[0];
        EXPECT_TRUE(Available().contains(frame))
            << c.width << "x" << c.height << ": " << frame.width() << "x" << frame.height();
        EXPECT_GT(form_->width(), 0);
        EXPECT_GT(form_->height(), 0);
        Stop();
    }
}

TEST_F(WindowPlaceTest, LargerFontGrowsTheMainWindowAndMovesItsNeighbours) {
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSizeF(original.pointSizeF() * 1.6);
    QApplication::setFont(large);
    const double scale = DesignFontScale();
    Start();
    const std::vector<QRect> frames = Frames();
    const QSize expectedMain = MainFrameSize(scale);
    QApplication::setFont(original);
    ASSERT_GT(scale, 1.0);
    EXPECT_EQ(frames[0].size(), expectedMain);
    EXPECT_GT(frames[0].width(), 400);
    EXPECT_EQ(frames[1].x(), frames[0].right() + 1);
    // Pulled up onto the screen where the grown window leaves too little room below.
    EXPECT_EQ(frames[2].y(),
              std::min(frames[0].bottom() + 1, Available().bottom() + 1 - frames[2].height()));
}

TEST_F(WindowPlaceTest, FullScreenVideoWindowStoresItsNormalPlace) {
    WriteRegInteger("", "ScreenLeft", 400);
    WriteRegInteger("", "ScreenTop", 60);
    Start();
    TScreenForm& video = *windows_->ScreenForm();
    const QRect normal = video.frameGeometry();
    video.showFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return video.isFullScreen(); }));
    EXPECT_EQ(video.Placement().NormalFrame(), normal);
    Stop();
    EXPECT_EQ(ReadRegInteger("", "ScreenLeft", -1), 400);
    EXPECT_EQ(ReadRegInteger("", "ScreenTop", -1), 60);
    EXPECT_EQ(ReadRegInteger("", "ScreenWidth", -1), 300);
    EXPECT_EQ(ReadRegInteger("", "ScreenHeight", -1), 300);
}

} // namespace
} // namespace kanvio
