#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"

#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

// A reach with observations over three films of one structure, with a gap between the
// second and the third, and a fourth film of another structure.
class SeekingTest : public ContextTest {
protected:
    void SetUp() override {
        sources.model.Reaches = {
            MakeStructure('H', "R1", {"00:12:00", "00:21:00", "00:40:10"}, "7"),
            MakeStructure('H', "R2", {"01:00:30"}, "8")};
        WriteFile(env.programFolder() / "Kanvio.dat", "x");
        WriteSettings(settings);
        context = CreateContext();
        context->SetMainWindow(&main);
        context->SetPlayerWindows(&layout);
        context->CurrentStructure = context->Reaches[0].get();
    }
    FakeVideo& video() { return layout.video; }
    FakeControls& controls() { return layout.controls; }

    std::string settings = "[FILME]\nCount=4\n"
                           "1=f1.mpg;00:10:00;00:20:00;600;H;7\n"
                           "2=f2.mpg;00:20:00;00:30:00;600;H;7\n"
                           "3=f3.mpg;00:40:00;00:50:00;600;H;7\n"
                           "4=f4.mpg;01:00:00;01:10:00;600;H;8\n";
    std::unique_ptr<TKanvioContext> context;
    FakeMainWindow main;
    FakeLayout layout;
};

TEST_F(SeekingTest, FirstSeekLoadsTheFilmAndPositionsRelativeToItsStart) {
    context->SeekPosition(false, 610); // 10 s after the first film's start
    ASSERT_EQ(video().loads, std::vector<std::string>{"f1.mpg"});
    EXPECT_EQ(video().seeks, std::vector<int64_t>{10000});
    EXPECT_EQ(context->FilmIndex, 0);
    EXPECT_EQ(context->FilmPartStart, 600);
    EXPECT_EQ(context->FilmPartStop, 1200);
    EXPECT_EQ(context->FilmStartSeconds, 600);
    EXPECT_EQ(controls().filmNames.back(), "f1.mpg");
    EXPECT_EQ(controls().parts, (std::vector<std::string>{"00000600=00001200", "00001200=00001800",
                                                          "00002400=00003000"}));
    EXPECT_EQ(controls().followThumb, 1);
    EXPECT_FALSE(context->Seeking);
}

TEST_F(SeekingTest, SeekInsideTheLoadedFilmLoadsNothing) {
    context->SeekPosition(false, 610);
    context->SeekPosition(false, 900);
    context->SeekPosition(false, 600); // the film's own start is never set before 400 ms
    EXPECT_EQ(video().loads.size(), 1u);
    EXPECT_EQ(video().seeks, (std::vector<int64_t>{10000, 300000, 400}));
}

TEST_F(SeekingTest, LinearFactorScalesTheTimelineToFilmTime) {
    context->SeekPosition(false, 610);
    context->LinearFactor = 1.5;
    context->SeekPosition(false, 700);
    EXPECT_EQ(video().seeks.back(), static_cast<int64_t>((700 * 1.5 - 600) * 1000));
}

TEST_F(SeekingTest, GapsGoForwardToTheNextStartAndBackToTwoSecondsBeforeTheEnd) {
    context->SeekPosition(false, 1700); // film 2
    video().positionMs = 100000;        // now at 00:21:40
    context->SeekPosition(false, 2000); // forward into the gap
    EXPECT_EQ(video().loads.back(), "f3.mpg");
    EXPECT_EQ(video().seeks.back(), 400);
    EXPECT_EQ(context->FilmPartStart, 2400);

    video().positionMs = 60000;         // 00:41:00
    context->SeekPosition(false, 2100); // backward into the gap
    EXPECT_EQ(video().loads.back(), "f2.mpg");
    EXPECT_EQ(video().seeks.back(), (1798 - 1200) * 1000);
}

TEST_F(SeekingTest, PositionWithoutAFilmForgetsTheLoadedStructureKey) {
    context->SeekPosition(false, 610);
    context->CurrentStructure = context->Reaches[1].get();
    context->SeekPosition(false, 100); // film 4 lies after, but backwards nothing
    EXPECT_EQ(controls().filmNames.back(), "_NoMovieFound");
    EXPECT_EQ(context->FilmStructureID, "-1");
    EXPECT_EQ(context->FilmStructureType, "");
    EXPECT_EQ(video().loads.size(), 1u);
}

