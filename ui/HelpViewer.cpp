#include "ui/HelpViewer.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>

namespace kanvio {

namespace {

// xdg-open's exit code for "no program found for this kind of file".
constexpr int NoHandlerExitCode = 3;

} // namespace

THelpViewer::THelpViewer(QObject* parent) : QObject(parent) {}

THelpViewer::~THelpViewer() {
    delete window_.data();
}

QTextBrowser* THelpViewer::OwnWindow() const {
    return window_.data();
}

void THelpViewer::Show(const QString& fileName) {
    // xdg-open says when nothing can show the file; QDesktopServices would report success
    // as soon as xdg-open has started.
    const QString launcher = QStandardPaths::findExecutable("xdg-open");
    if (!launcher.isEmpty()) {
        LaunchDesktopHandler(launcher, fileName);
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(fileName))) {
        ShowInOwnWindow(fileName);
    }
}

void THelpViewer::LaunchDesktopHandler(const QString& launcher, const QString& fileName) {
    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(process, &QProcess::errorOccurred, this,
            [this, process, fileName](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    ShowInOwnWindow(fileName);
                    process->deleteLater();
                }
            });
    connect(process, &QProcess::finished, this,
            [this, process, fileName](int exitCode, QProcess::ExitStatus status) {
                if (status == QProcess::NormalExit && exitCode == NoHandlerExitCode) {
                    ShowInOwnWindow(fileName);
                }
                process->deleteLater();
            });
    process->start(launcher, {fileName});
}

void THelpViewer::ShowInOwnWindow(const QString& fileName) {
    if (!window_) {
        window_ = new QTextBrowser;
        window_->setObjectName("HelpWindow");
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->setOpenExternalLinks(true);
        window_->setWindowTitle(QGuiApplication::applicationDisplayName());
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize available = screen != nullptr ? screen->availableSize() : QSize(1024, 768);
        window_->resize(std::min(available.width() * 2 / 3, 900),
                        std::min(available.height() * 3 / 4, 800));
        connect(window_, &QTextBrowser::sourceChanged, window_, [browser = window_.data()] {
            if (!browser->documentTitle().isEmpty()) {
                browser->setWindowTitle(browser->documentTitle());
            }
        });
    }
    window_->setSource(QUrl::fromLocalFile(fileName));
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace kanvio
