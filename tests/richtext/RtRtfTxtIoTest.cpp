// Loading and saving a text through filters created by name, the filters'
// character interface, copying between texts and the string-list view.
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtNumbering.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"
#include "RtTestSupport.h"
#include "RtUndo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The plain writer, counting its runs and keeping its last set-up.
class TTestWriter : public TPlainTestWriter {
public:
    LUMI_CLASSNAME(TTestWriter)
    bool WantsUsedAttributes() const override { return true; }
    int32_t WriteBody() override
    {
        ++Runs;
        LastSetup = setup_;
        TPlainTestWriter::WriteBody();
        return Result;
    }
    static inline int Runs = 0;
    static inline int32_t Result = 0;
    static inline TRtWriterSetup LastSetup;
};

class TTestReader : public TPlainTestReader {
public:
    LUMI_CLASSNAME(TTestReader)
    int32_t ReadStream(TStream* S) override
    {
        ++Runs;
        return TPlainTestReader::ReadStream(S);
    }
    static inline int Runs = 0;
};

// A reader that only counts that it was chosen.
class TTestRtfReader : public TTestReader {
public:
    LUMI_CLASSNAME(TTestRtfReader)
    int32_t ReadStream(TStream*) override
    {
        ++RtfRuns;
        return 0;
    }
    static inline int RtfRuns = 0;
};

const bool registered = (RegisterRtClasses({
                             {"TTestWriter", [] { return static_cast<TObject*>(new TTestWriter); }},
                             {"TTestReader", [] { return static_cast<TObject*>(new TTestReader); }},
                             {"TTestRtfReader", [] { return static_cast<TObject*>(new TTestRtfReader); }},
                         }),
                         true);

// The default filter names point at the test filters for one test.
class RtRTFTextIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestPlatform();
        saved_ = RtDefaultReaderWriter;
        RtDefaultReaderWriter.TextReader = "TTestReader";
        RtDefaultReaderWriter.TextWriter = "TTestWriter";
        RtDefaultReaderWriter.RTFReader = "TTestRtfReader";
        RtDefaultReaderWriter.RTFWriter = "TTestWriter";
        TTestWriter::Result = 0;
    }
    void TearDown() override { RtDefaultReaderWriter = saved_; }

    static std::string Save(TRtRTFTextIo& T)
    {
        TMemoryStream m;
        T.SaveToStream(&m);
        return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
    }
    static void Load(TRtRTFTextIo& T, const std::string& S, const AnsiString& Format = "AUTO")
    {
        TMemoryStream m;
        m.WriteBuffer(S.data(), int32_t(S.size()));
        m.SetPosition(0);
        T.LoadFromStream(&m, Format);
    }

    TDefaultReaderWriter saved_;
};

} // namespace

TEST_F(RtRTFTextIo, SavesAndLoadsThroughFiltersCreatedByName)
{
    TRtRTFTextIo t;
    FillText(t, {"one", "two", "three"});
    t.TextSaveFormat = "TTestWriter";
    EXPECT_EQ(Save(t), "one\r\ntwo\r\nthree");
    EXPECT_EQ(t.IOResult, 0);
    EXPECT_TRUE(TTestWriter::LastSetup.HasDefaults);
    EXPECT_FALSE(TTestWriter::LastSetup.TextEmpty);

    TRtRTFTextIo u;
    Load(u, "one\r\ntwo\r\nthree", "TTestReader");
    EXPECT_EQ(Pars(u), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(u.IOResult, 0);
    // The cursor ends at the end of the text.
    EXPECT_EQ(u.CursorPar, u.GetParByIndex(2));
    EXPECT_EQ(u.CursorPos, 5);
}

TEST_F(RtRTFTextIo, ChoosesTheReaderByTheBytesOnlyForAuto)
{
    TRtRTFTextIo t;
    TTestRtfReader::RtfRuns = 0;
    Load(t, "  \t{\\rtf1 x}");
    EXPECT_EQ(TTestRtfReader::RtfRuns, 1);
    Load(t, "  \t{\\rtf1 x}", "ANSI");
    EXPECT_EQ(TTestRtfReader::RtfRuns, 1);
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"  \t{\\rtf1 x}"}));
    // A detected kind without a reader class falls back to the text reader.
    TRtRTFTextIo u;
    Load(u, "<p>hello</p>");
    EXPECT_EQ(Pars(u), (std::vector<std::string>{"<p>hello</p>"}));
}

