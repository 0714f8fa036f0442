#pragma once

// Values of a result row turned into the texts the program works with: whole and scaled
// numbers in decimal with "." and without trailing zeros, floating point numbers with 15
// significant digits, dates as dd.mm.yyyy, times as hh:mm:ss, fixed-width texts without
// their padding blanks.

#include <cstdint>
#include <firebird/Interface.h>
#include <string>
#include <string_view>

namespace kanvio {

// One value in a message buffer as the engine laid it out (type without the null bit).
struct TFirebirdValue {
    unsigned Type = 0;
    unsigned Length = 0;
    int Scale = 0;
    const unsigned char* Data = nullptr;
};

// The text of a fixed-width or varying text as it stands in the buffer (without the
// padding blanks of a fixed-width one); false for every other type.
bool StoredTextView(const TFirebirdValue& value, std::string_view& text);
// False for a type that has no text form here (blobs are read separately).
bool RenderValueText(const TFirebirdValue& value, Firebird::IUtil* util, std::string& text);
// True and the value for whole and scaled numbers (scaled ones rounded) and for floating
// point numbers that are whole numbers within range; false for every other value.
bool ValueAsInteger(const TFirebirdValue& value, int64_t& result);
// A whole number with optional blanks around it and an optional sign.
bool TextAsInteger(std::string_view text, int64_t& result);

// 1250 with scale -2 gives "12.5"; 500 with scale -2 gives "5".
std::string ScaledIntegerText(int64_t value, int scale);
// The shortest text with at most significantDigits digits: 12.5 -> "12.5", 0.1+0.2 -> "0.3".
std::string FloatText(double value, int significantDigits);

} // namespace kanvio
