// Paragraph styles: the stylesheet read into the owner's style collection,
// paragraphs mapped to it, overrides marked, and the stylesheet written back.
#include "RtfTestSupport.h"

#include "RtEngineTestSupport.h"

namespace {

const char* const Sheet =
    "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\colortbl;\\red255\\green0\\blue0;}"
    "{\\stylesheet{\\s1\\li720\\sb120\\qc\\b\\f1\\fs28\\cf1 Heading;}"
    "{\\s2\\sbasedon1\\snext3\\i\\b0 Sub;}{\\s3\\sl360\\shading2000\\cbpat1 Body;}{\\*\\cs10\\b Strong;}}";

// A text shown by a control that has a style collection.
struct StyledText {
    TRtCustomStyleCollection Styles;
    TTestOwnerControl Owner;
    TRtRTFText Text;
    StyledText()
    {
        Owner.SetRtStyleCollection(&Styles);
        Text.OwnerControl = &Owner;
    }
    ~StyledText() { Text.OwnerControl = nullptr; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> n;
        for (const TRtParStyle& s : Styles.Styles)
            n.push_back(s.Name + "<" + s.BasedOn + ">" + s.Next);
        return n;
    }
    std::vector<int> Indices() const
    {
        std::vector<int> v;
        for (const TParagraph* p = Text.FirstPar; p; p = p->Next)
            v.push_back(p->StyleIndex);
        return v;
    }
};

// Per paragraph, the characters' override bits as "-" (none) or letters:
// Bold, Italic, Underline, Font, Size, Colour, backGround.
std::string OverrideMarks(const TRtRTFText& Text)
{
    static const std::pair<TOneWrtStyle, char> names[] = {
        {afsParStyleBold, 'B'}, {afsParStyleItalic, 'I'}, {afsParStyleUnderline, 'U'}, {afsParStyleFont, 'F'},
        {afsParStyleSize, 'S'}, {afsParStyleColor, 'C'}, {afsParStyleBGColor, 'G'}};
    std::string s;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        for (const TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i) {
                std::string bits;
                for (const auto& [bit, letter] : names)
                    if (l->Attrs[i].Style.Has(bit))
                        bits += letter;
                s += bits.empty() ? "-" : "[" + bits + "]";
            }
        s += "|";
    }
    return s;
}

} // namespace

TEST(RtfStyles, TheStylesheetFillsTheCollectionAndParagraphsTakeIndexPlusOne)
{
    StyledText t;
    ReadRtf(t.Text, std::string(Sheet)
                        + "\\pard\\plain\\s1\\li720\\sb120\\qc\\b\\f1\\fs28\\cf1 Head\\par"
                          "\\pard\\plain\\s2 S{\\b x}\\par\\pard\\plain\\s9 none\\par\\pard plain}");
    // The paragraph styles in stylesheet order; the character style is no paragraph style.
    EXPECT_EQ(t.Names(), (std::vector<std::string>{"Heading<>", "Sub<Heading>Body", "Body<>"}));
    EXPECT_EQ(t.Indices(), (std::vector<int>{1, 2, 0, 0}));

    const TRtParStyle& sub = t.Styles.Styles[1];
    // Resolved over its base: the base's indent, spacing, alignment, font, size
    // and colour; its own italic and bold off.
    EXPECT_EQ(sub.ParMask & (TRtParStyle::spIndentLeft | TRtParStyle::spSpaceBefore | TRtParStyle::spAlign),
              TRtParStyle::spIndentLeft | TRtParStyle::spSpaceBefore | TRtParStyle::spAlign);
    EXPECT_EQ(sub.Par.IndentLeft, 720);
    EXPECT_EQ(sub.Par.Align, paralCenter);
    EXPECT_EQ(sub.CharMask, TRtParStyle::scFont | TRtParStyle::scSize | TRtParStyle::scColor);
    EXPECT_TRUE(sub.StyleBits.Has(afsBold) && sub.StyleBits.Has(afsItalic));
    EXPECT_FALSE(sub.Attr.Style.Has(afsBold));
    EXPECT_TRUE(sub.Attr.Style.Has(afsItalic));
    EXPECT_EQ(sub.Attr.Size, 14);
    EXPECT_EQ(t.Text.Header()->Fonts[sub.Attr.Font].Name, "Courier New");

    // "x" is bold where its style says not bold: an override. The paragraph
    // whose characters match its style has none.
    EXPECT_EQ(OverrideMarks(t.Text), "----|-[B]|----|-----|");
}

