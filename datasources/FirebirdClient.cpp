#include "datasources/FirebirdClient.h"

#include "datasources/FirebirdFiles.h"
#include "foundation/KanvioToolkit.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {

using namespace Firebird;

namespace {

constexpr const char* DefaultClientLibrary = "libfbclient.so.2";

std::mutex& LoaderLock() {
    static std::mutex lock;
    return lock;
}

std::string& LibraryOverride() {
    static std::string name;
    return name;
}

// The engine reports errors as a vector of (kind, value) pairs; the error codes are the
// values of the isc_arg_gds pairs.
std::vector<intptr_t> ErrorCodes(IStatus* status) {
    std::vector<intptr_t> codes;
    const intptr_t* vector = status->getErrors();
    while (vector && *vector != isc_arg_end) {
        const intptr_t kind = vector[0];
        if (kind == isc_arg_gds)
            codes.push_back(vector[1]);
        // isc_arg_cstring carries a length and a pointer; every other kind one value.
        vector += kind == isc_arg_cstring ? 3 : 2;
    }
    return codes;
}

// Lock files of the embedded engine go to a folder of this user: the engine's default,
// one folder shared by everybody, is unusable once another user or a stale run owns it.
void PrepareEmbeddedEngine() {
    const std::string folder = FirebirdLockFolder();
    setenv("FIREBIRD_LOCK", folder.c_str(), 1);
}

std::vector<std::pair<std::string, TFirebirdClient*>>& LoadedClients() {
    static auto* clients = new std::vector<std::pair<std::string, TFirebirdClient*>>;
    return *clients;
}

// The engine runs threads of its own; they are stopped, and every database file closed,
// before the process ends instead of while the process is taken down around them.
void ShutDownEngines() {
    for (auto& [name, client] : LoadedClients()) {
        IStatus* status = client->Master()->getStatus();
        CheckStatusWrapper wrapper(status);
        client->Provider()->shutdown(&wrapper, 5000, fb_shutrsn_app_stopped);
        wrapper.dispose();
    }
}

} // namespace

EFirebirdError::EFirebirdError(const std::string& fileName, const std::string& problem,
                               std::vector<intptr_t> codes)
    : EKanvioError(fileName + ": " + problem), fileName_(fileName), codes_(std::move(codes)) {}

