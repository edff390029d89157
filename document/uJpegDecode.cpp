#include "uJpegDecode.h"

#include <QColorSpace>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
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

// The scale to decode at: the smallest of 1/8, 1/4 and 1/2 whose output
// reaches MinSize, else full size. The other eighths take the library as
// long as a full decode or longer.
void ChooseScale(jpeg_decompress_struct& Info, const QSize& MinSize)
{
    Info.scale_num = 1;
    Info.scale_denom = 8;
    if (MinSize.isValid())
        for (; Info.scale_denom > 1; Info.scale_denom /= 2) {
            jpeg_calc_output_dimensions(&Info);
            if (int(Info.output_width) >= MinSize.width() && int(Info.output_height) >= MinSize.height())
                return;
        }
    Info.scale_denom = 1;
}

// Only plain C objects live across the jump; the picture and the profile
// belong to the caller.
bool Decode(const uint8_t* Data, size_t Size, const QSize& MinSize, QImage& Image, QByteArray& Icc,
            char* Message)
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
    jpeg_mem_src(&info, Data, static_cast<unsigned long>(Size));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    // Alpha bytes of 0xFF: the rows are RGB32 pixels as they come.
    info.out_color_space = JCS_EXT_BGRA;
    ChooseScale(info, MinSize);
    jpeg_start_decompress(&info);
    Image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (Image.isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = Image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccSize)) {
        Icc = QByteArray(reinterpret_cast<const char*>(icc), qsizetype(iccSize));
        std::free(icc);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

bool DecodeJpegBytes(const uint8_t* Data, size_t Size, const QSize& MinSize, QImage& Image,
                     std::string& Message)
{
    char message[JMSG_LENGTH_MAX];
    Image = QImage();
    if (Size == 0) {
        Message = "no data";
        return false;
    }
    QByteArray icc;
    if (Decode(Data, Size, MinSize, Image, icc, message)) {
        if (!icc.isEmpty())
            Image.setColorSpace(QColorSpace::fromIccProfile(icc));
        return true;
    }
    Image = QImage();  // rows decoded before the error
    Message = message;
    return false;
}
