// The owner's hooks and switches of the text store: the reformat event around
// a layout pass, the numbering and reference-text events, the busy flag, the
// header's pixel distances, the owner's own reader and writer, the defaults a
// cleared text keeps, and the RTF text of a header or footer item.
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"
#include "RtTestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class RtStoreHooks : public ::testing::Test, protected TUseTestPlatform {};

std::vector<std::string> ChainPars(const TParagraph* First)
{
    std::vector<std::string> out;
    for (const TParagraph* p = First; p; p = p->Next)
        out.push_back(ParString(p));
    return out;
}

TEST_F(RtStoreHooks, ReformatEventFramesTheOutermostPassAlsoWhenItThrows)
{
    TRtRTFTextIo t;
    FillText(t, {"one", "two"});
    // A header text is laid out inside the body's pass: no second frame.
    TRtRTFTextIo head;
    FillText(head, {"head"});
    t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader)->SetRtfText(&head);
    std::vector<std::pair<TObject*, bool>> calls;
    t.OnReformat = [&](TObject* Sender, bool Starting) { calls.emplace_back(Sender, Starting); };
    t.ReformatText(nullptr);
    EXPECT_EQ(calls, (std::vector<std::pair<TObject*, bool>>{{&t, true}, {&t, false}}));

    // An exception in the pass: the closing call comes all the same, and the next pass is framed again.
    calls.clear();
    t.OnMeasurePage = [](TObject*, int32_t, int32_t&, int32_t&, int32_t&) { throw std::runtime_error("page"); };
    EXPECT_THROW(t.ReformatText(nullptr), std::runtime_error);
    EXPECT_EQ(calls, (std::vector<std::pair<TObject*, bool>>{{&t, true}, {&t, false}}));
    t.OnMeasurePage = nullptr;
    calls.clear();
    t.ReformatText(nullptr);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(RtStoreHooks, NumberingEventCountsInPlaceOfTheText)
{
    TRtRTFTextIo t;
    FillText(t, {"a", "b"});
    t.FirstPar->Number = 6;
    t.FirstPar->Next->Number = 6;
    t.UpdateNumbering();
    ASSERT_EQ(t.FirstPar->Next->RunNumber, 2);
    int calls = 0;
    t.OnNumbering = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &t);
        ++calls;
    };
    t.FirstPar->Next->RunNumber = 0;
    t.UpdateNumbering();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(t.FirstPar->Next->RunNumber, 0);
}

TEST_F(RtStoreHooks, ReferenceTextEventIsAskedFirstForPageReferences)
{
    TRtRTFTextIo t;
    FillText(t, {"text"});
    TTextObj ref;
    ref.Kind = 3;
    ref.Tag = 3;
    ref.RefName = "Chapter";
    struct TCall {
        AnsiString Name, Format;
        TTextObj* Ref;
    };
    std::vector<TCall> calls;
    bool answer = true;
    t.OnReferenceGetText = [&](TObject* Sender, const AnsiString& Name, const AnsiString& Format, TTextObj* Ref,
                               AnsiString& Text, bool& Done) {
        EXPECT_EQ(Sender, &t);
        calls.push_back({Name, Format, Ref});
        Text = "page seven";
        Done = answer;
    };
    AnsiString text;
    t.GetReferenceText(&ref, text);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Name, "Chapter");
    EXPECT_EQ(calls[0].Format, "%d");
    EXPECT_EQ(calls[0].Ref, &ref);
    EXPECT_EQ(text, "page seven");
    // Not answered: the text looks for the bookmark itself (there is none).
    answer = false;
    ref.ItemName = "p. %d";
    t.GetReferenceText(&ref, text);
    EXPECT_EQ(calls.back().Format, "p. %d");
    EXPECT_EQ(text, "[?]");
    // Other tags: the event may change the text the reference gives.
    ref.Tag = 1;
    t.GetReferenceText(&ref, text);
    EXPECT_EQ(calls.back().Name, "Chapter");
    EXPECT_EQ(text, "page seven");
    t.OnReferenceGetText = nullptr;
    t.GetReferenceText(&ref, text);
    EXPECT_EQ(text, "Chapter");
}

TEST_F(RtStoreHooks, BusyTextIsNeitherClearedNorSwitchedNorFlagged)
{
    TRtRTFTextIo t;
    FillText(t, {"keep", "this"});
    t.FirstPar->Lines->Attrs[0].Style.Include(afsHidden);
    for (TParagraph* p = t.FirstPar; p; p = p->Next)
        p->Flags &= ~parfReformat;
    t.Busy = true;
    t.Clear();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"keep", "this"}));
    EXPECT_FALSE(t.MarkParsWithStyles(WrtStyle{afsHidden}));
    EXPECT_FALSE(t.FirstPar->Flags & parfReformat);
    // The memory format is only noted: the lines keep their attributes.
    t.SetMemoryFormat(1);
    EXPECT_EQ(t.MemoryFormat(), fmPlainText);
    EXPECT_EQ(t.Header()->RichText, 0);
    EXPECT_NE(t.FirstPar->Lines->Attrs, nullptr);
    t.SetMemoryFormat(0);
    t.Busy = false;
    EXPECT_TRUE(t.MarkParsWithStyles(WrtStyle{afsHidden}));
    EXPECT_TRUE(t.FirstPar->Flags & parfReformat);
    t.Clear();
    EXPECT_TRUE(t.IsEmpty());
}

