#pragma once

// The menu bar of the main window: the reach and connection menus built from the project,
// the inspection choice, printing, settings with the layout choice, and help.

#include "core/KanvioDataModel.h"
#include "ui/StructureLabels.h"

#include <QObject>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QWidget;

namespace kanvio {

class LangScope;

class TMainFormMenus final : public QObject {
    Q_OBJECT
public:
    explicit TMainFormMenus(QWidget* window);

    void ApplyTexts(const LangScope& lang);
    // The width the menu bar needs to show all its menus without the extension button.
    int NeededWidth() const;

    // Rebuilds both structure menus; a menu without items is disabled.
    void BuildStructureMenus(const TAReachData& reaches, const TAReachData& connections,
                             const TAInspectionInfo& labelTable, uint8_t displayConnectionMode);
    // Captions of the single window with graph: label rows are read on as long as they
    // name a row, not only the first five.
    void SetOpenEndedLabelRows(bool openEnded) { openEndedLabelRows_ = openEnded; }
    // Unchecks every structure item and checks item (none when null).
    void CheckStructureItem(QAction* item);
    // The item of a structure of the lists the menus were built from, or null.
    QAction* ItemOf(const TReachData* structure) const;
    // The checked structure item, or null.
    QAction* CheckedStructureItem() const;
    const std::vector<QAction*>& ReachItems() const { return reachItems_; }
    const std::vector<QAction*>& ConnectionItems() const { return connectionItems_; }

    // The layout item at a position of the layout menu (0..2), checked; others unchecked.
    void CheckLayoutItem(int position);
    // The recent deliveries below the open item, newest first; folder names in the file
    // system's bytes.
    void ShowRecentDeliveries(const std::vector<std::string>& folders);
    const std::vector<QAction*>& RecentDeliveryItems() const { return recentItems_; }

    // Enabled state of the menus the trailer locks; structure menus stay disabled when
    // empty.
    void EnableControls(bool enabled);

    QMenuBar* MainMenu;
    QMenu* miDelivery;
    QAction* miOpenDelivery;
    QMenu* miReaches;
    QMenu* miConnections;
    QAction* miAdvanced;
    QMenu* miPrintout;
    QAction* miPrintStructure;
    QAction* miToggleManholes;
    QMenu* miReport;
    QAction* miReportStructure;
    QAction* miReportChoice;
    QAction* miReportDelivery;
    QMenu* miSettings;
    QAction* miCodecSettings;
    QAction* miDefectClass;
    QMenu* miLayout;
    QAction* miThreeForms;
    QAction* miSingleFormGraph;
    QAction* miSingleFormTree;
    QAction* miMenuLayout;
    QMenu* miHelp;
    QAction* miKanvioHelp;

Q_SIGNALS:
    void ReachItemClick(int index);
    void ConnectionItemClick(int index);
    // A layout item was chosen; tag 0..2.
    void LayoutChange(int tag);
    // A recent delivery was chosen; its place in the list last shown.
    void RecentDeliveryClick(int index);

private:
    std::vector<QAction*> FillStructureMenu(QMenu* menu, const TAReachData& structures,
                                            TStructureKind kind, const TAInspectionInfo& labelTable,
                                            uint8_t displayConnectionMode);

    QActionGroup* layoutGroup_;
    std::vector<QAction*> reachItems_;
    std::vector<QAction*> connectionItems_;
    std::vector<QAction*> recentItems_;
    // The structures behind the items, in the same order; owned by the data model.
    // The place of each structure in its menu, so that finding its item is a look-up.
    std::unordered_map<const TReachData*, size_t> reachPlaces_;
    std::unordered_map<const TReachData*, size_t> connectionPlaces_;
    bool enabled_ = true;
    bool openEndedLabelRows_ = false;
};

} // namespace kanvio
