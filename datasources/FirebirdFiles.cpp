#include "datasources/FirebirdFiles.h"

#include "foundation/KanvioToolkit.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kanvio {

namespace {

constexpr const char* CopyPrefix = "db-";
constexpr const char* CopySuffix = ".fdb";
constexpr const char* LockSuffix = ".lock";

// A file descriptor closed when it goes out of scope.
class TFileHandle {
public:
    explicit TFileHandle(int fd) : fd_(fd) {}
    ~TFileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Makes path a folder of this user with rights for him alone. Returns "" or the reason
// why it cannot be one.
std::string MakeOwnFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create the folder: " + SystemErrorText(errno);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return "cannot read the folder: " + SystemErrorText(errno);
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return "is not a folder of this user";
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        return "cannot make the folder private: " + SystemErrorText(errno);
    return {};
}

std::string AbsoluteEnvironment(const char* name) {
    const char* value = std::getenv(name);
    // Relative names are to be ignored: they would depend on the working folder.
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = AbsoluteEnvironment("HOME");
    if (home.empty())
        if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    return home;
}

std::string CacheBaseFolder() {
    std::string cache = AbsoluteEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        cache = home + "/.cache";
    }
    std::error_code ignored; // MakeOwnFolder tells what went wrong
    std::filesystem::create_directories(cache, ignored);
    return cache;
}

// The runtime folder is made by the system for this user; it is used only as it is.
std::string RuntimeBaseFolder() {
    const std::string runtime = AbsoluteEnvironment("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime.empty() || ::stat(runtime.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return {};
    return runtime;
}

struct TCopyOutcome {
    int Error = 0;
    uint64_t Bytes = 0;
    TCopyMethod Method = TCopyMethod::ReadWrite;
};

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

void ReadAndWrite(int from, int to, TCopyOutcome& outcome) {
    outcome.Method = TCopyMethod::ReadWrite;
    std::string buffer(1 << 20, '\0');
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            outcome.Error = errno;
            return;
        }
        if (got == 0)
            return;
        if ((outcome.Error = WriteAll(to, buffer.data(), static_cast<size_t>(got))) != 0)
            return;
        outcome.Bytes += static_cast<uint64_t>(got);
    }
}

// The kernel refuses copy_file_range between some file systems and on some kinds of file;
// plain reads and writes serve then.
bool CopyRangeUnsupported(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF;
}

TCopyOutcome CopyContents(int from, int to, uint64_t size) {
    TCopyOutcome outcome;
    if (::ioctl(to, FICLONE, from) == 0) {
        outcome.Method = TCopyMethod::Reflink;
        outcome.Bytes = size;
        return outcome;
    }
    outcome.Method = TCopyMethod::CopyFileRange;
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (outcome.Bytes == 0 && CopyRangeUnsupported(errno)) {
                ReadAndWrite(from, to, outcome);
                return outcome;
            }
            outcome.Error = errno;
            return outcome;
        }
        if (copied == 0)
            return outcome;
        outcome.Bytes += static_cast<uint64_t>(copied);
    }
}

// Opens a delivery's file for reading only. Its access time stays too where our rights
// allow; a FIFO or device standing there is neither waited on nor read.
int OpenSource(const std::string& source, uint64_t& size) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(source.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(source.c_str(), flags);
    if (fd < 0)
        return -errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    size = static_cast<uint64_t>(info.st_size);
    return fd;
}

bool SameFile(int fd, const std::string& path) {
    struct stat opened {
    }, named{};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

} // namespace

std::string FirebirdPrivateFolder() {
    const std::string folder = GetTempFolder() + "kanvio-" + std::to_string(::geteuid()) + "/";
    const std::string path = folder.substr(0, folder.size() - 1);
    if (const std::string problem = MakeOwnFolder(path); !problem.empty())
        throw EInOutError(path, problem);
    return folder;
}

std::string DatabaseCopyFolder() {
    std::string firstFolder, problems;
    for (const std::string& base : {CacheBaseFolder(), RuntimeBaseFolder()}) {
        if (base.empty())
            continue;
        const std::string folder = base + "/kanvio";
        const std::string problem = MakeOwnFolder(folder);
        if (problem.empty())
            return folder + "/";
        if (firstFolder.empty())
            firstFolder = folder;
        problems += (problems.empty() ? "" : "; ") + folder + ": " + problem;
    }
    try {
        return FirebirdPrivateFolder();
    } catch (const EInOutError& error) {
        if (firstFolder.empty())
            throw;
        throw EInOutError(firstFolder, problems + "; " + error.what());
    }
}

