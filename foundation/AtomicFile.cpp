#include "foundation/AtomicFile.h"

#include "foundation/Errors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {
namespace {

std::string SystemReason(int error) {
    return std::strerror(error);
}

// Closes a descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Returns 0 or the errno of a failed close (an NFS write error may only show here).
    int Close() {
        int error = 0;
        if (fd_ >= 0 && ::close(fd_) != 0) {
            error = errno;
        }
        fd_ = -1;
        return error;
    }

private:
    int fd_;
};

// Writes all bytes; returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A link is replaced through its target, so the link itself survives the rewrite.
std::string ResolveLink(const std::string& fileName) {
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return fileName;
    }
    char resolved[PATH_MAX];
    if (::realpath(fileName.c_str(), resolved) == nullptr) {
        return fileName;
    }
    return resolved;
}

mode_t CurrentUmask() {
    // umask can only be read by setting it; /proc tells it without that race.
    FileDescriptor status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    if (status.valid()) {
        char buffer[4096];
        const ssize_t got = ::read(status.get(), buffer, sizeof buffer - 1);
        if (got > 0) {
            buffer[got] = '\0';
            if (const char* line = std::strstr(buffer, "Umask:")) {
                return static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
            }
        }
    }
    return 022;
}

void WriteInPlace(const std::string& fileName, std::string_view bytes, int tempError) {
    FileDescriptor file(::open(fileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!file.valid()) {
        throw EInOutError(fileName, "cannot be written: " + SystemReason(tempError));
    }
    int error = WriteAll(file.get(), bytes);
    if (error == 0 && ::fsync(file.get()) != 0 && errno != EINVAL) {
        error = errno;
    }
    const int closeError = file.Close();
    if (error == 0) {
        error = closeError;
    }
    if (error != 0) {
        throw EInOutError(fileName, "cannot be written: " + SystemReason(error));
    }
}

} // namespace

void WriteFileAtomically(const std::string& requestedName, std::string_view bytes) {
    const std::string fileName = ResolveLink(requestedName);
    struct stat existing {};
    const bool exists = ::stat(fileName.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        throw EInOutError(requestedName, "cannot be written: it is a folder");
    }

    // A hidden sibling, so the rename stays within one file system.
    std::string tempName = FolderOf(fileName) + "/." + NameOf(fileName) + ".XXXXXX";
    FileDescriptor temp(::mkostemp(tempName.data(), O_CLOEXEC));
    if (!temp.valid()) {
        const int error = errno;
        // A folder the user may not add files to can still hold a file he may rewrite.
        if (exists && (error == EACCES || error == EPERM) &&
            ::access(fileName.c_str(), W_OK) == 0) {
            WriteInPlace(fileName, bytes, error);
            return;
        }
        throw EInOutError(requestedName, "cannot be written: " + SystemReason(error));
    }

    auto fail = [&](int error) {
        temp.Close();
        ::unlink(tempName.c_str());
        throw EInOutError(requestedName, "cannot be written: " + SystemReason(error));
    };
    const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(temp.get(), mode) != 0) {
        fail(errno);
    }
    if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Only possible for a privileged user; an ordinary user keeps his own ownership.
        [[maybe_unused]] const int ignored = ::fchown(temp.get(), existing.st_uid, existing.st_gid);
    }
    if (const int error = WriteAll(temp.get(), bytes); error != 0) {
        fail(error);
    }
    if (::fsync(temp.get()) != 0 && errno != EINVAL) {
        fail(errno);
    }
    if (const int error = temp.Close(); error != 0) {
        ::unlink(tempName.c_str());
        throw EInOutError(requestedName, "cannot be written: " + SystemReason(error));
    }
    if (::rename(tempName.c_str(), fileName.c_str()) != 0) {
        const int error = errno;
        ::unlink(tempName.c_str());
        throw EInOutError(requestedName, "cannot be written: " + SystemReason(error));
    }
}

bool ReadWholeFile(const std::string& fileName, std::string& bytes) {
    bytes.clear();
    FileDescriptor file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return false;
        }
        throw EInOutError(fileName, "cannot be read: " + SystemReason(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw EInOutError(fileName, "cannot be read: it is a folder");
    }
    if (info.st_size > 0) {
        bytes.reserve(static_cast<size_t>(info.st_size));
    }
    char buffer[28672];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            bytes.clear();
            throw EInOutError(fileName, "cannot be read: " + SystemReason(error));
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

} // namespace kanvio
