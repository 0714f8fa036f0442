#pragma once

// How a log line begins, apart from the clock and the locale, so it can be checked for
// any moment and any language.

#include <QDateTime>
#include <QLocale>
#include <cstdint>
#include <string>
#include <string_view>

namespace kanvio {

// " [FATAL] ", " [ERROR] ", " [WARNING] ", " [DEBUG] ", or "" for any other level.
const char* LogLevelTag(int32_t level);

// Date in the locale's short format with a four-digit year, a blank and the time in the
// locale's long format without a time zone; the time is left out at exactly midnight.
std::string FormatLogTimestamp(const QDateTime& when, const QLocale& locale);

std::string FormatLogLinePrefix(int32_t level, const QDateTime& when, const QLocale& locale);

// The text with every control character shown as an escape ("\n", "\r", "\t", "\x1b"), so
// that one call writes one line and nothing in it acts on a terminal.
std::string EscapeLogText(std::string_view text);

} // namespace kanvio
