#pragma once

#include <QImage>
#include <string>

namespace kanvio {

// The image as a baseline JPEG at quality 100 with the slow, most accurate DCT: a kept
// picture of a defect must show what the film showed, not compression blocks. Throws
// EKanvioError when the image is empty or the encoder fails.
std::string EncodeJpeg(const QImage& image);

// The image encoded so into fileName, replacing it only once the whole file is written;
// throws EInOutError naming the file.
void WriteJpegFile(const std::string& fileName, const QImage& image);

} // namespace kanvio
