// The single window of layouts 1 and 2 on the real player context and the real engine:
// the list of layout 2 selecting and seeking, the embedded controls, the enlargement of
// the video and closing, plus the fixed columns of the list's rows.

#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "tests/ui/SingleWindowTestFixture.h"
#include "ui/InspChoiceForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/SettingsCommands.h"
#include "ui/SteeringForm.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureLabels.h"
#include "ui/StructureTreeText.h"
#include "video/ColorControlForm.h"
#include "video/EmbeddedVideo.h"
#include "video/VideoDisplayWidget.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

std::string Trimmed(const QString& text) {
    return text.trimmed().toStdString();
}

class SingleFormTest : public SingleWindowFixture {
protected:
    std::string LoadedFilm() {
        return ExtractFileName(form->EmbeddedVideo()->Engine()->FileName());
    }
    TPlayerControlsWidget& controls() { return *form->PlayerControls(); }
};

TEST_F(SingleFormTest, ListShowsReachesFirstAndTheRadioButtonsSwitchIt) {
    Open(2);
    QTreeWidget& list = *form->lstStructures();
    EXPECT_TRUE(list.isVisibleTo(form.get()));
    EXPECT_FALSE(form->ScrollBox()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->InfoPanel()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Menus()->miReaches->menuAction()->isVisible());
    EXPECT_TRUE(form->HaltungRBtn()->isChecked());
    EXPECT_TRUE(form->AnschlussRBtn()->isEnabled());
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(Trimmed(list.topLevelItem(0)->text(0)).substr(0, 2), "R1");
    EXPECT_EQ(list.topLevelItem(0)->childCount(), 2);
    // The first reach is selected and its film loaded at start.
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
    EXPECT_TRUE(list.topLevelItem(0)->isExpanded());
    EXPECT_EQ(LoadedFilm(), "f1.mpg");

    form->AnschlussRBtn()->click();
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(Trimmed(list.topLevelItem(0)->text(0)).substr(0, 2), "C1");
}

TEST_F(SingleFormTest, DoubleClicksSeekToObservationsAndStructuresWithoutPlaying) {
    Open(2);
    QTreeWidget& list = *form->lstStructures();
    struct Case {
        const char* what;
        std::function<QTreeWidgetItem*()> item;
        const char* film;
        int64_t position;
        const char* structure;
    };
    const Case cases[] = {
        {"second observation of R1", [&] { return list.topLevelItem(0)->child(1); }, "f2.mpg", 6,
         "R1"},
        {"root row of R1", [&] { return list.topLevelItem(0); }, "f1.mpg", 0, "R1"},
        {"observation of C1",
         [&] {
             form->AnschlussRBtn()->click();
             return list.topLevelItem(0)->child(0);
         },
         "f3.mpg", 9, "C1"},
    };
    for (const Case& c : cases) {
        QTreeWidgetItem* item = c.item();
        ASSERT_NE(item, nullptr) << c.what;
        form->lstStructuresDblClick(item);
        EXPECT_EQ(LoadedFilm(), c.film) << c.what;
        EXPECT_EQ(context->GetCurrentPosition(), c.position) << c.what;
        EXPECT_EQ(context->CurrentStructure->ReachNumber == c.structure ||
                      context->CurrentStructure->ConnectionNumber == c.structure,
                  true)
            << c.what;
        EXPECT_FALSE(context->Playing) << c.what;
        EXPECT_EQ(list.currentItem(), item) << c.what;
    }
}

TEST_F(SingleFormTest, PlayerMovingIntoAnotherStructureSelectsItInTheList) {
    Open(2);
    QTreeWidget& list = *form->lstStructures();
    context->PlayFilmIndex(2); // the connection's film
    EXPECT_EQ(LoadedFilm(), "f3.mpg");
    EXPECT_TRUE(form->AnschlussRBtn()->isChecked());
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
    EXPECT_EQ(Trimmed(list.currentItem()->text(0)).substr(0, 2), "C1");
}

