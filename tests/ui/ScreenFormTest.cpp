// The video window and its display: painting (pixel checks on the rendered widget),
// zoom and letterbox, place stored and pulled back onto the screen, dragging, the double
// click, full screen, the context menu and keys reaching the player.

#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/SteeringForm.h"
#include "video/FilterPriorities.h"
#include "video/VideoDisplayWidget.h"
#include "video/VirtualKeyMap.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

// Four quadrants: red, green / blue, white.
QImage Quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::white);
    return image;
}

QImage Rendered(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QSize ScreenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

TEST(VideoDisplayTest, TargetRectangleLetterboxesOrStretches) {
    struct Case {
        QSize source, area;
        bool keep;
        QRect expected;
    };
    const Case cases[] = {
        {{100, 50}, {200, 200}, true, QRect(0, 50, 200, 100)},   // bars above and below
        {{100, 100}, {300, 100}, true, QRect(100, 0, 100, 100)}, // bars left and right
        {{100, 50}, {200, 200}, false, QRect(0, 0, 200, 200)},
        {{0, 50}, {200, 200}, true, QRect()}, // no picture
        {{100, 50}, {0, 0}, true, QRect()},   // no area
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayTargetRect(c.source, c.area, c.keep), c.expected)
            << c.source.width() << "x" << c.source.height() << " in " << c.area.width() << "x"
            << c.area.height();
    }
    EXPECT_EQ(DisplaySourceRect(QRect(), QSize(40, 30)), QRect(0, 0, 40, 30));
    EXPECT_EQ(DisplaySourceRect(QRect(-10, -10, 60, 50), QSize(40, 30)), QRect(0, 0, 40, 30));
    EXPECT_EQ(DisplaySourceRect(QRect(10, 5, 20, 20), QSize(40, 30)), QRect(10, 5, 20, 20));
}

TEST(VideoDisplayTest, PaintsTheFrameLetterboxedStretchedAndZoomed) {
    TVideoDisplayWidget display;
    display.resize(200, 200);
    QImage blank = Rendered(display);
    EXPECT_EQ(blank.pixel(100, 100), qRgb(0, 0, 0)) << "no frame paints black";

    display.ShowFrame(Quadrants(100, 50));
    QImage shown = Rendered(display);
    EXPECT_EQ(shown.pixel(100, 20), qRgb(0, 0, 0)) << "bar above";
    EXPECT_EQ(shown.pixel(100, 180), qRgb(0, 0, 0)) << "bar below";
    EXPECT_EQ(shown.pixel(50, 75), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(150, 125), qRgb(255, 255, 255));

    display.SetKeepAspectRatio(false);
    shown = Rendered(display);
    EXPECT_EQ(shown.pixel(50, 20), qRgb(255, 0, 0)) << "stretched over the bars";
    EXPECT_EQ(shown.pixel(150, 180), qRgb(255, 255, 255));

    display.SetSourceRect(QRect(50, 0, 50, 25)); // the green quadrant alone
    shown = Rendered(display);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(195, 195), qRgb(0, 255, 0));

    display.ClearFrame();
    EXPECT_EQ(Rendered(display).pixel(100, 100), qRgb(0, 0, 0));
}

