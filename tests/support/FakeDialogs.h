#pragma once

#include "foundation/UserDialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kanvio::test {

// Records every message and answers the dialogs from a script, so tests never block.
class FakeDialogs final : public IUserDialogs {
public:
    FakeDialogs() = default;
    explicit FakeDialogs(bool answerToEveryQuestion) : yesNoAnswer(answerToEveryQuestion) {}

    void ShowMessage(TMessageKind kind, const std::string& text) override {
        messages.emplace_back(kind, text);
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return yesNoAnswer;
    }
    std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                               const std::string& proposedName,
                                               const std::string& filter) override {
        saveDialogs.push_back({initialFolder, proposedName, filter});
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    std::optional<std::string> AskFolder(const std::string& initialFolder,
                                         const std::string& title) override {
        folderDialogs.push_back({initialFolder, title});
        if (folderAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }

    struct SaveDialog {
        std::string InitialFolder, ProposedName, Filter;
    };
    std::vector<std::pair<TMessageKind, std::string>> messages;
    std::vector<std::string> questions;
    std::vector<SaveDialog> saveDialogs;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::pair<std::string, std::string>> folderDialogs; // initial folder, title
    std::deque<std::optional<std::string>> folderAnswers;
    bool yesNoAnswer = false;
};

} // namespace kanvio::test
