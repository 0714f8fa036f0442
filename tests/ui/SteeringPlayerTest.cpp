// The control window driving the real player context and the real engine on generated
// films: slider and position, transport buttons, film changes at the end of a film and
// by the keys, skips at both ends of the project, fast view, speed menu and zoom.

#include "core/TimeText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/SteeringForm.h"
#include "video/VideoDisplayWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

using SteeringPlayerTest = PlayerWindowsTest;

std::string LoadedFilm(TScreenForm& screen) {
    return ExtractFileName(screen.Engine()->FileName());
}

TEST_F(SteeringPlayerTest, SliderMovesSeekTheEngineAndTheRefreshFollowsIt) {
    StartPlayer();
    context->SeekDetail(-1);
    ASSERT_EQ(LoadedFilm(screen()), "f1.mpg");
    EXPECT_EQ(steering().TrackBar()->minimum(), 0);
    EXPECT_EQ(steering().TrackBar()->maximum(), 8);

    struct Case {
        int slider;
        const char* film; // the film loaded afterwards
        int64_t position; // the context's position afterwards
    };
    const Case cases[] = {
        {3, "f1.mpg", 3}, // beyond the two-second window: seeks
        {6, "f2.mpg", 6}, // into the structure's second film: loads it
        {7, "f2.mpg", 6}, // within the window around 6: no seek
        {1, "f1.mpg", 1}, // back into the first film
    };
    for (const Case& c : cases) {
        steering().TrackBar()->setValue(c.slider);
        EXPECT_EQ(LoadedFilm(screen()), c.film) << "slider " << c.slider;
        EXPECT_EQ(context->GetCurrentPosition(), c.position) << "slider " << c.slider;
        steering().TrackBarTimer();
        EXPECT_EQ(steering().TrackBar()->value(), c.position) << "slider " << c.slider;
        EXPECT_EQ(steering().LblTime()->text().toStdString(), SecondsToTimeText(c.position));
    }
    EXPECT_EQ(steering().InSlot()->text(), "f1.mpg");
}

TEST_F(SteeringPlayerTest, TransportButtonsReachTheEngine) {
    StartPlayer();
    context->SeekDetail(-1);
    steering().PlayButton()->click();
    EXPECT_TRUE(context->Playing);
    EXPECT_TRUE(steering().PlayButton()->isChecked());
    EXPECT_FALSE(steering().PauseButton()->isChecked());
    EXPECT_TRUE(steering().TrackTimer()->isActive());
    ASSERT_TRUE(WaitUntil([&] { return screen().GetCurrentPosition() >= 10'000'000; }))
        << "the film does not play";

    const int64_t pausedAt = screen().GetCurrentPosition();
    steering().PauseButton()->click();
    EXPECT_FALSE(context->Playing);
    EXPECT_TRUE(steering().PauseButton()->isChecked());
    EXPECT_FALSE(steering().TrackTimer()->isActive());
    // The film stands within a few frames of where it was paused, and stays there.
    ProcessEventsFor(300);
    const int64_t settled = screen().GetCurrentPosition();
    EXPECT_LT(settled, pausedAt + 5'000'000);
    ProcessEventsFor(300);
    EXPECT_EQ(screen().GetCurrentPosition(), settled) << "a paused film kept moving";
    EXPECT_EQ(LoadedFilm(screen()), "f1.mpg");

    steering().PauseButton()->click(); // resumes
    EXPECT_TRUE(context->Playing);
    steering().StopButton()->click(); // back to the start of the structure, paused
    EXPECT_FALSE(context->Playing);
    EXPECT_FALSE(steering().PlayButton()->isChecked());
    EXPECT_FALSE(steering().PauseButton()->isChecked());
    EXPECT_FALSE(steering().TrackTimer()->isActive());
    EXPECT_EQ(LoadedFilm(screen()), "f1.mpg");
    EXPECT_LT(screen().GetCurrentPosition(), 10'000'000);
    EXPECT_GE(CountInLog("MMEngine->PlayMovie: Success"), 2);
    EXPECT_GE(CountInLog("MMEngine->StopMovie: Success"), 1);
}

TEST_F(SteeringPlayerTest, EndOfAFilmMovesToTheNextFilmOnce) {
    StartPlayer();
    context->SeekDetail(-1);
    steering().TrackBar()->setValue(3);
    steering().PlayButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return context->FilmIndex == 1; })) << "the film never ended";
    EXPECT_EQ(LoadedFilm(screen()), "f2.mpg");
    ProcessEventsFor(500);
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(CountInLog("Playing 1 film"), 1);
    EXPECT_EQ(CountInLog("Playing 2 film"), 0);
}

