#pragma once
// Objects that sit in a text as one character: the object base with its
// persistent stream format, pictures, horizontal rules, computed fields and
// tag fields; object classes by name and by file extension.
#include "Classes.h"
#include "Graphics.h"
#include "Metafile.h"
#include "RtDefs.h"
#include "RtObjBase.h"

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TCanvas;

using TRtTextObjectLoadStreamEvent =
    std::function<void(TObject* Sender, const AnsiString& Name, TRtOCurrState State, bool& Done)>;

// One published property value as the binary component format holds it.
struct TRtPropValue {
    enum TType : uint8_t { vtInt, vtString, vtBool, vtIdent, vtSet } Type = vtInt;
    int64_t Int = 0;
    AnsiString Str;
    std::vector<AnsiString> Items;
};

// Writes published properties in the class library's binary component format.
class TRtPropWriter {
public:
    explicit TRtPropWriter(TStream& Stream) : S(Stream) {}
    void Int(const char* Name, int64_t Value);
    void Str(const char* Name, const AnsiString& Value);
    void Bool(const char* Name, bool Value);
    void Ident(const char* Name, const char* Value);
    void Set(const char* Name, const std::vector<AnsiString>& Items);
    void ShortString(const AnsiString& Value);

private:
    void Name(const char* Name) { ShortString(Name); }
    TStream& S;
};

class TRtObject;
class QWidget;

// The dialogs an object opens. The store has no windows: the edit control
// puts Qt's in (and tests their answers).
struct TRtObjectDialogs {
    // Shows the object's published properties for editing; True when confirmed.
    std::function<bool(TRtObject& Obj)> Properties;
    // An input box with a caption, a prompt and a value; False when cancelled.
    std::function<bool(const QString& Caption, const QString& Prompt, QString& Value)> InputQuery;
};
TRtObjectDialogs& RtObjectDialogs();

class TRtObject : public TRtObjectBase {
public:
    LUMI_CLASSNAME(TRtObject)
    TRtObject();
    ~TRtObject() override;

    // ---- published properties ----
    bool UsePageWidth = false;
    int32_t GetWidthTW() const;
    void SetWidthTW(int32_t Value);
    int32_t GetHeightTW() const { return heightTW_; }
    void SetHeightTW(int32_t Value);
    AnsiString ObjNameValue;
    int32_t ObjTag = 0;
    TRtObjectWriteRTFMode WriteRTFMode = wobOnlyStandard;
    AnsiString StreamName;
    AnsiString Extra;

    AnsiString ObjName() const override { return ObjNameValue; }

    // ---- operations ----
    // CanSelect, GetHotSpot and GetDataName are kept as overridable operations
    // of object classes; nothing in the editor calls them yet.
    virtual void Changed(int32_t Arg);
    void Changed() override { Changed(0); }
    virtual void CanSelect(bool& Allowed) { Allowed = true; }
    virtual void BeginRead() {}
    virtual void BeginWrite() {}
    virtual void EndWrite() {}
    virtual void GetCaption(AnsiString& S) { S = caption_; }
    virtual void SetCaption(const AnsiString& S) { caption_ = S; }
    virtual std::unique_ptr<TRtObject> Clone(TObject* NewOwner);
    virtual int32_t GetHotSpot(int16_t& A, int16_t& B)
    {
        A = B = 0;
        return 0;
    }
    // The property dialog for the object (no painting meanwhile); True.
    virtual bool ShowProperties();
    // Asks for a new caption ("Caption", "?", the caption as it is); kept on OK.
    virtual void EditCaption();
    // The window an object's control lives in. The objects of this program host no window
    // controls; a class that does returns its control from GetControl.
    virtual void SetParentWindow(QWidget* Parent) { parentWindow_ = Parent; }
    QWidget* ParentWindow() const { return parentWindow_; }
    // A window control of the object's own (none here). It carries the object
    // in its "Tag" property; the rich text hands its mouse on as the object's.
    virtual QWidget* GetControl() { return nullptr; }
    // Puts the control over the object's place in the window (ObjRect, window pixels);
    // Ref is the object's reference in the text, Canvas the text's painting canvas.
    virtual void PlaceControl(TTextObj* Ref, TCanvas* Canvas);
    // Shown as under the mouse (the edit control sets it while the mouse is over the object).
    bool HotFlag() const { return hot_; }
    void SetHotFlag() { hot_ = true; }
    virtual void ClearHotFlag() { hot_ = false; }
    // The published properties by name, in the order they are written, and
    // changing one (as read from a stream; the object repaints).
    std::vector<std::pair<AnsiString, TRtPropValue>> PublishedProperties();
    void SetPublishedProperty(const AnsiString& Name, const TRtPropValue& Value);
    // The object as RTF's standard picture: the words after "\pict" that give
    // the kind and the picture's own size, and the picture's bytes; false
    // when the object has no such form.
    virtual bool GetRTFPicture(AnsiString& Words, QByteArray& Data) { return false; }
    virtual void PrepareHTML(const QString& Folder) {}
    virtual void WriteHTML(TStream* Stream) {}
    // The object drawn into a 24-bit bitmap of its size at 96 dots per inch.
    virtual QImage GetBitmapHandle();
    virtual void PaintTo(TCanvas* Canvas, const TRect& R);
    virtual void WriteProperties(TStream* Stream);
    virtual bool ReadProperties(TStream* Stream);
    virtual void SetText(const AnsiString& S) { SetCaption(S); }
    virtual void ReadData(TStream* Stream) {}
    virtual void WriteData(TStream* Stream) {}
    virtual void GetDataName(AnsiString& S) { S.clear(); }
    virtual void GetDataType(AnsiString& S) { S = "???"; }
    virtual void SaveToFile(const QString& FileName);
    virtual void LoadFromFile(const QString& FileName);
    virtual void DblClick();
    virtual void Click();
    void Deactivate() override { active_ = false; }
    void Select(bool Value) override;

