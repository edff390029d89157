#pragma once
// What the store's tests share: a headless platform at 96 dpi that counts
// beeps and has no printer, helpers that build and read texts, and a plain
// text reader and owner control.
#include "Charsets.h"
#include "RtObject.h"
#include "RtPlatform.h"
#include "RtRtfTxt.h"
#include "RtRtfTxtIo.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <initializer_list>

#include <string>
#include <vector>

class TTestRtPlatform : public TRtPlatform {
public:
    int32_t ScreenPixelsPerInch() override { return 96; }
    TColor SysColor(TColor Color) override { return Color < 0 ? 0xC0C0C0 : Color & 0xFFFFFF; }
    void Beep() override { ++Beeps; }
    void BeginWait() override {}
    void EndWait() override {}
    bool NoPrinters() override { return true; }
    int Beeps = 0;
};

inline TTestRtPlatform& TestPlatform()
{
    static TTestRtPlatform platform;
    static const bool installed = (SetRtPlatform(&platform), true);
    (void)installed;
    return platform;
}

// An owner control for the text's notifications; counts invalidations.
class TTestOwnerControl : public TRtCustomRtfEditClass {
public:
    bool IsLoading() const override { return false; }
    bool IsDestroying() const override { return false; }
    bool HasWindow() const override { return true; }
    TProtectProp ProtectedProp() const override { return {}; }
    TRtEditOptions EditOptions() const override { return {}; }
    TRtViewOptions ViewOptions() const override { return {}; }
    void ObjectResized() override {}
    void Invalidate() override { ++Invalidated; }
    bool Focused() const override { return Focus; }
    AnsiString Name() const override { return "RtfEdit1"; }
    bool Focus = true;
    int Invalidated = 0;
};

// A reader of plain text through the text's character interface: LF ends a
// paragraph, CR is passed over.
class TPlainTestReader : public TRtCustomTextReader {
public:
    LUMI_CLASSNAME(TPlainTestReader)
    void Setup(const TRtReaderSetup& S) override { setup_ = S; }
    bool HandleEscapeChar() override { return false; }
    bool ProcessChar(uint8_t) override { return false; }
    bool AddTextChar(uint8_t) override { return false; }
    bool AppendChar(uint8_t) override { return false; }
    void SetStream(TStream*) override {}
    int32_t ReadStream(TStream* S) override
    {
        const TParagraph props = setup_.ParTemplate ? *setup_.ParTemplate : TParagraph();
        uint8_t ch = 0;
        while (S->Read(&ch, 1) == 1)
            if (ch != '\r')
                setup_.Text->AppendChar(setup_.CurrentAttr, ch == '\n' ? 13 : ch, props);
        return 0;
    }
    TRtReaderSetup setup_;
};

// Plain text through the text's own character interface, from the set-up's
// first to its last position: paragraph and page ends become CR LF.
class TPlainTestWriter : public TRtCustomTextWriter {
public:
    LUMI_CLASSNAME(TPlainTestWriter)
    void Setup(const TRtWriterSetup& S) override { setup_ = S; }
    int32_t WriteBody() override
    {
        TRtRTFTextIo* t = setup_.Text;
        t->CursorPar = setup_.FirstPar;
        t->CursorLine = setup_.FirstLine;
        t->CursorPos = setup_.FirstPos;
        TAttr a;
        uint8_t ch = 0;
        TParagraph props;
        std::string out;
        while (!(t->CursorPar == setup_.LastPar && t->CursorLine == setup_.LastLine && t->CursorPos >= setup_.LastPos) &&
               t->ReadChar(a, ch, props))
            out += ch == 13 || ch == 12 ? std::string("\r\n") : std::string(1, char(ch));
        Stream->WriteBuffer(out.data(), int32_t(out.size()));
        return 0;
    }
    TRtWriterSetup setup_;
};

// The K-th of a family of distinct attributes (font, colour, size, bold).
inline TAttr AttrOf(int K)
{
    TAttr a;
    a.Font = uint16_t(K);
    a.TextColor = uint8_t(K % 3);
    a.Size = uint16_t(10 + K);
    if (K & 1)
        a.Style.Include(afsBold);
    return a;
}

// Clears a text and fills it with paragraphs, each one line.
inline void FillText(TRtRTFText& Text, const std::vector<std::string>& Pars)
{
    Text.Clear();
    TParagraph* last = Text.FirstPar;
    for (size_t i = 0; i < Pars.size(); ++i) {
        if (i > 0)
            Text.InsertPar(last, 8);
        Text.AddParText(int32_t(i), reinterpret_cast<const uint8_t*>(Pars[i].data()), nullptr,
                        int32_t(Pars[i].size()));
    }
}

// The text of a paragraph, its lines joined.
inline std::string ParString(const TParagraph* Par)
{
    std::string s;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        s.append(reinterpret_cast<const char*>(l->Chars), l->Length);
    return s;
}

inline std::vector<std::string> Pars(const TRtRTFText& Text)
{
    std::vector<std::string> v;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next)
        v.push_back(ParString(p));
    return v;
}

// A line's characters as UTF-8, each character read by its font's charset.
inline std::string LineUtf8(const TRtRTFText& Text, const TLine* L)
{
    std::string out;
    for (int32_t i = 0; i < L->Length;) {
        const int32_t charset = L->Attrs ? Text.Header()->FontCharset(L->Attrs[i].Font) : 0;
        int32_t n = 1;
        while (i + n < L->Length && L->Attrs && L->Attrs[i + n].Font == L->Attrs[i].Font)
            ++n;
        out += CharsetToUnicode(charset, std::string_view(reinterpret_cast<const char*>(L->Chars) + i, size_t(n)))
                   .toStdString();
        i += n;
    }
    return out;
}

// The lines of a paragraph.
inline std::vector<std::string> LinesOf(const TParagraph* Par)
{
    std::vector<std::string> v;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        v.emplace_back(reinterpret_cast<const char*>(l->Chars), l->Length);
    return v;
}

// A position a test registers with a text.
struct TTestPosition {
    TParagraph* Par = nullptr;
    TLine* Line = nullptr;
    int32_t Pos = 0;
};

// The fields of a kept position, named for the messages.
struct TPositionFields {
    const char* Name;
    TParagraph*& Par;
    TLine*& Line;
    int32_t& Pos;
};

// The offset of a kept position in Par; -1 when it is not on one of Par's lines.
inline int32_t OffsetInPar(const TParagraph* Par, const TPositionFields& Kept)
{
    if (Kept.Par != Par)
        return -1;
    int32_t before = 0;
    for (const TLine* l = Par->Lines; l; l = l->Next) {
        if (l == Kept.Line)
            return before + Kept.Pos;
        before += l->Length;
    }
    return -1;
}

struct TUseTestPlatform {
    TUseTestPlatform() { TestPlatform(); }
};

// A text on the test platform.
class RtTextTest : public ::testing::Test, protected TUseTestPlatform {
protected:
    TRtRTFText Text;
};

// Registers the picture object class for the given file extensions while it lives.
struct TPictureClasses {
    TPictureClasses(std::initializer_list<const char*> Exts)
    {
        for (const char* Ext : Exts)
            RtObjectClassesForExt.Add(AnsiString(Ext) + "=TRtOImageObject");
    }
    ~TPictureClasses() { RtObjectClassesForExt.Clear(); }
    TPictureClasses(const TPictureClasses&) = delete;
    TPictureClasses& operator=(const TPictureClasses&) = delete;
};

// The bytes of Image saved in Format.
inline QByteArray ImageBytes(const QImage& Image, const char* Format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, Format);
    return bytes;
}
