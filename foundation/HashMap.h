#pragma once

// The row map of the list views: text keys with one value each, kept in the order they
// were put. Lists hold a handful of columns, so a lookup is a plain scan; what makes it
// cheap is that keys are upper-cased once (THashKey) instead of on every comparison.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kanvio {

// The whole text as a 32-bit number: leading blanks, an optional sign, decimal digits and
// nothing after them.
bool TryTextToInt32(std::string_view text, int32_t& result);

// One value of a row: nothing (null), a text, a whole number or a floating-point number.
class TVariant {
public:
    TVariant() = default;
    TVariant(std::string text) : value_(std::move(text)) {}
    TVariant(const char* text) : value_(std::string(text)) {}
    TVariant(int64_t number) : value_(number) {}
    TVariant(int32_t number) : value_(int64_t(number)) {}
    TVariant(double number) : value_(number) {}

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsText() const { return std::holds_alternative<std::string>(value_); }
    bool IsInteger() const { return std::holds_alternative<int64_t>(value_); }
    bool IsFloat() const { return std::holds_alternative<double>(value_); }
    // The stored text, or null for any other kind of value.
    const std::string* TextIf() const { return std::get_if<std::string>(&value_); }

    // Numbers as the system writes them (its decimal separator); null as empty text.
    std::string ToText() const;
    // False when the value is null, a text that is no whole number, or out of range.
    // Floating-point values round to the nearest whole number.
    bool ToInt32(int32_t& result) const;

    bool operator==(const TVariant& other) const = default;

private:
    std::variant<std::monostate, std::string, int64_t, double> value_;
};

// A key in the form the map stores it: the letters a to z upper-cased, every other byte
// as it is. Build one once and use it for many lookups.
class THashKey {
public:
    explicit THashKey(std::string_view key);
    const std::string& Text() const& { return text_; }
    std::string Text() && { return std::move(text_); }

private:
    std::string text_;
};

class THashMap {
public:
    // Stores Value under Key. A key that is already there (in any letter case) loses its
    // old entry; the new one goes to the end.
    void PutValue(std::string_view key, TVariant value);
    // Stores the number as its decimal text.
    void PutInt64(std::string_view key, int64_t value);

    // The value of Key, or null when there is none. Valid until the map changes.
    const TVariant* GetEntry(std::string_view key) const;
    const TVariant* GetEntry(const THashKey& key) const;

    // Default when the key is missing, its value null, or not a whole number in range.
    int32_t GetInteger(std::string_view key, int32_t defaultValue) const;
    // Default when the key is missing or its value null.
    std::string GetString(std::string_view key, std::string_view defaultValue) const;
    std::string GetString(const THashKey& key, std::string_view defaultValue) const;
    // GetString with an empty default, without copying stored texts: the view points into
    // the map, or into scratch for numbers. Valid until the map or scratch changes.
    std::string_view GetStringView(const THashKey& key, std::string& scratch) const;

    // Room for count entries, for callers that know how many they will put.
    void Reserve(size_t count) { entries_.reserve(count); }
    size_t Count() const { return entries_.size(); }
    // The stored (upper-cased) key of entry index, in insertion order.
    const std::string& KeyAt(size_t index) const { return entries_.at(index).Key; }
    const TVariant& ValueAt(size_t index) const { return entries_.at(index).Value; }

private:
    struct TEntry {
        std::string Key;
        TVariant Value;
    };
    void Put(THashKey key, TVariant value);

    std::vector<TEntry> entries_;
};

} // namespace kanvio
