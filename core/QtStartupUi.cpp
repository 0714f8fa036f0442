#include "core/QtStartupUi.h"

#include "core/LayoutChoiceForm.h"
#include "core/SplashForm.h"

#include <algorithm>

namespace kanvio {

int TQtStartupUi::AskLayoutMode() {
    if (splash_) {
        splash_->hide();
    }
    int result = 0;
    {
        TLayoutChoiceForm dialog;
        dialog.exec();
        result = dialog.LayoutResult();
    }
    if (auto* splash = qobject_cast<TSplashForm*>(splash_.data())) {
        splash->ShowPainted();
    } else if (splash_) {
        splash_->show();
        splash_->repaint();
    }
    return std::clamp(result, 0, 2);
}

} // namespace kanvio
