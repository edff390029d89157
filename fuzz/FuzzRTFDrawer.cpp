// libFuzzer target: the RTF drawer.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    FuzzRTFDrawer(Data, Size);
    return 0;
}
