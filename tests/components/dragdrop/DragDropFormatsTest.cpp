#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropSource.h"
#include "DropTarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Ole;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

STGMEDIUM Global(const std::vector<uint8_t>& bytes)
{
    STGMEDIUM m;
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = bytes;
    return m;
}

STGMEDIUM Stream(const std::vector<uint8_t>& bytes)
{
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(bytes.data(), int32_t(bytes.size()));
    STGMEDIUM m;
    m.tymed = TYMED_ISTREAM;
    m.pstm = std::make_shared<TFixedStreamAdapter>(std::move(s));
    return m;
}

// The bytes a format writes for a request of these medium types.
std::vector<uint8_t> Written(TClipboardFormat& f, uint32_t tymed, bool* ok = nullptr)
{
    FORMATETC request = f.FormatEtc();
    request.tymed = tymed;
    STGMEDIUM m;
    const bool filled = f.FillMedium(request, m);
    if (ok)
        *ok = filled;
    std::vector<uint8_t> bytes;
    if (m.tymed == TYMED_HGLOBAL)
        bytes = m.hGlobal;
    else if (m.tymed == TYMED_ISTREAM) {
        uint64_t size = 0;
        m.pstm->Stat(size);
        m.pstm->Seek(0, STREAM_SEEK_SET, nullptr);
        bytes.resize(size_t(size));
        uint32_t got = 0;
        m.pstm->Read(bytes.data(), uint32_t(size), &got);
    }
    return bytes;
}

std::vector<uint8_t> GroupBlock(uint32_t count, int descriptorSize, int extra = 0)
{
    std::vector<uint8_t> b(size_t(4 + count * descriptorSize + extra), 0);
    b[0] = uint8_t(count);
    return b;
}

}  // namespace

TEST(DragDropFormats, TextFormatTrimsAndTerminates)
{
    TTextClipboardFormat f;
    EXPECT_EQ(f.FormatEtc().cfFormat, CF_TEXT);
    EXPECT_EQ(f.FormatEtc().tymed, TYMED_HGLOBAL | TYMED_ISTREAM);

    // Read from either medium; cut at the first NUL.
    STGMEDIUM g = Global(Bytes(std::string("abc\0def", 7)));
    ASSERT_TRUE(f.GetDataFromMedium(nullptr, g));
    EXPECT_EQ(f.Data, "abc");
    EXPECT_EQ(g.tymed, TYMED_NULL);  // released
    STGMEDIUM s = Stream(Bytes("stream text"));
    ASSERT_TRUE(f.GetDataFromMedium(nullptr, s));
    EXPECT_EQ(f.Data, "stream text");

    // Written with one terminating NUL, never a second; a stream when allowed.
    f.Data = "hi";
    EXPECT_EQ(Written(f, TYMED_HGLOBAL), Bytes(std::string("hi\0", 3)));
    EXPECT_EQ(Written(f, TYMED_HGLOBAL | TYMED_ISTREAM), Bytes(std::string("hi\0", 3)));
    f.Data = std::string("nul\0", 4);
    EXPECT_EQ(Written(f, TYMED_HGLOBAL), Bytes(std::string("nul\0", 4)));
    bool ok = true;
    f.Data.clear();
    Written(f, TYMED_HGLOBAL, &ok);
    EXPECT_FALSE(ok);

    // A stream that claims more bytes than it holds is refused.
    class TLyingStream : public TFixedStreamAdapter {
    public:
        using TFixedStreamAdapter::TFixedStreamAdapter;
        HRESULT Stat(uint64_t& size) override
        {
            size = 1u << 30;
            return S_OK;
        }
    };
    auto five = std::make_unique<TMemoryStream>();
    five->WriteBuffer("short", 5);
    STGMEDIUM lying;
    lying.tymed = TYMED_ISTREAM;
    lying.pstm = std::make_shared<TLyingStream>(std::move(five));
    f.Data = "kept";
    EXPECT_FALSE(f.GetDataFromMedium(nullptr, lying));
    EXPECT_EQ(f.Data, "");

    // Empty media and media of a type not asked for are refused.
    STGMEDIUM empty = Global({});
    EXPECT_FALSE(f.GetDataFromMedium(nullptr, empty));
    STGMEDIUM file;
    file.tymed = TYMED_FILE;
    EXPECT_FALSE(f.GetDataFromMedium(nullptr, file));
}

