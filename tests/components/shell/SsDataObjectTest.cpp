#include "ShellFixture.h"
#include "SsDataObject.h"
#include "SsNamespace.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

using namespace Ole;

namespace {
uint32_t U32(const QByteArray& b, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(b[at + i]);
    return v;
}

FORMATETC Request(TClipFormat format, uint32_t tymed = TYMED_HGLOBAL, uint32_t aspect = DVASPECT_CONTENT)
{
    return FORMATETC{format, nullptr, aspect, -1, tymed};
}

// The block of a format, asked for in global memory.
HRESULT Get(TSsDataObject& data, TClipFormat format, QByteArray& block)
{
    STGMEDIUM medium;
    const HRESULT hr = data.GetData(Request(format), medium);
    if (hr == S_OK) {
        EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
    }
    block = QByteArray(reinterpret_cast<const char*>(medium.hGlobal.data()), qsizetype(medium.hGlobal.size()));
    return hr;
}
}  // namespace

TEST(SsDropSource, EscapeCancelsReleasingTheLeftButtonDrops)
{
    using namespace Ole;
    const TSsDropSource source;
    const struct {
        bool escape;
        int32_t keyState;
        HRESULT answer;
    } cases[] = {
        {true, MK_LBUTTON, DRAGDROP_S_CANCEL}, {true, 0, DRAGDROP_S_CANCEL},
        {false, 0, DRAGDROP_S_DROP},          {false, MK_RBUTTON | MK_SHIFT, DRAGDROP_S_DROP},
        {false, MK_LBUTTON, S_OK},            {false, MK_LBUTTON | MK_CONTROL, S_OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(source.QueryContinueDrag(c.escape, c.keyState), c.answer) << c.escape << ' ' << c.keyState;
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST(SsDropSource, DragLoopAsksTheSourceAtEachKey)
{
    // Run it on a display: QT_QPA_PLATFORM=xcb xvfb-run -a tests_components_shell.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "the offscreen platform ends every drag at once";
    struct Recorder : TSsDropSource {
        HRESULT QueryContinueDrag(bool escape, int32_t keyState) const override
        {
            questions.push_back({escape, keyState});
            return TSsDropSource::QueryContinueDrag(escape, keyState);
        }
        mutable std::vector<std::pair<bool, int32_t>> questions;
    } source;
    QWidget window;
    window.resize(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    auto* drag = new QDrag(&window);
    auto* data = new QMimeData;
    data->setText("x");
    drag->setMimeData(data);
    // The user types a capital A, then Escape, while the drag runs.
    QTimer::singleShot(50, &window, [&] {
        QKeyEvent shift(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier);
        QApplication::sendEvent(window.windowHandle(), &shift);
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window.windowHandle(), &esc);
    });
    EXPECT_EQ(SsDoDragDrop(*drag, source, Ole::DROPEFFECT_COPY), Ole::DROPEFFECT_NONE);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_GE(source.questions.size(), 2u);
    EXPECT_FALSE(source.questions.front().first);
    EXPECT_TRUE(source.questions.front().second & Ole::MK_SHIFT);
    EXPECT_TRUE(source.questions.back().first);
}

TEST(SsDataObject, IdListArrayOfOneFolder)
{
    ShellFixture fx;
    PSsIdList folder = SsPathToIdList(fx.Path("Bilder"));
    PSsIdList rel = SsILFindLast(folder.get());
    TSsDataObject data({rel.get()}, folder.get());
    QByteArray block;
    ASSERT_EQ(Get(data, SsCFIdList(), block), S_OK);
    EXPECT_EQ(U32(block, 0), 1u);
    EXPECT_EQ(U32(block, 4), 12u);  // 4 * n + 8
    PSsIdList parent = SsILClone(folder.get());
    SsILRemoveLastID(parent.get());
    EXPECT_EQ(U32(block, 8), 12 + SsILGetSize(parent.get()));
    EXPECT_EQ(block.mid(12, int(SsILGetSize(parent.get()))), parent->Bytes());
    EXPECT_EQ(block.mid(int(U32(block, 8))), rel->Bytes());
    EXPECT_EQ(uint32_t(block.size()), 12 + SsILGetSize(parent.get()) + SsILGetSize(rel.get()));
}

TEST(SsDataObject, CarriesEveryItemOfALargeDrag)
{
    ShellFixture fx;
    PSsIdList folder = SsPathToIdList(fx.Path("b.jpg"));
    std::vector<PSsIdList> items;
    std::vector<const TSsIdList*> refs;
    for (int i = 0; i < 16385; ++i) {
        items.push_back(std::make_unique<TSsIdList>(std::vector<QByteArray>{"f" + QByteArray::number(i)}));
        refs.push_back(items.back().get());
    }
    TSsDataObject data(refs, folder.get());
    EXPECT_EQ(data.Paths().size(), 16385);
    EXPECT_EQ(data.Paths().last(), fx.Path("f16384"));
    QByteArray block;
    ASSERT_EQ(Get(data, SsCFIdList(), block), S_OK);
    EXPECT_EQ(U32(block, 0), 16385u);
}

// A name that is no UTF-8 goes into the file-drop block as the system's bytes.
TEST(SsDataObject, FileDropBlockKeepsNamesThatAreNoUtf8)
{
    ShellFixture fx;
    PSsIdList first = SsPathToIdList(fx.Path("b.jpg"));
    TSsIdList a({"Gr\xfc\xdf" "e.jpg"});
    TSsDataObject data({&a}, first.get());
    QByteArray drop;
    ASSERT_EQ(Get(data, CF_HDROP, drop), S_OK);
    EXPECT_EQ(drop.mid(20), QFile::encodeName(fx.Path()) + "/Gr\xfc\xdf" "e.jpg" + '\0' + '\0');
}

TEST(SsDataObject, FileDropBlockAndFormats)
{
    ShellFixture fx;
    PSsIdList first = SsPathToIdList(fx.Path("b.jpg"));
    TSsIdList a({"b.jpg"}), b({"c.txt"});
    TSsDataObject data({&a, &b}, first.get());
    QByteArray drop;
    ASSERT_EQ(Get(data, CF_HDROP, drop), S_OK);
    EXPECT_EQ(U32(drop, 0), 20u);
    EXPECT_EQ(drop.mid(4, 16), QByteArray(16, '\0'));
    const QByteArray names = QFile::encodeName(fx.Path("b.jpg")) + '\0' + QFile::encodeName(fx.Path("c.txt")) + '\0' + '\0';
    EXPECT_EQ(drop.mid(20), names);

    QByteArray none;
    EXPECT_EQ(data.QueryGetData(Request(CF_HDROP, TYMED_ISTREAM)), DV_E_TYMED);
    EXPECT_EQ(data.QueryGetData(Request(CF_HDROP, TYMED_HGLOBAL, 4)), DV_E_FORMATETC);
    EXPECT_EQ(Get(data, 999, none), DV_E_FORMATETC);
    QByteArray text;
    ASSERT_EQ(Get(data, CF_TEXT, text), S_OK);  // the text offered is given: the paths
    EXPECT_EQ(std::string(text.constData(), size_t(text.size())),
              toAnsi(fx.Path("b.jpg") + "\r\n" + fx.Path("c.txt")) + '\0');
    STGMEDIUM written;
    EXPECT_EQ(data.SetData(Request(CF_TEXT), written, true), E_NOTIMPL);

    std::unique_ptr<IEnumFORMATETC> formats;
    EXPECT_EQ(data.EnumFormatEtc(DATADIR_SET, formats), E_NOTIMPL);
    EXPECT_EQ(formats, nullptr);
    ASSERT_EQ(data.EnumFormatEtc(DATADIR_GET, formats), S_OK);
    FORMATETC got[5];
    uint32_t fetched = 0;
    std::vector<TClipFormat> seen;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(formats->Next(1, got, &fetched), S_OK) << i;
        seen.push_back(got[0].cfFormat);
        EXPECT_EQ(got[0].tymed, TYMED_HGLOBAL);
        EXPECT_EQ(got[0].lindex, -1);
    }
    EXPECT_EQ(seen, (std::vector<TClipFormat>{SsCFIdList(), CF_HDROP, CF_TEXT}));
    EXPECT_EQ(formats->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    formats->Reset();
    EXPECT_EQ(formats->Skip(2), S_OK);
    std::unique_ptr<IEnumFORMATETC> clone;
    ASSERT_EQ(formats->Clone(clone), S_OK);
    EXPECT_EQ(clone->Next(5, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, CF_TEXT);
    EXPECT_EQ(formats->Skip(5), S_FALSE);

    // The drag carries the array and the files.
    auto mime = data.CreateMimeData();
    ASSERT_TRUE(mime->hasUrls());
    EXPECT_EQ(mime->urls().size(), 2);
    EXPECT_EQ(mime->urls()[0].toLocalFile(), fx.Path("b.jpg"));
    EXPECT_TRUE(mime->hasFormat(MimeTypeOfFormat(SsCFIdList())));
    EXPECT_EQ(mime->text(), fx.Path("b.jpg") + "\r\n" + fx.Path("c.txt"));
}

TEST(SsFolderDropTarget, CopiesMovesAndNeverOverwrites)
{
    ShellFixture fx;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("b.jpg")), QUrl::fromLocalFile(fx.Path("Bilder/x.jpg"))});
    TSsFolderDropTarget target(QFile::encodeName(fx.Path("alt")));
    int32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    // Within one file system a plain drop moves; the control key copies.
    target.DragEnter(&mime, MK_LBUTTON, effect);
    EXPECT_EQ(effect, DROPEFFECT_MOVE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target.DragOver(MK_LBUTTON | MK_CONTROL, effect);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.Drop(&mime, MK_LBUTTON | MK_CONTROL, effect), 0);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_TRUE(QFile::exists(fx.Path("alt/b.jpg")));
    EXPECT_TRUE(QFile::exists(fx.Path("b.jpg")));
    // A second copy gets a free name; the first stays as it was.
    fx.Write("b.jpg", 7, 2024);
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target.Drop(&mime, MK_LBUTTON, effect), 0);
    EXPECT_EQ(QFileInfo(fx.Path("alt/b.jpg")).size(), 3000);
    EXPECT_EQ(QFileInfo(fx.Path("alt/b (2).jpg")).size(), 7);
    EXPECT_TRUE(QFile::exists(fx.Path("alt/x (2).jpg")));
    // Moving.
    QMimeData one;
    one.setUrls({QUrl::fromLocalFile(fx.Path("c.txt"))});
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target.Drop(&one, MK_LBUTTON | MK_SHIFT, effect), 0);
    EXPECT_EQ(effect, DROPEFFECT_MOVE);
    EXPECT_FALSE(QFile::exists(fx.Path("c.txt")));
    EXPECT_TRUE(QFile::exists(fx.Path("alt/c.txt")));
    // Moving into the folder the files are in does nothing.
    QMimeData here;
    here.setUrls({QUrl::fromLocalFile(fx.Path("alt/c.txt"))});
    effect = DROPEFFECT_MOVE;
    target.DragEnter(&here, MK_LBUTTON | MK_SHIFT, effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    // Data without files is refused.
    QMimeData text;
    text.setText("hello");
    effect = DROPEFFECT_COPY;
    target.DragEnter(&text, MK_LBUTTON, effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(SsFreeFileName(QFile::encodeName(fx.Path()), "Bilder"), "Bilder (2)");
    EXPECT_EQ(SsFreeFileName(QFile::encodeName(fx.Path()), "neu.jpg"), "neu.jpg");
}

TEST(SsFolderDropTarget, RefusesAFolderDroppedIntoItselfOrBelowIt)
{
    ShellFixture fx;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fx.Path("Bilder"))});
    for (const QString& into : {QString("Bilder"), QString("Bilder/Urlaub/Strand")})
        for (int32_t keys : {MK_LBUTTON | MK_CONTROL, MK_LBUTTON | MK_SHIFT}) {
            TSsFolderDropTarget target(QFile::encodeName(fx.Path(into)));
            int32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
            EXPECT_EQ(target.Drop(&mime, keys, effect), 0);
            EXPECT_EQ(effect, DROPEFFECT_NONE) << into.toStdString();
        }
    EXPECT_TRUE(QFileInfo(fx.Path("Bilder/Urlaub/Strand")).isDir());
    EXPECT_FALSE(QFileInfo::exists(fx.Path("Bilder/Urlaub/Strand/Bilder")));
    EXPECT_FALSE(QFileInfo::exists(fx.Path("Bilder/Bilder (2)")));
    // A folder beside it with a name that starts the same still takes it.
    fx.Mkdir("Bilder2");
    TSsFolderDropTarget beside(QFile::encodeName(fx.Path("Bilder2")));
    int32_t effect = DROPEFFECT_COPY;
    EXPECT_EQ(beside.Drop(&mime, MK_LBUTTON | MK_CONTROL, effect), 0);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_TRUE(QFileInfo::exists(fx.Path("Bilder2/Bilder/Urlaub/Strand")));
}
