#include "RtObject.h"

#include <QPainter>

#include "Canvas.h"
#include "RtList.h"
#include "RtPlatform.h"
#include "RtRtfTxt.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t ObjectMarker = 3601;
constexpr int32_t MaxClassNameRecord = 100;

// Value types of the binary component format.
enum : uint8_t {
    vaNull = 0, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaString = 6, vaIdent = 7, vaFalse = 8, vaTrue = 9,
    vaSet = 11, vaLString = 12, vaInt64 = 19
};

const char* const WriteModeNames[] = {"wobOnlyStandard", "wobOnlyRTF", "wobBoth"};
const char* const FrameOptNames[] = {"rtfoBox", "rtfoCornersLeft", "rtfoCornersRight", "rtfoBackColor",
                                     "rtfoFrameColor"};

// Reads the binary component format; every count is checked against the bytes left.
class TPropReader {
public:
    explicit TPropReader(TStream& S) : S(S) {}
    bool ShortString(AnsiString& Out)
    {
        uint8_t n = 0;
        if (S.Read(&n, 1) != 1)
            return false;
        return Bytes(Out, n);
    }
    bool Bytes(AnsiString& Out, int64_t N)
    {
        if (N < 0 || N > S.Remaining())
            return false;
        Out.assign(size_t(N), '\0');
        return N == 0 || S.Read(Out.data(), int32_t(N)) == int32_t(N);
    }
    bool Value(TRtPropValue& V)
    {
        uint8_t type = 0;
        if (S.Read(&type, 1) != 1)
            return false;
        V = TRtPropValue();
        switch (type) {
        case vaInt8:
            return Fixed<int8_t>(V);
        case vaInt16:
            return Fixed<int16_t>(V);
        case vaInt32:
            return Fixed<int32_t>(V);
        case vaInt64:
            return Fixed<int64_t>(V);
        case vaFalse:
        case vaTrue:
            V.Type = TRtPropValue::vtBool;
            V.Int = type == vaTrue;
            return true;
        case vaString:
            V.Type = TRtPropValue::vtString;
            return ShortString(V.Str);
        case vaLString: {
            V.Type = TRtPropValue::vtString;
            if (S.Remaining() < 4)
                return false;
            return Bytes(V.Str, S.ReadI32());
        }
        case vaIdent:
            V.Type = TRtPropValue::vtIdent;
            return ShortString(V.Str);
        case vaSet:
            V.Type = TRtPropValue::vtSet;
            for (;;) {
                AnsiString item;
                if (!ShortString(item))
                    return false;
                if (item.empty())
                    return true;
                V.Items.push_back(item);
            }
        default:
            return false;
        }
    }

private:
    template <class T>
    bool Fixed(TRtPropValue& V)
    {
        T v{};
        if (S.Read(&v, int32_t(sizeof v)) != int32_t(sizeof v))
            return false;
        V.Type = TRtPropValue::vtInt;
        V.Int = v;
        return true;
    }
    TStream& S;
};

AnsiString ClassNameRecord(TStream& S)
{
    if (S.Remaining() < 4)
        return AnsiString();
    const uint16_t marker = S.ReadU16();
    const uint16_t n = S.ReadU16();
    if (marker != ObjectMarker || n == 0 || n >= MaxClassNameRecord || n > S.Remaining())
        return AnsiString();
    AnsiString name(n, '\0');
    S.ReadBuffer(name.data(), n);
    name.resize(std::strlen(name.c_str()));
    return name;
}

int32_t IntOf(const TRtPropValue& V) { return int32_t(std::clamp<int64_t>(V.Int, INT32_MIN, INT32_MAX)); }

const bool registered = (RegisterRtClasses({
                             {"TRtObject", [] { return static_cast<TObject*>(new TRtObject); }},
                             {"TRtObjectField", [] { return static_cast<TObject*>(new TRtObjectField); }},
                             {"TRtTagField", [] { return static_cast<TObject*>(new TRtTagField); }},
                             {"TRtOHorzLine", [] { return static_cast<TObject*>(new TRtOHorzLine); }},
                             {"TRtOImageObject", [] { return static_cast<TObject*>(new TRtOImageObject); }},
                         }),
                         true);

} // namespace

AnsiString (*RtFieldTextProc)(TRtObjectField* Field, bool Measuring) = GetDefaultFieldText;
TStringList RtObjectClassesForExt;
bool RtStoreLinkedData = false;
TRtHTMLCreateImageHook RtHTMLCreateImageHook;

// ---- TRtPropWriter ---------------------------------------------------------------------------------

