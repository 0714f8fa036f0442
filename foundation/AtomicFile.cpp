#include "foundation/AtomicFile.h"

#include "foundation/Errors.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The hidden sibling a write goes through first; the rename then stays within one file
// system. mkostemp fills in the six X.
std::string TempPattern(const std::string& fileName) {
    return FolderOf(fileName) + "/." + NameOf(fileName) + ".XXXXXX";
}

bool IsTempNameOf(std::string_view entry, std::string_view name) {
    constexpr size_t kRandom = 6;
    if (entry.size() != name.size() + 2 + kRandom || entry.front() != '.' ||
        entry.substr(1, name.size()) != name || entry[name.size() + 1] != '.') {
        return false;
    }
    for (const char c : entry.substr(name.size() + 2)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// A killed write leaves its hidden temporary file behind; the next write of the same file
// removes it. Another writer of the same file may be busy right now, so a file is removed
// only when every test says it is abandoned:
// - it is a regular file of this user (never a link, never someone else's file);
// - nobody holds the lock a writer keeps on its temporary file from creation to rename;
// - it has not been touched for kStaleAfter, which covers the moment between a writer's
//   mkostemp and its flock, and file systems where locks are not supported at all.
// The lock is held while the name is removed, and the name must still lead to the file
// that was checked, so a file that turns up under the name meanwhile is left alone.
constexpr time_t kStaleAfter = 10 * 60;

void RemoveStaleTempFiles(const std::string& fileName) {
    const std::string folder = FolderOf(fileName);
    const std::string name = NameOf(fileName);
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return; // the write itself will say what is wrong with the folder
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTempNameOf(entry->d_name, name)) {
            candidates.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);

    const time_t now = ::time(nullptr);
    for (const auto& candidate : candidates) {
        const std::string path = folder + "/" + candidate;
        FileDescriptor file(
            ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info {};
        if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || now - info.st_mtime < kStaleAfter ||
            ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            continue;
        }
        struct stat named {};
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == info.st_dev &&
            named.st_ino == info.st_ino) {
            ::unlink(path.c_str());
        }
    }
}

// After the rename the new name lives in the folder: sync it, or a crash could bring back
// the old file. File systems that cannot sync a folder say EINVAL; that is no failure.
int SyncFolder(const std::string& folder) {
    FileDescriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!handle.valid()) {
        return 0; // a folder without read rights cannot be opened; the rename stands
    }
    if (::fsync(handle.get()) != 0 && errno != EINVAL && errno != EROFS) {
        return errno;
    }
    return 0;
}

} // namespace

void WriteFileAtomically(const std::string& requestedName, std::string_view bytes) {
    const std::string fileName = ResolveLink(requestedName);
    struct stat existing {};
    const bool exists = ::stat(fileName.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        throw EInOutError(requestedName, "cannot be written: it is a folder");
    }

    // The read-only mark is the owner's word: it is kept, never worked around by a rename.
    if (exists && ::access(fileName.c_str(), W_OK) != 0) {
        const int error = errno;
        throw EInOutError(requestedName, "cannot be written: " + SystemReason(error));
    }

    RemoveStaleTempFiles(fileName);
    std::string tempName = TempPattern(fileName);
    FileDescriptor temp(::mkostemp(tempName.data(), O_CLOEXEC));
    if (!temp.valid()) {
        // Never rewritten in place instead: a crash then would leave half a file.
        const int error = errno;
        throw EInOutError(requestedName, "cannot be written: no new file can be made in " +
                                             FolderOf(fileName) + ": " + SystemReason(error));
    }
    // Tells RemoveStaleTempFiles of a later write that this file is in use. Where the file
    // system has no locks, the age of the file protects it.
    [[maybe_unused]] const int locked = ::flock(temp.get(), LOCK_EX | LOCK_NB);

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
    if (const int error = SyncFolder(FolderOf(fileName)); error != 0) {
        throw EInOutError(requestedName, "was written, but its folder could not be synced: " +
                                             SystemReason(error));
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
    // Read straight into the result: a large delivery file is copied once, not twice.
    size_t length = 0;
    bytes.resize(info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1 : 28672);
    for (;;) {
        if (length == bytes.size()) {
            bytes.resize(bytes.size() * 2); // the file grew while being read
        }
        const ssize_t got = ::read(file.get(), bytes.data() + length, bytes.size() - length);
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
        length += static_cast<size_t>(got);
    }
    bytes.resize(length);
    return true;
}

} // namespace kanvio
