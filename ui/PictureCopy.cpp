#include "ui/PictureCopy.h"

#include "core/KanvioContext.h"
#include "core/StillImages.h"
#include "core/TimeText.h"
#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/JpegEncoder.h"
#include "foundation/LangManager.h"
#include "foundation/UserDialogs.h"
#include "ui/ObservationPictures.h"
#include "ui/StructureGraphicText.h"
#include "ui/StructureGraphicView.h"

#include <QBuffer>
#include <QClipboard>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

namespace kanvio {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    return QString::fromStdString(text).endsWith(QString::fromStdString(tail), Qt::CaseInsensitive);
}

std::string ClockText(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

} // namespace

std::string PictureCaption(TKanvioContext& context) {
    const TReachData* structure = context.CurrentDetailStructure != nullptr
                                      ? context.CurrentDetailStructure
                                      : context.CurrentStructure;
    std::string caption;
    if (structure != nullptr)
        caption =
            context.ObjectTypeText(structure->ObjectType) + " " + StructureNumberText(*structure);
    const auto add = [&caption](const std::string& part) {
        if (!part.empty())
            caption += (caption.empty() ? "" : " | ") + part;
    };
    if (context.CurrentDetailStructure != nullptr) {
        const TReachDetail& detail = context.CurrentDetail;
        const TGraphicOptions options = GraphicOptionsOf(context);
        add(FormatFloat(context.LengthFormat.empty() ? "0.00" : context.LengthFormat,
                        detail.Distance, options.DecimalSeparator, options.ThousandSeparator) +
            (context.LengthUnit.empty() ? "" : " " + context.LengthUnit));
        add(ObservationCodeText(detail));
        add(detail.VideoTime);
    } else {
        add(ClockText(context.GetCurrentPosition()));
    }
    return caption;
}

QImage CaptionedPicture(const QImage& picture, const QString& caption) {
    QFont font("DejaVu Sans");
    font.setPixelSize(std::max(12, picture.height() / 24));
    const QFontMetricsF metrics(font);
    const int band = int(metrics.lineSpacing() * 1.6);
    QImage result(picture.width(), picture.height() + band, QImage::Format_RGB32);
    result.fill(Qt::black);
    QPainter painter(&result);
    painter.drawImage(0, 0, picture);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect text(band / 4, picture.height(), picture.width() - band / 2, band);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(caption, Qt::ElideRight, text.width()));
    return result;
}

TPictureCopy::TPictureCopy(TKanvioContext& context, IUserDialogs& dialogs)
    : context_(context), dialogs_(dialogs) {}

bool TPictureCopy::Grab(QImage& picture) {
    IVideoWindow* video = context_.CurrentVideo();
    const TVideoResult result = video != nullptr ? video->GrabPicture(picture) : -1;
    if (result < 0 || picture.isNull()) {
        dialogs_.ShowMessage(TMessageKind::Information, context_.Texts().NoPicture);
        return false;
    }
    return true;
}

bool TPictureCopy::CopyToClipboard(QClipboard& clipboard) {
    QImage picture;
    if (!Grab(picture))
        return false;
    clipboard.setImage(picture);
    return true;
}

bool TPictureCopy::SaveWithCaption() {
    QImage picture;
    if (!Grab(picture))
        return false;
    const QImage captioned = CaptionedPicture(picture, AnsiToQString(PictureCaption(context_)));
    auto chosen = dialogs_.AskSaveFileName(TStillImages::StartFolder(), "Kanvio.jpg",
                                           context_.Texts().Image + " (*.jpg);;PNG (*.png)");
    if (!chosen || chosen->empty())
        return false;
    std::string fileName = *chosen;
    const bool png = EndsWithNoCase(fileName, ".png");
    if (!png && !EndsWithNoCase(fileName, ".jpg") && !EndsWithNoCase(fileName, ".jpeg"))
        fileName += ".jpg";
    try {
        if (png) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            if (!buffer.open(QIODevice::WriteOnly) || !captioned.save(&buffer, "PNG"))
                throw EInOutError(fileName, "the picture cannot be encoded as PNG");
            WriteFileAtomically(fileName,
                                std::string_view(bytes.constData(), size_t(bytes.size())));
        } else {
            WriteJpegFile(fileName, captioned);
        }
        return true;
    } catch (const EKanvioError& error) {
        dialogs_.ShowMessage(TMessageKind::Error,
                             context_.Texts().SaveFailed + "\n" + error.what());
        return false;
    }
}

} // namespace kanvio
