#include "foundation/ServerConsent.h"

#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "foundation/RegistryStoreFile.h"
#include "foundation/UserDialogs.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace kanvio {

std::string ServerSettingsSection(const std::string& host) {
    return "Servers\\" + host;
}

namespace {

// The answer belongs to one delivery wherever the program was started from: "./Kanvio.ini"
// would stand for every delivery run from its own folder.
std::string AbsoluteDeliveryFile(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::weakly_canonical(fileName, error);
    return error ? fileName : absolute.string();
}

} // namespace

std::string ServerConsentKey(const TServerUse& use) {
    // The settings store cannot hold every character of a path as a value name; a hash of
    // everything the answer depends on can. FNV-1a: no secret needs hiding here.
    uint64_t hash = 0xcbf29ce484222325ULL;
    auto add = [&hash](const std::string& text) {
        for (const unsigned char c : text) {
            hash ^= c;
            hash *= 0x100000001b3ULL;
        }
        hash ^= 0xff; // separates the parts: ("ab","c") differs from ("a","bc")
        hash *= 0x100000001b3ULL;
    };
    add(AbsoluteDeliveryFile(use.DeliveryFile));
    add(use.Setting);
    add(use.Value);
    char key[24];
    std::snprintf(key, sizeof key, "S%016llx", static_cast<unsigned long long>(hash));
    return key;
}

void RememberServerConsent(const TServerUse& use) {
    WriteRegString(ConfirmedServersSection, ServerConsentKey(use), use.ServerName);
}

void RequireServerConsent(IUserDialogs& dialogs, const TServerUse& use) {
    const std::string key = ServerConsentKey(use);
    if (!ReadRegString(ConfirmedServersSection, key, "").empty())
        return;
    const std::string deliveryFile = AbsoluteDeliveryFile(use.DeliveryFile);
    const std::string question = deliveryFile + ": the delivery reads from the server " +
                                 use.ServerName + " (" + use.Setting +
                                 "). Connect to this server for this delivery?";
    if (dialogs.AskYesNo(question)) {
        RememberServerConsent(use);
        LogLine("server " + use.ServerName + " confirmed for " + deliveryFile, LOG_DEBUG);
        return;
    }
    throw EKanvioError(deliveryFile + ": " + use.Setting + " names the server " + use.ServerName +
                       ", which is not confirmed for this delivery. Confirm it when the "
                       "program asks on opening the delivery in its window, or add " +
                       key + "=" + use.ServerName + " to the group [" +
                       RegistryGroupName(ConfirmedServersSection) + "] of " +
                       UserRegistryStoreFile());
}

} // namespace kanvio
