// The time correction of an observation: the settings file, the ZF file of the delivery
// (real files, the real ZF store) and the film's correction list, in every order.

#include "datasources/ZFTimeCodeStore.h"
#include "foundation/BigIniFile.h"
#include "foundation/KanvioToolkit.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"

#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

namespace kanvio::test {
namespace {

// Answers the dialog the way the test says, after the context opened it.
class ScriptedTimeCorrectionUi final : public ITimeCorrectionUi {
public:
    void ShowTimeCorrection(const TTimeCorrectionSubject& subject,
                            std::function<void(bool confirmed, int32_t seconds)> closed) override {
        shown.push_back(subject.Seconds);
        subjects.push_back(subject);
        pending = std::move(closed);
    }
    void Close(bool confirmed, int32_t seconds) {
        ASSERT_TRUE(pending) << "no dialog is open";
        auto closed = std::move(pending);
        pending = nullptr;
        closed(confirmed, seconds);
    }
    std::vector<int32_t> shown;
    std::vector<TTimeCorrectionSubject> subjects;
    std::function<void(bool, int32_t)> pending;
};

const char* const kZFFile = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<Identifikation>\n"
                            "  <Untersuchung>\n"
                            "    <Film Filmname=\"a.mpg\">\n"
                            "      <Dauer>120</Dauer>\n"
                            "      <Offset>\n"
                            "        <TcFrameNr>100</TcFrameNr>\n"
                            "        <MPEGFrameNr>100</MPEGFrameNr>\n"
                            "      </Offset>\n"
                            "    </Film>\n"
                            "    <Film Filmname=\"b.mpg\">\n"
                            "      <Dauer>120</Dauer>\n"
                            "    </Film>\n"
                            "  </Untersuchung>\n"
                            "</Identifikation>\n";

// Reach R1 (ID 7) has two films, a.mpg from 00:00:00 to 00:02:00 and b.mpg from there to
// 00:04:00; reach R2 (ID 8) has c.mpg from 00:04:00 to 00:05:00.
class TimeCorrectionTest : public ContextTest {
protected:
    static constexpr const char* kFilms = "[FILME]\nCount=3\n"
                                          "1=a.mpg;00:00:00;00:02:00;120;H;7\n"
                                          "2=b.mpg;00:02:00;00:04:00;120;H;7\n"
                                          "3=c.mpg;00:04:00;00:05:00;60;H;8\n";
    void Start(const std::string& data = "[DATA]\nQE_ISYBAU=zf.xml\n",
               const std::string& films = kFilms) {
        auto r1 = MakeStructure('H', "R1", {"00:01:00", "00:03:00", "00:06:00"}, "7");
        r1->Details[0].Text = "(BCDA) Rohranfang";
        r1->Details[0].Distance = 12.63;
        sources.model.Reaches = {r1, MakeStructure('H', "R2", {"00:04:30"}, "8")};
        WriteFile(env.programFolder() / "Kanvio.dat", "x");
        WriteSettings(data + films + "[common]\nLengthUnit=m\nLengthFormat=0.00\n");
        timeCorrectionUi = &ui;
        timeCodes = &store;
        context = CreateContext();
        context->SetPlayerWindows(&layout);
    }
    TReachData* Reach(size_t index) const { return context->Reaches[index].get(); }
    // Opens the dialog on an observation of R1 at time while film (0-based) is loaded,
    // and closes it.
    void Correct(int film, const std::string& time, bool confirmed, int32_t seconds) {
        context->FilmIndex = film;
        context->FilmName = context->PlayList[static_cast<size_t>(film)].FileName;
        context->CurrentStructure = Reach(0);
        context->CurrentDetail = TReachDetail{};
        context->CurrentDetail.VideoTime = time;
        context->CurrentDetailStructure = Reach(0);
        context->ShowTimeCorrection();
        ui.Close(confirmed, seconds);
    }
    std::string Settings() const { return ReadFile(projectFolder() / "Kanvio.ini"); }
    std::string ZF() const { return ReadFile(env.programFolder() / "zf.xml"); }
    static std::string Offset(int tc, int mpeg) {
        return "<Offset>\n        <TcFrameNr>" + std::to_string(tc) +
               "</TcFrameNr>\n        <MPEGFrameNr>" + std::to_string(mpeg) +
               "</MPEGFrameNr>\n      </Offset>";
    }