// A structure's film that starts the timeline at 00:00:00 is loaded like any other, both
// at the start and when coming back to it from another structure.
TEST_F(SeekingTest, FilmAtTheTimelineStartIsLoaded) {
    WriteSettings("[FILME]\nCount=2\n"
                  "1=f1.mpg;00:00:00;00:10:00;600;H;7\n"
                  "2=f4.mpg;01:00:00;01:10:00;600;H;8\n");
    context = CreateContext();
    context->SetMainWindow(&main);
    context->SetPlayerWindows(&layout);
    context->CurrentStructure = context->Reaches[0].get();
    context->SeekPosition(true, 0);
    EXPECT_EQ(video().loads, std::vector<std::string>{"f1.mpg"});
    context->CurrentStructure = context->Reaches[1].get();
    context->SeekPosition(true, 3600);
    context->CurrentStructure = context->Reaches[0].get();
    context->SeekPosition(true, 0);
    EXPECT_EQ(video().loads, (std::vector<std::string>{"f1.mpg", "f4.mpg", "f1.mpg"}));
    EXPECT_EQ(context->FilmIndex, 0);
}

TEST_F(SeekingTest, NoCurrentStructureMeansNoFilm) {
    context->CurrentStructure = nullptr;
    context->SeekPosition(false, 610);
    EXPECT_TRUE(video().loads.empty());
    EXPECT_EQ(controls().filmNames.back(), "_NoMovieFound");
}

TEST_F(SeekingTest, SeekWhileAFilmLoadsIsIgnoredAndThePositionComesFromTheCache) {
    int64_t reported = -1;
    video().onLoad = [&] {
        EXPECT_TRUE(context->Seeking);
        context->SeekPosition(false, 2500);
        reported = context->GetCurrentPosition();
    };
    video().positionMs = 5000; // the seek starts from 5 s into no film yet
    context->SeekPosition(false, 610);
    EXPECT_EQ(video().loads, std::vector<std::string>{"f1.mpg"});
    EXPECT_EQ(reported, 5);
    EXPECT_FALSE(context->Seeking);
}

TEST_F(SeekingTest, FailedLoadShowsItsMessageAndIsNotRetried) {
    struct Case {
        uint32_t code;
        const char* key;
    };
    const Case cases[] = {{0x8004F001u, "_NoCompatibleFilters"},
                          {0x8004F002u, "_NoCompatibleFiltersSys"},
                          {0x8004F003u, "_NoCompatibleFiltersPri"},
                          {0x8004F004u, "_NoCompatibleFiltersPre"},
                          {0x8004F005u, "_UnknownMovieFormat"},
                          {0x80004005u, "_ErrorLoadingFile"},
                          {0x8004F006u, "_StrategyError"},
                          {0x8004F007u, "_NoFileError"},
                          {0x80000001u, "_UnknownError"}};
    for (const Case& c : cases) {
        EXPECT_EQ(context->LoadErrorText(static_cast<TVideoResult>(c.code)), c.key);
    }
    video().loadResult = static_cast<TVideoResult>(0x8004F007u);
    context->SeekPosition(false, 610);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    // The text, then the film the player tried.
    const std::string& said = dialogs.messages[0].second;
    EXPECT_EQ(said.rfind("_NoFileError\n", 0), 0u) << said;
    EXPECT_NE(said.find(context->FilmName), std::string::npos) << said;
    EXPECT_FALSE(context->FilmName.empty());
    EXPECT_FALSE(context->Seeking);
    context->SeekPosition(false, 700);
    EXPECT_EQ(video().loads.size(), 1u);
}

TEST_F(SeekingTest, SeekDetailGoesToTheObservationOrTheFilmStart) {
    context->SeekDetail(-1);
    EXPECT_EQ(video().loads.back(), "f1.mpg");
    EXPECT_EQ(video().seeks.back(), 400);
    EXPECT_EQ(context->CurrentDetail.VideoTime, "00:12:00");
    context->SeekDetail(1);
    EXPECT_EQ(video().loads.back(), "f2.mpg");
    EXPECT_EQ(video().seeks.back(), 60000);
    context->SeekDetail(99); // beyond the last: the last observation
    EXPECT_EQ(context->CurrentDetail.VideoTime, "00:40:10");
    EXPECT_EQ(video().seeks.back(), 10000);
}