TEST_F(SteeringPlayerTest, EndOfAReplacedFilmNeverMovesThePlayerAgain) {
    StartPlayer();
    context->SeekDetail(-1);
    context->SeekPosition(false, 3);
    context->Play(1.0);
    // Let the film end without handling events, so that its end waits in the queue.
    int64_t last = -1;
    for (int i = 0; i < 400 && screen().Engine()->GetCurrentPosition() != last; ++i) {
        last = screen().Engine()->GetCurrentPosition();
        QThread::msleep(100);
    }
    QThread::msleep(300);
    context->NextFilm(); // the user steps on before the end was handled
    ASSERT_EQ(context->FilmIndex, 1);
    ProcessEventsFor(500);
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(LoadedFilm(screen()), "f2.mpg");
    EXPECT_EQ(CountInLog("Playing 2 film"), 0);
}

TEST_F(SteeringPlayerTest, EndOfStreamDuringAFilmLoadIsLeftToTheLoad) {
    StartPlayer();
    context->SeekDetail(-1);
    context->Seeking = true; // a film load is under way
    screen().Engine()->OnComplete();
    EXPECT_EQ(context->FilmIndex, 0);
    context->Seeking = false;
    screen().Engine()->OnComplete();
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(LoadedFilm(screen()), "f2.mpg");
}

TEST_F(SteeringPlayerTest, SkipsAndFilmStepsAtBothEndsOfTheProject) {
    StartPlayer();
    context->SeekDetail(-1);
    steering().SpEdtJump()->setValue(3);
    struct Step {
        const char* what;
        std::function<void()> act;
        int filmIndex;
        const char* film;
        const char* filmField;
    };
    const Step steps[] = {
        {"page up on the first film", [&] { context->HandleKey(33, false); }, 0, "f1.mpg",
         "f1.mpg"},
        {"skip forward", [&] { steering().SkipForwardButtonClick(); }, 0, "f1.mpg", "f1.mpg"},
        {"page down", [&] { context->HandleKey(34, false); }, 1, "f2.mpg", "f2.mpg"},
        {"page down into the connection", [&] { context->HandleKey(34, false); }, 2, "f3.mpg",
         "f3.mpg"},
        {"page down on the last film", [&] { context->HandleKey(34, false); }, 2, "f3.mpg",
         "f3.mpg"},
        {"skip past the end",
         [&] {
             steering().TrackBar()->setValue(11);
             steering().SkipForwardButtonClick();
         },
         2, "f3.mpg", "_NoMovieFound"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(context->FilmIndex, step.filmIndex) << step.what;
        EXPECT_EQ(LoadedFilm(screen()), step.film) << step.what;
        EXPECT_EQ(steering().InSlot()->text().toStdString(), step.filmField) << step.what;
    }
    EXPECT_EQ(context->CurrentStructure, context->Connections[0].get());
    EXPECT_EQ(steering().TrackBar()->minimum(), 8);
    EXPECT_EQ(steering().TrackBar()->maximum(), 12);

    // After a position without a film the structure's film is searched again.
    steering().TrackBar()->setValue(8);
    EXPECT_EQ(steering().InSlot()->text(), "f3.mpg");
    EXPECT_EQ(context->GetCurrentPosition(), 8);

    // Skipping back before the project's start: no film there, the video keeps its film.
    context->CurrentStructure = context->Reaches[0].get();
    context->SeekDetail(-1);
    steering().SkipbackButtonClick();
    EXPECT_EQ(steering().LastRequestedPosition(), -3);
    EXPECT_EQ(steering().InSlot()->text(), "_NoMovieFound");
    EXPECT_EQ(LoadedFilm(screen()), "f1.mpg");
}

TEST_F(SteeringPlayerTest, FastViewSkipsAheadUntilSwitchedOff) {
    StartPlayer();
    context->SeekDetail(-1);
    steering().SpEdtJump()->setValue(3);
    context->HandleKey(65, false); // "A"
    EXPECT_TRUE(steering().IsFastViewOn());
    EXPECT_TRUE(steering().CBxFastView()->isChecked());
    EXPECT_EQ(steering().TimerFastView()->interval(), 1500);
    steering().TimerFastViewTimer();
    EXPECT_EQ(context->GetCurrentPosition(), 3);
    steering().TimerFastViewTimer();
    EXPECT_EQ(context->GetCurrentPosition(), 6);
    EXPECT_EQ(LoadedFilm(screen()), "f2.mpg");

    steering().CBxFastView()->setChecked(false); // not by a click: the next tick stops it
    EXPECT_TRUE(steering().IsFastViewOn());
    steering().TimerFastViewTimer();
    EXPECT_FALSE(steering().IsFastViewOn());
    EXPECT_EQ(context->GetCurrentPosition(), 6);

    steering().CBxFastView()->click(); // a click starts and stops at once
    EXPECT_TRUE(steering().IsFastViewOn());
    steering().CBxFastView()->click();
    EXPECT_FALSE(steering().IsFastViewOn());
}

TEST_F(SteeringPlayerTest, SpeedMenuPlaysAtTheChosenRateAndZoomBarZooms) {
    StartPlayer();
    context->SeekDetail(-1);
    QAction* twice = steering().PopupMenu2()->actions().at(2);
    ASSERT_EQ(twice->text(), "x 2");
    twice->trigger();
    EXPECT_FLOAT_EQ(steering().PlaySpeed(), 2.0f);
    EXPECT_TRUE(context->Playing);
    EXPECT_EQ(CountInLog("MMEngine->SetSpeed: 2"), 1);
    EXPECT_EQ(CountInLog("MMEngine->SetSpeed Result 00000000"), 1);
    context->Pause();

    steering().DZoomBar()->setValue(20); // factor 2 on 352 x 288
    EXPECT_EQ(screen().VideoWindow()->SourceRect(), QRect(QPoint(88, 72), QPoint(263, 215)));
    steering().DZoomBar()->setValue(10);
    EXPECT_EQ(screen().VideoWindow()->SourceRect(), QRect(QPoint(0, 0), QPoint(351, 287)));
    EXPECT_FLOAT_EQ(context->ZoomFactor, 1.0f) << "the zoom keys' factor is not the bar's";
}

TEST_F(SteeringPlayerTest, FilmMissingFromTheMediumIsReportedAndNothingRunsOn) {
    StartPlayer();
    context->SeekDetail(-1);
    std::filesystem::remove(projectFolder() / "f2.mpg");
    context->Play(1.0);
    context->NextFilm();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second, "_NoFileError\nf2.mpg"); // names the film
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_TRUE(screen().VideoWindow()->Frame().isNull()) << "the old film's picture stays";
    EXPECT_EQ(screen().GetCurrentPosition(), 0);
    EXPECT_LT(screen().PlayMovie(), 0);
    const int loadsBefore = CountInLog("MMEngine->LoadMovie: Loading file");
    ProcessEventsFor(4500); // longer than the old film: its end must not step on
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_TRUE(screen().VideoWindow()->Frame().isNull());
    EXPECT_EQ(CountInLog("MMEngine->LoadMovie: Loading file"), loadsBefore);

    context->NextFilm(); // the next film is there and plays
    EXPECT_EQ(context->FilmIndex, 2);
    EXPECT_EQ(LoadedFilm(screen()), "f3.mpg");
    EXPECT_GE(screen().PlayMovie(), 0);
}

