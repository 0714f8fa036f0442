// The list view and its filter window on the offscreen platform.

#include "foundation/QelListView.h"

#include "foundation/QelFilterForm.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

struct TRow {
    std::string Type, City, Street, Number;
};

// Four visible columns (Type, City, Street, Number), of which Type and Street filter.
TQelListViewModel StreetModel(const std::vector<TRow>& rows) {
    TQelListViewModel model;
    model.Attributes = {
        {"Nr", "", false, TQelAlignment::Left, false},
        {"Type", "Art", true, TQelAlignment::Left, true},
        {"City", "Ort", true, TQelAlignment::Left, false},
        {"Street",
         "Stra\xDF"
         "e",
         true, TQelAlignment::Left, true},
        {"Number", "Nummer", true, TQelAlignment::Right, false},
    };
    int64_t nr = 0;
    for (const TRow& values : rows) {
        auto row = std::make_shared<THashMap>();
        row->PutInt64("Nr", nr++);
        row->PutValue("Type", values.Type);
        row->PutValue("City", values.City);
        row->PutValue("Street", values.Street);
        row->PutValue("Number", values.Number);
        model.Rows.push_back(row);
    }
    return model;
}

const std::vector<TRow> kRows = {
    {"Haltung", "Bonn", "Am Hof", "3"},    {"Anschluss", "Bonn", "", "1"},
    {"Haltung", "K\xF6ln", "am Hof", "2"}, {"Anschluss", "Aachen", "Bahnweg", "4"},
    {"haltung", "Bonn", "Bahnweg", "5"},
};

std::vector<std::string> Shown(const TQelListView& view, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < view.Table().rowCount(); ++row) {
        texts.push_back(view.Table().CellText(row, column));
    }
    return texts;
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items.append(box->itemText(i));
    }
    return items;
}

class QelListViewTest : public ::testing::Test {
protected:
    QelListViewTest() {
        view.resize(400, 300);
        view.show();
    }
    TQelListView view;
    QAbstractItemModelTester tester{&view.Table()};
};

TEST_F(QelListViewTest, SetModelBuildsTheColumnsOnceAndShowsAllRows) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    ASSERT_EQ(view.Table().columnCount(), 4);
    EXPECT_EQ(view.Table().rowCount(), 5);
    EXPECT_EQ(view.SourceModel(), &model);
    ASSERT_NE(view.FilteredModel(), nullptr);
    // The first column keeps the width every new column gets.
    EXPECT_EQ(view.columnWidth(0), view.horizontalHeader()->defaultSectionSize());
    for (int column = 1; column < 4; ++column) {
        EXPECT_EQ(view.columnWidth(column), 400 / 4 - 5) << column;
    }

    // A second model with other columns: the columns stay, the rows are the new ones.
    TQelListViewModel other;
    other.Attributes = {{"Zip", "PLZ", true, TQelAlignment::Left, true}};
    auto row = std::make_shared<THashMap>();
    row->PutValue("Zip", "53111");
    row->PutValue("Street", "Markt");
    other.Rows.push_back(row);
    view.SetModel(other);
    ASSERT_EQ(view.Table().columnCount(), 4);
    EXPECT_EQ(view.Table().Columns()[2].Name, "Street");
    EXPECT_EQ(Shown(view, 2), (std::vector<std::string>{"Markt"}));
    EXPECT_EQ(view.FilteredModel()->Attributes.size(), 1u);
}

TEST_F(QelListViewTest, ApplyFilterShowsTheSourceRowsStartingWithTheText) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    struct Case {
        size_t attribute;
        std::string text;
        std::vector<std::string> numbers;
    };
    const std::vector<Case> cases = {
        {3, "am", {"3", "2"}},
        {3, "AM H", {"3", "2"}},
        {3, "b", {"4", "5"}},
        {1, "h", {"3", "2", "5"}},
        {1, "Ha", {"3", "2", "5"}},
        {1, "x", {}},
        {3, "  ", {"3", "1", "2", "4", "5"}},
        {3, "", {"3", "1", "2", "4", "5"}},
        {3, "*", {}},
        {3, "am.*", {}},
        {2, "K\xF6", {"2"}},
    };
    for (const auto& c : cases) {
        view.ApplyFilter(c.attribute, c.text);
        EXPECT_EQ(Shown(view, 3), c.numbers) << c.attribute << " '" << c.text << "'";
        EXPECT_EQ(view.FilteredModel()->Rows.size(), c.numbers.size());
    }
}

TEST_F(QelListViewTest, AViewWithoutModelIgnoresFiltersAndKeys) {
    view.ApplyFilter(0, "x");
    EXPECT_EQ(view.ShowFilter(), nullptr);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_FALSE(view.currentIndex().isValid());
}

TEST_F(QelListViewTest, HomeAndEndMoveToTheFirstAndLastRowAndDoNothingWithoutRows) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.currentIndex().row(), 4);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.currentIndex().row(), 0);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(view.currentIndex().row(), 1);

    view.ApplyFilter(3, "nothing like this");
    EXPECT_EQ(view.Table().rowCount(), 0);
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_FALSE(view.currentIndex().isValid());
}