TEST_F(SeekingTest, SeekDetailWithADamagedTimeOnlyLogs) {
    context->Reaches[0]->Details[0].VideoTime = "xx:12:00";
    context->SeekDetail(0);
    EXPECT_TRUE(video().loads.empty());
    context->TrailerPlaying = true;
    context->SeekDetail(1);
    EXPECT_TRUE(video().loads.empty());
}

TEST_F(SeekingTest, TimeTextSeekLogsBadTextsOnly) {
    context->SeekPosition("00:10:30");
    EXPECT_EQ(video().seeks.back(), 30000);
    context->SeekPosition("not a time");
    EXPECT_EQ(video().seeks.size(), 1u);
}

TEST_F(SeekingTest, FilmStepsLoadNeighboursAndStopAtTheEnds) {
    context->SeekPosition(false, 610);
    context->PlayFilmIndex(1); // starts where film 1 stops: moved one second in
    EXPECT_EQ(video().loads.back(), "f2.mpg");
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(video().seeks.back(), 400);
    context->NextFilm();
    context->NextFilm(); // film 4 belongs to reach 8: the structure follows the film
    EXPECT_EQ(context->CurrentStructure, context->Reaches[1].get());
    EXPECT_EQ(video().loads.back(), "f4.mpg");
    EXPECT_EQ(main.calls.back(), "current");
    const size_t loads = video().loads.size();
    context->NextFilm(); // past the last film: nothing visible
    context->PlayFilmIndex(-1);
    EXPECT_EQ(video().loads.size(), loads);
}

TEST_F(SeekingTest, PlayFilmAndStructureSelection) {
    EXPECT_TRUE(context->SelectReach("R2"));
    EXPECT_EQ(context->CurrentStructure, context->Reaches[1].get());
    EXPECT_FALSE(context->SelectReach("nope"));
    EXPECT_FALSE(context->SelectConnection("R1"));
    EXPECT_TRUE(context->PlayFilm("f3.mpg", "00:41:00"));
    EXPECT_EQ(context->CurrentStructure, context->Reaches[0].get());
    EXPECT_EQ(video().loads.back(), "f3.mpg");
    EXPECT_EQ(video().seeks.back(), 60000);
    EXPECT_FALSE(context->PlayFilm("F3.MPG", "00:41:00"));
}

TEST_F(SeekingTest, CurrentPositionAddsTheTimeCorrectionOfTheFilm) {
    settings += "[TIMECORR_1]\n00:10:30=5\n";
    TearDown();
    context.reset();
    SetUp();
    context->SeekPosition(false, 610);
    video().positionMs = 45000;
    EXPECT_EQ(context->GetCurrentPosition(), 645);
    EXPECT_EQ(context->CurrentTimeCorrection, 5);
    video().positionMs = 20000;
    EXPECT_EQ(context->GetCurrentPosition(), 620);
    EXPECT_EQ(context->CurrentTimeCorrection, 0);
}

// The layout menu keeps the structure and the frame: the next layout's windows load the
// same film and seek to the same millisecond, without the trailer.
TEST_F(SeekingTest, LayoutSwitchComesBackToTheStructureAndTheFrame) {
    context->CurrentStructure = context->Reaches[0].get();
    context->SeekPosition(false, 1300); // film 2
    video().positionMs = 123456;
    EXPECT_FALSE(context->SwitchLayout(0)) << "the layout in use";
    EXPECT_FALSE(context->SwitchLayout(3));
    EXPECT_FALSE(context->SwitchLayout(-1));
    EXPECT_FALSE(context->ResumePending());
    context->HandleKey(39, true); // zoomed in by the keys
    ASSERT_TRUE(context->SwitchLayout(2));
    EXPECT_EQ(main.calls.back(), "close");
    EXPECT_EQ(context->LayoutMode, 0) << "until the old windows are gone";

    context->ShutDown(true); // the old main window closes
    ASSERT_TRUE(context->BeginPendingLayout());
    EXPECT_FALSE(context->BeginPendingLayout()) << "once";
    EXPECT_EQ(context->LayoutMode, 2);
    EXPECT_FALSE(context->ShutDownDone);
    EXPECT_EQ(context->FilmStructureID, "-1");
    EXPECT_EQ(context->ZoomFactor, 1.0f); // the new video starts unzoomed

    WriteFile(env.programFolder() / "kanvio.mpg", "x"); // a trailer stays unplayed
    video().loads.clear();
    video().seeks.clear();
    main.calls.clear();
    context->StartPlayer();
    EXPECT_FALSE(context->TrailerPlaying);
    EXPECT_TRUE(video().loads.empty());
    context->CurrentStructure = context->Reaches[1].get(); // a start-up choice would move
    ASSERT_TRUE(context->ResumeAfterLayoutSwitch());
    EXPECT_FALSE(context->ResumeAfterLayoutSwitch()) << "once";
    EXPECT_EQ(context->CurrentStructure, context->Reaches[0].get());
    EXPECT_EQ(video().loads, std::vector<std::string>{"f2.mpg"});
    ASSERT_FALSE(video().seeks.empty());
    EXPECT_EQ(video().seeks.back(), 123456);
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(main.calls.back(), "current");
}