void TRtPropWriter::ShortString(const AnsiString& Value)
{
    const uint8_t n = uint8_t(std::min<size_t>(Value.size(), 255));
    S.WriteU8(n);
    S.WriteBuffer(Value.data(), n);
}

void TRtPropWriter::Int(const char* PropName, int64_t Value)
{
    Name(PropName);
    if (Value >= INT8_MIN && Value <= INT8_MAX) {
        S.WriteU8(vaInt8);
        S.WriteU8(uint8_t(int8_t(Value)));
    } else if (Value >= INT16_MIN && Value <= INT16_MAX) {
        S.WriteU8(vaInt16);
        S.WriteI16(int16_t(Value));
    } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
        S.WriteU8(vaInt32);
        S.WriteI32(int32_t(Value));
    } else {
        S.WriteU8(vaInt64);
        S.WriteI64(Value);
    }
}

void TRtPropWriter::Str(const char* PropName, const AnsiString& Value)
{
    Name(PropName);
    if (Value.size() <= 255) {
        S.WriteU8(vaString);
        ShortString(Value);
    } else {
        S.WriteU8(vaLString);
        S.WriteI32(int32_t(Value.size()));
        S.WriteBuffer(Value.data(), int32_t(Value.size()));
    }
}

void TRtPropWriter::Bool(const char* PropName, bool Value)
{
    Name(PropName);
    S.WriteU8(Value ? vaTrue : vaFalse);
}

void TRtPropWriter::Ident(const char* PropName, const char* Value)
{
    Name(PropName);
    S.WriteU8(vaIdent);
    ShortString(Value);
}

void TRtPropWriter::Set(const char* PropName, const std::vector<AnsiString>& Items)
{
    Name(PropName);
    S.WriteU8(vaSet);
    for (const AnsiString& item : Items)
        ShortString(item);
    S.WriteU8(0);
}

// ---- TRtObject -------------------------------------------------------------------------------------

TRtObject::TRtObject() = default;

TRtObject::~TRtObject() = default;

int32_t TRtObject::GetWidthTW() const
{
    if (UsePageWidth && Owner) {
        const TTextHeader* h = Owner->Header();
        return h->PageWidth() - h->LeftMargin() - h->RightMargin() - 10;
    }
    return widthTW_;
}

void TRtObject::SetWidthTW(int32_t Value)
{
    if (UsePageWidth)
        return;
    widthTW_ = Value;
    sizeSet_ = true;
}

void TRtObject::SetHeightTW(int32_t Value)
{
    heightTW_ = Value;
    sizeSet_ = true;
}

void TRtObject::Changed(int32_t Arg)
{
    if (!active_)
        TRtObjectBase::Changed();
    if (OnChange)
        OnChange(this, Arg);
}

void TRtObject::Select(bool Value)
{
    if (Owner && !SelectedRef)
        SelectedRef = Owner->ObjRefList()->FindObject(this);
    TRtObjectBase::Select(Value);
}

void TRtObject::WriteProps(TRtPropWriter& W)
{
    W.Bool("UsePageWidth", UsePageWidth);
    W.Int("WidthTW", widthTW_);
    W.Int("HeightTW", heightTW_);
    W.Str("ObjName", ObjNameValue);
    W.Int("ObjTag", ObjTag);
    W.Ident("WriteRTFMode", WriteModeNames[std::min<int>(WriteRTFMode, 2)]);
    W.Str("StreamName", StreamName);
    W.Str("Extra", Extra);
}

void TRtObject::ReadProp(const AnsiString& Name, const TRtPropValue& Value)
{
    if (SameText(Name, "UsePageWidth"))
        UsePageWidth = Value.Int != 0;
    else if (SameText(Name, "WidthTW")) {
        widthTW_ = IntOf(Value);
        sizeSet_ = true;
    } else if (SameText(Name, "HeightTW")) {
        heightTW_ = IntOf(Value);
        sizeSet_ = true;
    } else if (SameText(Name, "ObjName"))
        ObjNameValue = Value.Str;
    else if (SameText(Name, "ObjTag"))
        ObjTag = IntOf(Value);
    else if (SameText(Name, "WriteRTFMode")) {
        for (int i = 0; i < 3; ++i)
            if (SameText(Value.Str, WriteModeNames[i]))
                WriteRTFMode = TRtObjectWriteRTFMode(i);
    } else if (SameText(Name, "StreamName"))
        StreamName = Value.Str;
    else if (SameText(Name, "Extra"))
        Extra = Value.Str;
}

