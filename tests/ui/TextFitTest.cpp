// No text of the program's windows is cut, with a font wider than the one the windows
// were drawn for: the generated delivery in all three layouts, with the choice window and
// the settings dialogs open in each, measured through the widget text dump. The suite runs
// on an offscreen screen of a desktop's size (tests/support/DesktopScreen.json, set by
// ctest): on the platform's own 800 pixels the single window has no room to grow.

#include "core/KanvioContext.h"
#include "core/LayoutChoiceForm.h"
#include "tests/ui/MainFormTestFixture.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/KanvioMainForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/QtPrinters.h"
#include "ui/SettingsCommands.h"
#include "ui/SteeringForm.h"
#include "ui/StructureInfoPanel.h"
#include "ui/TCForm.h"
#include "ui/WidgetTextDump.h"
#include "video/ColorControlForm.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

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

std::string Describe(const TWidgetText& text) {
    return (text.Window + " " + text.Class + " " + text.ObjectName + " \"" + text.Text +
            "\" needs " + QString::number(text.Needed) + ", has " + QString::number(text.Available))
        .toStdString();
}

// The fonts a Linux desktop brings are wider than the one the windows were drawn for.
class TextFitTest : public MainFormTestFixture {
protected:
    TextFitTest() : designFont_(QApplication::font()) {
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    }
    ~TextFitTest() override { QApplication::setFont(designFont_); }

    void Check(const std::vector<TWidgetText>& texts, const std::string& where) {
        for (const TWidgetText& text : texts) {
            if (text.Clipped()) {
                clipped_.insert(where + ": " + Describe(text));
            }
            ++measured_;
        }
    }

    // Opens the choice window and runs each settings dialog once, measuring them all.
    void CheckWindowsOf(TMainFormMenus& menus, TMainMenuCommands& commands,
                        const std::string& where) {
        commands.Settings().SetDialogRunner([&](QDialog& dialog) {
            dialog.show();
            ProcessEventsFor(50);
            Check(CollectWidgetTexts(dialog), where);
            dialog.hide();
            return static_cast<int>(QDialog::Rejected);
        });
        menus.miAdvanced->trigger();
        ProcessEventsFor(100);
        Check(CollectWidgetTexts(), where);
        for (QAction* dialog : {menus.miCodecSettings, menus.miDefectClass, menus.miMenuLayout}) {
            dialog->trigger();
        }
    }

    std::set<std::string> clipped_;
    int measured_ = 0;

private:
    QFont designFont_;
};

TEST_F(TextFitTest, NoTextIsCutInAnyLayoutOrDialog) {
    TKanvioContext& context = StartContext();
    context.SetPlayerWindows(nullptr); // the real windows of each layout
    int step = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (clock.elapsed() > 90000) {
            ADD_FAILURE() << "no window of step " << step;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                widget->close();
            }
            driver.stop();
            return;
        }
        if (context.Seeking || context.TrailerPlaying) {
            return;
        }
        auto* main = VisibleWindow<TKanvioMainForm>();
        auto* single = VisibleWindow<TKanvioSingleForm>();
        switch (step) {
        case 0:
            if (main == nullptr || VisibleWindow<TSteeringForm>() == nullptr) {
                return;
            }
            CheckWindowsOf(*main->Menus(), main->Commands(), "layout 0");
            main->Menus()->miSingleFormTree->trigger();
            break;
        case 1:
            if (single == nullptr || context.LayoutMode != 2) {
                return;
            }
            CheckWindowsOf(*single->Menus(), single->Commands(), "layout 2");
            single->Menus()->miSingleFormGraph->trigger();
            break;
        case 2:
            if (single == nullptr || context.LayoutMode != 1) {
                return;
            }
            CheckWindowsOf(*single->Menus(), single->Commands(), "layout 1");
            single->close();
            driver.stop();
            break;
        }
        ++step;
    });
    driver.start(100);
    auto& application = static_cast<QApplication&>(*QCoreApplication::instance());
    RunLayouts(application, context, dialogs, {});
    EXPECT_EQ(step, 3);
    // The windows were measured at all: captions, fields, buttons, list rows.
    EXPECT_GT(measured_, 100);
    for (const std::string& cut : clipped_) {
        ADD_FAILURE() << cut;
    }
}

TEST_F(TextFitTest, PrintedFieldsOfEveryStructureShowWhole) {
    // The printout shows the panel as it is on the screen.
    TQtPrinters pdf(dialogs, /*alwaysPdf=*/true);
    printers = &pdf;
    TKanvioMainForm& form = ShowForm();
    ProcessEventsFor(50);
    const auto printed = [&](const std::string& name) {
        const std::filesystem::path file = env.root() / (name + ".pdf");
        dialogs.saveAnswers.push_back(file.string());
        form.Menus()->miPrintStructure->trigger();
        EXPECT_TRUE(std::filesystem::exists(file)) << name;
        Check(CollectWidgetTexts(*form.InfoPanel()), name);
    };
    const int reaches = static_cast<int>(form.Menus()->ReachItems().size());
    const int connections = static_cast<int>(form.Menus()->ConnectionItems().size());
    ASSERT_GT(reaches, 0);
    ASSERT_GT(connections, 0);
    for (int index = 0; index < reaches; ++index) {
        form.Commands().ReachItemClick(index);
        printed("reach " + std::to_string(index));
    }
    for (int index = 0; index < connections; ++index) {
        form.Commands().ConnectionItemClick(index);
        printed("connection " + std::to_string(index));
    }
    // Nine fields and their captions for each structure.
    EXPECT_GE(measured_, 9 * (reaches + connections));
    for (const std::string& cut : clipped_) {
        ADD_FAILURE() << cut;
    }
}

TEST_F(TextFitTest, SmallWindowsShowTheirTextsWhole) {
    StartContext(); // the delivery's language
    TTCForm correction([](bool, int32_t) {});
    TTimeCorrectionSubject subject;
    subject.Structure = "Haltung H0813-385";
    subject.Distance = 12.63;
    subject.LengthFormat = "0.00";
    subject.LengthUnit = "m";
    subject.Code = "BAFAE";
    subject.VideoTime = "00:02:01";
    subject.FilmName = "film01.mpg";
    correction.SetSubject(subject);
    TColorControlForm picture;
    TLayoutChoiceForm layouts;
    for (QWidget* window : std::initializer_list<QWidget*>{&correction, &picture, &layouts}) {
        window->show();
        ProcessEventsFor(50);
        Check(CollectWidgetTexts(*window), window->objectName().toStdString());
        window->hide();
    }
    EXPECT_GT(measured_, 6);
    for (const std::string& cut : clipped_) {
        ADD_FAILURE() << cut;
    }
}

} // namespace
} // namespace kanvio::test
