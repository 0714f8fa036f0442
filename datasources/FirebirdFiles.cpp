#include "datasources/FirebirdFiles.h"

#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kanvio {

namespace {

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

int CopyContents(int from, int to) {
    std::string buffer(1 << 20, '\0');
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (const int error = WriteAll(to, buffer.data(), static_cast<size_t>(got)))
            return error;
    }
}

} // namespace

std::string FirebirdPrivateFolder() {
    const std::string folder = GetTempFolder() + "kanvio-" + std::to_string(::geteuid()) + "/";
    const std::string path = folder.substr(0, folder.size() - 1);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw EInOutError(path, std::string("cannot create the folder: ") + std::strerror(errno));
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw EInOutError(path, std::string("cannot read the folder: ") + std::strerror(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        throw EInOutError(path, "is not a folder of this user");
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        throw EInOutError(path,
                          std::string("cannot make the folder private: ") + std::strerror(errno));
    return folder;
}

int CopyDatabaseFile(const std::string& source, const std::string& target) {
    TFileHandle from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.Get() < 0)
        return errno;
    // A new file under a temporary name, renamed over the target when complete: a copy
    // broken off half-way never takes the place of a good one.
    std::string partial = target + ".XXXXXX";
    TFileHandle to(::mkostemp(partial.data(), O_CLOEXEC));
    if (to.Get() < 0)
        return errno;
    int error = CopyContents(from.Get(), to.Get());
    if (error == 0 && ::fchmod(to.Get(), 0600) != 0)
        error = errno;
    if (::close(to.Release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(partial.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(partial.c_str());
    return error;
}

TTemporaryDatabaseCopy::TTemporaryDatabaseCopy(const std::string& source) {
    std::string name = FirebirdPrivateFolder() + "copy-XXXXXX.fdb";
    TFileHandle placeholder(::mkstemps(name.data(), 4));
    if (placeholder.Get() < 0)
        throw EInOutError(name, std::string("cannot create a copy: ") + std::strerror(errno));
    fileName_ = name;
    if (const int error = CopyDatabaseFile(source, fileName_)) {
        ::unlink(fileName_.c_str());
        throw EInOutError(source, std::string("cannot be copied to the temporary folder: ") +
                                      std::strerror(error));
    }
}

TTemporaryDatabaseCopy::~TTemporaryDatabaseCopy() {
    ::unlink(fileName_.c_str());
}

} // namespace kanvio
