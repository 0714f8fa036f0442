#pragma once

// Printing as the player sees it: a document of one page on some paint device. The program
// prints on the default printer, or into a PDF file the user picks when there is none;
// tests print into PDF files.

#include <QPoint>
#include <QSize>
#include <memory>
#include <string>

class QPainter;

namespace kanvio {

struct TPrintPage {
    // Device pixels per inch, across.
    int DpiX = 0;
    // The printable area in device pixels; the painter's origin is its top-left corner.
    QSize PrintableSize;
    // The whole sheet in device pixels and where the printable area lies on it.
    QSize PhysicalSize;
    QPoint PrintOffset;
};

class IPrintJob {
public:
    virtual ~IPrintJob() = default;
    virtual const TPrintPage& Page() const = 0;
    // A painter already begun on the page.
    virtual QPainter& Painter() = 0;
    // Ends the document. Throws EInOutError naming the printer or file when the page could
    // not be delivered; nothing half-written is left behind then.
    virtual void EndDocument() = 0;
};

class IPrinters {
public:
    virtual ~IPrinters() = default;
    // Starts a document; null when the user cancelled (no printer and no PDF file chosen).
    // Throws EInOutError when the document cannot be started.
    virtual std::unique_ptr<IPrintJob> BeginDocument(const std::string& title) = 0;
};

} // namespace kanvio
