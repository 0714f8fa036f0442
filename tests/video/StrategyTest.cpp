#include "foundation/Errors.h"
#include "foundation/RegistryManager.h"
#include "tests/video/VideoTestSupport.h"
#include "video/DecoderCatalog.h"
#include "video/FilterFiles.h"
#include "video/PlaybackPipeline.h"

#include <fstream>
#include <gtest/gtest.h>
#include <ostream>

namespace kanvio::test {
namespace {

const char* const kFilms[] = {"mpeg1.mpg", "mpeg2.mpg", "mpeg2.ts", "mpeg4.mp4", "h264.mp4"};

TEST_F(EngineTest, EveryFilmLoadsWithEveryStrategy) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    TFilterLists lists;
    engine.EnumDecoders(lists);
    engine.SetPriorityLists(lists);
    for (int strategy = 0; strategy <= 2; ++strategy) {
        for (const char* film : kFilms) {
            EXPECT_EQ(engine.LoadMovie(Film(film), strategy), S_OK)
                << film << " strategy " << strategy << ": " << LogText();
            EXPECT_EQ(engine.VideoWidth(), 352) << film;
            EXPECT_EQ(engine.VideoHeight(), 288) << film;
            EXPECT_EQ(engine.LoadedStrategy(), strategy);
            QImage frame;
            EXPECT_EQ(engine.GrabPicture(frame), S_OK) << film;
            EXPECT_EQ(frame.size(), QSize(352, 288));
        }
    }
    EXPECT_TRUE(LogHas("MMEngine->LoadDecoder [PRE]: Using decoder from library [quartz.dll] - "
                       "MPEG Video decoder"));
    EXPECT_TRUE(LogHas("MMEngine->LoadDecoder [PRE]: Using decoder from library "
                       "[ffdshow\\ffdshow.ax] - ffDShow decoder"));
    EXPECT_TRUE(LogHas("MMEngine->BuildGraph: Render DECODER -> SAMPLEGRABBER -> RENDERER - 0"));
}

// The log of a load names every element on its own and tells how adding the decoder went.
TEST_F(EngineTest, LogNamesEachElementAndTheDecodersRealStatus) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 0), S_OK) << LogText();
    const std::string log = LogText();
    const std::string prefix = "MMEngine->Filters ";
    const size_t at = log.find(prefix);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string line =
        log.substr(at + prefix.size(), log.find('\n', at) - at - prefix.size());
    std::vector<std::string> names;
    for (size_t open = line.find('['); open != std::string::npos; open = line.find('[', open + 1)) {
        const size_t close = line.find("] ", open);
        ASSERT_NE(close, std::string::npos) << line;
        names.push_back(line.substr(open + 1, close - open - 1));
    }
    ASSERT_GE(names.size(), 4u) << line;
    for (const std::string& name : names) {
        EXPECT_FALSE(name.empty()) << line;
        EXPECT_EQ(name.find_first_of(",( "), std::string::npos) << line;
    }
    const std::string all = engine.ElementNames();
    EXPECT_EQ(all.substr(0, names.front().size()), names.front()) << all;
    EXPECT_EQ(CountInLog("AddDecoder"), 0) << "strategy 0 names no decoder of its own";

    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 1), S_OK) << LogText();
    EXPECT_EQ(CountInLog("MMEngine->BuildGraph: AddDecoder - 0"), 1);
    EXPECT_EQ(TryMakeElement("identity"), S_OK);
    EXPECT_EQ(TryMakeElement("no-such-decoder"), E_FAIL);
    EXPECT_EQ(TryMakeElement(""), E_FAIL);
}

TEST_F(EngineTest, PredefinedUsesOnlyTheFilterFiles) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 1), S_OK);
    const std::string names = engine.ElementNames();
    EXPECT_NE(names.find("quartzfilesource"), std::string::npos) << names;
    EXPECT_NE(names.find("mpg2spltdemux"), std::string::npos) << names;
    EXPECT_NE(names.find("mcdsmpegdecoder"), std::string::npos) << names;
    EXPECT_EQ(names.find("decodebin"), std::string::npos) << names;
}

