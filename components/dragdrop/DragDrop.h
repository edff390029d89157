#pragma once
// Base of the drag-and-drop library: drag types and their conversions to drop
// effects and key states, detection of a drag start, copying of storage media,
// and the framework of clipboard formats (what carries data in a transfer) and
// data formats (what holds it in a form the program can use), tied together by
// a global map of conversions.
#include "AnsiString.h"
#include "Object.h"
#include "Ole.h"
#include "ShiftState.h"
#include "SysUtils.h"

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <vector>

class QWidget;

// ---- drag vocabulary ------------------------------------------------------------

enum TDragType : uint8_t { dtCopy, dtMove, dtLink };
using TDragTypes = uint8_t;  // bit n = ordinal n
constexpr TDragTypes DragTypeSet(TDragType t) { return TDragTypes(1u << t); }

enum TDragResult { drDropCopy, drDropMove, drDropLink, drCancel, drOutMemory, drAsync, drUnknown };

// Milliseconds a press must last before a move out of the drag box starts a
// drag, before a drop target's first auto-scroll step, and between further steps.
extern int DragStartDelay;
extern int DragScrollDelay;
extern int DragScrollInterval;

int32_t DragTypesToDropEffect(TDragTypes dragTypes);
// The first of copy, move, link set in effect; false (and dtCopy) for none.
bool DropEffectToDragType(int32_t effect, TDragType& dragType);
TDragResult DropEffectToDragResult(int32_t effect);
TShiftState KeyStateToShiftState(int32_t keyState);
// Shift+Ctrl asks for link, Ctrl for copy, no key or Shift for move, each if
// allowed; with fallback the first allowed of copy, move, link replaces 0.
int32_t ShiftStateToDropEffect(TShiftState shift, int32_t allowed, bool fallback);

// A client point of window relative to the window's outer edge (the frame
// of a top-level window), as drag images are placed.
QPoint ClientToWindowPoint(QWidget* window, const QPoint& clientPoint);

// Called after a mouse button went down at clientPoint in window: runs a local
// event loop until the mouse leaves the drag box (true, once DragStartDelay
// has passed) or a button is released (false).
bool DetectDragStart(QWidget* window, const QPoint& clientPoint);

// Copies a medium (a memory block is duplicated, a stream shared).
bool CopyMedium(const STGMEDIUM& source, STGMEDIUM& dest);

AnsiString GetClipboardFormatNameStr(TClipFormat format);

// ---- asynchronous operation ------------------------------------------------------

