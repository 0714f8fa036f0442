// The single window's structures: the menus and graphic of layout 1, the list of layout 2,
// and the choice of the structure at start.

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/Errors.h"
#include "foundation/QelListViewModel.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"
#include "ui/InspChoiceForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormLayout.h"
#include "ui/MainFormMenus.h"
#include "ui/StartChoice.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureInfoPanel.h"
#include "ui/StructureTreeText.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace kanvio {

namespace {

constexpr int kStructureRole = Qt::UserRole;

TReachData* StructureOf(const QTreeWidgetItem* item) {
    return item != nullptr
               ? reinterpret_cast<TReachData*>(item->data(0, kStructureRole).value<quintptr>())
               : nullptr;
}

QColor ColorOf(uint32_t windowsColor) {
    return QColor(windowsColor & 0xFF, (windowsColor >> 8) & 0xFF, (windowsColor >> 16) & 0xFF);
}

bool SameStructure(const TReachData& a, const TReachData& b) {
    // Structures of ISYBAU deliveries carry no ID: then only the structure itself matches.
    return &a == &b || (!a.ID.empty() && a.ID == b.ID && a.ObjectType == b.ObjectType);
}

} // namespace

void TKanvioSingleForm::ShowStructureList() {
    if (context_.LayoutMode == 2) {
        FillStructureTree();
    } else {
        BuildStructureMenus();
    }
}

void TKanvioSingleForm::ShowCurrentStructure() {
    if (context_.LayoutMode == 2) {
        SelectTreeNode();
    } else {
        SyncMenus();
    }
}

void TKanvioSingleForm::BuildStructureMenus() {
    menus_->BuildStructureMenus(context_.Reaches, context_.Connections, context_.InspectionInfo,
                                context_.DisplayConnectionMode);
}

void TKanvioSingleForm::FillStructureTree() {
    lstStructures_->clear();
    const TAReachData* structures = nullptr;
    if (haltungRBtn_->isChecked()) {
        structures = &context_.Reaches;
    } else if (anschlussRBtn_->isChecked()) {
        structures = &context_.Connections;
    }
    if (structures == nullptr) {
        return;
    }
    QList<QTreeWidgetItem*> roots;
    for (const auto& structure : *structures) {
        auto* root = new QTreeWidgetItem({QString::fromLatin1(StructureRowText(*structure))});
        root->setData(0, kStructureRole, QVariant::fromValue(quintptr(structure.get())));
        for (const TReachDetail& detail : structure->Details) {
            auto* child = new QTreeWidgetItem(
                root, {QString::fromLatin1(
                          ObservationRowText(detail, context_.LengthFormat, context_.LengthUnit))});
            child->setData(0, kStructureRole, QVariant::fromValue(quintptr(structure.get())));
            // Classes above five have no colour of their own: such rows stay plain.
            if (detail.DefectClass > 0 && detail.DefectClass <= 5) {
                child->setForeground(0, ColorOf(context_.GetDefectClassColor(detail.DefectClass)));
            }
        }
        roots.append(root);
    }
    lstStructures_->addTopLevelItems(roots);
}

void TKanvioSingleForm::SelectTreeNode() {
    const TReachData* current = context_.CurrentStructure;
    if (current == nullptr) {
        return;
    }
    QRadioButton* wanted = current->ObjectType == 'H' ? haltungRBtn_ : anschlussRBtn_;
    if (!wanted->isChecked()) {
        wanted->setChecked(true);
        FillStructureTree();
    }
    for (int i = 0; i < lstStructures_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = lstStructures_->topLevelItem(i);
        const TReachData* structure = StructureOf(root);
        if (structure != nullptr && SameStructure(*structure, *current)) {
            lstStructures_->setCurrentItem(root);
            root->setExpanded(true);
            lstStructures_->scrollToItem(root);
            return;
        }
    }
}

void TKanvioSingleForm::lstStructuresDblClick(QTreeWidgetItem* item) {
    TReachData* structure = StructureOf(item);
    if (structure == nullptr) {
        return;
    }
    context_.CurrentStructure = structure;
    const int detail = item->parent() != nullptr ? item->parent()->indexOfChild(item) : -1;
    context_.SeekDetail(detail);
    lstStructures_->setCurrentItem(item);
}