TEST_F(RtRTFTextIo, MissingClassesRaiseAndLeaveTheText)
{
    TRtRTFTextIo t;
    FillText(t, {"keep"});
    try {
        Load(t, "x", "HTML");
        FAIL();
    } catch (const ERtIOClassError& e) {
        EXPECT_EQ(AnsiString(e.what()), GetRtUIString(meReaderClassNotFound) + "TRtHTMLReader");
    }
    t.TextSaveFormat = "TNoSuchWriter";
    TMemoryStream m;
    EXPECT_THROW(t.SaveToStream(&m), ERtIOClassError);
    // A registered class that is no filter.
    RegisterRtClass({"TTestNoFilter", [] { return new TObject; }});
    t.TextSaveFormat = "TTestNoFilter";
    try {
        t.SaveToStream(&m);
        FAIL();
    } catch (const ERtIOClassError& e) {
        EXPECT_EQ(AnsiString(e.what()), GetRtUIString(meIOClassError) + "TTestNoFilter");
    }
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"keep"}));
}

TEST_F(RtRTFTextIo, LoadingIntoATextInsertsAtTheCursorAndUndoes)
{
    TRtRTFTextIo t;
    t.EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    FillText(t, {"abcd", "end"});
    t.CursorPar = t.FirstPar;
    t.CursorLine = t.FirstPar->Lines;
    t.CursorPos = 2;
    t.ForceNewUndoLevel();
    t.BeginUndoGroup();
    Load(t, "X\nY\nZ", "TTestReader");
    t.EndUndoGroup();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"abX", "Y", "Zcd", "end"}));
    t.Undo();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"abcd", "end"}));
    t.Redo();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"abX", "Y", "Zcd", "end"}));
    // The before-paste event may cancel.
    t.OnBeforePaste = [](TObject*, bool& DoIt, TParagraph*) { DoIt = false; };
    Load(t, "Q", "TTestReader");
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"abX", "Y", "Zcd", "end"}));
}

TEST_F(RtRTFTextIo, AutoWritesPlainTextForAnEmptyTextAndRtfOtherwise)
{
    TRtRTFTextIo t;
    t.TextSaveFormat = "AUTO";
    RtDefaultReaderWriter.RTFWriter = "TNoRtfWriter";
    EXPECT_EQ(Save(t), "");
    FillText(t, {"x"});
    EXPECT_THROW(Save(t), ERtIOClassError);
}

TEST_F(RtRTFTextIo, DataPropertyEndsWithFourZeroBytesAndMemoryStreamsAreCut)
{
    TRtRTFTextIo t;
    FillText(t, {"ab", "c"});
    TMemoryStream m;
    t.SaveRTFToStream(&m);
    ASSERT_EQ(m.Size(), 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 5), "ab\r\nc");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()) + 5, 4), std::string(4, '\0'));
    // A failing writer stops the steps after it and reports its code.
    TTestWriter::Result = 7;
    t.TextSaveFormat = "TTestWriter";
    TMemoryStream n;
    t.SaveToStream(&n);
    EXPECT_EQ(t.IOResult, 7);
    EXPECT_EQ(n.Size(), 5);
}

TEST_F(RtRTFTextIo, WritesTheSelectionOrTheMarkedParagraphs)
{
    TRtRTFTextIo t;
    FillText(t, {"first", "second", "third"});
    t.TextSaveFormat = "TTestWriter";
    TMemoryStream none;
    t.SaveSelectionToStream(&none);
    EXPECT_EQ(none.Size(), 0);
    // A block given backwards is written in text order.
    t.SelStartPar = t.GetParByIndex(1);
    t.SelStartLine = t.SelStartPar->Lines;
    t.SelStartPos = 3;
    t.SelEndPar = t.FirstPar;
    t.SelEndLine = t.FirstPar->Lines;
    t.SelEndPos = 2;
    TMemoryStream block;
    t.SaveSelectionToStream(&block);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.Memory()), size_t(block.Size())), "rst\r\nsec");
    t.SelStartPar = t.SelEndPar = nullptr;
    t.FirstPar->Flags |= parfMarked;
    t.GetParByIndex(2)->Flags |= parfMarked;
    TMemoryStream marked;
    t.SaveSelectionToStream(&marked);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(marked.Memory()), size_t(marked.Size())), "first\r\nthird");
}

