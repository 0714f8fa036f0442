#pragma once

#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace kanvio::test {

// Points XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_STATE_HOME and XDG_CACHE_HOME at fresh
// temporary folders, reopens the registry store on them and makes a fresh program folder,
// so that no test sees the real user's settings or another test's leftovers.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();

    std::filesystem::path userConfig() const { return root_ / "config"; }
    std::filesystem::path machineConfig() const { return root_ / "xdg"; }
    std::filesystem::path state() const { return root_ / "state"; }
    std::filesystem::path cache() const { return root_ / "cache"; }
    // The program folder the toolkit reports while this object lives.
    std::filesystem::path programFolder() const { return root_ / "medium"; }
    const std::filesystem::path& root() const { return root_.path(); }

    std::filesystem::path userStore() const { return userConfig() / "Orbelin/Kanvio.conf"; }
    std::filesystem::path machineStore() const { return machineConfig() / "Orbelin/Kanvio.conf"; }

    // Reopens the registry store, for tests that prepared the store files by hand.
    void reopenRegistry() const;

private:
    TempDir root_;
};

// A fixture that gives each test an IsolatedEnvironment.
class IsolatedTest : public ::testing::Test {
protected:
    IsolatedEnvironment env;
};

} // namespace kanvio::test
