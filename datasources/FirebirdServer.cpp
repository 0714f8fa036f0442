#include "datasources/FirebirdServer.h"

#include "datasources/FirebirdClient.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/RegistryStoreFile.h"
#include "foundation/ServerConsent.h"

#include <algorithm>
#include <cctype>
#include <firebird/Interface.h>

namespace kanvio {

namespace {

constexpr const char* DatabaseSetting = "[DATA] Database";

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsHostCharacter(unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '_';
}

[[noreturn]] void ThrowBadAddress(const std::string& settingsFile, const std::string& text,
                                  const std::string& problem) {
    throw EKanvioError(settingsFile + ": " + DatabaseSetting + "=" + text + ": " + problem +
                       " (expected host[/port]:alias-or-path)");
}

int ParsePort(const std::string& text, const std::string& settingsFile, const std::string& whole) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        ThrowBadAddress(settingsFile, whole, "the port \"" + text + "\" is no number");
    const int port = std::stoi(text);
    if (port < 1 || port > 65535)
        ThrowBadAddress(settingsFile, whole, "the port " + text + " is out of range");
    return port;
}

// The engine's codes that mean the server was never reached or stopped answering; a
// connection whose first answer does not come within the timeout counts as rejected.
bool IsNetworkFailure(const EFirebirdError& error) {
    for (const intptr_t code : {isc_network_error, isc_net_connect_err, isc_net_read_err,
                                isc_net_write_err, isc_net_connect_listen_err,
                                isc_net_event_connect_err, isc_net_lookup_err, isc_connect_reject})
        if (error.HasCode(code))
            return true;
    return false;
}

} // namespace

std::string TFirebirdServerAddress::ServerName() const {
    const bool ipv6 = Host.find(':') != std::string::npos;
    std::string name = ipv6 ? "[" + Host + "]" : Host;
    if (Port != 0)
        name += "/" + std::to_string(Port);
    return name;
}

std::string TFirebirdServerAddress::ConnectString() const {
    return ServerName() + ":" + Database;
}

TFirebirdServerAddress TFirebirdServerAddress::Parse(const std::string& value,
                                                     const std::string& settingsFile) {
    const std::string text = Trimmed(value);
    TFirebirdServerAddress address;
    size_t hostEnd = 0; // just past the host and its port
    std::string hostPart;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos)
            ThrowBadAddress(settingsFile, value, "the IPv6 address has no closing \"]\"");
        address.Host = text.substr(1, close - 1);
        if (address.Host.empty() ||
            !std::all_of(address.Host.begin(), address.Host.end(),
                         [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }))
            ThrowBadAddress(settingsFile, value, "\"" + address.Host + "\" is no IPv6 address");
        hostEnd = text.find(':', close);
        if (hostEnd == std::string::npos)
            ThrowBadAddress(settingsFile, value, "no database is named after the server");
        const std::string rest = text.substr(close + 1, hostEnd - close - 1);
        if (!rest.empty()) {
            if (rest[0] != '/')
                ThrowBadAddress(settingsFile, value, "unexpected \"" + rest + "\" after the host");
            address.Port = ParsePort(rest.substr(1), settingsFile, value);
        }
    } else {
        hostEnd = text.find(':');
        if (hostEnd == std::string::npos)
            ThrowBadAddress(settingsFile, value, "no server is named");
        hostPart = text.substr(0, hostEnd);
        const size_t slash = hostPart.find('/');
        address.Host = hostPart.substr(0, slash);
        if (slash != std::string::npos)
            address.Port = ParsePort(hostPart.substr(slash + 1), settingsFile, value);
        if (address.Host.empty())
            ThrowBadAddress(settingsFile, value, "no server is named");
        if (!std::all_of(address.Host.begin(), address.Host.end(), IsHostCharacter))
            ThrowBadAddress(settingsFile, value, "\"" + address.Host + "\" is no host name");
        // "C:\data\x.fdb" names a file on a drive of the contractor's machine, not a server.
        if (address.Host.size() == 1 && slash == std::string::npos && hostEnd + 1 < text.size() &&
            (text[hostEnd + 1] == '\\' || text[hostEnd + 1] == '/'))
            ThrowBadAddress(settingsFile, value, "a drive letter names no server");
    }
    address.Database = Trimmed(text.substr(hostEnd + 1));
    if (address.Database.empty())
        ThrowBadAddress(settingsFile, value, "no database is named after the server");
    return address;
}

std::string ServerLoginSection(const std::string& host) {
    return ServerSettingsSection(host);
}

TServerLogin ReadServerLogin(const TFirebirdServerAddress& address) {
    const std::string section = ServerLoginSection(address.Host);
    TServerLogin login;
    login.UserName = ReadRegString(section, "User", "");
    login.Password = ReadRegString(section, "Password", "");
    login.ConnectTimeoutSeconds =
        std::clamp<int32_t>(ReadRegInteger(section, "ConnectTimeout", 10), 1, 600);
    if (login.UserName.empty())
        throw EKanvioError("database server " + address.ServerName() +
                           ": no login is stored for this server; store User and Password in "
                           "the group [" +
                           RegistryGroupName(section) + "] of " + UserRegistryStoreFile());
    return login;
}

void StoreServerLogin(const std::string& host, const TServerLogin& login) {
    const std::string section = ServerLoginSection(host);
    WriteRegString(section, "User", login.UserName);
    WriteRegString(section, "Password", login.Password);
    WriteRegInteger(section, "ConnectTimeout", login.ConnectTimeoutSeconds);
}

std::unique_ptr<TFirebirdConnection> AttachServerDatabase(const std::string& value,
                                                          const std::string& settingsFile,
                                                          IUserDialogs& dialogs) {
    const TFirebirdServerAddress address = TFirebirdServerAddress::Parse(value, settingsFile);
    RequireServerConsent(dialogs, {settingsFile, DatabaseSetting, value, address.ServerName()});
    const TServerLogin login = ReadServerLogin(address);
    const std::string reportAs =
        "database server " + address.ServerName() + " (" + address.Database + ")";
    LogLine("attaching to " + reportAs, LOG_DEBUG);
    // No connection character set, as for a delivered file: texts are decoded per column.
    const TFirebirdLogin firebirdLogin{login.UserName, login.Password, {}};
    try {
        return TFirebirdConnection::AttachServer(address.ConnectString(), firebirdLogin,
                                                 login.ConnectTimeoutSeconds, reportAs);
    } catch (const EFirebirdError& error) {
        const std::string detail = std::string(error.what()).substr(error.fileName().size() + 2);
        if (error.HasCode(isc_login))
            throw EFirebirdError(reportAs,
                                 "the server refused the login of user " + login.UserName +
                                     " (stored in [" +
                                     RegistryGroupName(ServerLoginSection(address.Host)) + "] of " +
                                     UserRegistryStoreFile() + "): " + detail,
                                 error.Codes());
        if (IsNetworkFailure(error))
            throw EFirebirdError(reportAs,
                                 "the server cannot be reached or did not answer within " +
                                     std::to_string(login.ConnectTimeoutSeconds) +
                                     " seconds: " + detail,
                                 error.Codes());
        throw;
    }
}

} // namespace kanvio
