#pragma once

// The start-up dialogs on the screen: the layout question with the splash window out of
// its way.

#include "core/ContextInterfaces.h"

#include <QPointer>
#include <QWidget>

namespace kanvio {

class TQtStartupUi final : public IStartupUi {
public:
    explicit TQtStartupUi(QWidget* splash = nullptr) : splash_(splash) {}

    void SetSplash(QWidget* splash) { splash_ = splash; }

    // Hides the splash window, shows the layout choice modally and shows the splash
    // window again. 0..2; 0 when the dialog was closed without a choice.
    int AskLayoutMode() override;

private:
    QPointer<QWidget> splash_;
};

} // namespace kanvio