TEST_F(RtStoreHooks, PixelCacheHoldsTheHeaderAndFooterDistances)
{
    TTextHeader h;
    h.XRes = 144;
    h.YRes = 72;
    h.SetMarginHeader(100);   // raised to 254 twips
    h.SetMarginFooter(1440);
    h.UpdatePixelSizes();
    EXPECT_EQ(h.MarginHeader(), 254);
    EXPECT_EQ(h.PixMarginHeader, MulDiv(254, 72, 1440));
    EXPECT_EQ(h.PixMarginFooter, 72);
    // Lying on its side the page measures its height with the x resolution.
    h.SetLandscape(true);
    EXPECT_EQ(h.PixMarginFooter, 144);
}

TEST_F(RtStoreHooks, ClearKeepsTheCurrentFontAsDefault)
{
    TRtRTFTextIo t;
    t.CurrentAttr.Font = 3;
    t.CurrentAttr.Size = 22;
    t.Clear();
    EXPECT_EQ(t.DefaultFont, 3);
    EXPECT_EQ(t.DefaultSize, RtDefaultFontSize);
}

// Writes the plain text and what it saw of the text while writing.
class TOwnWriter : public TPlainTestWriter {
public:
    int32_t WriteBody() override
    {
        SeenFile = setup_.Text->SaveFileName;
        Saving = setup_.Saving;
        return TPlainTestWriter::WriteBody();
    }
    QString SeenFile;
    bool Saving = false;
};

TEST_F(RtStoreHooks, OwnersReaderAndWriterReplaceTheFormatsWhileRich)
{
    TRtRTFTextIo t;
    FillText(t, {"alpha", "beta"});
    TOwnWriter writer;
    t.CustomWriter = &writer;
    TMemoryStream out;
    t.SaveToStream(&out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size())), "alpha\r\nbeta");
    // Saving to a file: the writer sees the file name while it writes, and only then.
    QTemporaryDir dir;
    const QString file = dir.filePath("own.rtf");
    t.SaveToFile(file);
    EXPECT_EQ(writer.SeenFile, file);
    EXPECT_TRUE(writer.Saving);
    EXPECT_TRUE(t.SaveFileName.isEmpty());

    TPlainTestReader reader;
    t.CustomReader = &reader;
    TMemoryStream in;
    in.WriteBuffer("x\ny", 3);
    in.SetPosition(0);
    t.Clear();
    t.LoadFromStream(&in, "RTF");
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"x", "y"}));
    // In plain-text memory format the formats chosen by name serve again.
    t.SetMemoryFormat(1);
    TMemoryStream plain;
    t.SaveToStream(&plain);
    EXPECT_EQ(writer.SeenFile, file);
    t.CustomWriter = nullptr;
    t.CustomReader = nullptr;
}

TEST_F(RtStoreHooks, HeaderTextTravelsAsRtfData)
{
    TRtRTFTextIo t;
    FillText(t, {"body"});
    TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    TRtSpecialTextPropertyContents* data = header->RtfText();
    EXPECT_EQ(data->Item, header);
    EXPECT_FALSE(data->HasData());

    // From a text: its body, as RTF.
    TRtRTFTextIo source;
    FillText(source, {"Head line", "second"});
    source.FirstPar->Lines->Attrs[0].Style.Include(afsBold);
    header->SetRtfText(&source);
    EXPECT_TRUE(data->HasData());
    EXPECT_EQ(ChainPars(header->Paragraphs()), (std::vector<std::string>{"Head line", "second"}));
    EXPECT_TRUE(header->Paragraphs()->Lines->Attrs[0].Style.Has(afsBold));
    EXPECT_EQ(header->Paragraphs()->Owner, header);

    // Streamed: RTF and four zero bytes; read back into another text's footer.
    TMemoryStream stream;
    data->WriteData(&stream);
    const std::string bytes(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    EXPECT_EQ(bytes.rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));
    TRtRTFTextIo other;
    TRtSpecialTextProperty* footer = other.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    stream.SetPosition(0);
    footer->RtfText()->ReadData(&stream);
    EXPECT_EQ(ChainPars(footer->Paragraphs()), (std::vector<std::string>{"Head line", "second"}));
    EXPECT_TRUE(footer->Paragraphs()->Lines->Attrs[0].Style.Has(afsBold));

    // From another item's contents; nil clears.
    TRtSpecialTextProperty* first = other.GetOrAddHeaderFooter(rtraOnFirstPage, rtIsHeader);
    first->SetRtfText(header->RtfText());
    EXPECT_EQ(ChainPars(first->Paragraphs()), (std::vector<std::string>{"Head line", "second"}));
    first->SetRtfText(nullptr);
    EXPECT_TRUE(first->IsEmpty());
    EXPECT_FALSE(first->RtfText()->HasData());
}

TEST_F(RtStoreHooks, ImageCreationHookMayWriteThePictureForHtml)
{
    QImage red(5, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QByteArray png = ImageBytes(red);
    QTemporaryDir dir;
    std::vector<std::pair<QString, QSize>> calls;
    bool done = true;
    RtHTMLCreateImageHook = [&](TRtOImageObject*, const QString& Folder, QString& FileName, bool& Done,
                                const QImage& Bitmap) {
        calls.emplace_back(Folder, Bitmap.size());
        FileName = Folder + "/own.png";
        Done = done;
    };
    TRtOImageObject taken;
    taken.SetPicture(png, "PNG");
    taken.PrepareHTML(dir.path());
    EXPECT_EQ(calls, (std::vector<std::pair<QString, QSize>>{{dir.path(), QSize(5, 4)}}));
    EXPECT_EQ(taken.GetImageFileName(), dir.path() + "/own.png");
    // Not done by the hook: the picture gets a file of its own.
    done = false;
    TRtOImageObject saved;
    saved.SetPicture(png, "PNG");
    saved.PrepareHTML(dir.path());
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(saved.GetImageFileName().endsWith(".BMP"));
    EXPECT_TRUE(QFileInfo::exists(saved.GetImageFileName()));
    RtHTMLCreateImageHook = nullptr;
}

}  // namespace
