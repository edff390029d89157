#include "uFotobuchBildManager.h"

#include "DlgFilter.h"
#include "DlgRoteAugen.h"
#include "ParallelRows.h"
#include "MainFormStatusBar.h"
#include "Application.h"
#include "SysUtils.h"
#include "SystemMemory.h"
#include "WaitCursor.h"
#include "uDataFile.h"
#include "uDebug.h"
#include "uInfoAusgabe.h"
#include "uJpegDecode.h"
#include "uModalDialog.h"
#include "uKalender.h"
#include "uPictureFilter.h"
#include "ulocalize.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDateTime>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include <sys/stat.h>

namespace {

// The lowest number from From on that Held (sorted) does not hold; From goes
// on past it.
int32_t NextFreeNumber(const std::vector<int32_t>& Held, int32_t& From)
{
    while (std::binary_search(Held.begin(), Held.end(), From))
        ++From;
    return From++;
}

const char* const kLoadingText = "Bild %d wird geladen";
const char* const kSavingText = "Bild %d wird gespeichert";

const bool kTextsRegistered = [] {
    RegisterDefaultString(QString::fromLatin1(kLoadingText));
    RegisterDefaultString(QString::fromLatin1(kSavingText));
    return true;
}();

// Pictures above this many pixels are reduced once when first decoded.
constexpr double kMaxPixels = 3873488.0;
constexpr double kReducedPixels = 3871488.0;

// The localized status text with its number filled in (never Format on a
// text that comes from a language file).
QString StatusText(const char* key, int number)
{
    return LocalizedDefaultString(QString::fromLatin1(key))
        .replace(QLatin1String("%d"), QString::number(number));
}

QByteArray BytesOf(const TMemoryStream& s)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(s.Memory()), qsizetype(s.Bytes().size()));
}

void AllowLargePictures()
{
    static const bool done = [] {
        // Camera pictures above the default limit of 256 MB of pixels must load.
        QImageReader::setAllocationLimit(2048);
        return true;
    }();
    (void)done;
}

// The size Size is reduced to: a picture above kMaxPixels becomes one of
// about kReducedPixels.
QSize ReducedSize(const QSize& Size)
{
    const double pixels = double(Size.width()) * double(Size.height());
    if (pixels <= kMaxPixels)
        return Size;
    const double f = std::sqrt(pixels / kReducedPixels);
    return QSize(int(Round(Size.width() / f)), int(Round(Size.height() / f)));
}

// The least size a picture reduced to Reduced may be decoded at by libjpeg's
// scaling: half as large again, so that the smooth reduction still does most
// of the filtering and the stored picture stays within a grey level of a
// full decode's.
QSize ScaledDecodeMinimum(const QSize& Reduced)
{
    return QSize(Reduced.width() + (Reduced.width() + 1) / 2, Reduced.height() + (Reduced.height() + 1) / 2);
}

// The size the reader decodes a picture of Size at: a JPEG above the limit at
// the smallest of libjpeg's scales (1/8, 1/4, 1/2) that still reaches
// ScaledDecodeMinimum; any other picture at its own size.
QSize DecodeSize(const QImageReader& Reader, const QSize& Size)
{
    const QSize target = ReducedSize(Size);
    if (target == Size || Reader.format() != "jpeg")
        return Size;
    const QSize least = ScaledDecodeMinimum(target);
    for (int d = 8; d >= 2; d /= 2) {
        const QSize scaled((Size.width() + d - 1) / d, (Size.height() + d - 1) / d);
        if (scaled.width() >= least.width() && scaled.height() >= least.height())
            return scaled;
    }
    return Size;
}

// The picture as a reader with automatic transformation gives it: mirrored
// and flipped first, then turned a quarter clockwise.
QImage Transformed(QImage Image, QImageIOHandler::Transformations Orientation)
{
    if (Orientation == QImageIOHandler::TransformationNone)
        return Image;
    if (Orientation == QImageIOHandler::TransformationRotate270)
        return Image.transformed(QTransform().rotate(270));
    if (Orientation & (QImageIOHandler::TransformationMirror | QImageIOHandler::TransformationFlip))
        Image = std::move(Image).mirrored(Orientation & QImageIOHandler::TransformationMirror,
                                          Orientation & QImageIOHandler::TransformationFlip);
    if (Orientation & QImageIOHandler::TransformationRotate90)
        Image = Image.transformed(QTransform().rotate(90));
    return Image;
}

