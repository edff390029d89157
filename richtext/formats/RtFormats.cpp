#include "RtFormats.h"

#include "RtRtfReader.h"
#include "RtRtfWriter.h"

namespace {

template <class T>
TObject* Create()
{
    return new T;
}

const bool registered = (RtRegisterFormats(), true);

} // namespace

void RtRegisterFormats()
{
    // The RTF reader also under the name the store looks up by default.
    RegisterRtClasses({
        {"TRtTextReader", Create<TRtTextReader>},
        {"TRtRtfReader", Create<TRtRtfReader>},
        {"TRtRTFReader", Create<TRtRtfReader>},
        {"TRtTextWriter", Create<TRtTextWriter>},
        {"TRtUtf8TextWriter", Create<TRtUtf8TextWriter>},
        {"TRtRTFWriter", Create<TRtRTFWriter>},
    });
}
