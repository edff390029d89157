#include "RtfTestSupport.h"

#include "RtNumbering.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"

#include <algorithm>
#include <sstream>

namespace {

std::string Plain(TRtRTFText& Text)
{
    TRtTextWriter w;
    return WriteRtf(Text, &w);
}

size_t Count(const std::string& S, const std::string& Part)
{
    size_t n = 0;
    for (size_t at = S.find(Part); at != std::string::npos; at = S.find(Part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(RtfWriter, PlainTextParagraphsCellsAndLineBreaks)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 A\\par B}");
    EXPECT_EQ(Plain(text), std::string("A\r\nB\0", 5));
    text.Header()->StoreOptions.Include(soHardLineBreaks);
    text.Header()->StoreOptions.Include(soNoNULLChar);
    TRtTextWriter w;
    w.NoTerminator = true;
    EXPECT_EQ(WriteRtf(text, &w), "A\r\nB\r\n");

    ReadRtf(text, "{\\rtf1\\trowd\\cellx100\\cellx200\\cellx300\\intbl a\\cell b\\cell c\\cell\\row\\pard d}");
    text.Header()->StoreOptions.Exclude(soHardLineBreaks);
    EXPECT_EQ(Plain(text), std::string("a\tb\tc\r\nd\0", 9));
}

TEST(RtfWriter, ASelectionEndsInsideItsLastParagraph)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 first\\par second}");
    TRtTextWriter w;
    TMemoryStream m;
    w.Text = &text;
    w.FirstPar = text.FirstPar;
    w.StartLine = text.FirstPar->Lines;
    w.StartPos = 2;
    w.LastPar = text.FirstPar->Next;
    w.EndLine = w.LastPar->Lines;
    w.EndPos = 3;
    w.NoTerminator = true;
    w.Reset();
    w.Stream = &m;
    ASSERT_EQ(w.WriteStart(), 0);
    ASSERT_EQ(w.WriteBody(), 0);
    ASSERT_EQ(w.WriteEnd(), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size())), "rst\r\nsec");
}

TEST(RtfWriter, EscapesTextAndKeepsLinesShort)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 \\{\\}\\\\" + std::string(200, 'x') + "}");
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("\\{\\}\\\\x"), std::string::npos);
    TRtRTFText back;
    ReadRtf(back, rtf);
    EXPECT_EQ(Pars(back), Pars(text));
}

TEST(RtfWriter, LinkTargetsAreWrittenOnceAsTheFieldInstruction)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 see {\\uldb site}{\\v http://x.org} now}");
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("{\\field{\\*\\fldinst { HYPERLINK \"http://x.org\"}}{\\fldrslt{"), std::string::npos) << rtf;
    EXPECT_EQ(Count(rtf, "http://x.org"), 1u) << rtf;
}

TEST(RtfWriter, ColourAndFontTables)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\colortbl;\\red1\\green2\\blue3;} x}");
    text.Use256Colors = false;
    const std::string rtf = WriteRtf(text);
    const size_t table = rtf.find("{\\colortbl");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(Count(rtf.substr(table, rtf.find('}', table) - table), ";"), 16u);
    // Every entry with its values, the first one too.
    const std::string first = "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;";
    EXPECT_EQ(rtf.substr(table, first.size()), first);
    text.Header()->StoreOptions.Include(soNoColorTableInRTF);
    EXPECT_EQ(WriteRtf(text).find("{\\colortbl"), std::string::npos);
    // A family byte of 0x1X is written as an unknown family.
    text.Header()->Fonts[0] = TRtFontEntry{"Times New Roman", 0, 0, 0x12};
    EXPECT_NE(WriteRtf(text).find("{\\f0\\fnil\\fcharset0 Times New Roman;}"), std::string::npos);
}

