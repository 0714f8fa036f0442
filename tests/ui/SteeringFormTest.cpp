// The control window against the real player context, with the video window replaced by
// the recording fake of the context's tests: tolerance of the slider, skips, ranges and
// labels, the film-part strip, enabling, the speed menu and the stored values.

#include "ui/SteeringForm.h"

#include "core/KanvioContext.h"
#include "core/TimeText.h"
#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

class SteeringLayout final : public IPlayerWindows {
public:
    void CreatePlayerWindows() override {}
    IVideoWindow* Video() override { return &video; }
    IPlayerControls* Controls() override { return form; }
    void ShowPlayerWindows() override {}
    void CloseSplash() override {}
    void DestroyPlayerWindows() override {}
    FakeVideo video;
    TSteeringForm* form = nullptr;
};

class SteeringFormTest : public ContextTest {
protected:
    void SetUp() override {
        sources.model.Reaches = {MakeStructure('H', "R1", {"00:10:00", "00:20:00"}, "7"),
                                 MakeStructure('H', "R2", {"01:00:00"}, "8")};
        WriteFile(env.programFolder() / "Kanvio.dat", "x");
        WriteSettings("[DATA]\nLinear=" + linear +
                      "\n[FILME]\nCount=3\n"
                      "1=f1.mpg;00:10:00;00:20:00;600;H;7\n"
                      "2=f2.mpg;00:20:00;00:30:00;600;H;7\n"
                      "3=f3.mpg;01:00:00;01:00:00;0;H;8\n");
        context = CreateContext();
        form = std::make_unique<TSteeringForm>(*context);
        layout.form = form.get();
        context->SetPlayerWindows(&layout);
        context->CurrentStructure = context->Reaches[0].get();
    }
    FakeVideo& video() { return layout.video; }
    QRgb StripPixel(int x) const { return form->FilmPartStrip().pixel(x, 4) & 0xFFFFFF; }

    std::string linear = "1.0";
    std::unique_ptr<TKanvioContext> context;
    SteeringLayout layout;
    std::unique_ptr<TSteeringForm> form;
};

constexpr QRgb kFill = 0x6A99E8; // Windows colour 15243626: red 106, green 153, blue 232

TEST_F(SteeringFormTest, CreationPlacesTheControlsAtTheirDesignValues) {
    EXPECT_EQ(form->LastRequestedPosition(), -1);
    EXPECT_FLOAT_EQ(form->PlaySpeed(), 1.0f);
    // Below the main window's first-start frame, which grows with the font.
    EXPECT_EQ(form->pos(), ThreeWindowDefaults(DesignFontScale()).Controls);
    EXPECT_EQ(form->InfoPanel()->geometry(), QRect(8, 45, 601, 65));
    EXPECT_EQ(form->TrackBar()->geometry(), QRect(1, 16, 599, 28));
    EXPECT_EQ(form->picRanges()->geometry().left(), 11);
    EXPECT_EQ(form->picRanges()->width(), 579);
    EXPECT_EQ(form->DZoomBar()->minimum(), 10);
    EXPECT_EQ(form->DZoomBar()->maximum(), 30);
    EXPECT_EQ(form->DZoomBar()->value(), 10);
    EXPECT_EQ(form->SpEdtJump()->minimum(), 1);
    EXPECT_EQ(form->SpEdtJump()->maximum(), 99);
    EXPECT_EQ(form->TrackTimer()->interval(), 1000);
    EXPECT_FALSE(form->TrackTimer()->isActive());
    EXPECT_EQ(form->OffButton()->toolTip(), "_TurnOff");
    EXPECT_EQ(form->ZoomLbl()->text(), "_DigitalZoom");
    EXPECT_EQ(form->InSlot()->text(), "Film Name");
    for (QToolButton* button :
         {form->SaveImageButton(), form->PrintImageButton(), form->TimeCorrButton()}) {
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    }
    EXPECT_FALSE(form->btColorSettings()->isEnabled());
    EXPECT_FALSE(form->btColorSettings()->isHidden());
    QStringList speeds;
    for (QAction* item : form->PopupMenu2()->actions()) {
        speeds << item->text() + "/" + item->data().toString();
    }
    EXPECT_EQ(speeds.join(" ").toStdString(), "x 0.5/5 x 1/10 x 2/20 x 3/30 x 4/40 x 5/50");

    form->show();
    // The design grown as a whole for the font in use.
    const double scale = FontScale(form->Controls()->font());
    const auto grown = [scale](int design) {
        return int(std::lround(design * scale));
    };
    EXPECT_EQ(form->InfoPanel()->width(), grown(8 + 601) - grown(8));
    EXPECT_EQ(form->DZoomBar()->x(), form->InfoPanel()->width() + 16);
    EXPECT_EQ(form->width(), std::max(form->InfoPanel()->width() + form->DZoomBar()->width() + 32,
                                      form->CassSlot()->x() + form->CassSlot()->width() + 32));
    EXPECT_EQ(form->height(), ScaledDesignLength(120, scale));
    EXPECT_EQ(form->SpEdtJump()->value(), 10);
    EXPECT_FALSE(form->close());
}

