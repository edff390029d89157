#pragma once
// JPEG bytes decoded with libjpeg into an RGB32 picture, at full size or at a
// reduced scale of its inverse DCT (an eighth, a quarter or a half), and
// optionally reduced further while decoding.
#include <QImage>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <string>

// Decodes Size bytes at Data into Image (RGB32, with the colour space of an
// embedded ICC profile). With a valid MinSize the picture is decoded at the
// smallest of those scales whose size still reaches MinSize in both directions.
// With a valid Reduced no larger than that, the decoded rows are reduced to
// Reduced as they come, with the pixels QImage's smooth scale gives; the
// picture is never held at its decoded size then. A sequential picture is
// then decoded in three parts at once, and each part reduced on a thread of its
// own, where threads can be had.
// False, with the library's message, for bytes libjpeg cannot decode into RGB
// (no JPEG, damaged headers, CMYK) and when the pixels cannot be allocated;
// damaged picture data decodes as far as it goes, as libjpeg does.
bool DecodeJpegBytes(const uint8_t* Data, size_t Size, const QSize& MinSize, QImage& Image,
                     std::string& Message, const QSize& Reduced = QSize());
