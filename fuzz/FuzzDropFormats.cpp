// libFuzzer target: the formats that drops and the clipboard bring in.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    FuzzDropFormats(Data, Size);
    return 0;
}