TEST_F(SteeringFormTest, LargerFontGrowsTheWindowAsAWhole) {
    form->show();
    const QSize usual = form->size();
    const QRect usualPanel = form->InfoPanel()->geometry();
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSizeF(original.pointSizeF() * 1.5);
    QApplication::setFont(large);
    TSteeringForm grown(*context);
    grown.show();
    QApplication::setFont(original);
    const double ratio = FontScale(large) / FontScale(original);
    ASSERT_GT(ratio, 1.2);
    EXPECT_NEAR(double(grown.height()) / usual.height(), ratio, 0.05);
    EXPECT_NEAR(double(grown.InfoPanel()->height()) / usualPanel.height(), ratio, 0.05);
    EXPECT_NEAR(double(grown.InfoPanel()->y()) / usualPanel.y(), ratio, 0.05);
    EXPECT_GT(grown.width(), usual.width());
    // Every control still inside the window, the buttons side by side as designed.
    for (QWidget* control : grown.Controls()->findChildren<QWidget*>()) {
        if (control->isVisibleTo(&grown) && !control->isWindow()) {
            const QRect inWindow(control->mapTo(&grown, QPoint(0, 0)), control->size());
            EXPECT_TRUE(grown.rect().contains(inWindow)) << control->objectName().toStdString();
        }
    }
    EXPECT_EQ(grown.PlayButton()->geometry().right() + 1, grown.PauseButton()->x());
    grown.Destroy();
}

TEST_F(SteeringFormTest, StoredValuesAreReadPulledBackAndWritten) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    WriteRegInteger("", "CtrlLeft", 9000);
    WriteRegInteger("", "CtrlTop", 2000);
    WriteRegInteger("", "Seconds", 250); // beyond the skip step's range
    TSteeringForm stored(*context);
    // The whole window comes onto the screen.
    EXPECT_EQ(stored.pos(), QPoint(std::max(0, screen.width() - stored.width()),
                                   screen.height() - stored.height()));
    stored.show();
    EXPECT_EQ(stored.SpEdtJump()->value(), 99);
    stored.move(12, 34);
    stored.SpEdtJump()->setValue(5);
    stored.Destroy();
    EXPECT_EQ(ReadRegInteger("", "CtrlLeft", -1), 12);
    EXPECT_EQ(ReadRegInteger("", "CtrlTop", -1), 34);
    EXPECT_EQ(ReadRegInteger("", "Seconds", -1), 5);
}

TEST_F(SteeringFormTest, SliderSeeksOnlyBeyondTheToleranceOfTheSpeed) {
    context->SeekPosition(false, 600);
    ASSERT_EQ(video().loads.size(), 1u);
    struct Case {
        int speedTag; // 0: the Play button's speed
        int move;
        bool seeks;
    };
    const Case cases[] = {{0, 2, false},  {0, 3, true},    {0, -3, true},  {5, 1, false},
                          {5, 2, true},   {50, 10, false}, {50, 11, true}, {50, -11, true},
                          {30, 6, false}, {30, 7, true}};
    for (const Case& c : cases) {
        if (c.speedTag != 0) {
            form->x051Click(c.speedTag);
        }
        video().positionMs = 300000; // 00:15:00
        form->TrackBarTimer();
        const size_t seeksBefore = video().seeks.size();
        form->TrackBar()->setValue(900 + c.move);
        EXPECT_EQ(video().seeks.size() > seeksBefore, c.seeks)
            << "speed tag " << c.speedTag << ", move " << c.move;
        EXPECT_EQ(form->LastRequestedPosition(), 900 + c.move);
    }
    form->PlayButtonClick();
    EXPECT_FLOAT_EQ(form->PlaySpeed(), 3.0f) << "the Play button keeps the chosen speed";
    EXPECT_EQ(video().speeds.back(), 1.0);
}

