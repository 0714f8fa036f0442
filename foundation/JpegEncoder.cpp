#include "foundation/JpegEncoder.h"

#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace kanvio {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. Unwinding a C++
// exception through the library's C frames is not safe, so it jumps back instead.
struct TJpegErrors {
    jpeg_error_mgr Manager{};
    std::jmp_buf Return{};
    char Message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void JumpOut(j_common_ptr info) {
    auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Return, 1);
}

// Owns what jpeg_mem_dest allocates and the compressor; both are freed on every path.
struct TCompressor {
    jpeg_compress_struct Info{};
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    ~TCompressor() {
        jpeg_destroy_compress(&Info);
        std::free(Buffer);
    }
};

} // namespace

std::string EncodeJpeg(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw EKanvioError("there is no picture to encode");
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    TJpegErrors errors;
    TCompressor compressor;
    jpeg_compress_struct& info = compressor.Info;
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JumpOut;
    if (setjmp(errors.Return) != 0)
        throw EKanvioError(std::string("JPEG encoding failed: ") + errors.Message);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &compressor.Buffer, &compressor.Size);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    info.dct_method = JDCT_ISLOW;
    // Full colour resolution: halved chroma smears the thin coloured lines of the
    // inspection overlay text burnt into the film.
    for (int component = 0; component < info.num_components; ++component) {
        info.comp_info[component].h_samp_factor = 1;
        info.comp_info[component].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return std::string(reinterpret_cast<const char*>(compressor.Buffer), compressor.Size);
}

void WriteJpegFile(const std::string& fileName, const QImage& image) {
    std::string bytes;
    try {
        bytes = EncodeJpeg(image);
    } catch (const EKanvioError& error) {
        throw EInOutError(fileName, error.what());
    }
    WriteFileAtomically(fileName, bytes);
}

} // namespace kanvio
