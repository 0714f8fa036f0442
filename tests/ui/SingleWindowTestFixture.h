#pragma once

// The player fixture with its three-window layout replaced by the single window of
// layout 1 or 2.

#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/KanvioSingleForm.h"
#include "video/EmbeddedVideo.h"

#include <memory>
#include <string>
#include <vector>

namespace kanvio::test {

class SingleWindowFixture : public PlayerWindowsTest {
protected:
    void Open(uint8_t layoutMode) {
        context->SetPlayerWindows(nullptr);
        context->SetMainWindow(nullptr);
        layout.reset();
        context->LayoutMode = layoutMode;
        form = std::make_unique<TKanvioSingleForm>(*context, dialogs, std::vector<std::string>{});
        form->EmbeddedVideo()->Engine()->SetPlayPauseStepMs(0);
        context->SetPlayerWindows(form.get());
        context->SetMainWindow(form.get());
        form->show(); // starts the player and selects the first reach
    }

    void TearDown() override {
        if (form) {
            form->close();
        }
        context->SetPlayerWindows(nullptr);
        context->SetMainWindow(nullptr);
        form.reset();
        PlayerWindowsTest::TearDown();
    }

    std::unique_ptr<TKanvioSingleForm> form;
};

} // namespace kanvio::test