TRtObjectDialogs& RtObjectDialogs()
{
    static TRtObjectDialogs dialogs;
    return dialogs;
}

bool TRtObject::ShowProperties()
{
    if (RtObjectDialogs().Properties) {
        const bool was = painting_;
        painting_ = true;
        struct Guard {
            bool& Flag;
            bool Was;
            ~Guard() { Flag = Was; }
        } guard{painting_, was};
        if (RtObjectDialogs().Properties(*this) && OnCheckProperties)
            OnCheckProperties(this);
    }
    Changed();
    return true;
}

void TRtObject::EditCaption()
{
    AnsiString caption;
    GetCaption(caption);
    QString value = fromAnsi(caption);
    if (RtObjectDialogs().InputQuery && RtObjectDialogs().InputQuery(QStringLiteral("Caption"), QStringLiteral("?"), value))
        SetCaption(toAnsi(value));
}

std::vector<std::pair<AnsiString, TRtPropValue>> TRtObject::PublishedProperties()
{
    TMemoryStream stream;
    TRtPropWriter w(stream);
    WriteProps(w);
    stream.WriteU8(0);
    stream.SetPosition(0);
    std::vector<std::pair<AnsiString, TRtPropValue>> list;
    TPropReader r(stream);
    for (;;) {
        AnsiString name;
        TRtPropValue value;
        if (!r.ShortString(name) || name.empty() || !r.Value(value))
            break;
        list.emplace_back(std::move(name), std::move(value));
    }
    return list;
}

void TRtObject::SetPublishedProperty(const AnsiString& Name, const TRtPropValue& Value)
{
    ReadProp(Name, Value);
    Changed();
}

void TRtObject::WriteProperties(TStream* Stream)
{
    Stream->WriteBuffer("TPF0", 4);
    TRtPropWriter w(*Stream);
    w.ShortString(ClassName());
    w.ShortString(AnsiString());
    WriteProps(w);
    Stream->WriteU8(0);  // end of the properties
    Stream->WriteU8(0);  // no children
}

bool TRtObject::ReadProperties(TStream* Stream)
{
    char sig[4] = {};
    if (Stream->Read(sig, 4) != 4 || std::memcmp(sig, "TPF0", 4) != 0)
        return true;
    TPropReader r(*Stream);
    AnsiString className, name;
    if (!r.ShortString(className) || !r.ShortString(name))
        return true;
    for (;;) {
        AnsiString prop;
        if (!r.ShortString(prop) || prop.empty())
            break;
        TRtPropValue value;
        if (!r.Value(value))
            break;
        ReadProp(prop, value);
    }
    uint8_t children = 0;
    Stream->Read(&children, 1);
    return true;
}

void TRtObject::WriteToStream(TStream* Stream)
{
    BeginWrite();
    const AnsiString name = AnsiString(ClassName()).substr(0, MaxClassNameRecord - 2);
    Stream->WriteU16(ObjectMarker);
    Stream->WriteU16(uint16_t(name.size() + 1));
    Stream->WriteBuffer(name.c_str(), int32_t(name.size() + 1));
    // The reference's name travels in Extra.
    TTextObj* ref = Owner ? Owner->ObjRefList()->FindObject(this) : nullptr;
    if (ref)
        Extra = ref->ItemName;
    WriteProperties(Stream);
    if (StreamName.empty() || RtStoreLinkedData) {
        AnsiString type;
        GetDataType(type);
        dataType_ = type.substr(0, 3);
        char rec[4] = {};
        std::memcpy(rec, dataType_.data(), dataType_.size());
        Stream->WriteBuffer(rec, 4);
        WriteData(Stream);
        LoadedMark = true;
    } else {
        Stream->WriteU32(0);
    }
    EndWrite();
}

void TRtObject::ReadFromStream(TStream* Stream)
{
    Stream->SetPosition(0);
    BeginRead();
    const AnsiString name = ClassNameRecord(*Stream);
    if (!name.empty() && SameText(name, ClassName())) {
        ReadProperties(Stream);
        TTextObj* ref = Owner ? Owner->ObjRefList()->FindObject(this) : nullptr;
        if (ref && !Extra.empty())
            ref->ItemName = Extra;
    }
    char rec[4] = {};
    if (Stream->Read(rec, 4) == 4) {
        rec[3] = 0;
        dataType_ = rec;
    } else {
        dataType_.clear();
    }
    if (!dataType_.empty()) {
        ReadData(Stream);
        LoadedMark = true;
    } else if (StreamName.empty() || RtStoreLinkedData) {
        LoadedMark = true;
    } else if (!LoadedMark && OnLoadStream && !busy_) {
        busy_ = true;
        bool done = LoadedMark;
        OnLoadStream(this, StreamName, wobLoading, done);
        LoadedMark = done;
        busy_ = false;
    }
}

