// The grid's rows as Qt's item views see them, checked by Qt's own model tester while
// they are filled, sorted and refilled.

#include "foundation/QelListViewTableModel.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

TQelListViewModel NumberedModel(const std::vector<std::string>& numbers) {
    TQelListViewModel model;
    model.Attributes = {
        {"Key", "", false, TQelAlignment::Left, false},
        {"Number", "Nummer", true, TQelAlignment::Right, false},
        {"City",
         "Stra\xDF"
         "e",
         true, TQelAlignment::Left, true},
        {"Length", "L\xE4nge", true, TQelAlignment::Center, false},
    };
    int64_t key = 0;
    for (const std::string& number : numbers) {
        auto row = std::make_shared<THashMap>();
        row->PutInt64("Key", key++);
        row->PutValue("Number", number);
        row->PutValue("City", "K\xF6ln");
        row->PutValue("Length", 2.5);
        model.Rows.push_back(row);
    }
    return model;
}

std::vector<std::string> Column(const TQelTableModel& table, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < table.rowCount(); ++row) {
        texts.push_back(table.CellText(row, column));
    }
    return texts;
}

class QelTableModelTest : public ::testing::Test {
protected:
    TQelTableModel table;
    QAbstractItemModelTester tester{&table};
};

TEST_F(QelTableModelTest, ShowsTheVisibleColumnsWithCaptionsTextsAndAlignment) {
    const TQelListViewModel model = NumberedModel({"7", "3"});
    EXPECT_EQ(table.columnCount(), 0);
    EXPECT_TRUE(table.BuildColumnsOnce(model.Attributes));
    table.Fill(model);

    ASSERT_EQ(table.columnCount(), 3);
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.headerData(0, Qt::Horizontal).toString(), QString("Nummer"));
    EXPECT_EQ(table.headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("Straße"));
    EXPECT_EQ(table.headerData(2, Qt::Horizontal).toString(), QString::fromUtf8("Länge"));
    EXPECT_EQ(table.data(table.index(1, 1)).toString(), QString::fromUtf8("Köln"));
    EXPECT_EQ(table.data(table.index(0, 2)).toString(), QString("2.5"));
    EXPECT_EQ(table.data(table.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(table.data(table.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_FALSE(table.flags(table.index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(table.flags(table.index(0, 0)).testFlag(Qt::ItemIsSelectable));
}

TEST_F(QelTableModelTest, ColumnsAreBuiltOnceAndRowsAreReplacedByEveryFill) {
    const TQelListViewModel first = NumberedModel({"1", "2", "3"});
    TQelListViewModel other;
    other.Attributes = {{"Other", "Other", true, TQelAlignment::Left, false}};
    ASSERT_TRUE(table.BuildColumnsOnce(first.Attributes));
    EXPECT_FALSE(table.BuildColumnsOnce(other.Attributes));
    EXPECT_EQ(table.Columns()[0].Name, "Number");

    table.Fill(first);
    EXPECT_EQ(table.rowCount(), 3);
    table.Fill(TQelListViewModel{});
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(table.RowMap(0), nullptr);
    EXPECT_EQ(table.CellText(0, 0), "");
    table.Fill(first);
    EXPECT_EQ(table.RowMap(2), first.Rows[2].get());
    EXPECT_EQ(table.RowOf(first.Rows[1].get()), 1);
    EXPECT_EQ(table.RowOf(nullptr), -1);
    EXPECT_EQ(table.RowMap(-1), nullptr);
    EXPECT_EQ(table.RowMap(3), nullptr);
    EXPECT_EQ(table.CellText(0, 7), "");
}

TEST_F(QelTableModelTest, EmptyAttributeListGivesNoColumnsButLaterOnesCanStillBuildThem) {
    EXPECT_FALSE(table.BuildColumnsOnce({}));
    EXPECT_FALSE(table.BuildColumnsOnce({{"Hidden", "", false, TQelAlignment::Left, false}}));
    EXPECT_TRUE(table.BuildColumnsOnce(NumberedModel({}).Attributes));
    EXPECT_EQ(table.columnCount(), 3);
}

TEST_F(QelTableModelTest, SortingMovesSelectedRowsAlongAndSurvivesARefill) {
    const TQelListViewModel model = NumberedModel({"2", "10", "1", "a2", "a10"});
    table.BuildColumnsOnce(model.Attributes);
    table.Fill(model);
    QItemSelectionModel selection(&table);
    selection.setCurrentIndex(table.index(1, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPersistentModelIndex tenth(table.index(1, 0));

    table.sort(0, Qt::AscendingOrder);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"1", "2", "10", "a10", "a2"}));
    EXPECT_EQ(tenth.row(), 2);
    EXPECT_EQ(selection.currentIndex().row(), 2);
    EXPECT_TRUE(selection.isRowSelected(2));
    EXPECT_EQ(selection.selectedRows().size(), 1);

    table.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"a2", "a10", "10", "2", "1"}));
    EXPECT_EQ(selection.currentIndex().row(), 2);

    // A refill of other rows keeps the sorting.
    table.Fill(NumberedModel({"5", "50", "6"}));
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"50", "6", "5"}));
    EXPECT_EQ(table.SortColumn(), 0);
    EXPECT_EQ(table.SortOrder(), Qt::DescendingOrder);

    // No sort column: back to the order of the fill.
    table.sort(-1);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"5", "50", "6"}));
    table.sort(99);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"5", "50", "6"}));
}

TEST_F(QelTableModelTest, WindowComparisonDecidesTheOrder) {
    const TQelListViewModel model = NumberedModel({"b", "C", "a"});
    table.BuildColumnsOnce(model.Attributes);
    std::vector<bool> directions;
    table.SetCompare([&directions](const TQelSortRequest& request, const TQelCompareRows& rows) {
        directions.push_back(request.Descending);
        // Without regard to case, whatever the direction.
        return QString::fromLatin1(rows.TextA.data(), qsizetype(rows.TextA.size()))
            .compare(QString::fromLatin1(rows.TextB.data(), qsizetype(rows.TextB.size())),
                     Qt::CaseInsensitive);
    });
    table.Fill(model);
    table.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"a", "b", "C"}));
    ASSERT_FALSE(directions.empty());
    EXPECT_TRUE(directions.back());
}

} // namespace
} // namespace kanvio