// Each case runs in its own process (plugins load once per process by file name).
struct TBrokenFilterCase {
    const char* name;
    const char* film;
    const char* file; // inside filters/
    enum { Remove, Garbage, Truncate } damage;
    HResult expected;
};

void PrintTo(const TBrokenFilterCase& c, std::ostream* out) {
    *out << c.name << ": " << c.film << " with filters/" << c.file << " damaged";
}

class BrokenFilterTest : public EngineTest,
                         public ::testing::WithParamInterface<TBrokenFilterCase> {};

TEST_P(BrokenFilterTest, GivesTheStrategyCodeWithoutCrashing) {
    const TBrokenFilterCase& c = GetParam();
    UseFilterCopy();
    const auto file = FilterFile(c.file);
    switch (c.damage) {
    case TBrokenFilterCase::Remove:
        std::filesystem::remove(file);
        break;
    case TBrokenFilterCase::Garbage:
        WriteFile(file, "this is no library\n");
        break;
    case TBrokenFilterCase::Truncate:
        std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
        break;
    }
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    EXPECT_EQ(engine.LoadMovie(Film(c.film), 1), c.expected);
    // the other strategies still load the film
    settings.SetFilterStrategy(1);
    EXPECT_EQ(engine.LoadMovieAuto(Film(c.film)), S_OK);
    EXPECT_EQ(engine.LoadedStrategy(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFilterTest,
    ::testing::Values(TBrokenFilterCase{"QuartzMissing", "mpeg1.mpg", "quartz.dll",
                                        TBrokenFilterCase::Remove, MM_E_READER},
                      TBrokenFilterCase{"QuartzGarbage", "mpeg2.mpg", "quartz.dll",
                                        TBrokenFilterCase::Garbage, MM_E_READER},
                      TBrokenFilterCase{"QuartzTruncated", "mpeg1.mpg", "quartz.dll",
                                        TBrokenFilterCase::Truncate, MM_E_READER},
                      TBrokenFilterCase{"SplitterMissing", "mpeg2.ts", "mpg2splt.ax",
                                        TBrokenFilterCase::Remove, MM_E_READER},
                      TBrokenFilterCase{"DecoderMissing", "mpeg2.mpg", "mcdsmpeg.ax",
                                        TBrokenFilterCase::Remove, MM_E_DECODER_PRE},
                      TBrokenFilterCase{"Mp4Truncated", "h264.mp4", "mp4splitter.ax",
                                        TBrokenFilterCase::Truncate, MM_E_READER},
                      TBrokenFilterCase{"FfdshowGarbage", "mpeg4.mp4", "ffdshow/ffdshow.ax",
                                        TBrokenFilterCase::Garbage, MM_E_DECODER_PRE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, ShortenedLibraryIsRecognisedBeforeLoading) {
    UseFilterCopy();
    std::string reason;
    EXPECT_TRUE(IsCompleteSharedObject(FilterFile("quartz.dll").string(), reason)) << reason;
    for (uintmax_t size : {uintmax_t{0}, uintmax_t{10}, uintmax_t{63}, uintmax_t{4096}}) {
        std::filesystem::resize_file(FilterFile("mcdsmpeg.ax"), size);
        EXPECT_FALSE(IsCompleteSharedObject(FilterFile("mcdsmpeg.ax").string(), reason)) << size;
    }
}

TEST_F(EngineTest, PrioritiesTryEntriesInOrderUntilOneBuilds) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    EXPECT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 2), MM_E_DECODER_PRI);
    EXPECT_TRUE(LogHas("MMEngine->LoadDecoder [PRI]: Empty priority list"));

    // an H.264 decoder cannot take MPEG-2 video, an unknown CLSID names nothing, then the
    // MPEG-2 decoder found by its name alone (GUID_NULL, other letter case) works
    TFilterLists lists;
    lists.MPEG2 = {"libav H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 decoder=" +
                       NameBasedGuid("avdec_h264"),
                   "Nothing=" + NameBasedGuid("no-such-decoder"),
                   "LIBAV MPEG-2 VIDEO DECODER={00000000-0000-0000-0000-000000000000}"};
    engine.SetPriorityLists(lists);
    EXPECT_EQ(engine.LoadMovie(Film("mpeg2.mpg"), 2), S_OK) << LogText();
    EXPECT_EQ(CountInLog("==> Loop entry.Index = "), 3);
    EXPECT_EQ(CountInLog("MMEngine->LoadDecoder [PRI]: BuildGraph FAILED"), 1);
    EXPECT_TRUE(LogHas("MMEngine->LoadDecoder [PRI]: No decoder"));
    EXPECT_TRUE(LogHas("==> Loop condition (Idx=3; Result=00000000) <=="));

    lists.MPEG2 = {"Broken=not a guid"};
    engine.SetPriorityLists(lists);
    EXPECT_THROW(engine.LoadMovie(Film("mpeg2.mpg"), 2), EConvertError);
    settings.SetFilterStrategy(2);
    EXPECT_EQ(engine.LoadMovieAuto(Film("mpeg2.mpg")), S_OK);
    EXPECT_TRUE(LogHas("MMEngine->LoadMovieAuto: " + Film("mpeg2.mpg") + ", 2"));
}

TEST(DecoderCatalogTest, GuidsRoundTripAndRejectMalformedText) {
    const std::string guid = NameBasedGuid("avdec_mpeg2video");
    EXPECT_EQ(guid, NameBasedGuid("avdec_mpeg2video"));
    EXPECT_NE(guid, NameBasedGuid("avdec_mpegvideo"));
    ASSERT_TRUE(ParseGuid(guid));
    EXPECT_EQ(FormatGuid(*ParseGuid(guid)), guid);
    EXPECT_EQ(FormatGuid(*ParseGuid("{feb50740-7bef-11ce-9bd9-0000e202599c}")),
              "{FEB50740-7BEF-11CE-9BD9-0000E202599C}");
    for (const char* bad :
         {"", "{}", "FEB50740-7BEF-11CE-9BD9-0000E202599C", "{FEB50740-7BEF-11CE-9BD9-0000E202599}",
          "{FEB50740-7BEF-11CE-9BD9+0000E202599C}", "{GEB50740-7BEF-11CE-9BD9-0000E202599C}"})
        EXPECT_FALSE(ParseGuid(bad)) << bad;
    EXPECT_TRUE(IsNullGuid(*ParseGuid("{00000000-0000-0000-0000-000000000000}")));
}

TEST(DecoderCatalogTest, ListsHoldTheSystemDecodersOfEachFormat) {
    const TFilterLists lists = EnumerateDecoderLists();
    const auto has = [](const std::vector<std::string>& list, const std::string& factory) {
        const std::string clsid = NameBasedGuid(factory);
        for (const std::string& entry : list)
            if (entry.size() > clsid.size() && entry.ends_with("=" + clsid))
                return true;
        return false;
    };
    EXPECT_TRUE(has(lists.MPEG1, "avdec_mpegvideo"));
    EXPECT_TRUE(has(lists.MPEG2, "avdec_mpeg2video"));
    EXPECT_TRUE(has(lists.MPEG4, "avdec_mpeg4"));
    EXPECT_TRUE(has(lists.MPEG4, "avdec_h264"));
    for (const std::string& entry : lists.MPEG2)
        EXPECT_EQ(entry.find("quartz"), std::string::npos); // rank NONE never listed
}

TEST_F(EngineTest, PredefinedMpeg4SwitchesTheDecoderKeyOnlyWhileBuilding) {
    TMMEngine engine(rmVMR, nullptr, settings);
    engine.SetPlayPauseStepMs(0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg4.mp4"), 1), S_OK);
    EXPECT_FALSE(OpenRegKey("\\Software\\GNU\\ffdshow", false));
    WriteRegInteger("\\Software\\GNU\\ffdshow", "divx", 0);
    ASSERT_EQ(engine.LoadMovie(Film("mpeg4.mp4"), 1), S_OK);
    EXPECT_EQ(ReadRegInteger("\\Software\\GNU\\ffdshow", "divx", -5), 0);
    WriteRegString("\\Software\\GNU\\ffdshow", "divx", "yes");
    EXPECT_THROW(engine.LoadMovie(Film("mpeg4.mp4"), 1), EConvertError);
    EXPECT_EQ(ReadRegString("\\Software\\GNU\\ffdshow", "divx", ""), "yes");
}

} // namespace
} // namespace kanvio::test
