#include "tests/core/ContextTestSupport.h"

#include "foundation/Logging.h"

namespace kanvio::test {

ContextTest::ContextTest() {
    cwd_ = std::make_unique<ScopedCurrentDirectory>(project_.path());
}

ContextTest::~ContextTest() {
    AppLog.reset();
}

void ContextTest::WriteSettings(const std::string& text, const std::string& name) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    WriteFile(project_.path() / name, crlf);
}

std::unique_ptr<TKanvioContext> ContextTest::CreateContext(bool headless) {
    TContextServices services;
    services.Dialogs = &dialogs;
    services.StartupUi = &startupUi;
    services.DataSources = &sources;
    services.Headless = headless;
    services.Printers = printers;
    services.TimeCorrectionUi = timeCorrectionUi;
    services.TimeCodes = timeCodes;
    auto context = std::make_unique<TKanvioContext>(services);
    context->Create();
    if (!keepNoProjectDataNotice) {
        std::erase_if(dialogs.messages, [](const auto& message) {
            return message.second.rfind("_NoProjectData", 0) == 0;
        });
    }
    return context;
}

TReachDataRef ContextTest::MakeStructure(char type, std::string number,
                                         std::vector<std::string> videoTimes, std::string id) {
    auto structure = std::make_shared<TReachData>();
    structure->ObjectType = type;
    structure->ReachNumber = std::move(number);
    structure->ID = std::move(id);
    structure->EndDist = 2000;
    for (auto& time : videoTimes) {
        TReachDetail detail;
        detail.VideoTime = std::move(time);
        structure->Details.push_back(detail);
    }
    return structure;
}

} // namespace kanvio::test