TEST_F(SingleFormTest, EmbeddedControlsDriveTheEngine) {
    Open(1);
    EXPECT_TRUE(form->ScrollBox()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->lstStructures()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->HaltungRBtn()->isEnabled());
    // The single window has no still-image, time-correction or picture buttons.
    EXPECT_FALSE(controls().SaveImageButton()->isVisibleTo(form.get()));
    EXPECT_FALSE(controls().DZoomBar()->isVisibleTo(form.get()));
    EXPECT_EQ(LoadedFilm(), "f1.mpg");
    EXPECT_EQ(controls().InSlot()->text(), "f1.mpg");
    EXPECT_EQ(controls().TrackBar()->maximum(), 8);

    controls().TrackBar()->setValue(6);
    EXPECT_EQ(LoadedFilm(), "f2.mpg");
    EXPECT_EQ(context->GetCurrentPosition(), 6);

    controls().PlayButton()->click();
    EXPECT_TRUE(context->Playing);
    EXPECT_TRUE(controls().TrackTimer()->isActive());
    ASSERT_TRUE(WaitUntil([&] { return form->GetCurrentPosition() >= 10'000'000; }))
        << "the film does not play";
    controls().PauseButton()->click();
    EXPECT_FALSE(context->Playing);
    controls().StopButton()->click(); // back to the start of the structure
    EXPECT_EQ(LoadedFilm(), "f1.mpg");
    EXPECT_EQ(context->GetCurrentPosition(), 0);

    controls().SpEdtJump()->setValue(3);
    controls().SkipForwardButton()->click();
    EXPECT_EQ(context->GetCurrentPosition(), 3);
}

// Layout 1 has the menus of the three windows, with its own reading of the label rows,
// and the settings, printing and choice items work there; layout 2 hides the structure
// menus.
TEST_F(SingleFormTest, GraphLayoutMenusReadLabelRowsOnAndWork) {
    WriteRegInteger("", "LabelH1", 4);
    WriteRegInteger("", "LabelH6", 4);
    Open(1);
    TMainFormMenus& menus = *form->Menus();
    ASSERT_FALSE(menus.ReachItems().empty());
    const TReachData& reach = *context->Reaches.front();
    const std::vector<int32_t> rows{4, 2, 3, 4, 5, 4, 1, 2, 3, 4, 5};
    EXPECT_EQ(menus.ReachItems().front()->text().replace("&&", "&").toStdString(),
              QString::fromLatin1(StructureMenuCaption(reach, TStructureKind::Reach,
                                                       context->InspectionInfo, rows,
                                                       context->DisplayConnectionMode))
                  .toStdString());
    EXPECT_EQ(menus.CheckedStructureItem(), menus.ReachItems().front());

    menus.ReachItems().back()->trigger();
    EXPECT_EQ(context->CurrentStructure, context->Reaches.back().get());
    EXPECT_EQ(menus.CheckedStructureItem(), menus.ReachItems().back());
    menus.miAdvanced->trigger();
    ASSERT_NE(form->Commands().ChoiceForm(), nullptr);
    EXPECT_TRUE(form->Commands().ChoiceForm()->isVisible());
    std::vector<std::string> dialogsShown;
    form->Commands().Settings().SetDialogRunner([&](QDialog& dialog) {
        dialogsShown.push_back(dialog.metaObject()->className());
        return int(QDialog::Rejected);
    });
    for (QAction* item : {menus.miCodecSettings, menus.miDefectClass, menus.miMenuLayout}) {
        item->trigger();
    }
    EXPECT_EQ(dialogsShown,
              (std::vector<std::string>{"kanvio::TCodecSettingsForm", "kanvio::TDefectClassForm",
                                        "kanvio::TInspInfoEditorForm"}));
}

