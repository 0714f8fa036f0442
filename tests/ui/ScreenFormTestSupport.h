#pragma once

// A real player context on a small generated project of three films, with the
// three-window layout's real windows on the offscreen platform and the real engine.

#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"
#include "ui/ThreeWindowLayout.h"

#include <QImage>
#include <functional>
#include <memory>
#include <string>

namespace kanvio::test {

// The shared films (see tools/mkproject/FilmMaker.cpp), made when missing.
std::string SharedFilm(const std::string& name);

// Processes events until done() holds or timeoutMs passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000);
// Processes events for a while, letting queued calls and timers run.
void ProcessEventsFor(int milliseconds);

double MeanDifference(const QImage& a, const QImage& b);

// Films f1, f2 (reach "R1", ID 7) and f3 (connection "C1", ID 9), 4 seconds each, end to
// end from 00:00:00 on the timeline. The log writes debug lines to logFile.
class PlayerWindowsTest : public ContextTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the player as the main window does, without the play-pause step of loads.
    void StartPlayer(bool stepAfterLoad = false);
    int CountInLog(const std::string& line) const;
    TScreenForm& screen() { return *layout->ScreenForm(); }
    TSteeringForm& steering() { return *layout->SteeringForm(); }

    std::unique_ptr<TKanvioContext> context;
    std::unique_ptr<TThreeWindowLayout> layout;
    FakeMainWindow main;
    std::string logFile;
};

} // namespace kanvio::test
