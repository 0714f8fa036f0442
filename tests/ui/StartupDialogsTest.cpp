#include "core/LayoutChoiceForm.h"
#include "core/QtStartupUi.h"
#include "core/SplashForm.h"
#include "core/StartupPictures.h"
#include "foundation/KanvioToolkit.h"
#include "tests/support/IsolatedEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

class StartupDialogTest : public test::IsolatedTest {
protected:
    void WriteTexts(const std::string& waitText, const std::string& question = "Welche Ansicht?") {
        test::WriteFile(env.programFolder() / "lang_kanvio_de.ini",
                        "[Messages]\r\n_ApplicationTitleShort=Kanvio\r\n"
                        "_WaitForInitialization=" +
                            waitText + "\r\n_ChoosePreferredApplicationLook=" + question +
                            "\r\n_3Forms=Drei Fenster\r\n_SingleFormWithGraph=Ein Fenster mit "
                            "Grafik\r\n_SingleFormWithList=Ein Fenster mit Liste\r\n");
    }

    // Runs action on the modal dialog once the event loop of exec() has shown it.
    static void WhenDialogShows(std::function<void(TLayoutChoiceForm&)> action) {
        QTimer::singleShot(0, [action] {
            auto* dialog = qobject_cast<TLayoutChoiceForm*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            action(*dialog);
        });
    }
};

void ExpectCentred(const QLabel* label, int clientWidth) {
    EXPECT_LE(std::abs(2 * label->x() + label->width() - clientWidth), 1)
        << label->objectName().toStdString() << " at " << label->x() << " width " << label->width()
        << " in " << clientWidth;
}

