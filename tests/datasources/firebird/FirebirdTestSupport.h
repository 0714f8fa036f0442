#pragma once

#include "core/KanvioDataModel.h"
#include "foundation/UserDialogs.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kanvio::test {

// Records the messages a data source shows; every question is answered "no".
class RecordingDialogs final : public IUserDialogs {
public:
    void ShowMessage(TMessageKind kind, const std::string& text) override {
        Messages.emplace_back(kind, text);
    }
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> AskSaveFileName(const std::string&, const std::string&,
                                               const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::pair<TMessageKind, std::string>> Messages;
};

// The language texts the data source uses, as a German delivery has them.
inline constexpr const char* DownstreamText = "in Flie\xdf"
                                              "richtung";
inline constexpr const char* StretchStartText = "Streckenschaden Anfang";
inline constexpr const char* StretchEndText = "Streckenschaden Ende";
inline constexpr const char* WholeReachText = "ganze Haltung";
inline constexpr const char* WholeTubeText = "ganzes Rohr";
inline constexpr const char* FromText = "von";
inline constexpr const char* ToText = "bis";
inline constexpr const char* LengthErrorText = "Untersuchungsl\xe4nge fehlerhaft";

// Each test gets its own program folder with a language file, its own temporary folder
// and a log at debug level, so the data source's log lines can be read back.
class FirebirdTest : public IsolatedTest {
protected:
    FirebirdTest();
    ~FirebirdTest() override;

    std::string DatabaseFile() const { return (env.programFolder() / "Kanvio.dat").string(); }
    std::filesystem::path TempFolder() const { return env.root() / "tmp"; }
    // Where the private copies of the database go.
    std::filesystem::path CopyFolder() const { return env.cache() / "kanvio"; }
    std::string LogText() const;
    // The private copies are gone, and no file of this process still points at one (an
    // attachment left open would).
    void ExpectNoCopyLeft() const;

    // Writes the delivery as the program folder's database and reads it back.
    TKanvioDataModel WriteAndBuild(const generator::TDbDelivery& delivery,
                                   const generator::TDeliveryLayout& layout = {});
    TKanvioDataModel Build(const std::string& fileName);

    RecordingDialogs dialogs;

private:
    std::optional<std::string> previousTempFolder_;
};

// A reach with every column filled, and an observation with every column filled.
generator::TDbStructure SampleStructure(int64_t id);
generator::TDbObservation SampleObservation(std::string code);

} // namespace kanvio::test
