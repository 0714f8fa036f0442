#include "core/WebFilms.h"

#include "foundation/Errors.h"
#include "foundation/FilmUrl.h"
#include "foundation/Logging.h"
#include "foundation/ServerConsent.h"
#include "foundation/UserDialogs.h"

#include <QUrl>
#include <map>
#include <mutex>

namespace kanvio {

namespace {

// Answers refused in this run, so that a delivery of a thousand web films asks once.
std::mutex refusedLock;
std::map<std::string, std::string>& RefusedUses() {
    static std::map<std::string, std::string> refused;
    return refused;
}

bool IsAbsoluteOrOnDrive(const std::string& name) {
    return (!name.empty() && (name[0] == '/' || name[0] == '\\')) ||
           (name.size() >= 2 && name[1] == ':');
}

std::string HostOf(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    std::string host = parsed.host().toStdString();
    if (parsed.port() > 0)
        host += ":" + std::to_string(parsed.port());
    return host;
}

// Whether the user allows the delivery to read films from the server (asked once).
bool Allowed(const TServerUse& use, IUserDialogs* dialogs) {
    const std::string key = ServerConsentKey(use);
    {
        std::lock_guard guard(refusedLock);
        if (const auto found = RefusedUses().find(key); found != RefusedUses().end()) {
            LogLine(found->second, LOG_DEBUG);
            return false;
        }
    }
    TConsoleDialogs console;
    try {
        RequireServerConsent(dialogs ? *dialogs : console, use);
        return true;
    } catch (const EKanvioError& refused) {
        LogLine(refused.what(), LOG_ERROR);
        std::lock_guard guard(refusedLock);
        RefusedUses()[key] = refused.what();
        return false;
    }
}

// What stands for a film the player does not read: the address (without user information)
// and why, which is no address and no file, so loading it ends in film-not-found naming it.
std::string Unread(const std::string& written, const char* reason) {
    return RedactedUrl(written) + " (" + reason + ")";
}

} // namespace

std::optional<std::string> ResolveWebFilm(const std::string& written,
                                          const TWebFilmContext& context) {
    std::string problem;
    if (LooksLikeUrl(written)) {
        if (!CheckFilmUrl(written, problem)) {
            LogLine(context.SettingsFile + ": the film " + RedactedUrl(written) + " " + problem,
                    LOG_ERROR);
            return Unread(written, "not an http or https address");
        }
        const std::string host = HostOf(written);
        if (!Allowed({context.SettingsFile, "film addresses", host, host}, context.Dialogs))
            return Unread(written, "server not confirmed");
        return written;
    }
    if (context.FilmBase.empty() || written.empty() || IsAbsoluteOrOnDrive(written))
        return std::nullopt;
    const std::optional<std::string> url = ResolveFilmUrl(context.FilmBase, written, problem);
    if (!url) {
        LogLine(context.SettingsFile + ": [DATA] FilmBase: " + problem, LOG_ERROR);
        return Unread(written, "not read from the film base");
    }
    if (!Allowed({context.SettingsFile, "[DATA] FilmBase", context.FilmBase,
                  RedactedUrl(context.FilmBase)},
                 context.Dialogs))
        return Unread(*url, "server not confirmed");
    return url;
}

} // namespace kanvio