int RemoveLeftoverDatabaseCopies(const std::string& folder) {
    int removed = 0;
    const std::vector<std::string> names = FolderEntries(folder);
    // A run holds the lock on its lock file as long as its copy lives: a lock we can take
    // belongs to a run that has ended.
    for (const std::string& name : names) {
        if (name.rfind(CopyPrefix, 0) != 0 || !EndsWith(name, LockSuffix))
            continue;
        const std::string lockFile = folder + name;
        TFileHandle lock(::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (lock.Get() < 0 || ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0 ||
            !SameFile(lock.Get(), lockFile))
            continue;
        const std::string stem = lockFile.substr(0, lockFile.size() - std::strlen(LockSuffix));
        if (::unlink((stem + CopySuffix).c_str()) == 0)
            ++removed;
        ::unlink(lockFile.c_str());
    }
    // A copy is made after its lock file and removed before it: a copy without one is
    // left from a run that ended while removing it.
    for (const std::string& name : names) {
        if (name.rfind(CopyPrefix, 0) != 0 || !EndsWith(name, CopySuffix))
            continue;
        const std::string copy = folder + name;
        const std::string lockFile =
            copy.substr(0, copy.size() - std::strlen(CopySuffix)) + LockSuffix;
        struct stat info {};
        if (::lstat(lockFile.c_str(), &info) != 0 && errno == ENOENT && ::unlink(copy.c_str()) == 0)
            ++removed;
    }
    return removed;
}

const char* CopyMethodName(TCopyMethod method) {
    switch (method) {
    case TCopyMethod::Reflink:
        return "reflink";
    case TCopyMethod::CopyFileRange:
        return "copy_file_range";
    case TCopyMethod::ReadWrite:
        return "read/write";
    }
    return "";
}

TPrivateDatabaseCopy::TPrivateDatabaseCopy(const std::string& source) {
    uint64_t size = 0;
    TFileHandle from(OpenSource(source, size));
    if (from.Get() < 0) {
        const int error = -from.Release();
        throw EDatabaseCopyError(source,
                                 error == EINVAL ? "is not a regular file"
                                                 : "cannot be read: " + SystemErrorText(error),
                                 error);
    }

    std::string folder;
    try {
        folder = DatabaseCopyFolder();
    } catch (const EInOutError& error) {
        throw EDatabaseCopyError(source, std::string("cannot be copied: ") + error.what(), 0);
    }
    RemoveLeftoverDatabaseCopies(folder);

    // The lock file first, locked before anything else is there: another run's clean-up
    // must never take our copy for a leftover.
    for (int attempt = 0; attempt < 10 && lockFd_ < 0; ++attempt) {
        std::string name = folder + CopyPrefix + "XXXXXX" + LockSuffix;
        TFileHandle lock(
            ::mkostemps(name.data(), static_cast<int>(std::strlen(LockSuffix)), O_CLOEXEC));
        if (lock.Get() < 0) {
            const int error = errno;
            throw EDatabaseCopyError(
                source, "cannot be copied to " + folder + ": " + SystemErrorText(error), error);
        }
        if (::flock(lock.Get(), LOCK_EX | LOCK_NB) == 0 && SameFile(lock.Get(), name)) {
            lockFd_ = lock.Release();
            lockFileName_ = name;
        }
    }
    if (lockFd_ < 0)
        throw EDatabaseCopyError(source, "cannot be copied to " + folder + ": no lock file", 0);

    fileName_ =
        lockFileName_.substr(0, lockFileName_.size() - std::strlen(LockSuffix)) + CopySuffix;
    // A file of that name can only be a leftover: the name is ours while we hold the lock.
    ::unlink(fileName_.c_str());
    TFileHandle to(::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    TCopyOutcome outcome;
    if (to.Get() < 0)
        outcome.Error = errno;
    else
        outcome = CopyContents(from.Get(), to.Get(), size);
    if (to.Get() >= 0 && ::close(to.Release()) != 0 && outcome.Error == 0)
        outcome.Error = errno;
    if (outcome.Error != 0) {
        Discard();
        throw EDatabaseCopyError(
            source, "cannot be copied to " + folder + ": " + SystemErrorText(outcome.Error),
            outcome.Error);
    }
    bytes_ = outcome.Bytes;
    method_ = outcome.Method;
}

TPrivateDatabaseCopy::~TPrivateDatabaseCopy() {
    Discard();
}

void TPrivateDatabaseCopy::Discard() {
    if (!fileName_.empty())
        ::unlink(fileName_.c_str());
    if (!lockFileName_.empty())
        ::unlink(lockFileName_.c_str());
    if (lockFd_ >= 0)
        ::close(lockFd_);
    fileName_.clear();
    lockFileName_.clear();
    lockFd_ = -1;
}

} // namespace kanvio
