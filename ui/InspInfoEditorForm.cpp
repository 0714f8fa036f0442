#include "ui/InspInfoEditorForm.h"

#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/LangManager.h"
#include "foundation/TextWidths.h"
#include "foundation/UserDialogs.h"
#include "ui/LabelEditorRows.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kanvio {

namespace {

constexpr int kBoxLefts[5] = {8, 116, 224, 336, 448};
constexpr int kBoxWidth = 100;

} // namespace

TInspInfoEditorForm::TInspInfoEditorForm(const TAInspectionInfo& labelTable, IUserDialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs), lblReaches_(new QLabel(this)), lblConnections_(new QLabel(this)),
      btnOK_(new QPushButton(this)), btnCancel_(new QPushButton(this)) {
    setObjectName("InspInfoEditorForm");
    lblReaches_->setObjectName("lblReaches");
    lblReaches_->move(8, 8);
    lblConnections_->setObjectName("lblConnections");
    lblConnections_->move(8, 64);
    QStringList captions;
    for (const TInspectionInfo& row : labelTable) {
        captions << AnsiToQString(row.Caption);
    }
    const auto makeBoxes = [&](std::array<QComboBox*, 5>& boxes, TStructureKind kind, int top,
                               const char* prefix) {
        const TLabelRows rows = ReadEditorRows(kind);
        for (int place = 0; place < 5; ++place) {
            auto* box = new QComboBox(this);
            box->setObjectName(QStringLiteral("%1%2").arg(prefix).arg(place + 1));
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            box->addItems(captions);
            box->setGeometry(kBoxLefts[place], top, kBoxWidth, 22);
            const int32_t row = rows[size_t(place)];
            if (row < box->count()) {
                box->setCurrentIndex(row);
            }
            if (row < 0) {
                box->setEditText(QString());
            }
            boxes[size_t(place)] = box;
        }
    };
    makeBoxes(reachBoxes_, TStructureKind::Reach, 24, "cbH");
    makeBoxes(connectionBoxes_, TStructureKind::Connection, 88, "cbA");
    btnOK_->setObjectName("btnOK");
    btnOK_->setGeometry(376, 128, 75, 25);
    btnOK_->setDefault(true);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setGeometry(472, 128, 75, 25);
    connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    ApplyTexts();
    setFixedSize(kBoxLefts[4] + kBoxWidth + 8, btnOK_->y() + btnOK_->height() + 8);
    // The design sizes are the least: a wider font widens what its texts need.
    FitWindowToTexts(*this);
}

void TInspInfoEditorForm::ApplyTexts() {
    LangScope lang;
    setWindowTitle(AnsiToQString(lang.Text("_MainFormCaption")));
    lblReaches_->setText(AnsiToQString(lang.Text("_Reaches")));
    lblReaches_->adjustSize();
    lblConnections_->setText(AnsiToQString(lang.Text("_Connections")));
    lblConnections_->adjustSize();
    btnOK_->setText(AnsiToQString(lang.Text("_OK")));
    btnCancel_->setText(AnsiToQString(lang.Text("_Cancel")));
}

QComboBox* TInspInfoEditorForm::Box(TStructureKind kind, int place) const {
    return kind == TStructureKind::Reach ? reachBoxes_[size_t(place)]
                                         : connectionBoxes_[size_t(place)];
}

TLabelRows TInspInfoEditorForm::SelectedRows(TStructureKind kind) const {
    TLabelRows rows{};
    for (int place = 0; place < 5; ++place) {
        const QComboBox* box = Box(kind, place);
        // Typed text that differs from the chosen item's caption chose no item.
        const int index = box->currentIndex();
        const bool typed = index < 0 || box->currentText() != box->itemText(index);
        rows[size_t(place)] = typed ? kTypedLabelRow : index;
    }
    return rows;
}

void TInspInfoEditorForm::btnOKClick() {
    try {
        WriteEditorRows(TStructureKind::Reach, SelectedRows(TStructureKind::Reach));
        WriteEditorRows(TStructureKind::Connection, SelectedRows(TStructureKind::Connection));
    } catch (const EKanvioError& error) {
        dialogs_.ShowMessage(TMessageKind::Error, error.what());
        return;
    }
    accept();
}

} // namespace kanvio
