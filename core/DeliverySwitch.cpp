// Another delivery chosen while the player runs: the windows close as at the end of the
// program, and the program starts again on the new folder, so that nothing of the old
// delivery (its settings file, log, database copy, films) lives on into the new one.

#include "core/KanvioContext.h"
#include "foundation/Logging.h"

namespace kanvio {

void TKanvioContext::OpenDeliveryAfterClose(const std::string& folder) {
    pendingDelivery_ = folder;
    // A layout asked for earlier in this run would otherwise open first.
    pendingLayout_ = -1;
    resume_.reset();
    LogLine("Opening delivery " + folder, LOG_DEBUG);
    if (mainWindow_ != nullptr) {
        mainWindow_->CloseMainWindow();
    }
}

std::optional<std::string> TKanvioContext::TakePendingDelivery() {
    std::optional<std::string> folder;
    folder.swap(pendingDelivery_);
    return folder;
}

} // namespace kanvio
