#include "ui/QtDesktop.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QUrl>

namespace kanvio {

TQtDesktop::~TQtDesktop() {
    // A busy state left open by an error must not keep the wait cursor after us.
    while (busyDepth_ > 0) {
        SetBusy(false);
    }
}

bool TQtDesktop::OpenDocument(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(fileName.c_str())));
}

void TQtDesktop::SetBusy(bool busy) {
    if (busy) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QGuiApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

} // namespace kanvio