TEST(DragDropFormats, WriteDataToFillsTheMediumGiven)
{
    struct TProbe : TTextClipboardFormat {
        using TTextClipboardFormat::WriteDataTo;
    } f;
    // A stream that takes at most 2 bytes per write, and one that takes none after 3.
    class TSlowStream : public TFixedStreamAdapter {
    public:
        explicit TSlowStream(int64_t limit) : TFixedStreamAdapter(std::make_unique<TMemoryStream>()), limit_(limit) {}
        HRESULT Write(const void* b, uint32_t n, uint32_t* w) override
        {
            const uint32_t room = uint32_t(std::max<int64_t>(0, limit_ - Stream().Position()));
            return TFixedStreamAdapter::Write(b, std::min({n, 2u, room}), w);
        }

    private:
        int64_t limit_;
    };
    const uint8_t bytes[] = {'a', 'b', 'c', 'd', 'e'};
    STGMEDIUM slow;
    slow.tymed = TYMED_ISTREAM;
    auto stream = std::make_shared<TSlowStream>(100);
    stream->Stream().WriteBuffer("old old", 7);  // written over from the start
    slow.pstm = stream;
    ASSERT_TRUE(f.WriteDataTo(slow, 5, bytes));
    auto& written = static_cast<TMemoryStream&>(stream->Stream());
    EXPECT_EQ(std::string(written.Bytes().begin(), written.Bytes().end()), "abcdeld");
    STGMEDIUM full;
    full.tymed = TYMED_ISTREAM;
    full.pstm = std::make_shared<TSlowStream>(3);
    EXPECT_FALSE(f.WriteDataTo(full, 5, bytes));

    // A block takes the bytes when it is large enough.
    STGMEDIUM block = Global(std::vector<uint8_t>(6, 'x'));
    ASSERT_TRUE(f.WriteDataTo(block, 5, bytes));
    EXPECT_EQ(block.hGlobal, Bytes("abcdex"));
    STGMEDIUM small = Global(std::vector<uint8_t>(4, 'x'));
    EXPECT_FALSE(f.WriteDataTo(small, 5, bytes));
    STGMEDIUM none;
    EXPECT_FALSE(f.WriteDataTo(none, 5, bytes));
}

TEST(DragDropFormats, DWORDAndGuidFormatsCheckSizes)
{
    TPerformedDropEffectClipboardFormat performed;
    EXPECT_EQ(performed.GetClipboardFormatName(), "Performed DropEffect");
    STGMEDIUM m = Global({2, 0, 0, 0, 99});
    ASSERT_TRUE(performed.GetDataFromMedium(nullptr, m));
    EXPECT_EQ(performed.Value, 2u);
    m = Global({2, 0, 0});
    EXPECT_FALSE(performed.GetDataFromMedium(nullptr, m));
    performed.Value = 0x01020304;
    EXPECT_EQ(Written(performed, TYMED_HGLOBAL), (std::vector<uint8_t>{4, 3, 2, 1}));

    TPreferredDropEffectClipboardFormat preferred;
    EXPECT_TRUE(preferred.HasData());
    TInShellDragLoopClipboardFormat loop;
    loop.Value = 5;
    EXPECT_TRUE(loop.InShellDragLoop());

    TTargetCLSIDClipboardFormat clsid;
    EXPECT_FALSE(clsid.HasData());
    std::vector<uint8_t> guid(16);
    guid[3] = 7;
    m = Global(guid);
    ASSERT_TRUE(clsid.GetDataFromMedium(nullptr, m));
    EXPECT_TRUE(clsid.HasData());
    EXPECT_EQ(Written(clsid, TYMED_HGLOBAL), guid);
    guid.push_back(0);
    m = Global(guid);
    EXPECT_FALSE(clsid.GetDataFromMedium(nullptr, m));
}

