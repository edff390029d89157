#include "uJpegResource.h"

#include "SysUtils.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr Info)
{
    auto* err = reinterpret_cast<TJpegError*>(Info->err);
    (*Info->err->format_message)(Info, err->Message);
    std::longjmp(err->Jump, 1);
}

void SilentOutput(j_common_ptr) {}

// Decodes into Image; false with the library's message on an error. Only
// plain C objects live across the jump.
bool Decode(const QByteArray& Data, QImage& Image, char* Message)
{
    jpeg_decompress_struct info;
    TJpegError err;
    info.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = ErrorExit;
    err.Manager.output_message = SilentOutput;
    err.Message[0] = 0;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "%s", err.Message);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(Data.constData()),
                 static_cast<unsigned long>(Data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "unsupported colour components");
        return false;
    }
    Image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (Image.isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    // The row buffer belongs to the decompressor, so an error frees it too.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * 3, 1);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        jpeg_read_scanlines(&info, rows, 1);
        const unsigned char* row = rows[0];
        auto* dest = reinterpret_cast<QRgb*>(Image.scanLine(y));
        for (JDIMENSION x = 0; x < info.output_width; ++x)
            dest[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& Data)
{
    if (Data.isEmpty())
        throw Exception("JPEG: keine Daten");
    QImage image;
    char message[JMSG_LENGTH_MAX];
    if (!Decode(Data, image, message))
        throw Exception(AnsiString("JPEG: ") + message);
    return image;
}

QImage LoadJpegResource(const QString& Name)
{
    QFile file(QStringLiteral(":/JPEG/") + Name);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("JPEG-Ressource \"%1\" nicht gefunden").arg(Name));
    return DecodeJpeg(file.readAll());
}
