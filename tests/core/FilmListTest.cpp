#include "foundation/Logging.h"
#include "tests/core/ContextTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

class FilmListTest : public ContextTest {
protected:
    // The prepared model reaches the context through a database file beside the program.
    std::unique_ptr<TKanvioContext> CreateWithModel() {
        WriteFile(env.programFolder() / "Kanvio.dat", "x");
        return CreateContext();
    }
    std::string LogText() const { return ReadFile(env.state() / "film.log"); }
    std::string DebugSettings() const {
        return "[Debug]\nLogLevel=4\nLogFile=" + (env.state() / "film.log").string() + "\n";
    }
};

TEST_F(FilmListTest, ReadsEntriesTotalsAndTheEarliestStart) {
    WriteSettings("[FILME]\nCount=3\n"
                  "1=a.mpg;00:10:00;00:20:00;600;H;1\n"
                  "2=b.mpg;00:05:00;00:09:00;240;H;2\n"
                  "3=c.mpg;00:05:00;00:30:00;1500;A;3\n");
    auto context = CreateContext();
    ASSERT_TRUE(context->HasFilmList);
    ASSERT_EQ(context->FilmCount, 3);
    ASSERT_EQ(context->PlayList.size(), 3u);
    EXPECT_EQ(context->FilmName, "a.mpg");
    EXPECT_EQ(context->TotalFilmLength, 2340);
    EXPECT_EQ(context->FirstFilmStart, 300);
    EXPECT_EQ(context->LastFilmStop, 1800);
    // Of two equal earliest starts the first film in the list gives the start text.
    EXPECT_EQ(context->StartTimeText, "00:05:00");
    const TPlayListItem& second = context->PlayList[1];
    EXPECT_EQ(second.FileName, "b.mpg");
    EXPECT_EQ(second.StartTime, 300);
    EXPECT_EQ(second.StopTime, 540);
    EXPECT_EQ(second.StartText, "00:05:00");
    EXPECT_EQ(second.StructureType, "H");
    EXPECT_EQ(second.StructureID, "2");
    EXPECT_EQ(context->FilmIndex, 0);
    EXPECT_EQ(context->CachedPosition, 0);
}

TEST_F(FilmListTest, EmptyFilmSectionGivesAnEmptyList) {
    WriteSettings("[FILME]\n[DATA]\nFilmName=x.mpg\n");
    auto context = CreateContext();
    EXPECT_TRUE(context->HasFilmList);
    EXPECT_EQ(context->FilmCount, 0);
    EXPECT_EQ(context->FilmName, "ERROR");
}

TEST_F(FilmListTest, MalformedEntriesKeepTheOtherFilmsAndTheirNumbers) {
    WriteSettings(DebugSettings() + "[FILME]\nCount=4\n"
                                    "1=a.mpg;00:00:00;00:10:00;600\n"
                                    "2=b.mpg;0x:00:00;00:20:00;abc\n"
                                    "4=d.mpg;00:30:00;00:40:00;600\n"
                                    "[TIMECORR_3]\n00:00:00=9\n"
                                    "[TIMECORR_4]\n00:30:00=4\n");
    auto context = CreateContext();
    ASSERT_EQ(context->PlayList.size(), 3u);
    EXPECT_EQ(context->FilmCount, 4);
    const std::vector<std::pair<int32_t, bool>> numbersAndUsable = {
        {1, true}, {2, false}, {4, true}};
    for (size_t i = 0; i < numbersAndUsable.size(); ++i) {
        EXPECT_EQ(context->PlayList[i].Number, numbersAndUsable[i].first) << i;
        EXPECT_EQ(context->PlayList[i].Usable, numbersAndUsable[i].second) << i;
    }
    EXPECT_EQ(context->PlayList[2].FileName, "d.mpg");
    // Film 4 keeps its own corrections; those of the missing film 3 belong to nobody.
    EXPECT_EQ(context->PlayList[2].TimeCorrections, std::vector<std::string>{"00:30:00=4"});
    EXPECT_TRUE(context->PlayList[1].TimeCorrections.empty());
    EXPECT_EQ(context->TotalFilmLength, 1200);
    EXPECT_EQ(context->FirstFilmStart, 0);
    EXPECT_EQ(context->LastFilmStop, 2400);
    const std::string log = LogText();
    EXPECT_NE(log.find("[FILME] 2: '0x:00:00' to '00:20:00' is not a time range"),
              std::string::npos);
    EXPECT_NE(log.find("[FILME] 2: the film length 'abc' is not a number"), std::string::npos);
    EXPECT_NE(log.find(" [WARNING] " + context->SettingsFileName +
                       ": [FILME] Count is 4; film entries present: 3"),
              std::string::npos)
        << log;
}

