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

// Rows whose texts repeat, so that ties show whether rows that compare equal keep their
// order; numbers and words mixed, and missing values, as deliveries have them.
TQelListViewModel MixedModel(size_t rows) {
    TQelListViewModel model = NumberedModel({});
    const char* const cities[] = {"Bonn", "bonn", "Berlin", "", "K\xF6ln", "Bochum", "10", "9"};
    for (size_t i = 0; i < rows; ++i) {
        auto row = std::make_shared<THashMap>();
        row->PutInt64("Key", int64_t(i));
        row->PutValue("Number", std::to_string((i * 7919) % 23));
        if (i % 11 != 0) {
            row->PutValue("City", cities[(i * 31) % std::size(cities)]);
        }
        row->PutValue("Length", double(i % 5));
        model.Rows.push_back(row);
    }
    return model;
}

std::vector<const THashMap*> ShownRows(const TQelTableModel& table) {
    std::vector<const THashMap*> rows;
    for (int row = 0; row < table.rowCount(); ++row) {
        rows.push_back(table.RowMap(row));
    }
    return rows;
}

// Every filter of a sorted grid shows exactly what a fresh fill and sort of the kept rows
// shows: the same rows in the same order, ties included, in both directions and with the
// window's own comparison.
TEST(QelTableModelPartTest, FillPartShowsWhatAFillOfThePartShows) {
    const TQelListViewModel base = MixedModel(500);
    const std::vector<std::string> filters = {"", "b", "bo", "B", "k\xF6", "1", "x", " "};
    const auto byCityIgnoringCase = [](const TQelSortRequest& request,
                                       const TQelCompareRows& rows) {
        const int order =
            QString::fromLatin1(rows.TextA.data(), qsizetype(rows.TextA.size()))
                .compare(QString::fromLatin1(rows.TextB.data(), qsizetype(rows.TextB.size())),
                         Qt::CaseInsensitive);
        return request.Descending ? -order : order;
    };
    for (const bool windowCompare : {false, true}) {
        for (int column = -1; column < 3; ++column) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                TQelTableModel narrowed;
                TQelTableModel fresh;
                for (TQelTableModel* table : {&narrowed, &fresh}) {
                    table->BuildColumnsOnce(base.Attributes);
                    if (windowCompare) {
                        table->SetCompare(byCityIgnoringCase);
                    }
                    table->Fill(base);
                    table->sort(column, order);
                }
                for (const std::string& text : filters) {
                    SCOPED_TRACE("column " + std::to_string(column) + ", filter \"" + text +
                                 "\", " + (order == Qt::DescendingOrder ? "down" : "up") +
                                 (windowCompare ? ", window comparison" : ""));
                    const std::vector<size_t> part = FilterRowIndexes(base, 2, text);
                    TQelListViewModel kept;
                    FilterRows(base, 2, text, kept);
                    narrowed.FillPart(base, part);
                    fresh.Fill(kept);
                    ASSERT_EQ(ShownRows(narrowed), ShownRows(fresh));
                    EXPECT_EQ(size_t(narrowed.rowCount()), kept.Rows.size());
                }
            }
        }
    }
}

TEST(QelTableModelPartTest, FillPartFollowsANewBaseANewComparisonAndAResort) {
    TQelTableModel table;
    QAbstractItemModelTester tester(&table);
    TQelListViewModel base = NumberedModel({"3", "1", "2", "1"});
    table.BuildColumnsOnce(base.Attributes);
    table.Fill(base);
    table.sort(0, Qt::AscendingOrder);
    table.FillPart(base, {0, 1, 2});
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"1", "2", "3"}));

    // Sorting the other way while filtered: the part stays, in the new order.
    table.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"3", "2", "1"}));
    // Back to no sorting: the part in base order.
    table.sort(-1);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"3", "1", "2"}));
    table.sort(0, Qt::AscendingOrder);

    // A comparison set later counts for the next filter (here: everything reversed).
    table.SetCompare([](const TQelSortRequest&, const TQelCompareRows& rows) {
        return -CompareCellTexts(rows.TextA, rows.TextB);
    });
    table.FillPart(base, {0, 1, 2, 3});
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"3", "2", "1", "1"}));

    // Other rows in the base model: the part is taken from them, not from the old ones.
    base = NumberedModel({"9", "7", "8"});
    table.FillPart(base, {1, 2});
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"8", "7"}));
    // Indexes beyond the rows and an empty part show what exists.
    table.FillPart(base, {0, 7});
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"9"}));
    table.FillPart(base, {});
    EXPECT_EQ(table.rowCount(), 0);
}

} // namespace
} // namespace kanvio
