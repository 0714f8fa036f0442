#pragma once

// The program's settings store: the user scope ($XDG_CONFIG_HOME/Orbelin/Kanvio.conf) is
// read first, the machine scope (first folder of $XDG_CONFIG_DIRS, same file name) serves
// as a fallback. Key paths become groups; values keep the order they were first written
// in, and integers are stored as decimal text.
//
// A Section is a key path: empty means the program key "\SOFTWARE\Orbelin\Kanvio\", a
// path without a leading "\" is below the program key, one with a leading "\" is a full
// path below the root.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio {

int32_t ReadRegInteger(std::string_view section, std::string_view name, int32_t defaultValue);
std::string ReadRegString(std::string_view section, std::string_view name,
                          std::string_view defaultValue);
// Write in the user scope and, when the machine-wide flag is set, in the machine scope too.
// Throws ERegistryError naming the store file and value when the user-scope write fails;
// a failed machine-scope write is logged and never undoes the user-scope write.
void WriteRegInteger(std::string_view section, std::string_view name, int32_t value);
void WriteRegString(std::string_view section, std::string_view name, std::string_view value);

bool OpenRegKey(std::string_view section, bool canCreate);
std::string ReadOpenKeyString(std::string_view name);
void ReadOpenKeyValueNames(std::vector<std::string>& names);
void CloseRegKey();
bool DeleteRegKey(std::string_view section);
// Whether the key has a sub-key in either scope (the store cannot list them otherwise).
bool RegKeyHasSubKeys(std::string_view section);

// The machine-wide flag of the store (IsUserAdministrator at opening).
bool RegistryWritesMachineScope();

// Opens the store again from the current environment; the program opens it on first use.
// Tests call this after pointing the XDG variables at their own folders.
void ReopenRegistryStore();

// The normalised group name of a Section, e.g. "SOFTWARE/Orbelin/Kanvio/FilterPriorities/MPEG1".
std::string RegistryGroupName(std::string_view section);

} // namespace kanvio
