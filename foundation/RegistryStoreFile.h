#pragma once

// One scope of the settings store: an INI-format file whose groups are key paths and
// whose values keep the order they were first written in. Not part of the public API;
// RegistryManager.cpp drives it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kanvio {

struct TRegistryValue {
    std::string Name;
    std::string Data; // Windows-1252 bytes
};

struct TRegistryGroup {
    std::string Name; // normalised key path, "/"-separated
    std::vector<TRegistryValue> Values;
};

using TRegistryGroups = std::vector<TRegistryGroup>;

// Text form of the store: every name and value round-trips, whatever bytes it holds.
std::string SerializeRegistryGroups(const TRegistryGroups& groups);
TRegistryGroups ParseRegistryGroups(std::string_view text);

// Group and value names compare without regard to case, like registry keys.
TRegistryGroup* FindRegistryGroup(TRegistryGroups& groups, std::string_view name);
const TRegistryGroup* FindRegistryGroup(const TRegistryGroups& groups, std::string_view name);
// The key exists when its group or a group below it exists.
bool RegistryKeyExists(const TRegistryGroups& groups, std::string_view name);
// Removes the group and every group below it; false when there was none.
bool RemoveRegistryKey(TRegistryGroups& groups, std::string_view name);
// Sets a value, appending it (and its group) when new; false when nothing changed.
bool SetRegistryValue(TRegistryGroups& groups, std::string_view group, std::string_view name,
                      std::string_view data);

class TRegistryStoreFile {
public:
    explicit TRegistryStoreFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const { return fileName_; }

    // The groups as they are on disk now (re-read when the file changed since the last
    // read). An unreadable file reads as empty.
    const TRegistryGroups& Current();

    std::optional<std::string> ReadValue(std::string_view group, std::string_view name);

    // Re-reads the file, applies change and writes the result at once (atomically), so
    // that another running program's values are kept; the folder is locked meanwhile.
    // change returns whether anything changed. Throws EInOutError when the file cannot be
    // read or written.
    bool Update(const std::function<bool(TRegistryGroups&)>& change);

private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp CurrentStamp() const;
    TRegistryGroups ReadFresh();
    void WriteGroups(TRegistryGroups& groups);

    std::string fileName_;
    TRegistryGroups cache_;
    std::optional<Stamp> cacheStamp_;
};

// Where the two scopes keep their files, from the environment.
std::string UserRegistryStoreFile();
std::string MachineRegistryStoreFile();

} // namespace kanvio
