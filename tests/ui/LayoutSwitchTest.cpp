// The program's layout loop on the generated delivery with the real windows and engines:
// the layout menu takes the user from the three windows to the single window with list,
// on to the one with graph and back, and each layout shows the structure and the frame
// the one before showed, with the settings made in it.

#include "core/KanvioContext.h"
#include "tests/ui/MainFormTestFixture.h"
#include "ui/KanvioMainForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/PlayerControlsWidget.h"
#include "ui/SteeringForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

template <typename TWindow> TWindow* VisibleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<TWindow*>(widget);
        if (window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

class LayoutSwitchTest : public MainFormTestFixture {
protected:
    // The position of the layout's video, in 100-ns units.
    int64_t Position() {
        IVideoWindow* video = context_->CurrentVideo();
        return video != nullptr ? video->GetCurrentPosition() : -1;
    }
    // Checks that the layout shows what the one before showed.
    void ExpectSamePlace(int layout) {
        EXPECT_EQ(context_->LayoutMode, layout);
        EXPECT_EQ(context_->CurrentStructure, structure_) << "layout " << layout;
        // One frame of the 25 frames a second films.
        EXPECT_LE(std::llabs(Position() - position_), 400000) << "layout " << layout;
    }

    const TReachData* structure_ = nullptr;
    int64_t position_ = -1;
};

TEST_F(LayoutSwitchTest, EachLayoutComesBackToTheStructureAndTheFrame) {
    TKanvioContext& context = StartContext();
    context.SetPlayerWindows(nullptr); // the real windows of each layout
    ASSERT_GE(context.Reaches.size(), 2u);
    int step = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer driver;
    // Each step waits until its layout's window is up and no film is loading.
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (clock.elapsed() > 90000) {
            ADD_FAILURE() << "no window of step " << step;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                widget->close();
            }
            driver.stop();
            return;
        }
        if (context.Seeking) {
            return;
        }
        auto* main = VisibleWindow<TKanvioMainForm>();
        auto* single = VisibleWindow<TKanvioSingleForm>();
        switch (step) {
        case 0: // three windows: the second reach, its second observation
            if (main == nullptr) {
                return;
            }
            ASSERT_NE(VisibleWindow<TSteeringForm>(), nullptr);
            VisibleWindow<TSteeringForm>()->SpEdtJump()->setValue(7); // a setting to keep
            main->Commands().ReachItemClick(1);
            context.SeekDetail(1);
            context.Pause();
            structure_ = context.CurrentStructure;
            position_ = Position();
            EXPECT_GT(position_, 0);
            main->Menus()->miSingleFormTree->trigger();
            break;
        case 1: // the list: the reach's row is selected
            if (single == nullptr || context.LayoutMode != 2) {
                return;
            }
            ExpectSamePlace(2);
            EXPECT_EQ(single->PlayerControls()->SpEdtJump()->value(), 7);
            ASSERT_NE(single->lstStructures()->currentItem(), nullptr);
            EXPECT_EQ(single->lstStructures()->currentItem(),
                      single->lstStructures()->topLevelItem(1));
            single->Menus()->miSingleFormGraph->trigger();
            break;
        case 2: // the graph: the reach's menu item is checked
            if (single == nullptr || context.LayoutMode != 1) {
                return;
            }
            ExpectSamePlace(1);
            EXPECT_EQ(single->Menus()->CheckedStructureItem(), single->Menus()->ReachItems().at(1));
            single->Menus()->miThreeForms->trigger();
            break;
        case 3: // three windows again
            if (main == nullptr || context.LayoutMode != 0) {
                return;
            }
            ExpectSamePlace(0);
            EXPECT_EQ(main->Menus()->CheckedStructureItem(), main->Menus()->ReachItems().at(1));
            main->close();
            driver.stop();
            break;
        }
        ++step;
    });
    driver.start(100);
    auto& application = static_cast<QApplication&>(*QCoreApplication::instance());
    RunLayouts(application, context, dialogs, {});
    EXPECT_EQ(step, 4);
    EXPECT_TRUE(dialogs.messages.empty())
        << (dialogs.messages.empty() ? "" : dialogs.messages.front().second);
}

} // namespace
} // namespace kanvio::test
