#pragma once

// The observation pictures in the structure list of the single window with list: when a
// structure's row opens, its observation rows get their pictures as icons, fetched in the
// background so the list never waits for them.

#include "ui/ObservationPictures.h"

#include <QObject>
#include <QSize>

class QTreeWidget;
class QTreeWidgetItem;

namespace kanvio {

class TKanvioContext;

class TStructureTreePictures final : public QObject {
    Q_OBJECT
public:
    static constexpr QSize kIcon{40, 30};

    // structureOf gives the structure of a top-level row (null: none).
    using TStructureOf = const TReachData* (*)(const QTreeWidgetItem*);

    TStructureTreePictures(QTreeWidget& tree, const TKanvioContext& context,
                           TStructureOf structureOf,
                           std::string cacheFolder = TPictureCache::DefaultFolder());

    // The structure whose pictures are being fetched (null: none).
    const TReachData* Pending() const { return pending_; }

Q_SIGNALS:
    // Every picture of the structure asked last is in its rows.
    void Filled();

private:
    void Expanded(QTreeWidgetItem* root);
    void PictureReady(quint64 generation, int index, const QImage& picture);

    QTreeWidget& tree_;
    const TKanvioContext& context_;
    TStructureOf structureOf_;
    TBackgroundPictures pictures_;
    const TReachData* pending_ = nullptr;
    int waiting_ = 0;
};

} // namespace kanvio