TEST(DragDropFormats, FileGroupDescriptorSizeMustMatchCount)
{
    struct Case {
        std::vector<uint8_t> block;
        bool accepted;
    };
    const Case cases[] = {
        {GroupBlock(1, FileDescriptorASize), true},
        {GroupBlock(2, FileDescriptorASize, 100), true},  // trailing part of no full descriptor
        {GroupBlock(2, FileDescriptorASize, -1), false},
        {GroupBlock(3, FileDescriptorASize), true},
        {[] { auto b = GroupBlock(1, FileDescriptorASize); b[3] = 0x40; return b; }(), false},  // huge count
        {{1, 0}, false},
    };
    for (const Case& c : cases) {
        TFileGroupDescritorClipboardFormat f;
        STGMEDIUM m = Global(c.block);
        EXPECT_EQ(f.GetDataFromMedium(nullptr, m), c.accepted) << c.block.size();
        if (c.accepted) {
            EXPECT_EQ(Written(f, TYMED_HGLOBAL).size(), 4 + f.Count() * FileDescriptorASize);
        }
    }
    TFileGroupDescritorWClipboardFormat w;
    STGMEDIUM m = Global(GroupBlock(1, FileDescriptorASize));
    EXPECT_FALSE(w.GetDataFromMedium(nullptr, m));
    m = Global(GroupBlock(1, FileDescriptorWSize));
    EXPECT_TRUE(w.GetDataFromMedium(nullptr, m));
}

