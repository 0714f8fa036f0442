// The single window's structures: the menus and graphic of layout 1, the list of layout 2,
// and the choice of the structure at start.

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/StructureGraphicView.h"
#include "ui/StructureTreeText.h"

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

// Classes above five have no colour of their own: such rows stay plain.
void ColourObservationRow(QTreeWidgetItem& row, const TReachDetail& detail,
                          const TGraphicOptions& options) {
    if (detail.DefectClass > 0 && detail.DefectClass <= 5) {
        row.setForeground(0, ColorOf(options.DefectClassColors[size_t(detail.DefectClass)]));
    } else {
        row.setForeground(0, QBrush());
    }
}

bool SameStructure(const TReachData& a, const TReachData& b) {
    // Structures of ISYBAU deliveries carry no ID: then only the structure itself matches.
    return &a == &b || (!a.ID.empty() && a.ID == b.ID && a.ObjectType == b.ObjectType);
}

} // namespace

const TReachData* TKanvioSingleForm::StructureOfRow(const QTreeWidgetItem* item) {
    return StructureOf(item);
}

void TKanvioSingleForm::ShowStructureList() {
    if (context_.LayoutMode == 2) {
        FillStructureTree();
    } else {
        commands_->BuildStructureMenus();
    }
}

void TKanvioSingleForm::ShowCurrentStructure() {
    if (context_.LayoutMode == 2) {
        SelectTreeNode();
    } else {
        commands_->SyncMenus();
    }
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
    // Distances and colours as the structure graphic shows them.
    const TGraphicOptions options = GraphicOptionsOf(context_);
    QList<QTreeWidgetItem*> roots;
    for (const auto& structure : *structures) {
        auto* root = new QTreeWidgetItem({AnsiToQString(StructureRowText(*structure))});
        root->setData(0, kStructureRole, QVariant::fromValue(quintptr(structure.get())));
        for (const TReachDetail& detail : structure->Details) {
            auto* child = new QTreeWidgetItem(
                root, {AnsiToQString(ObservationRowText(
                          detail, options.LengthFormat, options.LengthUnit,
                          options.DecimalSeparator, options.ThousandSeparator))});
            child->setData(0, kStructureRole, QVariant::fromValue(quintptr(structure.get())));
            ColourObservationRow(*child, detail, options);
        }
        roots.append(root);
    }
    lstStructures_->addTopLevelItems(roots);
}

void TKanvioSingleForm::RecolourStructureTree() {
    const TGraphicOptions options = GraphicOptionsOf(context_);
    for (int i = 0; i < lstStructures_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = lstStructures_->topLevelItem(i);
        const TReachData* structure = StructureOf(root);
        if (structure == nullptr) {
            continue;
        }
        const int rows = std::min(root->childCount(), int(structure->Details.size()));
        for (int row = 0; row < rows; ++row) {
            ColourObservationRow(*root->child(row), structure->Details[size_t(row)], options);
        }
    }
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
    commands_->ChooseInitialStructure(arguments_);
    if (context_.LayoutMode == 2) {
        SelectTreeNode();
    }
}

void TKanvioSingleForm::EnableControls(bool enabled) {
    menus_->EnableControls(enabled);
    for (QWidget* control :
         std::initializer_list<QWidget*>{umschaltPanel_, zoomBtn_, scrollBox_, lstStructures_}) {
        control->setEnabled(enabled);
    }
}

void TKanvioSingleForm::ObservationLabelClick(int detailIndex) {
    // The graphic is disabled while the trailer plays, so no trailer test is needed here.
    context_.SeekDetail(detailIndex);
    context_.Play(1.0);
}

} // namespace kanvio
