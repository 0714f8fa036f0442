#include "ui/QtDesktop.h"

#include "ui/HelpViewer.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>

namespace kanvio {

TQtDesktop::TQtDesktop() : viewer_(std::make_unique<THelpViewer>()) {}

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
    viewer_->Show(QFile::decodeName(fileName.c_str()));
    return true;
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
