#pragma once

// The observation pictures of the current structure as a row of thumbnails, fetched in the
// background: each appears as soon as it is there, the window never waits for one. A click
// on a thumbnail does what a click on its observation does.

#include "ui/ObservationPictures.h"

#include <QSize>
#include <QWidget>
#include <functional>
#include <vector>

class QToolButton;

namespace kanvio {

class TKanvioContext;

class TObservationStrip final : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kThumbnail{96, 72};

    explicit TObservationStrip(QWidget* parent = nullptr,
                               std::string cacheFolder = TPictureCache::DefaultFolder());

    // Shows structure's observations (none for null), replacing what was shown.
    void ShowStructure(const TKanvioContext& context, const TReachData* structure);
    void SetClickHandler(std::function<void(int detailIndex)> handler) {
        clickHandler_ = std::move(handler);
    }

    int Count() const { return int(buttons_.size()); }
    QToolButton* Thumbnail(int index) const { return buttons_[size_t(index)]; }
    // Thumbnails whose picture has come (or has been found missing).
    int Done() const { return done_; }
    QSize sizeHint() const override;

Q_SIGNALS:
    // Every thumbnail of the structure shown is done.
    void Filled();

private:
    void PictureReady(quint64 generation, int index, const QImage& picture);

    TBackgroundPictures pictures_;
    std::vector<QToolButton*> buttons_;
    std::function<void(int)> clickHandler_;
    int done_ = 0;
};

} // namespace kanvio