std::unique_ptr<TRtObject> TRtObject::Clone(TObject*)
{
    std::unique_ptr<TRtObject> copy = CreateRtObjectByClassName(ClassName());
    if (!copy)
        return nullptr;
    TMemoryStream stream;
    WriteToStream(&stream);
    stream.SetPosition(0);
    copy->Owner = Owner;
    copy->ReadFromStream(&stream);
    copy->ObjNameValue = ObjNameValue;
    copy->SourceName = SourceName;
    copy->ObjTag = ObjTag;
    copy->ObjRect = ObjRect;
    return copy;
}

void TRtObject::EnsureLoaded()
{
    if (preparing_)
        return;
    preparing_ = true;
    struct TReset {
        bool& F;
        ~TReset() { F = false; }
    } reset{preparing_};
    if (!StreamName.empty() && !LoadedMark && OnLoadStream && !busy_ && !RtStoreLinkedData) {
        busy_ = true;
        bool done = LoadedMark;
        OnLoadStream(this, StreamName, wobPainting, done);
        LoadedMark = done;
        busy_ = false;
    }
    UpdateRect();
}

void TRtObject::PlaceControl(TTextObj* /*Ref*/, TCanvas* /*Canvas*/)
{
    if (QWidget* control = GetControl())
        control->setGeometry(ObjRect.Left, ObjRect.Top, ObjRect.Right - ObjRect.Left, ObjRect.Bottom - ObjRect.Top);
}

void TRtObject::PaintTo(TCanvas* Canvas, const TRect& R)
{
    const TRect old = ObjRect;
    ObjRect = R;
    LockedCanvas = Canvas;
    Locked = true;
    PaintLocked();
    Locked = false;
    LockedCanvas = nullptr;
    ObjRect = old;
}

QImage TRtObject::GetBitmapHandle()
{
    const int w = std::max(MulDiv(GetWidthTW(), 96, 1440), 1);
    const int h = std::max(MulDiv(heightTW_, 96, 1440), 1);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    TCanvas canvas;
    canvas.SetDevice(&image);
    PaintTo(&canvas, TRect{0, 0, w, h});
    canvas.SetDevice(nullptr);
    return image.convertToFormat(QImage::Format_RGB888);
}

void TRtObject::SaveToFile(const QString& FileName)
{
    TFileStream file(FileName, fmCreate);
    dataType_ = toAnsi(QFileInfo(FileName).suffix().left(3).toUpper());
    WriteData(&file);
}

void TRtObject::LoadFromFile(const QString& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    dataType_ = toAnsi(QFileInfo(FileName).suffix().left(3).toUpper());
    ReadData(&file);
    LoadedMark = true;
    if (!sizeSet_) {
        widthTW_ = GetNaturalWidth();
        heightTW_ = GetNaturalHeight();
        if (TTextObj* ref = Owner ? Owner->ObjRefList()->FindObject(this) : nullptr) {
            ref->Width = widthTW_;
            ref->Height = heightTW_;
        }
    }
}

void TRtObject::DblClick()
{
    if (!StreamName.empty() && !LoadedMark && OnLoadStream && !busy_) {
        busy_ = true;
        bool done = LoadedMark;
        OnLoadStream(this, StreamName, wobDblClicking, done);
        LoadedMark = done;
        busy_ = false;
    }
    Select(true);
    if (Owner && !Owner->SuppressObjectActivation)
        active_ = true;
}

void TRtObject::Click()
{
    TTextObj* ref = Owner ? Owner->ObjRefList()->FindObject(this) : nullptr;
    if (!ref)
        return;
    if (!StreamName.empty() && !LoadedMark && OnLoadStream && !busy_) {
        busy_ = true;
        bool done = LoadedMark;
        OnLoadStream(this, StreamName, wobClicking, done);
        LoadedMark = done;
        busy_ = false;
    }
    if (Owner->SelectedObject != this)
        TRtObjectBase::Select(true);
    Changed(0);
}

// ---- pictures -----------------------------------------------------------------------------------

bool TRtOImageObject::IsMetafile() const { return SameText(dataType_, "WMF") || SameText(dataType_, "EMF"); }

