// The main window on the offscreen platform with a generated ISYBAU project read by the
// real data source. The player windows, dialogs and desktop are recording fakes.

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/AnsiText.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "tests/core/FakePlayerWindows.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/ui/MainFormTestFixture.h"
#include "ui/InspChoiceForm.h"
#include "ui/KanvioMainForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/ProgramEntry.h"
#include "ui/QtPrinters.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureLabels.h"
#include "ui/StructureViewImages.h"

#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using test::FakeDesktop;
using test::FakeDialogs;
using test::FakeLayout;

class MainFormWindowTest : public test::MainFormTestFixture {
protected:
    TMainFormMenus& Menus() const { return *form_->Menus(); }
};

// The field a label table row names, looked up here without the program's field table.
std::string FieldOfRow(const TReachData& s, int row) {
    switch (row) {
    case 1:
        return s.city;
    case 2:
        return s.date;
    case 3:
        return s.street;
    case 4:
        return s.ReachNumber;
    case 5:
        return s.ConnectionNumber;
    case 6:
        return s.StartManholeNumber;
    case 7:
        return s.EndManholeNumber;
    case 8:
        return s.video;
    case 9:
        return s.DirectionTxt();
    default:
        return "<none>";
    }
}

QString MenuTextOf(const std::string& ansi) {
    return AnsiToQString(ansi).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

struct LabelCase {
    const char* Name;
    std::vector<std::pair<const char*, int>> Stored;
    int IniConnectionMode; // [common] DisplayConnectionMode
    std::function<std::string(const TReachData&)> Reach;
    std::function<std::string(const TReachData&)> Connection;
};

// Test names show the case, not its bytes.
void PrintTo(const LabelCase& c, std::ostream* out) {
    *out << c.Name;
}

std::string Fields(const TReachData& s, std::initializer_list<int> rows) {
    std::string caption;
    for (int row : rows) {
        caption += FieldOfRow(s, row) + "   ";
    }
    return caption;
}

class MainFormLabels : public MainFormWindowTest,
                       public ::testing::WithParamInterface<LabelCase> {};

TEST_P(MainFormLabels, MenusListEveryStructureWithItsLabels) {
    const LabelCase& c = GetParam();
    for (const auto& [name, value] : c.Stored) {
        WriteRegInteger("", name, value);
    }
    EditSettings("DisplayConnectionMode=1",
                 "DisplayConnectionMode=" + std::to_string(c.IniConnectionMode));
    ShowForm();
    const TKanvioContext& context = *context_;
    ASSERT_EQ(Menus().ReachItems().size(), context.Reaches.size());
    ASSERT_EQ(Menus().ConnectionItems().size(), context.Connections.size());
    ASSERT_FALSE(context.Reaches.empty());
    ASSERT_FALSE(context.Connections.empty());
    for (size_t i = 0; i < context.Reaches.size(); ++i) {
        EXPECT_EQ(Menus().ReachItems()[i]->text(), MenuTextOf(c.Reach(*context.Reaches[i])))
            << "reach " << i;
    }
    for (size_t i = 0; i < context.Connections.size(); ++i) {
        EXPECT_EQ(Menus().ConnectionItems()[i]->text(),
                  MenuTextOf(c.Connection(*context.Connections[i])))
            << "connection " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MainFormLabels,
    ::testing::Values(LabelCase{"Defaults",
                                {},
                                1,
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                },
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                }},
                      LabelCase{"ReachNumberOnly",
                                {{"LabelH1", 4}, {"LabelH2", 0}, {"LabelA1", 0}},
                                1,
                                [](const TReachData& s) { return Fields(s, {4}); },
                                [](const TReachData&) {
                                    return std::string();
                                }},
                      LabelCase{"ConnectionNumberMode1",
                                {{"LabelA1", 10}, {"LabelA2", 0}},
                                1,
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                },
                                [](const TReachData& s) {
                                    return s.ConnectionNumber;
                                }},
                      LabelCase{"EndManholeMode2",
                                {{"LabelA1", 4}, {"LabelA2", 10}, {"LabelA3", 0}},
                                2,
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                },
                                [](const TReachData& s) {
                                    return Fields(s, {4}) + s.EndManholeNumber;
                                }},
                      LabelCase{"ManholeByDirectionMode3",
                                {{"LabelA1", 10}, {"LabelA2", 9}, {"LabelA3", 0}},
                                3,
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                },
                                [](const TReachData& s) {
                                    return (s.direction ? s.StartManholeNumber
                                                        : s.EndManholeNumber) +
                                           Fields(s, {9});
                                }},
                      LabelCase{"RowsOutsideTheTable",
                                {{"LabelH1", 11},
                                 {"LabelH2", 7},
                                 {"LabelH3", 1000},
                                 {"LabelH4", -5},
                                 {"LabelA1", 10},
                                 {"LabelA2", 99},
                                 {"LabelA3", 8},
                                 {"LabelA4", 0}},
                                1,
                                [](const TReachData& s) { return Fields(s, {7}); },
                                [](const TReachData& s) {
                                    return s.ConnectionNumber + Fields(s, {8});
                                }},
                      LabelCase{"ReachRowTen",
                                {{"LabelH1", 10}, {"LabelH2", 0}},
                                1,
                                [](const TReachData&) { return std::string("<none>   "); },
                                [](const TReachData& s) {
                                    return Fields(s, {1, 2, 3, 4, 5});
                                }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MainFormWindowTest, SyncMenusFindsStructuresWithoutIds) {
    ShowForm();
    TKanvioContext& context = *context_;
    for (const auto* list : {&context.Reaches, &context.Connections}) {
        for (const auto& structure : *list) {
            ASSERT_TRUE(structure->ID.empty()) << "ISYBAU structures carry no ID";
        }
    }
    const auto check = [&](const TAReachData& list, const std::vector<QAction*>& items) {
        // Backwards, so that no item is checked by being the first one.
        for (size_t i = list.size(); i-- > 0;) {
            context.CurrentStructure = list[i].get();
            form_->ShowCurrentStructure();
            EXPECT_EQ(Menus().CheckedStructureItem(), items[i]) << i;
            EXPECT_EQ(form_->InfoPanel()->txtReach->text(), AnsiToQString(list[i]->ReachNumber));
            EXPECT_EQ(form_->InfoPanel()->txtConnection->text(),
                      AnsiToQString(list[i]->ConnectionNumber));
        }
    };
    check(context.Reaches, Menus().ReachItems());
    check(context.Connections, Menus().ConnectionItems());
}

