#include "DragDrop.h"

#include "DropSource.h"
#include "DropTarget.h"
#include "SysUtils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QRect>
#include <QWidget>
#include <algorithm>

using namespace Ole;

int DragStartDelay = 200;
int DragScrollDelay = 50;
int DragScrollInterval = 50;

// ---- drag vocabulary ------------------------------------------------------------

int32_t DragTypesToDropEffect(TDragTypes dragTypes)
{
    int32_t effect = DROPEFFECT_NONE;
    if (dragTypes & DragTypeSet(dtCopy)) effect |= DROPEFFECT_COPY;
    if (dragTypes & DragTypeSet(dtMove)) effect |= DROPEFFECT_MOVE;
    if (dragTypes & DragTypeSet(dtLink)) effect |= DROPEFFECT_LINK;
    return effect;
}

bool DropEffectToDragType(int32_t effect, TDragType& dragType)
{
    dragType = dtCopy;
    if (effect & DROPEFFECT_COPY)
        return true;
    if (effect & DROPEFFECT_MOVE) {
        dragType = dtMove;
        return true;
    }
    if (effect & DROPEFFECT_LINK) {
        dragType = dtLink;
        return true;
    }
    return false;
}

TDragResult DropEffectToDragResult(int32_t effect)
{
    switch (effect) {
    case DROPEFFECT_NONE: return drCancel;
    case DROPEFFECT_COPY: return drDropCopy;
    case DROPEFFECT_MOVE: return drDropMove;
    case DROPEFFECT_LINK: return drDropLink;
    default: return drUnknown;
    }
}

TShiftState KeyStateToShiftState(int32_t keyState)
{
    TShiftState s = 0;
    if (keyState & MK_SHIFT) s |= ssShift;
    if (keyState & MK_CONTROL) s |= ssCtrl;
    if (keyState & MK_LBUTTON) s |= ssLeft;
    if (keyState & MK_RBUTTON) s |= ssRight;
    if (keyState & MK_MBUTTON) s |= ssMiddle;
    if (keyState & MK_ALT) s |= ssAlt;
    return s;
}

int32_t ShiftStateToDropEffect(TShiftState shift, int32_t allowed, bool fallback)
{
    int32_t wanted;
    if ((shift & ssShift) && (shift & ssCtrl))
        wanted = DROPEFFECT_LINK;
    else if (shift & ssCtrl)
        wanted = DROPEFFECT_COPY;
    else
        wanted = DROPEFFECT_MOVE;
    int32_t effect = allowed & wanted;
    if (effect == DROPEFFECT_NONE && fallback) {
        for (int32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
            if (allowed & e)
                return e;
    }
    return effect;
}

QPoint ClientToWindowPoint(QWidget* window, const QPoint& clientPoint)
{
    const QPoint origin = window->isWindow() ? window->frameGeometry().topLeft() : window->mapToGlobal(QPoint(0, 0));
    return window->mapToGlobal(clientPoint) - origin;
}

namespace {

// Watches the mouse events of the window while DetectDragStart waits.
class TDragStartWatch : public QObject {
public:
    TDragStartWatch(QWidget* window, const QRect& box, QEventLoop& loop)
        : window_(window), box_(box), loop_(loop)
    {
        clock_.start();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_)
            return false;
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (!(me->buttons() & (Qt::LeftButton | Qt::RightButton)))
                loop_.exit(0);
            else if (!box_.contains(me->globalPosition().toPoint()) && clock_.elapsed() >= DragStartDelay)
                loop_.exit(1);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton || me->button() == Qt::RightButton)
                loop_.exit(0);
            return true;
        }
        case QEvent::UngrabMouse:
        case QEvent::Hide:
            loop_.exit(0);
            return false;
        default:
            return false;
        }
    }

private:
    QWidget* window_;
    QRect box_;
    QEventLoop& loop_;
    QElapsedTimer clock_;
};

}  // namespace

bool DetectDragStart(QWidget* window, const QPoint& clientPoint)
{
    if (!window)
        return false;
    const QPoint p = window->mapToGlobal(clientPoint);
    const int d = QApplication::startDragDistance();
    const QRect box(p.x() - d, p.y() - d, 2 * d, 2 * d);

    QWidget* previous = QWidget::mouseGrabber();
    // Moves without a button held must arrive too: they end the wait.
    const bool tracking = window->hasMouseTracking();
    window->setMouseTracking(true);
    window->grabMouse();
    bool started = false;
    if (QWidget::mouseGrabber() == window) {
        QEventLoop loop;
        TDragStartWatch watch(window, box, loop);
        window->installEventFilter(&watch);
        started = loop.exec() == 1;
        window->removeEventFilter(&watch);
    }
    window->releaseMouse();
    window->setMouseTracking(tracking);
    if (previous && previous != window)
        previous->grabMouse();
    return started;
}

