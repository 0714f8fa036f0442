#pragma once

// A project database that lies on a Firebird server instead of beside the program: the
// delivery's settings name it as [DATA] Database=host[/port]:alias-or-path. The login for
// a server lives in the user's settings store, per host, never in a delivery, and goes to
// that host only.

#include <memory>
#include <string>

namespace kanvio {

class IUserDialogs;
class TFirebirdConnection;

struct TFirebirdServerAddress {
    std::string Host;
    int Port = 0; // 0: the server's usual port
    std::string Database;

    // "host" or "host/port": how messages and the user's settings name the server.
    std::string ServerName() const;
    // What the client library attaches to.
    std::string ConnectString() const;

    // Throws EKanvioError naming settingsFile and the value when text is no server
    // address (no host, a bad port, a drive letter, no database).
    static TFirebirdServerAddress Parse(const std::string& text, const std::string& settingsFile);
};

// The settings-store section holding the login for host: values User, Password and
// ConnectTimeout (seconds).
std::string ServerLoginSection(const std::string& host);

struct TServerLogin {
    std::string UserName;
    std::string Password;
    int ConnectTimeoutSeconds = 10;
};

// The stored login; throws EKanvioError naming the server and where to store the login
// when there is none.
TServerLogin ReadServerLogin(const TFirebirdServerAddress& address);
void StoreServerLogin(const std::string& host, const TServerLogin& login);

// Attaches to the database on the server, after the user has confirmed that this delivery
// may use the server. Messages name the server, and say whether it could not be reached,
// did not answer in time or refused the login.
std::unique_ptr<TFirebirdConnection> AttachServerDatabase(const std::string& value,
                                                          const std::string& settingsFile,
                                                          IUserDialogs& dialogs);

} // namespace kanvio
