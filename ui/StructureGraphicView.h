#pragma once

// The scroll box that shows the structure graphic: the pipe bitmap at its top-left, the
// three column titles and one row of clickable labels per observation.

#include "ui/StructureGraphicLayout.h"

#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <functional>
#include <vector>

namespace kanvio {

class TKanvioContext;

// One label of an observation row; a left click reports its observation's index.
class TObservationLabel final : public QLabel {
    Q_OBJECT
public:
    TObservationLabel(int detailIndex, QWidget* parent);
    int Tag() const { return tag_; }

Q_SIGNALS:
    void Clicked(int detailIndex);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int tag_;
    bool pressed_ = false;
};

class TStructureBitmap;

class TStructureGraphicView final : public QScrollArea {
    Q_OBJECT
public:
    using TOptionsSource = std::function<TGraphicOptions()>;
    using TObservationClickHandler = std::function<void(int detailIndex)>;

    explicit TStructureGraphicView(QWidget* parent = nullptr);
    ~TStructureGraphicView() override;

    // Column titles from the language texts.
    void ApplyTexts();
    // Where each drawing reads number format, unit and defect class colours.
    void SetOptionsSource(TOptionsSource source) { optionsSource_ = std::move(source); }
    // Called with the observation's index in Details when one of its labels is clicked.
    void SetObservationClickHandler(TObservationClickHandler handler) {
        clickHandler_ = std::move(handler);
    }

    // Draws the structure anew. Does nothing without a structure or while a drawing is
    // under way (a request from within a drawing returns at once).
    void DrawStructureGraphic(const TReachData* structure);

    bool Painting() const { return painting_; }
    const std::vector<TObservationLabel*>& ObservationLabels() const { return labels_; }
    const TStructureGraphicLayout& Layout() const { return layout_; }
    const QImage& Bitmap() const;
    // A widget under the drawing inside the scroll box (the observation pictures), owned
    // by the view from then on; the drawing leaves room for its height where it can.
    void SetFooter(QWidget* footer);
    // Places the footer under the drawing again, after its size changed.
    void PlaceFooter();
    // Does what a click on the labels of observation detailIndex does.
    void ClickObservation(int detailIndex) { ObservationLabelClick(detailIndex); }
    QLabel* DistanceTitle() const { return distanceTitle_; }
    QLabel* DescriptionTitle() const { return descriptionTitle_; }
    QLabel* TimeTitle() const { return timeTitle_; }
    QWidget* Canvas() const { return canvas_; }

    // The fonts, titles and client size the next drawing works with.
    TGraphicStyle CurrentStyle(int clientWidth, int clientHeight) const;

private:
    // Every label of an observation reports its clicks here.
    void ObservationLabelClick(int detailIndex);
    void RemoveObservationLabels();
    void PlaceTitles(const TStructureGraphicLayout& layout);
    void CreateObservationLabels(const TStructureGraphicLayout& layout);

    QWidget* canvas_;
    TStructureBitmap* bitmap_;
    QLabel* distanceTitle_;
    QLabel* descriptionTitle_;
    QLabel* timeTitle_;
    std::vector<TObservationLabel*> labels_;
    TStructureGraphicLayout layout_;
    TOptionsSource optionsSource_;
    TObservationClickHandler clickHandler_;
    bool painting_ = false;
    QWidget* footer_ = nullptr;
    QRect drawing_; // what the drawing covers on the canvas
};

// The drawing settings of the player context: number format, unit, class colours and the
// system's decimal and thousands separators.
TGraphicOptions GraphicOptionsOf(const TKanvioContext& context);

} // namespace kanvio