TEST(RtfWriter, AFontTableWithoutFontsKeepsATextFontInSlotZero)
{
    // Plain RTF without a font table, with a bulleted paragraph: the bullets'
    // symbol font gets a slot of its own.
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 text\\par}");
    TRtRTFNumberingStyle* bullet = text.NumberingStyles()->Add();
    bullet->Style = rt_bullet;
    bullet->TextB = "\xA7";
    bullet->Font = "WingDings";
    bullet->Group = 2;
    bullet->LevelInGroup = 1;
    text.FirstPar->Number = int16_t(bullet->Number);
    text.FirstPar->NumLevel = 1;
    const std::string rtf = WriteRtf(text);
    const size_t f0 = rtf.find("{\\f0");
    ASSERT_NE(f0, std::string::npos) << rtf;
    EXPECT_EQ(rtf.substr(f0, rtf.find(";}", f0) - f0).find("WingDings"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("WingDings;}"), std::string::npos) << rtf;
    TRtRTFText back;
    ReadRtf(back, rtf);
    EXPECT_FALSE(SameText(back.Header()->GetFontName(AttrAt(back.FirstPar, 0).Font), "WingDings")) << rtf;
}

TEST(RtfWriter, OneListOverridePerListSoThatNumberingComesBack)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid1}"
                  "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}}\\listid2}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}{\\listoverride\\listid2\\ls2}}"
                  "\\pard\\ls1 one\\par\\pard\\ls2 dot}");
    const std::string rtf = WriteRtf(text);
    // The two lists read; the text's default outline list is used by no paragraph.
    EXPECT_EQ(Count(rtf, "{\\list\\listtemplateid"), 2u) << rtf;
    EXPECT_EQ(Count(rtf, "{\\listoverride\\listid"), 2u) << rtf;
    EXPECT_NE(rtf.find("{\\listtext"), std::string::npos);
    TRtRTFText back;
    ReadRtf(back, rtf);
    const TRtRTFNumberingStyle* one = back.NumberingStyles()->FindForPar(back.FirstPar);
    const TRtRTFNumberingStyle* dot = back.NumberingStyles()->FindForPar(back.FirstPar->Next);
    ASSERT_TRUE(one && dot) << DumpText(back) << rtf;
    EXPECT_EQ(one->Style, rt_1);
    EXPECT_EQ(dot->Style, rt_bullet);
}

TEST(RtfWriter, NumberTextsCountTheListsParagraphsEvenWithoutALayout)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid8}}"
                  "{\\*\\listoverridetable{\\listoverride\\listid8\\ls1}}"
                  "\\pard intro\\par\\pard more\\par\\pard\\ls1 First\\par\\pard\\ls1 Second\\par\\pard after}");
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find(" 1.\\tab}\\plain\\f0\\cf0 First"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(" 2.\\tab}\\plain\\f0\\cf0 Second"), std::string::npos) << rtf;
}

TEST(RtfWriter, CellSpaceAfterIsWrittenAsSpaceAfter)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\trowd\\cellx1000\\intbl\\sb11\\sa22 a\\cell\\row}");
    ASSERT_EQ(text.FirstPar->SpaceAfter, 22);
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("\\sb11"), std::string::npos);
    EXPECT_NE(rtf.find("\\sa22"), std::string::npos) << rtf;
}

TEST(RtfWriter, ABookmarkLeftOpenEndsAtTheEndOfTheDocument)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a{\\*\\bkmkstart open}b\\par c}");
    const std::string rtf = WriteRtf(text);
    const size_t start = rtf.find("{\\*\\bkmkstart open}");
    const size_t end = rtf.find("{\\*\\bkmkend open}");
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_GT(end, rtf.find('c', start));
}

TEST(RtfWriter, ShortWritesFail)
{
    // A stream that takes only the first bytes offered.
    class TShortStream : public TMemoryStream {
    public:
        int32_t Write(const void* Buffer, int32_t Count) override
        {
            const int32_t n = std::clamp<int32_t>(int32_t(Room - Size()), 0, Count);
            return n ? TMemoryStream::Write(Buffer, n) : 0;
        }
        int64_t Room = 50;
    };
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 " + std::string(500, 'x') + "\\par y}");
    TRtRTFWriter w;
    TShortStream m;
    w.Text = &text;
    w.FirstPar = text.FirstPar;
    w.Reset();
    w.Stream = &m;
    int32_t r = w.WriteStart();
    if (r == 0)
        r = w.WriteBody();
    EXPECT_EQ(r, 5);
    EXPECT_EQ(w.State, 5);
}