bool CopyMedium(const STGMEDIUM& source, STGMEDIUM& dest)
{
    switch (source.tymed) {
    case TYMED_NULL:
    case TYMED_HGLOBAL:
    case TYMED_ISTREAM:
        dest = source;
        return true;
    default:
        return false;
    }
}

AnsiString GetClipboardFormatNameStr(TClipFormat format)
{
    return GetClipboardFormatNameA(format).substr(0, 255);
}

EOleSysError::EOleSysError(HRESULT code)
    : Exception(Format("OLE error %.8X", {unsigned(code)})), ErrorCode(code)
{
}

bool TMetaClass::InheritsFrom(const TMetaClass* other) const
{
    for (const TMetaClass* c = this; c; c = c->Parent)
        if (c == other)
            return true;
    return false;
}

TDragDropComponent::TDragDropComponent(QObject* AOwner) : QObject(AOwner) {}

TDragDropComponent::~TDragDropComponent() = default;

// ---- clipboard formats ------------------------------------------------------------

const TMetaClass* TClipboardFormat::StaticClass()
{
    static const TMetaClass meta{"TClipboardFormat", nullptr, nullptr};
    return &meta;
}

TClipboardFormat::TClipboardFormat(TCreateFormat, uint32_t tymed)
{
    formatEtc_.tymed = tymed;
}

TClipboardFormat::TClipboardFormat(TCreateFormatEtc, const FORMATETC& format) : formatEtc_(format) {}

const FORMATETC& TClipboardFormat::FormatEtc()
{
    if (formatEtc_.cfFormat == 0)
        formatEtc_.cfFormat = GetClipboardFormat();
    return formatEtc_;
}

TClipFormat TClipboardFormat::GetClipboardFormat()
{
    throw Exception(Format("Internal error: %s.%s needs implementation",
                           {ClassName(), "GetClipboardFormat"}));
}

void TClipboardFormat::SetClipboardFormat(TClipFormat format)
{
    formatEtc_.cfFormat = format;
}

AnsiString TClipboardFormat::GetClipboardFormatName()
{
    return GetClipboardFormatNameStr(FormatEtc().cfFormat);
}

void TClipboardFormat::SetClipboardFormatName(const AnsiString&)
{
    throw Exception(Format("%s.ClipboardFormat is read-only", {ClassName()}));
}

bool TClipboardFormat::HasValidFormats(IDataObject& dataObject)
{
    return dataObject.QueryGetData(FormatEtc()) == S_OK;
}

bool TClipboardFormat::AcceptFormat(const FORMATETC& format)
{
    const FORMATETC& own = FormatEtc();
    return format.cfFormat == own.cfFormat && format.ptd == nullptr &&
           format.dwAspect == own.dwAspect && (format.tymed & own.tymed) != 0;
}

bool TClipboardFormat::GetData(IDataObject& dataObject)
{
    Clear();
    STGMEDIUM medium;
    if (dataObject.GetData(FormatEtc(), medium) != S_OK)
        return false;
    return GetDataFromMedium(&dataObject, medium);
}

bool TClipboardFormat::GetDataFromMedium(IDataObject* source, STGMEDIUM& medium)
{
    Clear();
    bool result = false;
    if (medium.tymed & FormatEtc().tymed)
        result = DoGetData(source, medium);
    ReleaseStgMedium(medium);
    return result;
}

bool TClipboardFormat::FillMedium(const FORMATETC& format, STGMEDIUM& medium)
{
    medium = STGMEDIUM{};
    const FORMATETC& own = FormatEtc();
    if (format.cfFormat != own.cfFormat || format.dwAspect != own.dwAspect ||
        (format.tymed & own.tymed) == 0)
        return false;
    return DoSetData(format, medium);
}

bool TClipboardFormat::SetData(IDataObject& dataObject, const FORMATETC& format, STGMEDIUM& medium)
{
    bool result = false;
    if (FillMedium(format, medium))
        result = dataObject.SetData(FormatEtc(), medium, true) == S_OK;
    ReleaseStgMedium(medium);
    return result;
}

TClipboardFormat* TClipboardFormats::Add(std::unique_ptr<TClipboardFormat> format)
{
    if (!OwnsObjects)
        throw EListError("A list that owns no clipboard formats cannot take one over");
    if (DataFormat)
        format->DataFormat = DataFormat;
    items_.push_back(format.get());
    owned_.push_back(std::move(format));
    return items_.back();
}

void TClipboardFormats::Add(TClipboardFormat* format)
{
    if (OwnsObjects)
        throw EListError("A list that owns its clipboard formats must be given them");
    items_.push_back(format);
}