// True when a decode of this size may not allocate its pixels: such a
// picture can never be decoded.
bool BeyondDecoding(const QSize& Size)
{
    return qint64(Size.width()) * Size.height() * 4 > qint64(QImageReader::allocationLimit()) << 20;
}

// True when the pixels of a picture of this size do not fit the free memory.
bool ExceedsMemory(const QSize& Size)
{
    return QImage(Size, QImage::Format_ARGB32).isNull();
}

[[noreturn]] void RaiseNotLoaded(const QString& FileName)
{
    throw Exception(Format("Bild %s konnte nicht geladen werden.", {toAnsi(FileName)}));
}

// Stored name: the 8-bit text, plus the exact name where the code page
// cannot hold it (older readers ignore the extra key): its UTF-8, or for a
// name that is no UTF-8 on disk the system's bytes (EncodeFileName).
const char* const kFileNameUtf8 = "FileNameUtf8";

// Whether FileName names a file, by the system's bytes of the name (which
// may be no UTF-8); its status then.
bool IsFile(const QString& FileName, struct stat& st)
{
    return ::stat(EncodeFileName(FileName).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

// ---- TBildManagerListItem ------------------------------------------------------------

bool TBildManagerListItem::LoadFromFile(const QString& AFileName)
{
    struct stat st;
    if (!IsFile(AFileName, st))
        return false;
    FileName = AFileName;
    FileSize = int32_t(std::min<int64_t>(st.st_size, std::numeric_limits<int32_t>::max()));
    FileDate = QDateTimeToDateTime(
        QDateTime::fromMSecsSinceEpoch(int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000));
    // A large picture takes seconds: read and decoded on a thread of its own
    // while the windows stay drawn. The entry is no one else's yet; a decode
    // that fails there is repeated here, with the retries and messages that
    // may lower the manager's budget.
    RunServingEvents([this, &AFileName] {
        Bytes().LoadFromFile(AFileName);
        Decode(true, true);
    });
    if (!FullBitmap)
        Decode(true, false);
    if (!FullBitmap)
        RaiseNotLoaded(FileName);
    return true;
}

bool TBildManagerListItem::IsSamePicture(const TBildManagerListItem& Other) const
{
    return FileName == Other.FileName && Age == Other.Age && FileDate == Other.FileDate
           && PicWidth == Other.PicWidth && PicHeight == Other.PicHeight
           && Bytes().Bytes() == Other.Bytes().Bytes();
}

void TBildManagerListItem::LoadGPBitmap()
{
    Decode(false, false);
}

bool TBildManagerListItem::TryLoadGPBitmap()
{
    Decode(false, true);
    return FullBitmap != nullptr;
}

void TBildManagerListItem::Decode(bool Upright, bool Once)
{
    if (Bytes().Size() == 0 || Undecodable)
        return;
    AllowLargePictures();
    FullBitmap.reset();
    int retries = 0;
    QImage image;
    bool turned = false;
    bool scaled = false;
    QSize reduced;
    bool direct = true;
    while (true) {
        QByteArray data = BytesOf(Bytes());
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // Size and orientation come from the header; the pixels are turned
        // after decoding them once.
        const QSize size = reader.size();
        const QImageIOHandler::Transformations orientation =
            Upright ? reader.transformation() : QImageIOHandler::TransformationNone;
        turned = orientation != QImageIOHandler::TransformationNone;
        reduced = ReducedSize(size);
        // A JPEG goes to libjpeg, scaled by its inverse DCT as the reader
        // would be and reduced to the stored size while it is decoded, with
        // the pixels of a smooth scale; anything libjpeg cannot take, and
        // every retry, goes through the reader.
        std::string message;
        if (direct && size.isValid() && reader.format() == "jpeg"
            && DecodeJpegBytes(Bytes().Memory(), size_t(Bytes().Size()),
                               reduced == size ? QSize() : ScaledDecodeMinimum(reduced), image, message,
                               reduced == size ? QSize() : reduced)) {
            scaled = image.size() != size;
            image = Transformed(std::move(image), orientation);
            if (orientation & QImageIOHandler::TransformationRotate90)
                reduced.transpose();
            break;
        }
        direct = false;
        reader.setAutoTransform(Upright);
        if (orientation & QImageIOHandler::TransformationRotate90)
            reduced.transpose();
        const QSize decoded = size.isValid() ? DecodeSize(reader, size) : size;
        scaled = decoded != size;
        if (scaled)
            reader.setScaledSize(decoded);
        if (reader.read(&image))
            break;
        if (Once)
            return;
        Debug().LogFmt("Status Fehler bei LoadGPBitmap: %d", {int(reader.error())});
        const bool beyond = size.isValid() && BeyondDecoding(decoded);
        if (beyond || !size.isValid() || size.isEmpty() || !ExceedsMemory(decoded)) {
            // A data error: nothing is kept, the stored sizes stay, and it is
            // not tried again. A picture that claims more pixels than can ever
            // be decoded says so once.
            Undecodable = true;
            if (beyond)
                RaiseNotLoaded(FileName);
            return;
        }
        if (retries >= 3)
            RaiseNotLoaded(FileName);
        ++retries;
        owner_.ReduceMemory();
    }
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    FullBitmap = std::make_unique<QImage>(std::move(image));
    Debug().LogFmt("LoadGPBitmap %d", {RefIndex});
    // The bytes must hold what was decoded: encoded again when turned or scaled.
    bool encode = turned || scaled;
    if (reduced.isValid() && reduced != FullBitmap->size()
        && double(FullBitmap->width()) * double(FullBitmap->height()) > kMaxPixels) {
        Debug().Log("Resize in LoadGPBitmap");
        QImage small = FullBitmap->scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (small.isNull()) {
            Debug().LogFmt("Status Fehler LoadGPBitmap Resize: %d", {1});
        } else {
            if (small.format() != FullBitmap->format())
                small = small.convertToFormat(FullBitmap->format());
            *FullBitmap = std::move(small);
            encode = true;
        }
    }
    if (encode)
        SaveGPBitmapToStream();
    PicWidth = FullBitmap->width();
    PicHeight = FullBitmap->height();
}

void TBildManagerListItem::MakePreview()
{
    PreviewBitmap.reset();
    PreviewFromTemporary = false;
    auto fit = [](int w, int h, int box, int& pw, int& ph) {
        pw = box;
        ph = MulDiv(h, box, w);
        if (ph > box) {
            ph = box;
            pw = MulDiv(w, box, h);
        }
        pw = std::max(pw, 1);
        ph = std::max(ph, 1);
    };
    int pw, ph;
    if (FullBitmap) {
        if (FullBitmap->width() <= 0 || FullBitmap->height() <= 0)
            return;
        fit(FullBitmap->width(), FullBitmap->height(), 192, pw, ph);
        PreviewBitmap = std::make_unique<QImage>(
            FullBitmap->scaled(pw, ph, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        return;
    }
    if (Bytes().Size() == 0)
        return;
    AllowLargePictures();
    // A scaled read straight from the bytes: no full decode for a preview.
    QByteArray data = BytesOf(Bytes());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return;
    fit(size.width(), size.height(), 128, pw, ph);
    reader.setScaledSize(QSize(pw, ph));
    QImage image;
    if (!reader.read(&image))
        return;
    if (image.size() != QSize(pw, ph))
        image = image.scaled(pw, ph, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    PreviewBitmap = std::make_unique<QImage>(std::move(image));
    PreviewFromTemporary = true;
}

TMemoryStream& TBildManagerListItem::Bytes()
{
    FinishEncoding();
    return bytes_;
}

const TMemoryStream& TBildManagerListItem::Bytes() const
{
    FinishEncoding();
    return bytes_;
}

void TBildManagerListItem::FinishEncoding() const
{
    if (!encoding_.valid())
        return;
    const QByteArray out = encoding_.get();
    bytes_.Clear();
    bytes_.WriteBuffer(out.constData(), int32_t(out.size()));
    bytes_.SetPosition(0);
}

void TBildManagerListItem::TakeFinishedEncoding()
{
    if (encoding_.valid() && encoding_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        FinishEncoding();
}

void TBildManagerListItem::SaveGPBitmapToStream()
{
    if (!FullBitmap)
        return;
    const bool alpha = FullBitmap->hasAlphaChannel();
    // Encoded on a thread of its own from a shared copy of the pixels, while
    // the picture is already shown; Bytes() waits for the result. The copy is
    // let go once encoded: the result may wait long for Bytes(), and pixels
    // held by it would outlive the bitmap's eviction.
    auto encode = [image = *FullBitmap, alpha]() mutable {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        if (alpha)
            image.save(&buffer, "PNG");
        else
            image.save(&buffer, "JPEG", 90);
        image = QImage();
        return out;
    };
    try {
        encoding_ = std::async(std::launch::async, encode);
    } catch (const std::system_error&) {
        // No thread to be had: encoded when the bytes are asked for.
        encoding_ = std::async(std::launch::deferred, std::move(encode));
    }
    Debug().LogFmt(alpha ? "SaveGPBitmapToStream %d -> PNG" : "SaveGPBitmapToStream %d -> JPG", {RefIndex});
    Undecodable = false;
    PicWidth = FullBitmap->width();
    PicHeight = FullBitmap->height();
    MakePreview();
}

bool TBildManagerListItem::RemoveGPBitmap()
{
    if (!FullBitmap)
        return false;
    FullBitmap.reset();
    Debug().LogFmt("RemoveGPBitmap %d", {RefIndex});
    return true;
}

std::unique_ptr<TBildManagerListItem> TBildManagerListItem::Clone() const
{
    auto c = std::make_unique<TBildManagerListItem>(owner_);
    c->FileName = QStringLiteral("Clone ") + FileName;
    c->Age = Age;
    c->FileSize = FileSize;
    c->FileDate = FileDate;
    c->PicWidth = PicWidth;
    c->PicHeight = PicHeight;
    c->Bytes().SetSize(0);
    if (!Bytes().Bytes().empty())
        c->Bytes().WriteBuffer(Bytes().Memory(), int32_t(Bytes().Bytes().size()));
    c->Bytes().SetPosition(0);
    c->Undecodable = Undecodable;
    c->LoadGPBitmap();
    c->MakePreview();
    return c;
}

void TBildManagerListItem::SaveCommon(TCustomDataFile& DataFile, const AnsiString& Section, bool Full) const
{
    bool lossless = true;
    DataFile.WriteString(Section, "FileName", toAnsi(FileName, &lossless));
    DataFile.WriteInteger(Section, "Age", Age);
    DataFile.WriteInteger(Section, "FileSize", FileSize);
    if (Full)
        DataFile.WriteInteger(Section, "RefCount", RefCount);
    DataFile.WriteDateTime(Section, "FileDate", FileDate);
    if (Full)
        DataFile.WriteInteger(Section, "RefIndex", RefIndex);
    DataFile.WriteInteger(Section, "PicWidth", PicWidth);
    DataFile.WriteInteger(Section, "PicHeight", PicHeight);
    if (!Bytes().Bytes().empty())
        DataFile.WriteBuffer(Section, "File", Bytes().Memory(), int32_t(Bytes().Bytes().size()));
    if (!lossless) {
        const QByteArray exact = EncodeFileName(FileName);
        DataFile.WriteString(Section, kFileNameUtf8, AnsiString(exact.constData(), size_t(exact.size())));
    }
}

void TBildManagerListItem::LoadCommon(TCustomDataFile& DataFile, const AnsiString& Section, bool Full)
{
    FileName = fromAnsi(DataFile.ReadString(Section, "FileName", ""));
    const AnsiString exact = DataFile.ReadString(Section, kFileNameUtf8, "");
    if (!exact.empty())
        FileName = DecodeFileName(QByteArray(exact.data(), qsizetype(exact.size())));
    Age = DataFile.ReadInteger(Section, "Age", 0);
    FileSize = DataFile.ReadInteger(Section, "FileSize", 0);
    FileDate = DataFile.ReadDateTime(Section, "FileDate", Now());
    if (Full) {
        RefCount = DataFile.ReadInteger(Section, "RefCount", 0);
        RefIndex = DataFile.ReadInteger(Section, "RefIndex", 0);
    } else {
        RefCount = 1;
        RefIndex = -1;
    }
    PicWidth = DataFile.ReadInteger(Section, "PicWidth", 0);
    PicHeight = DataFile.ReadInteger(Section, "PicHeight", 0);
    Bytes().SetSize(0);
    DataFile.ReadStream(Section, "File", Bytes());
    Bytes().SetPosition(0);
}

void TBildManagerListItem::SaveFull(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    SaveCommon(DataFile, Section, true);
}

void TBildManagerListItem::LoadFull(TCustomDataFile& DataFile, const AnsiString& Section)
{
    LoadCommon(DataFile, Section, true);
}

void TBildManagerListItem::SaveCopy(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    SaveCommon(DataFile, Section, false);
}

void TBildManagerListItem::LoadCopy(TCustomDataFile& DataFile, const AnsiString& Section)
{
    LoadCommon(DataFile, Section, false);
}

// ---- TBildmanager --------------------------------------------------------------------

int32_t TBildmanager::MaxInMemoryFor(uint64_t TotalPhysicalBytes)
{
    return std::max<int32_t>(int32_t((TotalPhysicalBytes >> 20) / 25), 10);
}

uint64_t TBildmanager::MaxBytesInMemoryFor(uint64_t TotalPhysicalBytes)
{
    // An eighth of the memory, within 64 MB (four reduced pictures) and
    // 384 MB (two dozen), whatever the machine.
    return std::clamp<uint64_t>(TotalPhysicalBytes / 8, uint64_t(64) << 20, uint64_t(384) << 20);
}

TBildmanager::TBildmanager()
    : AvailableMemory([] { return AvailablePhysicalMemory(); })
{
    MaxInMemory = MaxInMemoryFor(TotalPhysicalMemory());
    MaxBytesInMemory = MaxBytesInMemoryFor(TotalPhysicalMemory());
    Debug().LogFmt("%d Bilder maximal gleichzeitig im Speicher", {MaxInMemory});
}

TBildmanager::~TBildmanager() = default;

void TBildmanager::Clear()
{
    if (!Items.empty())
        Debug().LogFmt("Verwaiste Elemente: %d", {int(Items.size())});
    Items.clear();
}

int TBildmanager::IndexOf(int32_t RefIndex) const
{
    for (size_t i = 0; i < Items.size(); ++i)
        if (Items[i]->RefIndex == RefIndex)
            return int(i);
    return -1;
}

TBildManagerListItem* TBildmanager::FindItem(int32_t RefIndex) const
{
    const int i = IndexOf(RefIndex);
    return i < 0 ? nullptr : Items[size_t(i)].get();
}

int32_t TBildmanager::GetNextRefIndex() const
{
    int32_t m = -1;
    for (const auto& it : Items)
        m = std::max(m, it->RefIndex);
    if (m < std::numeric_limits<int32_t>::max())
        return Items.empty() ? 0 : m + 1;
    // A project stored the highest number there is: the lowest free one.
    std::vector<int32_t> held;
    for (const auto& it : Items)
        held.push_back(it->RefIndex);
    std::sort(held.begin(), held.end());
    int32_t from = 0;
    return NextFreeNumber(held, from);
}

void TBildmanager::CheckFileExists(const QString& FileName)
{
    struct stat st;
    if (!IsFile(FileName, st))
        RaiseNotLoaded(FileName);
}

int32_t TBildmanager::AddFile(const QString& FileName)
{
    if (!FileName.isEmpty()) {
        for (const auto& it : Items)
            if (it->FileName == FileName) {
                ++it->RefCount;
                return it->RefIndex;
            }
    }
    auto item = std::make_unique<TBildManagerListItem>(*this);
    item->LoadFromFile(FileName);
    item->RefIndex = GetNextRefIndex();
    item->RefCount = 1;
    const int32_t index = item->RefIndex;
    Items.insert(Items.begin(), std::move(item));
    TrimMemory();
    return index;
}

int32_t TBildmanager::AddBitmap(std::unique_ptr<QImage> Bitmap)
{
    auto item = std::make_unique<TBildManagerListItem>(*this);
    item->FileSize = 8192;
    item->RefCount = 1;
    item->FileDate = Now();
    item->FullBitmap = std::move(Bitmap);
    item->RefIndex = GetNextRefIndex();
    item->SaveGPBitmapToStream();
    const int32_t index = item->RefIndex;
    Items.push_back(std::move(item));
    return index;
}

void TBildmanager::IncRefCount(int32_t RefIndex)
{
    Debug().LogFmt("IncRefCount %d", {RefIndex});
    if (auto* it = FindItem(RefIndex))
        ++it->RefCount;
}

void TBildmanager::Release(int32_t RefIndex)
{
    if (RefIndex == -1)
        return;
    const int i = IndexOf(RefIndex);
    if (i < 0)
        return;
    if (--Items[size_t(i)]->RefCount <= 0)
        Items.erase(Items.begin() + i);
}

int32_t TBildmanager::MakePrivate(int32_t RefIndex)
{
    auto* it = FindItem(RefIndex);
    if (!it)
        return -1;
    if (it->RefCount == 1)
        return RefIndex;
    --it->RefCount;
    auto clone = it->Clone();
    clone->RefIndex = GetNextRefIndex();
    clone->RefCount = 1;
    const int32_t index = clone->RefIndex;
    Items.push_back(std::move(clone));
    return index;
}

QImage* TBildmanager::GetFullBitmap(int32_t RefIndex)
{
    const int i = IndexOf(RefIndex);
    if (i < 0)
        return nullptr;
    std::rotate(Items.begin(), Items.begin() + i, Items.begin() + i + 1);
    TBildManagerListItem* it = Items.front().get();
    if (!it->FullBitmap)
        it->LoadGPBitmap();
    TrimMemory();
    return it->FullBitmap.get();
}

namespace {

bool NeedsPreview(const TBildManagerListItem& Item)
{
    return !Item.PreviewBitmap || (Item.PreviewFromTemporary && Item.FullBitmap);
}

}  // namespace

QImage* TBildmanager::GetPreviewBitmap(int32_t RefIndex)
{
    auto* it = FindItem(RefIndex);
    if (!it)
        return nullptr;
    if (NeedsPreview(*it))
        it->MakePreview();
    return it->PreviewBitmap.get();
}

void TBildmanager::PreparePreviews(const std::vector<int32_t>& RefIndexes)
{
    std::vector<TBildManagerListItem*> items;
    for (int32_t ref : RefIndexes)
        if (auto* it = FindItem(ref); it && NeedsPreview(*it)
            && std::find(items.begin(), items.end(), it) == items.end())
            items.push_back(it);
    // Each preview is read from its own picture's bytes or bitmap alone.
    ParallelRows(int(items.size()), 1, [&](int First, int Last) {
        for (int i = First; i < Last; ++i) {
            try {
                items[size_t(i)]->MakePreview();
            } catch (...) {
                // Left without preview: drawing makes it again and reports.
            }
        }
    });
}

void TBildmanager::PrepareFullBitmaps(const std::vector<int32_t>& RefIndexes)
{
    // The pictures asked for, as many as the memory rules keep (more would be
    // dropped at once), and those of them still to be decoded.
    std::vector<TBildManagerListItem*> asked, items;
    uint64_t bytes = 0;
    for (int32_t ref : RefIndexes) {
        auto* it = FindItem(ref);
        if (!it || std::find(asked.begin(), asked.end(), it) != asked.end())
            continue;
        bytes += uint64_t(std::max(it->PicWidth, 1)) * uint64_t(std::max(it->PicHeight, 1)) * 4;
        if (int32_t(asked.size()) >= MaxInMemory || (!asked.empty() && bytes > MaxBytesInMemory))
            break;
        asked.push_back(it);
        if (!it->FullBitmap && !it->Undecodable)
            items.push_back(it);
    }
    if (items.empty())
        return;
    // Each picture is decoded from its own bytes alone; one that fails stays
    // undecoded for GetFullBitmap, which retries and reports.
    ParallelRows(int(items.size()), 1, [&](int First, int Last) {
        for (int i = First; i < Last; ++i) {
            try {
                items[size_t(i)]->TryLoadGPBitmap();
            } catch (...) {
            }
        }
    });
    std::stable_partition(Items.begin(), Items.end(), [&](const auto& It) {
        return std::find(asked.begin(), asked.end(), It.get()) != asked.end();
    });
    TrimMemory();
}

void TBildmanager::RotatePicture(int32_t RefIndex, int Direction)
{
    auto* it = FindItem(RefIndex);
    if (!it || Direction < 0 || Direction > 2)
        return;
    TWaitCursor wait;
    if (!it->FullBitmap)
        it->LoadGPBitmap();
    if (!it->FullBitmap)
        return;
    const QImage& src = *it->FullBitmap;
    const bool swap = Direction != 1;
    const int nw = swap ? src.height() : src.width();
    const int nh = swap ? src.width() : src.height();
    QImage rotated(nw, nh, QImage::Format_RGB32);
    rotated.fill(Qt::white);
    {
        QPainter p(&rotated);
        // The source's top-left, top-right and bottom-left corners go to
        // (NW,0),(NW,NH),(0,0) / (NW,NH),(0,NH),(NW,0) / (0,NH),(0,0),(NW,NH).
        QTransform t;
        if (Direction == 0)
            t = QTransform(0, 1, -1, 0, nw, 0);
        else if (Direction == 1)
            t = QTransform(-1, 0, 0, -1, nw, nh);
        else
            t = QTransform(0, -1, 1, 0, 0, nh);
        p.setTransform(t);
        p.drawImage(0, 0, src);
    }
    it->FullBitmap = std::make_unique<QImage>(std::move(rotated));
    it->SaveGPBitmapToStream();
}

void TBildmanager::ReplaceBitmap(int32_t& RefIndex, std::unique_ptr<QImage> Bitmap, const QString& Prefix)
{
    // Copy on write only now: a cancelled dialog leaves a shared picture shared.
    RefIndex = MakePrivate(RefIndex);
    TBildManagerListItem& Item = *FindItem(RefIndex);
    Item.FullBitmap = std::move(Bitmap);
    Item.FileName = Prefix + Item.FileName;
    Item.SaveGPBitmapToStream();
}

bool TBildmanager::RunSliderDialog(TDlgFilterBase* Dialog, int32_t& RefIndex, int Angle,
                                   const QString& Prefix)
{
    std::unique_ptr<TDlgFilterBase> dlg(Dialog);
    const QImage* full = GetFullBitmap(RefIndex);
    if (!full)
        return false;
    // The dialog filters an unturned copy in place on OK.
    auto copy = std::make_unique<QImage>(full->copy());
    dlg->SetPicture(copy.get(), Angle);
    if (ShowModalDialog(*dlg) != QDialog::Accepted)
        return false;
    ReplaceBitmap(RefIndex, std::move(copy), Prefix);
    return true;
}

bool TBildmanager::ShowHKIGDlg(int32_t& RefIndex, int Angle)
{
    Debug().LogFmt("TBildmanager.ShowHKIGDlg Bildwinkel: %d", {Angle});
    return RunSliderDialog(TLocalizerForm::create<TDlgFilterHKIG>(ApplicationMainWidget()), RefIndex, Angle,
                           QStringLiteral("A "));
}

bool TBildmanager::ShowHSLDlg(int32_t& RefIndex, int Angle)
{
    return RunSliderDialog(TLocalizerForm::create<TDlgFilterHSL>(ApplicationMainWidget()), RefIndex, Angle,
                           QStringLiteral("B "));
}

bool TBildmanager::ShowSWColDlg(int32_t& RefIndex, int Angle)
{
    return RunSliderDialog(TLocalizerForm::create<TDlgFilterSWCol>(ApplicationMainWidget()), RefIndex, Angle,
                           QStringLiteral("C "));
}

bool TBildmanager::ShowRedEyeDlg(int32_t& RefIndex, int Angle)
{
    std::unique_ptr<TDlgRoteAugen> dlg(TLocalizerForm::create<TDlgRoteAugen>(ApplicationMainWidget()));
    const QImage* full = GetFullBitmap(RefIndex);
    if (!full)
        return false;
    // The brush works on the picture as the user sees it, turned.
    dlg->SetPicture(*CreateCloneCopy(full, Angle), Angle);
    if (ShowModalDialog(*dlg) != QDialog::Accepted || !dlg->Picture())
        return false;
    ReplaceBitmap(RefIndex, CreateCloneCopy(dlg->Picture(), -Angle), QStringLiteral("C "));
    return true;
}

void TBildmanager::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteInteger(Section, "Anzahl", int32_t(Items.size()));
    for (size_t i = 0; i < Items.size(); ++i) {
        InfoAusgabe().ShowInfo(StatusText(kSavingText, int(i) + 1));
        Items[i]->SaveFull(DataFile, Section + "/Bild" + IntToStr(int64_t(i)));
    }
}

namespace {

// Gives the unnumbered entries of Items numbers that no other entry holds.
void NumberAfterStored(const std::vector<std::unique_ptr<TBildManagerListItem>>& Items,
                       const std::vector<TBildManagerListItem*>& Unnumbered)
{
    // Above every number held; should a stored number be the highest there
    // is, the lowest ones that are free.
    std::vector<TBildManagerListItem*> unnumbered = Unnumbered;
    std::sort(unnumbered.begin(), unnumbered.end());
    std::vector<int32_t> held;
    for (const auto& it : Items)
        if (!std::binary_search(unnumbered.begin(), unnumbered.end(), it.get()))
            held.push_back(it->RefIndex);
    std::sort(held.begin(), held.end());
    int64_t next = held.empty() ? 0 : int64_t(held.back()) + 1;
    int32_t free = 0;
    for (TBildManagerListItem* item : Unnumbered) {
        if (next <= std::numeric_limits<int32_t>::max()) {
            item->RefIndex = int32_t(next++);
            continue;
        }
        item->RefIndex = NextFreeNumber(held, free);
    }
}

} // namespace

void TBildmanager::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    // Every entry up to the count is read (the count is kept within the
    // file's records); one that is not stored is an empty entry that draws
    // nothing and holds no memory to trim. Its default number could be one a
    // stored picture holds, and would hide it: it gets a number of its own
    // once every stored number is known.
    const int count = ReadStoredCount(DataFile, Section, 0);
    std::vector<TBildManagerListItem*> missing;
    for (int i = 0; i < count; ++i) {
        const AnsiString itemSection = Section + "/Bild" + IntToStr(i);
        InfoAusgabe().ShowInfo(StatusText(kLoadingText, i + 1));
        auto item = std::make_unique<TBildManagerListItem>(*this);
        item->LoadFull(DataFile, itemSection);
        const bool stored = StoredSectionExists(DataFile, itemSection);
        if (!stored)
            missing.push_back(item.get());
        Items.push_back(std::move(item));
        if (stored)
            TrimMemory();
    }
    NumberAfterStored(Items, missing);
}

void TBildmanager::SaveItemToDataFile(TCustomDataFile& DataFile, const AnsiString& Section, int32_t RefIndex)
{
    if (auto* it = FindItem(RefIndex))
        it->SaveFull(DataFile, Section);
}

int32_t TBildmanager::AddItemFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    auto item = std::make_unique<TBildManagerListItem>(*this);
    item->LoadFull(DataFile, Section);
    for (const auto& held : Items)
        if (held->IsSamePicture(*item))
            return held->RefIndex;
    TBildManagerListItem* added = item.get();
    Items.push_back(std::move(item));
    added->RefIndex = GetNextRefIndex();
    added->RefCount = 0;
    return added->RefIndex;
}

void TBildmanager::SaveItemCopy(TCustomDataFile& DataFile, const AnsiString& Section, int32_t RefIndex)
{
    if (auto* it = FindItem(RefIndex))
        it->SaveCopy(DataFile, Section);
}

int32_t TBildmanager::AddCopyFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    auto item = std::make_unique<TBildManagerListItem>(*this);
    item->LoadCopy(DataFile, Section);
    for (const auto& held : Items)
        if (held->IsSamePicture(*item)) {
            ++held->RefCount;
            return held->RefIndex;
        }
    item->RefIndex = GetNextRefIndex();
    item->RefCount = 1;
    const int32_t index = item->RefIndex;
    Items.push_back(std::move(item));
    return index;
}

void TBildmanager::TrimMemory()
{
    for (const auto& it : Items)
        it->TakeFinishedEncoding();
    auto dropFrom = [this](int32_t from) {
        for (size_t i = size_t(std::max(from, 0)); i < Items.size(); ++i)
            Items[i]->RemoveGPBitmap();
    };
    dropFrom(MaxInMemory);
    // The byte bound: the most recently used bitmaps stay while they fit (the
    // one used last always), the older ones are decoded again when drawn.
    uint64_t held = 0;
    for (size_t i = 0; i < Items.size(); ++i) {
        const QImage* bitmap = Items[i]->FullBitmap.get();
        if (!bitmap)
            continue;
        held += uint64_t(bitmap->sizeInBytes());
        if (i > 0 && held > MaxBytesInMemory) {
            dropFrom(int32_t(i));
            break;
        }
    }
    // Freed bitmaps return their memory at once: measured again without a pause.
    while (AvailableMemory() < 10000000 && MaxInMemory > 2) {
        --MaxInMemory;
        dropFrom(MaxInMemory);
    }
    MaxInMemory = std::max(8, MaxInMemory);
}

void TBildmanager::ReduceMemory()
{
    if (MaxInMemory <= 3)
        return;
    MaxInMemory = int32_t(Trunc(MaxInMemory * 9.0 / 10.0));
    TrimMemory();
}

TBildmanager& BildManager()
{
    static TBildmanager manager;
    static const TStaticCleanup cleanup([] { manager.Clear(); });
    return manager;
}
