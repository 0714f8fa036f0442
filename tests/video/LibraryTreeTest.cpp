// Loading a library tree library by library: the needed names read from real libraries
// against objdump's reading, files that are no libraries, and the decoders' tree loaded
// that way and then used. Whether a library is loaded is a fact of the whole process, so
// the loading cases run in a fresh one (gtest re-runs this program for them).

#include "video/LibraryTree.h"

#include "tests/support/TempDir.h"
#include "video/DecoderWarmUp.h"
#include "video/GstHandles.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

namespace fs = std::filesystem;

// The libav plugin's file, or empty where it is not installed.
std::string LibavPluginFile() {
    EnsureGStreamer();
    GstPlugin* plugin = gst_registry_find_plugin(gst_registry_get(), "libav");
    if (!plugin)
        return {};
    const std::string file = gst_plugin_get_filename(plugin) ? gst_plugin_get_filename(plugin) : "";
    gst_object_unref(plugin);
    return file;
}

// The needed libraries as objdump reads them.
std::vector<std::string> NeededByObjdump(const std::string& file) {
    std::vector<std::string> names;
    FILE* output = popen(("objdump -p '" + file + "' 2>/dev/null").c_str(), "r");
    if (!output)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, output)) {
        char name[256];
        if (std::sscanf(line, " NEEDED %255s", name) == 1)
            names.emplace_back(name);
    }
    pclose(output);
    return names;
}

bool IsLoaded(const std::string& file) {
    void* handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class LibraryTreeTest : public testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        plugin = LibavPluginFile();
        if (plugin.empty())
            GTEST_SKIP() << "the libav plugin is not installed";
    }
    std::string plugin;
};

TEST_F(LibraryTreeTest, NeededLibrariesAreReadAsObjdumpReadsThem) {
    Dl_info core{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&gst_init), &core), 0);
    const std::string thisProgram = fs::read_symlink("/proc/self/exe");
    for (const std::string& file : {plugin, std::string(core.dli_fname), thisProgram}) {
        const std::vector<std::string> expected = NeededByObjdump(file);
        EXPECT_FALSE(expected.empty()) << file;
        EXPECT_EQ(NeededLibraries(file), expected) << file;
    }
}

TEST_F(LibraryTreeTest, FilesThatAreNoLibrariesNeedNothingAndLoadNothing) {
    test::TempDir folder;
    const fs::path text = folder.path() / "notes.so";
    std::ofstream(text) << "not a library\n";
    const fs::path empty = folder.path() / "empty.so";
    std::ofstream{empty};
    // The start of a real library: its header promises tables the file no longer holds.
    const fs::path cut = folder.path() / "cut.so";
    {
        std::ifstream whole(plugin, std::ios::binary);
        std::string start(200, '\0');
        whole.read(start.data(), static_cast<std::streamsize>(start.size()));
        std::ofstream(cut, std::ios::binary) << start;
    }
    for (const fs::path& file : {text, empty, cut, folder.path() / "missing.so"}) {
        EXPECT_TRUE(NeededLibraries(file.string()).empty()) << file;
        EXPECT_EQ(LoadLibraryTreeStepwise(file.string()), 0) << file;
    }
}

TEST_F(LibraryTreeTest, TheDecodersTreeLoadsLibraryByLibraryAndThenServes) {
    EXPECT_EXIT(
        {
            if (IsLoaded(plugin))
                std::_Exit(1);
            // The plugin, libav's libraries and the codec libraries behind them.
            if (LoadLibraryTreeStepwise(plugin) < 50 || !IsLoaded(plugin))
                std::_Exit(2);
            // Everything is in place: a second pass loads nothing more.
            if (LoadLibraryTreeStepwise(plugin) != 0)
                std::_Exit(3);
            GstElement* decoder = gst_element_factory_make("avdec_mpeg2video", nullptr);
            if (!decoder)
                std::_Exit(4);
            gst_object_unref(decoder);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(LibraryTreeTest, TheDecoderWarmUpLeavesTheDecodersLoaded) {
    EXPECT_EXIT(
        {
            { const TDecoderWarmUp warmUp; }
            GstPlugin* known = gst_registry_find_plugin(gst_registry_get(), "libav");
            std::_Exit(known && gst_plugin_is_loaded(known) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace kanvio
