#pragma once

// Films a delivery names by web address instead of file name: "http://" or "https://"
// only. Every other scheme a media framework would follow (file://, data:, rtsp://, ...)
// is refused, so that a delivery cannot make the player read local files or talk to
// anything but a web server. Addresses may carry a user and password; they are never
// written to a log or shown: RedactedUrl takes them out.

#include <optional>
#include <string>

namespace kanvio {

// Whether text starts with a URL scheme ("name:" followed by "//"), as opposed to a file
// name (a drive letter "C:" is no scheme).
bool LooksLikeUrl(const std::string& text);
// Whether text is an http or https address with a host.
bool IsFilmUrl(const std::string& text);

// The address with user and password taken out, for logs and messages.
std::string RedactedUrl(const std::string& url);

// The film's address: url itself when it is an http(s) address, nothing with the reason in
// problem for any other URL.
std::optional<std::string> CheckFilmUrl(const std::string& url, std::string& problem);

// A relative film name (Windows or Unix separators) resolved against base, an http(s)
// address naming a folder ("/" is added when missing). Each part of the name is
// percent-encoded; ".." parts are refused (nothing with the reason in problem), so a name
// never leaves the base's folder.
std::optional<std::string> ResolveFilmUrl(const std::string& base, const std::string& name,
                                          std::string& problem);

} // namespace kanvio
