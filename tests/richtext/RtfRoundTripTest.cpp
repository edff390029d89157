// A text written as RTF and read back gives the same store.
#include "RtfTestSupport.h"

#include "RtObject.h"

#include <QImage>
#include <regex>

namespace {

// Reads Rtf, writes it, reads the result: both stores must dump alike.
void ExpectRoundTrip(const std::string& Rtf)
{
    TRtRTFText first;
    ReadRtf(first, Rtf);
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
}

} // namespace

const char* const Tables = "{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}{\\f2 Symbol;}}"
                          "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red18\\green52\\blue86;}";

TEST(RtfRoundTrip, CharacterAttributes)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "{\\b bold}{\\i italic}{\\ul under}{\\strike gone}{\\super up}{\\sub down}{\\shad prot}"
                      "{\\f1\\fs31 mono}{\\cf1 red}{\\cb2 on blue}{\\cf3\\highlight1 both}{\\fs0 default}"
                      "{\\v hidden} braces \\{ \\} \\\\ and \\'e4\\'80\\'ff\\tab tab\\line break}");
}

TEST(RtfRoundTrip, ParagraphProperties)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "\\pard\\qc\\li100\\ri200\\fi-50\\sb10\\sa20\\sl300\\slmult1 centred\\par"
                      "\\pard\\qr\\sl-240 right exact\\par"
                      "\\pard\\qj\\keep\\rtparprot\\rtparid77\\rtlevel2\\toc justified\\par"
                      "\\pard\\tx1000\\tqr\\tx2000\\tqc\\tx3000\\tqdec\\tx4000 a\\tab b\\tab c\\tab d\\par"
                      "\\pard\\shading2500\\cbpat3 shaded\\par"
                      "\\pard\\page after a break\\par"
                      "\\pard\\rtnoparlines\\rtparhide\\rtparnowwrap flags\\par"
                      "\\pard last}");
}

TEST(RtfRoundTrip, TablesAndLinks)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "\\trowd\\trgaph108\\clvertalc\\cellx2000\\clvertalb\\cellx6000\\intbl a1\\cell b1\\line more\\cell\\row"
                      "\\trowd\\trgaph108\\cellx3000\\cellx4000\\cellx6000\\intbl a2\\cell b2\\cell c2\\cell\\row"
                      "\\pard before {\\field{\\*\\fldinst HYPERLINK \"http://x.org/a\"}{\\fldrslt link}} after\\par"
                      "\\pard{\\uldb old link}{\\v http://y.org}\\par"
                      "\\pard end}");
}

TEST(RtfRoundTrip, PageLayout)
{
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1\\paperw11906\\paperh16838\\margl1000\\margr1100\\margt1200\\margb1300\\margh500"
                   "\\margf600\\landscape\\deftab500 x}");
    TRtRTFText second;
    ReadRtf(second, WriteRtf(first));
    const TTextHeader& a = *first.Header();
    const TTextHeader& b = *second.Header();
    EXPECT_EQ(a.PageWidth(), 11906);
    EXPECT_EQ(a.LeftMargin(), 1000);
    EXPECT_TRUE(a.Landscape());
    EXPECT_EQ(b.PageWidth(), a.PageWidth());
    EXPECT_EQ(b.PageHeight(), a.PageHeight());
    EXPECT_EQ(b.LeftMargin(), a.LeftMargin());
    EXPECT_EQ(b.RightMargin(), a.RightMargin());
    EXPECT_EQ(b.TopMargin(), a.TopMargin());
    EXPECT_EQ(b.BottomMargin(), a.BottomMargin());
    EXPECT_EQ(b.MarginHeader(), a.MarginHeader());
    EXPECT_EQ(b.MarginFooter(), a.MarginFooter());
    EXPECT_EQ(b.Landscape(), a.Landscape());
    EXPECT_EQ(b.DefaultTabstop(), a.DefaultTabstop());
}