TClipboardFormat* TClipboardFormats::FindFormat(TClipboardFormatClass cls) const
{
    for (TClipboardFormat* f : items_)
        if (f->ClassType()->InheritsFrom(cls))
            return f;
    return nullptr;
}

void TClipboardFormats::Clear()
{
    items_.clear();
    while (!owned_.empty())
        owned_.pop_back();
}

// ---- data formats -----------------------------------------------------------------

const TMetaClass* TCustomDataFormat::StaticClass()
{
    static const TMetaClass meta{"TCustomDataFormat", nullptr, nullptr};
    return &meta;
}

namespace {

TDataUsage OwnerUsage(TDragDropComponent* owner, TDataFormatClass cls)
{
    if (!owner || dynamic_cast<TCustomDropMultiTarget*>(owner))
        return duTarget;
    if (dynamic_cast<TCustomDropMultiSource*>(owner))
        return duSource;
    throw Exception(Format("%s is not a valid owner for %s. Owner must be derived from %s",
                           {owner->ClassName(), cls->Name,
                            "TCustomDropMultiSource or TCustomDropMultiTarget"}));
}

}  // namespace

TCustomDataFormat::TCustomDataFormat(TDragDropComponent* AOwner, TDataFormatClass cls)
{
    const TDataUsage usage = OwnerUsage(AOwner, cls);
    CompatibleFormats = std::make_unique<TClipboardFormats>(this);
    GetCompatibleFormats(cls, *CompatibleFormats, usage);
    if (AOwner) {
        owner_ = AOwner;
        setParent(AOwner);
        AOwner->DataFormats->Add(this);
    }
}

TCustomDataFormat::~TCustomDataFormat()
{
    if (owner_ && owner_->DataFormats)
        owner_->DataFormats->Remove(this);
}

void TCustomDataFormat::Changing()
{
    if (OnChanging)
        OnChanging(this);
}

bool TCustomDataFormat::GetData(IDataObject& dataObject)
{
    bool result = false;
    for (int i = 0; i < CompatibleFormats->Count() && NeedsData(); ++i) {
        TClipboardFormat* f = CompatibleFormats->Formats(i);
        f->Clear();
        if (f->GetData(dataObject) && f->HasData() && Assign(*f)) {
            f->Clear();
            result = true;
        }
    }
    return result;
}

bool TCustomDataFormat::HasValidFormats(IDataObject& dataObject)
{
    for (int i = 0; i < CompatibleFormats->Count(); ++i)
        if (CompatibleFormats->Formats(i)->HasValidFormats(dataObject))
            return true;
    return false;
}

bool TCustomDataFormat::AcceptFormat(const FORMATETC& format)
{
    for (int i = 0; i < CompatibleFormats->Count(); ++i)
        if (CompatibleFormats->Formats(i)->AcceptFormat(format))
            return true;
    return false;
}

TDataFormats::~TDataFormats()
{
    for (int i = Count() - 1; i >= 0; --i)
        TDataFormats::Remove(items_[size_t(i)]);
}

int TDataFormats::Add(TCustomDataFormat* format)
{
    const int i = IndexOf(format);
    if (i >= 0)
        return i;
    items_.push_back(format);
    return Count() - 1;
}

