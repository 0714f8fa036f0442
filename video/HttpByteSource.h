#pragma once

// Films on a web server: random-access reads as HTTP range requests, so that the key
// frames around a time are found by reading a few pieces of the film, never the whole
// of it. Only http and https addresses are read; the login stored for the address's host
// (if any) goes to that host only, and a redirect to anywhere else is not followed then.
// Messages and logs name the address without its user information.

#include "foundation/Errors.h"
#include "video/KeyFrameIndex.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QNetworkAccessManager;
class QSslConfiguration;

namespace kanvio {

// A film on a web server could not be fetched; the message names the address (without
// user information) and the server's answer or the network's error.
class EFilmFetchError : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// How long a request may go without a byte arriving before it fails.
inline constexpr int kFilmRequestTimeoutMs = 15000;

// Reads one web film. Made and used on one thread (its network connection belongs to it).
class THttpByteSource final : public IByteSource {
public:
    // Asks for the film's first bytes: throws EFilmFetchError when the address is no
    // http(s) address, the server cannot be reached, has no such film, serves no ranges,
    // or its certificate does not verify (against the authority file the user set for the
    // host as CaFile, when there is one, which must hold a certificate).
    explicit THttpByteSource(const std::string& url, int timeoutMs = kFilmRequestTimeoutMs);
    ~THttpByteSource() override;
    THttpByteSource(const THttpByteSource&) = delete;
    THttpByteSource& operator=(const THttpByteSource&) = delete;

    int64_t Size() const override { return size_; }
    // Served from the blocks kept, with one range request for those missing; throws
    // EFilmFetchError.
    size_t ReadAt(int64_t offset, uint8_t* into, size_t count) override;
    const std::string& Name() const override { return name_; }

    // What was asked of the server so far (tests and benchmarks).
    int Requests() const { return requests_; }
    int64_t BytesFetched() const { return bytesFetched_; }

private:
    // Fetches [from, from + count) into into; returns the bytes received.
    size_t Fetch(int64_t from, size_t count, uint8_t* into);

    std::string url_;
    std::string name_;
    int timeoutMs_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::unique_ptr<QSslConfiguration> tls_; // with the host's own authority, when set
    int64_t size_ = 0;
    // The blocks read last, at most a few megabytes: scans going over the same bytes again
    // fetch them once.
    std::map<int64_t, std::vector<uint8_t>> blocks_;
    std::deque<int64_t> blockOrder_; // oldest first
    int requests_ = 0;
    int64_t bytesFetched_ = 0;
};

// Whether the film is an http(s) address.
bool IsWebFilm(const std::string& fileName);
// The GStreamer source that reads the film: "souphttpsrc" for a web film, else
// fileFactory.
std::string FilmSourceFactory(const std::string& fileName, const std::string& fileFactory);
// Points a source made by FilmSourceFactory at the film: the location, and for a web film
// its timeouts, the login and the certificate authority file stored for its host.
void SetFilmLocation(void* gstElement, const std::string& fileName);

} // namespace kanvio
