#include "ui/StructureTreePictures.h"

#include <QPixmap>
#include <QTreeWidget>

namespace kanvio {

TStructureTreePictures::TStructureTreePictures(QTreeWidget& tree, const TKanvioContext& context,
                                               TStructureOf structureOf, std::string cacheFolder)
    : QObject(&tree), tree_(tree), context_(context), structureOf_(structureOf),
      pictures_(nullptr, std::move(cacheFolder)) {
    tree_.setIconSize(kIcon);
    connect(&tree_, &QTreeWidget::itemExpanded, this, &TStructureTreePictures::Expanded);
    connect(&pictures_, &TBackgroundPictures::PictureReady, this,
            &TStructureTreePictures::PictureReady);
}

void TStructureTreePictures::Expanded(QTreeWidgetItem* root) {
    const TReachData* structure = root->parent() == nullptr ? structureOf_(root) : nullptr;
    if (structure == nullptr || structure == pending_)
        return;
    pending_ = structure;
    std::vector<TFramePlace> places = ObservationFramePlaces(context_, *structure);
    waiting_ = int(places.size());
    pictures_.Request(std::move(places), kIcon);
    if (waiting_ == 0)
        Q_EMIT Filled();
}

void TStructureTreePictures::PictureReady(quint64 generation, int index, const QImage& picture) {
    if (generation != pictures_.Generation() || pending_ == nullptr)
        return;
    // The list may have been filled anew since: the row is looked up by its structure.
    for (int i = 0; i < tree_.topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tree_.topLevelItem(i);
        if (structureOf_(root) == pending_ && index < root->childCount()) {
            if (!picture.isNull())
                root->child(index)->setIcon(0, QPixmap::fromImage(picture));
            break;
        }
    }
    if (--waiting_ == 0) {
        pending_ = nullptr;
        Q_EMIT Filled();
    }
}

} // namespace kanvio
