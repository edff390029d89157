#include "RtfTestSupport.h"

#include "RtExtraData.h"
#include "RtFormats.h"
#include "RtHeaderFooter.h"
#include "RtList.h"
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

TEST(RtfReader, GroupsEscapesAndTheEndOfTheDocument)
{
    struct Case {
        const char* rtf;
        const char* text;
    };
    const Case cases[] = {
        {"{\\rtf1 a{\\*\\unknownword skipped}b}", "ab"},
        {"{\\rtf1 a{\\unknownword kept}b}", "akeptb"},
        {"{\\rtf1 \\{x\\}\\~y}", "{x} y"},
        {"{\\rtf1 in}after", "in"},
        {"{\\rtf1 \\'e4\\'C4}", "\xe4\xc4"},
        {"{\\rtf1 a\\'zzb}", "ab"},                            // a bad escape takes two characters along
        {"{\\rtf1 a\\'4xb\\'z}c}", "ab"},                      // but never a brace
        {"{\\rtf1 a\\'4}", "a"},
        {"{\\rtf1 \\uc1\\u228 x\\u8364?}", "\xe4\x80"},          // fallbacks dropped
        {"{\\rtf1 \\uc2\\u228 xy\\uc0\\u8364}", "\xe4\x80"},
        {"{\\rtf1 \\u-10179?\\u-8704?z}", "?z"},                   // outside the BMP: one "?"
        {"{\\rtf1 a\\abcdefghijklmnopqrstuvwxyzabcdefghi b}", "ab"},
        {"{\\rtf1 {\\b x}{\\i y}}", "xy"},
        {"{\\rtf1 a\\bin3 {}\\b b}", "ab b"},
        {"{\\rtf1 a\\bin-5 b}", "ab"},
        {"{\\rtf1 a{\\*\\unknown \\bin3 }}{x}b}", "ab"},   // binary data in a skipped group
        {"{\\rtf1 a\\bin99999999999 b}", "a"},
        {"{\\rtf1 a{\\*\\pntext 1.\\tab}b}", "ab"},
        {"{\\rtf1 \\lquote x\\rquote\\emdash\\endash\\emspace\\ldblquote\\rdblquote\\bullet\\enspace\\qmspace|}",
         "\x91x\x92\x97\x96\xa0\x93\x94\x95\xa0 |"},
        {"{\\rtf1 a\tb\\tab c}", "a\tb\tc"},                   // a tab byte is a tab
        {"{\\rtf1 a\\\nb\\\r\nc\\column d}", "a\nb\nc\nd"},   // backslash and line end: a paragraph
        {"{\\rtf1 a\\par\\par b}", "a\n\nb"},
        {"}}}", ""},
        {"{\\rtf1 unclosed {\\b group", "unclosed group"},
        {"\x08  \r\n{\\rtf1 text}", "text"},                        // bytes before the first group
        {"junk\\par\\b {\\rtf1 x}", "x"},
        {"{\\rtf1 a{\\*\\pnseclvl1\\pnucrm\\pnstart1 hidden{\\pntxta .}}b}", "ab"}, // numbering definitions
        {"{\\rtf1 a{\\pn\\pnlvlblt\\pnf1 nope{\\pntxtb \\'B7}{\\b in}}b}", "ab"},
    };
    for (const Case& c : cases) {
        TRtRTFText text;
        ReadRtf(text, c.rtf);
        std::string joined;
        const std::vector<std::string> ps = Pars(text);
        for (size_t i = 0; i < ps.size(); ++i)
            joined += (i ? "\n" : "") + ps[i];
        EXPECT_EQ(joined, c.text) << c.rtf;
    }
}

TEST(RtfReader, CharacterAndParagraphValues)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f3 WingDings;}{\\f7\\fcharset2 Marks;}}"
                  "{\\colortbl;\\red255\\green0\\blue0;}"
                  "\\pard\\li-100\\ql\\qc\\fs25 a\\f3 b\\f99 c\\cf1 d\\cf77 e\\par"
                  "\\pard\\qr\\sl1000\\fs0 f\\par}");
    const TParagraph* p = text.FirstPar;
    EXPECT_EQ(p->IndentLeft, 0);
    EXPECT_EQ(p->Align, paralCenter);
    EXPECT_EQ(AttrAt(p, 0).Size, 12);
    EXPECT_EQ(text.Header()->Fonts[AttrAt(p, 1).Font].Name, "WingDings");
    EXPECT_EQ(AttrAt(p, 2).Font, AttrAt(p, 1).Font);   // unknown font number: unchanged
    EXPECT_EQ(ColorName(text, AttrAt(p, 3).TextColor), "ff0000");
    EXPECT_EQ(AttrAt(p, 4).TextColor, 0);              // unknown colour number
    const TParagraph* q = p->Next;
    EXPECT_EQ(q->Align, paralRight);
    EXPECT_EQ(q->SpaceBetween, 0);
    EXPECT_EQ(AttrAt(q, 0).Size, 0);
}

