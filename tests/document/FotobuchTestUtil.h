#pragma once
// Helpers of the document tests: the records of a keyed data file read
// straight from its bytes, the expected encodings of typed values, and small
// pictures saved to a temporary folder.
#include "AnsiString.h"
#include "Classes.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace fbtest {

struct TRawRecord {
    int32_t Marker = 0;
    AnsiString Section;
    AnsiString Key;
    std::vector<uint8_t> Data;
};

inline int32_t I32At(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// The records of a data file stream in file order, parsed from the raw bytes:
// a 20-byte file header, then per record a marker, a 128-byte section, a
// 32-byte key, a length and the data.
inline std::vector<TRawRecord> RawRecords(const TMemoryStream& Stream)
{
    const TByteVector& b = Stream.Bytes();
    std::vector<TRawRecord> out;
    EXPECT_GE(b.size(), 20u);
    if (b.size() < 20)
        return out;
    EXPECT_EQ(std::memcmp(b.data(), "Qw DataFile", 11), 0);
    size_t pos = 20;
    while (pos + 168 <= b.size()) {
        TRawRecord r;
        r.Marker = I32At(&b[pos]);
        r.Section = AnsiString(reinterpret_cast<const char*>(&b[pos + 4]));
        r.Key = AnsiString(reinterpret_cast<const char*>(&b[pos + 132]));
        const int32_t len = I32At(&b[pos + 164]);
        pos += 168;
        if (len < 0 || pos + size_t(len) > b.size()) {
            ADD_FAILURE() << "record " << r.Section << "/" << r.Key << " runs past the end";
            break;
        }
        r.Data.assign(b.begin() + long(pos), b.begin() + long(pos + size_t(len)));
        pos += size_t(len);
        out.push_back(std::move(r));
    }
    EXPECT_EQ(pos, b.size());
    return out;
}

inline std::vector<uint8_t> I32(int32_t v)
{
    const uint32_t u = uint32_t(v);
    return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

// A single-precision value as stored: the little-endian bytes of its double.
inline std::vector<uint8_t> F64(float v)
{
    const double d = v;
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    std::vector<uint8_t> out(8);
    for (int i = 0; i < 8; ++i)
        out[size_t(i)] = uint8_t(bits >> (8 * i));
    return out;
}

inline std::vector<uint8_t> Bool(bool v)
{
    return {uint8_t(v ? 1 : 0)};
}

inline std::vector<uint8_t> Str(const AnsiString& s)
{
    std::vector<uint8_t> out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

// Saves a w x h picture (opaque, or with a transparent left half) and returns its path.
inline QString SavePicture(const QTemporaryDir& Dir, const QString& Name, int W, int H,
                           bool TransparentLeftHalf = false)
{
    QImage img(W, H, TransparentLeftHalf ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    img.fill(QColor(40, 120, 200));
    if (TransparentLeftHalf)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W / 2; ++x)
                img.setPixel(x, y, 0x00000000u);
    const QString path = Dir.filePath(Name);
    EXPECT_TRUE(img.save(path));
    return path;
}

} // namespace fbtest