TEST(VirtualKeyTest, QtKeysMapToTheWindowsCodesThePlayerUses) {
    struct Case {
        int qtKey;
        int code; // -1: no code
    };
    const Case cases[] = {{Qt::Key_Escape, 27},   {Qt::Key_Space, 32},  {Qt::Key_PageUp, 33},
                          {Qt::Key_PageDown, 34}, {Qt::Key_Left, 37},   {Qt::Key_Right, 39},
                          {Qt::Key_A, 65},        {Qt::Key_Z, 90},      {Qt::Key_0, 48},
                          {Qt::Key_F1, 112},      {Qt::Key_F11, 122},   {Qt::Key_F24, 135},
                          {Qt::Key_Shift, -1},    {Qt::Key_Eacute, -1}, {0, -1}};
    for (const Case& c : cases) {
        const auto code = WindowsVirtualKey(c.qtKey);
        EXPECT_EQ(code ? int(*code) : -1, c.code) << "Qt key " << c.qtKey;
    }
    const auto ctrlRight = PlayerKeyOf(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(ctrlRight);
    EXPECT_EQ(ctrlRight->Key, 39);
    EXPECT_TRUE(ctrlRight->Ctrl);
    EXPECT_FALSE(PlayerKeyOf(Qt::Key_A, Qt::ShiftModifier)->Ctrl);
}

TEST(FilterPriorityTest, InstalledDecodersFollowTheSavedOrder) {
    struct Case {
        std::vector<std::string> installed, saved;
        bool includeUnlisted;
        std::vector<std::string> expected;
    };
    std::vector<std::string> eleven;
    for (int i = 0; i < 11; ++i) {
        eleven.push_back("D" + std::to_string(i));
    }
    std::vector<std::string> elevenSorted = {"D0", "D1", "D10", "D2", "D3", "D4",
                                             "D5", "D6", "D7",  "D8", "D9"};
    const Case cases[] = {
        {{"A={1}", "B={2}", "C={3}"}, {"B={2}", "A={1}"}, false, {"B={2}", "A={1}"}},
        {{"A={1}", "B={2}", "C={3}"}, {"B={2}", "A={1}"}, true, {"B={2}", "A={1}", "C={3}"}},
        {{"A={1}"}, {"a={1}", "Gone={9}"}, false, {"A={1}"}}, // case ignored, gone dropped
        {{"A={1}"}, {}, false, {}},
        {eleven, {}, true, elevenSorted}, // sort keys compare as text
    };
    for (const Case& c : cases) {
        std::vector<std::string> list = c.installed;
        OrderByPriorities(list, c.saved, c.includeUnlisted);
        EXPECT_EQ(list, c.expected);
    }
}

TEST(FilterPriorityTest, LoadingReadsTheThreeRegistryKeys) {
    IsolatedEnvironment env;
    WriteRegString("FilterPriorities\\MPEG2", "B", "{2}");
    WriteRegString("FilterPriorities\\MPEG2", "A", "{1}");
    TFilterLists installed;
    installed.MPEG1 = {"A={1}"};
    installed.MPEG2 = {"A={1}", "B={2}", "C={3}"};
    const TFilterLists loaded = LoadFilterPriorities(installed, false);
    EXPECT_TRUE(loaded.MPEG1.empty());
    EXPECT_EQ(loaded.MPEG2, (std::vector<std::string>{"B={2}", "A={1}"}));
    EXPECT_TRUE(loaded.MPEG4.empty());
}

using ScreenFormTest = PlayerWindowsTest;

TEST_F(ScreenFormTest, FirstStartPlacesTheWindowAtItsDefaults) {
    StartPlayer();
    // Right of the main window's first-start frame, which grows with the font.
    EXPECT_EQ(screen().pos(), ThreeWindowDefaults(DesignFontScale()).Video);
    EXPECT_EQ(screen().size(), QSize(300, 300));
    EXPECT_FALSE(screen().IsFullScreen());
    EXPECT_TRUE(screen().isVisible());
}

TEST_F(ScreenFormTest, StoredPlaceBeyondTheScreenIsPulledBack) {
    const QSize size = ScreenSize();
    // The whole window comes onto the screen; unshown, it has no frame yet.
    const int right = size.width() - 300;
    const int bottom = size.height() - 300;
    struct Case {
        int left, top;
        QPoint expected;
    };
    const Case cases[] = {
        {5000, 10, QPoint(right, 10)},
        {10, 2000, QPoint(10, bottom)},
        {size.width(), size.height(), QPoint(right, bottom)},
        {right, bottom, QPoint(right, bottom)}, // on the edge
        {-40, -20, QPoint(0, 0)},
    };
    for (const Case& c : cases) {
        WriteRegInteger("", "ScreenLeft", c.left);
        WriteRegInteger("", "ScreenTop", c.top);
        TThreeWindowLayout windows(*context);
        windows.CreatePlayerWindows();
        EXPECT_EQ(windows.ScreenForm()->pos(), c.expected) << c.left << ", " << c.top;
    }
}

TEST_F(ScreenFormTest, PlaceIsStoredWhenFreedAndRestoredAtTheNextStart) {
    {
        TThreeWindowLayout windows(*context);
        windows.CreatePlayerWindows();
        windows.ShowPlayerWindows();
        windows.ScreenForm()->move(123, 45);
        windows.ScreenForm()->resize(320, 240);
        windows.DestroyPlayerWindows();
    }
    EXPECT_EQ(ReadRegInteger("", "ScreenLeft", -1), 123);
    EXPECT_EQ(ReadRegInteger("", "ScreenTop", -1), 45);
    EXPECT_EQ(ReadRegInteger("", "ScreenWidth", -1), 320);
    EXPECT_EQ(ReadRegInteger("", "ScreenHeight", -1), 240);
    StartPlayer();
    EXPECT_EQ(screen().pos(), QPoint(123, 45));
    EXPECT_EQ(screen().size(), QSize(320, 240));
}

TEST_F(ScreenFormTest, FullScreenTogglesAndIsStoredWhenFreedInIt) {
    StartPlayer();
    screen().move(50, 60);
    screen().ToggleFullScreen();
    EXPECT_TRUE(screen().IsFullScreen());
    EXPECT_TRUE(screen().isFullScreen());
    EXPECT_TRUE(screen().miFullScreen()->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return screen().size() == ScreenSize(); }, 2000));

    context->HandleKey(27, false); // Escape leaves full screen
    EXPECT_FALSE(screen().IsFullScreen());
    EXPECT_FALSE(screen().miFullScreen()->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return screen().size() == QSize(300, 300); }, 2000));
    EXPECT_EQ(screen().pos(), QPoint(50, 60));

    context->HandleKey(122, false); // F11
    EXPECT_TRUE(screen().IsFullScreen());
    EXPECT_TRUE(WaitUntil([&] { return screen().size() == ScreenSize(); }, 2000));
    layout->DestroyPlayerWindows();
    // The normal place and size: the next start does not open over the whole screen.
    EXPECT_EQ(ReadRegInteger("", "ScreenLeft", -1), 50);
    EXPECT_EQ(ReadRegInteger("", "ScreenTop", -1), 60);
    EXPECT_EQ(ReadRegInteger("", "ScreenWidth", -1), 300);
    EXPECT_EQ(ReadRegInteger("", "ScreenHeight", -1), 300);
}

