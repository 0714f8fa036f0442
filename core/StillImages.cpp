#include "core/StillImages.h"

#include "foundation/Errors.h"
#include "foundation/JpegEncoder.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <cmath>

namespace kanvio {

namespace {

constexpr double kPictureWidthMm = 130.0;
constexpr const char* kProposedImageName = "Kanvio.jpg";

bool IsWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

std::string WithJpegExtension(const std::string& fileName) {
    return QFileInfo(QString::fromStdString(fileName)).suffix().isEmpty() ? fileName + ".jpg"
                                                                          : fileName;
}

} // namespace

QRect PicturePrintRect(const TPrintPage& page, QSize picture) {
    if (picture.width() <= 0 || picture.height() <= 0 || page.DpiX <= 0)
        return {};
    // A driver that does not tell the sheet's size: centre on the printable area.
    const bool sheetKnown = page.PhysicalSize.width() > 0 && page.PhysicalSize.height() > 0;
    const QSize sheet = sheetKnown ? page.PhysicalSize : page.PrintableSize;
    const QPoint offset = sheetKnown ? page.PrintOffset : QPoint();
    const double pixelsPerMm = page.DpiX / 25.4;
    const int w = static_cast<int>(pixelsPerMm * kPictureWidthMm);
    const int h = static_cast<int>(w * (double(picture.height()) / picture.width()));
    const int left = (sheet.width() - w) / 2 - offset.x();
    const int top = (sheet.height() - h) / 2 - offset.y();
    return QRect(left, top, w, h);
}

TStructurePrintLayout StructurePrintLayout(QSize page, QSize header, QSize graphic) {
    TStructurePrintLayout layout;
    if (page.width() <= 0 || page.height() <= 0)
        return layout;
    int headerHeight = 0;
    if (header.width() > 0 && header.height() > 0) {
        const float scale = float(page.width()) / float(header.width());
        headerHeight = static_cast<int>(std::ceil(float(header.height()) * scale));
        layout.Header = QRect(0, 0, page.width(), headerHeight);
    }
    const int room = page.height() - headerHeight;
    // Two pixels of frame are cut off, so a graphic needs more than that to show anything.
    if (graphic.width() <= 2 || graphic.height() <= 2 || room <= 0)
        return layout;
    const double aspect = double(graphic.width()) / graphic.height();
    const double roomAspect = double(page.width()) / room;
    const double scale = aspect >= roomAspect ? double(page.width()) / graphic.width()
                                              : double(room) / graphic.height();
    const int width = static_cast<int>(std::lround(graphic.width() * scale));
    const int height = static_cast<int>(std::lround(graphic.height() * scale));
    const int x = (page.width() - width) / 2;
    layout.Graphic = QRect(x, headerHeight, width, height);
    layout.GraphicSource = QRect(2, 2, graphic.width() - 2, graphic.height() - 2);
    return layout;
}

TStillImages::TStillImages(IVideoWindow* video, IUserDialogs* dialogs, IPrinters* printers,
                           const TStillImageTexts& texts)
    : video_(video), dialogs_(dialogs), printers_(printers), texts_(texts) {}

std::string TStillImages::StartFolder() {
    for (const auto location :
         {QStandardPaths::PicturesLocation, QStandardPaths::DocumentsLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (IsWritableFolder(folder))
            return QDir(folder).absolutePath().toStdString() + "/";
    }
    return QDir::homePath().toStdString() + "/";
}

void TStillImages::ShowError(const std::string& prefix, const std::string& detail) const {
    LogLine(prefix + ": " + detail, LOG_ERROR);
    if (dialogs_ != nullptr)
        dialogs_->ShowMessage(TMessageKind::Error, prefix + "\n" + detail);
}

bool TStillImages::Grab(QImage& picture) {
    // No film, the end of a film and a renderer that keeps its frames to itself all leave
    // nothing to keep: say so rather than write an empty file or print a blank page.
    const TVideoResult result = video_ != nullptr ? video_->GrabPicture(picture) : -1;
    if (result < 0 || picture.isNull()) {
        if (dialogs_ != nullptr)
            dialogs_->ShowMessage(TMessageKind::Information, texts_.NoPicture);
        return false;
    }
    return true;
}

bool TStillImages::SaveImage() {
    QImage picture;
    if (!Grab(picture) || dialogs_ == nullptr)
        return false;
    const auto chosen =
        dialogs_->AskSaveFileName(StartFolder(), kProposedImageName, texts_.Image + " (*.jpg)");
    if (!chosen || chosen->empty())
        return false;
    const std::string fileName = WithJpegExtension(*chosen);
    try {
        WriteJpegFile(fileName, picture);
        LogLine("Picture saved: " + fileName, LOG_DEBUG);
        return true;
    } catch (const EKanvioError& error) {
        ShowError(texts_.SaveFailed, error.what());
        return false;
    }
}

bool TStillImages::PrintImage() {
    QImage picture;
    if (!Grab(picture) || printers_ == nullptr)
        return false;
    try {
        const auto job = printers_->BeginDocument("Kanvio");
        if (!job)
            return false;
        QPainter& painter = job->Painter();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(PicturePrintRect(job->Page(), picture.size()), picture);
        job->EndDocument();
        return true;
    } catch (const EKanvioError& error) {
        ShowError(texts_.PrintFailed, error.what());
        return false;
    }
}

bool TStillImages::PrintStructure(const QImage& panel, const QImage& graphic) {
    if (printers_ == nullptr)
        return false;
    try {
        const auto job = printers_->BeginDocument("Kanvio");
        if (!job)
            return false;
        const TStructurePrintLayout layout =
            StructurePrintLayout(job->Page().PrintableSize, panel.size(), graphic.size());
        QPainter& painter = job->Painter();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!layout.Header.isEmpty())
            painter.drawImage(layout.Header, panel);
        if (!layout.Graphic.isEmpty())
            painter.drawImage(layout.Graphic, graphic, layout.GraphicSource);
        job->EndDocument();
        return true;
    } catch (const EKanvioError& error) {
        ShowError(texts_.PrintFailed, error.what());
        return false;
    }
}

} // namespace kanvio
