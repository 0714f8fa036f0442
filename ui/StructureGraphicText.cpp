#include "ui/StructureGraphicText.h"

#include "foundation/AnsiText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kanvio {
namespace {

// One ";"-separated part of a number pattern and what its placeholders ask for.
struct TPatternSection {
    std::string_view Text;
    int MinIntegerDigits = 0;
    int MinDecimals = 0;
    int MaxDecimals = 0;
    bool Grouping = false;
    bool HasPlaceholder = false;
};

bool IsPlaceholder(char c) {
    return c == '0' || c == '#';
}

std::vector<std::string_view> SplitSections(std::string_view format) {
    std::vector<std::string_view> sections;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (quote != 0) {
            quote = (c == quote) ? 0 : quote;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';' && sections.size() < 2) {
            sections.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(format.substr(start));
    return sections;
}

TPatternSection AnalyseSection(std::string_view text) {
    TPatternSection section;
    section.Text = text;
    bool afterPoint = false;
    bool zeroSeen = false;
    int decimalPlaces = 0;
    char quote = 0;
    for (const char c : text) {
        if (quote != 0) {
            quote = (c == quote) ? 0 : quote;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else if (c == ',' && !afterPoint) {
            section.Grouping = true;
        } else if (IsPlaceholder(c)) {
            section.HasPlaceholder = true;
            if (afterPoint) {
                ++decimalPlaces;
                if (c == '0') {
                    section.MinDecimals = decimalPlaces;
                }
            } else {
                zeroSeen = zeroSeen || c == '0';
                if (zeroSeen) {
                    ++section.MinIntegerDigits;
                }
            }
        }
    }
    section.MaxDecimals = decimalPlaces;
    return section;
}

// The magnitude of a value as decimal digits, rounded half away from zero to the given
// number of decimals from its 15 significant digits.
struct TDecimalDigits {
    std::string Integer;  // without leading zeros; empty for 0
    std::string Fraction; // exactly `decimals` digits
    bool IsZero() const {
        return Integer.empty() && Fraction.find_first_not_of('0') == std::string::npos;
    }
};

TDecimalDigits RoundToDecimals(double magnitude, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    const std::string_view text(buffer);
    const size_t exponentAt = text.find('e');
    std::string mantissa;
    for (const char c : text.substr(0, exponentAt)) {
        if (c != '.') {
            mantissa.push_back(c);
        }
    }
    int integerDigits = std::atoi(buffer + exponentAt + 1) + 1; // digits before the point
    const int keep = integerDigits + decimals;
    if (keep < 0) {
        mantissa.clear();
    } else if (keep < static_cast<int>(mantissa.size())) {
        const bool roundUp = mantissa[keep] >= '5';
        mantissa.resize(keep);
        if (roundUp) {
            int i = keep - 1;
            while (i >= 0 && mantissa[i] == '9') {
                mantissa[i--] = '0';
            }
            if (i >= 0) {
                ++mantissa[i];
            } else {
                mantissa.insert(mantissa.begin(), '1');
                ++integerDigits;
            }
        }
    }
    // Place the digits around the decimal point.
    TDecimalDigits result;
    if (integerDigits > 0) {
        result.Integer = mantissa.substr(0, std::min<size_t>(mantissa.size(), integerDigits));
        result.Integer.resize(integerDigits, '0');
        const size_t firstDigit = result.Integer.find_first_not_of('0');
        result.Integer.erase(0, std::min(firstDigit, result.Integer.size()));
        result.Fraction = integerDigits < static_cast<int>(mantissa.size())
                              ? mantissa.substr(integerDigits)
                              : std::string();
    } else {
        result.Fraction = std::string(-integerDigits, '0') + mantissa;
    }
    result.Fraction.resize(std::max(decimals, 0), '0');
    return result;
}

std::string ApplySection(const TPatternSection& section, const TDecimalDigits& digits,
                         bool withMinus, char decimalSeparator, char thousandSeparator) {
    std::string integer = digits.Integer;
    if (static_cast<int>(integer.size()) < section.MinIntegerDigits) {
        integer.insert(0, section.MinIntegerDigits - integer.size(), '0');
    }
    std::string fraction = digits.Fraction;
    while (static_cast<int>(fraction.size()) > section.MinDecimals && !fraction.empty() &&
           fraction.back() == '0') {
        fraction.pop_back();
    }

    int integerPlaces = 0;
    {
        char quote = 0;
        for (const char c : section.Text) {
            if (quote != 0) {
                quote = (c == quote) ? 0 : quote;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '.') {
                break;
            } else if (IsPlaceholder(c)) {
                ++integerPlaces;
            }
        }
    }

    std::string out;
    const int digitCount = static_cast<int>(integer.size());
    auto putIntegerDigit = [&](int index) {
        out.push_back(integer[index]);
        const int remaining = digitCount - 1 - index;
        if (section.Grouping && remaining > 0 && remaining % 3 == 0) {
            out.push_back(thousandSeparator);
        }
    };

    int integerPlace = 0;
    int decimalPlace = 0;
    bool afterPoint = false;
    char quote = 0;
    bool signWritten = !withMinus;
    for (const char c : section.Text) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else {
                out.push_back(c);
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            if (!fraction.empty()) {
                out.push_back(decimalSeparator);
            }
        } else if (c == ',' && !afterPoint) {
            // Only turns grouping on; the separators go where the digits need them.
        } else if (IsPlaceholder(c) && !afterPoint) {
            if (!signWritten) {
                out.push_back('-');
                signWritten = true;
            }
            // Digits beyond the pattern's places all go to its first place.
            const int firstIndex =
                integerPlace == 0 ? 0 : digitCount - integerPlaces + integerPlace;
            const int lastIndex = digitCount - integerPlaces + integerPlace;
            for (int index = std::max(firstIndex, 0); index <= lastIndex; ++index) {
                putIntegerDigit(index);
            }
            ++integerPlace;
        } else if (IsPlaceholder(c)) {
            if (decimalPlace < static_cast<int>(fraction.size())) {
                out.push_back(fraction[decimalPlace]);
            }
            ++decimalPlace;
        } else {
            out.push_back(c);
        }
    }
    if (!signWritten) {
        out.insert(out.begin(), '-');
    }
    return out;
}

} // namespace

std::string FormatFloat(std::string_view format, double value, char decimalSeparator,
                        char thousandSeparator) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
    const std::vector<std::string_view> parts = SplitSections(format);
    TPatternSection section = AnalyseSection(parts[0]);
    bool withMinus = value < 0;
    if (value < 0 && parts.size() > 1 && !parts[1].empty()) {
        // The negative section writes its own sign, if any.
        section = AnalyseSection(parts[1]);
        withMinus = false;
    }
    if (format.empty()) {
        // No pattern: the general form with up to 15 significant digits.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
        std::string general(buffer);
        std::replace(general.begin(), general.end(), '.', decimalSeparator);
        return general == "-0" ? "0" : general;
    }
    TDecimalDigits digits = RoundToDecimals(std::fabs(value), section.MaxDecimals);
    if (digits.IsZero()) {
        withMinus = false;
        if (parts.size() > 2 && !parts[2].empty()) {
            section = AnalyseSection(parts[2]);
            digits = RoundToDecimals(0.0, section.MaxDecimals);
        }
    }
    if (!section.HasPlaceholder) {
        // A pattern of plain text shows that text, as a pattern without digits asks.
        return ApplySection(section, digits, false, decimalSeparator, thousandSeparator);
    }
    return ApplySection(section, digits, withMinus, decimalSeparator, thousandSeparator);
}