TEST(DragDropFormats, FileNamesAreBoundedByTheDescriptor)
{
    // A name that fills all 260 bytes without a NUL is cut at the field's end.
    auto block = GroupBlock(1, FileDescriptorASize);
    std::fill(block.begin() + 4 + FileDescriptorNameOffset, block.end(), 'x');
    TFileGroupDescritorClipboardFormat f;
    STGMEDIUM m = Global(block);
    ASSERT_TRUE(f.GetDataFromMedium(nullptr, m));
    EXPECT_EQ(f.FileName(0), std::string(FileDescriptorMaxPath, 'x'));
    EXPECT_EQ(f.FileName(1), "");

    TMemoryList list;
    TFileDescriptorToFilenameStrings names(list);
    names.Add("a.txt");
    names.Insert(0, "ignored");
    names.Insert(1, "b.txt");
    ASSERT_EQ(names.Count(), 2);
    EXPECT_EQ(names.Strings(1), "b.txt");
    EXPECT_EQ(list.Memory(0).size(), size_t(FileDescriptorASize));
    TStringList other;
    other.Add("c");
    names.Assign(other);
    EXPECT_EQ(names.Count(), 1);
    EXPECT_EQ(names.Strings(0), "c");
    // An index outside the list is an error, not a stray write.
    EXPECT_THROW(names.Delete(1), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_EQ(names.Count(), 1);
}

TEST(DragDropFormats, TextDataFormatConversions)
{
    TDropEmptySource source(nullptr);
    auto* text = new TTextDataFormat(&source);
    text->SetText("Hallo");

    struct Case {
        TClipboardFormatClass cls;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> scrapA = GroupBlock(1, FileDescriptorASize);
    const std::string name = "Text scrap.txt";
    std::copy(name.begin(), name.end(), scrapA.begin() + 4 + FileDescriptorNameOffset);
    std::vector<uint8_t> scrapW = GroupBlock(1, FileDescriptorWSize);
    for (size_t i = 0; i < name.size(); ++i)
        scrapW[4 + FileDescriptorNameOffset + 2 * i] = uint8_t(name[i]);
    const Case cases[] = {
        {TTextClipboardFormat::StaticClass(), Bytes(std::string("Hallo\0", 6))},
        {TFileContentsClipboardFormat::StaticClass(), Bytes(std::string("Hallo\0", 6))},
        {TFileGroupDescritorClipboardFormat::StaticClass(), scrapA},
        {TFileGroupDescritorWClipboardFormat::StaticClass(), scrapW},
    };
    for (const Case& c : cases) {
        TClipboardFormat* f = text->CompatibleFormats->FindFormat(c.cls);
        ASSERT_NE(f, nullptr) << c.cls->Name;
        FORMATETC request = f->FormatEtc();
        request.tymed = TYMED_HGLOBAL;
        STGMEDIUM m;
        ASSERT_EQ(source.GetData(request, m), S_OK) << c.cls->Name;
        EXPECT_EQ(m.hGlobal, c.bytes) << c.cls->Name;
    }

    // Text handed to a target as "FileContents" arrives as the text.
    TTextDataFormat received;
    TFileContentsClipboardFormat contents;
    STGMEDIUM m = Global(Bytes("Inhalt"));
    ASSERT_TRUE(contents.GetDataFromMedium(nullptr, m));
    ASSERT_TRUE(received.Assign(contents));
    EXPECT_EQ(received.Text(), "Inhalt");
    EXPECT_FALSE(received.NeedsData());
    TPerformedDropEffectClipboardFormat unrelated;
    EXPECT_FALSE(received.Assign(unrelated));
}

TEST(DragDropFormats, FeedbackFormatKeepsPasteSucceededOverClear)
{
    TFeedbackDataFormat feedback;
    int changes = 0;
    feedback.OnChanging = [&](TObject*) { ++changes; };
    TPasteSuccededClipboardFormat pasted;
    pasted.Value = DROPEFFECT_MOVE;
    ASSERT_TRUE(feedback.Assign(pasted));
    TInShellDragLoopClipboardFormat loop;
    loop.Value = 1;
    ASSERT_TRUE(feedback.Assign(loop));
    EXPECT_TRUE(feedback.InShellDragLoop());
    EXPECT_TRUE(feedback.GotInShellDragLoop);
    feedback.SetPreferredDropEffect(DROPEFFECT_COPY);
    feedback.SetPerformedDropEffect(DROPEFFECT_MOVE);
    EXPECT_EQ(changes, 2);

    feedback.Clear();
    EXPECT_EQ(feedback.PreferredDropEffect(), 0);
    EXPECT_EQ(feedback.PerformedDropEffect(), 0);
    EXPECT_FALSE(feedback.InShellDragLoop());
    EXPECT_FALSE(feedback.GotInShellDragLoop);
    EXPECT_EQ(feedback.PasteSucceeded, DROPEFFECT_MOVE);
    EXPECT_TRUE(feedback.HasData());
    EXPECT_TRUE(feedback.NeedsData());

    TPreferredDropEffectClipboardFormat preferred;
    feedback.SetPreferredDropEffect(DROPEFFECT_LINK);
    ASSERT_TRUE(feedback.AssignTo(preferred));
    EXPECT_EQ(preferred.Value, uint32_t(DROPEFFECT_LINK));
}

TEST(DragDropFormats, GenericDataFormat)
{
    TGenericDataFormat g;
    g.AddFormat("QwTestFormat");
    ASSERT_EQ(g.CompatibleFormats->Count(), 1);
    TClipboardFormat* f = g.CompatibleFormats->Formats(0);
    EXPECT_EQ(f->GetClipboardFormatName(), "QwTestFormat");
    EXPECT_EQ(f->FormatEtc().cfFormat, RegisterClipboardFormatA("qwtestformat"));
    EXPECT_EQ(f->DataDirections, ddRead);

    int changes = 0;
    g.OnChanging = [&](TObject*) { ++changes; };
    const char raw[] = {'a', '\0', 'b'};
    g.SetDataHere(raw, 3);
    EXPECT_EQ(g.GetSize(), 3);
    char small[2] = {};
    EXPECT_EQ(g.GetDataHere(small, 2), 2);
    EXPECT_EQ(std::string(small, 2), std::string("a\0", 2));
    char big[8] = {};
    EXPECT_EQ(g.GetDataHere(big, 8), 3);

    // Carried byte for byte (NULs included) both ways.
    ASSERT_TRUE(g.AssignTo(*f));
    EXPECT_EQ(Written(*f, TYMED_HGLOBAL), (std::vector<uint8_t>{'a', 0, 'b'}));
    TGenericDataFormat other;
    static_cast<TGenericClipboardFormat*>(f)->Data = "xyz";
    ASSERT_TRUE(other.Assign(*f));
    EXPECT_EQ(other.Data(), "xyz");
    g.Clear();
    EXPECT_FALSE(g.HasData());
    EXPECT_EQ(changes, 2);
}

namespace {

// A data object serving "FileContents" streams by index, refusing from an index on.
class TVirtualFilesObject : public IDataObject {
public:
    TVirtualFilesObject(std::vector<std::string> files, int refuseFrom, bool withDescriptor)
        : files_(std::move(files)), refuseFrom_(refuseFrom), withDescriptor_(withDescriptor) {}
    HRESULT GetData(const FORMATETC& f, STGMEDIUM& m) override
    {
        if (f.cfFormat == TFileGroupDescritorClipboardFormat().FormatEtc().cfFormat && withDescriptor_) {
            auto block = GroupBlock(uint32_t(files_.size()), FileDescriptorASize);
            for (size_t i = 0; i < files_.size(); ++i)
                block[4 + i * FileDescriptorASize + FileDescriptorNameOffset] = uint8_t('A' + i);
            m = Global(block);
            return S_OK;
        }
        if (f.cfFormat != TFileContentsClipboardFormat().FormatEtc().cfFormat || !(f.tymed & TYMED_ISTREAM))
            return DV_E_FORMATETC;
        requested.push_back(f.lindex);
        const int i = std::max(f.lindex, 0);
        if (i >= refuseFrom_ || i >= int(files_.size()))
            return DV_E_FORMATETC;
        m = Stream(Bytes(files_[size_t(i)]));
        m.pstm->Seek(0, STREAM_SEEK_END, nullptr);  // as a source hands it out
        return S_OK;
    }
    HRESULT QueryGetData(const FORMATETC&) override { return S_OK; }
    HRESULT SetData(const FORMATETC&, STGMEDIUM&, bool) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(uint32_t, std::unique_ptr<IEnumFORMATETC>&) override { return E_NOTIMPL; }
    std::vector<int32_t> requested;

private:
    std::vector<std::string> files_;
    int refuseFrom_;
    bool withDescriptor_;
};

std::string Contents(TStream* s)
{
    std::string out(size_t(s->Size()), '\0');
    s->SetPosition(0);
    s->ReadBuffer(out.data(), int32_t(out.size()));
    return out;
}

}  // namespace

TEST(DragDropFormats, FileContentsStreamsStopAtTheFirstRefusal)
{
    TVirtualFilesObject source({"one", "two", "three"}, 2, true);
    TDataStreamDataFormat streams;
    ASSERT_TRUE(streams.GetData(source));
    EXPECT_EQ(source.requested, (std::vector<int32_t>{0, 1, 2}));
    ASSERT_EQ(streams.Streams.Count(), 2);
    EXPECT_EQ(streams.Streams.Names(0), "A");
    EXPECT_EQ(Contents(streams.Streams.Streams(0)), "one");
    EXPECT_EQ(streams.Streams.Names(1), "B");
    EXPECT_EQ(Contents(streams.Streams.Streams(1)), "two");

    // Without descriptors one unnamed stream is asked for with index -1.
    TVirtualFilesObject bare({"only"}, 5, false);
    streams.Clear();
    ASSERT_TRUE(streams.GetData(bare));
    EXPECT_EQ(bare.requested, (std::vector<int32_t>{-1}));
    ASSERT_EQ(streams.Streams.Count(), 1);
    EXPECT_EQ(streams.Streams.Names(0), "");
    EXPECT_EQ(Contents(streams.Streams.Streams(0)), "only");
}

TEST(DragDropFormats, VirtualFilesServeStreamsOnDemand)
{
    TDropEmptySource source(nullptr);
    auto* files = new TVirtualFileStreamDataFormat(&source);
    files->FileNames.Add("first.txt");
    files->FileNames.Add("second.txt");
    EXPECT_FALSE(files->HasData());
    files->SetOnGetStream([](TObject*, int32_t index, std::shared_ptr<IStream>& stream) {
        auto s = std::make_unique<TMemoryStream>();
        const std::string text = "file " + std::to_string(index);
        s->WriteBuffer(text.data(), int32_t(text.size()));
        s->SetPosition(0);
        stream = std::make_shared<TFixedStreamAdapter>(std::move(s));
    });
    EXPECT_TRUE(files->HasData());

    // A target reads the descriptors and then each file's stream.
    TDropEmptyTarget target(nullptr);
    auto* streams = new TDataStreamDataFormat(&target);
    ASSERT_TRUE(streams->GetData(source));
    ASSERT_EQ(streams->Streams.Count(), 2);
    EXPECT_EQ(streams->Streams.Names(1), "second.txt");
    EXPECT_EQ(Contents(streams->Streams.Streams(1)), "file 1");

    // Index -1 (all) is not served on demand.
    FORMATETC all = TFileContentsStreamOnDemandClipboardFormat().FormatEtc();
    STGMEDIUM m;
    EXPECT_EQ(source.GetData(all, m), DV_E_FORMATETC);

    // A virtual-file target takes the descriptors and notes that contents are there.
    TVirtualFileStreamDataFormat received;
    ASSERT_TRUE(received.GetData(source));
    EXPECT_EQ(received.FileNames.Count(), 2);
    EXPECT_EQ(received.FileNames.Strings(0), "first.txt");
    EXPECT_TRUE(received.HasContents);
}

TEST(DragDropFormats, StreamAdapterCopiesInChunks)
{
    auto big = std::make_unique<TMemoryStream>();
    std::vector<uint8_t> data(1048576 * 2 + 10);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7);
    big->WriteBuffer(data.data(), int32_t(data.size()));
    big->SetPosition(5);
    TFixedStreamAdapter source(std::move(big));

    // A destination that takes only part of a write ends the copy with E_FAIL.
    class TShortWriter : public TFixedStreamAdapter {
    public:
        TShortWriter() : TFixedStreamAdapter(std::make_unique<TMemoryStream>()) {}
        HRESULT Write(const void* b, uint32_t n, uint32_t* w) override
        {
            return TFixedStreamAdapter::Write(b, std::min<uint32_t>(n, 1000), w);
        }
    } shortWriter;
    int64_t read = 0, written = 0;
    EXPECT_EQ(source.CopyTo(shortWriter, -1, &read, &written), E_FAIL);
    EXPECT_EQ(read, 1048576);
    EXPECT_EQ(written, 1000);

    source.Seek(5, STREAM_SEEK_SET, nullptr);
    TFixedStreamAdapter dest(std::make_unique<TMemoryStream>());
    ASSERT_EQ(source.CopyTo(dest, -1, &read, &written), S_OK);
    EXPECT_EQ(read, int64_t(data.size()) - 5);
    EXPECT_EQ(written, read);
    auto& copied = static_cast<TMemoryStream&>(dest.Stream());
    EXPECT_TRUE(std::equal(copied.Bytes().begin(), copied.Bytes().end(), data.begin() + 5));
}

// ---- round trips through QMimeData -----------------------------------------------------------

TEST(DragDropFormats, SourceFormatsBecomeMimeTypes)
{
    TDropEmptySource source(nullptr);
    auto* text = new TTextDataFormat(&source);
    text->SetText("Gr\xFC\xDF" "e");  // Windows-1252
    auto* files = new TGenericDataFormat(&source);
    files->AddFormat("QwFileList");
    files->SetData("C:\\a.jpg\r\nC:\\b.jpg\r\n");

    TDataObjectMimeData mime(std::make_shared<TGuardedDataObject>(&source, &source));
    const QStringList formats = mime.formats();
    EXPECT_TRUE(formats.contains("text/plain"));
    EXPECT_TRUE(formats.contains("QwFileList"));
    EXPECT_TRUE(formats.contains("FileGroupDescriptorW"));
    // Private payloads are never offered as files to other programs.
    EXPECT_FALSE(formats.contains("text/uri-list"));
    EXPECT_EQ(mime.text(), QString::fromUtf8("Grüße"));
    EXPECT_EQ(mime.data("QwFileList"), QByteArray("C:\\a.jpg\r\nC:\\b.jpg\r\n"));

    // Rendered into plain mime data and read back as a foreign data object.
    std::unique_ptr<QMimeData> copy = RenderMimeData(mime);
    TMimeDataObject foreign(copy.get());
    TTextDataFormat receivedText;
    ASSERT_TRUE(receivedText.GetData(foreign));
    EXPECT_EQ(receivedText.Text(), "Gr\xFC\xDF" "e");
    TGenericDataFormat receivedFiles;
    receivedFiles.AddFormat("QwFileList");
    ASSERT_TRUE(receivedFiles.GetData(foreign));
    EXPECT_EQ(receivedFiles.Data(), files->Data());

    // Once the source is gone the mime data offers nothing.
    auto* gone = new TDropEmptySource(nullptr);
    (new TGenericDataFormat(gone))->AddFormat("QwGone");
    TDataObjectMimeData orphan(std::make_shared<TGuardedDataObject>(gone, gone));
    delete gone;
    EXPECT_TRUE(orphan.formats().isEmpty());
    EXPECT_TRUE(orphan.data("QwGone").isEmpty());
}

// A URL whose path holds NUL names no file (the system would cut the path
// there), and one of another host no file here: both are left out of the
// file drop, and a list of only such URLs offers none. A path that is no
// UTF-8 (Latin-1 bytes) comes through byte for byte.
TEST(DragDropFormats, ForeignFileDropLeavesOutNulAndOtherHosts)
{
    QMimeData mime;
    mime.setData("text/uri-list", "file:///tmp/Bilder%00/gibt-es-nicht.jpg\r\nfile://server/tmp/a.jpg\r\n"
                                  "file://localhost/tmp/b.jpg\r\nfile:///tmp/c%25.jpg\r\nfile:///tmp/Gr%FC%DFe/d.jpg\r\n");
    TMimeDataObject object(&mime);
    FORMATETC drop;
    drop.cfFormat = CF_HDROP;
    drop.tymed = TYMED_HGLOBAL;
    STGMEDIUM m;
    ASSERT_EQ(object.GetData(drop, m), S_OK);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(m.hGlobal.data()), qsizetype(m.hGlobal.size())),
              "/tmp/b.jpg\r\n/tmp/c%.jpg\r\n/tmp/Gr\xfc\xdf" "e/d.jpg\r\n");
    QMimeData refused;
    refused.setData("text/uri-list", "file:///tmp/Bilder%00/x.jpg\r\nfile://server/tmp/a.jpg\r\n");
    EXPECT_EQ(TMimeDataObject(&refused).QueryGetData(drop), DV_E_FORMATETC);
}

