#pragma once

// Which file the log goes to when the settings name one. The settings come with a delivery,
// so the name must not make the program append to a file of the user's that is not a log
// of its own: a shell start-up file would run what a crafted film entry put into it.

#include <string>
#include <string_view>

namespace kanvio {

struct TLogFileChoice {
    std::string FileName;
    // Empty when the named file is used (or none was named); otherwise the language key of
    // the reason it is not, and FileName is the default log file.
    std::string RefusalKey;
};

// given as [Debug] LogFile holds it. It is used when it ends in ".log" and is a regular
// file (not a symbolic link) that is empty, missing, or begins with a line of this log. A
// relative name is taken in the default log folder; a Windows path (drive letter or
// backslashes) means the default log file.
TLogFileChoice ChooseLogFile(const std::string& given);

// Whether line begins as this program's log lines do: a date, a time and a level tag.
bool IsLogLine(std::string_view line);

} // namespace kanvio
