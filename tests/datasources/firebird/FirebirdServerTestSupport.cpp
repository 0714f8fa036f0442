#include "tests/datasources/firebird/FirebirdServerTestSupport.h"

#include <arpa/inet.h>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kanvio::test {

namespace {

// A socket bound to a free port of 127.0.0.1; listening with a backlog when asked.
int BoundSocket(int& port, bool listening) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && ::listen(fd, 16) != 0)) {
        ::close(fd);
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

std::optional<TTestFirebirdServer> FindTestFirebirdServer(std::string& whyNot) {
    const std::string folder = KANVIO_TEST_FIREBIRD_SERVER_DIR;
    if (std::ifstream missing(folder + "/missing"); missing) {
        std::getline(missing, whyNot);
        return std::nullopt;
    }
    std::ifstream file(folder + "/server.env");
    if (!file) {
        whyNot = "the test Firebird server is not running (" + folder +
                 "/server.env is missing; run the suite through ctest)";
        return std::nullopt;
    }
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(file, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    TTestFirebirdServer server;
    server.Port = std::stoi(values["PORT"]);
    server.UserName = values["USER"];
    server.Password = values["PASSWORD"];
    server.DataFolder = folder + "/data/";
    return server;
}

TSilentPort::TSilentPort() {
    socket_ = BoundSocket(port_, true);
}

TSilentPort::~TSilentPort() {
    ::close(socket_);
}

int ClosedPort() {
    int port = 0;
    ::close(BoundSocket(port, false));
    return port;
}

} // namespace kanvio::test