TEST(RtfReader, ParInsideARowIsALineBreakAndSectOnAnEmptyParagraphIsAPageBreak)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 \\trowd\\cellx1000\\intbl a\\par b\\cell\\row\\pard x\\par\\sect y}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"a\nb", "x", "y"}));
    EXPECT_TRUE(ParAt(text, 2)->Flags & parfNewPage);
}

TEST(RtfReader, APageBreakInsideAParagraphStartsTheNextOnANewPage)
{
    // "\page" behind text ends that paragraph; the next one starts a page,
    // whatever its own format says.
    const struct {
        const char* Rtf;
        std::vector<std::string> Pars;
        std::vector<bool> NewPage;
    } cases[] = {
        {"{\\rtf1 a\\page b\\par c}", {"a", "b", "c"}, {false, true, false}},
        {"{\\rtf1 a\\page b}", {"a", "b"}, {false, true}},
        {"{\\rtf1 a\\par\\page b\\par c}", {"a", "b", "c"}, {false, true, false}},
        {"{\\rtf1 a\\page\\pard b\\par c}", {"a", "b", "c"}, {false, true, false}},
        {"{\\rtf1 a\\par\\page\\pard\\qc b\\par c}", {"a", "b", "c"}, {false, true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rtf);
        TRtRTFText text;
        ReadRtf(text, c.Rtf);
        ASSERT_EQ(Pars(text), c.Pars);
        for (size_t i = 0; i < c.NewPage.size(); ++i)
            EXPECT_EQ(bool(ParAt(text, int(i))->Flags & parfNewPage), c.NewPage[i]) << "paragraph " << i;
    }
}

TEST(RtfReader, OverlongRowsAndHugeNumbersStayInRange)
{
    std::string rtf = "{\\rtf1\\trowd";
    for (int i = 0; i < 400; ++i)
        rtf += "\\cellx" + std::to_string(10 + i * 10);
    for (int i = 0; i < 400; ++i)
        rtf += "\\intbl c\\cell";
    rtf += "\\row\\pard\\li99999999999\\fi-99999999999\\tx99999999999\\fs99999999999\\paperw-5 z}";
    TRtRTFText text;
    ReadRtf(text, rtf);
    int32_t shares = 0;
    int cells = 0;
    const TParagraph* p = text.FirstPar;
    for (; p && (p->Flags & parfTableCell); p = p->Next, ++cells)
        shares = std::max(shares, p->Cell->Left + p->Cell->Width);
    EXPECT_EQ(cells, 400);
    EXPECT_LE(shares, 255 + 10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->IndentLeft, INT16_MAX);
    EXPECT_EQ(p->IndentFirst, INT16_MIN);
    EXPECT_GT(text.Header()->PageWidth(), 0);
}

TEST(RtfReader, StylesheetResolvesBasedOnChainsAndCycles)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier;}}"
                  "{\\stylesheet{\\s0\\fs24 Normal;}{\\s1\\sbasedon0\\b\\qc Heading;}{\\s2\\sbasedon1\\i\\f1 Sub;}"
                  "{\\s3\\sbasedon4\\sa100 Loop A;}{\\s4\\sbasedon3\\sb50 Loop B;}{\\s5\\sbasedon5\\ul Self;}}"
                  "\\pard\\plain\\s2 sub\\par\\pard\\plain\\s4 loop\\par\\pard\\plain\\s5 self\\par\\pard\\plain\\s9 none}");
    const TParagraph* sub = ParAt(text, 0);
    EXPECT_EQ(sub->Align, paralCenter);
    EXPECT_TRUE(AttrAt(sub, 0).Style.Has(afsBold));
    EXPECT_TRUE(AttrAt(sub, 0).Style.Has(afsItalic));
    EXPECT_EQ(AttrAt(sub, 0).Size, 12);
    EXPECT_EQ(text.Header()->Fonts[AttrAt(sub, 0).Font].Name, "Courier");
    const TParagraph* loop = ParAt(text, 1);
    EXPECT_EQ(loop->SpaceBefore, 50);
    EXPECT_EQ(loop->SpaceAfter, 100);
    EXPECT_TRUE(AttrAt(ParAt(text, 2), 0).Style.Has(afsUnderline));
    EXPECT_EQ(AttrAt(ParAt(text, 3), 0).Size, 0);
}