void TRtOImageObject::SetPicture(const QByteArray& Bytes, const AnsiString& Type)
{
    bytes_ = Bytes;
    dataType_ = UpperCase(Type.substr(0, 3));
    image_ = QImage();
    metafile_ = TMetafile();
    shown_ = QImage();
    shownSize_ = QSize();
    shownPart_ = QRect();
    if (IsMetafile())
        metafile_.LoadFromBytes(bytes_);
    else
        image_.loadFromData(bytes_);
    LoadedMark = true;
    Changed(0);
}

int32_t TRtOImageObject::GetNaturalWidth()
{
    if (!metafile_.Empty())
        return MulDiv(metafile_.MMWidth(), 1440, 2540);
    if (image_.isNull())
        return TRtObject::GetNaturalWidth();
    return std::max(MulDiv(image_.width(), 1440, RtPlatform().ScreenPixelsPerInch()), 0);
}

int32_t TRtOImageObject::GetNaturalHeight()
{
    if (!metafile_.Empty())
        return MulDiv(metafile_.MMHeight(), 1440, 2540);
    if (image_.isNull())
        return TRtObject::GetNaturalHeight();
    return std::max(MulDiv(image_.height(), 1440, RtPlatform().ScreenPixelsPerInch()), 0);
}

void TRtOImageObject::ReadData(TStream* Stream)
{
    // The rest of the stream is the picture file.
    const int64_t n = Stream->Remaining();
    QByteArray bytes(qsizetype(n), '\0');
    if (n > 0)
        Stream->ReadBuffer(bytes.data(), int32_t(n));
    const AnsiString type = dataType_;
    SetPicture(bytes, type);
}

void TRtOImageObject::WriteData(TStream* Stream)
{
    if (!bytes_.isEmpty())
        Stream->WriteBuffer(bytes_.constData(), int32_t(bytes_.size()));
}

void TRtOImageObject::PaintTo(TCanvas* Canvas, const TRect& R)
{
    if (!Canvas)
        return;
    if (!metafile_.Empty()) {
        if (QPainter* p = Canvas->Painter())
            PaintMetafile(*p, QRectF(R.Left, R.Top, R.Width(), R.Height()));
        return;
    }
    if (image_.isNull()) {
        TRtObject::PaintTo(Canvas, R);
        return;
    }
    Canvas->StretchDIBits(R, image_);
}

void TRtOImageObject::PaintMetafile(QPainter& Painter, const QRectF& Dest)
{
    // A printer gets the records at its own resolution; a screen or a picture the
    // image played once at the size in device pixels it is shown at.
    const QPaintDevice* device = Painter.device();
    const int type = device ? device->devType() : QInternal::UnknownDevice;
    const QSizeF pixels = Painter.transform().mapRect(Dest).size() * (device ? device->devicePixelRatioF() : 1.0);
    const QSize size(int(std::lround(pixels.width())), int(std::lround(pixels.height())));
    if ((type != QInternal::Image && type != QInternal::Widget && type != QInternal::Pixmap) || size.isEmpty()) {
        metafile_.Draw(Painter, Dest);
        return;
    }
    // A larger picture is played and kept only as far as it lies on the device.
    QRectF part = Dest;
    if (int64_t(size.width()) * size.height() > MaxShownPixels)
        part &= Painter.transform().inverted().mapRect(QRectF(0, 0, device->width(), device->height()));
    const double sx = size.width() / Dest.width(), sy = size.height() / Dest.height();
    const QRect pixelPart = QRectF((part.left() - Dest.left()) * sx, (part.top() - Dest.top()) * sy,
                                   part.width() * sx, part.height() * sy)
                                .toAlignedRect()
                            & QRect(QPoint(0, 0), size);
    if (pixelPart.isEmpty())
        return;
    if (shownSize_ != size || shownPart_ != pixelPart) {
        shown_ = QImage(pixelPart.size(), QImage::Format_ARGB32_Premultiplied);
        shown_.fill(Qt::transparent);
        QPainter p(&shown_);
        metafile_.Draw(p, QRectF(QPointF(-pixelPart.left(), -pixelPart.top()), QSizeF(size)));
        shownSize_ = size;
        shownPart_ = pixelPart;
    }
    Painter.save();
    Painter.setRenderHint(QPainter::SmoothPixmapTransform);
    Painter.drawImage(QRectF(Dest.left() + pixelPart.left() / sx, Dest.top() + pixelPart.top() / sy,
                             pixelPart.width() / sx, pixelPart.height() / sy),
                      shown_);
    Painter.restore();
}

QImage TRtOImageObject::GetBitmapHandle()
{
    if (!image_.isNull())
        return image_;
    return TRtObject::GetBitmapHandle();
}

