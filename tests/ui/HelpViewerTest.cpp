// The help item on a desktop as the user has it: with a program for HTML files, with
// xdg-open but nothing behind it, and with no launcher at all. The help file exists in
// every case, so the player never says it is missing.

#include "ui/HelpViewer.h"

#include "core/KanvioContext.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/support/TempDir.h"
#include "ui/QtDesktop.h"

#include <QTest>
#include <QTextBrowser>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;

// PATH holds only a folder of the test's own for the time of the object.
class ScopedPath {
public:
    explicit ScopedPath(const fs::path& folder) : old_(std::getenv("PATH")) {
        setenv("PATH", folder.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

class HelpViewerTest : public ContextTest {
protected:
    HelpViewerTest() {
        WriteFile(help_, "<html><head><title>Kanvio Hilfe</title></head>"
                         "<body><h1>Hilfe</h1><p>Doppelklick</p></body></html>");
    }
    // An xdg-open that notes the file it was given and ends with the exit code.
    void InstallLauncher(int exitCode) {
        const fs::path script = bin_.path() / "xdg-open";
        WriteFile(script, "#!/bin/sh\necho \"$1\" > '" + (bin_.path() / "asked").string() +
                              "'\nexit " + std::to_string(exitCode) + "\n");
        fs::permissions(script, fs::perms::owner_all);
    }
    std::string AskedFile() const {
        std::ifstream in(bin_.path() / "asked");
        std::string line;
        std::getline(in, line);
        return line;
    }
    // The help item, with the real desktop.
    void OpenHelp(TQtDesktop& desktop) {
        TContextServices services;
        services.Dialogs = &dialogs;
        services.DataSources = &sources;
        services.Desktop = &desktop;
        TKanvioContext context(services);
        context.Create();
        dialogs.messages.clear(); // the empty project's notice
        context.OpenHelp();
    }

    const fs::path help_ = env.programFolder() / "de" / "help_de.html";
    TempDir bin_{"kanvio-bin"};
};

TEST_F(HelpViewerTest, WithoutAnyLauncherTheProgramShowsTheHelpItself) {
    TQtDesktop desktop;
    {
        ScopedPath path(bin_.path());
        OpenHelp(desktop);
    }
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().second;
    QTextBrowser* window = desktop.Viewer().OwnWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->toPlainText().contains("Doppelklick"));
    EXPECT_EQ(window->windowTitle(), "Kanvio Hilfe");
}

TEST_F(HelpViewerTest, LauncherWithoutAProgramForHtmlFallsBackToTheOwnWindow) {
    TQtDesktop desktop;
    ScopedPath path(bin_.path());
    InstallLauncher(3);
    OpenHelp(desktop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.Viewer().OwnWindow() != nullptr; }, 20000));
    EXPECT_EQ(AskedFile(), help_.string());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HelpViewerTest, DesktopProgramShowsTheHelpAndNoOwnWindowOpens) {
    TQtDesktop desktop;
    ScopedPath path(bin_.path());
    InstallLauncher(0);
    OpenHelp(desktop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !AskedFile().empty(); }, 20000));
    QTest::qWait(200); // the launcher's end reaches the viewer
    EXPECT_EQ(AskedFile(), help_.string());
    EXPECT_EQ(desktop.Viewer().OwnWindow(), nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(HelpViewerTest, OnlyAMissingFileIsReported) {
    fs::remove(help_);
    TQtDesktop desktop;
    ScopedPath path(bin_.path());
    InstallLauncher(0);
    OpenHelp(desktop);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second, "_HelpFileNotFound");
    EXPECT_TRUE(AskedFile().empty());
}

} // namespace
} // namespace kanvio::test