TEST(RtfReader, ListOverridesGiveParagraphsTheirNumbering)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Symbol;}}"
                  "{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}{\\levelnumbers;}\\f1\\fi-360\\li720}\\listid5}"
                  "{\\list{\\listlevel\\levelnfc4{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}\\fi-300\\li600}"
                  "{\\listlevel\\levelnfc2{\\leveltext\\'03(\\'01);}{\\levelnumbers\\'02;}}\\listid9}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid9\\ls1}{\\listoverride\\listid5\\ls2}}"
                  "\\pard\\ls2 dot\\par\\pard\\ls1 letter\\par\\pard\\ilvl1\\ls1 roman\\par\\pard\\ls1 again\\par\\pard\\ls7 none}");
    const TRtRTFNumberingStyleCollection& n = *text.NumberingStyles();
    const TRtRTFNumberingStyle* dot = n.FindForPar(ParAt(text, 0));
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(dot->Style, rt_bullet);
    EXPECT_EQ(dot->TextB, "\xb7");
    EXPECT_EQ(dot->Font, "Symbol");
    EXPECT_EQ(ParAt(text, 0)->IndentLeft, 720);
    EXPECT_EQ(ParAt(text, 0)->IndentFirst, -360);
    const TRtRTFNumberingStyle* letter = n.FindForPar(ParAt(text, 1));
    ASSERT_NE(letter, nullptr);
    EXPECT_EQ(letter->Style, rt_a);
    EXPECT_EQ(letter->TextA, ")");
    const TRtRTFNumberingStyle* roman = n.FindForPar(ParAt(text, 2));
    ASSERT_NE(roman, nullptr);
    EXPECT_EQ(roman->Style, rt_i);
    EXPECT_EQ(roman->Group, letter->Group);
    EXPECT_EQ(roman->TextB, "(");
    // "\pard" ends the list level in force: "\ls" alone means the first.
    EXPECT_EQ(n.FindForPar(ParAt(text, 3)), letter);
    EXPECT_EQ(ParAt(text, 3)->NumLevel, 1);
    EXPECT_EQ(n.FindForPar(ParAt(text, 4)), nullptr);
}

TEST(RtfReader, ListOverridesAreFoundByTheNumbersTheyDeclare)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}"
                  "{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'95;}{\\levelnumbers;}}\\listid5}"
                  "{\\list{\\listlevel\\levelnfc4{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}}\\listid9}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid9\\ls7}{\\listoverride\\listid5\\ls1}}"
                  "\\pard\\ls1 dot\\par\\pard\\ls7 letter\\par\\pard\\ls2 none}");
    const TRtRTFNumberingStyleCollection& n = *text.NumberingStyles();
    const TRtRTFNumberingStyle* dot = n.FindForPar(ParAt(text, 0));
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(dot->Style, rt_bullet);
    const TRtRTFNumberingStyle* letter = n.FindForPar(ParAt(text, 1));
    ASSERT_NE(letter, nullptr);
    EXPECT_EQ(letter->Style, rt_a);
    EXPECT_EQ(n.FindForPar(ParAt(text, 2)), nullptr);
}

