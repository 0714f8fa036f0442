#pragma once

// The desktop as the player context sees it: documents open in the program the desktop
// associates with them, and the wait cursor shows while the player is busy.

#include "core/ContextInterfaces.h"

namespace kanvio {

class TQtDesktop final : public IDesktop {
public:
    TQtDesktop() = default;
    ~TQtDesktop() override;
    TQtDesktop(const TQtDesktop&) = delete;
    TQtDesktop& operator=(const TQtDesktop&) = delete;

    bool OpenDocument(const std::string& fileName) override;
    // Busy calls nest: the cursor comes back with the last SetBusy(false). An unmatched
    // SetBusy(false) changes nothing.
    void SetBusy(bool busy) override;

    int BusyDepth() const { return busyDepth_; }

private:
    int busyDepth_ = 0;
};

} // namespace kanvio
