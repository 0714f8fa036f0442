#pragma once

#include "core/PrintTarget.h"

namespace kanvio {

class IUserDialogs;

// Prints on the system's default printer. Without one (or when told to), the page goes
// into a PDF file the user picks; the file is written beside its final name and renamed
// once complete, so a failed printout never replaces an earlier file.
class TQtPrinters final : public IPrinters {
public:
    explicit TQtPrinters(IUserDialogs& dialogs, bool alwaysPdf = false)
        : dialogs_(dialogs), alwaysPdf_(alwaysPdf) {}

    std::unique_ptr<IPrintJob> BeginDocument(const std::string& title) override;

private:
    IUserDialogs& dialogs_;
    bool alwaysPdf_;
};

} // namespace kanvio
