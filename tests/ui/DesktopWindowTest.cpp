// Start-up windows on a real X server, as the window manager and the user's eye see them:
// what the window system is told about the window's buttons, and what is on the screen.

#include "core/LayoutChoiceForm.h"
#include "core/SplashForm.h"
#include "tests/support/IsolatedEnvironment.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

bool OnXServer() {
    return QGuiApplication::platformName() == "xcb";
}

// The window's _MOTIF_WM_HINTS as xprop reads them from the server: flags, functions,
// decorations. Empty when the property cannot be read.
std::vector<uint32_t> MotifHints(const QWidget& window) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window.winId()), "_MOTIF_WM_HINTS"});
    if (!xprop.waitForFinished(10000)) {
        return {};
    }
    const QString text = QString::fromLocal8Bit(xprop.readAllStandardOutput());
    std::vector<uint32_t> values;
    const QRegularExpression number("0x[0-9a-fA-F]+|\\b\\d+\\b");
    const qsizetype equals = text.indexOf('=');
    if (equals < 0) {
        return {};
    }
    auto matches = number.globalMatch(text.mid(equals));
    while (matches.hasNext()) {
        values.push_back(matches.next().captured().toUInt(nullptr, 0));
    }
    return values;
}

bool WindowManagerRuns() {
    QProcess xprop;
    xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
    return xprop.waitForFinished(10000) &&
           QString::fromLocal8Bit(xprop.readAllStandardOutput()).contains("window id");
}

// A reparenting window manager maps windows later than the bare server does; that delay
// is what the user's desktop has, so the tests run under openbox where it is installed.
class DesktopWindowTest : public IsolatedTest {
protected:
    void SetUp() override {
        if (!OnXServer()) {
            GTEST_SKIP() << "needs an X server (run through tests/support/with_xvfb.sh)";
        }
        if (!WindowManagerRuns() && !QStandardPaths::findExecutable("openbox").isEmpty()) {
            windowManager_.start("openbox", {"--sm-disable"});
            for (int i = 0; i < 100 && !WindowManagerRuns(); ++i) {
                QTest::qWait(50);
            }
        }
    }
    void TearDown() override {
        if (windowManager_.state() != QProcess::NotRunning) {
            windowManager_.terminate();
            windowManager_.waitForFinished(5000);
        }
    }

    QProcess windowManager_;
};

TEST_F(DesktopWindowTest, LayoutChoiceAsksForNoMinimiseOrMaximiseButton) {
    constexpr uint32_t FunctionsGiven = 1;
    constexpr uint32_t Minimise = 8;
    constexpr uint32_t Maximise = 16;
    TLayoutChoiceForm dialog;
    dialog.show(); // the hints are the window's from its creation on
    const std::vector<uint32_t> hints = MotifHints(dialog);
    ASSERT_GE(hints.size(), 3u) << "no window manager hints on the dialog";
    // Without the functions a window manager assumes all of them, buttons included.
    EXPECT_NE(hints[0] & FunctionsGiven, 0u);
    EXPECT_EQ(hints[1] & (Minimise | Maximise), 0u);
    // A window manager that keeps its own buttons still finds nothing to maximise.
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

// What the X server says of a window, for a failure that happens only now and then.
std::string WindowStateOnTheServer(const QWidget& window) {
    QProcess info;
    info.start("xwininfo", {"-id", QString::number(window.winId())});
    info.waitForFinished(5000);
    return (info.readAllStandardOutput() + info.readAllStandardError()).toStdString();
}

TEST_F(DesktopWindowTest, SplashIsOnTheScreenOnceShown) {
    TSplashForm splash;
    splash.ShowPainted();
    ASSERT_NE(splash.windowHandle(), nullptr);
    // On a loaded machine the window manager may map the window later than the start up
    // waits; asking again is what a later ShowPainted does, and it must then paint.
    for (int again = 0; again < 5 && !splash.windowHandle()->isExposed(); ++again) {
        splash.ShowPainted();
    }
    ASSERT_TRUE(splash.windowHandle()->isExposed())
        << "window manager running: " << WindowManagerRuns() << "\n"
        << WindowStateOnTheServer(splash);
    // Straight from the server, with no event handled since: the white face, not the
    // black of a window nobody has painted yet.
    QScreen* screen = splash.screen();
    ASSERT_NE(screen, nullptr);
    const QRect inner(splash.mapToGlobal(QPoint(0, 0)), splash.size());
    const QImage shown =
        screen->grabWindow(0, inner.x(), inner.y(), inner.width(), inner.height()).toImage();
    ASSERT_FALSE(shown.isNull());
    const QPoint corner(inner.width() - 3, inner.height() - 3);
    EXPECT_EQ(QColor(shown.pixel(corner)), QColor(Qt::white));
}

} // namespace
} // namespace kanvio::test