// Observation rows of classes 1..5 take the class colour; other rows stay plain.
TEST_F(SingleFormTest, ListRowsTakeTheDefectClassColours) {
    TReachData& reach = *context->Reaches.front();
    ASSERT_EQ(reach.Details.size(), 2u);
    reach.Details[0].DefectClass = 9;
    reach.Details[1].DefectClass = 3;
    Open(2);
    const QTreeWidgetItem* root = form->lstStructures()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    const uint32_t colour = context->GetDefectClassColor(3);
    EXPECT_EQ(root->child(1)->foreground(0).color(),
              QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    EXPECT_EQ(root->child(0)->foreground(0), QBrush());
    EXPECT_EQ(root->foreground(0), QBrush());
}

// The video's context menu: picture adjustment offered as the engine allows it, and the
// panel it opens is bound to this window's engine.
TEST_F(SingleFormTest, VideoMenuOpensThePicturePanelOfItsEngine) {
    Open(1);
    form->miColorSettings()->setEnabled(false);
    Q_EMIT form->PopupMenu()->aboutToShow();
    ASSERT_TRUE(form->CanChangePictureProps());
    EXPECT_TRUE(form->miColorSettings()->isEnabled());
    const auto panels = [] {
        int visible = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            visible += qobject_cast<TColorControlForm*>(widget) != nullptr && widget->isVisible();
        }
        return visible;
    };
    EXPECT_EQ(panels(), 0);
    form->miColorSettings()->trigger();
    EXPECT_EQ(panels(), 1);
    form->close(); // the panel goes with the engine
    EXPECT_EQ(panels(), 0);
}

TEST_F(SingleFormTest, TrailerLocksTheStructureViewAndZoom) {
    Open(1);
    form->EnableControls(false);
    EXPECT_FALSE(form->ScrollBox()->isEnabled());
    EXPECT_FALSE(form->ZoomBtn()->isEnabled());
    EXPECT_FALSE(form->UmschaltPanel()->isEnabled());
    form->EnableControls(true);
    EXPECT_TRUE(form->ScrollBox()->isEnabled());
}

TEST_F(SingleFormTest, EnlargementFollowsTheScreenAndShrinksBack) {
    Open(1);
    struct Case {
        QSize screen;
        double factor;
        QSize enlarged; // the video after the first click
    };
    const Case cases[] = {
        {{1280, 1024}, 2.0, {704, 576}},
        {{1024, 768}, 1.6, {0, 0}}, // clamped to the screen's height below
        {{1000, 700}, 2.0, {0, 0}}, // button hidden, the double click still enlarges
        {{800, 600}, 0.0, {352, 288}},
    };
    for (const Case& c : cases) {
        form->ApplyScreenSize(c.screen);
        EXPECT_DOUBLE_EQ(form->EnlargeFactor(), c.factor) << c.screen.width();
        const QSize before = form->VideoWindow()->size();
        ASSERT_EQ(before, QSize(352, 288));
        form->ZoomBtnClick();
        const QSize after = form->VideoWindow()->size();
        if (!c.enlarged.isEmpty()) {
            EXPECT_EQ(after, c.enlarged) << c.screen.width();
        } else {
            EXPECT_GT(after.width(), before.width()) << c.screen.width();
            EXPECT_LE(after.height() + form->BedienPanel()->height() +
                          form->TrackBarPanel()->height() + 24,
                      c.screen.height())
                << c.screen.width();
        }
        if (c.factor == 0.0) {
            continue;
        }
        EXPECT_EQ(form->SavedVideoBounds().size(), after);
        EXPECT_GE(form->ClientArea()->width(), form->VideoWindow()->geometry().right());
        form->ZoomBtnClick();
        const QSize back = form->VideoWindow()->size();
        EXPECT_LE(std::abs(back.width() - before.width()), 1) << c.screen.width();
        EXPECT_LE(std::abs(back.height() - before.height()), 1) << c.screen.width();
        form->VideoWindow()->resize(before); // truncation may leave a pixel
    }
}

