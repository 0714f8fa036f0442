#pragma once

// A delivery may name a server to read from (a database server, a web server with its
// films). Such a server is used only after the user has allowed it for that delivery,
// once: a delivery from a stranger must not make the program connect wherever it likes.
// The answer is kept in the user's settings store, keyed by the delivery's file, the
// setting and its value, so a changed value or a moved delivery is asked about again.

#include <string>

namespace kanvio {

class IUserDialogs;

// The settings-store section holding what the user keeps for one host: the login (User,
// Password), ConnectTimeout in seconds and CaFile (the certificate authority a web
// server's certificate is checked against). Nothing of it ever goes to another host.
std::string ServerSettingsSection(const std::string& host);

// The settings-store section the answers are kept in.
inline constexpr const char* ConfirmedServersSection = "ConfirmedServers";

struct TServerUse {
    std::string DeliveryFile; // the settings file of the delivery naming the server
    std::string Setting;      // as the user knows it, e.g. "[DATA] Database"
    std::string Value;        // the value as the delivery gives it
    std::string ServerName;   // the server as the question names it (never user info)
};

// The value name the answer is stored under.
std::string ServerConsentKey(const TServerUse& use);

// True when the use was confirmed before or the user confirms it now (remembered).
// Otherwise throws EKanvioError naming the delivery's file and the setting, and saying how
// to confirm it; a run without windows answers every question "no" and gets this error.
void RequireServerConsent(IUserDialogs& dialogs, const TServerUse& use);

// Records the confirmation as the dialog would (for setting up a run without windows).
void RememberServerConsent(const TServerUse& use);

} // namespace kanvio
