// Window frames as a reparenting window manager makes them: openbox frames a window only
// after it is mapped, and tells its margins later still. Stored places are frame places:
// they come back where they were, start after start, and full screen gives the window
// back with its title bar on the screen.

#include "foundation/FramePlacement.h"
#include "foundation/RegistryManager.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "tests/ui/SingleWindowTestFixture.h"
#include "ui/KanvioSingleForm.h"
#include "ui/SteeringForm.h"
#include "video/EmbeddedVideo.h"
#include "video/MultimediaEngine.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace kanvio::test {
namespace {

bool WindowManagerRuns() {
    QProcess xprop;
    xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
    return xprop.waitForFinished(10000) &&
           QString::fromLocal8Bit(xprop.readAllStandardOutput()).contains("window id");
}

// The frame as the window system knows it now (the widget renews its copy only when the
// window moves or resizes).
QRect FrameOf(const QWidget& window) {
    const QWindow* native = window.windowHandle();
    return native != nullptr ? native->frameGeometry() : window.frameGeometry();
}

bool Framed(const QWidget& window) {
    return FrameOf(window) != window.geometry();
}

// Starts openbox on the test's own X server; skips where there is no server or no openbox.
class WindowManagerFixture {
public:
    bool Start() {
        if (QGuiApplication::platformName() != "xcb") {
            return false;
        }
        if (!WindowManagerRuns() && !QStandardPaths::findExecutable("openbox").isEmpty()) {
            openbox_.start("openbox", {"--sm-disable"});
            for (int i = 0; i < 100 && !WindowManagerRuns(); ++i) {
                QTest::qWait(50);
            }
        }
        return WindowManagerRuns();
    }
    ~WindowManagerFixture() {
        if (openbox_.state() != QProcess::NotRunning) {
            openbox_.terminate();
            openbox_.waitForFinished(5000);
        }
    }

private:
    QProcess openbox_;
};

class WindowFrameTest : public IsolatedTest {
protected:
    void SetUp() override {
        if (!manager_.Start()) {
            GTEST_SKIP() << "needs an X server with openbox (tests/support/with_xvfb.sh)";
        }
    }

    // A window placed at frame and shown; waits until the manager framed it.
    std::unique_ptr<QWidget> Open(const QRect& frame, TFramePlacement::TSize size,
                                  const QSize& ownSize = QSize(320, 200)) {
        auto window = std::make_unique<QWidget>();
        window->setWindowTitle("frame test");
        window->resize(ownSize);
        auto* placement = new TFramePlacement(*window, size);
        placement->Place(frame);
        window->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Framed(*window); }, 10000));
        return window;
    }
    static TFramePlacement& PlacementOf(QWidget& window) {
        return *window.findChild<TFramePlacement*>();
    }
    static bool FrameSettlesAt(QWidget& window, const QRect& frame) {
        return QTest::qWaitFor([&] { return FrameOf(window) == frame; }, 10000);
    }
    static bool CornerSettlesAt(QWidget& window, const QPoint& corner) {
        return QTest::qWaitFor([&] { return FrameOf(window).topLeft() == corner; }, 10000);
    }
    static QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    WindowManagerFixture manager_;
};

TEST_F(WindowFrameTest, TheFrameLandsWhereThePlaceSays) {
    struct Case {
        QRect place;
        TFramePlacement::TSize size;
    };
    const Case cases[] = {
        {{100, 150, 420, 360}, TFramePlacement::TSize::Frame},
        {{0, 0, 400, 500}, TFramePlacement::TSize::Frame},
        {{300, 600, 0, 0}, TFramePlacement::TSize::Own},
        {{0, 500, 0, 0}, TFramePlacement::TSize::Own},
    };
    for (const Case& c : cases) {
        auto window = Open(c.place, c.size);
        EXPECT_TRUE(CornerSettlesAt(*window, c.place.topLeft())) << c.place.y();
        if (c.size == TFramePlacement::TSize::Frame) {
            EXPECT_EQ(FrameOf(*window).size(), c.place.size());
        } else {
            EXPECT_EQ(window->size(), QSize(320, 200));
        }
        EXPECT_EQ(PlacementOf(*window).NormalFrame(), FrameOf(*window));
    }
}

TEST_F(WindowFrameTest, StoredFramesComeBackWithoutCreepingOverStarts) {
    for (const auto size : {TFramePlacement::TSize::Frame, TFramePlacement::TSize::Own}) {
        QRect stored(40, 600, 500, 240);
        for (int start = 0; start < 3; ++start) {
            auto window = Open(stored, size);
            ASSERT_TRUE(CornerSettlesAt(*window, stored.topLeft())) << "start " << start;
            const QRect again = PlacementOf(*window).NormalFrame();
            EXPECT_EQ(again.topLeft(), stored.topLeft()) << "start " << start;
            if (size == TFramePlacement::TSize::Frame) {
                EXPECT_EQ(again.size(), stored.size()) << "start " << start;
            }
            stored = again;
        }
    }
}