TEST_F(SingleFormTest, FullScreenHidesTheMenuAndEscBringsBackTheEnlargedVideo) {
    Open(1);
    form->ApplyScreenSize({1280, 1024});
    form->ZoomBtnClick();
    const QRect enlarged = form->VideoWindow()->geometry();
    ASSERT_EQ(enlarged.size(), QSize(704, 576));
    context->HandleKey(122, false); // F11
    ASSERT_TRUE(form->IsFullScreen());
    EXPECT_TRUE(form->Menus()->MainMenu->isHidden());
    EXPECT_TRUE(form->miFullScreen()->isChecked());
    EXPECT_GT(form->VideoWindow()->width(), enlarged.width());
    form->ZoomBtnClick();          // no enlargement while the video fills the screen
    context->HandleKey(27, false); // Esc
    EXPECT_FALSE(form->IsFullScreen());
    EXPECT_FALSE(form->Menus()->MainMenu->isHidden());
    EXPECT_FALSE(form->miFullScreen()->isChecked());
    EXPECT_EQ(form->VideoWindow()->geometry(), enlarged);
    context->HandleKey(27, false); // Esc outside full screen changes nothing
    EXPECT_FALSE(form->IsFullScreen());
}

TEST_F(SingleFormTest, ClosingStoresThePlaceAndTheSkipStepAndEndsThePlayer) {
    Open(1);
    controls().SpEdtJump()->setValue(7);
    form->EndeButton()->click();
    EXPECT_TRUE(context->ShutDownDone);
    EXPECT_EQ(ReadRegInteger("", "Seconds", 10), 7);
    EXPECT_EQ(ReadRegInteger("", "SingleLeft", -1), form->x());
    // The engine is gone: the player's late calls find no film.
    EXPECT_LT(form->PlayMovie(), 0);
    EXPECT_EQ(form->GetCurrentPosition(), 0);
}

TEST(StructureTreeTextTest, RowsKeepTheirColumns) {
    TReachData reach;
    reach.ObjectType = 'H';
    reach.ReachNumber = "R-0001";
    reach.date = "01.02.2020";
    reach.city = "Neustadt am Rhe"; // 15 characters: the street overwrites from column 45
    reach.street = "Hauptstr.";
    reach.StartManholeNumber = "S1";
    reach.EndManholeNumber = "ABCDEFGHIJKLMN"; // cut at the row's end
    const std::string row = StructureRowText(reach);
    ASSERT_EQ(row.size(), 106u);
    EXPECT_EQ(row.substr(0, 6), "R-0001");
    EXPECT_EQ(row.substr(21, 10), "01.02.2020");
    EXPECT_EQ(row.substr(32, 21), "Neustadt am Hauptstr.");
    EXPECT_EQ(row.substr(85, 2), "S1");
    EXPECT_EQ(row.substr(96), "ABCDEFGHIJ");

    TReachData connection;
    connection.ObjectType = 'A';
    connection.ReachNumber = "R-0002";
    EXPECT_EQ(StructureRowText(connection).substr(0, 6), "R-0002"); // no own number
    connection.ConnectionNumber = "A-17";
    EXPECT_EQ(StructureRowText(connection).substr(0, 6), "A-17  ");

    TReachDetail detail;
    detail.Distance = 12.345;
    detail.VideoTime = "00:01:02";
    detail.Text = std::string(60, 'x');
    const std::string observation = ObservationRowText(detail, "0.00", "m", '.', ',');
    ASSERT_EQ(observation.size(), 80u);
    EXPECT_EQ(observation.substr(0, 10), "12.35 m   ");
    EXPECT_EQ(observation.substr(10, 10), "00:01:02  ");
    EXPECT_EQ(observation.substr(20), std::string(50, 'x') + std::string(10, ' '));
}

} // namespace
} // namespace kanvio::test
