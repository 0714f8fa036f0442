#include "ui/TCForm.h"

#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <limits>

namespace kanvio {

namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TTCForm::TTCForm(TClosedHandler onHide, QWidget* parent)
    : TBaseRescalableForm(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      lbCorr_(new QLabel(this)), tc_(new QSpinBox(this)), lbSec_(new QLabel(this)),
      btOK_(new QPushButton(this)), onHide_(std::move(onHide)) {
    setObjectName("TCForm");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(271, 80);
    lbCorr_->setObjectName("lbCorr");
    lbCorr_->setFont(ArialPixels(13));
    lbCorr_->move(16, 8);
    tc_->setObjectName("TC");
    tc_->setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    tc_->setGeometry(96, 8, 73, 22);
    lbSec_->setObjectName("lbSec");
    lbSec_->setFont(ArialPixels(13));
    lbSec_->move(200, 8);
    btOK_->setObjectName("btOK");
    btOK_->setGeometry(96, 48, 75, 25);
    btOK_->setDefault(true);

    LangScope lang;
    setWindowTitle(AnsiToQString(lang.Text("_TimeCorrection")));
    lbCorr_->setText(AnsiToQString(lang.Text("_Correction")));
    lbSec_->setText(AnsiToQString(lang.Text("_SecondShort")));
    btOK_->setText(AnsiToQString(lang.Text("_OK")));
    lbCorr_->adjustSize();
    lbSec_->adjustSize();

    connect(btOK_, &QPushButton::clicked, this, [this] { btOKClick(); });
}

int32_t TTCForm::getTCValue() const {
    return tc_->value();
}

void TTCForm::setTCValue(int32_t seconds) {
    tc_->setValue(seconds);
}

void TTCForm::btOKClick() {
    // A value typed but not yet taken over by the spin box counts as entered.
    tc_->interpretText();
    tag_ = 1;
    close();
}

void TTCForm::keyPressEvent(QKeyEvent* event) {
    // Enter confirms like the default button of a dialog; this window is no QDialog
    // because it must not wait.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btOKClick();
        return;
    }
    TBaseRescalableForm::keyPressEvent(event);
}

void TTCForm::hideEvent(QHideEvent* event) {
    TBaseRescalableForm::hideEvent(event);
    // Hiding happens once for the user's close; a second hide (the window being destroyed
    // after it) must not store the value again.
    if (reported_ || !onHide_)
        return;
    reported_ = true;
    onHide_(tag_ == 1, getTCValue());
}

TTimeCorrectionDialogs::~TTimeCorrectionDialogs() {
    if (form_) {
        form_->DropHandler();
        delete form_.data();
    }
}

void TTimeCorrectionDialogs::ShowTimeCorrection(
    int32_t seconds, std::function<void(bool confirmed, int32_t seconds)> closed) {
    form_ = new TTCForm(std::move(closed));
    form_->setTCValue(seconds);
    form_->show();
}

} // namespace kanvio