// Without a film of the structure loaded (none found), the new windows start at the
// structure's start; without a structure, the start-up choice is left to the window.
TEST_F(SeekingTest, LayoutSwitchWithoutAFilmOrAStructure) {
    context->CurrentStructure = context->Reaches[1].get();
    ASSERT_TRUE(context->SwitchLayout(1));
    ASSERT_TRUE(context->BeginPendingLayout());
    EXPECT_TRUE(context->ResumeAfterLayoutSwitch());
    EXPECT_EQ(video().loads, std::vector<std::string>{"f4.mpg"});
    EXPECT_EQ(video().seeks, std::vector<int64_t>{400}); // 01:00:30 in film 4 from its start

    context->CurrentStructure = nullptr;
    ASSERT_TRUE(context->SwitchLayout(0));
    ASSERT_TRUE(context->BeginPendingLayout());
    EXPECT_FALSE(context->ResumeAfterLayoutSwitch());
}

class PlaybackTest : public SeekingTest {};

TEST_F(PlaybackTest, PlayPauseAndSpaceToggle) {
    context->HandleKey(32, false);
    EXPECT_TRUE(context->Playing);
    EXPECT_EQ(video().speeds, std::vector<double>{1.0});
    EXPECT_TRUE(controls().timer);
    EXPECT_TRUE(controls().playShown);
    context->HandleKey(32, false);
    EXPECT_FALSE(context->Playing);
    EXPECT_FALSE(controls().timer);
    EXPECT_FALSE(controls().playShown) << "paused by Space, the Play button is released";
    context->Play(0.5);
    EXPECT_EQ(video().speeds.back(), 0.5);
}

TEST_F(PlaybackTest, ZoomStepsStopAtTheLimitsInTenSteps) {
    for (int i = 0; i < 12; ++i) {
        context->HandleKey(39, true);
    }
    EXPECT_NEAR(context->ZoomFactor, 3.0f, 1e-5);
    EXPECT_EQ(video().zooms.size(), 12u);
    int steps = 0;
    while (context->ZoomFactor > 1.0f && steps < 20) {
        context->HandleKey(37, false);
        ++steps;
    }
    EXPECT_EQ(steps, 10);
    EXPECT_NEAR(context->ZoomFactor, 1.0f, 1e-5);
}

TEST_F(PlaybackTest, ThePicturePanelOpensOnCtrlKOnly) {
    context->HandleKey(75, false);
    EXPECT_TRUE(video().calls.empty());
    context->HandleKey(75, true);
    EXPECT_EQ(video().calls, std::vector<std::string>{"color panel"});
}

// The engine starts every film unzoomed at normal speed: after a film change it gets the
// zoom of the keys and the speed last chosen again, so picture and controls agree.
TEST_F(PlaybackTest, ZoomAndSpeedOutliveAFilmChange) {
    context->SeekPosition(false, 610);
    EXPECT_TRUE(video().zooms.empty()) << "unzoomed at normal speed, nothing to hand on";
    EXPECT_TRUE(video().speeds.empty());
    context->HandleKey(39, true);
    context->HandleKey(39, true);
    context->Play(2.0);
    video().zooms.clear();
    video().speeds.clear();
    context->SeekPosition(false, 1500); // into f2.mpg
    ASSERT_EQ(video().loads.back(), "f2.mpg");
    ASSERT_EQ(video().zooms.size(), 1u);
    EXPECT_NEAR(video().zooms[0], 1.4f, 1e-5);
    EXPECT_EQ(video().speeds, std::vector<double>{2.0});

    context->SeekPosition(false, 1600); // within the film: nothing to hand on
    EXPECT_EQ(video().zooms.size(), 1u);
    video().loadResult = static_cast<TVideoResult>(0x8004F005u);
    context->SeekPosition(false, 2500); // a film that fails to load gets nothing
    EXPECT_EQ(video().zooms.size(), 1u);
    EXPECT_EQ(video().speeds.size(), 1u);
}

