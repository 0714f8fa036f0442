// The decoder warm-up: one held back until released loads nothing before, and nothing at all
// when it is dropped unreleased; released, it loads the decoders. Whether the decoders are
// loaded is a fact of the whole process, so each case runs in a fresh one (gtest re-runs
// this program for it).

#include "video/DecoderWarmUp.h"

#include "video/GstHandles.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

enum TLibav { Missing = 2, NotLoaded = 3, Loaded = 4 };

int LibavState() {
    EnsureGStreamer();
    GstPlugin* plugin = gst_registry_find_plugin(gst_registry_get(), "libav");
    if (!plugin)
        return Missing;
    const bool loaded = gst_plugin_is_loaded(plugin);
    gst_object_unref(plugin);
    return loaded ? Loaded : NotLoaded;
}

class DecoderWarmUpTest : public testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (LibavState() == Missing)
            GTEST_SKIP() << "the libav plugin is not installed";
    }
};

TEST_F(DecoderWarmUpTest, HeldBackItLoadsNothingAndDroppedItEndsAtOnce) {
    EXPECT_EXIT(
        {
            {
                const TDecoderWarmUp warmUp(TDecoderWarmUp::TStart::WhenReleased);
                // The loader is free for the caller's own libraries meanwhile.
                for (int i = 0; i < 20; ++i)
                    g_usleep(10000);
                if (LibavState() != NotLoaded)
                    std::_Exit(1);
            }
            std::_Exit(LibavState());
        },
        testing::ExitedWithCode(NotLoaded), "");
}

TEST_F(DecoderWarmUpTest, ReleasedItLoadsTheDecoders) {
    EXPECT_EXIT(
        {
            {
                TDecoderWarmUp warmUp(TDecoderWarmUp::TStart::WhenReleased);
                if (LibavState() != NotLoaded)
                    std::_Exit(1);
                warmUp.Release();
                warmUp.Release(); // a second release changes nothing
            }
            std::_Exit(LibavState());
        },
        testing::ExitedWithCode(Loaded), "");
}

TEST_F(DecoderWarmUpTest, MadeToStartNowItLoadsWithoutBeingReleased) {
    EXPECT_EXIT(
        {
            { const TDecoderWarmUp warmUp; }
            std::_Exit(LibavState());
        },
        testing::ExitedWithCode(Loaded), "");
}

} // namespace
} // namespace kanvio