    void WriteToStream(TStream* Stream);
    void ReadFromStream(TStream* Stream);
    void EnsureLoaded();
    bool GetActive() const { return active_; }
    void SetActive(bool Value) { active_ = Value; }
    void SetUseTextFont(bool Value) { UseTextFont = Value; }  // kept: published property setter
    void SetUseTextColor(bool Value) { UseTextColor = Value; }
    void ClearSizeSet() { sizeSet_ = false; }
    bool Loaded() const { return LoadedMark; }
    const AnsiString& DataType() const { return dataType_; }

    TFont Font;
    bool UseTextFont = false;
    bool UseTextColor = false;
    TColor Color = clWindow;
    TRtTextObjectLoadStreamEvent OnLoadStream;
    // The property dialog was confirmed: the owner may check the new values.
    std::function<void(TRtObject* Sender)> OnCheckProperties;
    std::function<void(TRtObject* Sender, int32_t Arg)> OnChange;

protected:
    // The published properties, each class adding its own after its base's.
    virtual void WriteProps(TRtPropWriter& W);
    virtual void ReadProp(const AnsiString& Name, const TRtPropValue& Value);
    int32_t widthTW_ = 1440;
    int32_t heightTW_ = 720;
    bool sizeSet_ = false;
    bool active_ = false;
    bool busy_ = false;
    bool preparing_ = false;
    AnsiString dataType_;
    AnsiString caption_;
    QWidget* parentWindow_ = nullptr;
    bool hot_ = false;
};

// A picture: its file bytes are the object's data; metafiles (WMF, EMF) are
// played, every other format is drawn through QImage.
class TRtOImageObject : public TRtObject {
public:
    LUMI_CLASSNAME(TRtOImageObject)
    virtual const QImage* GetPicture() const { return image_.isNull() ? nullptr : &image_; }
    // Takes picture bytes of the given type ("PNG", "JPG", "BMP", "WMF", ...).
    virtual void SetPicture(const QByteArray& Bytes, const AnsiString& Type);
    virtual QString GetImageFileName() const { return imageFileName_; }
    int32_t GetNaturalWidth() override;
    int32_t GetNaturalHeight() override;
    void ReadData(TStream* Stream) override;
    void WriteData(TStream* Stream) override;
    void GetDataType(AnsiString& S) override { S = dataType_.empty() ? AnsiString("???") : dataType_; }
    void PaintTo(TCanvas* Canvas, const TRect& R) override;
    bool GetRTFPicture(AnsiString& Words, QByteArray& Data) override;
    void PrepareHTML(const QString& Folder) override;
    QImage GetBitmapHandle() override;
    bool IsMetafile() const;
    // The metafile of a WMF or EMF picture (empty for other kinds or damaged bytes).
    const TMetafile& Metafile() const { return metafile_; }
    // The metafile as last shown on a screen or in a picture: played once per size.
    const QImage& Shown() const { return shown_; }
    // Larger than this many device pixels only the part of the metafile that lies on
    // the device is played and kept, once per size and part.
    static constexpr int64_t MaxShownPixels = 8 * 1024 * 1024;

private:
    void PaintMetafile(QPainter& Painter, const QRectF& Dest);
    QByteArray bytes_;
    QImage image_;
    TMetafile metafile_;
    QImage shown_;
    QSize shownSize_;   // the whole picture's size in device pixels ...
    QRect shownPart_;   // ... and the part of it that shown_ holds
    QString imageFileName_;
};

