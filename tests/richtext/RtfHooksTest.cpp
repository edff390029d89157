// The readers' stream position and progress, the right tab stop at the text
// area's edge, and headers and footers written with a selection.
#include "RtReadBuffer.h"
#include "RtfTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RtReadBuffer, StreamPositionIsWhereReadingStands)
{
    const std::string bytes(10000, 'x');
    TMemoryStream m = RtfStreamOf(bytes);
    m.SetPosition(5);
    TRtReadBuffer in;
    in.Attach(&m);
    EXPECT_EQ(in.StreamPosition(), 5);
    for (int i = 0; i < 3; ++i)
        in.ReadChar();
    EXPECT_EQ(in.StreamPosition(), 8);
    // Across a second block of the buffer and one byte back.
    for (int i = 0; i < 8192; ++i)
        in.ReadChar();
    EXPECT_EQ(in.StreamPosition(), 8200);
    in.UnreadChar();
    EXPECT_EQ(in.StreamPosition(), 8199);
    in.SyncStream();
    EXPECT_EQ(m.Position(), 8199);
    EXPECT_EQ(in.StreamPosition(), 8199);
}

TEST(RtRtfReaderHooks, LongTextReportsProgressWhileItIsRead)
{
    TestPlatform();
    std::string rtf = "{\\rtf1\\ansi ";
    for (int i = 0; i < 4000; ++i)
        rtf += "line of some text number " + std::to_string(i) + "\\par ";
    rtf += "}";
    TRtRTFTextIo t;
    std::vector<int32_t> percents;
    t.OnSetGaugeValue = [&](TObject*, int32_t Percent) { percents.push_back(Percent); };
    TMemoryStream m = RtfStreamOf(rtf);
    t.LoadFromStream(&m, "RTF");
    EXPECT_EQ(Pars(t).size(), 4001u);
    // Reading is one half of loading; between its start and end it reports its way.
    const auto between = std::count_if(percents.begin(), percents.end(), [](int32_t P) { return P > 0 && P < 50; });
    EXPECT_GE(between, 5);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end() - 1));
}

TEST(RtRtfReaderHooks, RightTabAtTheTextEdgeSetsTheHeadersFlag)
{
    struct TCase {
        const char* Words;
        bool Flag;
        // Text width: 12240 - 1800 - 1800 = 8640 twips.
        const char* Page = "\\paperw12240\\margl1800\\margr1800";
    };
    // A4 turned: 16838 - 1000 - 1000 = 14838 twips.
    const char* const landscape = "\\landscape\\paperw16838\\paperh11906\\margl1000\\margr1000";
    const TCase cases[] = {
        {"\\tqr\\tx8600", true},   // 40 twips short of the edge
        {"\\tqr\\tx8690", true},   // 50 beyond it
        {"\\tqr\\tx8500", false},  // 140 short
        {"\\tx8640", false},       // a left tab at the edge
        {"\\tqc\\tx8640", false},
        {"\\tqr\\tx14838", true, landscape},
        {"\\tqr\\tx9906", false, landscape},  // the edge were the page upright
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Page) + c.Words);
        TRtRTFTextIo t;
        ReadRtf(t, std::string("{\\rtf1") + c.Page + "\\pard" + c.Words + " a\\par}");
        EXPECT_EQ(t.Header()->RightTabAtEdge, c.Flag);
        if (c.Page == landscape) {
            // Written, the turned page and the tab give the flag again.
            TRtRTFTextIo back;
            ReadRtf(back, WriteRtf(t));
            EXPECT_EQ(back.Header()->PageWidth(), 16838);
            EXPECT_EQ(back.Header()->RightTabAtEdge, c.Flag) << WriteRtf(t);
        }
    }
}

TEST(RtRtfWriterHooks, SelectionCarriesHeadersAndFootersWhenTheTextAsks)
{
    TestPlatform();
    TRtRTFTextIo t;
    ReadRtf(t, "{\\rtf1{\\header Top of page\\par}{\\footer Foot\\par}one\\par two\\par three}");
    ASSERT_EQ(Pars(t), (std::vector<std::string>{"one", "two", "three"}));
    t.SelStartPar = t.FirstPar->Next;
    t.SelStartLine = t.SelStartPar->Lines;
    t.SelStartPos = 0;
    t.SelEndPar = t.SelStartPar;
    t.SelEndLine = t.SelStartLine;
    t.SelEndPos = 3;
    t.TextSaveFormat = "RTF";
    auto selection = [&] {
        TMemoryStream m;
        t.SaveSelectionToStream(&m);
        return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
    };
    std::string rtf = selection();
    EXPECT_NE(rtf.find("two"), std::string::npos);
    EXPECT_EQ(rtf.find("\\header"), std::string::npos);
    t.SelectionWithHeaderFooter = true;
    rtf = selection();
    EXPECT_NE(rtf.find("{\\header "), std::string::npos);
    EXPECT_NE(rtf.find("{\\footer "), std::string::npos);
    EXPECT_NE(rtf.find("Top of page\\par}"), std::string::npos);
    EXPECT_EQ(rtf.find("one"), std::string::npos);
    // Read back: the selection with its header and footer.
    TRtRTFTextIo back;
    ReadRtf(back, rtf);
    EXPECT_EQ(Pars(back), (std::vector<std::string>{"two"}));
    ASSERT_NE(back.FindHeaderFooter(rtraOnAllPages, rtIsHeader), nullptr);
    EXPECT_EQ(ParString(back.FindHeaderFooter(rtraOnAllPages, rtIsHeader)->Paragraphs()), "Top of page");
}

}  // namespace
