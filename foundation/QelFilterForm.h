#pragma once

// The small filter window of a list view: one label and one editable drop-down per
// filterable column, offering the values that occur. Only one column filters at a time:
// changing a box empties the others.

#include "foundation/QelListViewModel.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;

namespace kanvio {

class TQelFilterForm : public QDialog {
    Q_OBJECT

public:
    // Called with the box's attribute index and its text (Windows-1252 bytes).
    using TFilterChanged = std::function<void(int attributeIndex, const std::string& text)>;

    TQelFilterForm(QWidget* owner, TFilterChanged filterChanged);

    // Lays out a label and a box for every filterable attribute of model.
    void Build(const TQelListViewModel& model);

    const std::vector<QLabel*>& Labels() const { return labels_; }
    const std::vector<QComboBox*>& Boxes() const { return boxes_; }
    // The attribute index a box filters (its tag).
    static int BoxTag(const QComboBox* box);

private:
    void BoxChanged(QComboBox* box);

    TFilterChanged filterChanged_;
    std::vector<QLabel*> labels_;
    std::vector<QComboBox*> boxes_;
};

} // namespace kanvio
