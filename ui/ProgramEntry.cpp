#include "ui/ProgramEntry.h"

#include "core/KanvioContext.h"
#include "core/QtStartupUi.h"
#include "core/RecentDeliveries.h"
#include "core/SplashForm.h"
#include "datasources/DataSourceFactory.h"
#include "datasources/ZFTimeCodeStore.h"
#include "foundation/AnsiText.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "ui/CommandLine.h"
#include "ui/DeliveryCommands.h"
#include "ui/KanvioMainForm.h"
#include "ui/KanvioSingleForm.h"
#include "ui/QtDesktop.h"
#include "ui/QtPrinters.h"
#include "ui/QtUserDialogs.h"
#include "ui/ReportCommand.h"
#include "ui/SteeringForm.h"
#include "ui/TCForm.h"
#include "ui/ThreeWindowLayout.h"
#include "ui/ToolkitTranslations.h"
#include "ui/WidgetTextDump.h"
#include "video/DecoderWarmUp.h"
#include "video/StartupMarks.h"
#include "video/VideoCommands.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <filesystem>
#include <iostream>

namespace kanvio {

namespace {

std::vector<std::string> ArgumentsOf(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void CloseSplashWindow(QPointer<TSplashForm>& splash) {
    if (splash) {
        splash->hide();
        delete splash.data();
    }
}

// Runs the application until the layout's main window closes, then lets the player store
// its settings and forget the windows.
template <typename TWindow>
int RunUntilClosed(QApplication& application, TKanvioContext& context, TWindow& mainWindow,
                   QPointer<TSplashForm>& splash) {
    QObject::connect(&mainWindow, &TWindow::Closed, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    // The first show starts the player: player windows, trailer, start-up choice.
    mainWindow.show();
    MarkStartup("main window shown");
    CloseSplashWindow(splash);
    const int exitCode = application.exec();
    // A loop that ended without the window closing (the session ends) still stores.
    context.ShutDown(true);
    context.SetMainWindow(nullptr);
    context.SetPlayerWindows(nullptr);
    return exitCode;
}

// The main window of layout 0 with the video and control windows beside it.
int RunThreeWindowLayout(QApplication& application, TKanvioContext& context, IUserDialogs& dialogs,
                         const std::vector<std::string>& arguments, QPointer<TSplashForm>& splash) {
    TThreeWindowLayout layout(context);
    layout.SetSplash(splash);
    context.SetPlayerWindows(&layout);
    TKanvioMainForm mainForm(context, dialogs, arguments);
    MarkStartup("main window built");
    context.SetMainWindow(&mainForm);
    return RunUntilClosed(application, context, mainForm, splash);
}

// The single window of layouts 1 and 2: main window, video and controls in one.
int RunSingleWindowLayout(QApplication& application, TKanvioContext& context, IUserDialogs& dialogs,
                          const std::vector<std::string>& arguments,
                          QPointer<TSplashForm>& splash) {
    TKanvioSingleForm singleForm(context, dialogs, arguments);
    singleForm.SetSplash(splash);
    context.SetPlayerWindows(&singleForm);
    context.SetMainWindow(&singleForm);
    return RunUntilClosed(application, context, singleForm, splash);
}

} // namespace

int RunLayouts(QApplication& application, TKanvioContext& context, IUserDialogs& dialogs,
               const std::vector<std::string>& arguments, QPointer<TSplashForm> splash) {
    int exitCode = 0;
    do {
        exitCode = context.LayoutMode == 0
                       ? RunThreeWindowLayout(application, context, dialogs, arguments, splash)
                       : RunSingleWindowLayout(application, context, dialogs, arguments, splash);
    } while (context.BeginPendingLayout());
    return exitCode;
}

namespace {

// The program again, on another delivery, in a process of its own: the log and the video
// filters are set up once per process.
int StartOnDelivery(const std::string& folder) {
    const QString program = QCoreApplication::applicationFilePath();
    if (!QProcess::startDetached(program, {"--project", QFile::decodeName(folder.c_str())})) {
        std::cerr << "kanvio: " << program.toStdString() << ": cannot be started again on "
                  << folder << '\n';
        return 1;
    }
    return 0;
}

// The player with its windows. Returns the process exit code. deliveryProblem, when set,
// tells why the chosen folder cannot be opened.
int RunPlayer(int argc, char** argv, const std::string& deliveryProblem) {
    // The first film needs the decoders: they load while the windows and the delivery do.
    const TDecoderWarmUp decoderWarmUp;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kanvio");
    MarkStartup("toolkit started");
    // The main window ends the program, even while the player windows are still being
    // taken down.
    QApplication::setQuitOnLastWindowClosed(false);
    // QApplication took its own options out of argv; the rest belongs to the player.
    const std::vector<std::string> arguments = ArgumentsOf(argc, argv);
    // Kept up to date while the windows change, when the environment asks for it.
    const std::unique_ptr<TWidgetTextDump> textDump = TWidgetTextDump::FromEnvironment();

    TQtUserDialogs dialogs;
    if (!deliveryProblem.empty()) {
        std::cerr << "kanvio: " << deliveryProblem << '\n';
        dialogs.ShowMessage(TMessageKind::Error, Utf8ToAnsi(deliveryProblem));
        return 1;
    }

    if (!HasChosenProjectFolder() && !CheckDeliveryFolder(".").empty() &&
        !CheckDeliveryFolder(GetProgramFolder()).empty()) {
        // Started with no delivery anywhere, as the installed program is from the menu: the
        // user picks one, and nothing is written into the working directory.
        const std::vector<std::string> recent = ReadRecentDeliveries();
        const std::string start =
            recent.empty() ? QFile::encodeName(QDir::homePath()).toStdString()
                           : std::filesystem::path(recent.front()).parent_path().string();
        const auto folder =
            AskStartDelivery(dialogs, LanguageText(UserLanguage(), "_OpenDelivery"), start);
        if (!folder) {
            return 0;
        }
        SetProjectFolder(*folder);
    }

    QPointer<TSplashForm> splash = new TSplashForm;
    splash->ShowPainted();
    MarkStartup("splash shown");

    TQtStartupUi startupUi(splash);
    TDataSourceFactory dataSources(dialogs);
    TQtDesktop desktop;
    TQtPrinters printers(dialogs);
    TTimeCorrectionDialogs timeCorrectionUi;
    TZFTimeCodeStore timeCodes;
    TContextServices services;
    services.Dialogs = &dialogs;
    services.StartupUi = &startupUi;
    services.DataSources = &dataSources;
    services.Desktop = &desktop;
    services.Printers = &printers;
    services.TimeCorrectionUi = &timeCorrectionUi;
    services.TimeCodes = &timeCodes;

    PlayerContext = CreatePlayerContext(services, splash);
    MarkStartup("delivery read");
    if (!PlayerContext) {
        CloseSplashWindow(splash);
        return 1;
    }
    {
        LangScope lang;
        InstallToolkitTranslations(application, lang->LanguageCode());
    }
    if (splash) {
        splash->repaint();
    }
    if (HasChosenProjectFolder()) {
        try {
            RememberDelivery(GetProjectFolder());
        } catch (const EKanvioError& error) {
            LogLine(error.what(), LOG_ERROR);
        }
    }
    const int exitCode = RunLayouts(application, *PlayerContext, dialogs, arguments, splash);
    const std::optional<std::string> nextDelivery = PlayerContext->TakePendingDelivery();
    // The player stores its settings and lets go of the delivery's files before the next
    // one starts.
    PlayerContext.reset();
    if (nextDelivery) {
        return StartOnDelivery(*nextDelivery);
    }
    return exitCode;
}

} // namespace

std::unique_ptr<TKanvioContext> CreatePlayerContext(const TContextServices& services,
                                                    QWidget* splash) {
    auto context = std::make_unique<TKanvioContext>(services);
    try {
        context->Create();
    } catch (const std::exception& error) {
        // Without its data the player has nothing to show.
        LogLine(std::string("Start failed: ") + error.what(), LOG_FATAL);
        if (splash != nullptr) {
            splash->hide();
        }
        if (services.Dialogs != nullptr) {
            services.Dialogs->ShowMessage(TMessageKind::Error, error.what());
        }
        return nullptr;
    }
    return context;
}

int RunProgram(int argc, char** argv) {
    MarkStartup("main");
    std::vector<std::string> arguments = ArgumentsOf(argc, argv);
    const TProjectOption project = TakeProjectOption(arguments);
    TCommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.Error.empty() && !project.Error.empty()) {
        commandLine.Command = TCommand::Usage;
        commandLine.Error = project.Error;
    }
    std::string deliveryProblem;
    if (project.Folder && project.Error.empty()) {
        deliveryProblem = CheckDeliveryFolder(*project.Folder);
        if (deliveryProblem.empty()) {
            SetProjectFolder(*project.Folder);
        }
    }
    if (commandLine.Command == TCommand::Player) {
        // The toolkit sees the command line without the delivery's folder.
        std::vector<char*> playerArgv{argv[0]};
        for (std::string& argument : arguments) {
            playerArgv.push_back(argument.data());
        }
        int playerArgc = static_cast<int>(playerArgv.size());
        playerArgv.push_back(nullptr);
        return RunPlayer(playerArgc, playerArgv.data(), deliveryProblem);
    }
    if (!deliveryProblem.empty() && commandLine.Error.empty()) {
        std::cerr << "kanvio: " << deliveryProblem << '\n';
        return 1;
    }
    if (commandLine.Error.empty() && commandLine.Command == TCommand::Report) {
        return RunReportCommand(argc, argv, commandLine.Arguments, std::cout, std::cerr);
    }
    // A command-line tool ends with an exit code and a message, never by a signal.
    try {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName("Kanvio");
        TConsoleDialogs console;
        TDataSourceFactory dataSources(console);
        if (commandLine.Error.empty() && commandLine.Command == TCommand::Probe) {
            return RunProbeCommand(commandLine.Arguments, std::cout, std::cerr);
        }
        if (commandLine.Error.empty() && commandLine.Command == TCommand::Grab) {
            return RunGrabCommand(commandLine.Arguments, std::cout, std::cerr);
        }
        return RunHeadlessCommand(commandLine, dataSources, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "kanvio: " << AnsiToUtf8(error.what()) << '\n';
    } catch (...) {
        std::cerr << "kanvio: an unknown error ended the command\n";
    }
    return 1;
}

} // namespace kanvio
