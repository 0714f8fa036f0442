#pragma once

#include "foundation/Logging.h"
#include "tests/support/IsolatedEnvironment.h"
#include "video/MultimediaEngine.h"

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kanvio::test {

// The shared films (see tools/mkproject/FilmMaker.cpp), made when missing.
std::string Film(const std::string& name);

// The films with frame numbers of every film class (MakeExactnessMedia), by name.
std::string ExactFilm(const std::string& name);
// The frame number written into the picture, -1 when none can be read.
int FrameNumberOf(const QImage& picture);

// A film's file name as a test name: letters and digits kept, the rest '_'.
std::string FilmTestName(const std::string& film);

// Handles the UI thread's events (the engine's posted frames and end of film) for a while.
void RunEventsFor(int milliseconds);
// Handles events until done() holds or timeoutMs have passed; then what done() says.
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = 20000);

// Decodes frame number index of film with ffmpeg, the reference for exact seeking.
QImage ReferenceFrame(const std::string& film, int index);
// Mean absolute difference of the colour channels, 0..255; 255 for different sizes.
double MeanDifference(const QImage& a, const QImage& b);

// Plays a loaded film from 1 s and pauses at once, several times: each time the film must
// come to stand within half a second and stay there.
void ExpectPauseRightAfterPlayHolds(TMMEngine& engine);

// An isolated environment with a debug log and the build's filter files.
class EngineTest : public IsolatedTest {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string LogText() const;
    bool LogHas(const std::string& line) const;
    int CountInLog(const std::string& line) const;
    // Copies the build's filters folder into the test's program folder.
    void UseFilterCopy();
    std::filesystem::path FilterFile(const std::string& name) const;

    TFixedEngineSettings settings{0};
    std::string logFile;
};

} // namespace kanvio::test
