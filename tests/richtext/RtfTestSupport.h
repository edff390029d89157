#pragma once
// What the RTF reader and writer tests share: loading bytes into a text by
// format name and saving a text as RTF.
#include "RtRtfReader.h"
#include "RtwrtRTF.h"
#include "RtTestSupport.h"

#include <string>

inline TMemoryStream RtfStreamOf(const std::string& Bytes)
{
    TMemoryStream m;
    if (!Bytes.empty())
        m.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    m.SetPosition(0);
    return m;
}

// Reads Bytes into Text as the store's loader does for a whole text: the
// text is cleared and the reader starts in its first paragraph.
inline void ReadRtf(TRtRTFText& Text, const std::string& Bytes, TRtTextReader* Reader = nullptr)
{
    TestPlatform();
    TRtRtfReader rtf;
    TRtTextReader& r = Reader ? *Reader : rtf;
    Text.Clear();
    r.Text = &Text;
    r.Header = Text.Header();
    r.CurrentPar = Text.FirstPar;
    TMemoryStream m = RtfStreamOf(Bytes);
    r.ReadStream(&m);
}

// The whole text written by Writer (RTF by default) as the store drives it.
inline std::string WriteRtf(TRtRTFText& Text, TRtTextWriter* Writer = nullptr)
{
    TRtRTFWriter rtf;
    TRtTextWriter& w = Writer ? *Writer : rtf;
    TMemoryStream m;
    w.Text = &Text;
    w.FirstPar = Text.FirstPar;
    w.Reset();
    w.Stream = &m;
    EXPECT_EQ(w.WriteStart(), 0);
    EXPECT_EQ(w.WriteBody(), 0);
    EXPECT_EQ(w.WriteEnd(), 0);
    return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
}

// The attribute of the character at Pos of a paragraph's first line.
inline const TAttr& AttrAt(const TParagraph* Par, int32_t Pos) { return Par->Lines->Attrs[Pos]; }

inline const TParagraph* ParAt(const TRtRTFText& Text, int Index)
{
    const TParagraph* p = Text.FirstPar;
    for (int i = 0; p && i < Index; ++i)
        p = p->Next;
    return p;
}
