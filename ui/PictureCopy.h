#pragma once

// The picture the film shows, handed on: copied to the clipboard, or saved with a caption
// (structure, distance, code and time of the current observation) burnt into it.

#include <QImage>
#include <QString>
#include <string>

class QClipboard;

namespace kanvio {

class IUserDialogs;
class TKanvioContext;

// "Reach H0123 | 12.63 m | BCDA | 00:01:00" of the current observation, or of the current
// structure and the film's time when no observation was chosen; Windows-1252.
std::string PictureCaption(TKanvioContext& context);

// picture with caption in a dark band under it (the picture itself is kept whole).
QImage CaptionedPicture(const QImage& picture, const QString& caption);

class TPictureCopy {
public:
    TPictureCopy(TKanvioContext& context, IUserDialogs& dialogs);

    // Each returns true when the picture was delivered; every failure was shown.
    bool CopyToClipboard(QClipboard& clipboard);
    // Asks for a .jpg or .png file; the picture keeps the film's size and gains the band.
    bool SaveWithCaption();

private:
    bool Grab(QImage& picture);

    TKanvioContext& context_;
    IUserDialogs& dialogs_;
};

} // namespace kanvio
