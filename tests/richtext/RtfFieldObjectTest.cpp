// Fields whose name has a registered field class become field objects.
#include "RtfTestSupport.h"

#include "RtObject.h"

namespace {

// The field objects of a text in character order: "class:name:mask".
std::vector<std::string> Fields(const TRtRTFText& Text)
{
    std::vector<std::string> v;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next)
        for (const TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (l->Attrs[i].Style.Has(afsIsObject))
                    if (TTextObj* ref = Text.ObjRefList()->GetTextObj(int32_t(l->Attrs[i].Tag)))
                        if (auto* f = dynamic_cast<TRtObjectField*>(ref->Object))
                            v.push_back(std::string(f->ClassName()) + ":" + f->FieldName + ":" + f->FieldMask);
    return v;
}

} // namespace

TEST(RtfFieldObjects, RegisteredNamesBecomeObjectsAndOthersKeepTheirResult)
{
    RegisterRtFieldClass("TESTTAG", [] { return std::make_unique<TRtTagField>(); });
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}b\\chpgn c\\chdate\\chtime"
                  "{\\field{\\*\\fldinst{ numpages  }}{\\fldrslt 9}}"
                  "{\\field{\\*\\fldinst TESTTAG \"x y\"}{\\fldrslt tag}}"
                  "{\\field{\\*\\fldinst UNKNOWNFIELD x}{\\fldrslt kept}}"
                  "{\\field{\\*\\fldinst INCLUDEPICTURE \"/etc/hostname\"}{\\fldrslt pic}}}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"a\x01" "b\x01" "c\x01\x01\x01\x01" "keptpic"}));
    EXPECT_EQ(Fields(text), (std::vector<std::string>{"TRtObjectField:PAGE:", "TRtObjectField:PAGE:",
                                                      "TRtObjectField:DATE:", "TRtObjectField:TIME:",
                                                      "TRtObjectField:numpages:", "TRtTagField:TESTTAG:x y"}));

    // Written as fields, they come back as the same objects.
    const std::string written = WriteRtf(text);
    TRtRTFText again;
    ReadRtf(again, written);
    EXPECT_EQ(Fields(again), Fields(text)) << written;
    EXPECT_EQ(Pars(again), Pars(text)) << written;
}
