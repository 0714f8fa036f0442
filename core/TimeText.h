#pragma once

// Times on the project timeline: texts hh:mm:ss (two digits each, hours may have more)
// and whole seconds.

#include <cstdint>
#include <string>
#include <string_view>

namespace kanvio {

// hours from characters 1-2, minutes from 4-5, seconds from 7-8. A text with three or
// more hour digits ("100:00:00") is read by its colons, since a film can run that long.
// Throws EConvertError naming the text when a part is not a number.
int64_t TimeTextToSeconds(std::string_view text);

// "%.2d:%.2d:%.2d" of hours, minutes and seconds; hours may have more digits.
std::string SecondsToTimeText(int64_t seconds);

// The same conversion without an exception, for places where a bad text is skipped.
bool TryTimeTextToSeconds(std::string_view text, int64_t& seconds);

} // namespace kanvio