TEST_F(RtRTFTextIo, ReadCharWalksParagraphsAndAppendCharBuildsThem)
{
    TRtRTFTextIo t;
    FillText(t, {"ab", "c"});
    t.GetParByIndex(1)->Flags |= parfNewPage;
    t.CursorPar = t.FirstPar;
    t.CursorLine = t.FirstPar->Lines;
    t.CursorPos = 0;
    TAttr a;
    uint8_t ch = 0;
    TParagraph props;
    props.IndentLeft = 77;
    std::string seen;
    while (t.ReadChar(a, ch, props))
        seen += char(ch);
    EXPECT_EQ(seen, "ab\fc");
    EXPECT_EQ(ch, 0);

    TRtRTFTextIo u;
    u.Clear();
    TParagraph tmpl;
    tmpl.IndentLeft = 300;
    for (int i = 0; i < 1000; ++i)
        u.AppendChar(u.CurrentAttr, uint8_t('a' + i % 26), tmpl);
    u.AppendChar(u.CurrentAttr, 12, tmpl);
    u.AppendChar(u.CurrentAttr, 'z', tmpl);
    u.AppendChar(u.CurrentAttr, 0, tmpl);
    ASSERT_EQ(u.CountPars(), 2);
    EXPECT_EQ(TRtRTFText::GetParLength(u.FirstPar), 1000);
    for (TLine* l = u.FirstPar->Lines; l; l = l->Next) {
        EXPECT_LT(l->Length, l->Capacity);
        EXPECT_EQ(l->Chars[l->Length], 0);
    }
    EXPECT_TRUE(u.GetParByIndex(1)->Flags & parfNewPage);
    EXPECT_EQ(u.GetParByIndex(1)->IndentLeft, 300);
    EXPECT_EQ(ParString(u.GetParByIndex(1)), "z");
}

TEST_F(RtRTFTextIo, NextParagraphPointingToItselfRaises)
{
    TRtRTFTextIo t;
    FillText(t, {"a", "b"});
    TParagraph* second = t.GetParByIndex(1);
    TParagraph* savedNext = second->Next;
    t.FirstPar->Next = t.FirstPar;
    t.CursorPar = t.FirstPar;
    t.CursorLine = t.FirstPar->Lines;
    t.CursorPos = 1;
    TAttr a;
    uint8_t ch = 0;
    TParagraph props;
    EXPECT_THROW(t.ReadChar(a, ch, props), ERtEngineError);
    EXPECT_EQ(t.FirstPar->Next, nullptr);
    t.FirstPar->Next = second;
    second->Next = savedNext;
}

TEST_F(RtRTFTextIo, CopiesParagraphsWithFontsColoursAndTabsMapped)
{
    TRtRTFTextIo src;
    FillText(src, {"xy"});
    TTextHeader* sh = src.Header();
    const int32_t font = sh->GetFontIndex("Courier New");
    int32_t color = -1;
    ASSERT_TRUE(sh->GetColorIndex(0x123456, true, color));
    const int32_t tab = sh->AddTab(2000, 1);
    src.FirstPar->Tabs = uint64_t(1) << tab;
    src.FirstPar->Lines->Attrs[0].Font = uint16_t(font);
    src.FirstPar->Lines->Attrs[0].TextColor = uint8_t(color);

    TRtRTFTextIo dst;
    FillText(dst, {"d"});
    dst.Header()->GetFontIndex("Arial");
    dst.Header()->GetFontIndex("Times New Roman");
    dst.Header()->AddTab(500, 0);
    dst.CopyParagraphsFrom(src.FirstPar, nullptr, &src);
    ASSERT_EQ(Pars(dst), (std::vector<std::string>{"d", "xy"}));
    const TParagraph* copy = dst.GetParByIndex(1);
    const TAttr& a = copy->Lines->Attrs[0];
    EXPECT_EQ(dst.Header()->GetFontName(a.Font), "Courier New");
    EXPECT_EQ(dst.Header()->GetColor(a.TextColor), sh->GetColor(color));
    ASSERT_NE(copy->Tabs, 0u);
    int index = 0;
    while (!(copy->Tabs & (uint64_t(1) << index)))
        ++index;
    EXPECT_EQ(dst.Header()->Tabs[size_t(index)].Pos, sh->Tabs[size_t(tab)].Pos);
    EXPECT_EQ(dst.Header()->Tabs[size_t(index)].Kind, 1);
}

