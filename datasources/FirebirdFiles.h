#pragma once

// Files the project database needs besides the delivery itself: a folder of this user
// alone for copies and engine locks, and copies of a database that the engine cannot use
// where it lies (a network folder, a read-only medium, a file another program holds).

#include <string>

namespace kanvio {

// GetTempFolder() + "kanvio-<user id>/", created with rights for this user only. Throws
// EInOutError when it exists but is not a folder owned by this user (for example a link
// someone else laid there).
std::string FirebirdPrivateFolder();

// Copies source to target, replacing target. Returns 0, or the system error code.
int CopyDatabaseFile(const std::string& source, const std::string& target);

// A private copy of a database file, removed again when the object goes.
class TTemporaryDatabaseCopy {
public:
    // Throws EInOutError naming source when the copy cannot be made.
    explicit TTemporaryDatabaseCopy(const std::string& source);
    ~TTemporaryDatabaseCopy();
    TTemporaryDatabaseCopy(const TTemporaryDatabaseCopy&) = delete;
    TTemporaryDatabaseCopy& operator=(const TTemporaryDatabaseCopy&) = delete;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

} // namespace kanvio
