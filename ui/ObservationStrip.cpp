#include "ui/ObservationStrip.h"

#include "core/KanvioContext.h"
#include "foundation/AnsiText.h"

#include <QPixmap>
#include <QToolButton>

namespace kanvio {

namespace {

constexpr int kGap = 4;

} // namespace

TObservationStrip::TObservationStrip(QWidget* parent, std::string cacheFolder)
    : QWidget(parent), pictures_(nullptr, std::move(cacheFolder)) {
    connect(&pictures_, &TBackgroundPictures::PictureReady, this, &TObservationStrip::PictureReady);
}

QSize TObservationStrip::sizeHint() const {
    if (buttons_.empty())
        return {0, 0};
    const int count = int(buttons_.size());
    return {kGap + count * (kThumbnail.width() + 2 * kGap), kThumbnail.height() + 4 * kGap};
}

void TObservationStrip::ShowStructure(const TKanvioContext& context, const TReachData* structure) {
    for (QToolButton* button : buttons_) {
        // A click handler may be running on it: freed once back in the event loop.
        button->hide();
        button->deleteLater();
    }
    buttons_.clear();
    done_ = 0;
    std::vector<TFramePlace> places;
    if (structure != nullptr)
        places = ObservationFramePlaces(context, *structure);
    for (size_t i = 0; i < places.size(); ++i) {
        const TReachDetail& detail = structure->Details[i];
        auto* button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setIconSize(kThumbnail);
        button->setGeometry(kGap + int(i) * (kThumbnail.width() + 2 * kGap), kGap,
                            kThumbnail.width() + kGap, kThumbnail.height() + kGap);
        button->setToolTip(AnsiToQString(detail.VideoTime + "  " + ObservationCodeText(detail)));
        button->setCursor(Qt::PointingHandCursor);
        const int detailIndex = int(i);
        connect(button, &QToolButton::clicked, this, [this, detailIndex] {
            if (clickHandler_)
                clickHandler_(detailIndex);
        });
        button->show();
        buttons_.push_back(button);
    }
    resize(sizeHint());
    updateGeometry();
    pictures_.Request(std::move(places), kThumbnail);
    if (buttons_.empty())
        Q_EMIT Filled();
}

void TObservationStrip::PictureReady(quint64 generation, int index, const QImage& picture) {
    if (generation != pictures_.Generation() || index < 0 || index >= Count())
        return;
    if (!picture.isNull())
        buttons_[size_t(index)]->setIcon(QPixmap::fromImage(picture));
    if (++done_ == Count())
        Q_EMIT Filled();
}

} // namespace kanvio
