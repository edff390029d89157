#pragma once
// TRtObjectEnv: connects an input engine with its embedded objects. It
// inserts objects into the text at the cursor, wraps plain pictures as
// objects, finds, removes and re-measures objects, and places, shows and
// hides the sizing frame over the selected object.
#include "RtList.h"
#include "RtObject.h"

#include <QImage>

#include <functional>
#include <memory>
#include <vector>

class TRtRTFTextInput;
class TRtFrameObject;
class QWidget;

// What InsertObjectEx takes: an object of the text, or a plain picture that
// becomes one (a bitmap, or a metafile's bytes).
struct TRtGraphic {
    enum TKind : uint8_t { gkNone, gkBitmap, gkMetafile } Kind = gkNone;
    QImage Bitmap;
    QByteArray Metafile;    // the file's bytes
    int32_t MetaWidth = 0;  // the metafile's size in pixels
    int32_t MetaHeight = 0;
    int32_t MetaInch = 0;   // units per inch; 0 = none
};

class TRtObjectEnv : public TObject {
public:
    LUMI_CLASSNAME(TRtObjectEnv)
    // Parent: the edit control's window the frame lives in (none headless).
    explicit TRtObjectEnv(TRtRTFTextInput* Engine, QWidget* Parent = nullptr);
    ~TRtObjectEnv() override;

    // Inserting. The object passes to the text; the result is its reference
    // (null when nothing was inserted; the object is then freed).
    TTextObj* InsertObject(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName);
    TTextObj* InsertObjectSized(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName,
                                const AnsiString& StreamName, int32_t ObjTag, int32_t Width, int32_t Height);
    TTextObj* InsertObjectEx(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName,
                             const AnsiString& StreamName, int32_t ObjTag);
    // A plain picture wrapped as an object first.
    TTextObj* InsertGraphic(const TRtGraphic& Graphic, const AnsiString& ObjName, const AnsiString& StreamName,
                            int32_t ObjTag);
    std::unique_ptr<TRtObject> WrapGraphicAsObject(const TRtGraphic& Graphic);

    // Reference characters.
    int32_t FindObjectChar(int32_t Id, TParagraph* Par);
    int32_t RemoveObjectChar(int32_t Id, TParagraph* Par);
    void InsertObjectChar(TParagraph* Par, int32_t Id, int32_t Pos, bool First, bool Second);
    TTextObj* ObjectByIndex(int32_t Index);
    // Moves an object's reference character to the cursor; False when it stays.
    bool MoveObjectToCursor(TTextObj* Entry);

    void RefreshObjects(TRtObject* Obj);
    TTextObj* FindObjectAt(int32_t X, int32_t Y);
    void DeleteSelectedObject();
    void DeleteObject(TTextObj* Entry);
    void RemoveObject(TTextObj* Entry);
    TRtObject* GetSelectedObject();
    void SelectObject(TTextObj* Entry);
    void HideFrame();
    void ReselectObject();
    void PlaceFrame();
    // Moves a shown frame with the scrolled text (window pixels).
    void ScrollFrame(int32_t Dy, int32_t Dx);
    // Applies a new size in twips to the object and its reference.
    void ApplySize(TTextObj* Entry, int32_t WidthTW, int32_t HeightTW);

    TRtRTFTextInput* Engine;
    std::unique_ptr<TRtFrameObject> Frame;
    std::vector<TTextObj*> Objects;
    bool Refreshing = false;
    bool NoRecalc = false;
    bool FrameShown = false;
    bool SizeGiven = false;
    int32_t WantWidth = 0, WantHeight = 0;
    std::function<bool()> BeforeInsert;
    bool Moved = false;          // a handle drag moved the left or top edge
    bool MovingPositioned = false;
    // The reference kind and placement of new references.
    uint8_t DefaultKind = 0;
    uint8_t DefaultPlaceMode = 0;
    uint8_t DefaultWrapMode = 0;
    // Frame border, pixels.
    static constexpr int32_t FrameBorder = 4;

private:
    // The steps of InsertObjectEx.
    // A picture of the same name takes the new picture in place; the result is its reference (null: none).
    TTextObj* ReplacePictureOfName(const AnsiString& Name, TRtObject* Obj);
    // The engine's size fields, when a caller has set them, stand for a given size of a picture.
    void TakeSizeFromEngine(const TRtObject* Obj);
    // The given size (twips; -1 on one side keeps the aspect ratio).
    void ApplyGivenSize(TRtObject* Obj) const;
    // Pictures larger than the printable area shrink into it, aspect ratio kept.
    void FitIntoPrintableArea(int32_t& Width, int32_t& Height) const;
    // Types the object's reference character at the cursor, sized from the reference.
    void InsertReferenceChar(const TTextObj* Ref);
};
