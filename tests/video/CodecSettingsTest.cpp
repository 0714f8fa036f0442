#include "video/CodecSettings.h"

#include "foundation/KanvioToolkit.h"
#include "foundation/RegistryManager.h"
#include "tests/foundation/OrdinaryUser.h"
#include "tests/video/VideoTestSupport.h"
#include "video/DecoderCatalog.h"
#include "video/FilterPriorities.h"
#include "video/VideoCommands.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;
using TList = std::vector<std::string>;

TEST(CodecListEditingTest, UpDownAndRemoveKeepTheSelectionWithTheEntry) {
    enum TOperation { Up, Down, Remove };
    const struct {
        const char* what;
        TOperation operation;
        TList before;
        int selected;
        TList after;
        int selectedAfter;
    } cases[] = {
        {"up from the middle", Up, {"A", "B", "C"}, 1, {"B", "A", "C"}, 0},
        {"up at the top", Up, {"A", "B"}, 0, {"A", "B"}, 0},
        {"up without selection", Up, {"A", "B"}, -1, {"A", "B"}, -1},
        {"down from the middle", Down, {"A", "B", "C"}, 1, {"A", "C", "B"}, 2},
        {"down at the bottom", Down, {"A", "B"}, 1, {"A", "B"}, 1},
        {"down without selection", Down, {"A", "B"}, -1, {"A", "B"}, -1},
        {"down in an empty list", Down, {}, 0, {}, -1},
        {"remove the last", Remove, {"A", "B", "C"}, 2, {"A", "B"}, 0},
        {"remove the only", Remove, {"A"}, 0, {}, -1},
        {"remove without selection", Remove, {"A", "B"}, -1, {"A", "B"}, -1},
        {"remove beyond the end", Remove, {"A"}, 3, {"A"}, -1},
    };
    for (const auto& c : cases) {
        TList list = c.before;
        const int selected = c.operation == Up     ? MoveEntryUp(list, c.selected)
                             : c.operation == Down ? MoveEntryDown(list, c.selected)
                                                   : RemoveEntry(list, c.selected);
        EXPECT_EQ(list, c.after) << c.what;
        EXPECT_EQ(selected, c.selectedAfter) << c.what;
    }
}

TEST(CodecListEditingTest, EntryNameIsTheTextBeforeTheFirstEquals) {
    EXPECT_EQ(DecoderEntryName("MPEG Video=a={GUID}"), "MPEG Video");
    EXPECT_EQ(DecoderEntryName("no value"), "no value");
    EXPECT_EQ(DecoderEntryName("={GUID}"), "");
}

std::string ProbedElements(const std::string& film) {
    std::ostringstream out, err;
    EXPECT_EQ(RunProbeCommand({film, "--strategy", "2"}, out, err), 0) << err.str();
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("elements: ", 0) == 0)
            return line;
    return {};
}

// The decoder entry of an installed MPEG-2 decoder element.
std::string Mpeg2Entry(const std::string& factory) {
    for (const TDecoderEntry& decoder : DecodersForFormat(TMovieFormat::MPEG2))
        if (decoder.Factory == factory)
            return decoder.FriendlyName + "=" + decoder.Clsid;
    return {};
}

TEST_F(EngineTest, StoredDecoderOrderChoosesTheDecoderTheProbeLoads) {
    const std::string first = Mpeg2Entry("avdec_mpeg2video");
    const std::string second = Mpeg2Entry("mpeg2dec");
    if (first.empty() || second.empty())
        GTEST_SKIP() << "needs two installed MPEG-2 decoders";
    TFilterLists lists;
    lists.MPEG2 = {second, first};
    SaveFilterPriorities(lists);
    EXPECT_NE(ProbedElements(Film("mpeg2.mpg")).find("mpeg2dec"), std::string::npos);

    lists.MPEG2 = {first, second};
    SaveFilterPriorities(lists);
    const std::string elements = ProbedElements(Film("mpeg2.mpg"));
    EXPECT_NE(elements.find("avdec_mpeg2video"), std::string::npos) << elements;
    EXPECT_EQ(elements.find("mpeg2dec"), std::string::npos) << elements;

    // Nothing stored: the priority strategy has no decoder to try.
    SaveFilterPriorities(TFilterLists{});
    std::ostringstream out, err;
    EXPECT_EQ(RunProbeCommand({Film("mpeg2.mpg"), "--strategy", "2"}, out, err), 1);
    EXPECT_NE(err.str().find("MM_E_DECODER_PRI"), std::string::npos) << err.str();
}