void TKanvioSingleForm::SelectInitialStructure() {
    if (!ApplyCommandLineChoice(context_, arguments_)) {
        const bool menusEmpty = menus_->ReachItems().empty() && menus_->ConnectionItems().empty();
        if (context_.LayoutMode != 2 && !menusEmpty) {
            if (!context_.Reaches.empty()) {
                menus_->CheckStructureItem(
                    menus_->ReachItems().empty() ? nullptr : menus_->ReachItems().front());
            } else if (!context_.Connections.empty()) {
                menus_->CheckStructureItem(menus_->ConnectionItems().empty()
                                               ? nullptr
                                               : menus_->ConnectionItems().front());
            }
        }
        if (!context_.Reaches.empty()) {
            context_.CurrentStructure = context_.Reaches.front().get();
        } else if (!context_.Connections.empty()) {
            context_.CurrentStructure = context_.Connections.front().get();
        }
        if (context_.CurrentStructure != nullptr) {
            context_.SeekDetail(-1);
        }
    }
    if (context_.LayoutMode == 2) {
        SelectTreeNode();
    } else {
        ShowStructureInfo();
        DrawStructureGraphic(context_.CurrentStructure);
    }
    context_.Pause();
}

void TKanvioSingleForm::SyncMenus() {
    const TReachData* current = context_.CurrentStructure;
    QAction* item = nullptr;
    if (current != nullptr) {
        const auto find = [current](const TAReachData& structures,
                                    const std::vector<QAction*>& items) -> QAction* {
            for (size_t i = 0; i < structures.size() && i < items.size(); ++i) {
                if (structures[i].get() == current) {
                    return items[i];
                }
            }
            return nullptr;
        };
        item = current->ObjectType == 'H' ? find(context_.Reaches, menus_->ReachItems())
                                          : find(context_.Connections, menus_->ConnectionItems());
    }
    menus_->CheckStructureItem(item);
    DrawStructureGraphic(context_.CurrentStructure);
    ShowStructureInfo();
}

void TKanvioSingleForm::ShowStructureInfo() {
    const TReachData* current = context_.CurrentStructure;
    infoPanel_->ShowStructure(current);
    menus_->miToggleManholes->setEnabled(current != nullptr && CanToggleManholes(*current));
}

void TKanvioSingleForm::DrawStructureGraphic(const TReachData* structure) {
    if (context_.LayoutMode != 2) {
        scrollBox_->DrawStructureGraphic(structure);
    }
}

void TKanvioSingleForm::EnableControls(bool enabled) {
    menus_->EnableControls(enabled);
    for (QWidget* control :
         std::initializer_list<QWidget*>{umschaltPanel_, zoomBtn_, scrollBox_, lstStructures_}) {
        control->setEnabled(enabled);
    }
}

void TKanvioSingleForm::ReachItemClick(int index) {
    if (index < 0 || static_cast<size_t>(index) >= context_.Reaches.size()) {
        return;
    }
    const auto& items = menus_->ReachItems();
    SelectStructure(static_cast<size_t>(index) < items.size() ? items[size_t(index)] : nullptr,
                    context_.Reaches[size_t(index)].get());
}

void TKanvioSingleForm::ConnectionItemClick(int index) {
    if (index < 0 || static_cast<size_t>(index) >= context_.Connections.size()) {
        return;
    }
    const auto& items = menus_->ConnectionItems();
    SelectStructure(static_cast<size_t>(index) < items.size() ? items[size_t(index)] : nullptr,
                    context_.Connections[size_t(index)].get());
}

void TKanvioSingleForm::SelectStructure(QAction* item, TReachData* structure) {
    menus_->CheckStructureItem(item);
    context_.CurrentStructure = structure;
    ShowStructureInfo();
    DrawStructureGraphic(structure);
    context_.SeekDetail(-1);
    context_.Pause();
}

void TKanvioSingleForm::ObservationLabelClick(int detailIndex) {
    // The graphic is disabled while the trailer plays, so no trailer test is needed here.
    context_.SeekDetail(detailIndex);
    context_.Play(1.0);
}

void TKanvioSingleForm::LayoutChange(int tag) {
    menus_->CheckLayoutItem(tag);
    try {
        WriteRegInteger("", "LayoutMode", tag);
    } catch (const EKanvioError& error) {
        dialogs_.ShowMessage(TMessageKind::Error, error.what());
        return;
    }
    dialogs_.ShowMessage(TMessageKind::Information, restartNotice_);
}

void TKanvioSingleForm::miAdvancedClick() {
    if (choiceForm_ == nullptr) {
        if (!context_.ListModel) {
            listModel_ = BuildListModel(context_);
        }
        const TQelListViewModel& model = context_.ListModel ? *context_.ListModel : *listModel_;
        choiceForm_ = new TInspChoiceForm(
            context_, model, [this](TReachData& structure) { StructureChosen(structure); }, this);
    }
    choiceForm_->show();
    choiceForm_->raise();
    choiceForm_->activateWindow();
}

void TKanvioSingleForm::StructureChosen(TReachData& structure) {
    context_.CurrentStructure = &structure;
    ShowStructureInfo();
    DrawStructureGraphic(&structure);
    context_.SeekDetail(-1);
    context_.Pause();
}

} // namespace kanvio
