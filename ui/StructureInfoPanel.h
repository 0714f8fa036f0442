#pragma once

// The information panel of the main window: nine read-only fields of the current
// structure in three columns, each with its caption.

#include "ui/MainFormLayout.h"

#include <QFrame>
#include <QString>
#include <array>
#include <vector>

class QLabel;
class QLineEdit;

namespace kanvio {

class LangScope;
class TReachData;

class TStructureInfoPanel final : public QFrame {
    Q_OBJECT
public:
    static constexpr int kHeight = 105;

    explicit TStructureInfoPanel(QWidget* parent);

    void ApplyTexts(const LangScope& lang);
    // Fills the fields from structure; null empties them.
    void ShowStructure(const TReachData* structure);
    // The width the fields need so that each structure's texts show whole in them.
    int LeastEditWidth(const std::vector<const TReachData*>& structures) const;
    // The widest caption of each column, as sized by its text.
    std::array<int, 3> ColumnLabelWidths() const;
    void ArrangeColumns(const TMainFormLayout& layout);

    QLabel *lbNumber, *lbReach, *lbConnection;
    QLineEdit *txtNumber, *txtReach, *txtConnection;
    QLabel *lbCity, *lbStreet, *lbLength;
    QLineEdit *txtCity, *txtStreet, *txtLength;
    QLabel *lbDate, *lbFlow, *lbVideo;
    QLineEdit *txtDate, *txtFlow, *txtVideo;

private:
    // What the fields show for structure, in the order of ColumnEdits.
    std::array<std::array<QString, 3>, 3> FieldTexts(const TReachData& structure) const;
    std::array<std::array<QLabel*, 3>, 3> ColumnLabels() const;
    std::array<std::array<QLineEdit*, 3>, 3> ColumnEdits() const;
};

} // namespace kanvio