TEST_F(StartupDialogTest, SplashShowsTitleWithShortVersionAndWaitText) {
    test::WriteFile(env.programFolder() / "lang_kanvio_de.ini",
                    "[Messages]\r\n_ApplicationTitleShort=Kanvio Pr\xFC"
                    "fung\r\n_WaitForInitialization=Bitte warten\r\n");
    TSplashForm splash;
    splash.show();
    EXPECT_EQ(splash.lbTitle()->text(), QString::fromUtf8("Kanvio Prüfung ") +
                                            QString::fromStdString(GetVersionText({}, true)));
    EXPECT_EQ(splash.lbWait()->text(), "Bitte warten");
    EXPECT_TRUE(splash.lbTitle()->font().bold());
    EXPECT_EQ(splash.lbTitle()->font().pixelSize(), 16);
    EXPECT_EQ(splash.lbWait()->font().pixelSize(), 11);
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(splash.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(splash.imgSplash()->pos(), QPoint(8, 8));
    EXPECT_EQ(splash.imgSplash()->size(), QSize(SplashPictureWidth, SplashPictureHeight));
    // Short texts: the picture decides the width.
    EXPECT_EQ(splash.width(), SplashPictureWidth + 16);
    EXPECT_EQ(splash.height(), 294);
    ExpectCentred(splash.lbTitle(), splash.width());
    ExpectCentred(splash.lbWait(), splash.width());
    EXPECT_EQ(splash.lbTitle()->y(), 216);
    EXPECT_EQ(splash.lbWait()->y(), 248);
}

TEST_F(StartupDialogTest, LongWaitTextWidensTheSplashAndBothLabelsStayCentred) {
    WriteTexts(std::string("Bitte haben Sie einen Augenblick Geduld, die Inspektionsdaten und "
                           "die Filmliste werden gelesen"));
    TSplashForm splash;
    splash.show();
    ASSERT_GT(splash.lbWait()->width(), SplashPictureWidth + 16);
    EXPECT_EQ(splash.width(), splash.lbWait()->width());
    EXPECT_EQ(splash.lbWait()->x(), 0);
    ExpectCentred(splash.lbTitle(), splash.width());
    ExpectCentred(splash.lbWait(), splash.width());
    // The window stays centred on the screen after widening.
    const QRect screen = splash.screen()->availableGeometry();
    EXPECT_LE(std::abs(splash.frameGeometry().center().x() - screen.center().x()), 1);
}

TEST_F(StartupDialogTest, MissingLanguageFileShowsTheKeys) {
    TSplashForm splash;
    splash.show();
    EXPECT_TRUE(splash.lbWait()->text().startsWith("_WaitForInitialization"));
    ExpectCentred(splash.lbWait(), splash.width());
}

TEST_F(StartupDialogTest, LayoutDialogIsArrangedAroundItsQuestion) {
    WriteTexts("x");
    TLayoutChoiceForm dialog;
    const QLabel* label = dialog.lblChooseLayout();
    EXPECT_EQ(dialog.width(), 320 + 130 + 16);
    EXPECT_EQ(label->x(), (dialog.width() - 440) / 2);
    EXPECT_EQ(label->width(), 440);
    EXPECT_EQ(label->font().pixelSize(), 16);
    EXPECT_TRUE(label->wordWrap());
    const int buttonTop = label->y() + label->height() + 16;
    const char* hints[] = {"Drei Fenster", "Ein Fenster mit Grafik", "Ein Fenster mit Liste"};
    const int lefts[] = {16, 168, 320};
    for (int tag = 0; tag < 3; ++tag) {
        const QToolButton* button = dialog.LayoutButton(tag);
        EXPECT_EQ(button->geometry(), QRect(lefts[tag], buttonTop, 130, 130)) << tag;
        EXPECT_EQ(button->toolTip(), hints[tag]);
        EXPECT_EQ(button->property("tag").toInt(), tag);
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_EQ(dialog.height(), buttonTop + 130 + 16);
    EXPECT_EQ(dialog.LayoutResult(), 0);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(StartupDialogTest, LongQuestionWrapsAndPushesTheButtonsDown) {
    WriteTexts("x", "Bitte waehlen Sie, wie Kanvio seine Fenster anordnen soll. Die Wahl gilt "
                    "ab dem naechsten Start und laesst sich jederzeit im Menue aendern.");
    TLayoutChoiceForm dialog;
    EXPECT_GT(dialog.lblChooseLayout()->height(), 20);
    EXPECT_EQ(dialog.LayoutButton(0)->y(),
              dialog.lblChooseLayout()->y() + dialog.lblChooseLayout()->height() + 16);
}

TEST_F(StartupDialogTest, EachButtonChoosesItsLayoutAndClosesTheDialog) {
    for (int tag = 0; tag < 3; ++tag) {
        TLayoutChoiceForm dialog;
        WhenDialogShows([tag](TLayoutChoiceForm& shown) {
            QTest::mouseClick(shown.LayoutButton(tag), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.exec(), QDialog::Accepted) << tag;
        EXPECT_EQ(dialog.LayoutResult(), tag);
    }
}

TEST_F(StartupDialogTest, ClosingWithoutAChoiceGivesLayoutZero) {
    struct Way {
        const char* Name;
        std::function<void(TLayoutChoiceForm&)> Close;
    };
    const Way ways[] = {
        {"window closed",
         [](TLayoutChoiceForm& d) {
             d.close();
         }},
        {"escape",
         [](TLayoutChoiceForm& d) {
             QTest::keyClick(&d, Qt::Key_Escape);
         }},
        {"rejected",
         [](TLayoutChoiceForm& d) {
             d.reject();
         }},
    };
    for (const Way& way : ways) {
        TLayoutChoiceForm dialog;
        WhenDialogShows(way.Close);
        EXPECT_EQ(dialog.exec(), QDialog::Rejected) << way.Name;
        EXPECT_EQ(dialog.LayoutResult(), 0) << way.Name;
    }
}

TEST_F(StartupDialogTest, AskLayoutModeHidesTheSplashWhileAsking) {
    WriteTexts("Bitte warten");
    TSplashForm splash;
    splash.show();
    TQtStartupUi startup(&splash);
    bool splashVisibleDuringDialog = true;
    WhenDialogShows([&](TLayoutChoiceForm& dialog) {
        splashVisibleDuringDialog = splash.isVisible();
        QTest::mouseClick(dialog.LayoutButton(2), Qt::LeftButton);
    });
    EXPECT_EQ(startup.AskLayoutMode(), 2);
    EXPECT_FALSE(splashVisibleDuringDialog);
    EXPECT_TRUE(splash.isVisible());

    WhenDialogShows([](TLayoutChoiceForm& dialog) { dialog.close(); });
    EXPECT_EQ(startup.AskLayoutMode(), 0);
    EXPECT_TRUE(splash.isVisible());
}

TEST_F(StartupDialogTest, AskLayoutModeWorksWithoutASplash) {
    TQtStartupUi startup;
    WhenDialogShows([](TLayoutChoiceForm& dialog) {
        QTest::mouseClick(dialog.LayoutButton(1), Qt::LeftButton);
    });
    EXPECT_EQ(startup.AskLayoutMode(), 1);

    // A splash that is gone by the time of asking is left alone.
    auto* splash = new TSplashForm;
    startup.SetSplash(splash);
    delete splash;
    WhenDialogShows([](TLayoutChoiceForm& dialog) { dialog.reject(); });
    EXPECT_EQ(startup.AskLayoutMode(), 0);
}

TEST(StartupPictures, HaveTheirSizesAndContent) {
    const QImage splash = SplashPicture();
    EXPECT_EQ(splash.size(), QSize(SplashPictureWidth, SplashPictureHeight));
    for (int mode = 0; mode < 3; ++mode) {
        const QImage picture = LayoutPicture(mode);
        EXPECT_EQ(picture.size(), QSize(LayoutPictureSize, LayoutPictureSize)) << mode;
    }
    // The three sketches differ from each other.
    EXPECT_NE(LayoutPicture(0), LayoutPicture(1));
    EXPECT_NE(LayoutPicture(1), LayoutPicture(2));
    EXPECT_TRUE(LayoutPicture(3).isNull());
    EXPECT_TRUE(LayoutPicture(-1).isNull());
}

} // namespace
} // namespace kanvio