namespace Ole {
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = HRESULT(0x80040003u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
}  // namespace Ole

// A Boolean as the platform's interfaces pass it: all bits set for true, 0 for false.
using BOOL = int32_t;
constexpr BOOL BoolOf(bool value) { return value ? BOOL(-1) : BOOL(0); }

// The asynchronous-operation partner of a data object. A target that fetches
// the data on a thread of its own asks whether the source allows it, starts
// the operation before the fetch and ends it with the outcome and the drop
// effects performed.
class IAsyncOperation {
public:
    virtual ~IAsyncOperation() = default;
    virtual HRESULT SetAsyncMode(BOOL async) = 0;
    virtual HRESULT GetAsyncMode(BOOL& async) = 0;
    virtual HRESULT StartOperation() = 0;
    virtual HRESULT InOperation(BOOL& inOperation) = 0;
    virtual HRESULT EndOperation(HRESULT result, int32_t effects) = 0;
};

// The error of a failing platform call, for its result code.
class EOleSysError : public Exception {
public:
    explicit EOleSysError(HRESULT code);
    const HRESULT ErrorCode;
};

// ---- class references --------------------------------------------------------------

class TClipboardFormat;

// The run-time class of a clipboard or data format: its name, its parent and,
// for clipboard formats, its default constructor (null when abstract).
struct TMetaClass {
    const char* Name;
    const TMetaClass* Parent;
    std::unique_ptr<TClipboardFormat> (*Create)();
    bool InheritsFrom(const TMetaClass* other) const;
};
using TClipboardFormatClass = const TMetaClass*;
using TDataFormatClass = const TMetaClass*;

template <class T>
std::unique_ptr<TClipboardFormat> CreateClipboardFormat() { return std::make_unique<T>(); }

// Declares the run-time class of a format class (defined with DD_IMPLEMENT_CLASS).
#define DD_DECLARE_CLASS(Name) \
    LUMI_CLASSNAME(Name) \
    static const TMetaClass* StaticClass(); \
    const TMetaClass* ClassType() const override;

#define DD_IMPLEMENT_CLASS(Name, ParentClass, Factory) \
    const TMetaClass* Name::StaticClass() \
    { \
        static const TMetaClass meta{#Name, ParentClass, Factory}; \
        return &meta; \
    } \
    const TMetaClass* Name::ClassType() const { return StaticClass(); }

// ---- components ----------------------------------------------------------------------

class TDataFormats;

// Common base of drop sources and drop targets. A component belongs to its
// owner (Qt parent) and lives exactly as long as it. DataFormats exists in the
// multi-format descendants only.
class TDragDropComponent : public QObject, public TObject {
public:
    LUMI_CLASSNAME(TDragDropComponent)
    explicit TDragDropComponent(QObject* AOwner);
    ~TDragDropComponent() override;
    std::unique_ptr<TDataFormats> DataFormats;
};

// ---- clipboard formats ----------------------------------------------------------------

class TCustomDataFormat;

using TDataDirections = uint8_t;
constexpr TDataDirections ddRead = 1;
constexpr TDataDirections ddWrite = 2;

using TDataUsage = uint8_t;
constexpr TDataUsage duSource = 1;
constexpr TDataUsage duTarget = 2;

// One clipboard format identifier on one kind of medium.
class TClipboardFormat : public TObject {
public:
    LUMI_CLASSNAME(TClipboardFormat)
    static const TMetaClass* StaticClass();
    virtual const TMetaClass* ClassType() const { return StaticClass(); }
    // The two constructors, told apart by name: CreateFormat takes the
    // identifier from GetClipboardFormat (on first use) and the medium types
    // tymed; CreateFormatEtc copies all of format.
    struct TCreateFormat {};
    struct TCreateFormatEtc {};
    static constexpr TCreateFormat CreateFormat{};
    static constexpr TCreateFormatEtc CreateFormatEtc{};
    TClipboardFormat(TCreateFormat, uint32_t tymed);
    TClipboardFormat(TCreateFormatEtc, const FORMATETC& format);

    TDataDirections DataDirections = ddRead;
    TCustomDataFormat* DataFormat = nullptr;  // owner, set when added to its list

    // The description of this format (the identifier resolved on first use).
    const FORMATETC& FormatEtc();
    void SetFormatIndex(int32_t index) { formatEtc_.lindex = index; }

    virtual TClipFormat GetClipboardFormat();
    virtual void SetClipboardFormat(TClipFormat format);
    virtual AnsiString GetClipboardFormatName();
    virtual void SetClipboardFormatName(const AnsiString& name);

    // The data object offers this format.
    virtual bool HasValidFormats(IDataObject& dataObject);
    // Same identifier and aspect, no device, and a common medium type.
    virtual bool AcceptFormat(const FORMATETC& format);
    // Reads this format from the data object.
    virtual bool GetData(IDataObject& dataObject);
    // Reads from a medium of an accepted type; the medium is released always.
    virtual bool GetDataFromMedium(IDataObject* source, STGMEDIUM& medium);
    // Fills a medium for the request (used by drop sources).
    bool FillMedium(const FORMATETC& format, STGMEDIUM& medium);
    // Writes this format into the data object.
    virtual bool SetData(IDataObject& dataObject, const FORMATETC& format, STGMEDIUM& medium);
    virtual bool Assign(TCustomDataFormat& dataFormat) { return false; }
    virtual bool AssignTo(TCustomDataFormat& dataFormat) { return false; }
    virtual void Clear() = 0;
    virtual bool HasData() { return true; }

protected:
    virtual bool DoGetData(IDataObject* source, const STGMEDIUM& medium) { return false; }
    virtual bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) { return false; }

    FORMATETC formatEtc_;
};

// A list of clipboard formats. One that owns its objects frees them and,
// when it has a data format, is that data format's list of the formats it owns.
class TClipboardFormats {
public:
    explicit TClipboardFormats(TCustomDataFormat* dataFormat, bool ownsObjects = true)
        : DataFormat(dataFormat), OwnsObjects(ownsObjects) {}
    ~TClipboardFormats() { Clear(); }
    TClipboardFormats(const TClipboardFormats&) = delete;
    TClipboardFormats& operator=(const TClipboardFormats&) = delete;

    // Appends a format to a list that owns its objects (EListError otherwise).
    TClipboardFormat* Add(std::unique_ptr<TClipboardFormat> format);
    // Appends a format owned elsewhere to a list that owns none (EListError otherwise).
    void Add(TClipboardFormat* format);
    int Count() const { return int(items_.size()); }
    TClipboardFormat* Formats(int index) const { return items_.at(size_t(index)); }
    // The first item of that class or of a class derived from it.
    TClipboardFormat* FindFormat(TClipboardFormatClass cls) const;
    bool Contain(TClipboardFormatClass cls) const { return FindFormat(cls) != nullptr; }
    // Empties the list; one that owns its objects frees them, from the last to the first.
    void Clear();

    TCustomDataFormat* const DataFormat;
    const bool OwnsObjects;

private:
    std::vector<TClipboardFormat*> items_;
    std::vector<std::unique_ptr<TClipboardFormat>> owned_;  // of an owning list, in list order
};

// ---- data formats -------------------------------------------------------------------------

// Data in a form the program uses, with the clipboard formats that carry it.
// A data format created with an owner (a multi-format drop source or target)
// joins the owner's list and belongs to it: the owner frees it, unless it was
// freed before, which takes it off the list.
class TCustomDataFormat : public QObject, public TObject {
public:
    LUMI_CLASSNAME(TCustomDataFormat)
    static const TMetaClass* StaticClass();
    virtual const TMetaClass* ClassType() const { return StaticClass(); }
    ~TCustomDataFormat() override;

