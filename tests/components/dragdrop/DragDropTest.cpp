#include "DragDrop.h"
#include "DragDropFormats.h"
#include "DropSource.h"
#include "DropTarget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace Ole;

// ---- drag vocabulary ------------------------------------------------------------------

TEST(DragDrop, DragTypesAndEffects)
{
    EXPECT_EQ(DragTypesToDropEffect(0), 0);
    EXPECT_EQ(DragTypesToDropEffect(DragTypeSet(dtCopy) | DragTypeSet(dtLink)), 5);
    EXPECT_EQ(DragTypesToDropEffect(DragTypeSet(dtMove)), 2);

    struct Case {
        int32_t effect;
        bool ok;
        TDragType type;
        TDragResult result;
    };
    const Case cases[] = {
        {0, false, dtCopy, drCancel},    {1, true, dtCopy, drDropCopy},  {2, true, dtMove, drDropMove},
        {4, true, dtLink, drDropLink},   {3, true, dtCopy, drUnknown},   {6, true, dtMove, drUnknown},
        {8, false, dtCopy, drUnknown},
    };
    for (const Case& c : cases) {
        TDragType t = dtLink;
        EXPECT_EQ(DropEffectToDragType(c.effect, t), c.ok) << c.effect;
        EXPECT_EQ(t, c.type) << c.effect;
        EXPECT_EQ(DropEffectToDragResult(c.effect), c.result) << c.effect;
    }
}

TEST(DragDrop, KeyStateToShiftState)
{
    EXPECT_EQ(KeyStateToShiftState(MK_ALT), ssAlt);
    EXPECT_EQ(KeyStateToShiftState(MK_SHIFT | MK_CONTROL), ssShift | ssCtrl);
    EXPECT_EQ(KeyStateToShiftState(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON), ssLeft | ssRight | ssMiddle);
    EXPECT_EQ(KeyStateOf(Qt::ShiftModifier | Qt::AltModifier, Qt::LeftButton), MK_SHIFT | MK_ALT | MK_LBUTTON);
}

TEST(DragDrop, ShiftStateToDropEffect)
{
    struct Case {
        TShiftState shift;
        int32_t allowed;
        bool fallback;
        int32_t effect;
    };
    const Case cases[] = {
        {0, 7, false, DROPEFFECT_MOVE},
        {ssShift, 7, false, DROPEFFECT_MOVE},
        {ssCtrl, 7, false, DROPEFFECT_COPY},
        {ssShift | ssCtrl, 7, false, DROPEFFECT_LINK},
        {ssAlt, 7, false, DROPEFFECT_MOVE},  // only shift and control count
        {0, DROPEFFECT_COPY, true, DROPEFFECT_COPY},
        {0, DROPEFFECT_COPY, false, 0},
        {ssShift | ssCtrl, DROPEFFECT_COPY | DROPEFFECT_MOVE, true, DROPEFFECT_COPY},
        {ssCtrl, DROPEFFECT_MOVE | DROPEFFECT_LINK, true, DROPEFFECT_MOVE},
        {ssCtrl, DROPEFFECT_LINK, true, DROPEFFECT_LINK},
        {0, 0, true, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShiftStateToDropEffect(c.shift, c.allowed, c.fallback), c.effect)
            << int(c.shift) << " " << c.allowed << " " << c.fallback;
}

TEST(DragDrop, ClientToWindowPointCountsFromTheOuterEdge)
{
    QWidget window;
    window.setGeometry(100, 80, 300, 200);
    auto* child = new QWidget(&window);
    child->setGeometry(30, 20, 100, 100);
    window.show();
    const QPoint frame = window.geometry().topLeft() - window.frameGeometry().topLeft();
    EXPECT_EQ(ClientToWindowPoint(&window, QPoint(5, 7)), QPoint(5, 7) + frame);
    // A child window has no frame: its own corner is the edge.
    EXPECT_EQ(ClientToWindowPoint(child, QPoint(5, 7)), QPoint(5, 7));
}

TEST(DragDrop, CopyMediumDuplicatesBlocksAndSharesStreams)
{
    STGMEDIUM block;
    block.tymed = TYMED_HGLOBAL;
    block.hGlobal = {1, 2, 3};
    STGMEDIUM copy;
    ASSERT_TRUE(CopyMedium(block, copy));
    block.hGlobal[0] = 9;
    EXPECT_EQ(copy.hGlobal, (std::vector<uint8_t>{1, 2, 3}));

    STGMEDIUM stream;
    stream.tymed = TYMED_ISTREAM;
    stream.pstm = std::make_shared<TFixedStreamAdapter>(std::make_unique<TMemoryStream>());
    ASSERT_TRUE(CopyMedium(stream, copy));
    EXPECT_EQ(copy.pstm, stream.pstm);

    STGMEDIUM file;
    file.tymed = TYMED_FILE;
    EXPECT_FALSE(CopyMedium(file, copy));
}

// ---- drag start -----------------------------------------------------------------------------

namespace {

void PostMouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QCoreApplication::postEvent(
        w, new QMouseEvent(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, Qt::NoModifier));
}

}  // namespace