    ScriptedTimeCorrectionUi ui;
    TZFTimeCodeStore store;
    FakeLayout layout;
    std::unique_ptr<TKanvioContext> context;
};

TEST_F(TimeCorrectionTest, ConfirmedCorrectionReachesSettingsZFAndTheFilmsList) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    Correct(0, "00:01:00", true, 3);

    EXPECT_EQ(ui.shown, std::vector<int32_t>{0});
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_1", "00:01:00", ""), "3");
    const std::string zf = ZF();
    const auto existing = zf.find(Offset(100, 100));
    const auto added = zf.find(Offset(1500, 1575));
    ASSERT_NE(added, std::string::npos) << zf;
    EXPECT_LT(existing, added);
    EXPECT_EQ(context->PlayList[0].TimeCorrections, std::vector<std::string>{"00:01:00=3"});
    EXPECT_TRUE(context->PlayList[1].TimeCorrections.empty());
    EXPECT_TRUE(dialogs.messages.empty());

    // The next opening shows what was stored.
    Correct(0, "00:01:30", false, 0);
    EXPECT_EQ(ui.shown.back(), 3);
}

TEST_F(TimeCorrectionTest, ClosingWithoutOkChangesNothing) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    const std::string settingsBefore = Settings();
    Correct(0, "00:01:00", false, 3);
    EXPECT_EQ(Settings(), settingsBefore);
    EXPECT_EQ(ZF(), kZFFile);
    EXPECT_TRUE(context->PlayList[0].TimeCorrections.empty());
}

TEST_F(TimeCorrectionTest, RepeatedAndNegativeCorrectionsOfOneObservation) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    Correct(0, "00:00:02", true, 3);
    Correct(0, "00:00:02", true, -5);
    Correct(0, "00:00:02", true, -5); // unchanged, still stored

    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_1", "00:00:02", ""), "-5");
    EXPECT_EQ(context->PlayList[0].TimeCorrections, std::vector<std::string>{"00:00:02=-5"});
    // Each confirmation adds an entry; the newest of one time code stands first.
    const std::string zf = ZF();
    const auto newest = zf.find(Offset(50, -75));
    const auto older = zf.find(Offset(50, -75), newest + 1);
    const auto oldest = zf.find(Offset(50, 125));
    const auto original = zf.find(Offset(100, 100));
    ASSERT_NE(older, std::string::npos) << zf;
    EXPECT_LT(newest, older);
    EXPECT_LT(older, oldest);
    EXPECT_LT(oldest, original);
    context->FilmIndex = 0;
    context->CurrentDetail.VideoTime = "00:00:02";
    EXPECT_EQ(context->GetCurrentTimeCorrection(), -5);
}

TEST_F(TimeCorrectionTest, CorrectionsAtFilmBoundariesStayWithTheirFilm) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    Correct(0, "00:02:00", true, 2); // last second of the first film
    Correct(1, "00:02:00", true, 7); // first second of the second film
    Correct(1, "00:04:00", true, -1);

    EXPECT_EQ(context->PlayList[0].TimeCorrections, std::vector<std::string>{"00:02:00=2"});
    EXPECT_EQ(context->PlayList[1].TimeCorrections,
              (std::vector<std::string>{"00:02:00=7", "00:04:00=-1"}));
    context->FilmIndex = 1;
    for (const auto& [time, expected] : std::vector<std::pair<std::string, int>>{
             {"00:01:59", 0}, {"00:02:00", 7}, {"00:03:59", 7}, {"00:04:00", -1}}) {
        context->CurrentDetail.VideoTime = time;
        EXPECT_EQ(context->GetCurrentTimeCorrection(), expected) << time;
    }
    const std::string zf = ZF();
    const auto filmB = zf.find("Filmname=\"b.mpg\"");
    EXPECT_LT(zf.find(Offset(3000, 3050)), filmB);
    EXPECT_GT(zf.find(Offset(3000, 3175)), filmB);
    EXPECT_GT(zf.find(Offset(6000, 5975)), zf.find(Offset(3000, 3175)));
}