TEST_F(SteeringFormTest, RefreshNeverSeeksEvenBeyondTheSliderRange) {
    context->SeekPosition(false, 600);
    const size_t seeks = video().seeks.size();
    for (int64_t ms : {0LL, 120000LL, 599000LL, 700000LL, 5000000LL}) { // past the range too
        video().positionMs = ms;
        form->TrackBarTimer();
        EXPECT_EQ(form->LblTime()->text().toStdString(), SecondsToTimeText(600 + ms / 1000));
    }
    EXPECT_EQ(video().seeks.size(), seeks);
    EXPECT_EQ(form->TrackBar()->value(), form->TrackBar()->maximum());
    form->ShowTrackRange(2000, 3000, 10); // the value clamps to the new range
    EXPECT_EQ(video().seeks.size(), seeks);
}

TEST_F(SteeringFormTest, SkipsGoByTheStepWithoutClamping) {
    context->SeekPosition(false, 600);
    form->SpEdtJump()->setValue(10);
    video().positionMs = 5000;
    form->SkipForwardButtonClick();
    EXPECT_EQ(form->LastRequestedPosition(), 615);
    EXPECT_EQ(video().seeks.back(), 15000);

    form->ShowTrackRange(0, 3600, 36); // a slider at 5: the step reaches before 0
    video().positionMs = 5000;
    context->FilmPartStart = 0;
    form->SkipbackButtonClick();
    EXPECT_EQ(form->LastRequestedPosition(), -5);
}

TEST_F(SteeringFormTest, RangesLabelsAndTheFilmPartStrip) {
    form->ShowFilmParts({"00000600=00001800"});
    EXPECT_EQ(form->TrackBar()->minimum(), 600);
    EXPECT_EQ(form->TrackBar()->maximum(), 1800);
    EXPECT_EQ(form->LabelNull()->text(), "00:10:00");
    EXPECT_EQ(form->TrackMaxLabel()->text(), "00:30:00");
    for (int x : {1, 200, 577}) {
        EXPECT_EQ(StripPixel(x), kFill) << x;
    }
    EXPECT_EQ(form->FilmPartStrip().pixel(0, 4) & 0xFFFFFF, 0x646464u);
    EXPECT_EQ(form->FilmPartStrip().size(), form->picRanges()->size());

    // Two parts with a gap: the gap stays white.
    form->ShowFilmParts({"00000600=00001200", "00001500=00001800"});
    EXPECT_EQ(StripPixel(100), kFill);
    EXPECT_EQ(StripPixel(330), 0xFFFFFFu);
    EXPECT_EQ(StripPixel(500), kFill);

    // A range without length and a text that is no range: nothing divides by zero.
    form->ShowFilmParts({"00003600=00003600"});
    EXPECT_EQ(form->TrackBar()->minimum(), 3600);
    EXPECT_EQ(form->TrackBar()->maximum(), 3600);
    EXPECT_EQ(StripPixel(300), kFill);
    form->ShowFilmParts({"garbage"});
    EXPECT_EQ(form->TrackBar()->minimum(), 3600);

    form->ShowTrackRange(600, 4200, 36);
    EXPECT_EQ(form->TrackBar()->minimum(), 600);
    EXPECT_EQ(form->TrackBar()->maximum(), 4200);
    EXPECT_EQ(form->TrackBar()->tickInterval(), 36);
    EXPECT_EQ(form->TrackMaxLabel()->text(), "01:10:00");
}

TEST_F(SteeringFormTest, RangeLabelsScaleByTheLinearFactorTheTimeLabelDoesNot) {
    context->LinearFactor = 2.0;
    form->ShowTrackRange(0, 3600, 36);
    EXPECT_EQ(form->TrackMaxLabel()->text(), "00:30:00");
    context->SeekPosition(false, 600);
    video().positionMs = 0;
    form->TrackBarTimer();
    EXPECT_EQ(form->LblTime()->text(), "00:10:00");
}

TEST_F(SteeringFormTest, FilmStructureWithAOneSecondPartLoadsWithoutDividingByZero) {
    context->CurrentStructure = context->Reaches[1].get();
    context->SeekDetail(-1);
    EXPECT_EQ(video().loads.back(), "f3.mpg");
    EXPECT_EQ(form->TrackBar()->minimum(), 3600);
    EXPECT_EQ(form->TrackBar()->maximum(), 3600);
    EXPECT_EQ(StripPixel(10), kFill);
}

