#include "foundation/QelListView.h"

#include "foundation/QelFilterForm.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace kanvio {

TQelListView::TQelListView(QWidget* parent) : QTableView(parent), table_(this) {
    setModel(&table_);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsMovable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    // A flat list: no row numbers, no grid lines of a spreadsheet.
    verticalHeader()->hide();
    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
}

TQelListView::~TQelListView() = default;

void TQelListView::SetModel(const TQelListViewModel& model) {
    source_ = &model;
    if (!filtered_) {
        filtered_ = std::make_unique<TQelListViewModel>();
    }
    filtered_->Attributes = model.Attributes;
    if (table_.BuildColumnsOnce(model.Attributes)) {
        const int count = table_.columnCount();
        const int width = DefaultColumnWidth(this->width(), count);
        for (int column = 1; column < count; ++column) {
            setColumnWidth(column, std::max(width, horizontalHeader()->minimumSectionSize()));
        }
    }
    Fill(model);
}

void TQelListView::Fill(const TQelListViewModel& model) {
    KeepFocusWhile([&] { table_.Fill(model); });
}

void TQelListView::KeepFocusWhile(const std::function<void()>& refill) {
    const THashMap* focused = CurrentRowMap();
    const int focusedColumn = std::max(currentIndex().column(), 0);
    refill();
    const int row = table_.RowOf(focused);
    if (row >= 0) {
        const QModelIndex index = table_.index(row, focusedColumn);
        selectionModel()->setCurrentIndex(index, SelectFlags());
        scrollTo(index);
    }
    viewport()->update();
}

void TQelListView::ApplyFilter(size_t attributeIndex, std::string_view text) {
    if (source_ == nullptr || !filtered_) {
        return;
    }
    const std::vector<size_t> part = FilterRowIndexes(*source_, attributeIndex, text);
    filtered_->Attributes = source_->Attributes;
    filtered_->Rows.clear();
    filtered_->Rows.reserve(part.size());
    for (size_t index : part) {
        filtered_->Rows.push_back(source_->Rows[index]);
    }
    // The table keeps the source's sorted order and picks the part from it.
    KeepFocusWhile([&] { table_.FillPart(*source_, part); });
}

TQelFilterForm* TQelListView::ShowFilter() {
    if (source_ == nullptr) {
        return nullptr;
    }
    auto* form = new TQelFilterForm(this, [this](int attributeIndex, const std::string& text) {
        FilterChanged(attributeIndex, text);
    });
    form->Build(*source_);
    form->show();
    return form;
}

void TQelListView::FilterChanged(int attributeIndex, const std::string& text) {
    if (attributeIndex < 0) {
        return;
    }
    ApplyFilter(size_t(attributeIndex), text);
}

void TQelListView::SetCompare(TQelRowCompare compare) {
    table_.SetCompare(std::move(compare));
}

const THashMap* TQelListView::RowMapAt(const QPoint& viewportPoint) const {
    const QModelIndex index = indexAt(viewportPoint);
    return index.isValid() ? table_.RowMap(index.row()) : nullptr;
}

const THashMap* TQelListView::CurrentRowMap() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? table_.RowMap(index.row()) : nullptr;
}

void TQelListView::FocusRow(int row) {
    if (row < 0 || row >= table_.rowCount()) {
        return;
    }
    const QModelIndex index = table_.index(row, std::max(currentIndex().column(), 0));
    selectionModel()->setCurrentIndex(index, SelectFlags());
    scrollTo(index);
}

QItemSelectionModel::SelectionFlags TQelListView::SelectFlags() const {
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (selectionBehavior() == QAbstractItemView::SelectRows) {
        flags |= QItemSelectionModel::Rows;
    }
    return flags;
}

void TQelListView::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Home || event->key() == Qt::Key_End)) {
        if (table_.rowCount() > 0) {
            FocusRow(event->key() == Qt::Key_Home ? 0 : table_.rowCount() - 1);
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace kanvio
