#include "tests/datasources/firebird/FirebirdTestSupport.h"

#include "datasources/FirebirdDataTreeBuilder.h"
#include "foundation/Logging.h"

#include <cstdlib>

namespace kanvio::test {

FirebirdTest::FirebirdTest() {
    std::filesystem::create_directories(TempFolder());
    if (const char* previous = std::getenv("TMPDIR"))
        previousTempFolder_ = previous;
    setenv("TMPDIR", TempFolder().c_str(), 1);
    WriteFile(env.programFolder() / "lang_kanvio_de.ini",
              std::string("[Messages]\r\n") + "_Downstream=" + DownstreamText + "\r\n" +
                  "_StrSchStart=" + StretchStartText + "\r\n" + "_StrSchEnd=" + StretchEndText +
                  "\r\n" + "_StrSchWholeReach=" + WholeReachText + "\r\n" + "_StrSchWholeTube=" +
                  WholeTubeText + "\r\n" + "_FromPosition=" + FromText + "\r\n" + "_to=" + ToText +
                  "\r\n" + "_InspectionLengthIncorrect=" + LengthErrorText + "\r\n" +
                  "_Reach=Haltung\r\n_Connection=Anschluss\r\n");
    AppLog = std::make_unique<TLog>((env.state() / "kanvio.log").string(), LOG_DEBUG, dialogs);
}

FirebirdTest::~FirebirdTest() {
    AppLog.reset();
    // The next test's folders are made before its constructor runs.
    if (previousTempFolder_)
        setenv("TMPDIR", previousTempFolder_->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

std::string FirebirdTest::LogText() const {
    const auto file = env.state() / "kanvio.log";
    return std::filesystem::exists(file) ? ReadFile(file) : std::string();
}

void FirebirdTest::ExpectNoCopyLeft() const {
    const std::string folder = CopyFolder().string() + "/";
    if (std::filesystem::exists(CopyFolder()))
        for (const auto& entry : std::filesystem::directory_iterator(CopyFolder()))
            ADD_FAILURE() << "left behind: " << entry.path();
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored; // a descriptor closed meanwhile
        const std::string target = std::filesystem::read_symlink(entry.path(), ignored).string();
        EXPECT_NE(target.rfind(folder, 0), 0u) << "still open: " << target;
    }
}

TKanvioDataModel FirebirdTest::WriteAndBuild(const generator::TDbDelivery& delivery,
                                             const generator::TDeliveryLayout& layout) {
    generator::WriteDeliveryDatabase(DatabaseFile(), delivery, layout);
    return Build(DatabaseFile());
}

TKanvioDataModel FirebirdTest::Build(const std::string& fileName) {
    TKanvioDataModel model;
    TFirebirdDataTreeBuilder(fileName, dialogs).BuildDataTree(model);
    return model;
}

generator::TDbStructure SampleStructure(int64_t id) {
    generator::TDbStructure s;
    s.LFDNR = id;
    s.Stadt = "K\xf6ln";
    s.Datum = "01.03.2024";
    s.Strasse = "Stra\xdf"
                "e " +
                std::to_string(id);
    s.HaltungsNr = "H" + std::to_string(id);
    s.AnschlNr = "A" + std::to_string(id);
    s.AnfSchacht = "S" + std::to_string(id);
    s.EndSchacht = "S" + std::to_string(id + 1);
    s.Untersuchl = "42,5";
    s.Fliessr = "IN";
    s.VideoB = "Band " + std::to_string(id);
    s.Kennz = "K" + std::to_string(id);
    s.Untersa = "TV";
    return s;
}

generator::TDbObservation SampleObservation(std::string code) {
    generator::TDbObservation o;
    o.StatAnf = "3,25";
    o.VideoZ = "00:01:02";
    o.Text = "Riss";
    o.KZL = std::move(code);
    o.Mass1 = "5";
    o.Einheit1 = "mm";
    o.Klasse = "2";
    return o;
}

} // namespace kanvio::test

#if defined(__SANITIZE_ADDRESS__)
// The leak checker walks the dynamic thread-local storage of the engine's modules, which
// the engine unloads as it shuts down, and crashes on it; leak checking itself stays on.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
#endif