TEST(RtfWriter, FieldObjectsAreWrittenAsFieldsWithTheirMask)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a\\'01b\\'01c}");
    TParagraph* p = text.FirstPar;
    const char* masks[2] = {"\\@ dd.MM.yyyy", " 3 "};
    for (int i = 0; i < 2; ++i) {
        auto* field = new TRtObjectField;
        field->FieldName = i == 0 ? "DATE" : "PAGE";
        field->FieldMask = masks[i];
        field->Owner = &text;
        text.Objects().push_back(field);
        text.ObjRefList()->AddObject(field);
        TAttr& a = p->Lines->Attrs[1 + 2 * i];
        a.Style.Include(afsIsObject);
        a.Tag = uint32_t(text.ObjRefList()->CurrentId);
    }
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("{\\field{\\*\\fldinst{DATE \\\\@ dd.MM.yyyy}}{\\*\\fldrslt{DATE}}}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\field{\\*\\fldinst{PAGE 3}}{\\*\\fldrslt{PAGE}}}"), std::string::npos) << rtf;
    text.WriteFieldsAsObjects = true;
    EXPECT_EQ(WriteRtf(text).find("\\fldinst{DATE"), std::string::npos);
}

// Tab stops, keep-with-next and borders each stand in a group of their own;
// the other paragraph words follow a "\pard" only when they change, but for
// alignment, indents and spacing, which override those in force.
TEST(RtfWriter, ParagraphPropertiesAreWrittenWhenTheyChange)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
                  "\\pard\\tx720 a\\par\\pard\\qc\\tx720 b\\par\\pard\\tqr\\tx1440 c\\par"
                  "\\pard\\keepn\\box\\brdrs\\brdrcf1 d\\par\\pard\\keepn e\\par\\pard f\\par"
                  "\\pard\\keep g\\par\\pard h\\par\\pard\\tx720\\keepn\\brdrb\\brdrs i}");
    const std::string w = WriteRtf(text);
    const std::string spacing = "\\li0\\fi0\\ri0\\sb0\\sa0";
    // "b" keeps the words and the tab group in force: no "\pard".
    EXPECT_NE(w.find("a\\par\r\n\\qc" + spacing + " \\plain\\f0\\cf0 b\\par"), std::string::npos) << w;
    // A change of tab stops closes the tab group; the group's end restores
    // the words in force before it.
    EXPECT_NE(w.find("b\\par\r\n}\\ql" + spacing + "{\\tqr\\tx1440 \\plain"), std::string::npos) << w;
    EXPECT_NE(w.find("c\\par\r\n}\\ql" + spacing + "{\\keepn{\\box\\brdrs\\brdrcf1 \\plain"), std::string::npos) << w;
    EXPECT_NE(w.find("d\\par\r\n}\\ql" + spacing + " \\plain"), std::string::npos) << w;
    EXPECT_NE(w.find("e\\par\r\n}\\ql" + spacing + " \\plain"), std::string::npos) << w;
    // Keeping lines together cannot be switched off but by "\pard".
    EXPECT_NE(w.find("f\\par\r\n\\pard\\keep\\ql"), std::string::npos) << w;
    EXPECT_NE(w.find("g\\par\r\n\\pard\\ql"), std::string::npos) << w;
    EXPECT_EQ(Count(w, "{"), Count(w, "}")) << w;
    // Every paragraph reads back as it was.
    TRtRTFText second;
    ReadRtf(second, w);
    EXPECT_EQ(DumpStore(second), DumpStore(text)) << w;
    EXPECT_NE(ParAt(second, 8)->Tabs, 0u);
    EXPECT_TRUE(ParAt(second, 8)->Flags & parfKeepWithNext);
    EXPECT_EQ(ParAt(second, 8)->BrdLines & 0x3C, 0x08);
    EXPECT_FALSE(ParAt(second, 5)->Flags & parfKeepWithNext);
    EXPECT_FALSE(ParAt(second, 7)->Flags & parfKeepTogether);
}

