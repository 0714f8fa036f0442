#include "ui/StructureInfoPanel.h"

#include "core/KanvioDataModel.h"
#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "foundation/TextWidths.h"
#include "ui/StructureLabels.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace kanvio {

namespace {

constexpr int kEditHeight = 24;
constexpr std::array<int, 3> kLabelTops = {16, 48, 80};
constexpr std::array<int, 3> kEditTops = {8, 40, 72};

char SystemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    const std::string ansi = QStringToAnsi(point);
    return (ansi.size() == 1 && ansi[0] != '?') ? ansi[0] : '.';
}

} // namespace

TStructureInfoPanel::TStructureInfoPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    auto label = [this] {
        auto* caption = new QLabel(this);
        caption->setTextFormat(Qt::PlainText);
        return caption;
    };
    auto edit = [this] {
        auto* field = new QLineEdit(this);
        field->setReadOnly(true);
        // The keys belong to the player; the fields are there to be read.
        field->setFocusPolicy(Qt::NoFocus);
        return field;
    };
    lbNumber = label(), lbReach = label(), lbConnection = label();
    txtNumber = edit(), txtReach = edit(), txtConnection = edit();
    lbCity = label(), lbStreet = label(), lbLength = label();
    txtCity = edit(), txtStreet = edit(), txtLength = edit();
    lbDate = label(), lbFlow = label(), lbVideo = label();
    txtDate = edit(), txtFlow = edit(), txtVideo = edit();
    setFixedHeight(kHeight);
}

std::array<std::array<QLabel*, 3>, 3> TStructureInfoPanel::ColumnLabels() const {
    return {{{lbNumber, lbReach, lbConnection},
             {lbCity, lbStreet, lbLength},
             {lbDate, lbFlow, lbVideo}}};
}

std::array<std::array<QLineEdit*, 3>, 3> TStructureInfoPanel::ColumnEdits() const {
    return {{{txtNumber, txtReach, txtConnection},
             {txtCity, txtStreet, txtLength},
             {txtDate, txtFlow, txtVideo}}};
}

void TStructureInfoPanel::ApplyTexts(const LangScope& lang) {
    const std::array<std::array<const char*, 3>, 3> keys = {
        {{"_NumberShort", "_Reach", "_ConnectionShort"},
         {"_City", "_Street", "_Length"},
         {"_Date", "_Flow", "_Video"}}};
    const auto labels = ColumnLabels();
    for (size_t column = 0; column < 3; ++column) {
        for (size_t row = 0; row < 3; ++row) {
            labels[column][row]->setText(AnsiToQString(lang.Text(keys[column][row])));
            labels[column][row]->adjustSize();
        }
    }
}

void TStructureInfoPanel::ShowStructure(const TReachData* structure) {
    if (structure == nullptr) {
        for (const auto& column : ColumnEdits()) {
            for (QLineEdit* field : column) {
                field->clear();
            }
        }
        return;
    }
    const auto texts = FieldTexts(*structure);
    const auto edits = ColumnEdits();
    for (size_t column = 0; column < 3; ++column) {
        for (size_t row = 0; row < 3; ++row) {
            edits[column][row]->setText(texts[column][row]);
            // Long values show their beginning, as a field that was just filled does.
            edits[column][row]->setCursorPosition(0);
        }
    }
}

std::array<std::array<QString, 3>, 3>
TStructureInfoPanel::FieldTexts(const TReachData& structure) const {
    return {{{AnsiToQString(structure.ID), AnsiToQString(structure.ReachNumber),
              AnsiToQString(structure.ConnectionNumber)},
             {AnsiToQString(structure.city), AnsiToQString(structure.street),
              AnsiToQString(
                  LengthText(structure.StartDist, structure.EndDist, SystemDecimalSeparator()))},
             {AnsiToQString(structure.date), AnsiToQString(structure.DirectionTxt()),
              AnsiToQString(structure.video)}}};
}

int TStructureInfoPanel::LeastEditWidth(const std::vector<const TReachData*>& structures) const {
    // All nine fields share one font and frame: the widest text decides.
    int widest = 0;
    for (const TReachData* structure : structures) {
        for (const auto& column : FieldTexts(*structure)) {
            for (const QString& text : column) {
                widest = std::max(widest, NeededTextWidth(*txtNumber, text));
            }
        }
    }
    return widest;
}

std::array<int, 3> TStructureInfoPanel::ColumnLabelWidths() const {
    std::array<int, 3> widths{};
    const auto labels = ColumnLabels();
    for (size_t column = 0; column < 3; ++column) {
        for (const QLabel* caption : labels[column]) {
            widths[column] = std::max(widths[column], caption->sizeHint().width());
        }
    }
    return widths;
}

void TStructureInfoPanel::ArrangeColumns(const TMainFormLayout& layout) {
    const auto labels = ColumnLabels();
    const auto edits = ColumnEdits();
    for (size_t column = 0; column < 3; ++column) {
        for (size_t row = 0; row < 3; ++row) {
            labels[column][row]->move(layout.Columns[column].LabelLeft, kLabelTops[row]);
            edits[column][row]->setGeometry(layout.Columns[column].EditLeft, kEditTops[row],
                                            layout.EditWidth, kEditHeight);
        }
    }
}

} // namespace kanvio
