// Reads arbitrary bytes as RTF into a fresh text store.
#include "RtRtfReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TRtRTFText text;
    TMemoryStream input;
    input.Write(data, int32_t(size));
    input.SetPosition(0);
    TRtRtfReader reader;
    reader.Text = &text;
    reader.Header = text.Header();
    reader.Par = text.FirstPar;
    TParagraph* first = nullptr;
    reader.Parse(&input, first);
    return 0;
}
