#include "datasources/FirebirdValueText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace kanvio {

using namespace Firebird;

namespace {

template <typename T> T Read(const unsigned char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

bool ReadWholeNumber(const TFirebirdValue& value, int64_t& result) {
    switch (value.Type) {
    case SQL_SHORT:
        result = Read<int16_t>(value.Data);
        return true;
    case SQL_LONG:
        result = Read<int32_t>(value.Data);
        return true;
    case SQL_INT64:
        result = Read<int64_t>(value.Data);
        return true;
    default:
        return false;
    }
}

std::string TwoDigits(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02u", value % 100);
    return text;
}

std::string DateText(IUtil* util, ISC_DATE date) {
    unsigned year = 0, month = 0, day = 0;
    util->decodeDate(date, &year, &month, &day);
    char text[24];
    std::snprintf(text, sizeof text, "%02u.%02u.%04u", day, month, year);
    return text;
}

std::string TimeText(IUtil* util, ISC_TIME time) {
    unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
    util->decodeTime(time, &hours, &minutes, &seconds, &fractions);
    return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds);
}

} // namespace

std::string ScaledIntegerText(int64_t value, int scale) {
    const bool negative = value < 0;
    // The magnitude as unsigned, so that the smallest 64-bit value has one too.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    if (scale > 0) {
        if (magnitude != 0)
            digits.append(static_cast<size_t>(scale), '0');
    } else if (scale < 0) {
        const auto places = static_cast<size_t>(-scale);
        if (digits.size() <= places)
            digits.insert(0, places - digits.size() + 1, '0');
        std::string whole = digits.substr(0, digits.size() - places);
        std::string fraction = digits.substr(digits.size() - places);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        digits = fraction.empty() ? whole : whole + "." + fraction;
    }
    if (negative && digits != "0")
        digits.insert(0, 1, '-');
    return digits;
}

std::string FloatText(double value, int significantDigits) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general,
                                      significantDigits);
    return std::string(text, result.ptr);
}

bool StoredTextView(const TFirebirdValue& value, std::string_view& text) {
    if (value.Type == SQL_TEXT) {
        // A fixed-width column pads with blanks; the padding is no part of the value.
        const std::string_view raw(reinterpret_cast<const char*>(value.Data), value.Length);
        const size_t end = raw.find_last_not_of(' ');
        text = end == std::string_view::npos ? std::string_view{} : raw.substr(0, end + 1);
        return true;
    }
    if (value.Type == SQL_VARYING) {
        const auto length = std::min<unsigned>(Read<uint16_t>(value.Data), value.Length);
        text =
            std::string_view(reinterpret_cast<const char*>(value.Data) + sizeof(uint16_t), length);
        return true;
    }
    return false;
}

bool RenderValueText(const TFirebirdValue& value, IUtil* util, std::string& text) {
    int64_t whole = 0;
    if (ReadWholeNumber(value, whole)) {
        text = ScaledIntegerText(whole, value.Scale);
        return true;
    }
    if (std::string_view stored; StoredTextView(value, stored)) {
        text.assign(stored);
        return true;
    }
    switch (value.Type) {
    case SQL_FLOAT:
        text = FloatText(Read<float>(value.Data), 7);
        return true;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        text = FloatText(Read<double>(value.Data), 15);
        return true;
    case SQL_TYPE_DATE:
        text = DateText(util, Read<ISC_DATE>(value.Data));
        return true;
    case SQL_TYPE_TIME:
        text = TimeText(util, Read<ISC_TIME>(value.Data));
        return true;
    case SQL_TIMESTAMP: {
        const auto stamp = Read<ISC_TIMESTAMP>(value.Data);
        text = DateText(util, stamp.timestamp_date);
        // A point in time at midnight is a date, shown as one.
        if (stamp.timestamp_time != 0)
            text += " " + TimeText(util, stamp.timestamp_time);
        return true;
    }
    case SQL_BOOLEAN:
        text = Read<FB_BOOLEAN>(value.Data) ? "True" : "False";
        return true;
    default:
        return false;
    }
}

bool ValueAsInteger(const TFirebirdValue& value, int64_t& result) {
    int64_t whole = 0;
    if (ReadWholeNumber(value, whole)) {
        if (value.Scale >= 0) {
            for (int i = 0; i < value.Scale; ++i)
                if (__builtin_mul_overflow(whole, 10, &whole))
                    return false;
            result = whole;
            return true;
        }
        int64_t divisor = 1;
        for (int i = 0; i < -value.Scale && i < 18; ++i)
            divisor *= 10;
        const int64_t quotient = whole / divisor;
        const int64_t remainder = whole % divisor;
        // Half away from zero, the way a scaled number rounds to a whole one.
        result = quotient + (remainder * 2 >= divisor ? 1 : remainder * 2 <= -divisor ? -1 : 0);
        return true;
    }
    double number = 0;
    if (value.Type == SQL_DOUBLE || value.Type == SQL_D_FLOAT)
        number = Read<double>(value.Data);
    else if (value.Type == SQL_FLOAT)
        number = Read<float>(value.Data);
    else
        return false;
    if (!std::isfinite(number) || number != std::trunc(number) || std::fabs(number) >= 9.2e18)
        return false;
    result = static_cast<int64_t>(number);
    return true;
}

bool TextAsInteger(std::string_view text, int64_t& result) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return false;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), result);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size();
}

} // namespace kanvio
