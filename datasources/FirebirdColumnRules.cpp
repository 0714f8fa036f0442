#include "datasources/FirebirdColumnRules.h"

#include "foundation/AnsiText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace kanvio {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Blanks and control characters, which a trimmed text never begins or ends with.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

size_t SkipDigits(std::string_view text, size_t at) {
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at;
}

} // namespace

char SystemDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (conventions && conventions->decimal_point && conventions->decimal_point[0] &&
        !conventions->decimal_point[1])
        return conventions->decimal_point[0];
    return '.';
}

std::string NormaliseDecimalSeparator(std::string_view text, char separator) {
    std::string result(text);
    size_t at = result.find(',');
    if (at == std::string::npos)
        at = result.find('.');
    if (at != std::string::npos)
        result[at] = separator;
    return result;
}

bool ParseNumber(std::string_view text, char separator, double& value) {
    text = TrimBlanks(text);
    // Check the form first: from_chars alone would accept "inf", "nan" and hex digits.
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const size_t wholeStart = at;
    at = SkipDigits(text, at);
    size_t digits = at - wholeStart;
    std::string plain(text.substr(0, at));
    if (at < text.size() && text[at] == separator) {
        const size_t fractionStart = at + 1;
        at = SkipDigits(text, fractionStart);
        digits += at - fractionStart;
        plain += '.';
        plain += text.substr(fractionStart, at - fractionStart);
    }
    if (digits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        const size_t exponentEnd = SkipDigits(text, exponent);
        if (exponentEnd == exponent)
            return false;
        plain += text.substr(at, exponentEnd - at);
        at = exponentEnd;
    }
    if (at != text.size())
        return false;
    if (!plain.empty() && plain.front() == '+')
        plain.erase(0, 1);
    double parsed = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), parsed);
    if (result.ec != std::errc() || result.ptr != plain.data() + plain.size() ||
        !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ParseDeliveredNumber(std::string_view text, double& value) {
    const char separator = SystemDecimalSeparator();
    return ParseNumber(NormaliseDecimalSeparator(text, separator), separator, value);
}

bool PlainWholeNumber(std::string_view text, int64_t& value) {
    const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
    if (digits.empty() || !IsDigit(digits.front()) || (digits.front() == '0' && text.size() > 1))
        return false;
    int64_t parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

bool IsDownstreamDirection(std::string_view flowDirection, std::string_view downstreamText) {
    return AsciiUpperCase(TrimBlanks(flowDirection)) == "IN" || flowDirection == downstreamText ||
           flowDirection == "0";
}

int32_t DefectClassValue(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    const size_t numberStart = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const size_t digitsEnd = SkipDigits(text, at);
    if (digitsEnd == at)
        return 0;
    std::string_view number = text.substr(numberStart, digitsEnd - numberStart);
    if (number.front() == '+')
        number.remove_prefix(1);
    int32_t value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0;
}

std::string VideoTimeText(std::string_view videoTime) {
    if (videoTime.size() == 7)
        return "0" + std::string(videoTime);
    return std::string(videoTime);
}

std::string ObservationText(const TObservationColumns& row, const TObservationTexts& texts) {
    // Built in place: a hundred thousand rows make temporaries count.
    std::string text;
    text.reserve(row.Code.size() + row.Text.size() + 64);
    const auto add = [&text](std::initializer_list<std::string_view> parts) {
        for (const std::string_view part : parts)
            text += part;
    };
    if (!row.Code.empty())
        add({"(", row.Code, ") "});
    text += row.Text;
    if (!row.Measure1.empty() && !row.Unit1.empty())
        add({", ", row.Measure1, " ", row.Unit1});
    if (!row.Measure2.empty() && !row.Unit2.empty())
        add({", ", row.Measure2, " ", row.Unit2});
    switch (row.StretchMarker.empty() ? '\0' : row.StretchMarker.front()) {
    case 'A':
        add({", ", texts.StretchStart});
        break;
    case 'B':
    case 'E':
        add({", ", texts.StretchEnd});
        break;
    case 'G':
        add({", ", texts.WholeReach});
        break;
    case 'R':
        add({", ", texts.WholeTube});
        break;
    default:
        break;
    }
    if (!row.From.empty()) {
        add({" ", texts.From, " ", row.From});
        if (!row.To.empty())
            add({" ", texts.To, " ", row.To});
    }
    return text;
}

} // namespace kanvio
