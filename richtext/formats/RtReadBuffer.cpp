#include "RtReadBuffer.h"

#include <algorithm>

int TRtReadBuffer::Fill()
{
    if (!stream_)
        return -1;
    origin_ = stream_->Position();
    count_ = std::max<int32_t>(0, stream_->Read(buf_, BufferSize));
    pos_ = 0;
    if (count_ == 0)
        return -1;
    pos_ = 1;
    return buf_[0];
}

void TRtReadBuffer::UnreadChar()
{
    if (pos_ > 0)
        --pos_;
    else if (stream_ && stream_->Position() > 0)
        stream_->Seek(-1, soCurrent);
}

void TRtReadBuffer::SyncStream()
{
    if (stream_ && count_ > 0)
        stream_->SetPosition(origin_ + pos_);
    count_ = pos_ = 0;
    origin_ = 0;
}

int64_t TRtReadBuffer::Pass(int64_t count, TStream* dest)
{
    int64_t done = 0;
    while (done < count) {
        if (pos_ >= count_) {
            if (Fill() < 0)
                break;
            pos_ = 0; // Fill handed out the first byte; take it with the block
        }
        const int32_t n = int32_t(std::min<int64_t>(count - done, count_ - pos_));
        if (dest)
            dest->WriteBuffer(buf_ + pos_, n);
        pos_ += n;
        done += n;
    }
    return done;
}