TEST(RtfWriter, LoadAndSaveKeepTheListsFromTheSecondCycleOn)
{
    // The text store's own load and save, again and again into the same text, as the control does.
    TRtRTFTextIo text;
    text.TextSaveFormat = "RTF";
    std::string rtf = "{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}}\\listid7}}"
                      "{\\*\\listoverridetable{\\listoverride\\listid7\\ls1}}\\pard\\ls1 dot\\par\\pard plain}";
    std::vector<std::string> saved;
    for (int cycle = 0; cycle < 4; ++cycle) {
        TMemoryStream in = RtfStreamOf(rtf);
        text.Clear();
        text.LoadFromStream(&in, "RTF");
        TMemoryStream out;
        text.SaveToStream(&out);
        rtf.assign(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size()));
        saved.push_back(rtf);
        EXPECT_EQ(Count(rtf, "{\\list\\listtemplateid"), 1u) << rtf;
    }
    EXPECT_EQ(saved[1], saved[2]);
    EXPECT_EQ(saved[2], saved[3]);
    EXPECT_EQ(text.NumberingStyles()->FindForPar(text.FirstPar)->Style, rt_bullet);
}

TEST(RtfWriter, OldStyleOutlinesAreWrittenAsTheSectionsNumbering)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\pard one\\par\\pard two}");
    TRtRTFNumberingStyle* level2 = text.NumberingStyles()->GetOutlineStyle(1, 2);
    level2->Style = rt_a;
    level2->TextB = "[";
    level2->TextA = "]";
    TParagraph* p = text.FirstPar;
    p->Number = int16_t(level2->Number);
    p->NumLevel = 2;
    text.Header()->StoreOptions.Include(soOldStyleOutlineStyleTable);
    const std::string rtf = WriteRtf(text);
    EXPECT_EQ(rtf.find("{\\*\\listtable"), std::string::npos) << rtf;
    EXPECT_EQ(Count(rtf, "\\sectd\r\n"), 1u) << rtf;
    EXPECT_EQ(Count(rtf, "{\\*\\pnseclvl"), 9u) << rtf;
    EXPECT_NE(rtf.find("{\\*\\pnseclvl2\\pnlcltr\\pnstart1\\pnhang\\pnindent360{\\pntxtb [}{\\pntxta ]}}\r\n"),
              std::string::npos)
        << rtf;
    // Read back, the levels are the first outline group's, and the paragraph's numbering is its level.
    TRtRTFText back;
    ReadRtf(back, rtf);
    const TRtRTFNumberingStyle* read = back.NumberingStyles()->GetOutlineStyle(1, 2);
    EXPECT_EQ(read->Style, rt_a);
    EXPECT_EQ(read->TextB + read->TextA, "[]");
    EXPECT_EQ(back.NumberingStyles()->FindForPar(back.FirstPar), read);
    EXPECT_EQ(back.NumberingStyles()->FindForPar(back.FirstPar->Next), nullptr);

    // Numbering styles in no outline group: the section form without levels.
    back.NumberingStyles()->Clear();
    back.FirstPar->Number = int16_t(back.NumberingStyles()->FindOrAddStyle(rt_1, "", 1, 0, false, 0, 360, "", "."));
    back.FirstPar->NumLevel = 1;
    back.Header()->StoreOptions.Exclude(soOldStyleOutlineStyleTable);
    const std::string plain = WriteRtf(back);
    EXPECT_EQ(plain.find("{\\*\\listtable"), std::string::npos) << plain;
    EXPECT_EQ(Count(plain, "\\sectd\r\n"), 1u) << plain;
    EXPECT_EQ(Count(plain, "{\\*\\pnseclvl"), 0u) << plain;
    EXPECT_NE(plain.find("{\\*\\pn \\pnlvl1\\pndec"), std::string::npos) << plain;
}
