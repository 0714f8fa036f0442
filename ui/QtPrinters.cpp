#include "ui/QtPrinters.h"

#include "foundation/Errors.h"
#include "foundation/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

namespace kanvio {

namespace {

class TQtPrintJob final : public IPrintJob {
public:
    // pdfFile empty: the printer as set up. Otherwise the page goes to partFile, which
    // EndDocument renames to pdfFile.
    TQtPrintJob(std::unique_ptr<QPrinter> printer, std::string target, QString partFile,
                QString pdfFile)
        : printer_(std::move(printer)), target_(std::move(target)), partFile_(std::move(partFile)),
          pdfFile_(std::move(pdfFile)) {
        if (!painter_.begin(printer_.get())) {
            Discard();
            throw EInOutError(target_, "the printout cannot be started");
        }
        const int dpi = printer_->resolution();
        const QRect paper = printer_->pageLayout().fullRectPixels(dpi);
        const QRect paint = printer_->pageLayout().paintRectPixels(dpi);
        page_.DpiX = printer_->logicalDpiX();
        page_.PrintableSize = QSize(printer_->width(), printer_->height());
        page_.PhysicalSize = paper.size();
        page_.PrintOffset = paint.topLeft() - paper.topLeft();
    }

    ~TQtPrintJob() override {
        if (painter_.isActive()) {
            painter_.end();
            Discard();
        }
    }

    const TPrintPage& Page() const override { return page_; }
    QPainter& Painter() override { return painter_; }

    void EndDocument() override {
        if (!painter_.end()) {
            Discard();
            throw EInOutError(target_, "the printout could not be finished");
        }
        if (pdfFile_.isEmpty())
            return;
        if (QFileInfo(partFile_).size() <= 0 ||
            std::rename(QFile::encodeName(partFile_).constData(),
                        QFile::encodeName(pdfFile_).constData()) != 0) {
            Discard();
            throw EInOutError(target_, "cannot be written");
        }
    }

private:
    void Discard() {
        if (!partFile_.isEmpty())
            QFile::remove(partFile_);
    }

    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    std::string target_;
    QString partFile_;
    QString pdfFile_;
    TPrintPage page_;
};

QString WithPdfExtension(const QString& fileName) {
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + ".pdf" : fileName;
}

} // namespace

std::unique_ptr<IPrintJob> TQtPrinters::BeginDocument(const std::string& title) {
    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    if (!alwaysPdf_ && !printerInfo.isNull()) {
        auto printer = std::make_unique<QPrinter>(printerInfo, QPrinter::HighResolution);
        printer->setDocName(QString::fromStdString(title));
        return std::make_unique<TQtPrintJob>(
            std::move(printer), printerInfo.printerName().toStdString(), QString(), QString());
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const auto chosen =
        dialogs_.AskSaveFileName(folder.toStdString() + "/", title + ".pdf", "PDF (*.pdf)");
    if (!chosen || chosen->empty())
        return nullptr;
    const QString pdfFile = WithPdfExtension(QString::fromStdString(*chosen));
    const std::string target = pdfFile.toStdString();
    QTemporaryFile part(QFileInfo(pdfFile).absolutePath() + "/." + QFileInfo(pdfFile).fileName() +
                        ".XXXXXX");
    part.setAutoRemove(false);
    if (!part.open())
        throw EInOutError(target, "cannot be written: " + part.errorString().toStdString());
    // The temporary file has its name (and can take the modes a saved PDF has) once open.
    part.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString partFile = part.fileName();
    part.close();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(QString::fromStdString(title));
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(partFile);
    return std::make_unique<TQtPrintJob>(std::move(printer), target, partFile, pdfFile);
}

} // namespace kanvio