// The list is made of the lines there are: a count far above them costs nothing, and the
// key of an entry is its number as the entry would be asked for.
TEST_F(FilmListTest, OnlyEntriesPresentUpToCountAreFilms) {
    const struct {
        const char* what;
        std::string section;
        std::vector<int32_t> numbers;
        std::vector<std::string> files;
        const char* warning; // the count line, or nullptr when none may be written
    } cases[] = {
        {"the largest count with one entry",
         "Count=2147483647\n1=a.mpg;00:00:00;00:10:00;600\n",
         {1},
         {"a.mpg"},
         "Count is 2147483647; film entries present: 1"},
        {"ten million with one entry far out",
         "Count=10000000\n9999999=z.mpg;00:00:00;00:10:00;600\n",
         {9999999},
         {"z.mpg"},
         "Count is 10000000; film entries present: 1"},
        {"entries beyond the count are left out",
         "Count=2\n1=a.mpg;00:00:00;00:10:00\n2=b.mpg;00:10:00;00:20:00\n3=c.mpg;1:0:0;2:0:0\n",
         {1, 2},
         {"a.mpg", "b.mpg"},
         nullptr},
        {"the file's order does not matter",
         "Count=3\n3=c.mpg;00:20:00;00:30:00\n1=a.mpg;00:00:00;00:10:00\n"
         "2=b.mpg;00:10:00;00:20:00\n",
         {1, 2, 3},
         {"a.mpg", "b.mpg", "c.mpg"},
         nullptr},
        {"the first of two lines with one number counts",
         "Count=1\n1=first.mpg;00:00:00;00:10:00\n1=second.mpg;00:00:00;00:10:00\n",
         {1},
         {"first.mpg"},
         nullptr},
        {"keys that are no plain number are no entries",
         "Count=5\n01=a.mpg;0:0:0;0:1:0\n 2=b.mpg;0:0:0;0:1:0\n3 =c.mpg;0:0:0;0:1:0\n"
         "-4=d.mpg;0:0:0;0:1:0\n0=e.mpg;0:0:0;0:1:0\n5=f.mpg;0:0:0;0:1:0\n; 4=x\n",
         {5},
         {"f.mpg"},
         "Count is 5; film entries present: 1"},
        {"a number beyond the 32-bit range",
         "Count=2147483647\n99999999999=a.mpg;0:0:0;0:1:0\n2147483647=b.mpg;0:0:0;0:1:0\n",
         {2147483647},
         {"b.mpg"},
         "Count is 2147483647; film entries present: 1"},
        {"a negative count reads no film", "Count=-3\n1=a.mpg;0:0:0;0:1:0\n", {}, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppLog.reset();
        std::filesystem::remove(env.state() / "film.log");
        WriteSettings(DebugSettings() + "[FILME]\n" + c.section);
        auto context = CreateContext();
        std::vector<int32_t> numbers;
        std::vector<std::string> files;
        for (const TPlayListItem& film : context->PlayList) {
            numbers.push_back(film.Number);
            files.push_back(film.FileName);
        }
        EXPECT_EQ(numbers, c.numbers);
        EXPECT_EQ(files, c.files);
        const std::string log = LogText();
        const size_t count = static_cast<size_t>(
            std::count_if(log.begin(), log.end(), [](char ch) { return ch == '\n'; }));
        if (c.warning != nullptr) {
            EXPECT_NE(
                log.find(" [WARNING] " + context->SettingsFileName + ": [FILME] " + c.warning),
                std::string::npos)
                << log;
        }
        EXPECT_EQ(log.find("[FILME] Count", log.find("[FILME] Count") + 1), std::string::npos)
            << "one line, not one per number: " << log;
        EXPECT_LT(count, 40u) << log;
    }
}

// Page Down goes to the next film there is, and a time correction is stored under the
// film's own number.
TEST_F(FilmListTest, NeighbouringFilmsSkipMissingNumbers) {
    WriteSettings("[FILME]\nCount=9\n"
                  "2=b.mpg;00:00:00;00:10:00;600\n"
                  "7=g.mpg;00:10:00;00:20:00;600\n"
                  "[TIMECORR_7]\n00:15:00=3\n");
    auto context = CreateContext();
    ASSERT_EQ(context->PlayList.size(), 2u);
    EXPECT_EQ(context->FilmName, "ERROR"); // entry 1 names the first film, and is missing
    context->PlayFilmIndex(1);
    EXPECT_EQ(context->FilmIndex, 1);
    EXPECT_EQ(context->FilmName, "g.mpg");
    EXPECT_EQ(context->PlayList[1].TimeCorrections, std::vector<std::string>{"00:15:00=3"});
    context->PlayFilmIndex(2); // beyond the last film: stays
    EXPECT_EQ(context->FilmIndex, 1);
}

TEST_F(FilmListTest, StructuresAreFoundByTypeWordAndId) {
    sources.model.Reaches = {MakeStructure('H', "R1", {}, "11"),
                             MakeStructure('H', "R2", {}, "12")};
    sources.model.Connections = {MakeStructure('A', "R1", {}, "12")};
    WriteSettings(DebugSettings() + "[FILME]\nCount=5\n"
                                    "1=a.mpg;00:00:00;00:10:00;600;Haltung;12\n"
                                    "2=b.mpg;00:10:00;00:20:00;600;anschluss;12\n"
                                    "3=c.mpg;00:20:00;00:30:00;600;p\xF8\xEDpojka;12\n"
                                    "4=d.mpg;00:30:00;00:40:00;600;pipe;12\n"
                                    "5=e.mpg;00:40:00;00:50:00;600;H;99\n");
    auto context = CreateWithModel();
    EXPECT_EQ(context->PlayList[0].Structure, context->Reaches[1].get());
    EXPECT_EQ(context->PlayList[1].Structure, context->Connections[0].get());
    EXPECT_EQ(context->PlayList[2].Structure, context->Connections[0].get());
    EXPECT_EQ(context->PlayList[3].Structure, nullptr);
    EXPECT_EQ(context->PlayList[4].Structure, nullptr);
    const std::string log = LogText();
    EXPECT_NE(log.find("[DEBUG] Finding: Haltung 12\r\n"), std::string::npos);
    EXPECT_NE(log.find("[DEBUG] Found: R2\r\n"), std::string::npos);
    EXPECT_NE(log.find("[FATAL] Structure not found!\r\n"), std::string::npos);
}

TEST_F(FilmListTest, OldEntriesAreLinkedByTheFirstObservationTime) {
    sources.model.Reaches = {MakeStructure('H', "R1", {}),
                             MakeStructure('H', "R2", {"00:15:00", "00:16:00"}),
                             MakeStructure('H', "R3", {"00:15:30"})};
    sources.model.Connections = {MakeStructure('A', "C1", {"00:25:00"}),
                                 MakeStructure('A', "C2", {"00:05:00"})};
    WriteSettings("[FILME]\nCount=4\n"
                  "1=a.mpg;00:10:00;00:20:00;600\n"
                  "2=b.mpg;00:20:00;00:30:00;600;;\n"
                  "3=c.mpg;00:00:00;00:20:00;600\n"
                  // Both borders are strict.
                  "4=d.mpg;00:15:00;00:15:30;30\n");
    auto context = CreateWithModel();
    EXPECT_EQ(context->PlayList[0].Structure, context->Reaches[1].get());
    EXPECT_EQ(context->PlayList[1].Structure, context->Connections[0].get());
    // A matching connection replaces the reach found before.
    EXPECT_EQ(context->PlayList[2].Structure, context->Connections[1].get());
    EXPECT_EQ(context->PlayList[3].Structure, nullptr);
}

TEST_F(FilmListTest, ObservationTimesMoveIntoTheirFilmsRange) {
    sources.model.Reaches = {
        MakeStructure('H', "R1", {"00:20:00", "01:59:59", "bad", "10:30:00"}, "1"),
        MakeStructure('H', "R2", {"00:20:00"}, "2")};
    WriteSettings("[FILME]\nCount=2\n"
                  "1=a.mpg;10:00:00;11:00:00;3600;H;1\n"
                  "2=b.mpg;20:00:00;21:00:00;3600;H;2\n");
    auto context = CreateWithModel();
    const auto& first = context->Reaches[0]->Details;
    EXPECT_EQ(first[0].VideoTime, "10:20:00");
    EXPECT_EQ(first[1].VideoTime, "01:59:59");
    EXPECT_EQ(first[2].VideoTime, "bad");
    EXPECT_EQ(first[3].VideoTime, "10:30:00");
    EXPECT_EQ(context->Reaches[1]->Details[0].VideoTime, "20:20:00");
}

// A film part found by ID moves its structure's times; a later part without ID finds the
// structure by the times as they are then.
TEST_F(FilmListTest, LaterOldEntriesSeeTimesMovedByEarlierFilms) {
    sources.model.Reaches = {MakeStructure('H', "R1", {"00:20:00"}, "1"),
                             MakeStructure('H', "R2", {"10:40:00"})};
    WriteSettings("[FILME]\nCount=3\n"
                  "1=a.mpg;10:00:00;10:30:00;1800;H;1\n"
                  "2=b.mpg;10:10:00;11:00:00;3000\n"
                  "3=c.mpg;00:10:00;00:30:00;1200\n");
    auto context = CreateWithModel();
    EXPECT_EQ(context->Reaches[0]->Details[0].VideoTime, "10:20:00");
    EXPECT_EQ(context->PlayList[1].Structure, context->Reaches[0].get());
    EXPECT_EQ(context->PlayList[2].Structure, nullptr);
}

TEST_F(FilmListTest, TimeCorrectionsApplyFromTheirTimeOnward) {
    const std::vector<std::string> corrections = {"00:10:00=5", "00:20:00=-3"};
    EXPECT_EQ(TKanvioContext::LookupTimeCorrection(corrections, 300), 0);
    EXPECT_EQ(TKanvioContext::LookupTimeCorrection(corrections, 600), 5);
    EXPECT_EQ(TKanvioContext::LookupTimeCorrection(corrections, 900), 5);
    EXPECT_EQ(TKanvioContext::LookupTimeCorrection(corrections, 1500), -3);
    EXPECT_EQ(TKanvioContext::LookupTimeCorrection({}, 1500), 0);
}

TEST_F(FilmListTest, CurrentCorrectionComesFromTheCurrentFilmsSortedList) {
    WriteSettings("[FILME]\nCount=2\n"
                  "1=a.mpg;00:00:00;00:30:00;1800\n"
                  "2=b.mpg;00:30:00;01:00:00;1800\n"
                  "[TIMECORR_2]\n00:50:00=-3\n00:40:00=5\n");
    auto context = CreateContext();
    EXPECT_EQ(context->PlayList[1].TimeCorrections,
              (std::vector<std::string>{"00:40:00=5", "00:50:00=-3"}));
    context->FilmIndex = 1;
    context->CurrentDetail.VideoTime = "  00:45:00";
    EXPECT_EQ(context->GetCurrentTimeCorrection(), 5);
    context->CurrentDetail.VideoTime = "00:55:00";
    EXPECT_EQ(context->GetCurrentTimeCorrection(), -3);
    context->FilmIndex = 0;
    EXPECT_EQ(context->GetCurrentTimeCorrection(), 0);
}

TEST_F(FilmListTest, MovedFilmsAreFoundBesideAndBelowTheProgram) {
    auto context = CreateContext();
    const auto program = env.programFolder();
    WriteFile(program / "Film1.MPG", "x");
    WriteFile(program / "films" / "film2.mpg", "x");
    // Not on a disc and not a drive letter: the entry is taken as written.
    EXPECT_EQ(context->ResolveFilmPath("/elsewhere/film1.mpg;00:00:00"), "/elsewhere/film1.mpg");
    // A drive letter never exists here, so the film has moved with the medium.
    EXPECT_EQ(context->ResolveFilmPath("D:\\Video\\film1.mpg;00:00:00"),
              (program / "Film1.MPG").string());
    EXPECT_EQ(context->ResolveFilmPath("d:\\Video\\FILM2.mpg"),
              (program / "films" / "film2.mpg").string());
    EXPECT_EQ(context->ResolveFilmPath("D:\\Video\\film3.mpg"), "D:\\Video\\film3.mpg");
    context->RunsFromCD = true;
    EXPECT_EQ(context->ResolveFilmPath("/elsewhere/film2.mpg"),
              (program / "films" / "film2.mpg").string());
    EXPECT_EQ(context->ResolveFilmPath("/elsewhere/film3.mpg"), "/elsewhere/film3.mpg");
}

TEST_F(FilmListTest, RelativeFilmNamesAreFoundWithoutRegardToCase) {
    WriteFile(projectFolder() / "Video" / "Film1.mpg", "x");
    auto context = CreateContext();
    const std::string resolved = context->ResolveFilmPath("video\\FILM1.MPG");
    ASSERT_TRUE(std::filesystem::exists(resolved)) << resolved;
    EXPECT_TRUE(std::filesystem::equivalent(resolved, projectFolder() / "Video" / "Film1.mpg"));
}

TEST_F(FilmListTest, StructureRangesListTheFilmsOfTheCurrentStructure) {
    sources.model.Reaches = {MakeStructure('H', "R1", {}, "7")};
    WriteFile(env.programFolder() / "de" / "lang_kanvio_de.ini",
              "[Messages]\r\n_Reach=Haltung\r\n");
    WriteSettings("[FILME]\nCount=4\n"
                  "1=a.mpg;01:00:00;02:00:00;3600;Haltung;7\n"
                  "2=b.mpg;00:00:10;00:10:00;590;H;7\n"
                  "3=c.mpg;02:00:00;03:00:00;3600;h;7\n"
                  "4=d.mpg;03:00:00;04:00:00;3600;A;7\n");
    auto context = CreateWithModel();
    context->CurrentStructure = context->Reaches[0].get();
    EXPECT_EQ(context->StructureRangeLines(),
              (std::vector<std::string>{"00000010=00000600", "00003600=00007200"}));
}

} // namespace
} // namespace kanvio::test
