#pragma once

// Texts and colours of the structure graphic: distances in the user's number format,
// descriptions cut to their column, and the Windows colour values of the settings.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <cstdint>
#include <string>
#include <string_view>

namespace kanvio {

// Formats value by a number pattern of the kind the settings use ("0.##", "0.000",
// "#,##0.00"): "0" a digit that is always written, "#" a digit written only when it
// matters, "." the place of the decimal separator, "," anywhere before it turns on
// thousands grouping. Up to three sections separated by ";" (positive; negative; zero),
// text in single or double quotes and every other character are copied as they are.
// The value is rounded half away from zero on its 15 significant decimal digits, so 2.675
// becomes "2.68" with "0.00". A value that rounds to zero has no minus sign.
std::string FormatFloat(std::string_view format, double value, char decimalSeparator = '.',
                        char thousandSeparator = ',');

// Measures the width and line height of Windows-1252 texts in one font.
class TTextMeasure {
public:
    explicit TTextMeasure(const QFont& font);
    int Width(std::string_view ansi) const;
    int Height() const { return height_; }
    const QFont& Font() const { return font_; }

private:
    QFont font_;
    QFontMetrics metrics_;
    int height_;
};

// The description cut to width pixels: when it is wider, its longest fitting beginning
// of k characters gives way to its first k - 3 characters and "...". The result never
// ends up wider than the column while anything of the text is left to drop.
std::string ShortenToWidth(std::string_view text, int width, const TTextMeasure& measure);

// A Windows colour value (red in the low byte, then green, then blue).
QColor WindowsColorToQColor(uint32_t color);
uint32_t QColorToWindowsColor(const QColor& color);

} // namespace kanvio
