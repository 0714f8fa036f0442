#pragma once

// The desktop as the player context sees it: documents open in the program the desktop
// associates with them (or in a window of the program's own where there is none), and
// the wait cursor shows while the player is busy.

#include "core/ContextInterfaces.h"

#include <memory>

namespace kanvio {

class THelpViewer;

class TQtDesktop final : public IDesktop {
public:
    TQtDesktop();
    ~TQtDesktop() override;
    TQtDesktop(const TQtDesktop&) = delete;
    TQtDesktop& operator=(const TQtDesktop&) = delete;

    bool OpenDocument(const std::string& fileName) override;
    // Busy calls nest: the cursor comes back with the last SetBusy(false). An unmatched
    // SetBusy(false) changes nothing.
    void SetBusy(bool busy) override;

    int BusyDepth() const { return busyDepth_; }
    THelpViewer& Viewer() { return *viewer_; }

private:
    int busyDepth_ = 0;
    std::unique_ptr<THelpViewer> viewer_;
};

} // namespace kanvio
