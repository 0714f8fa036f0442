#include "video/ColorControlForm.h"

#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "video/MultimediaEngine.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

namespace kanvio {

namespace {

constexpr int kLabelTops[4] = {8, 48, 88, 128};
constexpr int kTrackTops[4] = {24, 64, 104, 144};
constexpr int kTrackWidth = 150;
constexpr int kFrameWidth = 3;
const char* const kLabelKeys[4] = {"_Brightness", "_Contrast", "_Hue", "_Saturation"};
const char* const kTrackNames[4] = {"tbBrightness", "tbContrast", "tbHue", "tbSaturation"};
const char* const kLabelNames[4] = {"lbBrightness", "lbContrast", "lbHue", "lbSaturation"};

const QColor kLime(0, 255, 0);
// Styles draw a slider's groove and handle in the button colour: black like the face,
// only the filled part left of the handle showed, and a slider in the middle looked as
// if it sat at its right end.
const QColor kTrackGrey(128, 128, 128);

} // namespace

TColorControlForm::TColorControlForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("ColorControlForm");
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, kLime);
    colours.setColor(QPalette::ButtonText, kLime);
    colours.setColor(QPalette::Button, Qt::black);
    setPalette(colours);

    for (int i = 0; i < 4; ++i) {
        labels_[size_t(i)] = new QLabel(this);
        labels_[size_t(i)]->setObjectName(kLabelNames[i]);
        auto* track = new QSlider(Qt::Horizontal, this);
        track->setObjectName(kTrackNames[i]);
        track->setTickPosition(QSlider::TicksBelow);
        QPalette trackColours = colours;
        trackColours.setColor(QPalette::Button, kTrackGrey);
        track->setPalette(trackColours);
        track->setGeometry((kClientWidth - kTrackWidth) / 2, kTrackTops[i], kTrackWidth, 22);
        tracks_[size_t(i)] = track;
    }
    btReset_ = new QPushButton(this);
    btReset_->setObjectName("btReset");
    btReset_->setFlat(true);
    btReset_->setGeometry((kClientWidth - 121) / 2, 176, 121, 25);
    connect(btReset_, &QPushButton::clicked, this, [this] { btResetClick(); });

    // FormCreate: texts, the whole screen as the anchor, labels centred.
    ApplyTexts();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        Anchor = {0, 0, screen->geometry().width(), screen->geometry().height()};
    }
    for (int i = 0; i < 4; ++i) {
        QLabel* label = labels_[size_t(i)];
        label->adjustSize();
        label->move((kClientWidth - label->width()) / 2, kLabelTops[i]);
    }
}

void TColorControlForm::ApplyTexts() {
    LangScope lang;
    for (int i = 0; i < 4; ++i) {
        labels_[size_t(i)]->setText(AnsiToQString(lang.Text(kLabelKeys[i])));
    }
    btReset_->setText(AnsiToQString(lang.Text("_ResetToDefault")));
}

void TColorControlForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
    activateWindow();
}

void TColorControlForm::FormShow() {
    const TPanelPlace place = CentredPanelPlace(Anchor, width(), height());
    move(place.Left, place.Top);
    AttachHandlers(false);
    for (int i = 0; i < 4; ++i) {
        const TTrackSetup setup = TrackSetupOf(Controls[size_t(i)]);
        QSlider* track = tracks_[size_t(i)];
        track->setEnabled(setup.Enabled);
        track->setRange(setup.Min, setup.Max);
        track->setPageStep(setup.PageSize);
        track->setSingleStep(setup.LineSize);
        track->setTickInterval(setup.TickFrequency);
    }
    // Attached first: a value the slider cannot show is written back as the slider shows
    // it, so that picture and slider agree.
    AttachHandlers(true);
    GetValues();
}

void TColorControlForm::AttachHandlers(bool attached) {
    if (attached == handlersAttached_) {
        return;
    }
    handlersAttached_ = attached;
    for (int i = 0; i < 4; ++i) {
        QSlider* track = tracks_[size_t(i)];
        if (attached) {
            connect(track, &QSlider::valueChanged, this, [this, i] { TrackChange(i); });
        } else {
            disconnect(track, &QSlider::valueChanged, this, nullptr);
        }
    }
}

void TColorControlForm::TrackChange(int index) {
    const TPictureControl& control = Controls[size_t(index)];
    if (IsUsable(control)) {
        control.Setter(tracks_[size_t(index)]->value());
    }
}

void TColorControlForm::GetValues() {
    for (int i = 0; i < 4; ++i) {
        const TPictureControl& control = Controls[size_t(i)];
        // An unreadable property shows at the slider's minimum.
        tracks_[size_t(i)]->setValue(IsUsable(control) ? control.Getter()
                                                       : kPictureValueUnavailable);
    }
}

void TColorControlForm::btResetClick() {
    ResetPictureControls(Controls);
    GetValues();
}

void TColorControlForm::FormDeactivate() {
    hide();
}

void TColorControlForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) {
        FormDeactivate();
    }
}

void TColorControlForm::keyPressEvent(QKeyEvent* event) {
    // Esc leaves the panel like a click elsewhere: what the sliders set stays.
    if (event->key() == Qt::Key_Escape) {
        FormDeactivate();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TColorControlForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    QPen frame(kLime);
    frame.setWidth(kFrameWidth);
    frame.setJoinStyle(Qt::MiterJoin);
    painter.setPen(frame);
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

void OpenColorControl(QWidget& owner, const QWidget& videoArea, TMMEngine& engine,
                      QPointer<TColorControlForm>& current) {
    delete current.data();
    auto* panel = new TColorControlForm(&owner);
    panel->Controls = engine.PictureControls();
    const QPoint origin = videoArea.mapToGlobal(QPoint(0, 0));
    panel->Anchor = {origin.x(), origin.y(), videoArea.width(), videoArea.height()};
    current = panel;
    panel->show();
}

} // namespace kanvio
