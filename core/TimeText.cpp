#include "core/TimeText.h"

#include "foundation/Errors.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>

namespace kanvio {

namespace {

// The integer conversion the time fields use: optional blanks and sign, then digits.
bool ParseField(std::string_view text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
        if (result > (INT64_MAX - 9) / 10) {
            return false;
        }
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

std::string_view Part(std::string_view text, size_t from, size_t length) {
    if (from >= text.size()) {
        return {};
    }
    return text.substr(from, length);
}

bool IsDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// "hhh:mm:ss" with three or more hour digits.
bool ParseLongHours(std::string_view text, int64_t& seconds) {
    const size_t firstColon = text.find(':');
    if (firstColon == std::string_view::npos || firstColon < 3 || firstColon > 12 ||
        text.size() != firstColon + 6 || text[firstColon + 3] != ':') {
        return false;
    }
    const auto hours = text.substr(0, firstColon);
    const auto minutes = text.substr(firstColon + 1, 2);
    const auto secs = text.substr(firstColon + 4, 2);
    if (!IsDigits(hours) || !IsDigits(minutes) || !IsDigits(secs)) {
        return false;
    }
    int64_t h = 0, m = 0, s = 0;
    ParseField(hours, h);
    ParseField(minutes, m);
    ParseField(secs, s);
    seconds = h * 3600 + m * 60 + s;
    return true;
}

} // namespace

bool TryTimeTextToSeconds(std::string_view text, int64_t& seconds) {
    if (ParseLongHours(text, seconds)) {
        return true;
    }
    int64_t hours = 0, minutes = 0, secs = 0;
    if (!ParseField(Part(text, 0, 2), hours) || !ParseField(Part(text, 3, 2), minutes) ||
        !ParseField(Part(text, 6, 2), secs)) {
        return false;
    }
    seconds = hours * 3600 + minutes * 60 + secs;
    return true;
}

int64_t TimeTextToSeconds(std::string_view text) {
    int64_t seconds = 0;
    if (!TryTimeTextToSeconds(text, seconds)) {
        throw EConvertError("'" + std::string(text) + "' is not a valid time (hh:mm:ss)");
    }
    return seconds;
}

std::string SecondsToTimeText(int64_t seconds) {
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds % 3600) / 60;
    const int64_t secs = seconds % 60;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64, hours, minutes,
                  secs);
    return buffer;
}

} // namespace kanvio
