#pragma once
// Reduces a picture of 32-bit pixels, fed in rows from the top, to a smaller
// size with the very pixels QImage's smooth scale gives: every target pixel is
// the average of the source area it covers, partly covered pixels weighted by
// their share, in the same fixed-point steps. Only the rows of sums of the
// target rows under way are held, so the source never needs to exist whole.
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <vector>

class TAreaReducer {
public:
    // Makes the pixels Part (all when null) of a picture of Target, at Bits
    // with BytesPerLine from row to row, of 32-bit pixels (each of the four
    // bytes of a pixel averaged on its own). Target must be non-empty and no
    // larger than Source in either direction; reducers of distinct parts may
    // fill one picture on threads of their own. Nothing is made for a Target
    // or a part beyond that.
    TAreaReducer(const QSize& Source, const QSize& Target, uint8_t* Bits, qsizetype BytesPerLine,
                 const QRect& Part = QRect());

    static bool CanReduce(const QSize& Source, const QSize& Target);

    // The source rows the part is made of, FirstRow() to EndRow() - 1.
    int FirstRow() const { return firstRow_; }
    int EndRow() const { return endRow_; }
    // Takes the next Count source rows, from FirstRow() on, Stride bytes
    // apart; rows from EndRow() on are ignored.
    void AddRows(const uint8_t* Rows, ptrdiff_t Stride, int Count);
    // True once every source row of the part was added.
    bool Done() const { return row_ >= endRow_; }

private:
    typedef float TF32x4 __attribute__((vector_size(16)));
    typedef int32_t TI32x4 __attribute__((vector_size(16)));
    typedef uint32_t TU32x4 __attribute__((vector_size(16)));
    typedef uint8_t TU8x4 __attribute__((vector_size(4)));
    typedef uint8_t TU8x8 __attribute__((vector_size(8)));
    typedef uint8_t TU8x16 __attribute__((vector_size(16)));
    typedef uint16_t TU16x8 __attribute__((vector_size(16)));
    typedef int32_t TI32x8 __attribute__((vector_size(32)));
    typedef float TF32x8 __attribute__((vector_size(32)));

    // The source pixels each target pixel of one direction is made of: the
    // first, and the weights of it and the following ones (in 1/16384).
    struct TTaps {
        std::vector<int> First, Start;  // Start: per target pixel, plus the end
        std::vector<uint32_t> Weights;
        int Count(int Target) const { return Start[size_t(Target) + 1] - Start[size_t(Target)]; }
        int Last(int Target) const { return First[size_t(Target)] + Count(Target) - 1; }
    };
    static TTaps Taps(int Source, int Target);
    void AddRow(const uint8_t* Row);
    template <int Taps>
    void SumColumns();

    QSize source_, target_;
    uint8_t* bits_ = nullptr;
    size_t stride_ = 0;
    int firstColumn_ = 0, columns_ = 0, lastTargetRow_ = -1;
    int firstRow_ = 0, endRow_ = 0;
    TTaps columnTaps_, rowTaps_;
    int columnTapCount_ = 0;
    std::vector<float> columnWeights_;
    // The pixels of one source row as floats, and its columns' sums.
    std::vector<TF32x4> pixels_;
    std::vector<TU32x4> rowSums_;
    // Sums of the target rows under way, in a ring by target row.
    std::vector<std::vector<TU32x4>> sums_;
    int row_ = 0;
    int firstOpen_ = 0;  // the first target row of the part not yet made
};
