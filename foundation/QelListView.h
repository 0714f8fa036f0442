#pragma once

// The filterable list view: a grid over a TQelListViewModel that the user sorts by a
// clicked header and narrows through filter windows. The source model belongs to the
// caller and must outlive the view; the view owns the rows it currently shows.

#include "foundation/QelListViewModel.h"
#include "foundation/QelListViewTableModel.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kanvio {

class TQelFilterForm;

class TQelListView : public QTableView {
    Q_OBJECT

public:
    explicit TQelListView(QWidget* parent = nullptr);
    ~TQelListView() override;

    // Makes model the source, builds the columns on the first call only, shows all rows.
    void SetModel(const TQelListViewModel& model);
    // Shows the rows of model. The focused row stays focused when it is among them.
    void Fill(const TQelListViewModel& model);
    // Shows the source rows whose value in the attribute's column begins with text; all
    // rows when text is blank. Any text is taken literally.
    void ApplyFilter(size_t attributeIndex, std::string_view text);
    // Opens a new filter window over the source model (not modal) and returns it.
    TQelFilterForm* ShowFilter();
    // What a filter window calls when one of its boxes changed.
    void FilterChanged(int attributeIndex, const std::string& text);

    // The window's sorting comparison; without one the cells compare as CompareCellTexts.
    void SetCompare(TQelRowCompare compare);

    const TQelListViewModel* SourceModel() const { return source_; }
    const TQelListViewModel* FilteredModel() const { return filtered_.get(); }
    TQelTableModel& Table() { return table_; }
    const TQelTableModel& Table() const { return table_; }

    // The row map of the row at a point of the viewport, or null when no row lies there
    // (the empty area below the last row).
    const THashMap* RowMapAt(const QPoint& viewportPoint) const;
    const THashMap* CurrentRowMap() const;
    // Moves the focus (and the selection) to row, keeping the focused column.
    void FocusRow(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QItemSelectionModel::SelectionFlags SelectFlags() const;
    // Runs refill, then moves the focus back to the row that had it when it is still shown.
    void KeepFocusWhile(const std::function<void()>& refill);

    TQelTableModel table_;
    const TQelListViewModel* source_ = nullptr;
    std::unique_ptr<TQelListViewModel> filtered_;
};

} // namespace kanvio
