#include "tests/foundation/OrdinaryUser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kanvio::test {
namespace {

constexpr uid_t kNobody = 65534;

} // namespace

int RunAsOrdinaryUser(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(250);
        }
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 250) {
        return -1;
    }
    return WEXITSTATUS(status);
}

void GiveToOrdinaryUser(const std::filesystem::path& tree) {
    if (::geteuid() != 0) {
        return;
    }
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (fs::path parent = tree.parent_path(); parent != parent.root_path() && !parent.empty();
         parent = parent.parent_path()) {
        fs::permissions(parent, fs::perms::others_exec, fs::perm_options::add, ignored);
    }
    [[maybe_unused]] int result = ::chown(tree.c_str(), kNobody, kNobody);
    for (auto it = fs::recursive_directory_iterator(tree, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        result = ::lchown(it->path().c_str(), kNobody, kNobody);
    }
}

} // namespace kanvio::test
