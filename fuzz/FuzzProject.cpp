// libFuzzer target: a project file from bytes, drawn and saved again.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    FuzzProject(Data, Size);
    return 0;
}
