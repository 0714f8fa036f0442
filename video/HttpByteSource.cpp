#include "video/HttpByteSource.h"

#include "foundation/FilmUrl.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/RegistryStoreFile.h"
#include "foundation/ServerConsent.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <gio/gio.h>
#include <gst/gst.h>

namespace kanvio {

namespace {

constexpr int64_t kBlockBytes = 256 * 1024;
constexpr size_t kKeptBlocks = 16;

struct TLogin {
    std::string User;
    std::string Password;
};

// The login the user stored for the address's host, if any.
TLogin StoredLogin(const QUrl& url) {
    const std::string section = ServerSettingsSection(url.host().toStdString());
    return {ReadRegString(section, "User", ""), ReadRegString(section, "Password", "")};
}

// The certificate authority file the user set for the address's host ("" for none): a
// town's server often has a certificate of the town's own authority.
std::string StoredCaFile(const QUrl& url) {
    return ReadRegString(ServerSettingsSection(url.host().toStdString()), "CaFile", "");
}

// "bytes 100-199/5000" -> first 100, total 5000 (-1 for "*").
bool ParseContentRange(const QByteArray& header, int64_t& first, int64_t& total) {
    const QByteArray text = header.trimmed();
    if (!text.startsWith("bytes "))
        return false;
    const qsizetype dash = text.indexOf('-'), slash = text.indexOf('/');
    if (dash < 0 || slash < dash)
        return false;
    bool firstOk = false, totalOk = false;
    first = text.mid(6, dash - 6).toLongLong(&firstOk);
    const QByteArray totalText = text.mid(slash + 1);
    total = totalText == "*" ? -1 : totalText.toLongLong(&totalOk);
    return firstOk && (totalOk || total == -1);
}

} // namespace

bool IsWebFilm(const std::string& fileName) {
    return IsFilmUrl(fileName);
}

std::string FilmSourceFactory(const std::string& fileName, const std::string& fileFactory) {
    return IsWebFilm(fileName) ? "souphttpsrc" : fileFactory;
}

void SetFilmLocation(void* gstElement, const std::string& url) {
    auto* element = static_cast<GstElement*>(gstElement);
    if (!IsWebFilm(url)) {
        g_object_set(element, "location", url.c_str(), nullptr);
        return;
    }
    const QUrl parsed(QString::fromStdString(url));
    const TLogin login = StoredLogin(parsed);
    // No retries: the HTTP source's own retry after a server dropped the connection
    // mid-answer crashes its session thread at times; a failed read ends the seek instead,
    // and the player goes on with the next one.
    g_object_set(element, "location", url.c_str(), "timeout", guint(kFilmRequestTimeoutMs / 1000),
                 "retries", 0, "ssl-strict", TRUE, nullptr);
    const std::string caFile = StoredCaFile(parsed);
    if (!caFile.empty()) {
        // The source's own "ssl-ca-file" is not handed on to its TLS connections: the
        // authorities go in as a database of their own.
        GError* problem = nullptr;
        GTlsDatabase* authorities = g_tls_file_database_new(caFile.c_str(), &problem);
        if (authorities) {
            g_object_set(element, "tls-database", authorities, nullptr);
            g_object_unref(authorities);
        } else {
            LogLine(RedactedUrl(url) + ": the certificate authority file " + caFile +
                        " cannot be used: " + (problem ? problem->message : "unknown error"),
                    LOG_ERROR);
        }
        if (problem)
            g_error_free(problem);
    }
    if (!login.User.empty()) {
        // The login goes to this host only: a redirect elsewhere fails instead.
        g_object_set(element, "user-id", login.User.c_str(), "user-pw", login.Password.c_str(),
                     "automatic-redirect", FALSE, nullptr);
    }
}

THttpByteSource::THttpByteSource(const std::string& url, int timeoutMs)
    : url_(url), name_(RedactedUrl(url)), timeoutMs_(timeoutMs),
      network_(std::make_unique<QNetworkAccessManager>()) {
    std::string problem;
    if (!CheckFilmUrl(url, problem))
        throw EFilmFetchError(name_, problem);
    const QUrl parsed(QString::fromStdString(url));
    const std::string caFile = StoredCaFile(parsed);
    if (!caFile.empty()) {
        const QList<QSslCertificate> authorities =
            QSslCertificate::fromPath(QString::fromStdString(caFile), QSsl::Pem);
        if (authorities.isEmpty())
            throw EFilmFetchError(
                name_, "the certificate authority file " + caFile + " (CaFile in [" +
                           RegistryGroupName(ServerSettingsSection(parsed.host().toStdString())) +
                           "] of " + UserRegistryStoreFile() +
                           ") cannot be read or holds no certificate");
        // The authority the user named is the only one trusted for this host, as for
        // the player's own reading of the film.
        tls_ = std::make_unique<QSslConfiguration>(QSslConfiguration::defaultConfiguration());
        tls_->setCaCertificates(authorities);
    }
    size_ = -1;
    uint8_t first = 0;
    ReadAt(0, &first, 1); // learns the size too
}

THttpByteSource::~THttpByteSource() = default;

size_t THttpByteSource::ReadAt(int64_t offset, uint8_t* into, size_t count) {
    const bool sizeKnown = size_ >= 0;
    if (offset < 0 || (sizeKnown && offset >= size_) || count == 0)
        return 0;
    if (sizeKnown)
        count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - offset));
    const int64_t firstBlock = offset / kBlockBytes;
    const int64_t lastBlock = (offset + static_cast<int64_t>(count) - 1) / kBlockBytes;
    // The missing blocks in one request, from the first missing to the last missing.
    int64_t missingFrom = -1, missingTo = -1;
    for (int64_t block = firstBlock; block <= lastBlock; ++block)
        if (!blocks_.count(block)) {
            if (missingFrom < 0)
                missingFrom = block;
            missingTo = block;
        }
    if (missingFrom >= 0) {
        const int64_t from = missingFrom * kBlockBytes;
        int64_t to = (missingTo + 1) * kBlockBytes;
        if (size_ >= 0)
            to = std::min(to, size_);
        std::vector<uint8_t> bytes(static_cast<size_t>(to - from));
        bytes.resize(Fetch(from, bytes.size(), bytes.data()));
        for (int64_t block = missingFrom; block <= missingTo; ++block) {
            const int64_t start = (block - missingFrom) * kBlockBytes;
            if (start >= static_cast<int64_t>(bytes.size()))
                break;
            const int64_t end = std::min<int64_t>(start + kBlockBytes, int64_t(bytes.size()));
            blocks_[block].assign(bytes.begin() + start, bytes.begin() + end);
            blockOrder_.push_back(block);
        }
        const size_t keep = std::max<size_t>(kKeptBlocks, size_t(lastBlock - firstBlock + 1));
        while (blocks_.size() > keep) {
            const int64_t oldest = blockOrder_.front();
            blockOrder_.pop_front();
            if (oldest < firstBlock || oldest > lastBlock)
                blocks_.erase(oldest);
            else
                blockOrder_.push_back(oldest); // wanted now
        }
    }
    size_t copied = 0;
    for (int64_t block = firstBlock; block <= lastBlock && copied < count; ++block) {
        const auto found = blocks_.find(block);
        if (found == blocks_.end())
            break;
        const int64_t at = offset + static_cast<int64_t>(copied) - block * kBlockBytes;
        if (at >= static_cast<int64_t>(found->second.size()))
            break;
        const size_t take = std::min(count - copied, found->second.size() - size_t(at));
        std::memcpy(into + copied, found->second.data() + at, take);
        copied += take;
    }
    return copied;
}

