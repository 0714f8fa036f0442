#include "foundation/Logging.h"

#include "foundation/AnsiText.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/LogFileChoice.h"
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
#include <initializer_list>
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
    // Never through a link, never into a pipe or device put in the file's place.
    const int fd =
        ::open(fileName.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return EINVAL;
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

// A language text with "%1", "%2", ... replaced by the values, in one pass so that a value
// holding "%2" stays as it is.
std::string ReplacePlaceholders(std::string_view text, std::initializer_list<std::string> values) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t index = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : 99;
        if (text[i] == '%' && index < values.size()) {
            result += *(values.begin() + index);
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

} // namespace

std::string EscapeLogText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
            continue;
        }
        switch (c) {
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\t':
            escaped += "\\t";
            break;
        default:
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}

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
    std::string name;
    std::string refusal;
    {
        LangScope lang;
        noRightsText_ = lang.Text("_NoRightsToLogFile");
        if (level_ == 0) {
            return;
        }
        name = ReadRegString("", "logfile", "");
        if (name.empty()) {
            // Only the name a delivery's settings give is checked; the stored one is the
            // user's own choice.
            TLogFileChoice choice = ChooseLogFile(givenFileName_);
            name = std::move(choice.FileName);
            if (!choice.RefusalKey.empty()) {
                refusal = ReplacePlaceholders(lang.Text("_LogFileRefused"),
                                              {givenFileName_, lang.Text(choice.RefusalKey), name});
            }
        } else if (SameText(name, kHistoricDefaultLogFile)) {
            name = DefaultLogFileName();
        } else {
            name = ToNativeSeparators(name);
        }
    }
    if (name.rfind(FolderOfFile(DefaultLogFileName()) + "/", 0) == 0) {
        std::error_code ignored; // a failure shows in the probe below
        std::filesystem::create_directories(FolderOfFile(name), ignored);
    }

    while (!LogFolderWritable(name)) {
        dialogs.ShowMessage(TMessageKind::Warning, ReplacePlaceholders(noRightsText_, {name}));
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
    if (!refusal.empty()) {
        // Whatever the threshold: it tells where the lines the user asked for went.
        std::fprintf(stderr, "kanvio: %s\n", AnsiToUtf8(EscapeLogText(refusal)).c_str());
        WriteLine(refusal, LOG_WARNING);
    }
}

void TLog::Write(std::string_view text, int32_t level) {
    if (level_ == 0 || level > level_ || fileName_.empty()) {
        return;
    }
    WriteLine(text, level);
}

void TLog::WriteLine(std::string_view text, int32_t level) {
    try {
        std::string line = LinePrefix(level);
        // Texts carry data from deliveries: a control character must neither start a line
        // of its own nor reach a terminal that shows the log.
        line.append(EscapeLogText(text)).append("\r\n");
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