TEST(RtfStyles, LoadOptionsDecideWhichStylesTheCollectionGains)
{
    const std::string rtf = std::string(Sheet) + "\\pard\\plain\\s2 a\\par\\pard\\plain\\s1\\b0 b}";
    struct Case {
        const char* name;
        TLoadOptions options;
        bool forbidNew;
        std::vector<std::string> names;
        std::vector<int> indices;
        bool headingBold;  // the collection's "heading" after reading
    };
    const Case cases[] = {
        // All styles read are registered, an existing one of the same name
        // (any case) takes the read properties.
        {"default", {loAddReadParagraphStyles, loOverwriteParagraphStyleAttr}, false,
         {"heading<>", "Sub<Heading>Body", "Body<>"}, {2, 1}, true},
        // Only the styles used are added; the existing one keeps its properties.
        {"used only", {}, false, {"heading<>", "Sub<Heading>Body"}, {2, 1}, false},
        {"no names", {loDontAddReadParagraphStyleNames}, false, {"heading<>"}, {0, 1}, false},
        {"forbidden", {}, true, {"heading<>"}, {0, 1}, false},
    };
    for (const Case& c : cases) {
        StyledText t;
        TRtParStyle existing;
        existing.Name = "heading";
        t.Styles.AddStyle(existing);
        t.Text.Header()->LoadOptions = c.options;
        t.Text.Header()->ForbidNewStyles = c.forbidNew;
        ReadRtf(t.Text, rtf);
        EXPECT_EQ(t.Names(), c.names) << c.name;
        EXPECT_EQ(t.Indices(), c.indices) << c.name;
        EXPECT_EQ(t.Styles.Styles[0].Attr.Style.Has(afsBold), c.headingBold) << c.name;
        // "b" is not bold in a bold style: marked whether or not the style is kept.
        EXPECT_EQ(OverrideMarks(t.Text), "-|[B]|") << c.name;
    }
}

TEST(RtfStyles, TheWriterWritesTheStylesInUseUnlessTold)
{
    StyledText t;
    ReadRtf(t.Text, std::string(Sheet) + "\\pard\\plain\\s2 a\\par\\pard\\plain b}");
    TStoreOptions& o = t.Text.Header()->StoreOptions;

    o.Exclude(soAllStylesInCollection);
    std::string w = WriteRtf(t.Text);
    // The style in use first, then its based-on and next styles as they are met.
    const std::string sheet = "{\\stylesheet{\\s1\\li720\\sb120\\qc\\b0\\i1\\f1\\fs28\\cf1\\sbasedon2\\snext3 Sub;}"
                              "{\\s2\\li720\\sb120\\qc\\b1\\f1\\fs28\\cf1 Heading;}"
                              "{\\s3\\sl360\\shading2000\\cbpat1 Body;}}";
    EXPECT_NE(w.find(sheet), std::string::npos) << w;
    EXPECT_NE(w.find("{\\pard\\plain\\s1"), std::string::npos) << w;
    EXPECT_NE(w.find("\\pard\\plain\\s0"), std::string::npos) << w;  // the style ends with its paragraph

    o.Include(soNoStyleTable);
    w = WriteRtf(t.Text);
    EXPECT_EQ(w.find("\\stylesheet"), std::string::npos) << w;
    EXPECT_EQ(w.find("\\s1"), std::string::npos) << w;

    // No style in use: a stylesheet only when all styles are asked for; the
    // ones not in use count on after those in use.
    o.Exclude(soNoStyleTable);
    ReadRtf(t.Text, "{\\rtf1 plain}");
    EXPECT_EQ(WriteRtf(t.Text).find("\\stylesheet"), std::string::npos);
    o.Include(soAllStylesInCollection);
    w = WriteRtf(t.Text);
    EXPECT_NE(w.find("{\\stylesheet{\\s1"), std::string::npos) << w;
    EXPECT_NE(w.find("{\\s3\\sl360\\shading2000\\cbpat1 Body;}}"), std::string::npos) << w;
}

