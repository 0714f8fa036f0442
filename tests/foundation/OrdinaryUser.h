#pragma once

#include <filesystem>
#include <functional>

namespace kanvio::test {

// Runs body in a child process under an ordinary user id (nobody when the tests run as
// root, where rights never fail), so that permission cases are real everywhere. Returns
// body's result, or -1 when the child could not drop its rights or crashed.
int RunAsOrdinaryUser(const std::function<int()>& body);

// Hands tree to the user RunAsOrdinaryUser runs as and lets him reach it through its
// parent folders.
void GiveToOrdinaryUser(const std::filesystem::path& tree);

} // namespace kanvio::test
