#pragma once

// The tests' web server (tests/support/range_http_server.py), started by the CTest fixture
// web_server and serving the shared test media.

#include <cstdint>
#include <optional>
#include <string>

namespace kanvio::test {

struct TTestWebServer {
    int Port = 0;
    std::string RequestLog; // one line per request: method, path, range, status, bytes sent

    // The address of a file of the test media; variant "" (plain), "slow", "drop" or
    // "norange" (see the server).
    std::string Url(const std::string& mediaPath, const std::string& variant = {}) const {
        return "http://127.0.0.1:" + std::to_string(Port) + "/" +
               (variant.empty() ? "" : variant + "/") + mediaPath;
    }
    // The bytes the server has sent for paths containing part.
    int64_t BytesSent(const std::string& part) const;
};

// The running server, or nothing with the reason in whyNot.
std::optional<TTestWebServer> FindTestWebServer(std::string& whyNot);

} // namespace kanvio::test