TEST_F(QelListViewTest, TheFocusedRowStaysWhileShownAndIsDroppedWhenFilteredOut) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.FocusRow(2); // "am Hof", number 2
    const THashMap* chosen = view.CurrentRowMap();
    ASSERT_EQ(chosen, model.Rows[2].get());

    view.ApplyFilter(3, "am");
    EXPECT_EQ(view.CurrentRowMap(), chosen);
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view.Table().RowMap(view.selectionModel()->selectedRows()[0].row()), chosen);

    view.ApplyFilter(3, "b");
    EXPECT_EQ(view.CurrentRowMap(), nullptr);
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());

    view.ApplyFilter(3, "");
    EXPECT_EQ(view.Table().rowCount(), 5);
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());
}

TEST_F(QelListViewTest, ClickedHeaderSortsStablyAndKeepsTheChosenRow) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.FocusRow(4); // number 5, Bonn
    QHeaderView* header = view.horizontalHeader();
    const QPoint cityHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, cityHeader);
    EXPECT_EQ(Shown(view, 1),
              (std::vector<std::string>{"Aachen", "Bonn", "Bonn", "Bonn", "K\xF6ln"}));
    // Equal cities keep their order.
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"4", "3", "1", "5", "2"}));
    EXPECT_EQ(view.CurrentRowMap(), model.Rows[4].get());

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, cityHeader);
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"2", "3", "1", "5", "4"}));
    EXPECT_EQ(view.CurrentRowMap(), model.Rows[4].get());
    EXPECT_TRUE(view.selectionModel()->isRowSelected(view.currentIndex().row()));

    // Filtering keeps the sorting.
    view.ApplyFilter(1, "h");
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"2", "3", "5"}));
}

TEST_F(QelListViewTest, RowMapAtKnowsRowsFromTheEmptyAreaBelowThem) {
    const TQelListViewModel model = StreetModel(kRows);
    view.SetModel(model);
    EXPECT_EQ(view.RowMapAt(view.visualRect(view.Table().index(1, 0)).center()),
              model.Rows[1].get());
    EXPECT_EQ(view.RowMapAt(QPoint(5, view.viewport()->height() - 2)), nullptr);
}

class QelFilterFormTest : public QelListViewTest {
protected:
    QelFilterFormTest() {
        view.SetModel(model);
        form = view.ShowFilter();
    }
    QComboBox* Box(size_t index) const { return form->Boxes().at(index); }

    const TQelListViewModel model = StreetModel(kRows);
    QPointer<TQelFilterForm> form;
};

TEST_F(QelFilterFormTest, OffersABoxOfOccurringValuesPerFilterableColumn) {
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    ASSERT_EQ(form->Labels().size(), 2u);
    ASSERT_EQ(form->Boxes().size(), 2u);
    EXPECT_EQ(form->Labels()[0]->text(), QString("Art"));
    EXPECT_EQ(form->Labels()[1]->text(), QString::fromUtf8("Straße"));
    EXPECT_EQ(form->Labels()[0]->font().pointSize(), 10);
    EXPECT_EQ(TQelFilterForm::BoxTag(Box(0)), 1);
    EXPECT_EQ(TQelFilterForm::BoxTag(Box(1)), 3);

    // Values once each without regard to case; an empty street adds nothing.
    EXPECT_EQ(Items(Box(0)), (QStringList{" ", "Haltung", "Anschluss"}));
    EXPECT_EQ(Items(Box(1)), (QStringList{" ", "Am Hof", "Bahnweg"}));
    EXPECT_TRUE(Box(0)->isEditable());

    // The boxes sit right of the widest caption, one below the other, inside the window.
    EXPECT_GT(Box(0)->x(), form->Labels()[1]->width());
    EXPECT_GE(Box(1)->y(), Box(0)->y() + Box(0)->height());
    EXPECT_LE(Box(1)->geometry().bottom(), form->height());
    EXPECT_LE(Box(1)->geometry().right(), form->width());
}

TEST_F(QelFilterFormTest, ChoosingInTheSecondBoxClearsTheFirstAndFiltersByTheSecondOnly) {
    Box(0)->setCurrentIndex(1); // Haltung
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"3", "2", "5"}));

    Box(1)->setCurrentIndex(2); // Bahnweg
    EXPECT_EQ(Box(0)->currentIndex(), -1);
    EXPECT_EQ(Box(0)->currentText(), QString());
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"4", "5"}));

    // The blank item shows every row again.
    Box(1)->setCurrentIndex(0);
    EXPECT_EQ(view.Table().rowCount(), 5);
}

TEST_F(QelFilterFormTest, TypedTextFiltersAsTypedEvenWithPatternCharacters) {
    Box(1)->setFocus();
    QTest::keyClicks(Box(1), "a");
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"3", "2"}));
    EXPECT_EQ(Box(1)->currentText(), QString("a"));
    QTest::keyClicks(Box(1), "*");
    EXPECT_EQ(view.Table().rowCount(), 0);
    Box(1)->setEditText(QString::fromUtf8("ä[("));
    EXPECT_EQ(view.Table().rowCount(), 0);
    Box(1)->setEditText("   ");
    EXPECT_EQ(view.Table().rowCount(), 5);
}

TEST_F(QelFilterFormTest, EveryCallOpensANewWindowAndAClosedOneGoesAway) {
    QPointer<TQelFilterForm> second = view.ShowFilter();
    ASSERT_TRUE(second);
    EXPECT_NE(second.data(), form.data());
    EXPECT_EQ(second->parent(), &view);
    second->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(second);
    // The other window still filters the view.
    Box(0)->setCurrentIndex(2);
    EXPECT_EQ(Shown(view, 3), (std::vector<std::string>{"1", "4"}));
}

} // namespace
} // namespace kanvio