TEST_F(MainFormWindowTest, FilmMovingIntoAnotherStructureChecksItsItem) {
    ShowForm();
    TKanvioContext& context = *context_;
    ASSERT_GE(context.PlayList.size(), 4u);
    // Film by film as playback moves on; each film shows another structure.
    for (size_t film = 1; film < context.PlayList.size(); ++film) {
        const TReachData* structure = context.PlayList[film].Structure;
        ASSERT_NE(structure, nullptr);
        context.NextFilm();
        ASSERT_EQ(context.CurrentStructure, structure) << "film " << film;
        QAction* checked = Menus().CheckedStructureItem();
        ASSERT_NE(checked, nullptr) << "film " << film;
        const TAReachData& list =
            structure->ObjectType == 'H' ? context.Reaches : context.Connections;
        EXPECT_EQ(list.at(size_t(checked->data().toInt())).get(), structure) << "film " << film;
        EXPECT_EQ(checked->parent() == Menus().miReaches, structure->ObjectType == 'H');
        EXPECT_EQ(form_->InfoPanel()->txtReach->text(), AnsiToQString(structure->ReachNumber));
    }
}

// The first film of the list with that file name, which the command line plays.
const TPlayListItem& FirstFilmNamed(const TKanvioContext& context, const std::string& name) {
    for (const TPlayListItem& film : context.PlayList) {
        if (film.FileName == name) {
            return film;
        }
    }
    throw std::runtime_error("no film " + name);
}

