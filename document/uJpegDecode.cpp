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
#include <system_error>
#include <thread>
#include <vector>
#include <jpeglib.h>

namespace {

// Rows decoded per band, and bands under way at once.
constexpr int kBandRows = 32;
constexpr int kBands = 4;
// Reducers of a part of the target's columns each, on threads of their own.
constexpr int kReducers = 2;

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

// Bands of decoded rows, filled on the decoding thread and reduced while the
// next ones are decoded: each reducer (of a part of the target's columns)
// takes every band on a thread of its own. A reducer without a thread, when
// none could be had, reduces each band as it is handed over.
class TBandPipeline {
public:
    TBandPipeline(std::vector<std::unique_ptr<TAreaReducer>>& Reducers, size_t RowBytes)
        : reducers_(Reducers), rowBytes_(RowBytes), bands_(kBands * kBandRows * RowBytes), rows_(kBands),
          reduced_(Reducers.size())
    {
        try {
            while (threads_.size() < reducers_.size()) {
                const size_t reducer = threads_.size();
                threads_.emplace_back([this, reducer] { Reduce(reducer); });
            }
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
        for (std::thread& t : threads_)
            t.join();
    }
    size_t RowBytes() const { return rowBytes_; }
    // The next band to fill, once every reducer is done with it.
    uint8_t* Free()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return filled_ - Slowest() < kBands; });
        return Band(filled_);
    }
    // Hands over the band Free gave, holding Rows rows.
    void Filled(int Rows)
    {
        for (size_t r = threads_.size(); r < reducers_.size(); ++r)
            reducers_[r]->AddRows(Band(filled_), ptrdiff_t(rowBytes_), Rows);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_[size_t(filled_ % kBands)] = Rows;
            ++filled_;
            for (size_t r = threads_.size(); r < reducers_.size(); ++r)
                reduced_[r] = filled_;
        }
        changed_.notify_all();
    }
    // Waits until every band handed over is reduced.
    void Finish()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return Slowest() == filled_; });
    }

private:
    uint8_t* Band(int64_t Index) { return bands_.data() + size_t(Index % kBands) * kBandRows * rowBytes_; }
    int64_t Slowest() const { return *std::min_element(reduced_.begin(), reduced_.end()); }

    void Reduce(size_t Reducer)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (true) {
            changed_.wait(lock, [this, Reducer] { return stop_ || reduced_[Reducer] < filled_; });
            if (stop_)
                return;
            const int64_t band = reduced_[Reducer];
            const int rows = rows_[size_t(band % kBands)];
            lock.unlock();
            reducers_[Reducer]->AddRows(Band(band), ptrdiff_t(rowBytes_), rows);
            lock.lock();
            ++reduced_[Reducer];
            changed_.notify_all();
        }
    }

    std::vector<std::unique_ptr<TAreaReducer>>& reducers_;
    size_t rowBytes_;
    std::vector<uint8_t> bands_;
    std::vector<int> rows_;
    std::vector<int64_t> reduced_;  // bands each reducer is done with
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t filled_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_;
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

// The steps below hold only plain C objects across a jump: each sets the
// jump of the error manager for the library calls it makes.

bool Failed(jpeg_decompress_struct& Info, TJpegError& Err, char* Message)
{
    jpeg_destroy_decompress(&Info);
    std::snprintf(Message, JMSG_LENGTH_MAX, "%s", Err.Message);
    return false;
}

// Reads the header and starts decoding at the scale MinSize asks for.
bool Start(jpeg_decompress_struct& Info, TJpegError& Err, const uint8_t* Data, size_t Size, const QSize& MinSize,
           char* Message)
{
    Info.err = jpeg_std_error(&Err.Manager);
    Err.Manager.error_exit = ErrorExit;
    Err.Manager.output_message = SilentOutput;
    Err.Message[0] = 0;
    if (setjmp(Err.Jump))
        return Failed(Info, Err, Message);
    jpeg_create_decompress(&Info);
    jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size));
    jpeg_save_markers(&Info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&Info, TRUE);
    // Alpha bytes of 0xFF: the rows are RGB32 pixels as they come.
    Info.out_color_space = JCS_EXT_BGRA;
    ChooseScale(Info, MinSize);
    jpeg_start_decompress(&Info);
    return true;
}

// Decodes every row into Image, or into the bands of Pipeline when there is one.
bool ReadRows(jpeg_decompress_struct& Info, TJpegError& Err, QImage* Image, TBandPipeline* Pipeline, char* Message)
{
    if (setjmp(Err.Jump))
        return Failed(Info, Err, Message);
    JSAMPROW rows[kBandRows];
    while (Info.output_scanline < Info.output_height) {
        const int first = int(Info.output_scanline);
        const int count = int(std::min<JDIMENSION>(kBandRows, Info.output_height - Info.output_scanline));
        uint8_t* band = Pipeline ? Pipeline->Free() : nullptr;
        for (int i = 0; i < count; ++i)
            rows[i] = Pipeline ? band + size_t(i) * Pipeline->RowBytes() : Image->scanLine(first + i);
        for (int done = 0; done < count;) {
            const auto read = int(jpeg_read_scanlines(&Info, rows + done, JDIMENSION(count - done)));
            if (read == 0) {
                std::snprintf(Err.Message, JMSG_LENGTH_MAX, "no rows decoded");
                return Failed(Info, Err, Message);
            }
            done += read;
        }
        if (Pipeline)
            Pipeline->Filled(count);
    }
    return true;
}

// Reads the colour profile, if any, and ends decoding.
bool Finish(jpeg_decompress_struct& Info, TJpegError& Err, QByteArray& Icc, char* Message)
{
    if (setjmp(Err.Jump))
        return Failed(Info, Err, Message);
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    if (jpeg_read_icc_profile(&Info, &icc, &iccSize)) {
        Icc = QByteArray(reinterpret_cast<const char*>(icc), qsizetype(iccSize));
        std::free(icc);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return true;
}

bool Decode(const uint8_t* Data, size_t Size, const QSize& MinSize, const QSize& Reduced, QImage& Image,
            QByteArray& Icc, char* Message)
{
    jpeg_decompress_struct info;
    TJpegError err;
    if (!Start(info, err, Data, Size, MinSize, Message))
        return false;
    const QSize decoded(int(info.output_width), int(info.output_height));
    const bool reduce = Reduced.isValid() && Reduced != decoded && TAreaReducer::CanReduce(decoded, Reduced);
    Image = QImage(reduce ? Reduced : decoded, QImage::Format_RGB32);
    if (Image.isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(Message, JMSG_LENGTH_MAX, "picture too large");
        return false;
    }
    if (reduce) {
        // The target's columns in parts of about the same size.
        std::vector<std::unique_ptr<TAreaReducer>> reducers;
        const int parts = std::min(kReducers, Reduced.width());
        for (int i = 0; i < parts; ++i) {
            const int first = Reduced.width() * i / parts;
            reducers.push_back(std::make_unique<TAreaReducer>(decoded, Image, first,
                                                              Reduced.width() * (i + 1) / parts - first));
        }
        TBandPipeline pipeline(reducers, size_t(decoded.width()) * 4);
        if (!ReadRows(info, err, nullptr, &pipeline, Message))
            return false;
        pipeline.Finish();
    } else if (!ReadRows(info, err, &Image, nullptr, Message)) {
        return false;
    }
    return Finish(info, err, Icc, Message);
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