TEST(RtfRoundTrip, BordersListsAndCells)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}{\\levelnumbers;}\\f2\\fi-360\\li720}"
                      "{\\listlevel\\levelnfc4\\levelprev1{\\leveltext\\'03(\\'01);}{\\levelnumbers\\'02;}\\fs28}\\listid5}"
                      "{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}\\listid8}}"
                      "{\\*\\listoverridetable{\\listoverride\\listid5\\ls1}{\\listoverride\\listid8\\ls2}}"
                      "\\pard\\ls1 dot\\par\\pard\\ilvl1\\ls1 sub\\par\\pard\\ls2 one\\par\\pard\\ls2 two\\par"
                      "\\pard{\\*\\pn\\pnlvlblt\\pnf2\\pnindent300{\\pntxtb\\'b7}}old bullet\\par"
                      "\\pard{\\*\\pn\\pnlvl3\\pnucrm\\pnprev{\\pntxtb [}{\\pntxta ]}}old roman\\par"
                      "\\pard\\box\\brdrs\\brdrw15\\brsp40\\brdrcf1 boxed\\par"
                      "\\pard\\brdrbtw\\box\\brdrdb between\\par"
                      "\\pard\\brdrt\\brdrdb\\brdrcf2\\brdrb\\brdrs\\brdrcf3\\brdrl\\brdrdot\\brdrhair lines\\par"
                      "\\pard\\keepn\\keep{\\*\\rtmergepar{merge text}}\\rtmergestart kept\\par"
                      "\\pard\\trowd\\clbrdrl\\brdrs\\brdrcf1\\clbrdrb\\brdrdb\\clshdng2000\\clcbpat2\\cellx1000"
                      "\\clvertalc\\cellx2000\\intbl\\sa120\\sb60 a{\\*\\rtcellname{Name}}{\\*\\rtcellcom{Cmd}}\\rtcellfrm3\\cell"
                      "\\rtkeepn b\\cell\\row"
                      "\\pard\\trowd\\cellx3000\\intbl second table\\cell\\row"
                      "\\pard end}");
}

TEST(RtfRoundTrip, HeadersFootersInformationBookmarksAndFootnotes)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "{\\info{\\title The {title}}{\\author Ann\\'e9}{\\*\\company ACME}}"
                      "{\\*\\userprops{\\propname Count}\\proptype3{\\staticval 42}{\\propname Plain}{\\staticval text}}"
                      "\\facingp\\titlepg{\\headerf\\pard\\qc {\\b first} head\\par second line}{\\headerr odd head}"
                      "{\\footerl\\pard\\qr even foot}"
                      "\\pard a{\\*\\bkmkstart mark}b{\\*\\bkmkend mark}cd\\par"
                      "\\pard x{\\super 1}{\\*\\footnote{\\super 1} Note \\{one\\} \\'e4}y{\\*\\footnote\\rtfnnr7 Auto}z}");
}

TEST(RtfRoundTrip, NumberedFootnotesKeepTheirMarksFromTenOn)
{
    // Twelve notes numbered by the word processor, and one with its own mark.
    std::string rtf = "{\\rtf1";
    for (int i = 1; i <= 12; ++i)
        rtf += " w" + std::to_string(i) + "{\\super\\chftn}{\\*\\footnote{\\super\\chftn} n" + std::to_string(i) + "}";
    rtf += " x{\\super *}{\\*\\footnote{\\super *} own}}";
    TRtRTFText first;
    ReadRtf(first, rtf);
    ASSERT_EQ(ParString(first.FirstPar),
              "w11 w22 w33 w44 w55 w66 w77 w88 w99 w1010 w1111 w1212 x*");
    // Every digit of a number is part of its note's mark, none is text.
    std::vector<std::string> marks;
    const TLine* l = first.FirstPar->Lines;
    for (int32_t i = 0; i < l->Length; ++i) {
        const TAttr& a = l->Attrs[i];
        if (!a.Style.Has(afsIsFootnote)) {
            EXPECT_FALSE(a.Style.Has(afsSuper)) << i;
            continue;
        }
        const auto* note = static_cast<TRtFootnoteItem*>(first.FootnoteList()->FindItem(int32_t(a.Tag)));
        ASSERT_NE(note, nullptr) << i;
        if (i == 0 || l->Attrs[i - 1].Tag != a.Tag || !l->Attrs[i - 1].Style.Has(afsIsFootnote))
            marks.push_back(note->Text + "=");
        marks.back() += char(l->Chars[i]);
    }
    EXPECT_EQ(marks, (std::vector<std::string>{"n1=1", "n2=2", "n3=3", "n4=4", "n5=5", "n6=6", "n7=7", "n8=8",
                                               "n9=9", "n10=10", "n11=11", "n12=12", "own=*"}));
    // Written and read again, the text stays as it is, and so do the bytes.
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
    const std::string again = WriteRtf(second);
    TRtRTFText third;
    ReadRtf(third, again);
    EXPECT_EQ(again, written);
    EXPECT_EQ(WriteRtf(third), again);
}

