#pragma once

// The inspection choice window: every reach and connection of the project in one sortable,
// filterable table. A double-click on a row makes that structure current and hands it to
// the owner window, which shows it and moves the film to its start. The window is created
// once by its owner, hidden when done and shown again; its layout reaches the settings
// store when it is destroyed.

#include "foundation/KanvioToolkit.h"
#include "foundation/QelListView.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QToolButton;

namespace kanvio {

class TKanvioContext;
class TReachData;
class TFramePlacement;

class TInspChoiceForm : public QWidget {
    Q_OBJECT

public:
    // Called after structure became the context's CurrentStructure. The owner shows it
    // (ShowStructureInfo, DrawStructureGraphic), seeks to its first observation
    // (SeekDetail(-1)) and pauses.
    using TStructureChosen = std::function<void(TReachData& structure)>;

    // listModel is the context's list model; it must outlive the window.
    TInspChoiceForm(TKanvioContext& context, const TQelListViewModel& listModel,
                    TStructureChosen structureChosen, QWidget* owner);
    ~TInspChoiceForm() override;

    QToolButton* btnFilter = nullptr;
    TQelListView* MainGrid = nullptr;
    QPushButton* btnClose = nullptr;

    void btnFilterClick();
    void btnCloseClick();
    // The row under a point of the grid's viewport is chosen; anything else does nothing.
    void MainGridDblClick(const QPoint& viewportPoint);
    // Makes the row's structure current, hands it to the owner and hides the window. False
    // (and nothing done) when the row names no structure of the context.
    bool ChooseRow(const THashMap& row);

    // The grid's sorting: numbers by value, other texts by character code; rows equal in
    // the sorted column stay in ascending order of their "Number" whatever the direction.
    // fromGrid is false for the comparison the tie-break repeats.
    static int MainGridCompare(bool fromGrid, const TQelSortRequest& request,
                               const TQelCompareRows& rows);
    // The same with the index of the "Number" column already looked up (-1: none).
    static int MainGridCompare(bool fromGrid, const TQelSortRequest& request,
                               const TQelCompareRows& rows, int numberColumn);
    // The saved bounds pulled back onto a screen of the given size.
    static TFormGeometry PlaceOnScreen(TFormGeometry saved, int screenWidth, int screenHeight);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const TQelListViewModel& listModel);
    void FormDestroy();
    void FormResize();
    void ReadSavedColumns();
    void ApplySavedColumns();

    TKanvioContext& context_;
    TStructureChosen structureChosen_;
    std::vector<int> savedWidths_;
    std::vector<std::string> savedNames_;
    TFramePlacement* placement_ = nullptr;
};

} // namespace kanvio
