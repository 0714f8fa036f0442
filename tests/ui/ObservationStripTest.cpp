// The thumbnails under the structure graphic: filled in the background while the window
// goes on, placed inside the scroll box under the drawing, and a click on one does what a
// click on its observation does.

#include "ui/ObservationStrip.h"

#include "tests/ui/ReportTestSupport.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureTreePictures.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using test::InspectionReportTest;

class ObservationStripTest : public InspectionReportTest {
protected:
    void SetUp() override {
        InspectionReportTest::SetUp();
        graphic.resize(520, 300);
        graphic.SetObservationClickHandler([this](int index) { clicked.push_back(index); });
        graphic.SetOptionsSource([] { return TGraphicOptions{}; });
        strip = new TObservationStrip;
        graphic.SetFooter(strip);
        strip->SetClickHandler([this](int index) { graphic.ClickObservation(index); });
        graphic.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&graphic));
    }
    // What the layouts do for a structure: the strip, then the drawing.
    void Show(const TReachData& structure) {
        strip->ShowStructure(*context, &structure);
        graphic.DrawStructureGraphic(&structure);
    }
    bool WaitFilled() {
        return test::RunEventsUntil([this] { return strip->Done() == strip->Count(); }, 60000);
    }

    TStructureGraphicView graphic;
    TObservationStrip* strip = nullptr;
    std::vector<int> clicked;
};

TEST_F(ObservationStripTest, FillsInTheBackgroundAndClicksSeekAsTheObservationDoes) {
    const QSize before = graphic.size();
    Show(Structure(0));
    ASSERT_EQ(strip->Count(), 5);
    // The pictures come as queued calls: nothing is waited for while the structure is shown.
    EXPECT_EQ(strip->Done(), 0);
    QSignalSpy filled(strip, &TObservationStrip::Filled);
    ASSERT_TRUE(WaitFilled());
    EXPECT_EQ(filled.count(), 1);
    // Three observations lie in films; two (after the films, no time) have no picture.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(strip->Thumbnail(i)->icon().isNull(), i >= 3) << i;

    // Inside the scroll box, under the drawing; the box keeps its size.
    EXPECT_EQ(strip->parentWidget(), graphic.widget());
    EXPECT_GE(strip->y(), graphic.Bitmap().deviceIndependentSize().height() - 1);
    EXPECT_GE(graphic.widget()->height(), strip->geometry().bottom() + 1);
    EXPECT_EQ(graphic.size(), before);

    QTest::mouseClick(strip->Thumbnail(2), Qt::LeftButton);
    QTest::mouseClick(strip->Thumbnail(0), Qt::LeftButton);
    EXPECT_EQ(clicked, (std::vector<int>{2, 0}));
}

TEST_F(ObservationStripTest, AnotherStructureReplacesThePicturesStillToCome) {
    Show(Structure(0));
    Show(Structure(1));
    ASSERT_EQ(strip->Count(), 1);
    ASSERT_TRUE(WaitFilled());
    test::RunEventsFor(300);
    // Only the new structure's picture was taken; none of the first one's arrived late.
    EXPECT_EQ(strip->Done(), 1);
    EXPECT_FALSE(strip->Thumbnail(0)->icon().isNull());
    // A structure without observations leaves no strip.
    auto empty = MakeStructure('H', "R2", {});
    Show(*empty);
    EXPECT_EQ(strip->Count(), 0);
    EXPECT_EQ(strip->sizeHint().height(), 0);
}

const TReachData* StructureOfRow(const QTreeWidgetItem* item) {
    return reinterpret_cast<const TReachData*>(item->data(0, Qt::UserRole).value<quintptr>());
}

TEST_F(InspectionReportTest, ListRowsOfAnOpenedStructureGetTheirPictures) {
    QTreeWidget tree;
    for (size_t s = 0; s < 2; ++s) {
        auto* root = new QTreeWidgetItem(&tree, {QString::number(s)});
        root->setData(0, Qt::UserRole, QVariant::fromValue(quintptr(&Structure(s))));
        for (size_t d = 0; d < Structure(s).Details.size(); ++d)
            new QTreeWidgetItem(root, {QString::number(d)});
    }
    auto* pictures = new TStructureTreePictures(tree, *context, &StructureOfRow);
    tree.show();
    QSignalSpy filled(pictures, &TStructureTreePictures::Filled);
    // Opening the second row first, then the first at once: the first one's pictures come.
    tree.topLevelItem(1)->setExpanded(true);
    tree.topLevelItem(0)->setExpanded(true);
    EXPECT_EQ(pictures->Pending(), &Structure(0));
    ASSERT_TRUE(test::RunEventsUntil([&] { return filled.count() > 0; }, 60000));
    test::RunEventsFor(200);
    EXPECT_EQ(filled.count(), 1);
    const QTreeWidgetItem* r1 = tree.topLevelItem(0);
    for (int i = 0; i < r1->childCount(); ++i)
        EXPECT_EQ(r1->child(i)->icon(0).isNull(), i >= 3) << i;
    // Fitted into the icon's size, the film's aspect kept.
    const QSize icon = r1->child(0)->icon(0).actualSize(TStructureTreePictures::kIcon);
    EXPECT_EQ(icon.height(), TStructureTreePictures::kIcon.height());
    EXPECT_LE(icon.width(), TStructureTreePictures::kIcon.width());
    EXPECT_TRUE(tree.topLevelItem(1)->child(0)->icon(0).isNull());
}

} // namespace
} // namespace kanvio
