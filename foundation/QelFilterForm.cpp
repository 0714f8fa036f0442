#include "foundation/QelFilterForm.h"

#include "foundation/AnsiText.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QVariant>

namespace kanvio {

namespace {

constexpr int kBoxWidth = 180;
constexpr const char* kTagProperty = "kanvioAttributeIndex";

} // namespace

TQelFilterForm::TQelFilterForm(QWidget* owner, TFilterChanged filterChanged)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      filterChanged_(std::move(filterChanged)) {
    setModal(false);
    // A closed filter window is never shown again; its boxes can hold thousands of values.
    setAttribute(Qt::WA_DeleteOnClose);
}

int TQelFilterForm::BoxTag(const QComboBox* box) {
    return box == nullptr ? -1 : box->property(kTagProperty).toInt();
}

void TQelFilterForm::Build(const TQelListViewModel& model) {
    QFont labelFont = font();
    labelFont.setPointSize(10);

    int y = 8;
    int captionWidth = 0;
    for (size_t index = 0; index < model.Attributes.size(); ++index) {
        const TQelAttrib& attribute = model.Attributes[index];
        if (!attribute.Filterable) {
            continue;
        }
        auto* label = new QLabel(AnsiToQString(attribute.Caption), this);
        label->setFont(labelFont);
        label->adjustSize();

        auto* box = new QComboBox(this);
        box->setEditable(true);
        // What the user types is the filter: no completion, no new items.
        box->setCompleter(nullptr);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setProperty(kTagProperty, int(index));
        QStringList items;
        for (const std::string& choice : FilterChoices(model, index)) {
            items.append(AnsiToQString(choice));
        }
        box->addItems(items);
        box->setCurrentIndex(-1);
        box->setFixedWidth(kBoxWidth);
        box->adjustSize();

        label->move(8, y);
        // Rows are as tall as the taller of label and box, so boxes never overlap.
        y += std::max(label->height(), box->height()) + 4;
        captionWidth = std::max(captionWidth, label->width());
        labels_.push_back(label);
        boxes_.push_back(box);

        connect(box, &QComboBox::currentTextChanged, this, [this, box] { BoxChanged(box); });
    }
    for (size_t i = 0; i < boxes_.size(); ++i) {
        QComboBox* box = boxes_[i];
        QLabel* label = labels_[i];
        box->move(captionWidth + 16, label->y());
        label->move(label->x(), box->y() + (box->height() - label->height()) / 2);
    }
    setFixedSize(captionWidth + kBoxWidth + 24, y + 8);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TQelFilterForm::BoxChanged(QComboBox* changed) {
    for (QComboBox* box : boxes_) {
        if (box != changed) {
            const QSignalBlocker quiet(box);
            box->setCurrentIndex(-1);
            box->setEditText(QString());
        }
    }
    if (filterChanged_) {
        filterChanged_(BoxTag(changed), QStringToAnsi(changed->currentText()));
    }
}

} // namespace kanvio
