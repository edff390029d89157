#include "uJpegDecode.h"

#include "AreaReducer.h"

#include <QColorSpace>
#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#include <jpeglib.h>

namespace {

// Rows decoded per band, and bands under way at once.
constexpr int kBandRows = 32;
constexpr int kBands = 4;
// A sequential picture that is reduced is decoded in up to this many parts
// at once, each decoder skipping the rows before its part. Skipping a row
// (entropy decoding alone) takes about kSkipCost of the time of decoding it;
// the parts are sized so that all decoders finish together.
constexpr int kParts = 3;
constexpr double kSkipCost = 0.69;

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

// Bands of decoded rows, filled on the decoding thread and reduced, in order,
// on a thread of its own while the next ones are decoded. When every band is
// full and that thread is not reducing one (it was held up, or none could be
// had), the decoding thread reduces the oldest itself rather than wait.
class TBandPipeline {
public:
    TBandPipeline(TAreaReducer& Reducer, size_t RowBytes)
        : reducer_(Reducer), rowBytes_(RowBytes), bands_(kBands * kBandRows * RowBytes), rows_(kBands)
    {
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
        }
    }
    ~TBandPipeline()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }
    size_t RowBytes() const { return rowBytes_; }
    // The next band to fill, once the reducer is done with it.
    uint8_t* Free()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (filled_ - reduced_ == kBands)
            if (!ReduceOne(lock))
                changed_.wait(lock);
        return Band(filled_);
    }
    // Hands over the band Free gave, holding Rows rows.
    void Filled(int Rows)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_[size_t(filled_ % kBands)] = Rows;
            ++filled_;
        }
        changed_.notify_all();
    }
    // Returns once every band handed over is reduced.
    void Finish()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (reduced_ < filled_)
            if (!ReduceOne(lock))
                changed_.wait(lock);
    }

private:
    uint8_t* Band(int64_t Index) { return bands_.data() + size_t(Index % kBands) * kBandRows * rowBytes_; }

    // Reduces the oldest band not reduced yet, unless there is none or another
    // thread is reducing one; false then. Lock is held before and after.
    bool ReduceOne(std::unique_lock<std::mutex>& Lock)
    {
        if (reducing_ || reduced_ == filled_)
            return false;
        reducing_ = true;
        const int64_t band = reduced_;
        const int rows = rows_[size_t(band % kBands)];
        Lock.unlock();
        reducer_.AddRows(Band(band), ptrdiff_t(rowBytes_), rows);
        Lock.lock();
        ++reduced_;
        reducing_ = false;
        changed_.notify_all();
        return true;
    }

    void Work()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_)
            if (!ReduceOne(lock))
                changed_.wait(lock);
    }

    TAreaReducer& reducer_;
    size_t rowBytes_;
    std::vector<uint8_t> bands_;
    std::vector<int> rows_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t filled_ = 0, reduced_ = 0;
    bool reducing_ = false;
    bool stop_ = false;
    std::thread worker_;
};

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

// One decoder. The steps below hold only plain C objects across a jump: each
// sets the jump of the error manager for the library calls it makes.
struct TDecoder {
    jpeg_decompress_struct Info;
    TJpegError Err;
    char Message[JMSG_LENGTH_MAX];
};

bool Failed(TDecoder& D)
{
    jpeg_destroy_decompress(&D.Info);
    std::snprintf(D.Message, JMSG_LENGTH_MAX, "%s", D.Err.Message);
    return false;
}

// Reads the header and starts decoding at the scale MinSize asks for.
bool Start(TDecoder& D, const uint8_t* Data, size_t Size, const QSize& MinSize)
{
    D.Info.err = jpeg_std_error(&D.Err.Manager);
    D.Err.Manager.error_exit = ErrorExit;
    D.Err.Manager.output_message = SilentOutput;
    D.Err.Message[0] = 0;
    if (setjmp(D.Err.Jump))
        return Failed(D);
    jpeg_create_decompress(&D.Info);
    jpeg_mem_src(&D.Info, Data, static_cast<unsigned long>(Size));
    jpeg_save_markers(&D.Info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&D.Info, TRUE);
    // Alpha bytes of 0xFF: the rows are RGB32 pixels as they come.
    D.Info.out_color_space = JCS_EXT_BGRA;
    ChooseScale(D.Info, MinSize);
    jpeg_start_decompress(&D.Info);
    return true;
}

