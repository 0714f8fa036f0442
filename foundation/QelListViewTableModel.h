#pragma once

// The rows a list view holds, offered to Qt's item views. The columns are built once from
// the first attributes given; the rows are replaced by every Fill and keep the sorting the
// user chose. Cell texts are read from the row maps when asked for, so a Fill costs no more
// than copying row references.

#include "foundation/QelListViewModel.h"

#include <QAbstractTableModel>

namespace kanvio {

class TQelTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TQelTableModel(QObject* parent = nullptr);

    // Builds the columns from the visible attributes when there are none yet; false when
    // the columns already existed and were kept.
    bool BuildColumnsOnce(const TAQelAttrib& attributes);
    const TQelColumns& Columns() const { return columns_; }

    // Replaces the rows by those of model, sorted as the grid is sorted. model's rows become
    // the base that FillPart picks from.
    void Fill(const TQelListViewModel& model);
    // Replaces the rows by the rows of base at part (ascending indexes), sorted as the grid
    // is sorted: the same rows in the same order as a Fill with just those rows. The sorted
    // order of base is kept between calls, so that each new filter costs a pass over base
    // instead of a sort.
    void FillPart(const TQelListViewModel& base, const std::vector<size_t>& part);

    // The row map shown in row, or null outside the rows.
    const THashMap* RowMap(int row) const;
    // The row that shows map, or -1.
    int RowOf(const THashMap* map) const;
    // The cell text of row and column as the row map gives it (Windows-1252 bytes).
    std::string CellText(int row, int column) const;

    void SetCompare(TQelRowCompare compare);
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // column -1 returns to the order of the last Fill.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void SortBase();
    void ShowPartInBaseOrder();

    TQelColumns columns_;
    TAHashMap baseRows_;            // what the last Fill got, or FillPart's base
    std::vector<size_t> baseOrder_; // indexes of baseRows_ in the grid's sorting
    bool baseOrderValid_ = false;   // false once the sorting or the comparison changed
    std::vector<char> inPart_;      // per row of baseRows_: shown or filtered out
    TAHashMap rows_;                // as shown
    TQelRowCompare compare_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace kanvio
