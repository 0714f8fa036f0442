#include "video/UiThreadPoster.h"

#include <QMetaObject>

namespace kanvio {

void TUiThreadPoster::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

} // namespace kanvio