TEST(DragDrop, DetectDragStartWaitsForDelayAndLeavingTheBox)
{
    QWidget w;
    w.resize(200, 200);
    w.show();
    const QPoint press(50, 50);
    const int far = QApplication::startDragDistance() + 5;

    // A move inside the box and an early move out of it start nothing; the
    // same move after the delay does.
    QElapsedTimer clock;
    clock.start();
    PostMouse(&w, QEvent::MouseMove, press + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
    PostMouse(&w, QEvent::MouseMove, press + QPoint(far, 0), Qt::NoButton, Qt::LeftButton);
    QTimer::singleShot(DragStartDelay + 60, [&] {
        PostMouse(&w, QEvent::MouseMove, press + QPoint(far, 0), Qt::NoButton, Qt::LeftButton);
    });
    EXPECT_TRUE(DetectDragStart(&w, press));
    EXPECT_GE(clock.elapsed(), DragStartDelay);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(DragDrop, DetectDragStartEndsOnRelease)
{
    QWidget w;
    w.resize(200, 200);
    w.show();
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        PostMouse(&w, QEvent::MouseButtonRelease, QPoint(50, 50), b, Qt::NoButton);
        // Were the release ignored, this late move would start a drag.
        QTimer::singleShot(DragStartDelay + 20, [&] {
            PostMouse(&w, QEvent::MouseMove, QPoint(150, 150), Qt::NoButton, Qt::LeftButton);
        });
        EXPECT_FALSE(DetectDragStart(&w, QPoint(50, 50))) << b;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < DragStartDelay + 40)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    // A move with no button held ends it too.
    PostMouse(&w, QEvent::MouseMove, QPoint(150, 150), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(DetectDragStart(&w, QPoint(50, 50)));
    EXPECT_FALSE(DetectDragStart(nullptr, QPoint(0, 0)));
}

// ---- clipboard formats and the conversion map ------------------------------------------------

namespace {

// Test classes for the map, unregistered again by each test.
struct MapDataA {
    static const TMetaClass* Class()
    {
        static const TMetaClass m{"MapDataA", TCustomDataFormat::StaticClass(), nullptr};
        return &m;
    }
};
struct MapDataB {
    static const TMetaClass* Class()
    {
        static const TMetaClass m{"MapDataB", TCustomDataFormat::StaticClass(), nullptr};
        return &m;
    }
};
struct MapDataDerived {
    static const TMetaClass* Class()
    {
        static const TMetaClass m{"MapDataDerived", MapDataA::Class(), nullptr};
        return &m;
    }
};

std::vector<std::pair<const char*, int32_t>> EntriesOf(TDataFormatClass cls)
{
    std::vector<std::pair<const char*, int32_t>> list;
    for (const TDataFormatMapEntry& e : DataFormatMap())
        if (e.DataFormat == cls)
            list.emplace_back(e.ClipboardFormat->Name, e.Priority);
    return list;
}

}  // namespace

TEST(DragDrop, ConversionsStandInPriorityOrder)
{
    auto text = TTextClipboardFormat::StaticClass();
    auto contents = TFileContentsClipboardFormat::StaticClass();
    auto group = TFileGroupDescritorClipboardFormat::StaticClass();
    auto generic = TGenericClipboardFormat::StaticClass();

    RegisterDataConversion(MapDataA::Class(), text, 5, duSource, ddRead);
    RegisterDataConversion(MapDataB::Class(), text, 0, duTarget, ddRead);  // another class between
    RegisterDataConversion(MapDataA::Class(), contents, 1, duSource, ddRead);
    RegisterDataConversion(MapDataA::Class(), group, 5, duSource, ddRead);  // in front of equal priority
    RegisterDataConversion(MapDataA::Class(), generic, 9, duTarget, ddWrite);
    using E = std::vector<std::pair<const char*, int32_t>>;
    auto names = [](const E& e) {
        std::vector<std::string> n;
        for (auto& p : e)
            n.push_back(std::string(p.first) + ":" + std::to_string(p.second));
        return n;
    };
    EXPECT_EQ(names(EntriesOf(MapDataA::Class())),
              (std::vector<std::string>{"TFileContentsClipboardFormat:1", "TFileGroupDescritorClipboardFormat:5",
                                        "TTextClipboardFormat:5", "TGenericClipboardFormat:9"}));
    // The entries of one class stand together.
    const auto& map = DataFormatMap();
    int first = -1, last = -1;
    for (int i = 0; i < int(map.size()); ++i)
        if (map[size_t(i)].DataFormat == MapDataA::Class()) {
            if (first < 0) first = i;
            last = i;
        }
    EXPECT_EQ(last - first, 3);

    // The same pair again: one entry, usages and directions joined, the later priority.
    RegisterDataConversion(MapDataA::Class(), text, 0, duTarget, ddWrite);
    EXPECT_EQ(names(EntriesOf(MapDataA::Class())),
              (std::vector<std::string>{"TTextClipboardFormat:0", "TFileContentsClipboardFormat:1",
                                        "TFileGroupDescritorClipboardFormat:5", "TGenericClipboardFormat:9"}));
    for (const auto& e : DataFormatMap())
        if (e.DataFormat == MapDataA::Class() && e.ClipboardFormat == text) {
            EXPECT_EQ(e.Usage, duSource | duTarget);
            EXPECT_EQ(e.Directions, ddRead | ddWrite);
        }

    // Derived data format classes get the conversions of their bases, by usage.
    TClipboardFormats formats(nullptr);
    GetCompatibleFormats(MapDataDerived::Class(), formats, duTarget);
    ASSERT_EQ(formats.Count(), 2);
    EXPECT_STREQ(formats.Formats(0)->ClassName(), "TTextClipboardFormat");
    EXPECT_EQ(formats.Formats(0)->DataDirections, ddRead | ddWrite);
    EXPECT_STREQ(formats.Formats(1)->ClassName(), "TGenericClipboardFormat");
    EXPECT_EQ(formats.Formats(1)->DataDirections, ddWrite);
    EXPECT_EQ(formats.FindFormat(TCustomTextClipboardFormat::StaticClass()), formats.Formats(0));
    EXPECT_FALSE(formats.Contain(TFileContentsClipboardFormat::StaticClass()));

    // Unregistering a clipboard class takes it and its derived classes from
    // every data class; a data class takes its derived classes' entries along.
    static const TMetaClass clipBase{"MapClipBase", TClipboardFormat::StaticClass(), nullptr};
    static const TMetaClass clipDerived{"MapClipDerived", &clipBase, nullptr};
    RegisterDataConversion(MapDataA::Class(), &clipDerived, 3, duSource, ddRead);
    RegisterDataConversion(MapDataB::Class(), &clipBase, 3, duSource, ddRead);
    UnregisterClipboardFormat(&clipBase);
    EXPECT_EQ(names(EntriesOf(MapDataA::Class())),
              (std::vector<std::string>{"TTextClipboardFormat:0", "TFileContentsClipboardFormat:1",
                                        "TFileGroupDescritorClipboardFormat:5", "TGenericClipboardFormat:9"}));
    EXPECT_EQ(EntriesOf(MapDataB::Class()).size(), 1u);
    RegisterDataConversion(MapDataDerived::Class(), text, 0, duTarget, ddRead);
    UnregisterDataFormat(MapDataA::Class());
    UnregisterDataFormat(MapDataB::Class());
    EXPECT_TRUE(EntriesOf(MapDataA::Class()).empty());
    EXPECT_TRUE(EntriesOf(MapDataDerived::Class()).empty());
    EXPECT_TRUE(EntriesOf(MapDataB::Class()).empty());
}

TEST(DragDrop, LibraryRegistrations)
{
    const auto& classes = DataFormatClasses();
    for (TDataFormatClass c : {TTextDataFormat::StaticClass(), TDataStreamDataFormat::StaticClass(),
                               TVirtualFileStreamDataFormat::StaticClass()})
        EXPECT_NE(std::find(classes.begin(), classes.end(), c), classes.end()) << c->Name;

    struct Case {
        TDataFormatClass data;
        TDataUsage usage;
        std::vector<std::string> formats;
    };
    const Case cases[] = {
        // Each registration goes in front of those of equal priority.
        {TTextDataFormat::StaticClass(), duSource,
         {"TTextClipboardFormat", "TFileGroupDescritorWClipboardFormat", "TFileGroupDescritorClipboardFormat",
          "TFileContentsClipboardFormat"}},
        {TTextDataFormat::StaticClass(), duTarget, {"TTextClipboardFormat", "TFileContentsClipboardFormat"}},
        {TDataStreamDataFormat::StaticClass(), duTarget, {"TFileContentsStreamClipboardFormat"}},
        {TDataStreamDataFormat::StaticClass(), duSource, {}},
        {TFeedbackDataFormat::StaticClass(), duTarget,
         {"TLogicalPerformedDropEffectClipboardFormat", "TTargetCLSIDClipboardFormat",
          "TInShellDragLoopClipboardFormat", "TPasteSuccededClipboardFormat", "TPerformedDropEffectClipboardFormat",
          "TPreferredDropEffectClipboardFormat"}},
    };
    for (const Case& c : cases) {
        TClipboardFormats formats(nullptr);
        GetCompatibleFormats(c.data, formats, c.usage);
        std::vector<std::string> names;
        for (int i = 0; i < formats.Count(); ++i)
            names.push_back(formats.Formats(i)->ClassName());
        EXPECT_EQ(names, c.formats) << c.data->Name << " " << int(c.usage);
    }
}

TEST(DragDrop, ClipboardFormatAcceptsByIdentifierAspectAndMedium)
{
    FORMATETC own;
    own.cfFormat = RegisterClipboardFormatA("DragDropTest Accept");
    own.tymed = TYMED_FILE | TYMED_HGLOBAL;
    TRawClipboardFormat f(own);

    struct Case {
        const char* what;
        FORMATETC request;
        bool accepted;
    };
    auto with = [&](auto change) {
        FORMATETC r = own;
        change(r);
        return r;
    };
    static const int device = 0;
    const Case cases[] = {
        {"same", own, true},
        {"global memory alone", with([](FORMATETC& r) { r.tymed = TYMED_HGLOBAL; }), true},
        {"stream alone", with([](FORMATETC& r) { r.tymed = TYMED_ISTREAM; }), false},
        {"other index", with([](FORMATETC& r) { r.lindex = 3; }), true},
        {"other aspect", with([](FORMATETC& r) { r.dwAspect = 4; }), false},
        {"other format", with([](FORMATETC& r) { r.cfFormat = CF_TEXT; }), false},
        {"a target device", with([](FORMATETC& r) { r.ptd = &device; }), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(f.AcceptFormat(c.request), c.accepted) << c.what;
}

TEST(DragDrop, FormatErrors)
{
    struct Bare : TClipboardFormat {
        Bare() : TClipboardFormat(CreateFormat, Ole::TYMED_HGLOBAL) {}
        const char* ClassName() const override { return "TBareFormat"; }
        void Clear() override {}
    } bare;
    try {
        bare.FormatEtc();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Internal error: TBareFormat.GetClipboardFormat needs implementation");
    }
    try {
        bare.SetClipboardFormatName("x");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "TBareFormat.ClipboardFormat is read-only");
    }
    try {
        TRawClipboardFormat::StaticClass()->Create();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "The TRawClipboardFormat class can not be instantiated with the default constructor");
    }
    TDropDummy dummy(nullptr);
    try {
        TTextDataFormat text(&dummy);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "TDropDummy is not a valid owner for TTextDataFormat. Owner must be derived from "
                             "TCustomDropMultiSource or TCustomDropMultiTarget");
    }
    EXPECT_EQ(dummy.DataFormats, nullptr);
}

TEST(DragDrop, DataFormatsJoinAndLeaveTheirOwner)
{
    // Without an owner a data format gets the target conversions.
    TTextDataFormat alone;
    EXPECT_EQ(alone.CompatibleFormats->Count(), 2);
    EXPECT_EQ(alone.CompatibleFormats->Formats(0)->DataFormat, &alone);

    auto* source = new TDropEmptySource(nullptr);
    auto* text = new TTextDataFormat(source);
    EXPECT_EQ(text->CompatibleFormats->Count(), 4);  // source conversions
    ASSERT_EQ(source->DataFormats->Count(), 3);     // feedback, raw, text
    EXPECT_EQ(source->DataFormats->Formats(2), text);
    EXPECT_EQ(source->DataFormats->Add(text), 2);
    delete text;
    EXPECT_EQ(source->DataFormats->Count(), 2);

    // The owner frees the formats that are left.
    QPointer<TCustomDataFormat> generic = new TGenericDataFormat(source);
    TDropEmptyTarget target(nullptr);
    QPointer<TCustomDataFormat> onTarget = new TGenericDataFormat(&target);
    EXPECT_EQ(target.DataFormats->IndexOf(onTarget), 0);
    delete source;
    EXPECT_TRUE(generic.isNull());
    EXPECT_FALSE(onTarget.isNull());
}

TEST(DragDrop, ClipboardFormatListsOwnTheirFormatsOrNot)
{
    // CreateFormat: medium types of its own, the identifier of its class;
    // CreateFormatEtc: all of the description given.
    TTextClipboardFormat text;
    EXPECT_EQ(text.FormatEtc().cfFormat, CF_TEXT);
    EXPECT_EQ(text.FormatEtc().tymed, TYMED_HGLOBAL | TYMED_ISTREAM);
    EXPECT_EQ(text.FormatEtc().lindex, -1);
    EXPECT_EQ(text.FormatEtc().dwAspect, DVASPECT_CONTENT);
    static const int device = 0;
    FORMATETC given{RegisterClipboardFormatA("DragDropTest List"), &device, 4, 2, TYMED_FILE};
    TRawClipboardFormat raw(given);
    const FORMATETC& copied = raw.FormatEtc();
    EXPECT_EQ(copied.cfFormat, given.cfFormat);
    EXPECT_EQ(copied.ptd, &device);
    EXPECT_EQ(copied.dwAspect, 4u);
    EXPECT_EQ(copied.lindex, 2);
    EXPECT_EQ(copied.tymed, TYMED_FILE);

    // A list that does not own its formats leaves them alone and their data format too.
    TTextDataFormat owner;
    TClipboardFormat* first = owner.CompatibleFormats->Formats(0);
    EXPECT_TRUE(owner.CompatibleFormats->OwnsObjects);
    {
        TClipboardFormats view(&owner, false);
        view.Add(first);
        view.Add(&raw);
        EXPECT_EQ(view.FindFormat(TRawClipboardFormat::StaticClass()), &raw);
        EXPECT_EQ(raw.DataFormat, nullptr);
        EXPECT_THROW(view.Add(std::make_unique<TTextClipboardFormat>()), EListError);
        view.Clear();
        EXPECT_EQ(view.Count(), 0);
    }
    EXPECT_EQ(first->FormatEtc().cfFormat, CF_TEXT);  // still there
    EXPECT_THROW(owner.CompatibleFormats->Add(&raw), EListError);
    EXPECT_EQ(owner.CompatibleFormats->Count(), 2);
}

TEST(DragDrop, RawFormatsCarryAnyMediumUnchanged)
{
    TDropEmptySource source(nullptr);
    FORMATETC f;
    f.cfFormat = RegisterClipboardFormatA("DragDropTest Raw");
    f.tymed = TYMED_HGLOBAL;
    STGMEDIUM m;
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = {7, 8, 9};
    // A format no data format knows is stored as a raw format...
    EXPECT_EQ(source.SetData(f, m, true), S_OK);
    EXPECT_EQ(m.tymed, TYMED_NULL);
    ASSERT_EQ(source.RawDataFormat->CompatibleFormats->Count(), 1);
    EXPECT_TRUE(source.RawDataFormat->HasData());
    EXPECT_FALSE(source.RawDataFormat->NeedsData());
    // ...and served again.
    STGMEDIUM out;
    ASSERT_EQ(source.GetData(f, out), S_OK);
    EXPECT_EQ(out.hGlobal, (std::vector<uint8_t>{7, 8, 9}));

    // Stored again under the same format, it replaces the old data.
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = {1};
    EXPECT_EQ(source.SetData(f, m, true), S_OK);
    EXPECT_EQ(source.RawDataFormat->CompatibleFormats->Count(), 1);
    ASSERT_EQ(source.GetData(f, out), S_OK);
    EXPECT_EQ(out.hGlobal, (std::vector<uint8_t>{1}));

    source.RawDataFormat->Clear();
    EXPECT_FALSE(source.RawDataFormat->HasData());
    EXPECT_EQ(source.GetData(f, out), DV_E_FORMATETC);

    auto* raw = static_cast<TRawClipboardFormat*>(source.RawDataFormat->CompatibleFormats->Formats(0));
    raw->SetClipboardFormatName("DragDropTest Raw 2");
    EXPECT_EQ(raw->GetClipboardFormatName(), "DragDropTest Raw 2");
}