size_t THttpByteSource::Fetch(int64_t from, size_t count, uint8_t* into) {
    const QUrl url(QString::fromStdString(url_));
    QNetworkRequest request(url);
    request.setRawHeader("Range", "bytes=" + QByteArray::number(from) + "-" +
                                      QByteArray::number(from + int64_t(count) - 1));
    // Offsets are those of the film's bytes: no compression in between.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(timeoutMs_);
    if (tls_)
        request.setSslConfiguration(*tls_);
    const TLogin login = StoredLogin(url);
    if (!login.User.empty()) {
        request.setRawHeader(
            "Authorization",
            "Basic " + QByteArray((login.User + ":" + login.Password).c_str()).toBase64());
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
    } else {
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    ++requests_;
    std::unique_ptr<QNetworkReply> reply(network_->get(request));
    std::string refusal;
    std::string certificateProblems;
    size_t received = 0;
    bool rangeChecked = false;
    QEventLoop loop;
    // A server that ignores the range would send the whole film: stopped at the headers.
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 206) {
            int64_t first = 0, total = 0;
            if (!ParseContentRange(reply->rawHeader("Content-Range"), first, total) ||
                first != from) {
                refusal = "the server answered with another byte range than asked for";
            } else {
                if (total >= 0)
                    size_ = size_ < 0 ? total : size_;
                rangeChecked = true;
                return;
            }
        } else if (status == 416) {
            refusal = "the film ends before byte " + std::to_string(from);
        } else if (status == 200) {
            refusal = "the server does not serve byte ranges";
        } else if (status >= 300 && status < 400) {
            return; // followed, or refused as the policy says
        } else {
            refusal = "the server answered " + std::to_string(status) + " " +
                      reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                          .toString()
                          .toStdString();
        }
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!rangeChecked)
            return;
        const QByteArray bytes = reply->read(static_cast<qint64>(count - received));
        std::memcpy(into + received, bytes.data(), static_cast<size_t>(bytes.size()));
        received += static_cast<size_t>(bytes.size());
    });
    // Never ignored: a certificate that does not verify ends the request.
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, &loop,
                     [&](const QList<QSslError>& errors) {
                         for (const QSslError& error : errors)
                             certificateProblems += (certificateProblems.empty() ? "" : "; ") +
                                                    error.errorString().toStdString();
                     });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (rangeChecked && received < count && reply->bytesAvailable() > 0) {
        const QByteArray bytes = reply->read(static_cast<qint64>(count - received));
        std::memcpy(into + received, bytes.data(), static_cast<size_t>(bytes.size()));
        received += static_cast<size_t>(bytes.size());
    }
    bytesFetched_ += static_cast<int64_t>(received);
    if (!refusal.empty())
        throw EFilmFetchError(name_, refusal);
    if (!certificateProblems.empty())
        throw EFilmFetchError(name_, "the server's certificate does not verify (" +
                                         certificateProblems + ")");
    if (reply->error() != QNetworkReply::NoError) {
        // The network's text may quote the address, user information and all.
        std::string text = reply->errorString().toStdString();
        for (const std::string& form : {url_, url.toString().toStdString()})
            for (size_t at = 0; !form.empty() && (at = text.find(form, at)) != std::string::npos;)
                text.replace(at, form.size(), name_), at += name_.size();
        throw EFilmFetchError(name_, text);
    }
    if (!rangeChecked || size_ < 0)
        throw EFilmFetchError(name_, "the server gave no byte range");
    const size_t expected =
        static_cast<size_t>(std::min<int64_t>(int64_t(count), std::max<int64_t>(0, size_ - from)));
    if (received < expected)
        throw EFilmFetchError(name_, "the connection ended after " + std::to_string(received) +
                                         " of " + std::to_string(expected) + " bytes");
    return received;
}

} // namespace kanvio