// A horizontal rule across the page width.
class TRtOHorzLine : public TRtObject {
public:
    LUMI_CLASSNAME(TRtOHorzLine)
    TRtOHorzLine();
    int32_t GetNaturalHeight() override { return 10; }
    void PaintTo(TCanvas* Canvas, const TRect& R) override;
    void WriteHTML(TStream* Stream) override;
};

// A field whose text the owning text computes (page numbers, dates, ...).
class TRtObjectField : public TRtObject {
public:
    LUMI_CLASSNAME(TRtObjectField)
    virtual void GetFieldText(bool Measuring, AnsiString& Text);
    int32_t GetNaturalWidth() override;
    int32_t GetNaturalHeight() override;

    AnsiString FieldName;
    AnsiString FieldMask;
    bool PageDependent = false;

protected:
    void WriteProps(TRtPropWriter& W) override;
    void ReadProp(const AnsiString& Name, const TRtPropValue& Value) override;
};

// A mail-merge code shown as its tag in a box.
class TRtTagField : public TRtObjectField {
public:
    LUMI_CLASSNAME(TRtTagField)
    TRtTagField();
    virtual void SetCode(const AnsiString& S) { code_ = S; }
    virtual void SetTag(const AnsiString& S) { tag_ = S; }
    virtual AnsiString GetCode() const { return code_; }
    virtual AnsiString GetTag() const { return tag_; }
    void GetFieldText(bool Measuring, AnsiString& Text) override;
    void WriteHTML(TStream* Stream) override;

    TRtObjectFieldFrameOpt BoxOpt{rtfoCornersLeft, rtfoCornersRight, rtfoBackColor, rtfoFrameColor};
    // The box's background and frame colours (by BoxOpt), and whether the box is shown.
    TColor BackColor = clBtnFace;
    TColor FrameColor = 0;
    bool ShowFrame = true;

protected:
    void WriteProps(TRtPropWriter& W) override;
    void ReadProp(const AnsiString& Name, const TRtPropValue& Value) override;

private:
    AnsiString code_;
    AnsiString tag_;
};

// The text of a field by its name; the owning text's event is asked first.
AnsiString GetDefaultFieldText(TRtObjectField* Field, bool Measuring);
extern AnsiString (*RtFieldTextProc)(TRtObjectField* Field, bool Measuring);

std::unique_ptr<TRtObject> CreateRtObjectByClassName(const AnsiString& ClassName);

// Field object classes by field name (compared without regard to case); the
// fields whose text GetDefaultFieldText gives are registered from the start.
using TRtFieldFactory = std::function<std::unique_ptr<TRtObjectField>()>;
void RegisterRtFieldClass(const AnsiString& FieldName, TRtFieldFactory Factory);
// A field object named FieldName; null when no class is registered for the name.
std::unique_ptr<TRtObjectField> CreateRtFieldObject(const AnsiString& FieldName);
// Reads one object record; nil for a damaged or unknown record.
std::unique_ptr<TRtObject> ReadRtObjectFromStream(TRtRTFText* Text, TStream* Stream, int32_t& Height,
                                                  int32_t& Width, AnsiString& Name, int32_t& Tag);
// Entries "extension=class name"; the last matching entry counts.
extern TStringList RtObjectClassesForExt;
AnsiString GetRtObjectClassForExt(const AnsiString& Ext);
std::unique_ptr<TRtObject> CreateRtObjectForExt(const AnsiString& Ext);
std::unique_ptr<TRtObject> CreateRtObjectForFile(const QString& FileName, bool LinkOnly);
// Called by the RTF reader after it has read an object.
inline void AfterObjectRead(TRtObject*) {}
// Data is written with the object even when it is linked.
extern bool RtStoreLinkedData;
// The image-creation hook of a picture's HTML preparation: given the object,
// the folder and the picture as a bitmap, it may write the file itself (Done)
// and name it (FileName).
using TRtHTMLCreateImageHook = std::function<void(TRtOImageObject* Obj, const QString& Folder, QString& FileName,
                                                  bool& Done, const QImage& Bitmap)>;
extern TRtHTMLCreateImageHook RtHTMLCreateImageHook;
