#include "video/StartupMarks.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

namespace kanvio {

void MarkStartup(const char* milestone) {
    static const bool wanted = std::getenv("KANVIO_STARTUP_TIMES") != nullptr;
    if (!wanted)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    static std::mutex lock;
    static std::set<std::string> reached;
    std::lock_guard guard(lock);
    if (!reached.insert(milestone).second)
        return;
    std::fprintf(stderr, "kanvio-startup %.1f %s\n",
                 static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6,
                 milestone);
    std::fflush(stderr);
}

} // namespace kanvio