TEST_F(WindowFrameTest, OffScreenPlacesAreClampedWithTheRealFrame) {
    const QRect cases[] = {{5000, 5000, 400, 300}, {-200, -20, 400, 300}, {100, -20, 400, 300}};
    for (const QRect& place : cases) {
        auto window = Open(place, TFramePlacement::TSize::Frame);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QRect frame = FrameOf(*window);
                return Available().contains(frame) && frame.size() == place.size();
            },
            10000))
            << place.x() << "," << place.y();
    }
}

TEST_F(WindowFrameTest, LeavingFullScreenBringsTheTitleBarBack) {
    for (const auto size : {TFramePlacement::TSize::Frame, TFramePlacement::TSize::Own}) {
        auto window = Open({0, 0, 500, 400}, size);
        ASSERT_TRUE(CornerSettlesAt(*window, QPoint(0, 0)));
        const QRect normal = FrameOf(*window);
        window->showFullScreen();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->isFullScreen(); }, 10000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return window->windowHandle()->geometry() ==
                       QGuiApplication::primaryScreen()->geometry();
            },
            10000));
        // Freed now, the window would store its normal frame.
        EXPECT_EQ(PlacementOf(*window).NormalFrame(), normal);
        window->showNormal();
        EXPECT_TRUE(FrameSettlesAt(*window, normal))
            << FrameOf(*window).x() << "," << FrameOf(*window).y();
        EXPECT_EQ(PlacementOf(*window).NormalFrame(), normal);
    }
}

// The control window, which crept up by its title bar at every start.
class ControlWindowFrameTest : public ContextTest {
protected:
    void SetUp() override {
        if (!manager_.Start()) {
            GTEST_SKIP() << "needs an X server with openbox (tests/support/with_xvfb.sh)";
        }
        context = CreateContext();
    }
    WindowManagerFixture manager_;
    std::unique_ptr<TKanvioContext> context;
};

TEST_F(ControlWindowFrameTest, StoredPlaceStaysOverStarts) {
    WriteRegInteger("", "CtrlLeft", 30);
    WriteRegInteger("", "CtrlTop", 600);
    for (int start = 0; start < 2; ++start) {
        TSteeringForm form(*context);
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Framed(form); }, 10000));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return FrameOf(form).topLeft() == QPoint(30, 600); }, 10000))
            << "start " << start << ": " << FrameOf(form).x() << "," << FrameOf(form).y();
        form.Destroy();
        EXPECT_EQ(ReadRegInteger("", "CtrlLeft", -1), 30) << "start " << start;
        EXPECT_EQ(ReadRegInteger("", "CtrlTop", -1), 600) << "start " << start;
    }
}

// The single window, which came back from full screen with its title bar above the screen.
class SingleWindowFrameTest : public SingleWindowFixture {
protected:
    void SetUp() override {
        if (!manager_.Start()) {
            GTEST_SKIP() << "needs an X server with openbox (tests/support/with_xvfb.sh)";
        }
        PlayerWindowsTest::SetUp();
        // The three-window layout goes before the test stores its places.
        context->SetPlayerWindows(nullptr);
        context->SetMainWindow(nullptr);
        layout.reset();
    }
    void Open() { SingleWindowFixture::Open(1); }
    WindowManagerFixture manager_;
};

TEST_F(SingleWindowFrameTest, LeavingFullScreenKeepsTheTitleBarOnTheScreen) {
    WriteRegInteger("", "SingleLeft", 0);
    WriteRegInteger("", "SingleTop", 0);
    for (int start = 0; start < 2; ++start) {
        Open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Framed(*form); }, 10000));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return FrameOf(*form).topLeft() == QPoint(0, 0); }, 10000))
            << FrameOf(*form).x() << "," << FrameOf(*form).y();
        form->ToggleFullScreen();
        ASSERT_TRUE(form->IsFullScreen());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->geometry() == QGuiApplication::primaryScreen()->geometry(); },
            10000));
        form->ToggleFullScreen();
        ASSERT_FALSE(form->IsFullScreen());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return Framed(*form) && FrameOf(*form).topLeft() == QPoint(0, 0); }, 10000))
            << FrameOf(*form).x() << "," << FrameOf(*form).y();
        form->close();
        EXPECT_EQ(ReadRegInteger("", "SingleLeft", -1), 0) << "start " << start;
        EXPECT_EQ(ReadRegInteger("", "SingleTop", -1), 0) << "start " << start;
        context->SetPlayerWindows(nullptr);
        context->SetMainWindow(nullptr);
        form.reset();
    }
}

} // namespace
} // namespace kanvio::test
