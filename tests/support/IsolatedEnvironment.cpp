#include "tests/support/IsolatedEnvironment.h"

#include "foundation/DeliveryFolder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"

#include <cstdlib>

namespace kanvio::test {

IsolatedEnvironment::IsolatedEnvironment() : root_("kanvio-env") {
    std::filesystem::create_directories(userConfig());
    std::filesystem::create_directories(machineConfig());
    std::filesystem::create_directories(state());
    std::filesystem::create_directories(cache());
    std::filesystem::create_directories(programFolder());
    setenv("XDG_CONFIG_HOME", userConfig().c_str(), 1);
    setenv("XDG_CONFIG_DIRS", machineConfig().c_str(), 1);
    setenv("XDG_STATE_HOME", state().c_str(), 1);
    setenv("XDG_CACHE_HOME", cache().c_str(), 1);
    SetProgramFolderForTesting(programFolder().string() + "/");
    ReopenRegistryStore();
}

IsolatedEnvironment::~IsolatedEnvironment() {
    SetProgramFolderForTesting({});
    SetProjectFolder({});
    ReopenRegistryStore();
}

void IsolatedEnvironment::reopenRegistry() const {
    ReopenRegistryStore();
}

} // namespace kanvio::test