TEST_F(RtRTFTextIo, SavesFilesKeepingTheBackupAndLoadsThem)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    const QString bak = dir.filePath("a.BAK");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    TRtRTFTextIo t;
    FillText(t, {"new", "text"});
    t.Header()->StoreOptions.Include(soDontDeleteBAKFile);
    t.SaveToFile(file);
    EXPECT_TRUE(t.FileExt.empty());
    TRtRTFTextIo u;
    u.LoadFromFile(file);
    EXPECT_EQ(Pars(u), (std::vector<std::string>{"new", "text"}));
    EXPECT_EQ(u.Header()->FormatName, "TTestReader");
    QFile b(bak);
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), QByteArray("old"));
    // A failed write raises and leaves the file.
    TTestWriter::Result = 5;
    EXPECT_THROW(t.SaveToFile(file), Exception);
    TRtRTFTextIo w;
    w.LoadFromFile(file);
    EXPECT_EQ(Pars(w), (std::vector<std::string>{"new", "text"}));
}

TEST_F(RtRTFTextIo, StringListViewReadsAndChangesParagraphs)
{
    TRtRTFTextIo t;
    FillText(t, {"a", "b"});
    TRtRtfStrings s(&t);
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.Get(1), "b");
    s.Put(0, "A");
    s.Insert(1, "mid");
    s.Add("end");
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"A", "mid", "b", "end"}));
    s.Delete(2);
    TMemoryStream m;
    s.SaveToStream(&m);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size())), "A\r\nmid\r\nend");
    m.SetPosition(0);
    t.TextLoadFormat = "ANSI";
    s.LoadFromStream(&m);
    EXPECT_EQ(t.TextLoadFormat, "ANSI");
    EXPECT_EQ(s.Count(), 3);
}

TEST_F(RtRTFTextIo, HeaderTextsTravelAsData)
{
    RtDefaultReaderWriter.RTFReader = "TTestReader";
    TRtRTFTextIo t;
    TRtSpecialTextProperty* item = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    TRtRTFTextIo source;
    FillText(source, {"page", "foot"});
    TMemoryStream m;
    source.SaveRTFToStream(&m);
    m.SetPosition(0);
    item->RtfText()->ReadData(&m);
    ASSERT_NE(item->Paragraphs(), nullptr);
    EXPECT_EQ(ParString(item->Paragraphs()), "page");
    EXPECT_EQ(ParString(item->Paragraphs()->Next), "foot");
    EXPECT_EQ(item->Paragraphs()->Owner, item);
    TMemoryStream out;
    item->RtfText()->WriteData(&out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size())),
              std::string("page\r\nfoot\0\0\0\0", 14));
    // Editing the footer when the text goes keeps nothing behind.
    t.HeaderFooterRange = rtraOnAllPages;
    t.SetLayer(2);
    EXPECT_EQ(ParString(t.FirstPar), "page");
}

