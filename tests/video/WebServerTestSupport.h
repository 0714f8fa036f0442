#pragma once

// The tests' web server (tests/support/range_http_server.py), started by the CTest fixture
// web_server and serving the shared test media.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kanvio::test {

struct TTestWebServer {
    int Port = 0;
    // One line per request: method, path, "login=USER" (or "login=-"), range, status,
    // bytes sent.
    std::string RequestLog;
    int TlsPort = 0;    // HTTPS, the certificate signed by CaFile's authority
    std::string CaFile; // the authority's certificate
    int LoginPort = 0;  // answers 401 without the basic login User:Password
    std::string User, Password;

    // The address of a file of the test media; variant "" (plain), "slow", "drop" or
    // "norange" (see the server).
    std::string Url(const std::string& mediaPath, const std::string& variant = {}) const {
        return "http://127.0.0.1:" + std::to_string(Port) + "/" +
               (variant.empty() ? "" : variant + "/") + mediaPath;
    }
    // The same over HTTPS to host, or to the listener that demands the login.
    std::string TlsUrl(const std::string& mediaPath, const std::string& host = "127.0.0.1") const {
        return "https://" + host + ":" + std::to_string(TlsPort) + "/" + mediaPath;
    }
    std::string LoginUrl(const std::string& mediaPath,
                         const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(LoginPort) + "/" + mediaPath;
    }
    // The bytes the server has sent for paths containing part.
    int64_t BytesSent(const std::string& part) const;
    // The logins ("-" for none) the requests for paths containing part came with, in order.
    std::vector<std::string> LoginsSent(const std::string& part) const;
    // The first bytes of the open-ended ranges ("bytes=N-") asked for paths containing
    // part, in the order the answers ended.
    std::vector<int64_t> OpenRangeStarts(const std::string& part) const;
};

// The running server, or nothing with the reason in whyNot.
std::optional<TTestWebServer> FindTestWebServer(std::string& whyNot);

} // namespace kanvio::test
