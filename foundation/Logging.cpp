#include "foundation/Logging.h"

#include "foundation/AnsiText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/LogLineFormat.h"
#include "foundation/RegistryManager.h"
#include "foundation/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {

std::unique_ptr<TLog> AppLog;

namespace {

// The settings' historic default names a drive that cannot exist here.
constexpr std::string_view kHistoricDefaultLogFile = "c:\\kanvio.log";

std::string FolderOfFile(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsDriveLetterPath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

// The log folder takes new files and appended lines from this user.
bool LogFolderWritable(const std::string& logFile) {
    if (logFile.empty() || IsDriveLetterPath(logFile)) {
        return false;
    }
    const std::string folder = FolderOfFile(logFile);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Returns 0 or the errno of the failure.
int AppendToFile(const std::string& fileName, std::string_view bytes) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            break;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// Time zone names vary with the system's set-up and tell a log reader nothing: drop the
// "t" fields of a format, leaving quoted literal text alone.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('t')) {
            continue;
        }
        result += c;
    }
    return result.trimmed();
}

} // namespace

const char* LogLevelTag(int32_t level) {
    switch (level) {
    case LOG_FATAL:
        return " [FATAL] ";
    case LOG_ERROR:
        return " [ERROR] ";
    case LOG_WARNING:
        return " [WARNING] ";
    case LOG_DEBUG:
        return " [DEBUG] ";
    default:
        return "";
    }
}

std::string FormatLogTimestamp(const QDateTime& when, const QLocale& locale) {
    QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(QLatin1String("yyyy"))) {
        dateFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    QString text = locale.toString(when.date(), dateFormat);
    const QTime time = when.time();
    if (time != QTime(0, 0)) {
        text += QLatin1Char(' ') +
                locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    }
    return QStringToAnsi(text);
}

std::string FormatLogLinePrefix(int32_t level, const QDateTime& when, const QLocale& locale) {
    return FormatLogTimestamp(when, locale) + LogLevelTag(level);
}

std::string TLog::LinePrefix(int32_t level) {
    return FormatLogLinePrefix(level, QDateTime::currentDateTime(), QLocale::system());
}

std::string DefaultLogFileName() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else {
        folder = QFile::encodeName(QDir::homePath()).toStdString() + "/.local/state";
    }
    return folder + "/kanvio/kanvio.log";
}

TLog::TLog(std::string fileName, int32_t logLevel, IUserDialogs& dialogs)
    : level_(logLevel), givenFileName_(std::move(fileName)) {
    {
        LangScope lang;
        noRightsText_ = lang.Text("_NoRightsToLogFile");
    }
    if (level_ == 0) {
        return;
    }

    std::string name = ReadRegString("", "logfile", givenFileName_);
    if (name.empty() || SameText(name, kHistoricDefaultLogFile)) {
        name = DefaultLogFileName();
    } else {
        name = ToNativeSeparators(name);
    }
    if (name == DefaultLogFileName()) {
        std::error_code ignored; // a failure shows in the probe below
        std::filesystem::create_directories(FolderOfFile(name), ignored);
    }

    while (!LogFolderWritable(name)) {
        dialogs.ShowMessage(TMessageKind::Warning, noRightsText_);
        const auto chosen =
            dialogs.AskSaveFileName(GetDocumentsFolder(), ExtractFileName(name), "Log (*.log)");
        if (!chosen) {
            level_ = 0;
            return;
        }
        name = *chosen;
        try {
            WriteRegString("", "logfile", name);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "kanvio: %s\n", error.what());
        }
    }
    fileName_ = name;

    if (const int error = AppendToFile(fileName_, {}); error != 0) {
        reportedFailure_ = true;
        std::fprintf(stderr, "kanvio: cannot create the log file %s: %s\n", fileName_.c_str(),
                     std::strerror(error));
    }
}

void TLog::Write(std::string_view text, int32_t level) {
    if (level_ == 0 || level > level_ || fileName_.empty()) {
        return;
    }
    try {
        std::string line = LinePrefix(level);
        line.append(text).append("\r\n");
        std::lock_guard guard(lock_);
        if (const int error = AppendToFile(fileName_, line); error != 0 && !reportedFailure_) {
            reportedFailure_ = true;
            std::fprintf(stderr, "kanvio: cannot write to the log file %s: %s\n", fileName_.c_str(),
                         std::strerror(error));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kanvio: log line lost: %s\n", error.what());
    }
}

void LogLine(std::string_view text, int32_t level) {
    if (AppLog) {
        AppLog->Write(text, level);
    }
}

} // namespace kanvio