TEST_F(MainFormWindowTest, NoCommandLineSelectsTheFirstReach) {
    ShowForm();
    EXPECT_EQ(context_->CurrentStructure, context_->Reaches.front().get());
    EXPECT_EQ(Menus().CheckedStructureItem(), Menus().ReachItems().front());
    EXPECT_FALSE(layout.video.loads.empty());
    EXPECT_FALSE(context_->Playing);
    EXPECT_EQ(form_->InfoPanel()->txtReach->text(),
              AnsiToQString(context_->Reaches.front()->ReachNumber));
    EXPECT_EQ(layout.calls.front(), "create");
}

TEST_F(MainFormWindowTest, CommandLineChoosesTheStartingStructure) {
    // What identifies a structure across the contexts of the cases.
    struct Key {
        char Type;
        std::string Reach, Connection;
        bool operator==(const Key&) const = default;
    };
    const auto keyOf = [](const TReachData& s) {
        return Key{s.ObjectType, s.ReachNumber, s.ConnectionNumber};
    };
    StartContext();
    const Key secondReach = keyOf(*context_->Reaches.at(1));
    const std::string connectionNumber = context_->Connections.back()->ConnectionNumber;
    // SelectConnection takes the first connection with that number.
    std::optional<Key> connection;
    for (const auto& each : context_->Connections) {
        if (each->ConnectionNumber == connectionNumber) {
            connection = keyOf(*each);
            break;
        }
    }
    const TPlayListItem film = FirstFilmNamed(*context_, context_->PlayList.back().FileName);
    ASSERT_NE(film.Structure, nullptr);
    const Key filmStructure = keyOf(*film.Structure);
    const std::string inFilm = "00:00:" + std::to_string(100 + film.StartTime + 1).substr(1);
    struct Case {
        std::vector<std::string> Arguments;
        std::optional<Key> Expected; // none: the first reach, checked
        const char* LogLine;         // a warning, or null for none
    };
    const Case cases[] = {
        {{"/H", secondReach.Reach}, secondReach, nullptr},
        {{"/A", connectionNumber}, connection, nullptr},
        {{"/H", "no-such-reach"}, {}, "Command line: no reach numbered \"no-such-reach\""},
        {{"/A", "no-such"}, {}, "Command line: no connection numbered \"no-such\""},
        {{"/h", secondReach.Reach}, {}, "Command line: no film \"/h\""},
        {{film.FileName, inFilm}, filmStructure, nullptr},
        {{"missing.mpg", "00:00:01"}, {}, "Command line: no film \"missing.mpg\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Arguments));
        form_.reset();
        context_.reset();
        AppLog.reset();
        test::WriteFile(env.state() / "main.log", "");
        layout.video.seeks.clear();
        ShowForm(c.Arguments);
        const TReachData* current = context_->CurrentStructure;
        ASSERT_NE(current, nullptr);
        if (c.Expected) {
            EXPECT_TRUE(keyOf(*current) == *c.Expected);
            EXPECT_EQ(Menus().CheckedStructureItem(), nullptr);
        } else {
            EXPECT_EQ(current, context_->Reaches.front().get());
            EXPECT_EQ(Menus().CheckedStructureItem(), Menus().ReachItems().front());
        }
        EXPECT_FALSE(layout.video.seeks.empty()) << "the film stands at the structure";
        if (c.LogLine != nullptr) {
            EXPECT_NE(Log().find(c.LogLine), std::string::npos) << Log();
        } else {
            EXPECT_EQ(Log().find("Command line:"), std::string::npos) << Log();
        }
    }
}

TEST_F(MainFormWindowTest, FilmOnTheCommandLineStandsAtItsTime) {
    StartContext();
    const TPlayListItem film = FirstFilmNamed(*context_, context_->PlayList.back().FileName);
    ASSERT_LE(film.StartTime + 2, 59);
    ShowForm({film.FileName, "00:00:" + std::to_string(100 + film.StartTime + 2).substr(1)});
    ASSERT_FALSE(layout.video.loads.empty());
    EXPECT_EQ(layout.video.loads.back(), film.FileName);
    ASSERT_FALSE(layout.video.seeks.empty());
    EXPECT_EQ(layout.video.seeks.back(), 2000); // two seconds into the film's part
}

TEST_F(MainFormWindowTest, StoredPositionBeyondTheScreenIsPulledBack) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WriteRegInteger("", "MainLeft", screen.right() + 1000);
    WriteRegInteger("", "MainTop", screen.bottom() + 1000);
    WriteRegInteger("", "MainWidth", 450);
    WriteRegInteger("", "MainHeight", 380);
    ShowForm();
    // The stored bounds are the frame's, brought wholly onto the screen, and never narrower
    // than the fields and menus need in the font in use.
    const int frameExtra = form_->frameGeometry().width() - form_->width();
    const int width = std::max(450, form_->minimumWidth() + frameExtra);
    EXPECT_EQ(form_->frameGeometry(),
              QRect(screen.right() + 1 - width, screen.bottom() + 1 - 380, width, 380));
}

