// libFuzzer target: the rich-text component driven as the text panel drives it.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    FuzzStartApplication();
    FuzzRichText(Data, Size);
    return 0;
}