TEST(DragDropFormats, ForeignFilesArriveAsFileDropFormat)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/tmp/Bild ä.jpg"), QUrl("https://example.org/x.png"),
                  QUrl::fromLocalFile("/tmp/b.png")});
    TMimeDataObject object(&mime);
    FORMATETC drop;
    drop.cfFormat = CF_HDROP;
    drop.tymed = TYMED_HGLOBAL;
    ASSERT_EQ(object.QueryGetData(drop), S_OK);
    STGMEDIUM m;
    ASSERT_EQ(object.GetData(drop, m), S_OK);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(m.hGlobal.data()), qsizetype(m.hGlobal.size())),
              QString("/tmp/Bild ä.jpg\r\n/tmp/b.png\r\n").toUtf8());

    // Offered through the enumerator, and as a stream when only that is asked for.
    std::unique_ptr<IEnumFORMATETC> e;
    ASSERT_EQ(object.EnumFormatEtc(DATADIR_GET, e), S_OK);
    FORMATETC f;
    uint32_t n = 0;
    bool found = false;
    while (e->Next(1, &f, &n) == S_OK)
        found = found || f.cfFormat == CF_HDROP;
    EXPECT_TRUE(found);
    drop.tymed = TYMED_ISTREAM;
    ASSERT_EQ(object.GetData(drop, m), S_OK);
    EXPECT_EQ(m.tymed, TYMED_ISTREAM);

    // Only remote URLs: no file-drop format.
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/x.png")});
    drop.tymed = TYMED_HGLOBAL;
    EXPECT_EQ(TMimeDataObject(&remote).QueryGetData(drop), DV_E_FORMATETC);
    // What a target writes back cannot reach the other program.
    STGMEDIUM w = Global({1, 0, 0, 0});
    EXPECT_EQ(object.SetData(TPerformedDropEffectClipboardFormat().FormatEtc(), w, true), E_NOTIMPL);
    EXPECT_EQ(w.tymed, TYMED_NULL);

    // The file-drop format of the program's own data becomes a URI list.
    EXPECT_EQ(MimeTypeOfFormat(CF_HDROP), "text/uri-list");
    EXPECT_EQ(FormatOfMimeType("text/uri-list"), CF_HDROP);
    EXPECT_EQ(FormatOfMimeType("QwColor"), RegisterClipboardFormatA("QwColor"));
    EXPECT_EQ(MimeTypeOfFormat(RegisterClipboardFormatA("QwColor")), "QwColor");
    EXPECT_EQ(MimeTypeOfFormat(2), "");
}