// Skips to row First and decodes the rows up to End into Image, or into the
// bands of Pipeline when there is one.
bool ReadRows(TDecoder& D, int First, int End, QImage* Image, TBandPipeline* Pipeline)
{
    if (setjmp(D.Err.Jump))
        return Failed(D);
    if (First > 0 && jpeg_skip_scanlines(&D.Info, JDIMENSION(First)) != JDIMENSION(First)) {
        std::snprintf(D.Err.Message, JMSG_LENGTH_MAX, "rows cannot be skipped");
        return Failed(D);
    }
    JSAMPROW rows[kBandRows];
    while (int(D.Info.output_scanline) < End) {
        const int first = int(D.Info.output_scanline);
        const int count = std::min(kBandRows, End - first);
        uint8_t* band = Pipeline ? Pipeline->Free() : nullptr;
        for (int i = 0; i < count; ++i)
            rows[i] = Pipeline ? band + size_t(i) * Pipeline->RowBytes() : Image->scanLine(first + i);
        for (int done = 0; done < count;) {
            const auto read = int(jpeg_read_scanlines(&D.Info, rows + done, JDIMENSION(count - done)));
            if (read == 0) {
                std::snprintf(D.Err.Message, JMSG_LENGTH_MAX, "no rows decoded");
                return Failed(D);
            }
            done += read;
        }
        if (Pipeline)
            Pipeline->Filled(count);
    }
    return true;
}

// Reads the colour profile, if any, and ends decoding (early, when not
// every row was asked for).
bool Finish(TDecoder& D, QByteArray* Icc)
{
    if (setjmp(D.Err.Jump))
        return Failed(D);
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    if (Icc && jpeg_read_icc_profile(&D.Info, &icc, &iccSize)) {
        *Icc = QByteArray(reinterpret_cast<const char*>(icc), qsizetype(iccSize));
        std::free(icc);
    }
    if (D.Info.output_scanline == D.Info.output_height)
        jpeg_finish_decompress(&D.Info);
    jpeg_destroy_decompress(&D.Info);
    return true;
}

// Makes Part of Image (its pixels at Bits), the reduction of the picture D
// decodes, from the rows that part needs. Without memory for its buffers it
// fails like a damaged picture: it may run on a thread of its own, which must
// not throw.
bool ReducePart(TDecoder& D, const QImage& Image, uint8_t* Bits, const QRect& Part, QByteArray* Icc)
{
    try {
        TAreaReducer reducer(QSize(int(D.Info.output_width), int(D.Info.output_height)), Image.size(), Bits,
                             Image.bytesPerLine(), Part);
        TBandPipeline pipeline(reducer, size_t(D.Info.output_width) * 4);
        if (!ReadRows(D, reducer.FirstRow(), reducer.EndRow(), nullptr, &pipeline))
            return false;
        pipeline.Finish();
    } catch (const std::bad_alloc&) {
        std::snprintf(D.Err.Message, JMSG_LENGTH_MAX, "out of memory");
        return Failed(D);
    }
    return Finish(D, Icc);
}

// A further part of a reduced picture, made by a decoder of its own on a
// thread of its own; without a thread to be had, when it is waited for.
class TOtherPart {
public:
    TOtherPart(const uint8_t* Data, size_t Size, const QSize& MinSize, const QImage& Image, uint8_t* Bits,
                const QRect& Part)
        : data_(Data), size_(Size), minSize_(MinSize), image_(Image), bits_(Bits), part_(Part)
    {
        try {
            thread_ = std::thread([this] { ok_ = Make(); });
        } catch (const std::system_error&) {
        }
    }
    ~TOtherPart()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // True when the part is made; else the library's message is in Message.
    bool Wait(char* Message)
    {
        if (thread_.joinable())
            thread_.join();
        else
            ok_ = Make();
        if (!ok_)
            std::snprintf(Message, JMSG_LENGTH_MAX, "%s", decoder_.Message);
        return ok_;
    }

private:
    bool Make()
    {
        return Start(decoder_, data_, size_, minSize_) && ReducePart(decoder_, image_, bits_, part_, nullptr);
    }

