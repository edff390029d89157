#pragma once
// Block-wise reading of a source stream for the text readers: bytes are handed
// out one by one from an 8192-byte buffer, one byte can be stepped back, and
// the stream can be put right behind the last byte consumed.
#include "Classes.h"

#include <cstdint>

class TRtReadBuffer {
public:
    static constexpr int32_t BufferSize = 8192;

    void Attach(TStream* stream)
    {
        stream_ = stream;
        count_ = pos_ = 0;
        origin_ = 0;
    }
    TStream* Stream() const { return stream_; }

    // The next byte, or -1 at the end of the stream (or on a read error).
    int ReadChar()
    {
        if (pos_ < count_)
            return buf_[pos_++];
        return Fill();
    }

    // Steps back one byte.
    void UnreadChar();

    // Puts the stream at the logical read position and empties the buffer.
    void SyncStream();
    // The logical read position in the stream: where the buffer was filled
    // plus the bytes handed out of it.
    int64_t StreamPosition() const { return count_ > 0 ? origin_ + pos_ : (stream_ ? stream_->Position() : 0); }

    // Copies up to count bytes (fewer at the end of the stream) to dest, or
    // skips them when dest is null; returns the bytes passed. Never moves back.
    int64_t Pass(int64_t count, TStream* dest);

private:
    int Fill();

    TStream* stream_ = nullptr;
    uint8_t buf_[BufferSize];
    int32_t count_ = 0;
    int32_t pos_ = 0;
    int64_t origin_ = 0;
};
