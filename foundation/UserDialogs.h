#pragma once

// Message boxes and file dialogs as the logic sees them. The program installs the
// window implementation at start; headless runs and tests use their own.

#include <optional>
#include <string>

namespace kanvio {

enum class TMessageKind { Information, Warning, Error };

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // Texts are Windows-1252 bytes like every other text of the program.
    virtual void ShowMessage(TMessageKind kind, const std::string& text) = 0;
    virtual bool AskYesNo(const std::string& text) = 0;
    // A save dialog; the chosen file, or nothing when the user cancels.
    // filter is a Qt name filter such as "JPEG (*.jpg)".
    virtual std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                                       const std::string& proposedName,
                                                       const std::string& filter) = 0;
    // A folder dialog; the chosen folder, or nothing when the user cancels. Dialogs
    // without windows cancel it, as they cancel every other dialog.
    virtual std::optional<std::string> AskFolder(const std::string& initialFolder,
                                                 const std::string& title) {
        (void)initialFolder;
        (void)title;
        return std::nullopt;
    }
};

// For runs without windows (command-line modes): messages go to standard error, questions
// are answered "no" and dialogs cancelled, so nothing ever waits for a user.
class TConsoleDialogs final : public IUserDialogs {
public:
    void ShowMessage(TMessageKind kind, const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                               const std::string& proposedName,
                                               const std::string& filter) override;
};

} // namespace kanvio
