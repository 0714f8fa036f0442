#include "tests/video/WebServerTestSupport.h"

#include <fstream>
#include <sstream>

namespace kanvio::test {

int64_t TTestWebServer::BytesSent(const std::string& part) const {
    std::ifstream log(RequestLog);
    int64_t total = 0;
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        std::string method, path;
        fields >> method >> path;
        if (path.find(part) == std::string::npos)
            continue;
        // The range may be missing: the bytes sent are the last field.
        const auto space = line.find_last_of(' ');
        total += std::stoll(line.substr(space + 1));
    }
    return total;
}

std::vector<std::string> TTestWebServer::LoginsSent(const std::string& part) const {
    std::ifstream log(RequestLog);
    std::vector<std::string> logins;
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        std::string method, path, login;
        fields >> method >> path >> login;
        if (path.find(part) != std::string::npos && login.rfind("login=", 0) == 0)
            logins.push_back(login.substr(6));
    }
    return logins;
}

std::vector<int64_t> TTestWebServer::OpenRangeStarts(const std::string& part) const {
    std::ifstream log(RequestLog);
    std::vector<int64_t> starts;
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        std::string method, path, login, range;
        fields >> method >> path >> login >> range;
        if (path.find(part) != std::string::npos && range.rfind("bytes=", 0) == 0 &&
            range.back() == '-')
            starts.push_back(std::stoll(range.substr(6, range.size() - 7)));
    }
    return starts;
}

std::optional<TTestWebServer> FindTestWebServer(std::string& whyNot) {
    const std::string folder = KANVIO_TEST_WEB_SERVER_DIR;
    std::ifstream portFile(folder + "/port");
    TTestWebServer server;
    if (!(portFile >> server.Port)) {
        whyNot = "the test web server is not running (" + folder +
                 "/port is missing; run the suite through ctest)";
        return std::nullopt;
    }
    server.RequestLog = folder + "/requests.log";
    std::ifstream loginPort(folder + "/login-port");
    std::string login;
    std::ifstream(folder + "/login") >> login;
    const auto colon = login.find(':');
    if (!(loginPort >> server.LoginPort) || colon == std::string::npos) {
        whyNot = "the test web server in " + folder + " has no listener demanding a login";
        return std::nullopt;
    }
    // Without openssl at the fixture's start, no HTTPS.
    if (std::ifstream tlsPort(folder + "/tls-port"); tlsPort >> server.TlsPort)
        server.CaFile = folder + "/ca.pem";
    server.User = login.substr(0, colon);
    server.Password = login.substr(colon + 1);
    return server;
}

} // namespace kanvio::test