TEST(RtfReader, HeadersAndFootersByPageRange)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\facingp\\titlepg{\\headerf first head\\par}{\\footerl left foot}{\\header second}"
                  "{\\footer all foot}{\\header again}body\\par end}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"body", "end"}));
    TRtHeaderFooterCollection& hf = *text.HeaderFooters();
    // Every range keeps the first text read for it.
    const struct {
        TRtPagePropertyKind Kind;
        TRtPagePropertyRange Range;
        const char* Text;
    } expected[] = {{rtIsHeader, rtraOnFirstPage, "first head"},
                    {rtIsFooter, rtraOnEvenPages, "left foot"},
                    {rtIsHeader, rtraOnAllPages, "second"},
                    {rtIsFooter, rtraOnAllPages, "all foot"}};
    ASSERT_EQ(hf.Count(), int32_t(std::size(expected)));
    for (int32_t i = 0; i < hf.Count(); ++i) {
        EXPECT_EQ(hf.GetItem(i)->Kind, expected[i].Kind) << i;
        EXPECT_EQ(hf.GetItem(i)->Range, expected[i].Range) << i;
        EXPECT_EQ(ParString(hf.GetItem(i)->Paragraphs()), expected[i].Text) << i;
    }
    EXPECT_EQ(hf.GetItem(0)->Paragraphs()->Next, nullptr);   // the trailing empty paragraph is dropped

    // Without "\\facingp" and "\\titlepg" a lettered word stands for all
    // pages until "\\header" or "\\footer" gives their own text.
    ReadRtf(text, "{\\rtf1{\\headerr right}{\\headerl left}{\\footerf first}{\\header all} x}");
    ASSERT_EQ(hf.Count(), 2);
    EXPECT_EQ(ParString(hf.GetItem(0)->Paragraphs()), "first");
    EXPECT_EQ(hf.GetItem(0)->Range, rtraOnAllPages);
    EXPECT_EQ(ParString(hf.GetItem(1)->Paragraphs()), "all");
    EXPECT_EQ(hf.GetItem(1)->Range, rtraOnAllPages);
}

// A first-page header is dropped as the writer's copy of the all-pages one
// only when its paragraphs are alike in every property, not just in the text.
TEST(RtfReader, AFirstPageHeaderThatDiffersInFormatIsKept)
{
    for (const char* words : {"\\shading5000", "\\brdrb\\brdrs\\brdrw30", "\\rtlevel2"}) {
        TRtRTFText text;
        ReadRtf(text, std::string("{\\rtf1\\titlepg{\\header\\brdrb\\brdrs same\\par}{\\headerf\\brdrb\\brdrs")
                          + words + " same\\par} body}");
        EXPECT_EQ(text.HeaderFooters()->Count(), 2) << words;
    }
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\titlepg{\\header\\shading5000 same\\par}{\\headerf\\shading5000 same\\par} body}");
    EXPECT_EQ(text.HeaderFooters()->Count(), 1);
}

// The body's empty last paragraph takes the format its closing group left, even
// when a header read after it closes groups of its own.
TEST(RtfReader, AHeaderLeavesTheFormatOfTheBodysEmptyParagraph)
{
    for (const char* rtf : {"{\\rtf1 a\\par{\\qc}{\\header{\\qr}h}}",
                            "{\\rtf1 a\\par{\\qc}{\\header{\\qr}h\\par{\\qj}}}",
                            "{\\rtf1 a\\par{\\qc}{\\header h}}"}) {
        TRtRTFText text;
        ReadRtf(text, rtf);
        ASSERT_NE(text.FirstPar->Next, nullptr) << rtf;
        EXPECT_EQ(text.FirstPar->Next->Align, paralCenter) << rtf;
        EXPECT_EQ(text.HeaderFooters()->Count(), 1) << rtf;
    }
}

TEST(RtfReader, InformationAndUserProperties)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\info{\\title The title}{\\author Ann}{\\*\\company ACME}{\\creatim\\yr2020}}"
                  "{\\*\\userprops{\\propname Count}\\proptype3{\\staticval 42}{\\propname Flag}\\proptype11{\\staticval 1}}x}");
    const TRtRTFExtraDataCollection& d = *text.ExtraData();
    struct Case {
        const char* name;
        const char* text;
        TRtRTFExtraSubType type;
    };
    for (const Case& c : {Case{"Title", "The title", rtxDefault}, Case{"Author", "Ann", rtxDefault},
                          Case{"company", "ACME", rtxDefault}, Case{"Count", "42", rtxNumber},
                          Case{"Flag", "1", rtxBoolean}}) {
        const TRtRTFExtraDataItem* item = d.Find(c.name, 0);
        ASSERT_NE(item, nullptr) << c.name;
        EXPECT_EQ(item->Text, c.text) << c.name;
        EXPECT_EQ(item->SubType, c.type) << c.name;
    }
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"x"}));
}

TEST(RtfReader, BookmarksBecomeNamedStartAndEndMarks)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\*\\bkmkstart mark}b{\\*\\bkmkend mark}c}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), std::string("a\x02" "b\x03" "c"));
    const TAttr& start = AttrAt(p, 1);
    const TAttr& end = AttrAt(p, 3);
    EXPECT_TRUE(start.Style.Has(afsIsObject));
    EXPECT_EQ(start.Tag, end.Tag);
    const TTextObj* ref = text.ObjRefList()->GetTextObj(int32_t(start.Tag));
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->RefName, "mark");
    EXPECT_EQ(ref->Type, 1);
}