    std::unique_ptr<TClipboardFormats> CompatibleFormats;
    TDragDropComponent* Owner() const { return owner_; }
    TNotifyEvent OnChanging;

    // Fired before the data change.
    virtual void Changing();
    virtual void Clear() = 0;
    virtual bool Assign(TClipboardFormat& clipboardFormat) { return clipboardFormat.AssignTo(*this); }
    virtual bool AssignTo(TClipboardFormat& clipboardFormat) { return clipboardFormat.Assign(*this); }
    // Reads the compatible formats in order while data is still needed.
    virtual bool GetData(IDataObject& dataObject);
    virtual bool HasData() = 0;
    virtual bool NeedsData() { return !HasData(); }
    virtual bool HasValidFormats(IDataObject& dataObject);
    virtual bool AcceptFormat(const FORMATETC& format);

protected:
    // Raises when the owner is neither a multi source nor a multi target; cls
    // is the class whose conversions are looked up.
    TCustomDataFormat(TDragDropComponent* AOwner, TDataFormatClass cls);

private:
    TDragDropComponent* owner_ = nullptr;
};

// The (not owning) list of data formats of a drop source or target.
class TDataFormats {
public:
    virtual ~TDataFormats();
    // The existing index when present, else appends.
    virtual int Add(TCustomDataFormat* format);
    virtual int IndexOf(TCustomDataFormat* format) const;
    virtual int Remove(TCustomDataFormat* format);
    int Count() const { return int(items_.size()); }
    TCustomDataFormat* Formats(int index) const { return items_.at(size_t(index)); }

private:
    std::vector<TCustomDataFormat*> items_;
};

// ---- registries ------------------------------------------------------------------------------

struct TDataFormatMapEntry {
    TDataFormatClass DataFormat;
    TClipboardFormatClass ClipboardFormat;
    int32_t Priority;
    TDataUsage Usage;
    TDataDirections Directions;
};

// The registered data format classes, in the order of registration.
class TDataFormatClasses : public std::vector<TDataFormatClass> {
public:
    // Once each.
    void Add(TDataFormatClass DataFormatClass);
    void Remove(TDataFormatClass DataFormatClass);
};

// Which clipboard format classes carry which data format classes: the entries
// of one data format class stand together in ascending priority.
class TDataFormatMap : public std::vector<TDataFormatMapEntry> {
public:
    // Adds or updates the entry of the pair (usages and directions joined,
    // the new priority) and places it in front of those of equal priority.
    void Add(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass, int32_t Priority,
             TDataUsage Usage, TDataDirections Directions);
    // Every entry of that data format class or of a class derived from it.
    void RemoveDataFormat(TDataFormatClass DataFormatClass);
    // Every entry of that clipboard format class or of a class derived from it.
    void RemoveClipboardFormat(TClipboardFormatClass ClipboardFormatClass);
};

void RegisterDataFormat(TDataFormatClass DataFormatClass);
void RegisterDataConversion(TDataFormatClass DataFormatClass, TClipboardFormatClass ClipboardFormatClass,
                            int32_t Priority, TDataUsage Usage, TDataDirections Directions);
void UnregisterDataFormat(TDataFormatClass DataFormatClass);
void UnregisterClipboardFormat(TClipboardFormatClass ClipboardFormatClass);
// Fills Formats with a new instance of every clipboard format class that
// carries the data format class (or a class it derives from) for Usage.
void GetCompatibleFormats(TDataFormatClass DataFormatClass, TClipboardFormats& Formats, TDataUsage Usage);

// The registered data format classes and the conversion map (made on first use).
const TDataFormatClasses& DataFormatClasses();
const TDataFormatMap& DataFormatMap();

// ---- raw formats -------------------------------------------------------------------------------

// Carries any format unchanged in the medium it arrived in.
class TRawClipboardFormat : public TClipboardFormat {
public:
    DD_DECLARE_CLASS(TRawClipboardFormat)
    explicit TRawClipboardFormat(const FORMATETC& format) : TClipboardFormat(CreateFormatEtc, format) {}
    // The map's default constructor: raises.
    [[noreturn]] static std::unique_ptr<TClipboardFormat> CreateDefault();

    TClipFormat GetClipboardFormat() override { return formatEtc_.cfFormat; }
    void SetClipboardFormatName(const AnsiString& name) override;
    bool Assign(TCustomDataFormat& dataFormat) override;
    bool AssignTo(TCustomDataFormat& dataFormat) override;
    void Clear() override {}
    bool HasData() override { return Medium.tymed != Ole::TYMED_NULL; }
    void ClearData() { ReleaseStgMedium(Medium); }

    STGMEDIUM Medium;

protected:
    bool DoGetData(IDataObject* source, const STGMEDIUM& medium) override;
    bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) override;
};

// Holds no data of its own: its data are the media of its raw clipboard formats.
class TRawDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TRawDataFormat)
    explicit TRawDataFormat(TDragDropComponent* AOwner) : TCustomDataFormat(AOwner, StaticClass()) {}
    void Clear() override;
    bool HasData() override;
    bool NeedsData() override;
};
