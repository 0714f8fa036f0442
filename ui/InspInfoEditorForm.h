#pragma once

// TInspInfoEditorForm: chooses which fields of a structure make up the captions of the
// reach and connection menus, five for each. The opener keeps one editor: a later
// opening shows the boxes as they were left until OK stores them.

#include "core/KanvioDataModel.h"
#include "ui/StructureLabels.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace kanvio {

class IUserDialogs;

class TInspInfoEditorForm final : public QDialog {
    Q_OBJECT
public:
    TInspInfoEditorForm(const TAInspectionInfo& labelTable, IUserDialogs& dialogs,
                        QWidget* parent = nullptr);

    // The item index of each box; -1 when the box holds typed text.
    TLabelRows SelectedRows(TStructureKind kind) const;
    QComboBox* Box(TStructureKind kind, int place) const;

    // Stores the ten rows and closes with OK; when the store cannot be written the user
    // is told and the editor stays open.
    void btnOKClick();
    void btnCancelClick() { reject(); }

    QPushButton* btnOK() const { return btnOK_; }
    QPushButton* btnCancel() const { return btnCancel_; }

private:
    void ApplyTexts();

    IUserDialogs& dialogs_;
    std::array<QComboBox*, 5> reachBoxes_{};
    std::array<QComboBox*, 5> connectionBoxes_{};
    QLabel* lblReaches_;
    QLabel* lblConnections_;
    QPushButton* btnOK_;
    QPushButton* btnCancel_;
};

} // namespace kanvio
