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
    return server;
}

} // namespace kanvio::test