bool EFirebirdError::HasCode(intptr_t code) const {
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

void SetFirebirdClientLibraryForTesting(std::string libraryName) {
    std::lock_guard guard(LoaderLock());
    LibraryOverride() = std::move(libraryName);
}

std::string FirebirdClientLibraryName() {
    std::lock_guard guard(LoaderLock());
    if (!LibraryOverride().empty())
        return LibraryOverride();
    if (const char* fromEnvironment = std::getenv("KANVIO_FIREBIRD_CLIENT");
        fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    return DefaultClientLibrary;
}

std::string FirebirdLockFolder() {
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat info {};
        if (::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
            folder = std::string(runtime) + "/kanvio-firebird";
    }
    if (folder.empty()) {
        try {
            folder = FirebirdPrivateFolder() + "firebird-lock";
        } catch (const EInOutError&) {
            // Someone else's file stands where our folder belongs: a fresh folder of our
            // own serves this run.
            std::string fresh = GetTempFolder() + "kanvio-firebird-XXXXXX";
            if (!::mkdtemp(fresh.data()))
                throw;
            return fresh;
        }
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw EInOutError(folder, "cannot create the lock folder of the database engine");
    return folder;
}

TFirebirdClient::TFirebirdClient(void* library, IMaster* master)
    : library_(library), master_(master), provider_(master->getDispatcher()),
      util_(master->getUtilInterface()) {}

TFirebirdClient& TFirebirdClient::Load(const std::string& forFileName) {
    const std::string libraryName = FirebirdClientLibraryName();
    std::lock_guard guard(LoaderLock());
    // One client per library name; a name that failed is tried again next time.
    auto& loaded = LoadedClients();
    for (auto& [name, client] : loaded)
        if (name == libraryName)
            return *client;

    try {
        PrepareEmbeddedEngine();
    } catch (const EKanvioError& error) {
        throw EFirebirdError(forFileName, error.what());
    }
    void* library = ::dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        throw EFirebirdError(forFileName,
                             "the Firebird client library " + libraryName +
                                 " cannot be loaded: " + (reason ? reason : "unknown reason"));
    }
    using TGetMaster = IMaster* (*)();
    auto getMaster = reinterpret_cast<TGetMaster>(::dlsym(library, "fb_get_master_interface"));
    IMaster* master = getMaster ? getMaster() : nullptr;
    if (!master) {
        ::dlclose(library);
        throw EFirebirdError(forFileName, "the library " + libraryName +
                                              " is not a usable Firebird client "
                                              "(fb_get_master_interface is missing)");
    }
    // Lives until the process ends, like the library (see the class comment).
    auto* client = new TFirebirdClient(library, master);
    if (loaded.empty())
        std::atexit(ShutDownEngines);
    loaded.emplace_back(libraryName, client);
    return *client;
}

std::string TFirebirdClient::FormatStatus(IStatus* status) const {
    std::string text(4096, '\0');
    const unsigned length =
        util_->formatStatus(text.data(), static_cast<unsigned>(text.size()), status);
    text.resize(std::min<size_t>(length, text.size()));
    text.erase(text.find_last_not_of("\n\r ") + 1);
    return text;
}

TFirebirdStatus::TFirebirdStatus(TFirebirdClient& client, std::string fileName)
    : client_(client), fileName_(std::move(fileName)), wrapper_(client.Master()->getStatus()) {}

TFirebirdStatus::~TFirebirdStatus() {
    wrapper_.dispose();
}

bool TFirebirdStatus::Failed() const {
    return (wrapper_.getState() & IStatus::STATE_ERRORS) != 0;
}

void TFirebirdStatus::Check(std::string_view what) {
    if (!Failed())
        return;
    std::string message = client_.FormatStatus(&wrapper_);
    if (!what.empty())
        message = std::string(what) + ": " + message;
    std::vector<intptr_t> codes = ErrorCodes(&wrapper_);
    wrapper_.init();
    throw EFirebirdError(fileName_, message, std::move(codes));
}

namespace {

// Where an attachment goes: the engine inside this process, or a server over the network
// (which then never falls back to opening a file here).
struct TConnectTarget {
    const char* Providers = "Providers=Engine12";
    int ConnectTimeoutSeconds = 0; // 0: the client's default
    int CachePages = 0;            // 0: the engine's default
};

// The attachment parameters. Providers=Engine12 keeps the open inside this process: no
// server is asked, whatever the machine's configuration says.
std::string BuildConnectParameters(TFirebirdStatus& status, const TFirebirdLogin& login,
                                   const std::string* createWithCharacterSet = nullptr,
                                   const TConnectTarget& target = {}) {
    IXpbBuilder* builder =
        status.Client().Util()->getXpbBuilder(status.Get(), IXpbBuilder::DPB, nullptr, 0);
    status.Check("connection parameters");
    std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)> owner(
        builder, [](IXpbBuilder* b) { b->dispose(); });
    builder->insertString(status.Get(), isc_dpb_user_name, login.UserName.c_str());
    builder->insertString(status.Get(), isc_dpb_password, login.Password.c_str());
    if (!login.CharacterSet.empty())
        builder->insertString(status.Get(), isc_dpb_lc_ctype, login.CharacterSet.c_str());
    std::string configuration = target.Providers;
    if (target.CachePages > 0)
        configuration += "\nDefaultDbCachePages = " + std::to_string(target.CachePages);
    builder->insertString(status.Get(), isc_dpb_config, configuration.c_str());
    if (target.ConnectTimeoutSeconds > 0)
        builder->insertInt(status.Get(), isc_dpb_connect_timeout, target.ConnectTimeoutSeconds);
    if (createWithCharacterSet) {
        builder->insertInt(status.Get(), isc_dpb_sql_dialect, 3);
        builder->insertInt(status.Get(), isc_dpb_page_size, 8192);
        if (!createWithCharacterSet->empty())
            builder->insertString(status.Get(), isc_dpb_set_db_charset,
                                  createWithCharacterSet->c_str());
        // The file is written once and then only read: no need to wait for the disk.
        builder->insertInt(status.Get(), isc_dpb_force_write, 0);
    }
    status.Check("connection parameters");
    const unsigned char* buffer = builder->getBuffer(status.Get());
    const unsigned length = builder->getBufferLength(status.Get());
    status.Check("connection parameters");
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

} // namespace

TFirebirdConnection::TFirebirdConnection(TFirebirdClient& client, const std::string& fileName)
    : status_(client, fileName) {}

std::unique_ptr<TFirebirdConnection> TFirebirdConnection::Attach(const std::string& fileName,
                                                                 const TFirebirdLogin& login,
                                                                 const std::string& reportAs,
                                                                 int cachePages) {
    const std::string& nameInMessages = reportAs.empty() ? fileName : reportAs;
    TFirebirdClient& client = TFirebirdClient::Load(nameInMessages);
    std::unique_ptr<TFirebirdConnection> connection(
        new TFirebirdConnection(client, nameInMessages));
    TFirebirdStatus& status = connection->status_;
    TConnectTarget target;
    target.CachePages = cachePages;
    const std::string parameters = BuildConnectParameters(status, login, nullptr, target);
    connection->attachment_ = client.Provider()->attachDatabase(
        status.Get(), fileName.c_str(), static_cast<unsigned>(parameters.size()),
        reinterpret_cast<const unsigned char*>(parameters.data()));
    status.Check();
    return connection;
}

std::unique_ptr<TFirebirdConnection>
TFirebirdConnection::AttachServer(const std::string& connectString, const TFirebirdLogin& login,
                                  int connectTimeoutSeconds, const std::string& reportAs) {
    TFirebirdClient& client = TFirebirdClient::Load(reportAs);
    std::unique_ptr<TFirebirdConnection> connection(new TFirebirdConnection(client, reportAs));
    TFirebirdStatus& status = connection->status_;
    const std::string parameters =
        BuildConnectParameters(status, login, nullptr, {"Providers=Remote", connectTimeoutSeconds});
    connection->attachment_ = client.Provider()->attachDatabase(
        status.Get(), connectString.c_str(), static_cast<unsigned>(parameters.size()),
        reinterpret_cast<const unsigned char*>(parameters.data()));
    status.Check();
    return connection;
}

std::unique_ptr<TFirebirdConnection>
TFirebirdConnection::Create(const std::string& fileName, const TFirebirdLogin& login,
                            const std::string& defaultCharacterSet) {
    TFirebirdClient& client = TFirebirdClient::Load(fileName);
    std::unique_ptr<TFirebirdConnection> connection(new TFirebirdConnection(client, fileName));
    TFirebirdStatus& status = connection->status_;
    const std::string parameters = BuildConnectParameters(status, login, &defaultCharacterSet);
    connection->attachment_ = client.Provider()->createDatabase(
        status.Get(), fileName.c_str(), static_cast<unsigned>(parameters.size()),
        reinterpret_cast<const unsigned char*>(parameters.data()));
    status.Check("creating the database");
    return connection;
}

void TFirebirdConnection::SetReadOnly(const std::string& fileName, const TFirebirdLogin& login,
                                      bool readOnly) {
    TFirebirdClient& client = TFirebirdClient::Load(fileName);
    TFirebirdConnection connection(client, fileName);
    TFirebirdStatus& status = connection.status_;
    std::string parameters = BuildConnectParameters(status, login);
    IXpbBuilder* builder = client.Util()->getXpbBuilder(
        status.Get(), IXpbBuilder::DPB, reinterpret_cast<const unsigned char*>(parameters.data()),
        static_cast<unsigned>(parameters.size()));
    status.Check("connection parameters");
    std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)> owner(
        builder, [](IXpbBuilder* b) { b->dispose(); });
    builder->insertInt(status.Get(), isc_dpb_set_db_readonly, readOnly ? 1 : 0);
    parameters.assign(reinterpret_cast<const char*>(builder->getBuffer(status.Get())),
                      builder->getBufferLength(status.Get()));
    status.Check("connection parameters");
    connection.attachment_ = client.Provider()->attachDatabase(
        status.Get(), fileName.c_str(), static_cast<unsigned>(parameters.size()),
        reinterpret_cast<const unsigned char*>(parameters.data()));
    status.Check(readOnly ? "marking the database read-only" : "marking the database writable");
    connection.Detach();
}

void TFirebirdConnection::Detach() {
    if (!attachment_)
        return;
    attachment_->detach(status_.Get());
    if (status_.Failed()) {
        attachment_->release();
        attachment_ = nullptr;
        status_.Check("closing the database");
    }
    attachment_ = nullptr; // a successful detach has released the interface
}

TFirebirdConnection::~TFirebirdConnection() {
    if (!attachment_)
        return;
    attachment_->detach(status_.Get());
    if (status_.Failed())
        attachment_->release();
    status_.Clear();
}

void TFirebirdConnection::Execute(TFirebirdTransaction& transaction, std::string_view sql) {
    const std::string text(sql);
    attachment_->execute(status_.Get(), transaction.Handle(), 0, text.c_str(), SQL_DIALECT_V6,
                         nullptr, nullptr, nullptr, nullptr);
    status_.Check(text);
}

TFirebirdTransaction::TFirebirdTransaction(TFirebirdConnection& connection, TAccess access)
    : connection_(connection) {
    TFirebirdStatus& status = connection.Status();
    if (access == TAccess::ReadWrite) {
        transaction_ = connection.Handle()->startTransaction(status.Get(), 0, nullptr);
        status.Check("starting a transaction");
        return;
    }
    IXpbBuilder* builder =
        connection.Client().Util()->getXpbBuilder(status.Get(), IXpbBuilder::TPB, nullptr, 0);
    status.Check("transaction parameters");
    std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)> owner(
        builder, [](IXpbBuilder* b) { b->dispose(); });
    builder->insertTag(status.Get(), isc_tpb_read);
    if (access == TAccess::ReadOnlyCommitted) {
        builder->insertTag(status.Get(), isc_tpb_read_committed);
        builder->insertTag(status.Get(), isc_tpb_rec_version);
    } else {
        builder->insertTag(status.Get(), isc_tpb_concurrency);
    }
    builder->insertTag(status.Get(), isc_tpb_nowait);
    const unsigned length = builder->getBufferLength(status.Get());
    const unsigned char* buffer = builder->getBuffer(status.Get());
    status.Check("transaction parameters");
    transaction_ = connection.Handle()->startTransaction(status.Get(), length, buffer);
    status.Check("starting a transaction");
}

TFirebirdTransaction::~TFirebirdTransaction() {
    if (!transaction_)
        return;
    TFirebirdStatus& status = connection_.Status();
    transaction_->rollback(status.Get());
    if (status.Failed())
        transaction_->release();
    status.Clear();
}

void TFirebirdTransaction::Commit() {
    TFirebirdStatus& status = connection_.Status();
    transaction_->commit(status.Get());
    if (status.Failed()) {
        // Still open: the destructor rolls it back.
        status.Check("commit");
    }
    transaction_ = nullptr;
}

void TFirebirdTransaction::CommitRetaining() {
    transaction_->commitRetaining(connection_.Status().Get());
    connection_.Status().Check("commit");
}

} // namespace kanvio
