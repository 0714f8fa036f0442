#include "tests/support/TerminalMessages.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <glib.h>

namespace kanvio::test {

namespace {

std::atomic<TerminalMessages*> current = nullptr;

void CatchGLib(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    // Debug and info messages GLib would not print either.
    if ((level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                  G_LOG_LEVEL_MESSAGE)) == 0) {
        return;
    }
    if (TerminalMessages* messages = current.load()) {
        messages->Add(std::string(domain != nullptr ? domain : "") + ": " +
                      (message != nullptr ? message : ""));
    }
}

void CatchQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    TerminalMessages* messages = current.load();
    if (type != QtDebugMsg && type != QtInfoMsg && messages != nullptr) {
        messages->Add("Qt: " + message.toStdString());
    }
}

} // namespace

TerminalMessages::TerminalMessages() {
    current = this;
    previousGLibHandler_ = reinterpret_cast<void*>(g_log_set_default_handler(&CatchGLib, nullptr));
    previousQtHandler_ = reinterpret_cast<void*>(qInstallMessageHandler(&CatchQt));
}

TerminalMessages::~TerminalMessages() {
    qInstallMessageHandler(reinterpret_cast<QtMessageHandler>(previousQtHandler_));
    g_log_set_default_handler(reinterpret_cast<GLogFunc>(previousGLibHandler_), nullptr);
    current = nullptr;
}

void TerminalMessages::Add(std::string line) {
    std::lock_guard guard(lock_);
    lines_.push_back(std::move(line));
}

std::vector<std::string> TerminalMessages::Lines() const {
    std::lock_guard guard(lock_);
    return lines_;
}

std::string TerminalMessages::Text() const {
    std::string text;
    for (const std::string& line : Lines()) {
        text += line + "\n";
    }
    return text;
}

} // namespace kanvio::test