TEST(RtfStyles, StylesSurviveWriteThenRead)
{
    StyledText first;
    ReadRtf(first.Text, std::string(Sheet)
                            + "\\pard\\plain\\s1\\b\\f1\\fs28\\cf1 Head {\\i it}\\par"
                              "\\pard\\plain\\s2\\ri100 Sub{\\b bold}\\par"
                              // Not the spacing and shading its style sets.
                              "\\pard\\plain\\s3\\sl0\\shading10000 body\\par"
                              "\\pard\\plain\\s3 shaded\\par"
                              "\\pard\\plain free}");
    ASSERT_EQ(first.Indices(), (std::vector<int>{1, 2, 3, 3, 0}));
    EXPECT_EQ(ParAt(first.Text, 2)->SpaceBetween, 0);
    EXPECT_EQ(ParAt(first.Text, 3)->SpaceBetween, 360);
    for (const bool all : {false, true}) {
        first.Text.Header()->StoreOptions.Set(soAllStylesInCollection, all);
        const std::string written = WriteRtf(first.Text);
        StyledText second;
        ReadRtf(second.Text, written);
        EXPECT_EQ(DumpStore(second.Text), DumpStore(first.Text)) << written;
        EXPECT_EQ(second.Indices(), first.Indices()) << written;
        EXPECT_EQ(OverrideMarks(second.Text), OverrideMarks(first.Text)) << written;
        EXPECT_EQ(second.Names(), first.Names()) << written;
        for (size_t i = 0; i < first.Styles.Styles.size(); ++i) {
            const TRtParStyle& a = first.Styles.Styles[i];
            const TRtParStyle& b = second.Styles.Styles[i];
            EXPECT_EQ(DumpPar(second.Text, &b.Par), DumpPar(first.Text, &a.Par)) << a.Name;
            EXPECT_EQ(b.ParMask, a.ParMask) << a.Name;
            EXPECT_EQ(b.CharMask, a.CharMask) << a.Name;
            EXPECT_EQ(b.StyleBits, a.StyleBits) << a.Name;
            EXPECT_EQ(RunName(second.Text, b.Attr), RunName(first.Text, a.Attr)) << a.Name;
        }
    }
}

TEST(RtfStyles, NumberingOfAStyleIsWrittenInTheStylesheet)
{
    StyledText first;
    ReadRtf(first.Text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s1{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}} Bullet;}}"
                        "\\pard\\plain\\s1{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}one\\par"
                        "\\pard\\plain\\s1{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}two}");
    ASSERT_EQ(first.Styles.Styles.size(), 1u);
    ASSERT_GT(first.Styles.Styles[0].Par.Number, 0);
    const std::string written = WriteRtf(first.Text);
    const size_t sheet = written.find("{\\stylesheet");
    ASSERT_NE(sheet, std::string::npos) << written;
    EXPECT_LT(written.find("\\pnlvlblt", sheet), written.find("Bullet;}", sheet)) << written;
    StyledText second;
    ReadRtf(second.Text, written);
    EXPECT_EQ(DumpStore(second.Text), DumpStore(first.Text)) << written;
    ASSERT_EQ(second.Styles.Styles.size(), 1u);
    EXPECT_EQ(DumpPar(second.Text, &second.Styles.Styles[0].Par), DumpPar(first.Text, &first.Styles.Styles[0].Par));
}

// Keeping, keeping with the next paragraph, tab stops and borders come with
// the paragraph's own words: what its style sets and it lacks stays away.
TEST(RtfStyles, AParagraphWithoutWhatItsStyleSetsStaysWithout)
{
    StyledText first;
    ReadRtf(first.Text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s1\\keep\\keepn\\tx1440\\box\\brdrs Kept;}}"
                        "\\pard\\plain\\s1\\keep\\keepn\\tx1440\\box\\brdrs full\\par"
                        "\\pard\\plain\\s1\\keep\\keepn\\tx1440\\box\\brdrs bare\\par"
                        "\\pard\\plain\\s1\\keep\\keepn\\tx1440\\box\\brdrs other\\par"
                        "\\pard\\plain\\s1\\keep\\keepn\\tx1440\\box\\brdrs last}");
    ASSERT_EQ(first.Indices(), (std::vector<int>{1, 1, 1, 1}));
    const uint64_t styleTabs = ParAt(first.Text, 0)->Tabs;
    ASSERT_NE(styleTabs, 0u);
    ASSERT_EQ(ParAt(first.Text, 0)->BrdLines & 0x3C, 0x3C);
    // The second paragraph has none of them, the third others.
    auto* bare = const_cast<TParagraph*>(ParAt(first.Text, 1));
    bare->Flags &= ~(parfKeepTogether | parfKeepWithNext);
    bare->Tabs = 0;
    bare->BrdLines = 0;
    auto* other = const_cast<TParagraph*>(ParAt(first.Text, 2));
    other->Flags &= ~parfKeepTogether;
    const int32_t tab = first.Text.Header()->AddTab(720, 1);
    ASSERT_GE(tab, 0);
    other->Tabs = uint64_t(1) << tab;
    other->BrdLines = 0x09;
    const std::string written = WriteRtf(first.Text);
    StyledText second;
    ReadRtf(second.Text, written);
    EXPECT_EQ(DumpStore(second.Text), DumpStore(first.Text)) << written;
    EXPECT_EQ(second.Indices(), first.Indices());
    EXPECT_EQ(DumpPar(second.Text, &second.Styles.Styles[0].Par), DumpPar(first.Text, &first.Styles.Styles[0].Par));
    EXPECT_EQ(second.Styles.Styles[0].ParMask, first.Styles.Styles[0].ParMask);
}
