// Reads arbitrary bytes as RTF into a fresh text store, pictures becoming
// image objects, and writes the store as RTF again.
#include "RtObject.h"
#include "RtRtfReader.h"
#include "RtRtfWriter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool classes = [] {
        RtObjectClassesForExt.Add(".PNG=TRtOImageObject");
        RtObjectClassesForExt.Add(".JPG=TRtOImageObject");
        RtObjectClassesForExt.Add(".BMP=TRtOImageObject");
        RtObjectClassesForExt.Add(".WMF=TRtOImageObject");
        RtObjectClassesForExt.Add(".EMF=TRtOImageObject");
        return true;
    }();
    (void)classes;
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

    TMemoryStream output;
    TRtRTFWriter writer;
    writer.Text = &text;
    writer.FirstPar = text.FirstPar;
    writer.Reset();
    writer.Stream = &output;
    if (writer.WriteStart() == 0 && writer.WriteBody() == 0)
        writer.WriteEnd();
    return 0;
}