TEST_F(TimeCorrectionTest, WithoutZFFileOnlyTheSettingsChange) {
    Start("");
    EXPECT_EQ(context->ZFFileName, "notexistingfile");
    Correct(0, "00:01:00", true, 3);
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_1", "00:01:00", ""), "3");
    EXPECT_TRUE(dialogs.messages.empty());
}

// A film list with gaps: the second film of the list is entry 7, and its corrections are
// those of section TIMECORR_7, also after the dialog stored a new one.
TEST_F(TimeCorrectionTest, CorrectionsGoToTheFilmsEntryNumber) {
    Start("", "[FILME]\nCount=9\n"
              "2=a.mpg;00:00:00;00:02:00;120;H;7\n"
              "7=b.mpg;00:02:00;00:04:00;120;H;7\n");
    Correct(1, "00:03:00", true, 4);
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_7", "00:03:00", ""), "4");
    EXPECT_FALSE(written.SectionExists("TIMECORR_2"));
    EXPECT_EQ(context->PlayList[1].TimeCorrections, std::vector<std::string>{"00:03:00=4"});
    EXPECT_TRUE(context->PlayList[0].TimeCorrections.empty());
}

TEST_F(TimeCorrectionTest, NothingOpensOrIsWrittenFromADisc) {
    Start();
    context->RunsFromCD = true;
    context->CurrentDetail.VideoTime = "00:01:00";
    context->ShowTimeCorrection();
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(layout.video.calls.empty());
}

TEST_F(TimeCorrectionTest, StoreFailuresAreShownAndTheOtherStoreStillWritten) {
    // A ZF file that is no XML: the settings get the correction, the user hears of the
    // ZF file.
    WriteFile(env.programFolder() / "zf.xml", "not xml <");
    Start();
    Correct(0, "00:01:00", true, 3);
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_1", "00:01:00", ""), "3");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
    EXPECT_NE(dialogs.messages[0].second.find("zf.xml"), std::string::npos);
    EXPECT_EQ(ZF(), "not xml <");
}

TEST_F(TimeCorrectionTest, FrameNumbersBeyondTheFileRangeAreRefused) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    Correct(0, "00:01:00", true, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ZF(), kZFFile);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].second.find("zf.xml"), std::string::npos);
}

TEST_F(TimeCorrectionTest, NoObservationTimeNoEntry) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    const std::string settingsBefore = Settings();
    Correct(0, "", true, 3);
    EXPECT_EQ(Settings(), settingsBefore);
    EXPECT_EQ(ZF(), kZFFile);
}

TEST_F(TimeCorrectionTest, ReadOnlySettingsFileIsNotReplaced) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    const auto ini = projectFolder() / "Kanvio.ini";
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
    if (::access(ini.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "running as a user who may write any file";
    }
    const std::string before = Settings();
    Correct(0, "00:01:00", true, 3);
    EXPECT_EQ(Settings(), before);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_NE(dialogs.messages[0].second.find("Kanvio.ini"), std::string::npos);
}