bool TRtOImageObject::GetRTFPicture(AnsiString& Words, QByteArray& Data)
{
    int32_t width, height;
    if (!metafile_.Empty()) {
        // A metafile's size in 0.01 mm; a Windows metafile without its placeable header.
        width = metafile_.MMWidth();
        height = metafile_.MMHeight();
        const bool placeable = bytes_.startsWith(QByteArray::fromHex("d7cdc69a"));
        Words = metafile_.Enhanced() ? "\\emfblip" : "\\wmetafile8";
        Data = placeable && !metafile_.Enhanced() ? bytes_.mid(22) : bytes_;
    } else if (!image_.isNull()) {
        width = image_.width();
        height = image_.height();
        if (dataType_ == "PNG" || dataType_ == "JPG" || dataType_ == "JPE") {
            Words = dataType_ == "PNG" ? "\\pngblip" : "\\jpegblip";
            Data = bytes_;
        } else if (dataType_ == "BMP" && bytes_.startsWith("BM") && bytes_.size() > 14) {
            // A bitmap without its file header.
            Words = "\\dibitmap0";
            Data = bytes_.mid(14);
        } else {
            // Other formats (GIF, TIFF, ...) as PNG.
            Data.clear();
            QBuffer buffer(&Data);
            buffer.open(QIODevice::WriteOnly);
            if (!image_.save(&buffer, "PNG"))
                return false;
            Words = "\\pngblip";
        }
    } else
        return false;
    Words += "\\picw" + IntToStr(width) + "\\pich" + IntToStr(height);
    return true;
}

void TRtOImageObject::PrepareHTML(const QString& Folder)
{
    if (!imageFileName_.isEmpty() || (image_.isNull() && metafile_.Empty()))
        return;
    QString name;
    if (RtHTMLCreateImageHook) {
        bool done = false;
        QImage bitmap = image_;
        if (!metafile_.Empty()) {
            // The metafile drawn at its natural size at screen resolution.
            const int32_t ppi = RtPlatform().ScreenPixelsPerInch();
            bitmap = QImage(std::max(metafile_.Width(ppi), 1), std::max(metafile_.Height(ppi), 1),
                            QImage::Format_RGB32);
            bitmap.fill(Qt::white);
            QPainter painter(&bitmap);
            metafile_.Draw(painter, QRectF(bitmap.rect()));
        }
        RtHTMLCreateImageHook(this, Folder, name, done, bitmap);
        if (done) {
            imageFileName_ = name;
            return;
        }
        name.clear();
    }
    // A bitmap is saved as BMP, a metafile as it is.
    const QString ext = metafile_.Empty() ? "BMP" : metafile_.Enhanced() ? "EMF" : "WMF";
    const QDir dir(Folder);
    for (int n = 0; name.isEmpty() || QFileInfo::exists(name); ++n)
        name = dir.filePath(QStringLiteral("PIC%1.").arg(n) + ext);
    bool saved;
    if (metafile_.Empty())
        saved = image_.save(name, "BMP");
    else {
        QSaveFile file(name);
        saved = file.open(QIODevice::WriteOnly) && file.write(bytes_) == bytes_.size() && file.commit();
    }
    if (saved)
        imageFileName_ = name;
}

// ---- horizontal rules ----------------------------------------------------------------------------

TRtOHorzLine::TRtOHorzLine()
{
    UsePageWidth = true;
    heightTW_ = 40;
}

void TRtOHorzLine::PaintTo(TCanvas* Canvas, const TRect& R)
{
    if (!Canvas)
        return;
    Canvas->Brush().SetStyle(bsSolid);
    Canvas->Brush().SetColor(0);
    Canvas->FillRect(R);
}

void TRtOHorzLine::WriteHTML(TStream* Stream)
{
    const AnsiString html = heightTW_ >= 30 ? "<hr SIZE=" + IntToStr((heightTW_ + 10) / 20) + "/>\r\n"
                                            : AnsiString("<hr/>\r\n");
    Stream->WriteBuffer(html.data(), int32_t(html.size()));
}

// ---- fields -------------------------------------------------------------------------------------

void TRtObjectField::WriteProps(TRtPropWriter& W)
{
    TRtObject::WriteProps(W);
    W.Str("FieldName", FieldName);
    W.Str("FieldMask", FieldMask);
}

void TRtObjectField::ReadProp(const AnsiString& Name, const TRtPropValue& Value)
{
    if (SameText(Name, "FieldName"))
        FieldName = Value.Str;
    else if (SameText(Name, "FieldMask"))
        FieldMask = Value.Str;
    else
        TRtObject::ReadProp(Name, Value);
}