    const uint8_t* data_;
    size_t size_;
    QSize minSize_;
    const QImage& image_;
    uint8_t* bits_;
    QRect part_;
    TDecoder decoder_;
    bool ok_ = false;
    std::thread thread_;
};

// Where each of Parts parts of Rows target rows ends: part k takes a share
// d(k) = 1 - kSkipCost * (d(1) + ... + d(k - 1)) of the rows (d(1) = 1),
// scaled to all of them; a part of no rows is left out.
std::vector<int> PartEnds(int Parts, int Rows)
{
    std::vector<double> shares;
    double before = 0;
    for (int k = 0; k < Parts; ++k) {
        shares.push_back(std::max(0.0, 1 - kSkipCost * before));
        before += shares.back();
    }
    std::vector<int> ends;
    double sum = 0;
    for (double share : shares) {
        sum += share;
        const int end = std::min(int(Rows * sum / before), Rows);
        if (end > (ends.empty() ? 0 : ends.back()))
            ends.push_back(end);
    }
    if (ends.empty() || ends.back() < Rows)
        ends.push_back(Rows);
    return ends;
}

bool Decode(const uint8_t* Data, size_t Size, const QSize& MinSize, const QSize& Reduced, QImage& Image,
            QByteArray& Icc, char* Message)
{
    TDecoder decoder;
    auto fail = [&] {
        std::snprintf(Message, JMSG_LENGTH_MAX, "%s", decoder.Message);
        return false;
    };
    if (!Start(decoder, Data, Size, MinSize))
        return fail();
    const QSize decoded(int(decoder.Info.output_width), int(decoder.Info.output_height));
    const bool reduce = Reduced.isValid() && Reduced != decoded && TAreaReducer::CanReduce(decoded, Reduced);
    Image = QImage(reduce ? Reduced : decoded, QImage::Format_RGB32);
    if (Image.isNull()) {
        jpeg_destroy_decompress(&decoder.Info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    if (!reduce) {
        if (!ReadRows(decoder, 0, decoded.height(), &Image, nullptr) || !Finish(decoder, &Icc))
            return fail();
        return true;
    }
    // The first rows here, the others at once by decoders of their own, which
    // skip the rows before them: not worth it when the whole picture comes
    // before the first row (progressive JPEG).
    uint8_t* bits = Image.bits();  // taken once: the parts fill it at once
    const std::vector<int> ends = PartEnds(jpeg_has_multiple_scans(&decoder.Info) ? 1 : kParts, Reduced.height());
    std::vector<std::unique_ptr<TOtherPart>> others;
    try {
        for (size_t i = 1; i < ends.size(); ++i)
            others.push_back(std::make_unique<TOtherPart>(
                Data, Size, MinSize, Image, bits, QRect(0, ends[i - 1], Reduced.width(), ends[i] - ends[i - 1])));
    } catch (const std::bad_alloc&) {
        std::snprintf(decoder.Err.Message, JMSG_LENGTH_MAX, "out of memory");
        Failed(decoder);
        return fail();
    }
    if (!ReducePart(decoder, Image, bits, QRect(0, 0, Reduced.width(), ends[0]), &Icc))
        return fail();
    for (auto& other : others)
        if (!other->Wait(Message))
            return false;
    return true;
}

}  // namespace

bool DecodeJpegBytes(const uint8_t* Data, size_t Size, const QSize& MinSize, QImage& Image,
                     std::string& Message, const QSize& Reduced)
{
    char message[JMSG_LENGTH_MAX];
    Image = QImage();
    if (Size == 0) {
        Message = "no data";
        return false;
    }
    QByteArray icc;
    if (Decode(Data, Size, MinSize, Reduced, Image, icc, message)) {
        if (!icc.isEmpty())
            Image.setColorSpace(QColorSpace::fromIccProfile(icc));
        return true;
    }
    Image = QImage();  // rows decoded before the error
    Message = message;
    return false;
}
