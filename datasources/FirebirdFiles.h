#pragma once

// Files the project database needs besides the delivery itself: a folder of this user
// alone for engine locks, and the private copy the engine works on. The engine writes
// into every database it attaches to (header and transaction pages), even for a
// read-only transaction, so a delivery is never attached to where it lies: a delivery is
// a record and stays byte for byte as the contractor sent it.

#include "foundation/Errors.h"

#include <cstdint>
#include <string>

namespace kanvio {

// A private copy could not be made. SystemError() is the system's error code, 0 when
// there is none.
class EDatabaseCopyError : public EInOutError {
public:
    EDatabaseCopyError(const std::string& fileName, const std::string& problem, int systemError)
        : EInOutError(fileName, problem), systemError_(systemError) {}
    int SystemError() const { return systemError_; }

private:
    int systemError_;
};

// GetTempFolder() + "kanvio-<user id>/", created with rights for this user only. Throws
// EInOutError when it exists but is not a folder owned by this user (for example a link
// someone else laid there).
std::string FirebirdPrivateFolder();

// Where private copies of databases go, ending with "/": $XDG_CACHE_HOME/kanvio
// (~/.cache/kanvio), else $XDG_RUNTIME_DIR/kanvio, else FirebirdPrivateFolder(). The first
// that is, or can be made, a folder of this user alone with rights for him only. Throws
// EInOutError when none can.
std::string DatabaseCopyFolder();

// Removes the copies in folder whose run has ended without removing them (a crash, a
// kill). A copy in use is locked by its run and stays. Returns how many were removed.
int RemoveLeftoverDatabaseCopies(const std::string& folder);

// How a copy was made: a shared extent where the file system has them, else copied in
// the kernel, else read and written.
enum class TCopyMethod { Reflink, CopyFileRange, ReadWrite };
const char* CopyMethodName(TCopyMethod method);

// A private copy of a database file in DatabaseCopyFolder(), removed again when the object
// goes. Leftovers of crashed runs are removed before the copy is made.
class TPrivateDatabaseCopy {
public:
    // Throws EDatabaseCopyError naming source and the reason when the copy cannot be made;
    // a source that is no regular file is refused without waiting on it.
    explicit TPrivateDatabaseCopy(const std::string& source);
    ~TPrivateDatabaseCopy();
    TPrivateDatabaseCopy(const TPrivateDatabaseCopy&) = delete;
    TPrivateDatabaseCopy& operator=(const TPrivateDatabaseCopy&) = delete;

    const std::string& FileName() const { return fileName_; }
    uint64_t Bytes() const { return bytes_; }
    TCopyMethod Method() const { return method_; }

private:
    void Discard();

    std::string fileName_;
    std::string lockFileName_;
    int lockFd_ = -1;
    uint64_t bytes_ = 0;
    TCopyMethod method_ = TCopyMethod::ReadWrite;
};

} // namespace kanvio
