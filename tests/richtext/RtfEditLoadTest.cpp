// Loading RTF into the edit control while its engine lays the text out:
// the reader's write point must stay valid whatever the RTF changes midway.
#include "RtControlTestSupport.h"

namespace {

using RtfEditLoad = RtControlTest;

void Load(TRtRichText& Rtf, const std::string& Rtf1)
{
    TMemoryStream stream;
    stream.WriteBuffer(Rtf1.data(), int32_t(Rtf1.size()));
    stream.SetPosition(0);
    Rtf.Clear();
    Rtf.LoadFromStream(&stream, "AUTO");
}

TEST_F(RtfEditLoad, PageWordsAfterTextKeepEveryCharacterAndLayOutOnce)
{
    // Page and section sizes in the middle of a paragraph, as real files have them:
    // the header changes while the reader writes into the paragraph's lines.
    const struct {
        const char* Rtf;
        const char* Text;
    } cases[] = {
        {"{\\rtf1\\ansi Erste Zeile mit Text\\par Zweite \\paperw4000\\paperh9000\\margl300 Zeile bleibt\\par}",
         "Erste Zeile mit Text\nZweite Zeile bleibt\n"},
        {"{\\rtf1\\ansi Seite eins\\par\\sect\\sectd\\pgwsxn3000\\marglsxn200\\margrsxn200 Seite zwei ist "
         "lang genug zum Umbrechen\\par}",
         "Seite eins\nSeite zwei ist lang genug zum Umbrechen\n"},
        {"{\\rtf1\\ansi Abc def ghi \\deftab100\\landscape\\margr9000 jkl mno}", "Abc def ghi jkl mno"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rtf);
        Load(*Rtf, c.Rtf);
        EXPECT_EQ(Text(), c.Text);
        // The lines are laid out after the load: every line has a height.
        for (TParagraph* p = E()->FirstPar; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                EXPECT_GT(l->Height, 0);
        Rtf->repaint();
    }
}

} // namespace