TEST_F(PlaybackTest, KeysReachTheControlsAndTheVideo) {
    const std::pair<uint16_t, const char*> keys[] = {
        {66, "forward"}, {67, "pause"}, {86, "stop"}, {88, "play"}, {90, "back"}};
    size_t expectedClicks = 0;
    for (const auto& [key, click] : keys) {
        context->HandleKey(key, false);
        EXPECT_EQ(controls().clicks.back(), click);
        context->HandleKey(key, true); // with Ctrl these keys mean nothing
        EXPECT_EQ(controls().clicks.size(), ++expectedClicks);
    }
    context->HandleKey(65, false);
    EXPECT_TRUE(controls().fastView);
    context->HandleKey(27, false);
    EXPECT_FALSE(video().fullScreen);
    context->HandleKey(122, false);
    EXPECT_TRUE(video().fullScreen);
    context->HandleKey(27, false);
    EXPECT_FALSE(video().fullScreen);
}

TEST_F(PlaybackTest, StartWithoutTrailerShowsTheIdleState) {
    context->StartPlayer();
    EXPECT_EQ(layout.calls, (std::vector<std::string>{"create", "splash", "show"}));
    EXPECT_EQ(video().calls.front(), "priorities");
    EXPECT_EQ(main.calls, std::vector<std::string>{"list"});
    EXPECT_FALSE(context->TrailerPlaying);
    EXPECT_EQ(controls().timeLabel, "00:10:00");
    EXPECT_EQ(controls().filmNames.back(), "f1.mpg");
    EXPECT_EQ(controls().range, (std::vector<int64_t>{600, 4200, 24}));
}

TEST_F(PlaybackTest, TrailerDisablesTheControlsUntilItEnds) {
    WriteFile(env.programFolder() / "Kanvio.MPG", "x");
    main.onSelectInitial = [&] {
        context->CurrentStructure = context->Reaches[0].get();
    };
    context->StartPlayer();
    EXPECT_TRUE(context->TrailerPlaying);
    EXPECT_EQ(video().loads.back(), (env.programFolder() / "Kanvio.MPG").string());
    EXPECT_FALSE(controls().enabled);
    EXPECT_FALSE(main.enabled);
    EXPECT_EQ(controls().filmNames.back(), "_Trailer");
    context->SeekDetail(0); // ignored while the trailer runs
    EXPECT_EQ(video().loads.size(), 1u);

    context->HandleKey(34, false); // Page Down ends the trailer
    EXPECT_FALSE(context->TrailerPlaying);
    EXPECT_TRUE(controls().enabled);
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(main.calls.back(), "initial");
    context->SeekDetail(0);
    EXPECT_EQ(video().loads.back(), "f1.mpg");
}

TEST_F(PlaybackTest, TrailerThatFailsToPlayStartsIdle) {
    WriteFile(env.programFolder() / "kanvio.mpg", "x");
    video().playResult = static_cast<TVideoResult>(0x80004005u);
    context->StartPlayer();
    EXPECT_FALSE(context->TrailerPlaying);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PlaybackTest, HelpOpensTheLanguageFileOrTheGermanFallback) {
    FakeDesktop desktop;
    TContextServices services;
    services.Dialogs = &dialogs;
    services.Desktop = &desktop;
    services.DataSources = &sources;
    TKanvioContext helpContext(services);
    helpContext.Create();
    WriteFile(env.programFolder() / "Kanvio.ini", "[Common]\r\nLanguage=en\r\n");
    helpContext.OpenHelp();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second, "_HelpFileNotFound");
    WriteFile(env.programFolder() / "de" / "help.html", "<html/>");
    helpContext.OpenHelp();
    EXPECT_EQ(desktop.opened.back(), (env.programFolder() / "de" / "help.html").string());
    WriteFile(env.programFolder() / "en" / "help_en.html", "<html/>");
    helpContext.OpenHelp();
    EXPECT_EQ(desktop.opened.back(), (env.programFolder() / "en" / "help_en.html").string());
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

} // namespace
} // namespace kanvio::test
