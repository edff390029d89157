#include "AreaReducer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kOne = 1u << 14;  // the weights of a target pixel add up to this

}  // namespace

bool TAreaReducer::CanReduce(const QSize& Source, const QSize& Target)
{
    return !Target.isEmpty() && Target.width() <= Source.width() && Target.height() <= Source.height();
}

// Target pixel i starts at i * Source / Target (16.16 fixed point); its first
// source pixel weighs the part of it the target covers, each further one the
// target's share of a whole source pixel, rounded up, and the last what is
// left of kOne. A last share beyond the source (always of weight 0) goes to
// the source's last pixel.
TAreaReducer::TTaps TAreaReducer::Taps(int Source, int Target)
{
    TTaps taps;
    const int64_t share = ((int64_t(Target) << 14) + Source - 1) / Source;
    const int64_t step = (int64_t(Source) << 16) / Target;
    taps.First.resize(size_t(Target));
    taps.Start.resize(size_t(Target) + 1);
    taps.Weights.reserve(size_t(Source) + 2 * size_t(Target));
    int64_t position = 0;
    for (int i = 0; i < Target; ++i, position += step) {
        const int first = int(position >> 16);
        const size_t start = taps.Weights.size();
        taps.First[size_t(i)] = first;
        taps.Start[size_t(i)] = int(start);
        const auto head = uint32_t(((0x10000 - (position & 0xFFFF)) * share) >> 16);
        taps.Weights.push_back(head);
        int64_t left = kOne - head;
        for (; left > share; left -= share)
            taps.Weights.push_back(uint32_t(share));
        taps.Weights.push_back(uint32_t(left));
        while (first + int(taps.Weights.size() - start) > Source && taps.Weights.size() - start > 1) {
            const uint32_t beyond = taps.Weights.back();
            taps.Weights.pop_back();
            taps.Weights.back() += beyond;
        }
    }
    taps.Start[size_t(Target)] = int(taps.Weights.size());
    return taps;
}

TAreaReducer::TAreaReducer(const QSize& Source, const QSize& Target, uint8_t* Bits, qsizetype BytesPerLine,
                           const QRect& Part)
    : source_(Source), target_(Target), bits_(Bits), stride_(size_t(BytesPerLine))
{
    const QRect whole(QPoint(0, 0), Target);
    const QRect part = Part.isNull() ? whole : Part;
    if (!CanReduce(source_, target_) || !Bits || BytesPerLine < 4 * qsizetype(Target.width()) || part.isEmpty()
        || !whole.contains(part))
        return;
    firstColumn_ = part.left();
    columns_ = part.width();
    columnTaps_ = Taps(source_.width(), target_.width());
    rowTaps_ = Taps(source_.height(), target_.height());
    // The column weights, as many for every column (those beyond its own 0),
    // in 1/16384.
    for (int c = 0; c < columns_; ++c)
        columnTapCount_ = std::max(columnTapCount_, columnTaps_.Count(firstColumn_ + c));
    columnWeights_.assign(size_t(columns_) * size_t(columnTapCount_), 0.0f);
    for (int c = 0; c < columns_; ++c)
        for (int k = 0; k < columnTaps_.Count(firstColumn_ + c); ++k)
            columnWeights_[size_t(c * columnTapCount_ + k)] =
                float(columnTaps_.Weights[size_t(columnTaps_.Start[size_t(firstColumn_ + c)] + k)]);
    // Room for the pixels beyond the last a column's zero weights meet.
    pixels_.assign(size_t(source_.width() + columnTapCount_), TF32x4{0, 0, 0, 0});
    rowSums_.resize(size_t(columns_));
    firstOpen_ = part.top();
    lastTargetRow_ = part.bottom();
    firstRow_ = row_ = rowTaps_.First[size_t(part.top())];
    endRow_ = rowTaps_.Last(part.bottom()) + 1;
    // As many rows of sums as target rows share a source row at most.
    int open = 1;
    for (int j = part.top(), k = j; j <= part.bottom(); ++j) {
        k = std::max(k, j);
        while (k + 1 <= part.bottom() && rowTaps_.First[size_t(k) + 1] <= rowTaps_.Last(j))
            ++k;
        open = std::max(open, k - j + 1);
    }
    sums_.assign(size_t(open), std::vector<TU32x4>(size_t(columns_)));
}

