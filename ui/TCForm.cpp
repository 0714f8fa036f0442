#include "ui/TCForm.h"

#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "ui/StructureGraphicText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <limits>

namespace kanvio {

namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

// The subject line stands above the controls, which keep their places below it.
constexpr int kSubjectHeight = 24;
constexpr int kDesignWidth = 271;
constexpr int kDesignHeight = 80;

char SystemDecimalSeparator() {
    const std::string ansi = QStringToAnsi(QLocale::system().decimalPoint());
    return (ansi.size() == 1 && ansi[0] != '?') ? ansi[0] : '.';
}

} // namespace

TTCForm::TTCForm(TClosedHandler onHide, QWidget* parent)
    : TBaseRescalableForm(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      lbSubject_(new QLabel(this)), lbCorr_(new QLabel(this)), tc_(new QSpinBox(this)),
      lbSec_(new QLabel(this)), btOK_(new QPushButton(this)), onHide_(std::move(onHide)) {
    setObjectName("TCForm");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(kDesignWidth, kDesignHeight + kSubjectHeight);
    lbSubject_->setObjectName("lbSubject");
    lbSubject_->setFont(ArialPixels(13));
    lbSubject_->move(16, 8);
    lbCorr_->setObjectName("lbCorr");
    lbCorr_->setFont(ArialPixels(13));
    lbCorr_->move(16, 8 + kSubjectHeight);
    tc_->setObjectName("TC");
    tc_->setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    tc_->setGeometry(96, 8 + kSubjectHeight, 73, 22);
    lbSec_->setObjectName("lbSec");
    lbSec_->setFont(ArialPixels(13));
    lbSec_->move(200, 8 + kSubjectHeight);
    btOK_->setObjectName("btOK");
    btOK_->setGeometry(96, 48 + kSubjectHeight, 75, 25);
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

void TTCForm::SetSubject(const TTimeCorrectionSubject& subject) {
    LangScope lang;
    QStringList parts;
    auto add = [&parts](const std::string& ansi) {
        if (!ansi.empty()) {
            parts.push_back(AnsiToQString(ansi));
        }
    };
    add(subject.Structure);
    add(FormatFloat(subject.LengthFormat, subject.Distance, SystemDecimalSeparator()) + " " +
        subject.LengthUnit);
    add(subject.Code);
    add(subject.VideoTime);
    storable_ = !subject.FilmName.empty();
    const QString film = storable_ ? AnsiToQString(lang.Text("_TCFilm") + " " + subject.FilmName)
                                   : AnsiToQString(lang.Text("_TCNoFilm"));
    lbSubject_->setText(parts.join(", ") + QString(" \u2013 ") + film);
    lbSubject_->adjustSize();
    // The line is never cut: the dialog widens for it.
    const int width = std::max(kDesignWidth, lbSubject_->x() + lbSubject_->width() + 16);
    resize(std::max(width, this->width()), height());
    setTCValue(subject.Seconds);
    tc_->setEnabled(storable_);
    btOK_->setEnabled(storable_);
}

QString TTCForm::SubjectText() const {
    return lbSubject_->text();
}

void TTCForm::btOKClick() {
    // Without a film to file it under there is nothing to confirm.
    if (!storable_) {
        return;
    }
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
    // Esc closes it as its close box does: nothing is stored.
    if (event->key() == Qt::Key_Escape) {
        close();
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
    const TTimeCorrectionSubject& subject,
    std::function<void(bool confirmed, int32_t seconds)> closed) {
    form_ = new TTCForm(std::move(closed));
    form_->SetSubject(subject);
    form_->show();
}

} // namespace kanvio