TEST_F(SteeringFormTest, ThePictureButtonFollowsTheFilmAndIsLockedWithTheOthers) {
    const std::initializer_list<QWidget*> controls = {
        form->TrackBar(),        form->PlayButton(),       form->PauseButton(),
        form->StopButton(),      form->SkipBackButton(),   form->SkipForwardButton(),
        form->SaveImageButton(), form->PrintImageButton(), form->TimeCorrButton(),
        form->SpEdtJump(),       form->CBxFastView(),      form->DZoomBar()};
    form->EnableControls(false);
    for (QWidget* control : controls) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_TRUE(form->OffButton()->isEnabled());
    // The trailer: a film with picture properties, every control locked.
    form->SetFilmName("_Trailer", true);
    EXPECT_FALSE(form->btColorSettings()->isEnabled()) << "locked with the others";
    form->EnableControls(true);
    for (QWidget* control : controls) {
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_TRUE(form->btColorSettings()->isEnabled()) << "unlocked, the film has a picture";
    form->SetFilmName("Film \xE4.mpg", false);
    EXPECT_EQ(form->InSlot()->text(), QString::fromUtf8("Film ä.mpg"));
    EXPECT_FALSE(form->btColorSettings()->isEnabled()) << "the picture button follows the film";
    form->EnableControls(true);
    EXPECT_FALSE(form->btColorSettings()->isEnabled());
    form->SetFilmName("Film \xE4.mpg", true);
    EXPECT_TRUE(form->btColorSettings()->isEnabled());
}

TEST_F(SteeringFormTest, PausedBySpaceThePlayButtonIsReleased) {
    context->SeekPosition(false, 900);
    context->HandleKey(32, false);
    EXPECT_TRUE(form->PlayButton()->isChecked());
    context->HandleKey(32, false);
    EXPECT_FALSE(context->Playing);
    EXPECT_FALSE(form->PlayButton()->isChecked()) << "paused, the Play button shows playing";
    context->HandleKey(32, false);
    form->StopButtonClick(); // stopping leaves both buttons released
    EXPECT_FALSE(form->PlayButton()->isChecked());
    EXPECT_FALSE(form->PauseButton()->isChecked());
}

TEST_F(SteeringFormTest, StopReturnsToTheStructureStartAndLeavesThePlayerPaused) {
    context->SeekPosition(false, 900);
    context->Play(1.0);
    EXPECT_TRUE(form->TrackTimer()->isActive());
    form->SetFastView(true);
    video().calls.clear();
    form->StopButtonClick();
    EXPECT_EQ(video().calls, (std::vector<std::string>{"stop", "front", "pause"}));
    EXPECT_EQ(video().seeks.back(), 400);
    EXPECT_FALSE(context->Playing);
    EXPECT_FALSE(form->TrackTimer()->isActive());
    EXPECT_FALSE(form->CBxFastView()->isChecked());
    EXPECT_FALSE(form->PlayButton()->isChecked());
    EXPECT_FALSE(form->PauseButton()->isChecked());
}

TEST_F(SteeringFormTest, PauseButtonTogglesByThePlayingFlag) {
    context->SeekPosition(false, 600);
    form->PauseButtonClick();
    EXPECT_TRUE(context->Playing);
    EXPECT_TRUE(form->PlayButton()->isChecked());
    form->SetFastView(true);
    form->PauseButtonClick();
    EXPECT_FALSE(context->Playing);
    EXPECT_TRUE(form->PauseButton()->isChecked());
    EXPECT_FALSE(form->PlayButton()->isChecked());
    EXPECT_FALSE(form->CBxFastView()->isChecked());
}

TEST_F(SteeringFormTest, ZoomBarSetsFactorsFromOneToThree) {
    form->DZoomBar()->setValue(10); // the start value: no change
    EXPECT_TRUE(video().zooms.empty());
    for (int position : {15, 30, 20, 10}) {
        form->DZoomBar()->setValue(position);
        ASSERT_FALSE(video().zooms.empty());
        EXPECT_FLOAT_EQ(video().zooms.back(), position / 10.0f);
    }
    EXPECT_EQ(video().zooms.size(), 4u);
}

} // namespace
} // namespace kanvio::test