// ---- a data object handed to another thread ---------------------------------------------------

TEST(InterThreadDataObject, CallsRunOnTheOwnersThreadAndAnswerWithCopies)
{
    TDropEmptySource source(nullptr);
    source.SetAllowAsyncTransfer(true);
    auto* payload = new TGenericDataFormat(&source);
    payload->AddFormat("QwInterThread");
    payload->SetData("served");
    std::vector<std::thread::id> servedOn;
    source.OnGetData = [&](TObject*, const FORMATETC&, STGMEDIUM&, bool&) {
        servedOn.push_back(std::this_thread::get_id());
    };
    TInterThreadDataObject proxy(std::make_shared<TGuardedDataObject>(&source, &source));
    FORMATETC f;
    f.cfFormat = RegisterClipboardFormatA("QwInterThread");
    f.tymed = TYMED_ISTREAM;

    // On the owner's thread a call runs at once.
    EXPECT_EQ(proxy.QueryGetData(f), S_OK);

    // From another thread it waits for the owner's event loop.
    std::atomic<bool> done = false;
    HRESULT got = E_FAIL, mode = E_FAIL, enumerated = E_FAIL;
    BOOL async = 0;
    std::vector<uint8_t> bytes;
    uint32_t formats = 0;
    std::thread worker([&] {
        STGMEDIUM m;
        got = proxy.GetData(f, m);
        if (m.pstm) {
            uint64_t size = 0;
            m.pstm->Stat(size);
            ReadStreamBytes(*m.pstm, size, bytes);
        }
        mode = proxy.GetAsyncMode(async);
        std::unique_ptr<IEnumFORMATETC> e;
        enumerated = proxy.EnumFormatEtc(DATADIR_GET, e);
        FORMATETC one;
        uint32_t n = 0;
        while (e && e->Next(1, &one, &n) == S_OK)
            ++formats;
        done = true;
    });
    const auto main = std::this_thread::get_id();
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!done)
        proxy.Disconnect();  // no hang when it fails
    worker.join();
    EXPECT_EQ(got, S_OK);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "served");
    EXPECT_EQ(servedOn, std::vector<std::thread::id>{main});
    EXPECT_EQ(mode, S_OK);
    EXPECT_EQ(async, 0);  // allowed, but not asked for
    EXPECT_EQ(enumerated, S_OK);
    EXPECT_EQ(formats, 3u);  // preferred effect, drag loop, the payload

    // Once disconnected, a waiting call and every later one fail.
    std::atomic<bool> waiting = false;
    HRESULT late = S_OK;
    std::thread blocked([&] {
        waiting = true;
        late = proxy.QueryGetData(f);
    });
    while (!waiting)
        std::this_thread::yield();
    proxy.Disconnect();
    blocked.join();
    EXPECT_EQ(late, E_UNEXPECTED);
    EXPECT_EQ(proxy.QueryGetData(f), E_UNEXPECTED);
    QCoreApplication::processEvents();  // a late wake-up runs nothing
}
