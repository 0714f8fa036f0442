#pragma once

// A copy of the shared generated delivery as the program folder and working directory,
// with a debug log, and the main window on it: the start of every main-window test.

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/Logging.h"
#include "tests/core/FakePlayerWindows.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/IsolatedEnvironment.h"
#include "ui/KanvioMainForm.h"
#include "ui/ProgramEntry.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kanvio::test {

class MainFormTestFixture : public IsolatedTest {
protected:
    MainFormTestFixture() {
        namespace fs = std::filesystem;
        fs::copy(fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project", env.programFolder(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        cwd_ = std::make_unique<ScopedCurrentDirectory>(env.programFolder());
        logFile_ = env.state() / "main.log";
        EditSettings("LogLevel=0", "LogLevel=4\r\nLogFile=" + logFile_.string());
    }
    ~MainFormTestFixture() override {
        form_.reset();
        context_.reset();
        AppLog.reset();
    }

    // Replaces the first occurrence of from in the delivery's Kanvio.ini.
    void EditSettings(const std::string& from, const std::string& to) {
        const std::filesystem::path ini = env.programFolder() / "Kanvio.ini";
        std::string text = ReadFile(ini);
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        WriteFile(ini, text);
    }

    TKanvioContext& StartContext() {
        TContextServices services;
        services.Dialogs = &dialogs;
        services.DataSources = &sources;
        services.Desktop = &desktop;
        services.Printers = printers;
        context_ = CreatePlayerContext(services);
        EXPECT_TRUE(context_) << (dialogs.messages.empty() ? "" : dialogs.messages[0].second);
        context_->SetPlayerWindows(&layout);
        return *context_;
    }

    TKanvioMainForm& ShowForm(std::vector<std::string> arguments = {}) {
        if (!context_) {
            StartContext();
        }
        form_ = std::make_unique<TKanvioMainForm>(*context_, dialogs, std::move(arguments));
        context_->SetMainWindow(form_.get());
        form_->show();
        return *form_;
    }

    std::string Log() const { return std::filesystem::exists(logFile_) ? ReadFile(logFile_) : ""; }

    FakeDialogs dialogs;
    TDataSourceFactory sources{dialogs};
    FakeDesktop desktop;
    FakeLayout layout;
    IPrinters* printers = nullptr;
    std::unique_ptr<TKanvioContext> context_;
    std::unique_ptr<TKanvioMainForm> form_;

private:
    std::unique_ptr<ScopedCurrentDirectory> cwd_;
    std::filesystem::path logFile_;
};

} // namespace kanvio::test
