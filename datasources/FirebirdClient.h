#pragma once

// The Firebird client library, opened at run time so that a machine without it can still
// start the program and get a clear message when a project database has to be read. The
// engine runs embedded in this process: a database file is opened straight from disk.
//
// Every handle of the client is owned by one object here and given back to the client when
// that object goes, so an error thrown half-way never leaves an attachment open.

#include "foundation/Errors.h"

#include <cstdint>
#include <firebird/Interface.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio {

// An error of the client library or the database engine. The message names the database
// file and carries the client's own words; Codes() holds the engine's error codes so that
// callers can tell a locked or read-only file from a broken one.
class EFirebirdError : public EKanvioError {
public:
    EFirebirdError(const std::string& fileName, const std::string& problem,
                   std::vector<intptr_t> codes = {});
    const std::string& fileName() const { return fileName_; }
    const std::vector<intptr_t>& Codes() const { return codes_; }
    bool HasCode(intptr_t code) const;

private:
    std::string fileName_;
    std::vector<intptr_t> codes_;
};

// The client library to load: the one set for tests, else $KANVIO_FIREBIRD_CLIENT, else
// "libfbclient.so.2". An empty name restores the default.
void SetFirebirdClientLibraryForTesting(std::string libraryName);
std::string FirebirdClientLibraryName();

// The folder the embedded engine keeps its lock files in. It belongs to this user alone,
// so a lock folder left behind by another user or another installation never stops us.
std::string FirebirdLockFolder();

// The loaded client library. It stays loaded until the process ends: the engine keeps
// threads and memory of its own that cannot be handed back safely.
class TFirebirdClient {
public:
    // Loads the library on first use. Throws EFirebirdError naming forFileName (the
    // database that needed it) when the library or its entry point cannot be found.
    static TFirebirdClient& Load(const std::string& forFileName);

    Firebird::IMaster* Master() const { return master_; }
    Firebird::IProvider* Provider() const { return provider_; }
    Firebird::IUtil* Util() const { return util_; }

    // The client's own text of a status vector, lines joined by "\n".
    std::string FormatStatus(Firebird::IStatus* status) const;

private:
    TFirebirdClient(void* library, Firebird::IMaster* master);
    void* library_;
    Firebird::IMaster* master_;
    Firebird::IProvider* provider_;
    Firebird::IUtil* util_;
};

// A status vector of the client. Check() after every call turns an error into an
// EFirebirdError naming the database file.
class TFirebirdStatus {
public:
    TFirebirdStatus(TFirebirdClient& client, std::string fileName);
    ~TFirebirdStatus();
    TFirebirdStatus(const TFirebirdStatus&) = delete;
    TFirebirdStatus& operator=(const TFirebirdStatus&) = delete;

    Firebird::CheckStatusWrapper* Get() { return &wrapper_; }
    bool Failed() const;
    // Throws when the last call failed; what says what was being done ("SELECT ...").
    void Check(std::string_view what = {});
    void Clear() { wrapper_.init(); }

    TFirebirdClient& Client() const { return client_; }
    const std::string& FileName() const { return fileName_; }

private:
    TFirebirdClient& client_;
    std::string fileName_;
    Firebird::CheckStatusWrapper wrapper_;
};

// How to attach: the user name and password go to the engine. With a connection character
// set the engine converts every text from and to it, and fails on the first character the
// set lacks; without one (empty), texts pass as they are stored.
struct TFirebirdLogin {
    std::string UserName;
    std::string Password;
    std::string CharacterSet{}; // empty: none
};

class TFirebirdTransaction;

// One attachment to a database file. Detached when the object goes.
class TFirebirdConnection {
public:
    // Messages name reportAs when given (the delivery a private copy was made of).
    // cachePages, when above 0, is the number of pages the engine keeps in memory for the
    // database if this attachment is the first to open it.
    static std::unique_ptr<TFirebirdConnection> Attach(const std::string& fileName,
                                                       const TFirebirdLogin& login,
                                                       const std::string& reportAs = {},
                                                       int cachePages = 0);
    // Attaches to a database on a server ("host/port:alias") over the network, never to a
    // file here; a server that does not answer within connectTimeoutSeconds (0: the
    // client's default) fails the attachment. Messages name reportAs.
    static std::unique_ptr<TFirebirdConnection> AttachServer(const std::string& connectString,
                                                             const TFirebirdLogin& login,
                                                             int connectTimeoutSeconds,
                                                             const std::string& reportAs);
    // Creates a new database file (which must not exist yet) whose texts are in
    // defaultCharacterSet unless a column says otherwise, and attaches to it.
    static std::unique_ptr<TFirebirdConnection> Create(const std::string& fileName,
                                                       const TFirebirdLogin& login,
                                                       const std::string& defaultCharacterSet);
    ~TFirebirdConnection();
    TFirebirdConnection(const TFirebirdConnection&) = delete;
    TFirebirdConnection& operator=(const TFirebirdConnection&) = delete;

    // Detaches now and reports a failure (the destructor cannot).
    void Detach();
    // Marks the database read-only (or writable again). Needs the only attachment.
    static void SetReadOnly(const std::string& fileName, const TFirebirdLogin& login,
                            bool readOnly);

    // Runs a statement that returns no rows (DDL, INSERT without parameters).
    void Execute(TFirebirdTransaction& transaction, std::string_view sql);

    Firebird::IAttachment* Handle() const { return attachment_; }
    TFirebirdStatus& Status() { return status_; }
    TFirebirdClient& Client() const { return status_.Client(); }
    const std::string& FileName() const { return status_.FileName(); }

private:
    TFirebirdConnection(TFirebirdClient& client, const std::string& fileName);
    TFirebirdStatus status_;
    Firebird::IAttachment* attachment_ = nullptr;
};

// A transaction; rolled back when the object goes without Commit().
class TFirebirdTransaction {
public:
    enum class TAccess { ReadWrite, ReadOnly, ReadOnlyCommitted };
    // A read-only transaction sees the database as it was when it started and works on
    // databases that are marked read-only too. A read-only committed one sees what others
    // have committed; on a server it holds back no clean-up of old record versions, however
    // long it stays open.
    explicit TFirebirdTransaction(TFirebirdConnection& connection,
                                  TAccess access = TAccess::ReadWrite);
    ~TFirebirdTransaction();
    TFirebirdTransaction(const TFirebirdTransaction&) = delete;
    TFirebirdTransaction& operator=(const TFirebirdTransaction&) = delete;

    void Commit();
    // Commits the work so far and goes on in the same transaction.
    void CommitRetaining();

    Firebird::ITransaction* Handle() const { return transaction_; }
    TFirebirdConnection& Connection() const { return connection_; }

private:
    TFirebirdConnection& connection_;
    Firebird::ITransaction* transaction_ = nullptr;
};

} // namespace kanvio
