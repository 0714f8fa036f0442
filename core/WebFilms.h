#pragma once

// Films a delivery names by web address: an entry that is an http(s) address, or a
// relative name under the delivery's film base ([DATA] FilmBase=URL). The web server is
// used only once the user has confirmed it for the delivery; an address the player does not
// read (another scheme, a name leading out of the base, a server not confirmed) is logged
// and becomes the address (without user information) followed by the reason in brackets:
// no address and no file, so that loading it gives the film-not-found message naming it.

#include <optional>
#include <string>

namespace kanvio {

class IUserDialogs;

struct TWebFilmContext {
    std::string SettingsFile;        // the delivery's settings file, which names base and films
    std::string FilmBase;            // [DATA] FilmBase, empty for none
    IUserDialogs* Dialogs = nullptr; // null: questions are answered "no"
};

// The film's address; nothing when the entry is a local file name for the usual search
// (no address, and no film base or a drive letter or absolute path).
std::optional<std::string> ResolveWebFilm(const std::string& written,
                                          const TWebFilmContext& context);

} // namespace kanvio
