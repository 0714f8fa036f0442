#pragma once

// The tests' own Firebird server, started by the CTest fixture firebird_server
// (tests/support/firebird_server.sh). Suites that need it skip with the fixture's reason
// when the server package is missing.

#include <optional>
#include <string>

namespace kanvio::test {

struct TTestFirebirdServer {
    int Port = 0;
    std::string UserName;
    std::string Password;
    std::string DataFolder; // where the server may read databases, ending with "/"

    std::string Address(const std::string& database) const {
        return "127.0.0.1/" + std::to_string(Port) + ":" + database;
    }
};

// The running server, or nothing with the reason in whyNot.
std::optional<TTestFirebirdServer> FindTestFirebirdServer(std::string& whyNot);

// A TCP port on 127.0.0.1 that accepts connections and never says a word, for as long as
// the object lives.
class TSilentPort {
public:
    TSilentPort();
    ~TSilentPort();
    TSilentPort(const TSilentPort&) = delete;
    TSilentPort& operator=(const TSilentPort&) = delete;
    int Port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound for a moment, then given back).
int ClosedPort();

} // namespace kanvio::test
