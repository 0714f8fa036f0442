#pragma once

#include "foundation/UserDialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kanvio::test {

// Records messages and answers save dialogs from a list (then cancels), so the log's
// rights dialog can be driven without windows.
class RecordingDialogs final : public IUserDialogs {
public:
    struct SaveRequest {
        std::string initialFolder;
        std::string proposedName;
    };

    void ShowMessage(TMessageKind kind, const std::string& text) override {
        messages.emplace_back(kind, text);
    }
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                               const std::string& proposedName,
                                               const std::string&) override {
        saveRequests.push_back({initialFolder, proposedName});
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::pair<TMessageKind, std::string>> messages;
    std::vector<SaveRequest> saveRequests;
    std::deque<std::string> answers;
};

} // namespace kanvio::test
