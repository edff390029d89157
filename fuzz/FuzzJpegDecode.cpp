// Decodes arbitrary bytes as a JPEG the way a picture added from a file is
// decoded: the first four bytes give the size the rows are reduced to while
// decoding (0 for none, then a full decode at the scale that reaches it).
#include "uJpegDecode.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const int w = data[0] | (data[1] & 0x03) << 8;
    const int h = data[2] | (data[3] & 0x03) << 8;
    const QSize reduced = w > 0 && h > 0 ? QSize(w, h) : QSize();
    QImage image;
    std::string message;
    DecodeJpegBytes(data + 4, size - 4, reduced, image, message, reduced);
    DecodeJpegBytes(data + 4, size - 4, reduced, image, message);
    return 0;
}