TEST(RtfReader, FootnoteMarksAreSuperscriptCharactersOrNumbers)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\super 1}{\\*\\footnote\\pard\\plain{\\super 1} Note \\{one\\}\\par}b"
                  "{\\*\\footnote\\rtfnnr7 Second}c}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), "a1b1c");   // a note without a mark gets the next number
    const TAttr& first = AttrAt(p, 1);
    EXPECT_TRUE(first.Style.Has(afsIsFootnote));
    EXPECT_FALSE(first.Style.Has(afsSuper));
    const auto* one = static_cast<TRtFootnoteItem*>(text.FootnoteList()->FindItem(int32_t(first.Tag)));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->Text, "Note \\{one\\}");
    EXPECT_EQ(one->Kind, 0);
    EXPECT_FALSE(AttrAt(p, 2).Style.Has(afsIsFootnote));   // "b" after the note is text
    const TAttr& second = AttrAt(p, 3);
    EXPECT_TRUE(second.Style.Has(afsIsFootnote));
    const auto* two = static_cast<TRtFootnoteItem*>(text.FootnoteList()->FindItem(int32_t(second.Tag)));
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->Text, "Second");
    EXPECT_EQ(two->Kind, 1);
    EXPECT_EQ(two->Value, 7);
}

TEST(RtfReader, BordersOfParagraphsAndCells)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                  "\\pard\\box\\brdrs\\brdrw15\\brsp40\\brdrcf1 boxed\\par"
                  "\\pard\\brdrt\\brdrdb\\brdrcf2\\brdrb\\brdrs lines\\par"
                  "\\pard\\trowd\\clbrdrl\\brdrs\\brdrcf1\\clshdng2000\\clcbpat2\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row"
                  "\\pard\\brdrbtw\\box x\\par"
                  // Sides written "none" go, the line written for another side stays.
                  "\\pard\\brdrt\\brdrnone\\brdrb\\brdrdb\\brdrw10\\brdrr\\brdrnone rule\\par"
                  "\\pard\\brdrb\\brdrs\\brdrb\\brdrnone none}");
    const TParagraph* boxed = ParAt(text, 0);
    EXPECT_EQ(boxed->BrdLines, 0x3D);
    EXPECT_EQ(boxed->BrdWidth, 15);
    EXPECT_EQ(boxed->BrdSpace, 2);
    EXPECT_EQ(ColorName(text, boxed->BrdColor[0]), "ff0000");
    EXPECT_EQ(ColorName(text, boxed->BrdColor[3]), "ff0000");
    const TParagraph* lines = ParAt(text, 1);
    EXPECT_EQ(lines->BrdLines, 0x05 | 0x81 | 0x09);
    EXPECT_EQ(ColorName(text, lines->BrdColor[1]), "0000ff");
    const TParagraph* a = ParAt(text, 2);
    EXPECT_EQ(a->BrdLines, 0x11);
    EXPECT_EQ(ColorName(text, a->BrdColor[0]), "ff0000");
    EXPECT_EQ(a->Shading, 80);
    EXPECT_EQ(ColorName(text, a->Color), "0000ff");
    EXPECT_EQ(ParAt(text, 3)->BrdLines, 0);
    EXPECT_EQ(ParAt(text, 4)->BrdLines, 0x41);
    EXPECT_EQ(ParAt(text, 5)->BrdLines, 0x09 | 0x81);
    EXPECT_EQ(ParAt(text, 6)->BrdLines, 0);
}

TEST(RtfReader, MergedCellsJoinTheCellBeforeAndCellExtrasAreKept)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\margl0\\margr0\\paperw2550\\trowd\\cellx500\\clmrg\\cellx1000\\cellx2550"
                  "\\intbl a{\\*\\rtcellname{Name}}{\\*\\rtcellcom{Cmd}}\\rtcellfrm3\\cell\\cell b\\cell\\row}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"a", "b", ""}));
    const TParagraph* a = ParAt(text, 0);
    ASSERT_NE(a->Cell, nullptr);
    EXPECT_EQ(a->Cell->Width, 100);
    EXPECT_EQ(a->Cell->Name, "Name");
    EXPECT_EQ(a->Cell->Command, "Cmd");
    EXPECT_EQ(a->Cell->FrameValue, 3);
    EXPECT_EQ(ParAt(text, 1)->Cell->Left, 100);
}

