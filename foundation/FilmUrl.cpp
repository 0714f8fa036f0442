#include "foundation/FilmUrl.h"

#include "foundation/AnsiText.h"

#include <QUrl>
#include <algorithm>
#include <cctype>

namespace kanvio {

namespace {

QUrl ParseUrl(const std::string& text) {
    return QUrl(QString::fromUtf8(AnsiToUtf8(text).c_str()), QUrl::StrictMode);
}

} // namespace

bool LooksLikeUrl(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon < 2) // "C:" is a drive
        return false;
    for (size_t i = 0; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.') || (i == 0 && !std::isalpha(c)))
            return false;
    }
    return text.compare(colon, 3, "://") == 0 || text.compare(0, 5, "data:") == 0;
}

bool IsFilmUrl(const std::string& text) {
    std::string problem;
    return CheckFilmUrl(text, problem).has_value();
}

std::string RedactedUrl(const std::string& url) {
    if (!LooksLikeUrl(url))
        return url; // a file name stays as it is
    QUrl parsed = ParseUrl(url);
    if (!parsed.isValid()) {
        // Unreadable: still take out everything between "//" and "@".
        const auto start = url.find("//");
        const auto at = url.find('@', start == std::string::npos ? 0 : start);
        const auto slash = url.find('/', start == std::string::npos ? 0 : start + 2);
        if (start != std::string::npos && at != std::string::npos &&
            (slash == std::string::npos || at < slash))
            return url.substr(0, start + 2) + url.substr(at + 1);
        return url;
    }
    parsed.setUserInfo({});
    return parsed.toString(QUrl::FullyEncoded).toStdString();
}

std::optional<std::string> CheckFilmUrl(const std::string& url, std::string& problem) {
    const QUrl parsed = ParseUrl(url);
    const QString scheme = parsed.scheme().toLower();
    const bool blank =
        std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' '; });
    if (!parsed.isValid() || blank) {
        problem = "is no valid address";
        return std::nullopt;
    }
    if (scheme != "http" && scheme != "https") {
        problem = "uses the scheme \"" + scheme.toStdString() +
                  "\"; films are read from http and https addresses only";
        return std::nullopt;
    }
    if (parsed.host().isEmpty()) {
        problem = "names no host";
        return std::nullopt;
    }
    return url;
}

std::optional<std::string> ResolveFilmUrl(const std::string& base, const std::string& name,
                                          std::string& problem) {
    if (!CheckFilmUrl(base, problem)) {
        problem = "the film base " + RedactedUrl(base) + " " + problem;
        return std::nullopt;
    }
    std::string path;
    size_t start = 0;
    const std::string utf8 = AnsiToUtf8(name);
    while (start <= utf8.size()) {
        size_t end = utf8.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = utf8.size();
        const std::string part = utf8.substr(start, end - start);
        if (part == "..") {
            problem = "the film name " + name + " leads out of the film base";
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            if (!path.empty())
                path += '/';
            path += QUrl::toPercentEncoding(QString::fromUtf8(part.c_str())).toStdString();
        }
        start = end + 1;
    }
    if (path.empty()) {
        problem = "the film name is empty";
        return std::nullopt;
    }
    std::string folder = base;
    // A query or fragment of the base would swallow the name.
    if (const auto cut = folder.find_first_of("?#"); cut != std::string::npos)
        folder.resize(cut);
    if (folder.back() != '/')
        folder += '/';
    return folder + path;
}

} // namespace kanvio
