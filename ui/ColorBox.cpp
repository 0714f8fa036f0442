#include "ui/ColorBox.h"

#include "foundation/AnsiText.h"
#include "foundation/LangManager.h"
#include "ui/ColorPicker.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace kanvio {

namespace {

struct TNamedColor {
    uint32_t Value; // red in the low byte
    const char* Name;
};

// The names are those of the colour constants, shown alike in every language.
constexpr TNamedColor kStandardColors[TColorBox::kStandardColorCount] = {
    {0x000000, "Black"},  {0x000080, "Maroon"},  {0x008000, "Green"}, {0x008080, "Olive"},
    {0x800000, "Navy"},   {0x800080, "Purple"},  {0x808000, "Teal"},  {0x808080, "Gray"},
    {0xC0C0C0, "Silver"}, {0x0000FF, "Red"},     {0x00FF00, "Lime"},  {0x00FFFF, "Yellow"},
    {0xFF0000, "Blue"},   {0xFF00FF, "Fuchsia"}, {0xFFFF00, "Aqua"},  {0xFFFFFF, "White"}};

QColor QtColorOf(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

QIcon Swatch(uint32_t color) {
    QPixmap pixmap(16, 12);
    pixmap.fill(QtColorOf(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 11);
    return QIcon(pixmap);
}

} // namespace

std::optional<uint32_t> TQtColorPicker::PickColor(uint32_t initial, QWidget* parent) {
    const QColor chosen = QColorDialog::getColor(QtColorOf(initial), parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return uint32_t(chosen.red()) | (uint32_t(chosen.green()) << 8) |
           (uint32_t(chosen.blue()) << 16);
}

TColorBox::TColorBox(IColorPicker& picker, QWidget* parent) : QComboBox(parent), picker_(picker) {
    LangScope lang;
    addItem(AnsiToQString(lang.Text("_CustomColor")));
    for (const TNamedColor& color : kStandardColors) {
        addItem(Swatch(color.Value), QString::fromLatin1(color.Name), QVariant(color.Value));
    }
    Select(0);
    connect(this, &QComboBox::activated, this, [this](int index) { ItemActivated(index); });
}

void TColorBox::Select(uint32_t color) {
    selected_ = color;
    for (int index = 1; index <= kStandardColorCount; ++index) {
        if (index != customIndex_ && itemData(index).toUInt() == color) {
            setCurrentIndex(index);
            return;
        }
    }
    ShowCustom(color);
}

void TColorBox::ShowCustom(uint32_t color) {
    const QString text =
        QStringLiteral("#%1").arg(QtColorOf(color).name(QColor::HexRgb).mid(1).toUpper());
    if (customIndex_ < 0) {
        addItem(Swatch(color), text, QVariant(color));
        customIndex_ = count() - 1;
    } else {
        setItemIcon(customIndex_, Swatch(color));
        setItemText(customIndex_, text);
        setItemData(customIndex_, QVariant(color));
    }
    setCurrentIndex(customIndex_);
}

void TColorBox::ChooseCustom() {
    if (const std::optional<uint32_t> chosen = picker_.PickColor(selected_, this)) {
        Select(*chosen);
    } else {
        Select(selected_);
    }
}

void TColorBox::ItemActivated(int index) {
    if (index == 0) {
        ChooseCustom();
        return;
    }
    selected_ = itemData(index).toUInt();
}

} // namespace kanvio