// A film that is there but cannot be played: its name shows over a black picture, not
// over the last frame of the film before.
TEST_F(SteeringPlayerTest, DamagedFilmShowsNoPictureOfThePreviousFilm) {
    StartPlayer();
    context->SeekDetail(-1);
    ASSERT_TRUE(WaitUntil([&] { return !screen().VideoWindow()->Frame().isNull(); }));
    WriteFile(projectFolder() / "f2.mpg", std::string(64 * 1024, '\x5A'));
    context->NextFilm();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(steering().InSlot()->text(), "f2.mpg");
    EXPECT_TRUE(screen().VideoWindow()->Frame().isNull()) << "the old film's picture stays";
    ProcessEventsFor(500);
    EXPECT_TRUE(screen().VideoWindow()->Frame().isNull());
}

TEST_F(SteeringPlayerTest, OffButtonShutsDownAndFreesBothWindows) {
    StartPlayer();
    context->SeekDetail(-1);
    QPointer<TScreenForm> screenWindow = layout->ScreenForm();
    QPointer<TSteeringForm> steeringWindow = layout->SteeringForm();
    int quits = 0;
    steering().QuitApplication = [&] {
        ++quits;
    };
    steering().SpEdtJump()->setValue(7);
    steering().OffButton()->click();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(context->ShutDownDone);
    EXPECT_EQ(layout->Video(), nullptr);
    EXPECT_EQ(layout->Controls(), nullptr);
    EXPECT_EQ(ReadRegInteger("", "Seconds", 0), 7);
    EXPECT_NE(ReadRegInteger("", "ScreenWidth", -1), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(screenWindow.isNull());
    EXPECT_TRUE(steeringWindow.isNull());
}

} // namespace
} // namespace kanvio::test
