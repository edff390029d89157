// libFuzzer target: the rich-text component driven as the text panel drives it,
// with the picture classes registered so that the pictures of a text are drawn.
#include "FuzzSupport.h"
#include "RtObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static const bool classes = [] {
        for (const char* ext : {".PNG", ".JPG", ".BMP", ".WMF", ".EMF"})
            RtObjectClassesForExt.Add(AnsiString(ext) + "=TRtOImageObject");
        return true;
    }();
    (void)classes;
    FuzzStartApplication();
    FuzzRichText(Data, Size);
    return 0;
}
