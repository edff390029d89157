#include "RtfTestSupport.h"

#include "RtFormats.h"
#include "RtTextIo.h"

#include <memory>

TEST(RtfReader, AutoDetectionFindsTheRegisteredRtfReader)
{
    TMemoryStream m = RtfStreamOf("{\\rtf1\\ansi x}");
    const AnsiString name = RtChooseReaderClass("", "AUTO", m);
    EXPECT_EQ(name, "TRtRTFReader");
    const TRtClassFactory* factory = FindRtClass(name);
    ASSERT_NE(factory, nullptr);
    std::unique_ptr<TObject> reader((*factory)());
    EXPECT_NE(dynamic_cast<TRtRtfReader*>(reader.get()), nullptr);
    for (const char* n : {"TRtTextReader", "TRtTextWriter", "TRtRTFWriter"})
        EXPECT_NE(FindRtClass(n), nullptr) << n;
}

TEST(RtfReader, ReadsParagraphsAndBold)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\ansi {\\b bold} plain\\par second}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"bold plain", "second"}));
    const TParagraph* p = text.FirstPar;
    EXPECT_TRUE(AttrAt(p, 0).Style.Has(afsBold));
    EXPECT_FALSE(AttrAt(p, 4).Style.Has(afsBold));
}