TEST(RtfRoundTrip, BookmarksAreOneToAName)
{
    // A start repeated while its bookmark is open, a second bookmark under a
    // name already taken, and an end that nothing started.
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1 {\\*\\bkmkstart Part}a\\par {\\*\\bkmkstart part}b{\\*\\bkmkend Part}c"
                   "{\\*\\bkmkstart Part}d{\\*\\bkmkend Part}e{\\*\\bkmkend gone}f}");
    std::vector<std::string> marks;
    for (const TParagraph* p = first.FirstPar; p; p = p->Next)
        for (int32_t i = 0; i < p->Lines->Length; ++i)
            if (p->Lines->Attrs[i].Style.Has(afsIsObject)) {
                const TTextObj* ref = first.ObjRefList()->GetTextObj(int32_t(p->Lines->Attrs[i].Tag));
                ASSERT_NE(ref, nullptr);
                marks.push_back(std::to_string(p->Lines->Chars[i]) + ref->RefName + ":" + std::to_string(ref->Type));
            }
    EXPECT_EQ(marks, (std::vector<std::string>{"2Part:1", "3Part:1", "2Part_2:1", "3Part_2:1"}));
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
}

TEST(RtfRoundTrip, HeadersAndFootersKeepTheirPageRanges)
{
    // What the store holds comes back in the same ranges; other programs
    // find the all-pages text also where the text has none of its own.
    const struct {
        const char* Rtf;
        std::vector<std::string> Words;  // of the written groups, in order
    } cases[] = {
        {"{\\rtf1\\titlepg{\\headerf first}{\\header all {\\field{\\*\\fldinst PAGE}{\\fldrslt 2}}}"
         "{\\footer foot} body}",
         {"\\header all", "\\headerf first", "\\footer foot", "\\footerf foot"}},
        {"{\\rtf1\\facingp{\\header all}{\\headerr odd}{\\footerl even} body}",
         {"\\header all", "\\headerr odd", "\\headerl all", "\\footerl even"}},
    };
    for (const auto& c : cases) {
        TRtRTFText first;
        ReadRtf(first, c.Rtf);
        const std::string written = WriteRtf(first);
        TRtRTFText second;
        ReadRtf(second, written);
        EXPECT_EQ(second.HeaderFooters()->Count(), first.HeaderFooters()->Count()) << c.Rtf;
        EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
        std::vector<std::string> words;
        static const std::regex group("\\{(\\\\(?:header|footer)[flr]?) [^\\r]*?\\\\cf0 ([a-z]+)");
        for (auto m = std::sregex_iterator(written.begin(), written.end(), group); m != std::sregex_iterator(); ++m)
            words.push_back((*m)[1].str() + " " + (*m)[2].str());
        EXPECT_EQ(words, c.Words) << written;
    }
}

TEST(RtfRoundTrip, SpecialHeaderRanges)
{
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1\\rtspecialhf{\\headerl not first and last}{\\footerr last} x}");
    ASSERT_EQ(first.HeaderFooters()->Count(), 2);
    EXPECT_EQ(first.HeaderFooters()->GetItem(0)->Range, rtraNotOnFirstAndLastPages);
    EXPECT_EQ(first.HeaderFooters()->GetItem(1)->Range, rtraOnLastPage);
    const std::string written = WriteRtf(first);
    EXPECT_NE(written.find("\\rtspecialhf"), std::string::npos);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
}

TEST(RtfRoundTrip, MergeFieldsAndInsertPoints)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "x {\\field{\\*\\fldinst MERGEFIELD Name}{\\fldrslt \\'abName\\'bb}} y "
                      "{\\field{\\*\\fldinst MERGEFIELD \"Two words\"}{\\fldrslt <Two>}}\\par"
                      "\\inspnt7 P\\inaut1 auto text\\inaut0  z {\\inaut1 free} end}");
}