TEST(RtfReader, TheStoreLoadsAndSavesRtfByFormatName)
{
    TestPlatform();
    TRtRTFTextIo text;
    TMemoryStream in = RtfStreamOf("{\\rtf1\\ansi {\\b bold} plain\\par second}");
    EXPECT_EQ(text.LoadFromStream(&in, "AUTO"), "TRtRTFReader");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"bold plain", "second"}));
    EXPECT_TRUE(AttrAt(text.FirstPar, 0).Style.Has(afsBold));
    TMemoryStream out;
    text.TextSaveFormat = "RTF";
    text.SaveToStream(&out);
    const std::string rtf(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size()));
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf;
    TRtRTFText back;
    ReadRtf(back, rtf);
    EXPECT_EQ(DumpText(back), DumpText(text));
}

TEST(RtfReader, MergeFieldResultsBecomeInsertPointsWithAutomaticText)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\field{\\*\\fldinst MERGEFIELD Name \\\\* MERGEFORMAT}{\\fldrslt <Name>}}b"
                  "{\\field{\\*\\fldinst SEQ x}{\\fldrslt 12}}c}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), "a<Name>b12c");
    const TAttr& point = AttrAt(p, 1);
    EXPECT_TRUE(point.Style.Has(afsIsInsertpoint));
    EXPECT_EQ(text.InsertpointList()->GetNameById(int32_t(point.Tag & 0xFFFF)), "Name");
    for (int i = 2; i <= 6; ++i) {
        EXPECT_TRUE(AttrAt(p, i).Style.Has(afsAutomatic)) << i;
        EXPECT_EQ(AttrAt(p, i).Tag, point.Tag) << i;
    }
    // The result of a field that becomes no object stays as text.
    EXPECT_EQ(AttrAt(p, 8).Style, AttrAt(p, 0).Style);
}

TEST(RtfReader, SymbolFontsTakeTheByteOfPrivateUseCharacters)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 wInGdInGs;}{\\f2\\fcharset2 Marks;}}"
                  "\\f1\\u61548?\\f2\\u61623?\\f0\\u61548?}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), "l\xb7?");
    EXPECT_EQ(AttrAt(p, 0).Charset, 2);
}

TEST(RtfReader, RowAlignmentPlacesTheTable)
{
    struct Case {
        const char* align;
        int32_t left, right;
    };
    for (const Case& c : {Case{"", 100, 6000}, Case{"\\trqc", 2950, 2950}, Case{"\\trqr", 5900, 0}}) {
        TRtRTFText text;
        ReadRtf(text, std::string("{\\rtf1\\paperw10000\\margl1000\\margr1000\\trowd") + c.align
                          + "\\trleft100\\cellx2000\\intbl a\\cell\\row}");
        int32_t left = -1, right = -1;
        ASSERT_TRUE(text.TableList()->GetTableLeftRight(text.FirstPar->Cell->TableId, left, right));
        EXPECT_EQ(left, c.left) << c.align;
        EXPECT_EQ(right, c.right) << c.align;
    }
}

TEST(RtfReader, ThePrintHeaderFooterModeIsTakenOnlyWhenAskedFor)
{
    TRtRTFText text;
    text.PrintHeaderFooter = rtrNotOnFirstPage;
    const std::string written = WriteRtf(text);
    EXPECT_NE(written.find("\\rtprheadfoot2"), std::string::npos) << written;
    TRtRTFText other;
    ReadRtf(other, written);
    EXPECT_EQ(other.PrintHeaderFooter, rtrOnAllPages);
    other.Header()->LoadOptions.Include(loPrintHeaderFooterParameter);
    ReadRtf(other, written);
    EXPECT_EQ(other.PrintHeaderFooter, rtrNotOnFirstPage);
    ReadRtf(other, "{\\rtf1\\rtprheadfoot99 x}");
    EXPECT_EQ(other.PrintHeaderFooter, rtrOnlyOnFirstPage);
}

