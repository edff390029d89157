#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropSource.h"

#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace Ole;

namespace {

TGenericDataFormat* AddGeneric(TCustomDropMultiSource& source, const char* name, const AnsiString& data)
{
    auto* g = new TGenericDataFormat(&source);
    g->AddFormat(name);
    g->SetData(data);
    return g;
}

std::vector<AnsiString> Names(IEnumFORMATETC& e)
{
    std::vector<AnsiString> names;
    FORMATETC f;
    uint32_t n = 0;
    while (e.Next(1, &f, &n) == S_OK && n == 1)
        names.push_back(GetClipboardFormatNameStr(f.cfFormat));
    return names;
}

}  // namespace

TEST(DropSource, EnumeratesFormatsAsASnapshot)
{
    TDropEmptySource source(nullptr);
    AddGeneric(source, "QwEnumA", "a");
    auto* b = AddGeneric(source, "QwEnumB", "b");

    std::unique_ptr<IEnumFORMATETC> get;
    ASSERT_EQ(source.EnumFormatEtc(DATADIR_GET, get), S_OK);
    // Two generic formats of different names are both offered.
    const std::vector<AnsiString> expected{"InShellDragLoop", "Preferred DropEffect", "QwEnumA", "QwEnumB"};
    std::unique_ptr<IEnumFORMATETC> clone;
    ASSERT_EQ(get->Clone(clone), S_OK);
    delete b;  // the enumerator does not refer to the freed format
    EXPECT_EQ(Names(*get), expected);

    // Asked for 3 with 2 left: 2 and S_FALSE; a clone keeps the cursor.
    FORMATETC three[3];
    uint32_t fetched = 0;
    ASSERT_EQ(clone->Skip(2), S_OK);
    std::unique_ptr<IEnumFORMATETC> second;
    clone->Clone(second);
    EXPECT_EQ(clone->Next(3, three, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(GetClipboardFormatNameStr(three[1].cfFormat), "QwEnumB");
    EXPECT_EQ(second->Next(1, three, nullptr), S_OK);
    EXPECT_EQ(GetClipboardFormatNameStr(three[0].cfFormat), "QwEnumA");
    EXPECT_EQ(second->Skip(5), S_FALSE);
    EXPECT_EQ(second->Next(1, three, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(second->Reset(), S_OK);
    EXPECT_EQ(Names(*second).size(), 4u);

    std::unique_ptr<IEnumFORMATETC> set;
    ASSERT_EQ(source.EnumFormatEtc(DATADIR_SET, set), S_OK);
    EXPECT_EQ(Names(*set), (std::vector<AnsiString>{"Logical Performed DropEffect", "TargetCLSID",
                                                    "Paste Succeeded", "Performed DropEffect"}));
    EXPECT_EQ(source.EnumFormatEtc(3, set), E_NOTIMPL);
    EXPECT_EQ(set, nullptr);
}

TEST(DropSource, DataObjectAnswers)
{
    TDropEmptySource source(nullptr);
    AddGeneric(source, "QwAnswer", "payload");
    FORMATETC f;
    f.cfFormat = RegisterClipboardFormatA("QwAnswer");
    f.tymed = TYMED_HGLOBAL;
    EXPECT_EQ(source.QueryGetData(f), S_OK);
    STGMEDIUM m;
    ASSERT_EQ(source.GetData(f, m), S_OK);
    EXPECT_EQ(std::string(m.hGlobal.begin(), m.hGlobal.end()), "payload");

    FORMATETC unknown = f;
    unknown.cfFormat = RegisterClipboardFormatA("QwUnknown");
    EXPECT_EQ(source.QueryGetData(unknown), DV_E_FORMATETC);
    EXPECT_EQ(source.GetData(unknown, m), DV_E_FORMATETC);

    // OnGetData may answer any request itself.
    source.OnGetData = [](TObject*, const FORMATETC& format, STGMEDIUM& medium, bool& handled) {
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = {42};
        handled = format.cfFormat == RegisterClipboardFormatA("QwUnknown");
    };
    ASSERT_EQ(source.GetData(unknown, m), S_OK);
    EXPECT_EQ(m.hGlobal, std::vector<uint8_t>{42});
}

TEST(DropSource, QueryContinueDragAndFeedback)
{
    TDropEmptySource source(nullptr);
    source.DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    int drops = 0;
    bool veto = false;
    source.OnDrop = [&](TObject*, TDragType type, bool& go) {
        ++drops;
        EXPECT_EQ(type, dtMove);
        go = !veto;
    };
    EXPECT_EQ(source.QueryContinueDrag(true, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source.QueryContinueDrag(false, MK_RBUTTON), S_OK);

    // Released over a target that last gave link, not among the drag types.
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_LINK), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source.FeedbackEffect, DROPEFFECT_LINK);
    EXPECT_EQ(source.QueryContinueDrag(false, 0), DRAGDROP_S_CANCEL);
    EXPECT_EQ(drops, 0);

    source.GiveFeedback(DROPEFFECT_MOVE);
    EXPECT_EQ(source.QueryContinueDrag(false, 0), DRAGDROP_S_DROP);
    veto = true;
    EXPECT_EQ(source.QueryContinueDrag(false, 0), DRAGDROP_S_CANCEL);
    EXPECT_EQ(drops, 2);

    source.OnFeedback = [](TObject*, int32_t, bool& useDefault) { useDefault = false; };
    EXPECT_EQ(source.GiveFeedback(DROPEFFECT_COPY), S_OK);
}

TEST(DropSource, ImageProperties)
{
    TDropEmptySource source(nullptr);
    EXPECT_EQ(source.ImageHotSpotX, 16);
    EXPECT_EQ(source.ImageHotSpotY, 16);
    source.SetShowImage(true);
    EXPECT_FALSE(source.ShowImage());  // no images

    QList<QPixmap> images{QPixmap(8, 8), QPixmap(8, 8), QPixmap(8, 8)};
    source.SetImages(&images);
    source.SetShowImage(true);
    source.SetImageIndex(2);
    EXPECT_EQ(source.ImageIndex(), 2);
    source.SetImageIndex(3);  // at the count: kept
    EXPECT_EQ(source.ImageIndex(), 2);
    EXPECT_TRUE(source.ShowImage());
    source.SetImageIndex(-1);
    EXPECT_EQ(source.ImageIndex(), 0);
    EXPECT_FALSE(source.ShowImage());

    QList<QPixmap> one{QPixmap(4, 4)};
    source.SetShowImage(true);
    source.SetImageIndex(2);
    source.SetImages(&one);
    EXPECT_EQ(source.ImageIndex(), 0);
    EXPECT_TRUE(source.ShowImage());
    QList<QPixmap> none;
    source.SetImages(&none);
    EXPECT_FALSE(source.ShowImage());
}

TEST(DropSource, ExecuteOffersTheFormatsToQt)
{
    TDropEmptySource source(nullptr);
    source.DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    AddGeneric(source, "QwFileList", "/home/a.jpg\r\n");
    QList<QPixmap> images{QPixmap(20, 10)};
    source.SetImages(&images);
    source.SetShowImage(true);
    source.ImageHotSpotX = 3;

    bool inLoop = false;
    QStringList offered;
    QByteArray payload;
    Qt::DropActions allowed;
    QPoint hotSpot;
    Qt::DropAction answer = Qt::CopyAction;
    source.ExecDrag = [&](QDrag& drag, Qt::DropActions actions) {
        inLoop = source.GetInShellDragLoop();
        offered = drag.mimeData()->formats();
        payload = drag.mimeData()->data("QwFileList");
        allowed = actions;
        hotSpot = drag.hotSpot();
        EXPECT_EQ(drag.pixmap().size(), QSize(20, 10));
        EXPECT_EQ(source.GetPerformedDropEffect(), -1);
        // The drag-image helper belongs to this drag's data object only.
        EXPECT_NE(source.DragSourceHelper, nullptr);
        if (source.DragSourceHelper) {
            TDropEmptySource other(nullptr);
            SHDRAGIMAGE image{QSize(4, 4), QPoint(1, 1), QPixmap(4, 4)};
            EXPECT_EQ(source.DragSourceHelper->InitializeFromBitmap(image, &other), E_INVALIDARG);
        }
        return answer;
    };
    std::vector<std::pair<TDragResult, bool>> after;
    source.OnAfterDrop = [&](TObject*, TDragResult r, bool optimized) { after.emplace_back(r, optimized); };

    EXPECT_EQ(source.Execute(), drDropCopy);
    EXPECT_TRUE(inLoop);
    EXPECT_FALSE(source.GetInShellDragLoop());
    EXPECT_TRUE(offered.contains("QwFileList"));
    EXPECT_FALSE(offered.contains("text/uri-list"));
    EXPECT_EQ(payload, QByteArray("/home/a.jpg\r\n"));
    EXPECT_EQ(allowed, Qt::CopyAction | Qt::MoveAction);
    EXPECT_EQ(hotSpot, QPoint(3, 16));
    EXPECT_EQ(source.GetPerformedDropEffect(), 0);
    EXPECT_EQ(source.DragSourceHelper, nullptr);  // released after the drag

    answer = Qt::IgnoreAction;
    EXPECT_EQ(source.Execute(), drCancel);
    answer = Qt::LinkAction;  // not allowed
    EXPECT_EQ(source.Execute(), drCancel);
    answer = Qt::MoveAction;
    EXPECT_EQ(source.Execute(), drDropMove);
    EXPECT_EQ(after, (std::vector<std::pair<TDragResult, bool>>{
                         {drDropCopy, false}, {drCancel, false}, {drCancel, false}, {drDropMove, true}}));

    // An empty picture: the helper refuses it and the drag goes without one.
    QList<QPixmap> empty{QPixmap()};
    source.SetImages(&empty);
    source.SetShowImage(true);
    bool helped = true;
    QSize shown;
    source.ExecDrag = [&](QDrag& drag, Qt::DropActions) {
        helped = source.DragSourceHelper != nullptr;
        shown = drag.pixmap().size();
        return Qt::CopyAction;
    };
    EXPECT_EQ(source.Execute(), drDropCopy);
    EXPECT_FALSE(helped);
    EXPECT_TRUE(shown.isEmpty());

    // A target that reports a performed move while answering copy made a move.
    answer = Qt::CopyAction;
    source.ExecDrag = [&](QDrag&, Qt::DropActions) {
        source.SetPerformedDropEffect(DROPEFFECT_MOVE);
        return answer;
    };
    after.clear();
    EXPECT_EQ(source.Execute(), drDropMove);
    EXPECT_EQ(after, (std::vector<std::pair<TDragResult, bool>>{{drDropMove, true}}));
}

TEST(DropSource, PasteSucceededFiresOnPaste)
{
    TDropEmptySource source(nullptr);
    std::vector<std::pair<TDragResult, bool>> pastes;
    source.OnPaste = [&](TObject*, TDragResult action, bool deleteOnPaste) {
        pastes.emplace_back(action, deleteOnPaste);
    };
    auto write = [&](int32_t value) {
        TPasteSuccededClipboardFormat f;
        f.Value = uint32_t(value);
        STGMEDIUM m;
        return f.SetData(source, f.FormatEtc(), m);
    };
    source.SetPerformedDropEffect(DROPEFFECT_MOVE);
    ASSERT_TRUE(write(DROPEFFECT_MOVE));
    source.SetPerformedDropEffect(DROPEFFECT_COPY);
    ASSERT_TRUE(write(DROPEFFECT_MOVE));
    ASSERT_TRUE(write(DROPEFFECT_COPY));
    EXPECT_EQ(pastes, (std::vector<std::pair<TDragResult, bool>>{
                          {drDropMove, true}, {drDropMove, false}, {drDropCopy, false}}));
    EXPECT_EQ(source.FeedbackDataFormat->PasteSucceeded, DROPEFFECT_COPY);
}

TEST(DropSource, ClipboardHoldsTheSourceUntilItsDataChange)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* source = new TDropEmptySource(nullptr);
    auto* g = AddGeneric(*source, "QwClipTest", "first");
    ASSERT_TRUE(source->CopyToClipboard());
    EXPECT_TRUE(OleIsCurrentClipboard(source));
    EXPECT_EQ(clipboard->mimeData()->data("QwClipTest"), QByteArray("first"));
    EXPECT_EQ(clipboard->mimeData()->data("Preferred DropEffect"), QByteArray("\x01\0\0\0", 4));

    // A change keeps a copy of the earlier data on the clipboard.
    g->SetData("second");
    EXPECT_FALSE(OleIsCurrentClipboard(source));
    EXPECT_EQ(clipboard->mimeData()->data("QwClipTest"), QByteArray("first"));

    ASSERT_TRUE(source->CutToClipboard());
    EXPECT_EQ(clipboard->mimeData()->data("Preferred DropEffect"), QByteArray("\x02\0\0\0", 4));
    EXPECT_EQ(clipboard->mimeData()->data("QwClipTest"), QByteArray("second"));
    source->EmptyClipboard();
    EXPECT_FALSE(clipboard->mimeData() && clipboard->mimeData()->hasFormat("QwClipTest"));

    // A source leaves the clipboard when it is freed.
    source->CopyToClipboard();
    delete source;
    EXPECT_FALSE(clipboard->mimeData() && clipboard->mimeData()->hasFormat("QwClipTest"));
}

TEST(DropSource, AsyncOperationAnswers)
{
    TDropEmptySource source(nullptr);
    source.DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    std::vector<std::pair<TDragResult, bool>> after;
    source.OnAfterDrop = [&](TObject*, TDragResult r, bool optimized) { after.emplace_back(r, optimized); };
    BOOL flag = 7;

    // Not allowed: no asynchronous mode, no operation.
    EXPECT_EQ(source.SetAsyncMode(BoolOf(true)), E_NOTIMPL);
    EXPECT_EQ(source.GetAsyncMode(flag), S_OK);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(source.StartOperation(), E_NOTIMPL);
    EXPECT_EQ(source.EndOperation(S_OK, DROPEFFECT_COPY), E_FAIL);

    source.SetAllowAsyncTransfer(true);
    EXPECT_EQ(source.SetAsyncMode(1), S_OK);  // any value but 0 is true
    EXPECT_EQ(source.GetAsyncMode(flag), S_OK);
    EXPECT_EQ(flag, -1);
    EXPECT_EQ(source.InOperation(flag), S_OK);
    EXPECT_EQ(flag, 0);

    // Each operation ends once; the result comes from the effects the source allows.
    struct Case {
        HRESULT result;
        int32_t effects;
        int32_t performed;
        TDragResult dragResult;
        bool optimized;
    };
    const Case cases[] = {
        {S_OK, DROPEFFECT_COPY, 0, drDropCopy, true},
        {S_OK, DROPEFFECT_MOVE, DROPEFFECT_MOVE, drDropMove, false},
        {S_OK, DROPEFFECT_MOVE, DROPEFFECT_COPY, drDropMove, true},
        {S_OK, DROPEFFECT_LINK, 0, drCancel, true},  // link is not offered
        {S_FALSE, DROPEFFECT_COPY, 0, drDropCopy, true},
        {E_UNEXPECTED, DROPEFFECT_MOVE, DROPEFFECT_MOVE, drUnknown, true},
    };
    for (const Case& c : cases) {
        after.clear();
        source.SetPerformedDropEffect(c.performed);
        ASSERT_EQ(source.StartOperation(), S_OK);
        EXPECT_EQ(source.InOperation(flag), S_OK);
        EXPECT_EQ(flag, -1);
        EXPECT_EQ(source.EndOperation(c.result, c.effects), S_OK);
        EXPECT_EQ(source.EndOperation(c.result, c.effects), E_FAIL);
        EXPECT_EQ(after, (std::vector<std::pair<TDragResult, bool>>{{c.dragResult, c.optimized}})) << c.effects;
    }

    // A drag while an operation runs leaves the after-drop event to EndOperation.
    source.ExecDrag = [](QDrag&, Qt::DropActions) { return Qt::CopyAction; };
    after.clear();
    ASSERT_EQ(source.StartOperation(), S_OK);
    EXPECT_EQ(source.Execute(), drDropCopy);
    EXPECT_TRUE(after.empty());
    source.EndOperation(S_OK, DROPEFFECT_COPY);
    EXPECT_EQ(after.size(), 1u);

    // Execute asks for the asynchronous mode when allowed; turning the
    // permission off ends mode and operation.
    source.SetAsyncMode(0);
    source.Execute();
    EXPECT_TRUE(source.AsyncMode());
    source.StartOperation();
    source.SetAllowAsyncTransfer(false);
    EXPECT_FALSE(source.AsyncMode());
    EXPECT_FALSE(source.InOperation());
    source.Execute();
    EXPECT_FALSE(source.AsyncMode());

    // The data object's other answers.
    FORMATETC f, canonical;
    f.cfFormat = CF_TEXT;
    EXPECT_EQ(source.GetCanonicalFormatEtc(f, canonical), DATA_S_SAMEFORMATETC);
    EXPECT_EQ(canonical.cfFormat, CF_TEXT);
    uint32_t connection = 0;
    EXPECT_EQ(source.DAdvise(f, 0, nullptr, connection), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(source.DUnadvise(connection), OLE_E_ADVISENOTSUPPORTED);
    IEnumSTATDATA* advises = reinterpret_cast<IEnumSTATDATA*>(&f);
    EXPECT_EQ(source.EnumDAdvise(&advises), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(advises, nullptr);
    EXPECT_EQ(source.EnumDAdvise(nullptr), OLE_E_ADVISENOTSUPPORTED);
}
