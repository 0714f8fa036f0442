#include "ui/DefectClassForm.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "foundation/TextWidths.h"
#include "ui/ColorBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace kanvio {

namespace {

constexpr int kRowTops[TDefectClassForm::kClassCount] = {16, 48, 80, 112, 144, 176};

} // namespace

TDefectClassForm::TDefectClassForm(const TKanvioContext& context, IColorPicker& picker,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      context_(context), gbDefectClass_(new QGroupBox(this)), btClear_(new QPushButton(this)),
      btDefault_(new QPushButton(this)), btSave_(new QPushButton(this)),
      btCancel_(new QPushButton(this)) {
    setObjectName("DefectClassForm");
    setFixedSize(270, 332);
    gbDefectClass_->setObjectName("gbDefectClass");
    gbDefectClass_->setGeometry(8, 8, 241, 257);
    for (int n = 0; n < kClassCount; ++n) {
        QLabel* label = new QLabel(QString::number(n), gbDefectClass_);
        label->setObjectName(QStringLiteral("lb%1").arg(n));
        QFont big = label->font();
        big.setPixelSize(16);
        label->setFont(big);
        label->setGeometry(24, kRowTops[n], 24, 22);
        labels_[size_t(n)] = label;
        auto* box = new TColorBox(picker, gbDefectClass_);
        box->setObjectName(QStringLiteral("cb%1").arg(n));
        box->setGeometry(56, kRowTops[n], 145, 22);
        boxes_[size_t(n)] = box;
    }
    btClear_->setObjectName("btClear");
    btClear_->setParent(gbDefectClass_);
    btClear_->setGeometry(136, 208, 83, 17);
    btDefault_->setObjectName("btDefault");
    btDefault_->setParent(gbDefectClass_);
    btDefault_->setGeometry(136, 232, 83, 17);
    btSave_->setObjectName("btSave");
    btSave_->setGeometry(40, 288, 75, 25);
    btSave_->setDefault(true);
    btCancel_->setObjectName("btCancel");
    btCancel_->setGeometry(144, 288, 75, 25);
    connect(btSave_, &QPushButton::clicked, this, [this] { btSaveClick(); });
    connect(btCancel_, &QPushButton::clicked, this, [this] { btCancelClick(); });
    connect(btClear_, &QPushButton::clicked, this, [this] { btClearClick(); });
    connect(btDefault_, &QPushButton::clicked, this, [this] { btDefaultClick(); });

    // FormCreate
    ApplyTexts();
    // The design sizes are the least: a wider font widens what its texts need.
    FitWindowToTexts(*this);
    for (int n = 0; n < kClassCount; ++n) {
        boxes_[size_t(n)]->Select(context_.GetDefectClassColor(n));
    }
}

void TDefectClassForm::ApplyTexts() {
    LangScope lang;
    gbDefectClass_->setTitle(AnsiToQString(lang.Text("_DefectClass")));
    setWindowTitle(AnsiToQString(lang.Text("_DefectClasses")));
    btSave_->setText(AnsiToQString(lang.Text("_Save")));
    btCancel_->setText(AnsiToQString(lang.Text("_Cancel")));
    btClear_->setText(AnsiToQString(lang.Text("_ClearDefectClassColors")));
    btDefault_->setText(AnsiToQString(lang.Text("_Default")));
}

uint32_t TDefectClassForm::SelectedColor(int defectClass) const {
    return boxes_[size_t(defectClass)]->Selected();
}

void TDefectClassForm::btClearClick() {
    for (TColorBox* box : boxes_) {
        box->Select(kNoClassColor);
    }
}

void TDefectClassForm::btDefaultClick() {
    for (int n = 0; n < kClassCount; ++n) {
        boxes_[size_t(n)]->Select(context_.GetDefaultDefectClassColor(n));
    }
}

} // namespace kanvio
