#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kanvio {

enum TLogLevel : int32_t { LOG_FATAL = 1, LOG_ERROR = 2, LOG_WARNING = 3, LOG_DEBUG = 4 };

class IUserDialogs;

// The diagnostic log. A line is written only when its level is not above the threshold;
// each line is appended and the file closed again, under a lock, from any thread.
class TLog {
public:
    // fileName as configured ([Debug] LogFile); the store value "logfile" overrides it. A
    // configured name that may not take log lines (see ChooseLogFile) gives way to the
    // default log file, with a warning in the log and on standard error. A log folder that
    // cannot be written is reported through dialogs (warning, then a save dialog);
    // cancelling switches the log off for this run.
    TLog(std::string fileName, int32_t logLevel, IUserDialogs& dialogs);

    // Never throws: callers include GStreamer and Qt callbacks. A line that cannot be
    // written is reported once on standard error.
    void Write(std::string_view text, int32_t level);

    int32_t Level() const { return level_; }
    const std::string& GivenFileName() const { return givenFileName_; }
    const std::string& FileName() const { return fileName_; }

    // The date, time and level tag that begin a line, without the text.
    static std::string LinePrefix(int32_t level);

private:
    void WriteLine(std::string_view text, int32_t level);

    int32_t level_;
    std::string givenFileName_;
    std::string fileName_;
    std::string noRightsText_;
    std::mutex lock_;
    bool reportedFailure_ = false;
};

// The global log; null until the player context creates it.
extern std::unique_ptr<TLog> AppLog;

// Writes to AppLog when there is one. Use this from code that may run before the log exists.
void LogLine(std::string_view text, int32_t level);

// The default log file when neither the settings nor the store name one:
// $XDG_STATE_HOME/kanvio/kanvio.log (~/.local/state/kanvio/kanvio.log).
std::string DefaultLogFileName();

} // namespace kanvio