// Playback has left the observation's film: the correction still goes to the film that
// shows the observation, and the jump back loads that film again.
TEST_F(TimeCorrectionTest, CorrectionGoesToTheFilmShowingTheObservation) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    context->CurrentStructure = Reach(0);
    context->SeekDetail(0); // 00:01:00 in a.mpg
    struct Case {
        const char* name;
        int playing; // film index playback has moved on to
    };
    for (const Case& c : {Case{"next film of the reach", 1}, Case{"film of another reach", 2}}) {
        SCOPED_TRACE(c.name);
        context->PlayFilmIndex(c.playing);
        ASSERT_EQ(context->FilmIndex, c.playing);
        context->ShowTimeCorrection();
        ASSERT_FALSE(ui.subjects.empty());
        EXPECT_EQ(ui.subjects.back().FilmName, "a.mpg");
        ui.Close(true, 3);
        EXPECT_EQ(context->PlayList[0].TimeCorrections, std::vector<std::string>{"00:01:00=3"});
        EXPECT_TRUE(context->PlayList[1].TimeCorrections.empty());
        EXPECT_TRUE(context->PlayList[2].TimeCorrections.empty());
        // Back at the observation, in its own reach.
        EXPECT_EQ(ExtractFileName(layout.video.loads.back()), "a.mpg");
        EXPECT_EQ(layout.video.seeks.back(), 60000);
        EXPECT_EQ(context->CurrentStructure, Reach(0));
    }
    TBigIniFile written((projectFolder() / "Kanvio.ini").string());
    EXPECT_EQ(written.ReadString("TIMECORR_1", "00:01:00", ""), "3");
    EXPECT_FALSE(written.SectionExists("TIMECORR_2"));
    EXPECT_FALSE(written.SectionExists("TIMECORR_3"));
    // The time-code entry belongs to a.mpg, before b.mpg's element.
    const std::string zf = ZF();
    const auto added = zf.find(Offset(1500, 1575));
    ASSERT_NE(added, std::string::npos) << zf;
    EXPECT_LT(added, zf.find("Filmname=\"b.mpg\""));
}

TEST_F(TimeCorrectionTest, WithoutAFilmHoldingTheTimeNothingIsStored) {
    WriteFile(env.programFolder() / "zf.xml", kZFFile);
    Start();
    const std::string settingsBefore = Settings();
    context->CurrentStructure = Reach(0);
    context->SeekDetail(2); // 00:06:00: after every film of the reach
    const size_t loads = layout.video.loads.size();
    context->ShowTimeCorrection();
    ASSERT_EQ(ui.subjects.size(), 1u);
    EXPECT_EQ(ui.subjects[0].FilmName, "");
    EXPECT_EQ(ui.subjects[0].VideoTime, "00:06:00");
    ui.Close(true, 4); // even a confirmation that got through stores nothing
    EXPECT_EQ(Settings(), settingsBefore);
    EXPECT_EQ(ZF(), kZFFile);
    for (const auto& film : context->PlayList) {
        EXPECT_TRUE(film.TimeCorrections.empty());
    }
    EXPECT_EQ(layout.video.loads.size(), loads);
    EXPECT_TRUE(dialogs.messages.empty());
}

// The dialog does not wait: choosing another observation meanwhile does not move the
// correction to it.
TEST_F(TimeCorrectionTest, TheCorrectionStaysWithTheObservationItWasOpenedFor) {
    Start("");
    context->CurrentStructure = Reach(0);
    context->SeekDetail(0);
    context->ShowTimeCorrection();
    context->SeekDetail(1); // 00:03:00 in b.mpg
    ui.Close(true, -2);
    EXPECT_EQ(context->PlayList[0].TimeCorrections, std::vector<std::string>{"00:01:00=-2"});
    EXPECT_TRUE(context->PlayList[1].TimeCorrections.empty());
}

TEST_F(TimeCorrectionTest, TheDialogNamesObservationAndFilm) {
    Start();
    context->CurrentStructure = Reach(0);
    context->SeekDetail(1);
    context->ShowTimeCorrection();
    ui.Close(true, 5);
    context->SeekDetail(0);
    context->ShowTimeCorrection();
    context->SeekDetail(1);
    context->ShowTimeCorrection();
    ASSERT_EQ(ui.subjects.size(), 3u);
    const TTimeCorrectionSubject& first = ui.subjects[1];
    EXPECT_EQ(first.Structure, context->Texts().Reach + " R1");
    EXPECT_EQ(first.Distance, 12.63);
    EXPECT_EQ(first.LengthFormat, "0.00");
    EXPECT_EQ(first.LengthUnit, "m");
    EXPECT_EQ(first.Code, "BCDA"); // from the text, where ISYBAU observations keep it
    EXPECT_EQ(first.VideoTime, "00:01:00");
    EXPECT_EQ(first.FilmName, "a.mpg");
    EXPECT_EQ(first.Seconds, 0);
    EXPECT_EQ(ui.subjects[2].FilmName, "b.mpg");
    EXPECT_EQ(ui.subjects[2].Seconds, 5); // what was stored for it
}

} // namespace
} // namespace kanvio::test