TEST(RtfReader, ReaderOptionsCanExchangePaperWidthAndHeight)
{
    struct TOptions {
        ~TOptions() { RtReaderOptions = 0; }
    } reset;
    for (const char* doc : {"{\\rtf1\\paperw11906\\paperh16838 x}", "{\\rtf1\\pgwsxn11906\\pghsxn16838 x}"}) {
        TRtRTFText text;
        RtReaderOptions = 0;
        ReadRtf(text, doc);
        EXPECT_EQ(text.Header()->PageWidth(), 11906) << doc;
        EXPECT_EQ(text.Header()->PageHeight(), 16838) << doc;
        RtReaderOptions = rroExchangePaperSize;
        ReadRtf(text, doc);
        EXPECT_EQ(text.Header()->PageWidth(), 16838) << doc;
        EXPECT_EQ(text.Header()->PageHeight(), 11906) << doc;
        // Other bits leave the sizes as they are.
        RtReaderOptions = ~rroExchangePaperSize;
        ReadRtf(text, doc);
        EXPECT_EQ(text.Header()->PageWidth(), 11906) << doc;
    }
}

TEST(RtfReader, AutomaticFootnoteNumbersAreTheMarks)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\super\\chftn}{\\*\\footnote{\\super\\chftn} One}b{\\super *}{\\*\\footnote{\\super *} Own}"
                  "c{\\super\\chftn{\\*\\footnote\\chftn\\~Two}}d}");
    const TParagraph* p = text.FirstPar;
    ASSERT_EQ(ParString(p), "a1b*c2d");   // a note with its own mark takes no number
    const struct {
        int32_t Pos;
        const char* Text;
        uint8_t Kind;
    } notes[] = {{1, "One", 1}, {3, "Own", 0}, {5, "Two", 1}};
    for (const auto& n : notes) {
        const TAttr& a = AttrAt(p, n.Pos);
        EXPECT_TRUE(a.Style.Has(afsIsFootnote)) << n.Text;
        const auto* item = static_cast<TRtFootnoteItem*>(text.FootnoteList()->FindItem(int32_t(a.Tag)));
        ASSERT_NE(item, nullptr) << n.Text;
        EXPECT_EQ(item->Text, n.Text);
        EXPECT_EQ(item->Kind, n.Kind) << n.Text;
    }
}

TEST(RtfReader, MultilevelListNumbersShowTheLevelsAbove)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}"
                  "{\\listlevel\\levelnfc0{\\leveltext\\'04\\'00.\\'01.;}{\\levelnumbers\\'01\\'03;}}"
                  "{\\listlevel\\levelnfc4{\\leveltext\\'06\\'00.\\'01-\\'02);}{\\levelnumbers\\'01\\'03\\'05;}}\\listid5}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid5\\ls1}}"
                  "\\pard\\ls1\\ilvl0 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1\\ilvl1 c\\par\\pard\\ls1\\ilvl2 d\\par"
                  "\\pard\\ls1\\ilvl0 e\\par\\pard\\ls1\\ilvl1 f}");
    text.UpdateNumbering();
    std::vector<std::string> numbers;
    for (TParagraph* p = text.FirstPar; p; p = p->Next) {
        TRtRTFNumberingStyle* style = nullptr;
        AnsiString number;
        text.GetParNumberText(p, style, number);
        numbers.push_back(number);
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"1.", "1.1.", "1.2.", "1.2.-a)", "2.", "2.1."}));
}

TEST(RtfReader, FieldResultsStayUnlessTheFieldBecomesAnObject)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 {\\*\\bkmkstart m}B{\\*\\bkmkend m} {\\field{\\*\\fldinst REF m \\\\h}{\\fldrslt Ref}} "
                  "{\\field{\\*\\fldinst SEQ t}{\\fldrslt 3}} "
                  "{\\field{\\*\\fldinst {QUOTE }{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}}{\\fldrslt Q}} "
                  "{\\field{\\*\\fldinst HYPERLINK \"http://a/\"}{\\fldrslt {\\ul go {\\field{\\*\\fldinst SEQ s}"
                  "{\\fldrslt 9}} on}}} p{\\field{\\*\\fldinst PAGEREF m \\\\h}{\\fldrslt 1}}}");
    const TParagraph* p = text.FirstPar;
    const std::string s = ParString(p);
    ASSERT_EQ(s, "\x02" "B\x03 Ref 3 Q go 9 onhttp://a/ p\x01");
    // The link text keeps its link past the field inside it; the target follows hidden.
    for (size_t i = s.find("go"); i < s.find("http"); ++i)
        EXPECT_TRUE(AttrAt(p, int32_t(i)).Style.Has(afsHyperLink)) << i;
    EXPECT_TRUE(AttrAt(p, int32_t(s.find("http"))).Style.Has(afsHidden));
    // The bookmark stays a bookmark beside the page reference to it.
    const TTextObj* mark = text.ObjRefList()->GetTextObj(int32_t(AttrAt(p, 0).Tag));
    const TTextObj* ref = text.ObjRefList()->GetTextObj(int32_t(AttrAt(p, int32_t(s.size() - 1)).Tag));
    ASSERT_NE(mark, nullptr);
    ASSERT_NE(ref, nullptr);
    EXPECT_NE(mark, ref);
    EXPECT_EQ(mark->Type, 1);
    EXPECT_EQ(ref->Type, 3);
    EXPECT_EQ(ref->RefName, "m");
}

