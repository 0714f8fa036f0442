#include "foundation/QelListViewTableModel.h"

#include "foundation/AnsiText.h"

namespace kanvio {

namespace {

Qt::Alignment ToQtAlignment(TQelAlignment alignment) {
    switch (alignment) {
    case TQelAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TQelAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TQelAlignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

TQelTableModel::TQelTableModel(QObject* parent) : QAbstractTableModel(parent) {}

bool TQelTableModel::BuildColumnsOnce(const TAQelAttrib& attributes) {
    if (!columns_.empty()) {
        return false;
    }
    TQelColumns columns = BuildColumns(attributes);
    if (columns.empty()) {
        return false;
    }
    beginInsertColumns(QModelIndex(), 0, int(columns.size()) - 1);
    columns_ = std::move(columns);
    endInsertColumns();
    return true;
}

void TQelTableModel::Fill(const TQelListViewModel& model) {
    beginResetModel();
    baseRows_ = model.Rows;
    inPart_.assign(baseRows_.size(), 1);
    SortBase();
    ShowPartInBaseOrder();
    endResetModel();
}

void TQelTableModel::FillPart(const TQelListViewModel& base, const std::vector<size_t>& part) {
    beginResetModel();
    if (base.Rows != baseRows_) {
        baseRows_ = base.Rows;
        baseOrderValid_ = false;
    }
    if (!baseOrderValid_) {
        SortBase();
    }
    inPart_.assign(baseRows_.size(), 0);
    for (size_t index : part) {
        if (index < inPart_.size()) {
            inPart_[index] = 1;
        }
    }
    ShowPartInBaseOrder();
    endResetModel();
}

void TQelTableModel::SetCompare(TQelRowCompare compare) {
    compare_ = std::move(compare);
    baseOrderValid_ = false;
}

// A stable sort keeps rows that compare equal in base order, so the rows of a part come out
// of the sorted base in the order a sort of the part alone gives them.
void TQelTableModel::SortBase() {
    const TQelSortRequest request{&columns_, sortColumn_, sortOrder_ == Qt::DescendingOrder};
    baseOrder_ = SortRowOrder(baseRows_, request, compare_);
    baseOrderValid_ = true;
}

void TQelTableModel::ShowPartInBaseOrder() {
    rows_.clear();
    rows_.reserve(baseOrder_.size());
    for (size_t index : baseOrder_) {
        if (inPart_[index] != 0) {
            rows_.push_back(baseRows_[index]);
        }
    }
}

const THashMap* TQelTableModel::RowMap(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) {
        return nullptr;
    }
    return rows_[size_t(row)].get();
}

int TQelTableModel::RowOf(const THashMap* map) const {
    if (map == nullptr) {
        return -1;
    }
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].get() == map) {
            return int(row);
        }
    }
    return -1;
}

std::string TQelTableModel::CellText(int row, int column) const {
    const THashMap* map = RowMap(row);
    if (map == nullptr || column < 0 || size_t(column) >= columns_.size()) {
        return {};
    }
    return map->GetString(columns_[size_t(column)].Key, "");
}

int TQelTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TQelTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant TQelTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return AnsiToQString(CellText(index.row(), index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ToQtAlignment(columns_[size_t(index.column())].Alignment));
    default:
        return {};
    }
}

QVariant TQelTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || size_t(section) >= columns_.size()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
    case Qt::DisplayRole:
        return AnsiToQString(columns_[size_t(section)].Caption);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ToQtAlignment(columns_[size_t(section)].Alignment));
    default:
        return {};
    }
}

Qt::ItemFlags TQelTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Cells are shown, never edited.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TQelTableModel::sort(int column, Qt::SortOrder order) {
    if (column >= int(columns_.size())) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const TAHashMap before = rows_;
    sortColumn_ = column < 0 ? -1 : column;
    sortOrder_ = order;
    SortBase();
    ShowPartInBaseOrder();

    // Selections and the current row follow their rows to the new places.
    const QModelIndexList oldIndexes = persistentIndexList();
    QModelIndexList newIndexes;
    newIndexes.reserve(oldIndexes.size());
    for (const QModelIndex& oldIndex : oldIndexes) {
        const int row = RowOf(before[size_t(oldIndex.row())].get());
        newIndexes.append(row < 0 ? QModelIndex() : index(row, oldIndex.column()));
    }
    changePersistentIndexList(oldIndexes, newIndexes);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace kanvio