TEST_F(MainFormWindowTest, FirstStartOpensAtTheDefaultsAndClosingStoresThePlace) {
    ShowForm();
    // Frame bounds; the design size grows with a font wider than the design font, and the
    // width with what the fields and menus need.
    const QSize design = ScaledDesignSize({400, 500}, DesignFontScale());
    const int frameExtra = form_->frameGeometry().width() - form_->width();
    EXPECT_EQ(
        form_->frameGeometry(),
        QRect(QPoint(0, 0), QSize(std::max(design.width(), form_->minimumWidth() + frameExtra),
                                  design.height())));
    form_->move(40, 50);
    form_->resize(std::max(420, form_->minimumWidth()), 470);
    const QRect frame = form_->frameGeometry();
    form_->close();
    EXPECT_EQ(ReadRegInteger("", "MainLeft", -1), 40);
    EXPECT_EQ(ReadRegInteger("", "MainTop", -1), 50);
    EXPECT_EQ(ReadRegInteger("", "MainWidth", -1), frame.width());
    EXPECT_EQ(ReadRegInteger("", "MainHeight", -1), frame.height());

    // The next window opens where this one closed.
    form_.reset();
    context_.reset();
    ShowForm();
    EXPECT_EQ(form_->pos(), QPoint(40, 50));
    EXPECT_EQ(form_->frameGeometry().size(), frame.size());
}

TEST_F(MainFormWindowTest, MovedBeyondTheScreenComesBack) {
    ShowForm();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    form_->move(screen.x() + screen.width() + 200, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(form_->x(), screen.x() + screen.width() - 30);
}

TEST_F(MainFormWindowTest, ClosingRunsShutDownOnce) {
    ShowForm();
    QSignalSpy closed(form_.get(), &TKanvioMainForm::Closed);
    form_->close();
    EXPECT_TRUE(context_->ShutDownDone);
    EXPECT_EQ(std::count(layout.calls.begin(), layout.calls.end(), "destroy"), 1);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ReadRegInteger("", "FilterStrategy", -1), context_->FilterStrategy);

    form_->close();
    context_->ShutDown(false);
    EXPECT_EQ(std::count(layout.calls.begin(), layout.calls.end(), "destroy"), 1);
}

TEST_F(MainFormWindowTest, OffButtonShutDownClosesTheWindowOnce) {
    ShowForm();
    QSignalSpy closed(form_.get(), &TKanvioMainForm::Closed);
    context_->ShutDown(false);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(std::count(layout.calls.begin(), layout.calls.end(), "destroy"), 1);
    EXPECT_EQ(ReadRegInteger("", "MainWidth", -1), form_->frameGeometry().width());
}

TEST_F(MainFormWindowTest, ObservationLabelSeeksAndPlaysExceptDuringTheTrailer) {
    ShowForm();
    const TReachData& reach = *context_->CurrentStructure;
    ASSERT_GE(reach.Details.size(), 2u);
    const auto& labels = form_->ScrollBox()->ObservationLabels();
    ASSERT_EQ(labels.size(), reach.Details.size() * 3);

    context_->TrailerPlaying = true;
    const size_t seeksBefore = layout.video.seeks.size();
    QTest::mouseClick(labels[3], Qt::LeftButton); // second observation, distance column
    EXPECT_EQ(layout.video.seeks.size(), seeksBefore);
    EXPECT_FALSE(context_->Playing);

    context_->TrailerPlaying = false;
    QTest::mouseClick(labels[5], Qt::LeftButton); // second observation, time column
    EXPECT_EQ(context_->CurrentDetail.VideoTime, reach.Details[1].VideoTime);
    EXPECT_GT(layout.video.seeks.size(), seeksBefore);
    EXPECT_TRUE(context_->Playing);
    EXPECT_EQ(layout.video.speeds.back(), 1.0);
}

