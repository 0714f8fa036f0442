#pragma once

#include "core/ContextInterfaces.h"
#include "core/KanvioContext.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/IsolatedEnvironment.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kanvio::test {

// A data source that hands out a model the test prepared.
class PreparedSource final : public IDataTreeBuilder {
public:
    explicit PreparedSource(TKanvioDataModel model) : model_(std::move(model)) {}
    void BuildDataTree(TKanvioDataModel& model) override {
        model.Reaches = model_.Reaches;
        model.Connections = model_.Connections;
        model.Films = model_.Films;
        model.ManholeInspections = model_.ManholeInspections;
    }

private:
    TKanvioDataModel model_;
};

// Records which data source the context asked for and answers with a prepared model.
class RecordingSourceFactory final : public IDataSourceFactory {
public:
    TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) override {
        requests.push_back("database:" + databaseFileName);
        return std::make_shared<PreparedSource>(model);
    }
    TDataTreeBuilderRef CreateServerDatabaseSource(const std::string& address,
                                                   const std::string& settingsFileName) override {
        requests.push_back("server:" + address + "|" + settingsFileName);
        return std::make_shared<PreparedSource>(model);
    }
    TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                           const std::string& connectionFileName) override {
        requests.push_back("isybau:" + reachFileName + "|" + connectionFileName);
        return std::make_shared<PreparedSource>(model);
    }
    bool IsIsybauXml(const std::string& fileName) override { return fileName.ends_with(".xml"); }
    std::string FindIsybauXml(const std::string& /*folder*/) override { return xmlInFolder; }
    TDataTreeBuilderRef CreateIsybauXmlSource(const std::string& fileName) override {
        requests.push_back("isybau-xml:" + fileName);
        return std::make_shared<PreparedSource>(model);
    }
    TKanvioDataModel model;
    std::vector<std::string> requests;
    std::string xmlInFolder; // what FindIsybauXml answers
};

class ScriptedStartupUi final : public IStartupUi {
public:
    int AskLayoutMode() override {
        ++asked;
        return answer;
    }
    int answer = 0;
    int asked = 0;
};

// A project folder as working directory, a program folder, isolated settings stores and
// fakes for the windows' side.
class ContextTest : public IsolatedTest {
protected:
    ContextTest();
    ~ContextTest() override;

    // Writes Kanvio.ini (Windows-1252 bytes, CR LF as the deliveries have it).
    void WriteSettings(const std::string& text, const std::string& name = "Kanvio.ini");
    std::filesystem::path projectFolder() const { return project_.path(); }
    std::unique_ptr<TKanvioContext> CreateContext(bool headless = false);
    static TReachDataRef MakeStructure(char type, std::string number,
                                       std::vector<std::string> videoTimes, std::string id = {});

    FakeDialogs dialogs;
    ScriptedStartupUi startupUi;
    RecordingSourceFactory sources;
    // Set before CreateContext by the tests that print or correct times.
    IPrinters* printers = nullptr;
    ITimeCorrectionUi* timeCorrectionUi = nullptr;
    ITimeCodeStore* timeCodes = nullptr;
    // Most tests start without project data on purpose; the notice that says so is kept
    // only for the tests about it.
    bool keepNoProjectDataNotice = false;

private:
    TempDir project_{"kanvio-project"};
    std::unique_ptr<ScopedCurrentDirectory> cwd_;
};

} // namespace kanvio::test
