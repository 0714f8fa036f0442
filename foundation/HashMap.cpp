#include "foundation/HashMap.h"

#include "foundation/AnsiText.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kanvio {

namespace {

// The system's decimal separator, asked for once: the list shows thousands of numbers.
char SystemDecimalPoint() {
    static const char point = [] {
        const QString text = QLocale::system().decimalPoint();
        return (text.size() == 1 && text[0].unicode() < 0x80) ? char(text[0].unicode()) : '.';
    }();
    return point;
}

std::string FormatFloat(double value) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer, length > 0 ? size_t(length) : 0);
    for (char& c : text) {
        if (c == '.') {
            c = SystemDecimalPoint();
        }
    }
    return text;
}

} // namespace

bool TryTextToInt32(std::string_view text, int32_t& result) {
    size_t start = 0;
    while (start < text.size() && text[start] == ' ') {
        ++start;
    }
    text.remove_prefix(start);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return false;
        }
    }
    if (text.empty()) {
        return false;
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    result = value;
    return true;
}

std::string TVariant::ToText() const {
    if (const auto* text = std::get_if<std::string>(&value_)) {
        return *text;
    }
    if (const auto* number = std::get_if<int64_t>(&value_)) {
        return std::to_string(*number);
    }
    if (const auto* number = std::get_if<double>(&value_)) {
        return FormatFloat(*number);
    }
    return {};
}

bool TVariant::ToInt32(int32_t& result) const {
    if (const auto* text = std::get_if<std::string>(&value_)) {
        return TryTextToInt32(*text, result);
    }
    if (const auto* number = std::get_if<int64_t>(&value_)) {
        if (*number < std::numeric_limits<int32_t>::min() ||
            *number > std::numeric_limits<int32_t>::max()) {
            return false;
        }
        result = int32_t(*number);
        return true;
    }
    if (const auto* number = std::get_if<double>(&value_)) {
        const double rounded = std::nearbyint(*number);
        if (!std::isfinite(rounded) || rounded < std::numeric_limits<int32_t>::min() ||
            rounded > std::numeric_limits<int32_t>::max()) {
            return false;
        }
        result = int32_t(rounded);
        return true;
    }
    return false;
}

THashKey::THashKey(std::string_view key) : text_(AsciiUpperCase(key)) {}

void THashMap::PutValue(std::string_view key, TVariant value) {
    Put(THashKey(key), std::move(value));
}

void THashMap::PutInt64(std::string_view key, int64_t value) {
    Put(THashKey(key), TVariant(std::to_string(value)));
}

void THashMap::Put(THashKey key, TVariant value) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->Key == key.Text()) {
            entries_.erase(it);
            break;
        }
    }
    entries_.push_back({std::move(key).Text(), std::move(value)});
}

const TVariant* THashMap::GetEntry(std::string_view key) const {
    return GetEntry(THashKey(key));
}

const TVariant* THashMap::GetEntry(const THashKey& key) const {
    for (const TEntry& entry : entries_) {
        if (entry.Key == key.Text()) {
            return &entry.Value;
        }
    }
    return nullptr;
}

int32_t THashMap::GetInteger(std::string_view key, int32_t defaultValue) const {
    const TVariant* value = GetEntry(key);
    int32_t result = 0;
    if (value == nullptr || !value->ToInt32(result)) {
        return defaultValue;
    }
    return result;
}

std::string THashMap::GetString(std::string_view key, std::string_view defaultValue) const {
    return GetString(THashKey(key), defaultValue);
}

std::string THashMap::GetString(const THashKey& key, std::string_view defaultValue) const {
    const TVariant* value = GetEntry(key);
    if (value == nullptr || value->IsNull()) {
        return std::string(defaultValue);
    }
    return value->ToText();
}

std::string_view THashMap::GetStringView(const THashKey& key, std::string& scratch) const {
    const TVariant* value = GetEntry(key);
    if (value == nullptr || value->IsNull()) {
        return {};
    }
    if (const std::string* text = value->TextIf()) {
        return *text;
    }
    scratch = value->ToText();
    return scratch;
}

} // namespace kanvio
