#pragma once
// The picture frame, showing a cropped, zoomed and panned part of a picture
// held by the picture manager, and the link through which several frames show
// one picture together.
#include "uFotobuchDocument.h"

#include <QImage>

class TBildmanager;

// A frame showing a cropped, zoomed and panned part of a managed picture.
class TFBPictureElement : public TFBElement {
public:
    LUMI_CLASSNAME(TFBPictureElement)
    explicit TFBPictureElement(TFBPage* APage);
    ~TFBPictureElement() override;

    void Draw(TDrawContext& DC, uint8_t Mode) override;
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;
    void LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section) override;

    bool HasPicture() const { return RefIndex != -1; }
    // Counts a reference to Value and releases the old one; linked frames are not updated.
    void SetRefIndex(int32_t Value);
    void SetZoom(float Value);     // kept within 1..4
    void SetOffsetX(float Value);  // kept within 0..1
    void SetOffsetY(float Value);  // kept within 0..1
    void SetBorderWidth(float Value);
    void SetBorderColor(TColor Value);
    void LoadPictureFromFile(const QString& FileName);
    void FillWithColor(TColor Color);
    void ClearPicture();
    void AssignPicture(const TFBPictureElement& Source);
    void SwapPicture(TFBPictureElement& Other);
    // 0 a quarter turn clockwise, 1 a half turn, 2 a quarter turn anticlockwise.
    void RotatePicture(int Direction);
    QImage* GetBitmap() const;  // full resolution; null for an empty frame
    // The part of the picture the frame shows, in pixels of the Mode's bitmap.
    void GetSourceRect(uint8_t Mode, TRect& Rect) const;
    int GetResolutionDpi() const;
    int GetPictureAngle() const;
    TFBPictureElement* GetNextPictureElement() const;
    // The filter dialogs on the frame's own copy of its picture; false for an
    // empty frame or when the dialog is cancelled.
    bool ShowHKIGDlg();
    bool ShowHSLDlg();
    bool ShowRedEyeDlg();
    bool ShowSWColDlg();

    bool CanZoomAndTrack = false;
    TFBPictureLink* Link = nullptr;  // not owned
    float BorderWidth = 0;
    TColor BorderColor = 0;
    float Zoom = 1.0f;
    float OffsetY = 0.5f;
    float OffsetX = 0.5f;
    int32_t RefIndex = -1;

private:
    void UpdateLink();
    bool RunFilterDialog(bool (TBildmanager::*Dialog)(int32_t&, int));
    void DrawBorder(TDrawContext& DC);
    void SavePictureKeys(TCustomDataFile& DataFile, const AnsiString& Section) const;
    // The frame's own keys, shared by the document and the clipboard.
    void LoadPictureKeys(TCustomDataFile& DataFile, const AnsiString& Section);
};

// Frames that show one picture together (a panorama across a spread).
class TFBPictureLink : public TObject {
public:
    LUMI_CLASSNAME(TFBPictureLink)
    explicit TFBPictureLink(TFBDocument* ADocument);
    ~TFBPictureLink() override;  // unlinks its members
    TFBPictureLink(const TFBPictureLink&) = delete;
    TFBPictureLink& operator=(const TFBPictureLink&) = delete;

    void AddElement(TFBPictureElement* Element);
    int Count() const { return int(Elements.size()); }
    int GetCount() const { return Count(); }
    TFBPictureElement* GetItem(int Index) const;
    void Clear();
    // The united rectangles of all members, in the page coordinates of Element's page.
    void GetLinkedRect(const TFBPictureElement* Element, TRectF& Rect) const;
    void UpdateLinkedElements(const TFBPictureElement* Source);
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section,
                          int64_t* CountBudget = nullptr);
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const;

    std::vector<TFBPictureElement*> Elements;  // not owned
    TFBDocument* Document;

private:
    friend class TFBPictureElement;
    void RemoveElement(TFBPictureElement* Element);
};
