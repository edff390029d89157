// libFuzzer target: the page-template and colour-preset streams.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    FuzzTemplateStreams(Data, Size);
    return 0;
}
