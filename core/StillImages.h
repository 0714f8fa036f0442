#pragma once

// Keeping the picture the film shows: as a JPEG file, on paper, and the structure view
// (information panel above the structure graphic) on paper.

#include "core/ContextInterfaces.h"
#include "core/PrintTarget.h"

#include <QImage>
#include <QRect>
#include <string>

namespace kanvio {

class IUserDialogs;

// Where the picture goes on the page: 130 mm wide, its aspect kept, centred on the sheet
// (not just on the printable area), in the painter's coordinates.
QRect PicturePrintRect(const TPrintPage& page, QSize picture);

// The structure page: the panel across the full printable width at the top, the graphic
// below it fitted into the rest of the page and centred across.
struct TStructurePrintLayout {
    QRect Header;
    QRect Graphic;
    // The part of the graphic image that is drawn: its first two rows and columns are the
    // scroll box's frame and are left out.
    QRect GraphicSource;
};
TStructurePrintLayout StructurePrintLayout(QSize page, QSize header, QSize graphic);

struct TStillImageTexts {
    std::string Image;       // description of the JPEG files in the save dialog
    std::string NoPicture;   // nothing to grab
    std::string SaveFailed;  // prefix of the message when a file could not be written
    std::string PrintFailed; // prefix of the message when printing failed
};

// The still-image commands of the player on the layout's video.
class TStillImages {
public:
    TStillImages(IVideoWindow* video, IUserDialogs* dialogs, IPrinters* printers,
                 const TStillImageTexts& texts);

    // Each returns true when the file or page was delivered; every failure was shown.
    bool SaveImage();
    bool PrintImage();
    bool PrintStructure(const QImage& panel, const QImage& graphic);

    // The save dialog's start folder: the user's pictures folder when it can be written,
    // else the home folder, never the (possibly read-only) delivery folder.
    static std::string StartFolder();

private:
    bool Grab(QImage& picture);
    void ShowError(const std::string& prefix, const std::string& detail) const;

    IVideoWindow* video_;
    IUserDialogs* dialogs_;
    IPrinters* printers_;
    TStillImageTexts texts_;
};

} // namespace kanvio