TTextMeasure::TTextMeasure(const QFont& font)
    : font_(font), metrics_(font), height_(metrics_.height()) {}

int TTextMeasure::Width(std::string_view ansi) const {
    return metrics_.horizontalAdvance(AnsiToQString(ansi));
}

std::string ShortenToWidth(std::string_view text, int width, const TTextMeasure& measure) {
    const int length = static_cast<int>(text.size());
    auto fits = [&](int count) {
        return measure.Width(text.substr(0, count)) <= width;
    };
    if (length <= 3 || fits(length)) {
        return std::string(text);
    }
    // The widths of a text's beginnings only grow with their length, so the longest
    // fitting beginning is found by halving instead of dropping one character at a time.
    int low = 3;           // answer when nothing longer fits
    int high = length - 1; // the whole text does not fit
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (fits(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    int keep = std::max(low - 3, 0);
    std::string result = std::string(text.substr(0, keep)) + "...";
    // "..." can be wider than the three characters it replaces; never overrun the column.
    while (keep > 0 && measure.Width(result) > width) {
        --keep;
        result = std::string(text.substr(0, keep)) + "...";
    }
    return result;
}

QColor WindowsColorToQColor(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

uint32_t QColorToWindowsColor(const QColor& color) {
    return uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16);
}

} // namespace kanvio