int TDataFormats::IndexOf(TCustomDataFormat* format) const
{
    const auto it = std::find(items_.begin(), items_.end(), format);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

int TDataFormats::Remove(TCustomDataFormat* format)
{
    const int i = IndexOf(format);
    if (i >= 0)
        items_.erase(items_.begin() + i);
    return i;
}

// ---- registries ------------------------------------------------------------------------

void TDataFormatClasses::Add(TDataFormatClass DataFormatClass)
{
    if (std::find(begin(), end(), DataFormatClass) == end())
        push_back(DataFormatClass);
}

void TDataFormatClasses::Remove(TDataFormatClass DataFormatClass) { std::erase(*this, DataFormatClass); }

void TDataFormatMap::Add(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                         int32_t Priority, TDataUsage Usage, TDataDirections Directions)
{
    auto same = std::find_if(begin(), end(), [&](const TDataFormatMapEntry& e) {
        return e.DataFormat == DataFormatClass && e.ClipboardFormat == ClipboardFormatClass;
    });
    TDataFormatMapEntry entry{DataFormatClass, ClipboardFormatClass, Priority, Usage, Directions};
    if (same != end()) {
        entry.Usage = TDataUsage(same->Usage | Usage);
        entry.Directions = TDataDirections(same->Directions | Directions);
        erase(same);
    }

    // Place it among the entries of its class: behind the nearest one of lower
    // priority, else in front of the block.
    const int n = int(size());
    int j = n - 1;
    while (j >= 0 && (*this)[size_t(j)].DataFormat != DataFormatClass)
        --j;
    int at = n;
    if (j >= 0) {
        int k = j;
        while (k >= 0 && (*this)[size_t(k)].DataFormat == DataFormatClass && (*this)[size_t(k)].Priority >= Priority)
            --k;
        at = k + 1;
    }
    insert(begin() + at, entry);
}

void TDataFormatMap::RemoveDataFormat(TDataFormatClass DataFormatClass)
{
    std::erase_if(*this, [&](const TDataFormatMapEntry& e) { return e.DataFormat->InheritsFrom(DataFormatClass); });
}

void TDataFormatMap::RemoveClipboardFormat(TClipboardFormatClass ClipboardFormatClass)
{
    std::erase_if(*this, [&](const TDataFormatMapEntry& e) {
        return e.ClipboardFormat->InheritsFrom(ClipboardFormatClass);
    });
}

namespace {

TDataFormatClasses& ClassList()
{
    static TDataFormatClasses list;
    return list;
}

TDataFormatMap& Map()
{
    static TDataFormatMap map;
    return map;
}

}  // namespace

const TDataFormatClasses& DataFormatClasses() { return ClassList(); }
const TDataFormatMap& DataFormatMap() { return Map(); }

void RegisterDataFormat(TDataFormatClass DataFormatClass) { ClassList().Add(DataFormatClass); }

void RegisterDataConversion(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                            int32_t Priority, TDataUsage Usage, TDataDirections Directions)
{
    Map().Add(DataFormatClass, ClipboardFormatClass, Priority, Usage, Directions);
}

void UnregisterDataFormat(TDataFormatClass DataFormatClass)
{
    Map().RemoveDataFormat(DataFormatClass);
    ClassList().Remove(DataFormatClass);
}

void UnregisterClipboardFormat(TClipboardFormatClass ClipboardFormatClass)
{
    Map().RemoveClipboardFormat(ClipboardFormatClass);
}

void GetCompatibleFormats(TDataFormatClass DataFormatClass, TClipboardFormats& Formats, TDataUsage Usage)
{
    Formats.Clear();
    for (const TDataFormatMapEntry& e : Map()) {
        if ((e.Usage & Usage) != Usage || !DataFormatClass->InheritsFrom(e.DataFormat) ||
            !e.ClipboardFormat->Create)
            continue;
        auto f = e.ClipboardFormat->Create();
        f->DataDirections = e.Directions;
        Formats.Add(std::move(f));
    }
}

// ---- raw formats ---------------------------------------------------------------------------

DD_IMPLEMENT_CLASS(TRawClipboardFormat, TClipboardFormat::StaticClass(), &TRawClipboardFormat::CreateDefault)

std::unique_ptr<TClipboardFormat> TRawClipboardFormat::CreateDefault()
{
    throw Exception(Format("The %s class can not be instantiated with the default constructor",
                           {"TRawClipboardFormat"}));
}

void TRawClipboardFormat::SetClipboardFormatName(const AnsiString& name)
{
    SetClipboardFormat(RegisterClipboardFormatA(name));
}

bool TRawClipboardFormat::Assign(TCustomDataFormat& dataFormat)
{
    return dynamic_cast<TRawDataFormat*>(&dataFormat) != nullptr;
}

bool TRawClipboardFormat::AssignTo(TCustomDataFormat& dataFormat)
{
    return dynamic_cast<TRawDataFormat*>(&dataFormat) != nullptr;
}

bool TRawClipboardFormat::DoGetData(IDataObject*, const STGMEDIUM& medium)
{
    return CopyMedium(medium, Medium);
}

bool TRawClipboardFormat::DoSetData(const FORMATETC&, STGMEDIUM& medium)
{
    return CopyMedium(Medium, medium);
}

DD_IMPLEMENT_CLASS(TRawDataFormat, TCustomDataFormat::StaticClass(), nullptr)

void TRawDataFormat::Clear()
{
    Changing();
    for (int i = 0; i < CompatibleFormats->Count(); ++i)
        if (auto* raw = dynamic_cast<TRawClipboardFormat*>(CompatibleFormats->Formats(i)))
            raw->ClearData();
}

bool TRawDataFormat::HasData()
{
    for (int i = 0; i < CompatibleFormats->Count(); ++i)
        if (CompatibleFormats->Formats(i)->HasData())
            return true;
    return false;
}

bool TRawDataFormat::NeedsData()
{
    for (int i = 0; i < CompatibleFormats->Count(); ++i)
        if (!CompatibleFormats->Formats(i)->HasData())
            return true;
    return false;
}
