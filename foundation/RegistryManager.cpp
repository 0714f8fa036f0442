#include "foundation/RegistryManager.h"

#include "foundation/AnsiText.h"
#include "foundation/BigIniFile.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "foundation/RegistryStoreFile.h"

#include <mutex>
#include <optional>

namespace kanvio {
namespace {

constexpr std::string_view kProgramKey = "\\SOFTWARE\\Orbelin\\Kanvio\\";

class TRegistryStore {
public:
    TRegistryStore()
        : user_(UserRegistryStoreFile()), machine_(MachineRegistryStoreFile()),
          machineWide_(IsUserAdministrator()) {}

    bool MachineWide() const { return machineWide_; }

    std::optional<std::string> Read(std::string_view group, std::string_view name) {
        if (auto value = user_.ReadValue(group, name)) {
            return value;
        }
        return machine_.ReadValue(group, name);
    }

    void Write(std::string_view group, std::string_view name, std::string_view data) {
        try {
            user_.Update([&](TRegistryGroups& groups) {
                return SetRegistryValue(groups, group, name, data);
            });
        } catch (const EKanvioError& error) {
            throw ERegistryError(user_.FileName() + ": cannot set the value \"" +
                                 std::string(name) + "\" of the key \"" + std::string(group) +
                                 "\": " + error.what());
        }
        if (!machineWide_) {
            return;
        }
        try {
            machine_.Update([&](TRegistryGroups& groups) {
                return SetRegistryValue(groups, group, name, data);
            });
        } catch (const EKanvioError& error) {
            LogLine("Registry: cannot set the value \"" + std::string(name) + "\" in " +
                        machine_.FileName() + ": " + error.what(),
                    LOG_ERROR);
        }
    }

    bool Open(std::string_view group, bool canCreate) {
        openKey_.reset();
        if (RegistryKeyExists(user_.Current(), group)) {
            openKey_ = OpenKey{&user_, std::string(group)};
            return true;
        }
        if (RegistryKeyExists(machine_.Current(), group)) {
            openKey_ = OpenKey{&machine_, std::string(group)};
            return true;
        }
        if (!canCreate) {
            return false;
        }
        try {
            machine_.Update([&](TRegistryGroups& groups) {
                if (RegistryKeyExists(groups, group)) {
                    return false;
                }
                groups.push_back(TRegistryGroup{std::string(group), {}});
                return true;
            });
        } catch (const EKanvioError& error) {
            LogLine("Registry: cannot create the key \"" + std::string(group) + "\" in " +
                        machine_.FileName() + ": " + error.what(),
                    LOG_WARNING);
            return false;
        }
        openKey_ = OpenKey{&machine_, std::string(group)};
        return true;
    }

    std::string ReadOpen(std::string_view name) {
        if (!openKey_) {
            return {};
        }
        return openKey_->scope->ReadValue(openKey_->group, name).value_or(std::string());
    }

    std::vector<std::string> OpenValueNames() {
        std::vector<std::string> names;
        if (!openKey_) {
            return names;
        }
        if (const TRegistryGroup* group =
                FindRegistryGroup(openKey_->scope->Current(), openKey_->group)) {
            for (const auto& value : group->Values) {
                names.push_back(value.Name);
            }
        }
        return names;
    }

    void Close() { openKey_.reset(); }

    bool HasSubKeys(std::string_view group) {
        const std::string prefix = std::string(group) + "/";
        for (TRegistryStoreFile* scope : {&user_, &machine_}) {
            for (const TRegistryGroup& candidate : scope->Current()) {
                if (candidate.Name.size() > prefix.size() &&
                    SameText(std::string_view(candidate.Name).substr(0, prefix.size()), prefix)) {
                    return true;
                }
            }
        }
        return false;
    }

    bool Delete(std::string_view group) {
        bool result = DeleteIn(user_, group);
        if (machineWide_) {
            result = DeleteIn(machine_, group);
        }
        return result;
    }

private:
    struct OpenKey {
        TRegistryStoreFile* scope;
        std::string group;
    };

    static bool DeleteIn(TRegistryStoreFile& scope, std::string_view group) {
        try {
            return scope.Update(
                [&](TRegistryGroups& groups) { return RemoveRegistryKey(groups, group); });
        } catch (const EKanvioError& error) {
            LogLine("Registry: cannot delete the key \"" + std::string(group) + "\" in " +
                        scope.FileName() + ": " + error.what(),
                    LOG_ERROR);
            return false;
        }
    }

    TRegistryStoreFile user_;
    TRegistryStoreFile machine_;
    bool machineWide_;
    std::optional<OpenKey> openKey_;
};

std::recursive_mutex storeLock;
std::unique_ptr<TRegistryStore> store;

// The store opens on first use, so that the environment a test prepares is the one read.
TRegistryStore& Store() {
    if (!store) {
        store = std::make_unique<TRegistryStore>();
    }
    return *store;
}

} // namespace

std::string RegistryGroupName(std::string_view section) {
    std::string path;
    if (section.empty() || section.front() != '\\') {
        path = std::string(kProgramKey) + std::string(section);
    } else {
        path = std::string(section);
    }
    std::string group;
    size_t pos = 0;
    while (pos <= path.size()) {
        auto end = path.find('\\', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) {
            continue;
        }
        // A "/" inside a key name must not read as a sub-key.
        for (size_t slash = component.find('/'); slash != std::string::npos;
             slash = component.find('/', slash + 4)) {
            component.replace(slash, 1, "\\x2F");
        }
        if (!group.empty()) {
            group += '/';
        }
        group += component;
    }
    return group;
}

int32_t ReadRegInteger(std::string_view section, std::string_view name, int32_t defaultValue) {
    std::lock_guard guard(storeLock);
    const auto text = Store().Read(RegistryGroupName(section), name);
    int32_t value = 0;
    if (text && TryStrToInt(*text, value)) {
        return value;
    }
    return defaultValue;
}

std::string ReadRegString(std::string_view section, std::string_view name,
                          std::string_view defaultValue) {
    std::lock_guard guard(storeLock);
    return Store().Read(RegistryGroupName(section), name).value_or(std::string(defaultValue));
}

void WriteRegInteger(std::string_view section, std::string_view name, int32_t value) {
    WriteRegString(section, name, std::to_string(value));
}

void WriteRegString(std::string_view section, std::string_view name, std::string_view value) {
    std::lock_guard guard(storeLock);
    Store().Write(RegistryGroupName(section), name, value);
}

bool OpenRegKey(std::string_view section, bool canCreate) {
    std::lock_guard guard(storeLock);
    return Store().Open(RegistryGroupName(section), canCreate);
}

std::string ReadOpenKeyString(std::string_view name) {
    std::lock_guard guard(storeLock);
    return Store().ReadOpen(name);
}

void ReadOpenKeyValueNames(std::vector<std::string>& names) {
    std::lock_guard guard(storeLock);
    names = Store().OpenValueNames();
}

void CloseRegKey() {
    std::lock_guard guard(storeLock);
    Store().Close();
}

bool DeleteRegKey(std::string_view section) {
    std::lock_guard guard(storeLock);
    return Store().Delete(RegistryGroupName(section));
}

bool RegKeyHasSubKeys(std::string_view section) {
    std::lock_guard guard(storeLock);
    return Store().HasSubKeys(RegistryGroupName(section));
}

bool RegistryWritesMachineScope() {
    std::lock_guard guard(storeLock);
    return Store().MachineWide();
}

void ReopenRegistryStore() {
    std::lock_guard guard(storeLock);
    store.reset();
}

} // namespace kanvio
