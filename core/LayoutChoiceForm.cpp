#include "core/LayoutChoiceForm.h"

#include "core/StartupPictures.h"
#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>

namespace kanvio {
namespace {

constexpr int LabelLeft = 8;
constexpr int LabelTop = 16;
constexpr int LabelWidth = 440;
constexpr int LabelHeight = 20;
constexpr int ButtonSize = 130;
constexpr std::array<int, 3> ButtonLefts = {16, 168, 320};
constexpr std::array<const char*, 3> ButtonHints = {"_3Forms", "_SingleFormWithGraph",
                                                    "_SingleFormWithList"};

} // namespace

TLayoutChoiceForm::TLayoutChoiceForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      lblChooseLayout_(new QLabel(this)) {
    setObjectName("LayoutChoiceForm");
    setModal(true);
    lblChooseLayout_->setObjectName("lblChooseLayout");
    QFont labelFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    labelFont.setPixelSize(16);
    lblChooseLayout_->setFont(labelFont);
    lblChooseLayout_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblChooseLayout_->setWordWrap(true);
    lblChooseLayout_->setTextFormat(Qt::PlainText);
    lblChooseLayout_->setGeometry(LabelLeft, LabelTop, LabelWidth, LabelHeight);

    for (int tag = 0; tag < 3; ++tag) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("btn%1").arg(tag));
        button->setProperty("tag", tag);
        button->setIcon(QPixmap::fromImage(LayoutPicture(tag)));
        button->setIconSize(QSize(LayoutPictureSize, LayoutPictureSize));
        button->setFixedSize(ButtonSize, ButtonSize);
        connect(button, &QToolButton::clicked, this, [this, tag] { LayoutButtonClick(tag); });
        buttons_[size_t(tag)] = button;
    }
    ApplyTexts();
    ArrangeControls();
}

void TLayoutChoiceForm::ApplyTexts() {
    LangScope lang;
    lblChooseLayout_->setText(AnsiToQString(lang.Text("_ChoosePreferredApplicationLook")));
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setToolTip(AnsiToQString(lang.Text(ButtonHints[i])));
    }
}

void TLayoutChoiceForm::ArrangeControls() {
    // The label keeps its width and grows downwards with its wrapped text.
    const int labelHeight = std::max(LabelHeight, lblChooseLayout_->heightForWidth(LabelWidth));
    lblChooseLayout_->resize(LabelWidth, labelHeight);
    const int buttonTop = lblChooseLayout_->y() + labelHeight + 16;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->move(ButtonLefts[i], buttonTop);
    }
    const QToolButton* last = buttons_.back();
    const int clientWidth = last->x() + last->width() + 16;
    const int clientHeight = buttonTop + last->height() + 16;
    setFixedSize(clientWidth, clientHeight);
    lblChooseLayout_->move((clientWidth - LabelWidth) / 2, lblChooseLayout_->y());
}

void TLayoutChoiceForm::LayoutButtonClick(int tag) {
    layoutResult_ = tag;
    accept();
}

} // namespace kanvio
