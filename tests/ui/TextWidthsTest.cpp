// Controls of hand-placed windows widened to their texts: what grows, what moves along,
// what stays, and the window around them.

#include "foundation/TextWidths.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

QPushButton* Button(QWidget* parent, const QString& text, const QRect& place) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(place);
    return button;
}

TEST(TextWidthsTest, ShownTextIsWhatTheControlShows) {
    QWidget window;
    auto* pictureOnly = new QToolButton(&window);
    pictureOnly->setText("Abspielen");
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    pictureOnly->setIcon(QIcon(picture));
    auto* rich = new QLabel("<b>Haltung</b>", &window);
    auto* combo = new QComboBox(&window);
    combo->addItems({"Ort", "Straße"});
    combo->setCurrentIndex(1);
    EXPECT_EQ(ShownText(*pictureOnly), "");
    EXPECT_EQ(ShownText(*rich), "Haltung");
    EXPECT_EQ(ShownText(*combo), "Straße");
    EXPECT_EQ(ShownText(window), "");
    EXPECT_EQ(NeededTextWidth(window), 0);
    EXPECT_EQ(NeededTextWidth(*rich, QString()), 0);
    // A longer text always needs more.
    EXPECT_LT(NeededTextWidth(*combo, "Ort"), NeededTextWidth(*combo, "Straße"));
}

TEST(TextWidthsTest, NarrowControlsGrowAndWhatLiesRightOfThemMovesAlong) {
    QWidget window;
    window.setFixedSize(300, 100);
    auto* wide = Button(&window, "Nach unten verschieben", QRect(10, 10, 40, 25));
    auto* fits = Button(&window, "OK", QRect(60, 10, 80, 25));
    auto* below = Button(&window, "OK", QRect(10, 50, 80, 25)); // left of wide's edge
    auto* farRight = new QLabel("x", &window);
    farRight->setGeometry(200, 60, 20, 20);
    const int needed = NeededTextWidth(*wide);
    ASSERT_GT(needed, 40);
    FitWindowToTexts(window);
    const int grow = needed - 40;
    EXPECT_EQ(wide->geometry(), QRect(10, 10, needed, 25));
    // The design width stays where the text fits.
    EXPECT_EQ(fits->geometry(), QRect(60 + grow, 10, 80, 25));
    EXPECT_EQ(below->geometry(), QRect(10, 50, 80, 25));
    EXPECT_EQ(farRight->pos(), QPoint(200 + grow, 60));
    // The fixed-size window keeps its margin on the right.
    EXPECT_EQ(window.size(), QSize(300 + grow, 100));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());

    // Fitting again changes nothing.
    FitWindowToTexts(window);
    EXPECT_EQ(window.size(), QSize(300 + grow, 100));
    EXPECT_EQ(wide->width(), needed);
}

TEST(TextWidthsTest, GroupBoxesGrowWithTheirControlsAndComboBoxesWithTheirItemShown) {
    QWidget window;
    window.resize(400, 200);
    auto* group = new QGroupBox("Liste", &window);
    group->setGeometry(8, 8, 200, 100);
    auto* inside = Button(group, "Entfernen und nicht mehr anzeigen", QRect(10, 20, 60, 25));
    auto* after = Button(&window, "OK", QRect(220, 8, 75, 25));
    auto* combo = new QComboBox(&window);
    combo->addItems({"Nr", "Inspektionsrichtung", "Inspektionsrichtung und Anmerkung"});
    combo->setCurrentIndex(1);
    combo->setGeometry(8, 120, 60, 22);
    const int grow = NeededTextWidth(*inside) - 60;
    const int comboGrow = NeededTextWidth(*combo, "Inspektionsrichtung") - 60;
    ASSERT_GT(grow, 0);
    ASSERT_GT(comboGrow, 0);
    FitWindowToTexts(window);
    EXPECT_EQ(group->width(), 200 + grow);
    // Whatever lies right of a widened control moves, also beside another row: columns
    // of controls stay columns.
    EXPECT_EQ(after->x(), 220 + grow + comboGrow);
    EXPECT_EQ(combo->width(), 60 + comboGrow);
    EXPECT_EQ(combo->currentText(), "Inspektionsrichtung");
    // A window that may be resized grows and may not be made narrower than that.
    EXPECT_EQ(window.width(), 400 + grow + comboGrow);
    EXPECT_EQ(window.minimumWidth(), 400 + grow + comboGrow);
}

TEST(TextWidthsTest, WindowsWhoseTextsFitKeepTheirDesign) {
    QWidget window;
    window.setFixedSize(300, 100);
    auto* button = Button(&window, "OK", QRect(10, 10, 75, 25));
    auto* empty = Button(&window, QString(), QRect(100, 10, 5, 25));
    FitWindowToTexts(window);
    EXPECT_EQ(button->geometry(), QRect(10, 10, 75, 25));
    EXPECT_EQ(empty->geometry(), QRect(100, 10, 5, 25));
    EXPECT_EQ(window.size(), QSize(300, 100));
}

} // namespace
} // namespace kanvio::test