// The sums across of the row's pixels for every column, over Taps pixels each
// (columnTapCount_ when 0): a fixed count the compiler unrolls.
template <int Taps>
void TAreaReducer::SumColumns()
{
    const int taps = Taps > 0 ? Taps : columnTapCount_;
    const float* weights = columnWeights_.data();
    for (int c = 0; c < columns_; ++c, weights += taps) {
        const TF32x4* p = pixels_.data() + columnTaps_.First[size_t(firstColumn_ + c)];
        TF32x4 sum = weights[0] * p[0];
        for (int k = 1; k < taps; ++k)
            sum += weights[k] * p[k];
        rowSums_[size_t(c)] = TU32x4(__builtin_convertvector(sum, TI32x4) >> 4);
    }
}

void TAreaReducer::AddRows(const uint8_t* Rows, ptrdiff_t Stride, int Count)
{
    for (int i = 0; i < Count && !Done(); ++i)
        AddRow(Rows + i * Stride);
}

// The row's pixels are summed across first, a sixteenth of each sum dropped,
// and the sums then weighted into the target rows the row belongs to. Each
// step is exact in floats: pixel times weight and their sums stay below 2^24.
void TAreaReducer::AddRow(const uint8_t* Row)
{
    const int y = row_++;
    const int rows = lastTargetRow_ + 1;
    if (firstOpen_ >= rows || rowTaps_.First[size_t(firstOpen_)] > y)
        return;
    const int firstPixel = columnTaps_.First[size_t(firstColumn_)];
    const int lastPixel = columnTaps_.Last(firstColumn_ + columns_ - 1);
    int x = firstPixel;
    for (; x + 1 <= lastPixel; x += 2) {
        TU8x8 bytes;
        std::memcpy(&bytes, Row + 4 * size_t(x), sizeof bytes);
        const TF32x8 two = __builtin_convertvector(
            __builtin_convertvector(__builtin_convertvector(bytes, TU16x8), TI32x8), TF32x8);
        std::memcpy(&pixels_[size_t(x)], &two, sizeof two);
    }
    for (; x <= lastPixel; ++x) {
        TU8x4 bytes;
        std::memcpy(&bytes, Row + 4 * size_t(x), sizeof bytes);
        pixels_[size_t(x)] = __builtin_convertvector(__builtin_convertvector(bytes, TI32x4), TF32x4);
    }
    switch (columnTapCount_) {
    case 2: SumColumns<2>(); break;
    case 3: SumColumns<3>(); break;
    case 4: SumColumns<4>(); break;
    default: SumColumns<0>(); break;
    }
    const size_t ring = sums_.size();
    for (int j = firstOpen_; j < rows && rowTaps_.First[size_t(j)] <= y; ++j) {
        const int tap = y - rowTaps_.First[size_t(j)];
        if (tap >= rowTaps_.Count(j))
            continue;
        TU32x4* sums = sums_[size_t(j) % ring].data();
        const uint32_t weight = rowTaps_.Weights[size_t(rowTaps_.Start[size_t(j)] + tap)];
        if (tap == 0) {
            for (int c = 0; c < columns_; ++c)
                sums[c] = rowSums_[size_t(c)] * weight;
        } else if (weight != 0) {
            for (int c = 0; c < columns_; ++c)
                sums[c] += rowSums_[size_t(c)] * weight;
        }
        if (tap + 1 == rowTaps_.Count(j)) {
            uint8_t* out = bits_ + size_t(j) * stride_ + 4 * size_t(firstColumn_);
            int c = 0;
            // Four pixels at a time: the low half of each sum's top byte,
            // then the low byte of that (this machine is little-endian).
            static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
            for (; c + 4 <= columns_; c += 4) {
                const auto a = TU16x8(sums[c] >> 24), b = TU16x8(sums[c + 1] >> 24);
                const auto d = TU16x8(sums[c + 2] >> 24), e = TU16x8(sums[c + 3] >> 24);
                const TU16x8 ab = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
                const TU16x8 de = __builtin_shufflevector(d, e, 0, 2, 4, 6, 8, 10, 12, 14);
                const TU8x16 bytes = __builtin_shufflevector(TU8x16(ab), TU8x16(de), 0, 2, 4, 6, 8, 10, 12, 14, 16,
                                                             18, 20, 22, 24, 26, 28, 30);
                std::memcpy(out + 4 * size_t(c), &bytes, sizeof bytes);
            }
            for (; c < columns_; ++c) {
                const TU8x4 bytes = __builtin_convertvector(sums[c] >> 24, TU8x4);
                std::memcpy(out + 4 * size_t(c), &bytes, sizeof bytes);
            }
        }
    }
    while (firstOpen_ < rows && rowTaps_.Last(firstOpen_) <= y)
        ++firstOpen_;
}