TEST_F(MainFormWindowTest, MenuItemSelectsTheStructureAndPauses) {
    ShowForm();
    QAction* item = Menus().ConnectionItems().at(2);
    context_->Play(1.0);
    item->trigger();
    EXPECT_EQ(context_->CurrentStructure, context_->Connections.at(2).get());
    EXPECT_EQ(Menus().CheckedStructureItem(), item);
    EXPECT_FALSE(Menus().ReachItems().front()->isChecked());
    EXPECT_FALSE(context_->Playing);
    EXPECT_EQ(form_->InfoPanel()->txtConnection->text(),
              AnsiToQString(context_->Connections.at(2)->ConnectionNumber));
    // Out-of-range indexes from a stale menu change nothing.
    form_->Commands().ReachItemClick(-1);
    form_->Commands().ConnectionItemClick(int(context_->Connections.size()));
    EXPECT_EQ(context_->CurrentStructure, context_->Connections.at(2).get());
}

TEST_F(MainFormWindowTest, KeysGoToThePlayer) {
    ShowForm();
    QTest::keyClick(form_.get(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(form_.get(), Qt::Key_Right);
    ASSERT_EQ(layout.video.zooms.size(), 2u);
    EXPECT_FLOAT_EQ(layout.video.zooms.back(), 1.4f);
    QTest::keyClick(form_.get(), Qt::Key_Space);
    EXPECT_TRUE(context_->Playing);
    QTest::keyClick(form_.get(), Qt::Key_Space);
    EXPECT_FALSE(context_->Playing);
    QTest::keyClick(form_.get(), Qt::Key_X);
    EXPECT_EQ(layout.controls.clicks, std::vector<std::string>{"play"});
}

// Another layout is stored and the window closes for it, keeping the structure; the
// current layout chosen again changes nothing.
TEST_F(MainFormWindowTest, LayoutChoiceIsStoredAndClosesTheWindowForTheNewLayout) {
    ShowForm();
    EXPECT_TRUE(Menus().miThreeForms->isChecked());
    Menus().miThreeForms->trigger();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_FALSE(context_->BeginPendingLayout());

    QSignalSpy closed(form_.get(), &TKanvioMainForm::Closed);
    Menus().miSingleFormTree->trigger();
    EXPECT_EQ(ReadRegInteger("", "LayoutMode", -1), 2);
    EXPECT_TRUE(Menus().miSingleFormTree->isChecked());
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(context_->ResumePending());
    EXPECT_TRUE(context_->BeginPendingLayout());
    EXPECT_EQ(context_->LayoutMode, 2);
}

// A layout that cannot be stored would not come back at the next start: the window says
// why, naming the file, and stays in its layout.
TEST_F(MainFormWindowTest, LayoutChoiceThatCannotBeStoredKeepsTheLayout) {
    ShowForm();
    test::WriteFile(env.root() / "plain-file", "x");
    setenv("XDG_CONFIG_HOME", (env.root() / "plain-file" / "config").c_str(), 1);
    env.reopenRegistry();
    Menus().miSingleFormGraph->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
    EXPECT_NE(dialogs.messages[0].second.find("Kanvio.conf"), std::string::npos)
        << dialogs.messages[0].second;
    EXPECT_TRUE(form_->isVisible());
    EXPECT_TRUE(Menus().miThreeForms->isChecked());
    EXPECT_FALSE(Menus().miSingleFormGraph->isChecked());
    EXPECT_FALSE(context_->ResumePending());
    EXPECT_FALSE(context_->BeginPendingLayout());
}

TEST_F(MainFormWindowTest, ToggleManholesFollowsTypeAndDirection) {
    ShowForm();
    for (const auto* list : {&context_->Reaches, &context_->Connections}) {
        for (const auto& structure : *list) {
            context_->CurrentStructure = structure.get();
            form_->Commands().ShowStructureInfo();
            const bool allowed = (structure->ObjectType == 'H' && !structure->direction) ||
                                 (structure->ObjectType == 'A' && structure->direction);
            EXPECT_EQ(Menus().miToggleManholes->isEnabled(), allowed);
            const std::string start = structure->StartManholeNumber;
            const std::string end = structure->EndManholeNumber;
            form_->Commands().miToggleManholesClick();
            EXPECT_EQ(structure->StartManholeNumber, end);
            EXPECT_EQ(structure->EndManholeNumber, start);
        }
    }
}

TEST_F(MainFormWindowTest, TrailerLocksTheMenusAndTheGraphic) {
    ShowForm();
    form_->EnableControls(false);
    for (QMenu* menu : {Menus().miReaches, Menus().miConnections, Menus().miPrintout,
                        Menus().miSettings, Menus().miHelp}) {
        EXPECT_FALSE(menu->menuAction()->isEnabled()) << menu->title().toStdString();
    }
    EXPECT_FALSE(form_->ScrollBox()->isEnabled());
    form_->EnableControls(true);
    for (QMenu* menu : {Menus().miReaches, Menus().miConnections, Menus().miPrintout,
                        Menus().miSettings, Menus().miHelp}) {
        EXPECT_TRUE(menu->menuAction()->isEnabled()) << menu->title().toStdString();
    }
    EXPECT_TRUE(form_->ScrollBox()->isEnabled());
}

TEST_F(MainFormWindowTest, EmptyProjectSelectsNothing) {
    fs::remove(env.programFolder() / "Haltungen.txt");
    fs::remove(env.programFolder() / "Anschluesse.txt");
    ShowForm();
    EXPECT_EQ(context_->CurrentStructure, nullptr);
    EXPECT_FALSE(Menus().miReaches->menuAction()->isEnabled());
    EXPECT_FALSE(Menus().miConnections->menuAction()->isEnabled());
    EXPECT_TRUE(form_->InfoPanel()->txtNumber->text().isEmpty());
    EXPECT_TRUE(form_->ScrollBox()->ObservationLabels().empty());
    EXPECT_TRUE(layout.video.seeks.empty());
    form_->EnableControls(true);
    EXPECT_FALSE(Menus().miReaches->menuAction()->isEnabled());
    form_->Commands().miToggleManholesClick(); // nothing current: nothing happens
}

TEST_F(MainFormWindowTest, HelpItemOpensTheHelpFile) {
    const fs::path help = env.programFolder() / "de" / "help_de.html";
    fs::create_directories(help.parent_path());
    test::WriteFile(help, "<html></html>");
    ShowForm();
    Menus().miKanvioHelp->trigger();
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(fs::path(desktop.opened[0]), help);
}

TEST_F(MainFormWindowTest, UnreadableProjectIsReportedWithItsFileAndLine) {
    // The delivery's two header lines, then a record of a kind that does not exist.
    const fs::path reaches = env.programFolder() / "Haltungen.txt";
    const std::string text = test::ReadFile(reaches);
    size_t headerEnd = text.find('\n');
    headerEnd = text.find('\n', headerEnd + 1);
    test::WriteFile(reaches, text.substr(0, headerEnd + 1) + "   9 no such record\r\n");
    TContextServices services;
    services.Dialogs = &dialogs;
    services.DataSources = &sources;
    EXPECT_EQ(CreatePlayerContext(services), nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
    const std::string& message = dialogs.messages[0].second;
    EXPECT_NE(message.find("Haltungen.txt"), std::string::npos) << message;
    EXPECT_NE(message.find('3'), std::string::npos) << "the line: " << message;
}

} // namespace
} // namespace kanvio

namespace kanvio {
namespace {

TEST_F(MainFormWindowTest, ChoiceWindowOpensOnceAndSelectsTheChosenStructure) {
    ShowForm();
    ASSERT_TRUE(Menus().miAdvanced->isEnabled());
    Menus().miAdvanced->trigger();
    TInspChoiceForm* window = form_->Commands().ChoiceForm();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    window->btnCloseClick();
    Menus().miAdvanced->trigger();
    EXPECT_EQ(form_->Commands().ChoiceForm(), window);
    EXPECT_TRUE(window->isVisible());

    const size_t last = context_->Connections.size() - 1;
    THashMap row;
    row.PutValue("TypeShort", "A");
    row.PutValue("Nr", int64_t(last));
    context_->Play(1.0);
    const size_t seeksBefore = layout.video.seeks.size();
    ASSERT_TRUE(window->ChooseRow(row));
    EXPECT_EQ(context_->CurrentStructure, context_->Connections[last].get());
    EXPECT_EQ(Menus().CheckedStructureItem(), Menus().ConnectionItems()[last]);
    EXPECT_EQ(form_->InfoPanel()->txtConnection->text(),
              AnsiToQString(context_->Connections[last]->ConnectionNumber));
    EXPECT_GT(layout.video.seeks.size(), seeksBefore);
    EXPECT_FALSE(context_->Playing);

    form_->EnableControls(false);
    EXPECT_FALSE(Menus().miAdvanced->isEnabled());
}

TEST_F(MainFormWindowTest, PrintedStructurePageShowsThePanelAndTheGraphic) {
    test::TempDir out{"kanvio-print"};
    TQtPrinters pdf{dialogs, true};
    printers = &pdf;
    ShowForm();
    ASSERT_NE(context_->CurrentStructure, nullptr);
    const fs::path file = out / "structure.pdf";
    dialogs.saveAnswers.push_back(file.string());
    ASSERT_TRUE(Menus().miPrintStructure->isEnabled());
    Menus().miPrintStructure->trigger();
    ASSERT_TRUE(fs::exists(file)) << (dialogs.messages.empty() ? "" : dialogs.messages[0].second);

    QProcess pdftoppm;
    pdftoppm.start("pdftoppm",
                   {"-r", "100", "-png", "-singlefile", QString::fromStdString(file.string()),
                    QString::fromStdString((out / "page").string())});
    ASSERT_TRUE(pdftoppm.waitForFinished(30000));
    const QImage page = QImage(QString::fromStdString((out / "page.png").string()))
                            .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());

    // The panel as the window shows it, stretched across the printable width at the top.
    const QImage panel = PanelImage(*form_->InfoPanel()).convertToFormat(QImage::Format_RGB32);
    int top = 0;
    while (top < page.height() && page.pixel(page.width() / 2, top) == qRgb(255, 255, 255)) {
        ++top;
    }
    int left = 0;
    while (left < page.width() && page.pixel(left, top + 2) == qRgb(255, 255, 255)) {
        ++left;
    }
    const int printableWidth = page.width() - 2 * left;
    const int headerHeight = printableWidth * panel.height() / panel.width();
    const QImage header =
        page.copy(left, top, printableWidth, headerHeight)
            .scaled(panel.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0;
    for (int y = 0; y < panel.height(); ++y) {
        for (int x = 0; x < panel.width(); ++x) {
            difference += std::abs(qGray(header.pixel(x, y)) - qGray(panel.pixel(x, y)));
        }
    }
    EXPECT_LT(difference / (panel.width() * panel.height()), 25.0);

    // The whole graphic below it: its ink reaches well down the page.
    const QImage graphic = WholeGraphicImage(*form_->ScrollBox());
    EXPECT_GE(graphic.height(), form_->ScrollBox()->Canvas()->height() + 2);
    int inkRows = 0;
    for (int y = top + headerHeight + 2; y < page.height(); ++y) {
        for (int x = left; x < page.width() - left; ++x) {
            if (qGray(page.pixel(x, y)) < 128) {
                ++inkRows;
                break;
            }
        }
    }
    EXPECT_GT(inkRows, 20);
}

} // namespace
} // namespace kanvio
