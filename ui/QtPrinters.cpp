#include "ui/QtPrinters.h"

#include "foundation/Errors.h"
#include "foundation/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A new hidden file beside pdfFile for the page to go into. It gets the mode the umask
// leaves for a new file (the system applies it on creation), or the mode of the PDF file it
// will replace.
QString CreatePartFile(const QString& pdfFile, const std::string& target) {
    const QByteArray finalName = QFile::encodeName(pdfFile);
    const QString stem =
        QFileInfo(pdfFile).absolutePath() + "/." + QFileInfo(pdfFile).fileName() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = stem + QString::number(QRandomGenerator::global()->generate(), 36);
        const QByteArray encoded = QFile::encodeName(name);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            throw EInOutError(target, std::string("cannot be written: ") + std::strerror(errno));
        struct stat existing {};
        if (::stat(finalName.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            // Failing leaves the new file's own mode, which is no reason to stop printing.
            [[maybe_unused]] const int kept = ::fchmod(fd, existing.st_mode & 07777);
        }
        ::close(fd);
        return name;
    }
    throw EInOutError(target, "cannot be written: no free name for the temporary file");
}

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
    const QString partFile = CreatePartFile(pdfFile, target);
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(QString::fromStdString(title));
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(partFile);
    return std::make_unique<TQtPrintJob>(std::move(printer), target, partFile, pdfFile);
}

} // namespace kanvio