TEST_F(ScreenFormTest, ClosingFromTheSystemHasNoEffect) {
    StartPlayer();
    EXPECT_FALSE(screen().close());
    EXPECT_TRUE(screen().isVisible());
}

TEST_F(ScreenFormTest, DraggingThePictureMovesTheWindowUnlessFullScreen) {
    StartPlayer();
    QWidget* video = screen().VideoWindow();
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        screen().move(200, 100);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10),
                          video->mapToGlobal(QPointF(10, 10)), button, button, Qt::NoModifier);
        QApplication::sendEvent(video, &press);
        EXPECT_TRUE(screen().Dragging());
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), video->mapToGlobal(QPointF(40, 30)),
                         Qt::NoButton, button, Qt::NoModifier);
        QApplication::sendEvent(video, &move);
        EXPECT_EQ(screen().pos(), QPoint(230, 120)) << "button " << int(button);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(40, 30),
                            video->mapToGlobal(QPointF(40, 30)), button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(video, &release);
        EXPECT_FALSE(screen().Dragging());
    }
    screen().ToggleFullScreen();
    const QPoint full = screen().pos();
    screen().VideoWindowMouseDown(QPoint(10, 10));
    screen().FormMouseMove(QPoint(60, 60));
    EXPECT_FALSE(screen().Dragging());
    EXPECT_EQ(screen().pos(), full);
}

// Through the window system, where the desktop asks for the context menu as soon as the
// right button goes down: the menu must not take the drag.
TEST_F(ScreenFormTest, RightButtonDragsAndARightClickOpensTheMenu) {
    StartPlayer();
    screen().move(200, 100);
    QWindow* window = screen().windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint start = screen().VideoWindow()->mapTo(&screen(), QPoint(10, 10));
    QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, start);
    EXPECT_TRUE(screen().Dragging());
    EXPECT_FALSE(screen().PopupMenu()->isVisible());
    QTest::mouseMove(window, start + QPoint(30, 20));
    EXPECT_EQ(screen().pos(), QPoint(230, 120));
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, start);
    EXPECT_FALSE(screen().Dragging());
    EXPECT_FALSE(screen().PopupMenu()->isVisible()) << "a drag opens no menu";

    QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, start);
    EXPECT_TRUE(screen().PopupMenu()->isVisible());
    screen().PopupMenu()->hide();
}