TEST_F(EngineTest, DialogListsPutStoredDecodersFirstAndDropRemovedOnes) {
    const TFilterLists installed = EnumerateDecoderLists();
    ASSERT_GE(installed.MPEG2.size(), 2u);
    TFilterLists stored;
    stored.MPEG2 = {installed.MPEG2[1], "Removed decoder={00000000-0000-0000-0000-000000000001}"};
    SaveFilterPriorities(stored);

    const TFilterLists saved = GetFilterLists(false);
    EXPECT_EQ(saved.MPEG2, TList{installed.MPEG2[1]});
    EXPECT_TRUE(saved.MPEG1.empty());
    const TFilterLists all = GetFilterLists(true);
    ASSERT_EQ(all.MPEG2.size(), installed.MPEG2.size());
    EXPECT_EQ(all.MPEG2[0], installed.MPEG2[1]);
    EXPECT_EQ(all.MPEG1, installed.MPEG1);
    EXPECT_TRUE(LogHas("the decoder \"Removed decoder={00000000-0000-0000-0000-000000000001}\" "
                       "is not installed and left out"));
    EXPECT_FALSE(AllListsEmpty(all));
    EXPECT_TRUE(AllListsEmpty(TFilterLists{}));
}

// Decoder lists for everyone are an administrator's matter: an ordinary user reads them
// from the machine scope but cannot replace them, and without them has none.
TEST_F(EngineTest, OrdinaryUsersReadTheMachineWideOrderButCannotReplaceIt) {
    const TFilterLists installed = EnumerateDecoderLists();
    ASSERT_GE(installed.MPEG2.size(), 2u);
    TFilterLists machineWide;
    machineWide.MPEG2 = {installed.MPEG2[1]};
    TFilterLists other;
    other.MPEG2 = {installed.MPEG2[0], installed.MPEG2[1]};
    // Read-only machine scope: also when the tests run under an ordinary id already.
    const auto machineScopeMode = [&](mode_t mode) {
        for (const fs::path& folder : {env.machineConfig(), env.machineConfig() / "Orbelin"})
            if (fs::exists(folder))
                ::chmod(folder.c_str(), mode);
    };
    const auto prepareForOrdinaryUser = [&] {
        test::GiveToOrdinaryUser(env.userConfig());
        test::GiveToOrdinaryUser(env.state());
        machineScopeMode(0555);
    };

    // Nothing stored anywhere: no list, and nothing can be stored.
    prepareForOrdinaryUser();
    EXPECT_EQ(test::RunAsOrdinaryUser([&] {
                  ReopenRegistryStore();
                  if (IsUserAdministrator())
                      return 1;
                  if (!AllListsEmpty(LoadFilterPriorities(installed, true)))
                      return 2;
                  SaveFilterPriorities(other);
                  return AllListsEmpty(LoadFilterPriorities(installed, true)) ? 0 : 3;
              }),
              0);
    machineScopeMode(0755);
    env.reopenRegistry();

    // An administrator's lists, kept in the machine scope only.
    ASSERT_TRUE(RegistryWritesMachineScope());
    SaveFilterPriorities(machineWide);
    fs::remove(env.userStore());
    const std::string stored = ReadFile(env.machineStore());
    prepareForOrdinaryUser();
    EXPECT_EQ(test::RunAsOrdinaryUser([&] {
                  ReopenRegistryStore();
                  if (LoadFilterPriorities(installed, false) != machineWide)
                      return 1;
                  SaveFilterPriorities(other);
                  return LoadFilterPriorities(installed, false) == machineWide ? 0 : 2;
              }),
              0);
    machineScopeMode(0755);
    EXPECT_EQ(ReadFile(env.machineStore()), stored);
}

TEST_F(EngineTest, ProbeRefusesABadStrategy) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{Film("mpeg2.mpg"), "--strategy", "3"},
          std::vector<std::string>{Film("mpeg2.mpg"), "--strategy", "x"},
          std::vector<std::string>{Film("mpeg2.mpg"), "--rate", "2"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunProbeCommand(args, out, err), 2) << args[1] << " " << args[2];
        EXPECT_NE(err.str().find("usage: kanvio --probe FILM [--strategy 0|1|2]"),
                  std::string::npos);
    }
}

} // namespace
} // namespace kanvio::test