namespace {

std::string PictureHex(const char* Format)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(30, 100, 200));
    return ImageBytes(image, Format).toHex().toStdString();
}

} // namespace

TEST(RtfRoundTrip, PicturesObjectsAndTheBackground)
{
    TPictureClasses classes{".PNG", ".JPG"};
    const std::string png = PictureHex("PNG");
    const std::string rtf = "{\\rtf1{\\*\\rtbackbmp{0102ff}}a{\\pict\\pngblip\\picw4\\pich3\\picwgoal600\\pichgoal450 "
                            + png + "}b{\\pict\\jpegblip\\picscalex50\\picscaley200\\picwgoal400\\pichgoal300 "
                            + PictureHex("JPG") + "}c{\\pict\\wmetafile8 0102}d}";
    TRtRTFText first;
    ReadRtf(first, rtf);
    const TParagraph* p = first.FirstPar;
    ASSERT_EQ(ParString(p), "a\x01" "b\x01" "cd");   // no class for metafiles: dropped
    const TTextObj* ref = first.ObjRefList()->GetTextObj(int32_t(AttrAt(p, 1).Tag));
    ASSERT_TRUE(ref && ref->Object);
    auto* image = dynamic_cast<TRtOImageObject*>(ref->Object);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->GetPicture(), nullptr);
    EXPECT_EQ(image->GetPicture()->size(), QSize(4, 3));
    EXPECT_EQ(image->GetWidthTW(), 600);
    EXPECT_EQ(ref->Height, 450);
    const TTextObj* scaled = first.ObjRefList()->GetTextObj(int32_t(AttrAt(p, 3).Tag));
    ASSERT_TRUE(scaled && scaled->Object);
    EXPECT_EQ(scaled->Width, 200);
    EXPECT_EQ(scaled->Height, 600);
    ASSERT_TRUE(first.HasBackground && first.Background);
    EXPECT_EQ(first.Background->Size(), 3);

    // The standard form, the program's own form (both forms written: read once), in hex and binary.
    for (TRtObjectWriteRTFMode mode : {wobOnlyStandard, wobOnlyRTF, wobBoth})
        for (bool binary : {false, true}) {
            for (TRtObjectBase* o : first.Objects())
                static_cast<TRtObject*>(o)->WriteRTFMode = mode;
            first.Header()->StoreOptions.Set(soWriteObjectsAsRTFBinary, binary);
            const std::string written = WriteRtf(first);
            EXPECT_EQ(written.find("\\rtobject") != std::string::npos, mode != wobOnlyStandard);
            EXPECT_EQ(written.find("\\pngblip") != std::string::npos, mode != wobOnlyRTF);
            TRtRTFText second;
            ReadRtf(second, written);
            EXPECT_EQ(DumpStore(second), DumpStore(first)) << mode << binary;
            const TTextObj* back = second.ObjRefList()->GetTextObj(int32_t(AttrAt(second.FirstPar, 1).Tag));
            ASSERT_TRUE(back && back->Object);
            auto* backImage = dynamic_cast<TRtOImageObject*>(back->Object);
            ASSERT_TRUE(backImage && backImage->GetPicture());
            EXPECT_EQ(backImage->GetPicture()->size(), QSize(4, 3));
            ASSERT_TRUE(second.Background);
            EXPECT_EQ(second.Background->Bytes(), first.Background->Bytes());
        }
}

TEST(RtfRoundTrip, PositionedObjectsKeepTheirPlace)
{
    TPictureClasses classes{".PNG", ".JPG"};
    const std::string png = PictureHex("PNG");
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1 a{\\pict\\pngblip\\ppar\\relx100\\rely200\\picwrap1 " + png + "}b"
                   "{\\pict\\pngblip\\ppag\\relx300\\rely400 " + png + "}}");
    for (TRtObjectBase* o : first.Objects())
        static_cast<TRtObject*>(o)->WriteRTFMode = wobBoth;
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
    EXPECT_NE(DumpStore(first).find(":1@100,200/1"), std::string::npos) << DumpStore(first);
    EXPECT_NE(DumpStore(first).find(":2@300,400/0"), std::string::npos);
}