TEST_F(RtRTFTextIo, AssignCopiesTextsHeadersAndListItems)
{
    TRtRTFTextIo src;
    FillText(src, {"body", "more"});
    src.Header()->SetLeftMargin(999);
    auto* obj = new TRtObject;
    obj->ObjNameValue = "pic";
    src.ObjRefList()->AddObject(obj);
    TAttr a = src.CurrentAttr;
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(src.ObjRefList()->CurrentId);
    const uint8_t code = 1;
    src.ReplaceChars(src.FirstPar, src.FirstPar->Lines, &a, 1, &code, 0, 0);
    TRtSpecialTextProperty* footer = src.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    TParagraph* fp = nullptr;
    src.InsertPar(fp, 8);
    footer->SetParagraphs(fp);

    TRtRTFTextIo dst;
    dst.Assign(src);
    ASSERT_EQ(Pars(dst).size(), 2u);
    EXPECT_EQ(ParString(dst.GetParByIndex(1)), "more");
    EXPECT_EQ(dst.Header()->LeftMargin(), 999);
    EXPECT_EQ(dst.HeaderFooterCount(), 1);
    EXPECT_EQ(dst.NumberingStyles()->Count(), src.NumberingStyles()->Count());
    // The object character refers to a copy of the object in the new text.
    const TAttr& copied = dst.FirstPar->Lines->Attrs[0];
    ASSERT_TRUE(copied.Style.Has(afsIsObject));
    TTextObj* ref = dst.ObjRefList()->GetTextObj(int32_t(copied.Tag));
    ASSERT_NE(ref, nullptr);
    ASSERT_NE(ref->Object, nullptr);
    EXPECT_NE(ref->Object, obj);
    EXPECT_EQ(ref->Object->ObjName(), "pic");

    TRtRTFTextIo fromItem;
    fromItem.Assign(*footer);
    EXPECT_EQ(Pars(fromItem), (std::vector<std::string>{""}));
    EXPECT_EQ(fromItem.Header()->LeftMargin(), 999);
}

// Pasted RTF keeps what loading it shows: the labels of its lists (their
// numbering styles come along) and its tables' cell widths, which its own
// page measures (here wider than the text pasted into).
TEST_F(RtRTFTextIo, PastedListsKeepTheirLabelsAndTablesTheirCellWidths)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/rtf/lo-listtable.rtf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray rtf = f.readAll();
    TRtRTFTextIo loaded;
    Load(loaded, rtf.toStdString(), "TRtRtfReader");
    ASSERT_GT(loaded.Header()->PageWidth() - loaded.Header()->LeftMargin() - loaded.Header()->RightMargin(), 10000);

    TRtRTFTextIo pasted;
    pasted.Header()->SetPageWidth(11906);
    pasted.Header()->SetLeftMargin(1880);
    pasted.Header()->SetRightMargin(1880);
    FillText(pasted, {"Liste:", ""});
    auto paste = [&] {
        pasted.CursorPar = pasted.FirstPar->Next;
        pasted.CursorLine = pasted.CursorPar->Lines;
        pasted.CursorPos = 0;
        TMemoryStream m;
        m.WriteBuffer(rtf.constData(), int32_t(rtf.size()));
        m.SetPosition(0);
        pasted.LoadInserting(&m, "TRtRtfReader");
    };
    paste();
    int n = 0;
    TParagraph* p = pasted.FirstPar->Next;
    for (TParagraph* q = loaded.FirstPar; q; q = q->Next, p = p->Next, ++n) {
        ASSERT_TRUE(p);
        SCOPED_TRACE(n);
        TRtRTFNumberingStyle *ours = nullptr, *theirs = nullptr;
        AnsiString ourLabel, theirLabel;
        pasted.GetParNumberText(p, ours, ourLabel);
        loaded.GetParNumberText(q, theirs, theirLabel);
        EXPECT_EQ(ourLabel, theirLabel);
        EXPECT_EQ(bool(ours), bool(theirs));
        EXPECT_EQ(p->Flags & parfTableCell, q->Flags & parfTableCell);
        if (!(q->Flags & parfTableCell))
            continue;
        int32_t x = 0, w = 0, theirX = 0, theirW = 0;
        pasted.GetCellPosition(p, x, w);
        loaded.GetCellPosition(q, theirX, theirW);
        EXPECT_NEAR(w, theirW, 1);
        EXPECT_NEAR(x - pasted.TextLeftPix(), theirX - loaded.TextLeftPix(), 1);
    }
    EXPECT_EQ(n, 10);
    // Pasted again, the lists find their styles.
    const int32_t styles = pasted.NumberingStyles()->Count();
    paste();
    EXPECT_EQ(pasted.NumberingStyles()->Count(), styles);
}
