#include "foundation/LogFileChoice.h"

#include "foundation/AnsiText.h"
#include "foundation/Logging.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {

namespace {

// The settings' historic default names a drive that cannot exist here.
constexpr std::string_view kHistoricDefaultLogFile = "c:\\kanvio.log";
constexpr std::array<std::string_view, 4> kLevelTags = {" [FATAL] ", " [ERROR] ", " [WARNING] ",
                                                        " [DEBUG] "};

bool IsWindowsPath(std::string_view path) {
    const bool driveLetter =
        path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
    return driveLetter || path.find('\\') != std::string_view::npos;
}

bool HasLogExtension(std::string_view path) {
    constexpr std::string_view kExtension = ".log";
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return name.size() > kExtension.size() &&
           SameText(name.substr(name.size() - kExtension.size()), kExtension);
}

bool ClimbsOut(std::string_view relative) {
    size_t start = 0;
    while (start <= relative.size()) {
        const auto slash = relative.find('/', start);
        const auto end = slash == std::string_view::npos ? relative.size() : slash;
        if (relative.substr(start, end - start) == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The language key of the reason the existing file may not take log lines, or empty.
std::string RefusalOfExistingFile(const std::string& fileName) {
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) != 0) {
        // Not there, or behind a folder that cannot be searched: the rights probe of the
        // log folder deals with that.
        return {};
    }
    if (S_ISLNK(info.st_mode)) {
        return "_LogFileLink";
    }
    if (!S_ISREG(info.st_mode)) {
        return "_LogFileNotRegular";
    }
    // O_NONBLOCK: a name swapped for a pipe in the meantime must not stall the start.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ELOOP ? "_LogFileLink" : "_LogFileUnreadable";
    }
    std::array<char, 512> head{};
    ssize_t got = 0;
    struct stat opened {};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    if (regular) {
        do {
            got = ::read(fd, head.data(), head.size());
        } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
    if (!regular) {
        return "_LogFileNotRegular";
    }
    if (got < 0) {
        return "_LogFileUnreadable";
    }
    const std::string_view text(head.data(), static_cast<size_t>(got));
    if (text.empty() || IsLogLine(text.substr(0, text.find_first_of("\r\n")))) {
        return {};
    }
    return "_LogFileForeign";
}

} // namespace

bool IsLogLine(std::string_view line) {
    size_t tag = std::string_view::npos;
    for (const std::string_view candidate : kLevelTags) {
        tag = std::min(tag, line.find(candidate));
    }
    if (tag == std::string_view::npos || tag == 0) {
        return false;
    }
    // Date and time in the locale's forms: digits, separators, and in some languages a
    // month name or a day-half marker ("8 Dec 2005 2:05:09 PM"); never a character a
    // shell or a script would need.
    const std::string_view stamp = line.substr(0, tag);
    if (stamp.front() < '0' || stamp.front() > '9') {
        return false;
    }
    int digits = 0;
    int separators = 0;
    for (const char c : stamp) {
        const auto byte = static_cast<unsigned char>(c);
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' || c == '/' || c == '-' || c == ':' || c == ' ' || c == ',') {
            ++separators;
        } else if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || byte >= 0x80)) {
            return false;
        }
    }
    return digits >= 3 && separators >= 2;
}

TLogFileChoice ChooseLogFile(const std::string& given) {
    const std::string fallback = DefaultLogFileName();
    if (given.empty() || SameText(given, kHistoricDefaultLogFile)) {
        return {fallback, {}};
    }
    if (IsWindowsPath(given)) {
        return {fallback, "_LogFileWindowsPath"};
    }
    if (!HasLogExtension(given)) {
        return {fallback, "_LogFileNotLog"};
    }
    std::string fileName = given;
    if (given.front() != '/') {
        // Never beside the delivery, which may be read-only and is not the program's.
        if (ClimbsOut(given)) {
            return {fallback, "_LogFileOutside"};
        }
        fileName = FolderOf(fallback) + "/" + given;
    }
    if (std::string refusal = RefusalOfExistingFile(fileName); !refusal.empty()) {
        return {fallback, std::move(refusal)};
    }
    return {fileName, {}};
}

} // namespace kanvio