TEST(RtfReader, StopsBeyondAFullTabTableLookForAFreeOneOnce)
{
    // Every paragraph uses a stop of its own: after the 64th the table is
    // full, and the paragraphs read so far keep every stop in use.
    TestPlatform();
    TRtRTFTextIo text;
    int purgesFindingAllUsed = 0;
    text.OnHeaderChange = [&](TObject*) { ++purgesFindingAllUsed; };
    std::string rtf = "{\\rtf1\\ansi ";
    for (int i = 1; i <= 100; ++i)
        rtf += "\\pard\\tx" + std::to_string(i * 720) + " p\\tab x\\par ";
    rtf += "}";
    TMemoryStream m = RtfStreamOf(rtf);
    text.LoadFromStream(&m, "AUTO");
    EXPECT_EQ(purgesFindingAllUsed, 1);
    int defined = 0;
    for (const TRtTabEntry& t : text.Header()->Tabs)
        defined += t.Pos != 0;
    EXPECT_EQ(defined, 64);
    EXPECT_EQ(Pars(text).size(), 101u);
    // Once the text is read, a new stop looks for a free one again.
    text.Header()->AddTab(720 * 101, 0);
    EXPECT_EQ(purgesFindingAllUsed, 2);
}

// Destinations that word processors write and that hold no text are skipped
// also without their "\*", or with a "*" that lost its backslash.
TEST(RtfReader, DestinationsWithoutTextAreSkippedWithoutTheirStar)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{*\\xmlnstbl {\\xmlns1 http://schemas.test/wordml}}"
                  "{\\*\\generator Riched20 10.0;}{\\generator Writer;}{*\\themedata 504b030414}"
                  "{\\colorschememapping 3c3f786d6c}{\\datastore 0105000002}{\\rsidtbl \\rsid1234\\rsid5678}"
                  "{\\latentstyles\\lsdstimax376{\\lsdlockedexcept \\lsdpriority0 Normal;}}"
                  "{\\mmathPr\\mmathFont34\\mbrkBin0}{\\pgdsctbl{\\pgdsc0\\pgdscuse451 Default Page Style;}}"
                  "\\f0 Text {*\\b star}{*}*}");
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"Text *star**"}));
}

TEST(RtfReader, TheNumberTextOfANumberedParagraphIsNotAdded)
{
    const struct {
        const char* Rtf;
        std::vector<std::string> Pars;
    } cases[] = {
        {"{\\rtf1 \\pard{\\rtnr 1.\\tab}Hello\\par}", {"Hello", ""}},
        {"{\\rtf1 \\pard{\\rtnr\\b 2.}Hello}", {"Hello"}},
        // Without a group of its own the number ends with its tab, or with its paragraph.
        {"{\\rtf1 \\pard\\rtnr 3.\\tab Hello\\tab there}", {"Hello\tthere"}},
        {"{\\rtf1 \\pard\\rtnr 4.\\par next}", {"", "next"}},
        // A parameter turns the word on or off, as for the other toggles: no text is lost.
        {"{\\rtf1 \\pard\\rtnr1 5.\\tab Hello}", {"Hello"}},
        {"{\\rtf1 \\pard\\rtnr0 x}", {"x"}},
        {"{\\rtf1 \\pard\\rtnr 6.\\rtnr0 Hello}", {"Hello"}},
    };
    for (const auto& c : cases) {
        TRtRTFText text;
        ReadRtf(text, c.Rtf);
        EXPECT_EQ(Pars(text), c.Pars) << c.Rtf;
        // What is written of it reads back alike.
        TRtRTFText back;
        ReadRtf(back, WriteRtf(text));
        EXPECT_EQ(Pars(back), c.Pars) << c.Rtf;
    }
}
