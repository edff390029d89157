// RTF written by LibreOffice Writer and AbiWord from the same HTML source
// (tests/data/rtf/make-fixtures.sh) is read with its text and attributes.
#include "RtfTestSupport.h"

#include "RtHeaderFooter.h"
#include "RtList.h"

#include <QFile>
#include <algorithm>

namespace {

std::string Fixture(const char* Name)
{
    QFile f(QString(LUMI_TEST_DATA) + "/rtf/" + Name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << Name;
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

const TParagraph* FindPar(const TRtRTFText& Text, const std::string& Part)
{
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next)
        if (ParString(p).find(Part) != std::string::npos)
            return p;
    return nullptr;
}

// The attribute of the first character of Word in the paragraph.
const TAttr* WordAttr(const TParagraph* Par, const std::string& Word)
{
    const size_t at = Par ? ParString(Par).find(Word) : std::string::npos;
    return at == std::string::npos || at >= Par->Lines->Length ? nullptr : &Par->Lines->Attrs[at];
}

const TRtRTFNumberingStyle* NumberingOf(const TRtRTFText& Text, const TParagraph* Par)
{
    return Par ? Text.NumberingStyles()->FindForPar(Par) : nullptr;
}

class RtfFixture : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(RtfFixture, ReadsTextAttributesTablesLinksAndLists)
{
    TRtRTFText text;
    ReadRtf(text, Fixture(GetParam()));
    SCOPED_TRACE(DumpText(text));

    // Windows-1252 characters, from "\'hh" and "\u" alike.
    EXPECT_NE(FindPar(text, "Gr\xfc\xdf" "e aus K\xf6ln \x80 5 \xa9 \x96 \x84quoted\x93"), nullptr);
    // Cyrillic and Greek in the font's entries of their charsets; the character
    // outside every charset keeps its fallback "?".
    const TParagraph* foreign = FindPar(text, " end");
    ASSERT_NE(foreign, nullptr);
    std::string f;
    for (const TLine* l = foreign->Lines; l; l = l->Next)
        f += LineUtf8(text, l);
    EXPECT_EQ(f.find("Привет αβγ"), 0u) << f;
    EXPECT_EQ(std::count(f.begin(), f.end(), '?'), 1) << f;

    const TParagraph* styled = FindPar(text, "bold italic under red big");
    ASSERT_NE(styled, nullptr);
    const TTextHeader& h = *text.Header();
    for (const char* w : {"bold", "italic", "under", "red", "big"}) {
        const TAttr* a = WordAttr(styled, w);
        ASSERT_NE(a, nullptr) << w;
        EXPECT_EQ(a->Style.Has(afsBold), w == std::string("bold")) << w;
        EXPECT_EQ(a->Style.Has(afsItalic), w == std::string("italic")) << w;
        EXPECT_EQ(a->Style.Has(afsUnderline), w == std::string("under")) << w;
        EXPECT_EQ(a->Size, w == std::string("big") ? 18 : 12) << w;
        EXPECT_EQ(ColorName(text, a->TextColor), w == std::string("red") ? "ff0000" : "auto") << w;
        EXPECT_EQ(h.Fonts[a->Font].Name, "Liberation Serif") << w;
    }
    const TParagraph* centred = FindPar(text, "centred");
    ASSERT_NE(centred, nullptr);
    EXPECT_EQ(centred->Align, paralCenter);

    // The link text carries the link; the target follows as hidden text.
    const TParagraph* link = FindPar(text, "link text");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(WordAttr(link, "link text")->Style.Has(afsHyperLink));
    const TAttr* target = WordAttr(link, "https://example.org/x");
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->Style.Has(afsHidden));
    EXPECT_FALSE(target->Style.Has(afsHyperLink));

    // Two rows of two cells; the nested table is flattened into the last cell.
    const TParagraph* a1 = FindPar(text, "a1");
    ASSERT_TRUE(a1 && a1->Next && a1->Next->Next);
    const TParagraph* b1 = a1->Next;
    const TParagraph* a2 = b1->Next;
    EXPECT_EQ(a1->Flags & (parfTableCell | parfNotFirstCell | parfNotLastCell), parfTableCell | parfNotLastCell);
    EXPECT_EQ(ParString(b1), "b1");
    EXPECT_EQ(b1->Flags & (parfTableCell | parfNotFirstCell | parfNotLastCell), parfTableCell | parfNotFirstCell);
    EXPECT_EQ(ParString(a2).substr(0, 2), "a2");
    EXPECT_TRUE(a2->Flags & parfTableCell);
    const TParagraph* nested = FindPar(text, "n1");
    ASSERT_NE(nested, nullptr);
    EXPECT_TRUE(nested->Flags & parfTableCell);
    EXPECT_NE(ParString(nested).find("n1\tn2"), std::string::npos);

    // Bullets and numbers.
    const TRtRTFNumberingStyle* bullet = NumberingOf(text, FindPar(text, "first bullet"));
    ASSERT_NE(bullet, nullptr);
    EXPECT_EQ(bullet->Style, rt_bullet);
    EXPECT_EQ(NumberingOf(text, FindPar(text, "second bullet")), bullet);
    const TRtRTFNumberingStyle* number = NumberingOf(text, FindPar(text, "one"));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->Style, rt_1);
    EXPECT_EQ(number->TextA, ".");
    EXPECT_EQ(NumberingOf(text, FindPar(text, "two")), number);
    EXPECT_EQ(NumberingOf(text, FindPar(text, "last")), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Writers, RtfFixture, ::testing::Values("libreoffice.rtf", "abiword.rtf"),
                         [](const auto& Info) { return std::string(Info.param).substr(0, 3); });

TEST(RtfFixturePages, ReadsHeaderFooterBookmarkFootnoteAndFieldResults)
{
    TRtRTFText text;
    ReadRtf(text, Fixture("libreoffice-pages.rtf"));
    SCOPED_TRACE(DumpStore(text));
    TRtHeaderFooterCollection& hf = *text.HeaderFooters();
    ASSERT_EQ(hf.Count(), 2);
    EXPECT_EQ(hf.GetItem(0)->Kind, rtIsHeader);
    EXPECT_EQ(hf.GetItem(0)->Range, rtraOnAllPages);
    // The page number field becomes a field object.
    EXPECT_EQ(ParString(hf.GetItem(0)->Paragraphs()), "Head \xe4 \x01");
    EXPECT_EQ(hf.GetItem(1)->Kind, rtIsFooter);
    EXPECT_EQ(ParString(hf.GetItem(1)->Paragraphs()), "Foot text");

    const TParagraph* marked = FindPar(text, "marked");
    ASSERT_NE(marked, nullptr);
    EXPECT_EQ(ParString(marked), std::string("Before \x02marked\x03 after."));
    const TTextObj* mark = text.ObjRefList()->GetTextObj(int32_t(WordAttr(marked, "\x02")->Tag));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->RefName, "mark");

    // LibreOffice numbers its footnotes automatically: the note's mark is its number.
    const TParagraph* note = FindPar(text, "Note here");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(ParString(note), "Note here1 done.");
    const TAttr* anchor = WordAttr(note, "1");
    ASSERT_NE(anchor, nullptr);
    EXPECT_TRUE(anchor->Style.Has(afsIsFootnote));
    const auto* item = static_cast<TRtFootnoteItem*>(text.FootnoteList()->FindItem(int32_t(anchor->Tag)));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Text, "The footnote.");
    EXPECT_EQ(item->Kind, 1);

    // The JPEG picture has no object class to go to; the text around it stays.
    EXPECT_NE(FindPar(text, " picture"), nullptr);
    EXPECT_NE(FindPar(text, "last"), nullptr);
}
