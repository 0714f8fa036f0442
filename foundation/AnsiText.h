#pragma once

// Texts of deliveries, settings and language files are 8-bit Windows-1252 bytes. The
// program keeps them as bytes (std::string) and converts exactly once, where a text
// reaches the screen or another tool.

#include <QString>
#include <string>
#include <string_view>

namespace kanvio {

QString AnsiToQString(std::string_view ansi);
// Characters that Windows-1252 cannot hold become "?".
std::string QStringToAnsi(const QString& text);
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// Upper/lower case of the letters a to z only; every other byte stays as it is.
std::string AsciiUpperCase(std::string_view text);
std::string AsciiLowerCase(std::string_view text);

// Comparison without regard to case as the settings file and registry lookups make it:
// ASCII letters and the accented letters of Windows-1252 fold to one case.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
// The text with every letter folded as SameText folds it (for hashing case-blind names).
std::string FoldCase(std::string_view text);

} // namespace kanvio
