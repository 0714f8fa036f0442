#include "video/GstHandles.h"

#include <mutex>

namespace kanvio {

void EnsureGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

} // namespace kanvio