TEST(RtfRoundTrip, RawCodeAndPageReferences)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "a\\rtrtf1 {\\raw \\rtrtf code} \\\\rtrt\\rtrtf0 b {\\field{\\*\\fldinst{PAGEREF mark \\\\h"
                      "{\\*\\rtfldfrm{Page %d}}}}{\\fldrslt{7}}} c\\par next}");
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a\\rtrtf1 {\\x} \\rtrtf0 b{\\field{\\*\\fldinst{PAGEREF mark \\\\h}}{\\fldrslt{7}}}c}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), "a{\\x}  b\x01" "c");
    EXPECT_TRUE(AttrAt(p, 1).Style.Has(afsIsRTFCode));
    EXPECT_FALSE(AttrAt(p, 6).Style.Has(afsIsRTFCode));
    const TTextObj* ref = text.ObjRefList()->GetTextObj(int32_t(AttrAt(p, 8).Tag));
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->Type, 3);
    EXPECT_EQ(ref->RefName, "mark");
}

TEST(RtfRoundTrip, AnEmptyLastParagraphKeepsItsProperties)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables + "a\\par\\pard\\qc\\li300\\tx720\\keepn\\box\\brdrs\\brdrcf1\\par}");
    ExpectRoundTrip(std::string("{\\rtf1") + Tables + "\\pard\\qr\\tx720 a\\par}");
    // An empty last item of a list stays numbered.
    const std::string list = "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid8}}"
                             "{\\*\\listoverridetable{\\listoverride\\listid8\\ls1}}";
    TRtRTFText text;
    ReadRtf(text, std::string("{\\rtf1") + Tables + list + "\\pard\\ls1 a\\par\\pard\\ls1 }");
    ASSERT_NE(ParAt(text, 1), nullptr);
    EXPECT_NE(text.NumberingStyles()->FindForPar(ParAt(text, 1)), nullptr);
    ExpectRoundTrip(std::string("{\\rtf1") + Tables + list + "\\pard\\ls1 a\\par\\pard\\ls1\\tx720 }");
}

TEST(RtfRoundTrip, ShadingPatternColoursOfParagraphsAndCells)
{
    const std::string rtf = std::string("{\\rtf1") + Tables
                            + "\\pard\\shading2500\\cfpat1\\cbpat3 shaded\\par"
                              "\\pard\\trowd\\clshdng2000\\clcfpat2\\clcbpat3\\cellx1000\\intbl a\\cell\\row"
                              "\\pard\\cfpat2 patterned\\par\\pard end}";
    TRtRTFText text;
    ReadRtf(text, rtf);
    EXPECT_EQ(ColorName(text, ParAt(text, 0)->PatColor), "ff0000");
    EXPECT_EQ(ColorName(text, ParAt(text, 1)->PatColor), "0000ff");
    // A pattern colour alone shades in full.
    EXPECT_EQ(ParAt(text, 2)->Shading, 100);
    EXPECT_EQ(ColorName(text, ParAt(text, 2)->PatColor), "0000ff");
    const std::string written = WriteRtf(text);
    EXPECT_NE(written.find("\\shading2500\\cfpat"), std::string::npos) << written;
    EXPECT_NE(written.find("\\clshdng2000\\clcfpat"), std::string::npos) << written;
    ExpectRoundTrip(rtf);
}

// The end mark of an empty last paragraph keeps its font and colour, also written and read again.
TEST(RtfRoundTrip, AnEmptyLastParagraphKeepsItsEndMarkFormat)
{
    for (const char* body : {"a\\par\\plain\\f1\\cf1 }", "{\\pard a\\par\\plain\\f1\\cf1 }}"}) {
        TRtRTFText first;
        ReadRtf(first, std::string("{\\rtf1") + Tables + body);
        TRtRTFText second;
        ReadRtf(second, WriteRtf(first));
        ASSERT_NE(ParAt(first, 1), nullptr) << body;
        ASSERT_NE(ParAt(second, 1), nullptr) << body;
        EXPECT_EQ(ParAt(first, 1)->ParAttr.Font, 1) << body;
        EXPECT_NE(ParAt(first, 1)->ParAttr.TextColor, 0) << body;
        EXPECT_EQ(ParAt(second, 1)->ParAttr.Font, 1) << body;
        EXPECT_EQ(ParAt(second, 1)->ParAttr.TextColor, ParAt(first, 1)->ParAttr.TextColor) << body;
    }
}
