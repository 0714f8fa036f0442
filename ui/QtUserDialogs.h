#pragma once

#include "foundation/UserDialogs.h"

class QWidget;

namespace kanvio {

// Message boxes and file dialogs as windows of the program.
class TQtUserDialogs final : public IUserDialogs {
public:
    void ShowMessage(TMessageKind kind, const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                               const std::string& proposedName,
                                               const std::string& filter) override;
    std::optional<std::string> AskFolder(const std::string& initialFolder,
                                         const std::string& title) override;
};

} // namespace kanvio