TEST_F(ScreenFormTest, DoubleClickSizesTheWindowToTheFilm) {
    StartPlayer();
    screen().VideoWindowDblClick();
    EXPECT_EQ(screen().size(), QSize(300, 300)) << "no film: the size stays";

    context->SeekDetail(-1); // 352 x 288
    const QSize screenSize = ScreenSize();
    const double aspect = double(screenSize.width()) / screenSize.height();
    const QSize single(int(std::nearbyint(288 * aspect)), 288);
    const QSize doubled(int(std::nearbyint(576 * aspect)), 576);
    for (const QSize& expected : {single, doubled, single}) {
        screen().VideoWindowDblClick();
        EXPECT_EQ(screen().size(), expected);
    }
    screen().ToggleFullScreen();
    const QSize full = screen().size();
    screen().VideoWindowDblClick();
    EXPECT_EQ(screen().size(), full);
}

TEST_F(ScreenFormTest, ContextMenuOffersItsItemsAndThePictureItemFollowsTheEngine) {
    StartPlayer();
    const QList<QAction*> items = screen().PopupMenu()->actions();
    const char* texts[] = {"_SaveImage",   "_PrintImage",
                           "_CopyPicture", "_SaveCaptionedPicture...",
                           "_FullScreen",  "_ColorSettings"};
    ASSERT_EQ(items.size(), int(std::size(texts)));
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->text().toStdString(), texts[i]);
    }
    screen().PopupMenuPopup();
    EXPECT_FALSE(screen().miColorSettings()->isEnabled()) << "no film loaded yet";
    context->SeekDetail(-1);
    screen().PopupMenuPopup();
    EXPECT_TRUE(screen().miColorSettings()->isEnabled());
    EXPECT_TRUE(screen().miSaveImage()->isEnabled());
    EXPECT_TRUE(screen().miFullScreen()->isEnabled());
    screen().miFullScreen()->trigger();
    EXPECT_TRUE(screen().IsFullScreen());
}

TEST_F(ScreenFormTest, KeysReachThePlayer) {
    StartPlayer();
    context->SeekDetail(-1);
    QTest::keyClick(&screen(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(context->ZoomFactor, 1.2f);
    EXPECT_NE(screen().VideoWindow()->SourceRect(), QRect(0, 0, 352, 288));
    QTest::keyClick(&screen(), Qt::Key_PageDown);
    EXPECT_EQ(context->FilmIndex, 1);
    QTest::keyClick(&steering(), Qt::Key_PageUp);
    EXPECT_EQ(context->FilmIndex, 0);
}

TEST_F(ScreenFormTest, DisplayPaintsTheFrameTheEngineGrabs) {
    StartPlayer();
    screen().resize(352, 288);
    context->SeekPosition(false, 2);
    ASSERT_TRUE(WaitUntil([&] { return !screen().VideoWindow()->Frame().isNull(); }));
    QImage grabbed;
    ASSERT_GE(screen().GrabPicture(grabbed), 0);
    ASSERT_EQ(grabbed.size(), QSize(352, 288));
    EXPECT_LT(MeanDifference(Rendered(*screen().VideoWindow()), grabbed), 2.0);

    context->SetZoom(2.0f);
    const QImage zoomed = Rendered(*screen().VideoWindow());
    const QImage expected = grabbed.copy(88, 72, 176, 144).scaled(352, 288);
    EXPECT_LT(MeanDifference(zoomed, expected), 12.0);

    context->SetZoom(1.0f);
    screen().resize(352, 488); // 100 pixels of bars above and below
    const QImage boxed = Rendered(*screen().VideoWindow());
    EXPECT_EQ(boxed.pixel(176, 50), qRgb(0, 0, 0));
    EXPECT_EQ(boxed.pixel(176, 440), qRgb(0, 0, 0));
    EXPECT_LT(MeanDifference(boxed.copy(0, 100, 352, 288), grabbed), 2.0);
}

} // namespace
} // namespace kanvio::test