void TRtObjectField::GetFieldText(bool Measuring, AnsiString& Text)
{
    bool done = false;
    if (Owner && Owner->OnGetFieldText)
        Text = Owner->OnGetFieldText(Owner, this, done);
    if (!done)
        Text = RtFieldTextProc ? RtFieldTextProc(this, Measuring) : AnsiString();
    if (Text.empty() && !done)
        Text = "<" + FieldName + ">";
}

int32_t TRtObjectField::GetNaturalWidth()
{
    int32_t w = -1, h = -1, b = 0;
    if (Owner && Owner->OnGetFieldBounds)
        Owner->OnGetFieldBounds(Owner, this, w, h, b);
    return w;
}

int32_t TRtObjectField::GetNaturalHeight()
{
    int32_t w = -1, h = -1, b = 0;
    if (Owner && Owner->OnGetFieldBounds)
        Owner->OnGetFieldBounds(Owner, this, w, h, b);
    return h;
}

AnsiString GetDefaultFieldText(TRtObjectField* Field, bool Measuring)
{
    TRtRTFText* text = Field->Owner;
    const AnsiString& name = Field->FieldName;
    const bool pageField = SameText(name, "PAGE") || SameText(name, "NEXTPAGE") || SameText(name, "PRIORPAGE");
    if (pageField || SameText(name, "NUMPAGES"))
        Field->PageDependent = true;
    int32_t page = 1, count = 1;
    if (text) {
        page = (text->Printing ? text->PrintingPage : text->PaintingPage) + 1 + text->PageNumberOffset;
        count = text->Printing ? text->PrintedPageCount : text->CountPages();
    }
    if (pageField && Measuring && !(text && text->Printing)) {
        AnsiString nines = IntToStr(count);
        std::fill(nines.begin(), nines.end(), '9');
        return nines;
    }
    if (SameText(name, "PAGE"))
        return IntToStr(page);
    if (SameText(name, "NEXTPAGE"))
        return IntToStr(page + 1);
    if (SameText(name, "PRIORPAGE"))
        return page > 1 ? IntToStr(page - 1) : AnsiString(" ");
    if (SameText(name, "NUMPAGES"))
        return IntToStr(count);
    if (SameText(name, "TIME"))
        return toAnsi(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
    if (SameText(name, "DATE"))
        return toAnsi(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    if (SameText(name, "PARNUM") && text) {
        // The number of the paragraph that holds the field's character, first = 1.
        TRtObjReferenceList* refs = text->ObjRefList();
        int32_t nr = 1;
        for (TParagraph* p = text->FirstPar; p; p = p->Next, ++nr)
            for (TLine* l = p->Lines; l; l = l->Next)
                for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                    if (l->Attrs[i].Style.Has(afsIsObject)) {
                        TTextObj* ref = refs->GetTextObj(int32_t(l->Attrs[i].Tag));
                        if (ref && ref->Object == Field)
                            return IntToStr(nr);
                    }
    }
    return AnsiString();
}

// ---- tag fields ---------------------------------------------------------------------------------

TRtTagField::TRtTagField() = default;

void TRtTagField::WriteProps(TRtPropWriter& W)
{
    TRtObjectField::WriteProps(W);
    W.Str("Code", GetCode());
    W.Str("Tag", GetTag());
    std::vector<AnsiString> items;
    for (int i = 0; i < 5; ++i)
        if (BoxOpt.Has(TRtOneObjectFieldFrameOpt(i)))
            items.emplace_back(FrameOptNames[i]);
    W.Set("BoxOpt", items);
}

void TRtTagField::ReadProp(const AnsiString& Name, const TRtPropValue& Value)
{
    if (SameText(Name, "Code"))
        SetCode(Value.Str);
    else if (SameText(Name, "Tag"))
        SetTag(Value.Str);
    else if (SameText(Name, "BoxOpt")) {
        BoxOpt = TRtObjectFieldFrameOpt();
        for (const AnsiString& item : Value.Items)
            for (int i = 0; i < 5; ++i)
                if (SameText(item, FrameOptNames[i]))
                    BoxOpt.Include(TRtOneObjectFieldFrameOpt(i));
    } else
        TRtObjectField::ReadProp(Name, Value);
}

void TRtTagField::GetFieldText(bool, AnsiString& Text)
{
    Text = tag_.empty() ? AnsiString("<>") : " " + tag_ + " ";
}

void TRtTagField::WriteHTML(TStream* Stream)
{
    if (!code_.empty())
        Stream->WriteBuffer(code_.data(), int32_t(code_.size()));
}

// ---- classes by name and extension ------------------------------------------------------------

namespace {

std::vector<std::pair<AnsiString, TRtFieldFactory>>& FieldClasses()
{
    static std::vector<std::pair<AnsiString, TRtFieldFactory>> classes = [] {
        std::vector<std::pair<AnsiString, TRtFieldFactory>> v;
        for (const char* name : {"PAGE", "NEXTPAGE", "PRIORPAGE", "NUMPAGES", "DATE", "TIME", "PARNUM"})
            v.emplace_back(name, [] { return std::make_unique<TRtObjectField>(); });
        return v;
    }();
    return classes;
}

} // namespace

void RegisterRtFieldClass(const AnsiString& FieldName, TRtFieldFactory Factory)
{
    auto& classes = FieldClasses();
    for (auto& c : classes)
        if (SameText(c.first, FieldName)) {
            c.second = std::move(Factory);
            return;
        }
    classes.emplace_back(FieldName, std::move(Factory));
}

std::unique_ptr<TRtObjectField> CreateRtFieldObject(const AnsiString& FieldName)
{
    for (const auto& c : FieldClasses())
        if (SameText(c.first, FieldName) && c.second) {
            std::unique_ptr<TRtObjectField> field = c.second();
            if (field)
                field->FieldName = FieldName;
            return field;
        }
    return nullptr;
}

std::unique_ptr<TRtObject> CreateRtObjectByClassName(const AnsiString& ClassName)
{
    const TRtClassFactory* factory = FindRtClass(ClassName);
    if (!factory)
        return nullptr;
    std::unique_ptr<TObject> obj((*factory)());
    auto* rtobj = dynamic_cast<TRtObject*>(obj.get());
    if (!rtobj)
        return nullptr;
    obj.release();
    return std::unique_ptr<TRtObject>(rtobj);
}

std::unique_ptr<TRtObject> ReadRtObjectFromStream(TRtRTFText* Text, TStream* Stream, int32_t& Height,
                                                  int32_t& Width, AnsiString& Name, int32_t& Tag)
{
    Stream->SetPosition(0);
    const AnsiString className = ClassNameRecord(*Stream);
    if (className.empty())
        return nullptr;
    std::unique_ptr<TRtObject> obj = CreateRtObjectByClassName(className);
    if (!obj)
        return nullptr;
    obj->Owner = Text;
    obj->ReadFromStream(Stream);
    Tag = obj->ObjTag;
    Name = obj->ObjNameValue;
    Width = obj->GetWidthTW();
    Height = obj->GetHeightTW();
    return obj;
}

AnsiString GetRtObjectClassForExt(const AnsiString& Ext)
{
    const AnsiString ext = !Ext.empty() && Ext[0] == '.' ? Ext : "." + Ext;
    for (int i = RtObjectClassesForExt.Count() - 1; i >= 0; --i) {
        const AnsiString& entry = RtObjectClassesForExt[i];
        const size_t eq = entry.find('=');
        if (eq != AnsiString::npos && SameText(entry.substr(0, eq), ext))
            return entry.substr(eq + 1, 200);
    }
    return AnsiString();
}

std::unique_ptr<TRtObject> CreateRtObjectForExt(const AnsiString& Ext)
{
    std::unique_ptr<TRtObject> obj = CreateRtObjectByClassName(GetRtObjectClassForExt(Ext));
    if (obj) {
        obj->SetWidthTW(obj->GetNaturalWidth());
        obj->SetHeightTW(obj->GetNaturalHeight());
    }
    return obj;
}

std::unique_ptr<TRtObject> CreateRtObjectForFile(const QString& FileName, bool LinkOnly)
{
    std::unique_ptr<TRtObject> obj = CreateRtObjectByClassName(GetRtObjectClassForExt(toAnsi(ExtractFileExt(FileName))));
    if (!obj)
        return nullptr;
    obj->Color = clWindow;
    obj->SetWidthTW(0);
    obj->SetHeightTW(0);
    obj->ClearSizeSet();
    if (LinkOnly) {
        obj->StreamName = toAnsi(FileName);
    } else if (QFileInfo::exists(FileName)) {
        obj->LoadFromFile(FileName);
        if (obj->GetWidthTW() == 0)
            obj->SetWidthTW(obj->GetNaturalWidth());
        if (obj->GetHeightTW() == 0)
            obj->SetHeightTW(obj->GetNaturalHeight());
    }
    return obj;
}
