#pragma once
// The picture manager: every picture of the open document once, as encoded
// bytes, a decoded bitmap held under a memory budget, and a small preview.
#include "AnsiString.h"
#include "Classes.h"
#include "DateTime.h"
#include "Object.h"

#include <QImage>
#include <QString>
#include <functional>
#include <future>
#include <memory>
#include <vector>

class QWidget;
class TCustomDataFile;
class TBildmanager;
class TDlgFilterBase;

class TBildManagerListItem : public TObject {
public:
    LUMI_CLASSNAME(TBildManagerListItem)
    explicit TBildManagerListItem(TBildmanager& Owner) : owner_(Owner) {}

    int32_t RefCount = 0;
    int32_t RefIndex = -1;
    QString FileName;   // empty for generated pictures
    int32_t Age = 0;
    int32_t FileSize = 0;
    TDateTime FileDate = 0;
    int32_t PicHeight = 0;
    int32_t PicWidth = 0;
    std::unique_ptr<QImage> FullBitmap;        // decoded, or null
    std::unique_ptr<QImage> PreviewBitmap;     // small preview, or null
    bool PreviewFromTemporary = false;
    // The bytes hold no picture that can be decoded: they are not tried again.
    bool Undecodable = false;

    // The encoded picture; an encoding still under way is finished first.
    TMemoryStream& Bytes();
    const TMemoryStream& Bytes() const;

    // False when the file does not exist (the entry stays empty). A picture
    // is stored upright: the orientation a camera records is applied to its
    // pixels. Raises "Bild %s konnte nicht geladen werden." for a file that
    // holds no picture.
    bool LoadFromFile(const QString& AFileName);
    bool IsSamePicture(const TBildManagerListItem& Other) const;
    // Decodes the bytes as stored into FullBitmap, reducing pictures above
    // 3,873,488 pixels. Raises "Bild %s konnte nicht geladen werden." once for
    // a picture too large to ever be decoded, and after three retries for
    // one that does not fit the free memory.
    void LoadGPBitmap();
    // One decode as LoadGPBitmap, safe on any thread for distinct items: no
    // retry, no message; false leaves the entry as it was.
    bool TryLoadGPBitmap();
    void MakePreview();
    // Encodes FullBitmap into new bytes: PNG with alpha, else JPEG of quality
    // 90, on a thread of its own (Bytes() has them when asked for); the sizes
    // and the preview follow the bitmap at once.
    void SaveGPBitmapToStream();
    bool RemoveGPBitmap();
    std::unique_ptr<TBildManagerListItem> Clone() const;
    // An encoding that has ended replaces the bytes now, so that the old ones
    // (a camera file's, say) are not held until someone asks for them.
    void TakeFinishedEncoding();
    // Whether new bytes are still to be taken from an encoding.
    bool EncodingPending() const { return encoding_.valid(); }

    void SaveFull(TCustomDataFile& DataFile, const AnsiString& Section) const;
    void LoadFull(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveCopy(TCustomDataFile& DataFile, const AnsiString& Section) const;
    void LoadCopy(TCustomDataFile& DataFile, const AnsiString& Section);

private:
    // Once: a failed decode changes nothing and is not retried.
    void Decode(bool Upright, bool Once);
    void FinishEncoding() const;
    void SaveCommon(TCustomDataFile& DataFile, const AnsiString& Section, bool Full) const;
    void LoadCommon(TCustomDataFile& DataFile, const AnsiString& Section, bool Full);
    TBildmanager& owner_;
    mutable TMemoryStream bytes_;
    mutable std::future<QByteArray> encoding_;
};

class TBildmanager : public TObject {
public:
    LUMI_CLASSNAME(TBildmanager)
    TBildmanager();
    ~TBildmanager() override;

    // How many decoded bitmaps a machine with this much memory keeps.
    static int32_t MaxInMemoryFor(uint64_t TotalPhysicalBytes);
    // How many bytes of decoded bitmaps it keeps at most.
    static uint64_t MaxBytesInMemoryFor(uint64_t TotalPhysicalBytes);

    void Clear();
    // Raises "Bild %s konnte nicht geladen werden." for a file that holds no
    // picture; nothing is added then.
    int32_t AddFile(const QString& FileName);
    // Raises the same message when FileName names no file (gone since it was
    // listed): a picture the user adds must not become an empty entry.
    static void CheckFileExists(const QString& FileName);
    // Takes over the bitmap (plain colour areas); returns the new reference index.
    int32_t AddBitmap(std::unique_ptr<QImage> Bitmap);
    void IncRefCount(int32_t RefIndex);
    void Release(int32_t RefIndex);
    // Copy on write before a picture changes: the index to change.
    int32_t MakePrivate(int32_t RefIndex);
    QImage* GetFullBitmap(int32_t RefIndex);
    QImage* GetPreviewBitmap(int32_t RefIndex);
    // Makes the previews GetPreviewBitmap would make for these pictures, on
    // every core; unknown numbers are skipped.
    void PreparePreviews(const std::vector<int32_t>& RefIndexes);
    // These pictures, as many as the memory rules keep, become the most
    // recently used; those not decoded yet are decoded on every core.
    void PrepareFullBitmaps(const std::vector<int32_t>& RefIndexes);
    int32_t GetNextRefIndex() const;
    // 0 a quarter turn clockwise, 1 a half turn, 2 a quarter turn anticlockwise.
    void RotatePicture(int32_t RefIndex, int Direction);

    // The filter dialogs on a picture shown turned by Angle (a multiple of 90):
    // brightness/contrast/intensity/gamma, hue/saturation/lightness, red eyes,
    // black-and-white/tint. On OK the filtered picture replaces the held one,
    // in a copy of its own when others share it (RefIndex then names the
    // copy); the answer is whether OK was chosen.
    bool ShowHKIGDlg(int32_t& RefIndex, int Angle);
    bool ShowHSLDlg(int32_t& RefIndex, int Angle);
    bool ShowRedEyeDlg(int32_t& RefIndex, int Angle);
    bool ShowSWColDlg(int32_t& RefIndex, int Angle);

    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveItemToDataFile(TCustomDataFile& DataFile, const AnsiString& Section, int32_t RefIndex);
    int32_t AddItemFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveItemCopy(TCustomDataFile& DataFile, const AnsiString& Section, int32_t RefIndex);
    int32_t AddCopyFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);

    void TrimMemory();
    void ReduceMemory();

    TBildManagerListItem* FindItem(int32_t RefIndex) const;
    int Count() const { return int(Items.size()); }

    int32_t MaxInMemory = 10;
    uint64_t MaxBytesInMemory = uint64_t(384) << 20;
    std::vector<std::unique_ptr<TBildManagerListItem>> Items;  // most recently used first

    // Seam: the free memory figure.
    std::function<uint64_t()> AvailableMemory;

private:
    int IndexOf(int32_t RefIndex) const;
    bool RunSliderDialog(TDlgFilterBase* Dialog, int32_t& RefIndex, int Angle, const QString& Prefix);
    void ReplaceBitmap(int32_t& RefIndex, std::unique_ptr<QImage> Bitmap, const QString& Prefix);
};

TBildmanager& BildManager();
