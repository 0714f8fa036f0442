#pragma once

// What the program would have written to the terminal through GLib (GStreamer's
// criticals and warnings) and through Qt's message handler, caught for the life of the
// object. Messages may come from streaming threads. One capture at a time.

#include <mutex>
#include <string>
#include <vector>

namespace kanvio::test {

class TerminalMessages {
public:
    TerminalMessages();
    ~TerminalMessages();
    TerminalMessages(const TerminalMessages&) = delete;
    TerminalMessages& operator=(const TerminalMessages&) = delete;

    std::vector<std::string> Lines() const;
    // All lines, one a line, for a test's failure message.
    std::string Text() const;

    void Add(std::string line);

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    void* previousGLibHandler_ = nullptr;
    void* previousQtHandler_ = nullptr;
};

} // namespace kanvio::test
