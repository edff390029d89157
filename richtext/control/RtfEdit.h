#pragma once
// TRtCustomRtfEdit: the windowed control that shows and edits one rich text.
// A scroll area whose viewport shows the engine's surface with the caret on
// top; it forwards keys, characters (also from input methods), the mouse,
// scrolling, dropped files and the clipboard to its engine, and wires the
// engine's callbacks back to itself.
#include "RtCaret.h"
#include "RtObjectEnv.h"
#include "RtPrint.h"
#include "RtRtfTxtInput.h"

#include <QAbstractScrollArea>
#include <QPoint>

#include <optional>
#include <string_view>

#include <exception>
#include <memory>
#include <vector>

class QKeyEvent;
class QMimeData;

enum TRtClipboardOption : uint8_t {
    rtcoDontPasteRTF, rtcoDontPasteANSI, rtcoPasteHTMLWhenAvailable, rtcoDontPasteGraphics, rtcoDontCopyRTF,
    rtcoDontCopyANSI, rtcoPreserveBorders, rtcoPreserveShading, rtcoPreserveIndents, rtcoDontAutoAppendSpace
};
using TRtClipboardOptions = TRtSet<TRtClipboardOption, uint16_t>;

// The MIME types of the clipboard formats: RTF under the names other Linux
// programs use (the first is offered and read first), plain text as UTF-8.
extern const char* const RtMimeRtf;        // "text/rtf"
extern const char* const RtMimeRichText;   // "text/richtext"
extern const char* const RtMimeText;       // "text/plain;charset=utf-8"

using TEditStateEvent = std::function<void(TObject* Sender, bool SelectionMarked, bool ClipboardNotEmpty)>;
using TBeforeCopyEvent = std::function<void(TObject* Sender, bool& DoIt)>;
using TRtOnDropFileEvent = std::function<void(TObject* Sender, const QString& FileName, bool& Proceed)>;
using TRtKeyEvent = std::function<void(TObject* Sender, int32_t& Key, Qt::KeyboardModifiers Shift)>;
using TRtKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
// Dragging over the control (Source: where the drag came from, none from
// another program); Accept holds the control's answer and may be changed.
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
using TDragOverEvent =
    std::function<void(TObject* Sender, QObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, QObject* Source, int32_t X, int32_t Y)>;
// A drag that started here ended (Target: the widget dropped on, none when cancelled or elsewhere).
using TEndDragEvent = std::function<void(TObject* Sender, QObject* Target, int32_t X, int32_t Y)>;
using TRtMouseEvent = std::function<void(TObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                         int32_t X, int32_t Y)>;
using THyperLinkEvent = std::function<void(TObject* Sender, const AnsiString& Text, int32_t LineNumber)>;
// The word under the right button: its text and attributes may be changed by the handler.
using TMouseDownRightEvent = std::function<void(TObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                                int32_t X, int32_t Y, int32_t Pos, int32_t Len, AnsiString& Text,
                                                TAttr& Attr)>;
using TTextObjectMouseEvent = std::function<void(TObject* Sender, TTextObj* Entry, TRtObjectBase* Obj,
                                                 Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X,
                                                 int32_t Y)>;
using TTextObjectClickEvent = std::function<void(TObject* Sender, TTextObj* Entry, TRtObjectBase* Obj, bool& Ignore)>;
using TTextObjectNotifyEvent = std::function<void(TObject* Sender, TTextObj* Entry, TRtObjectBase* Obj, bool Current)>;

// The posted messages of the control.
constexpr int RtEventChange = 1024 + 5;      // the engine's change notification
constexpr int RtEventAutoZoom = 1024 + 6;    // the automatic zoom after a resize
constexpr int RtEventTypeAhead = 1024 + 7;   // inserts the characters typed ahead

class TRtCustomRtfEdit : public QAbstractScrollArea, public TRtCustomRtfEditClass {
    Q_OBJECT
public:
    explicit TRtCustomRtfEdit(QWidget* Parent = nullptr);
    ~TRtCustomRtfEdit() override;

    // ---- the engine's owner ----------------------------------------------------------------------
    bool IsLoading() const override { return Loading; }
    bool IsDestroying() const override { return destroying_; }
    bool HasWindow() const override { return true; }
    TProtectProp ProtectedProp() const override { return engine_->ProtectOptions; }
    TRtEditOptions EditOptions() const override { return engine_->EditOptions; }
    TRtViewOptions ViewOptions() const override { return engine_->ViewOptions; }
    void ObjectResized() override { RefreshView(); }
    void Invalidate() override { RepaintChanged(); }
    bool Focused() const override { return hasFocus(); }
    AnsiString Name() const override { return toAnsi(objectName()); }

    TRtRTFTextInput* RtfText() const { return engine_.get(); }
    TRtObjectEnv* ObjectEnv() const { return objectEnv_.get(); }
    TCaret* Caret() const { return caret_.get(); }
    TRtRtfStrings* Lines() const { return strings_.get(); }
    static const std::vector<TRtCustomRtfEdit*>& Controls();

    // ---- properties ----------------------------------------------------------------------------------
    void SetEditOptions(TRtEditOptions Value) { engine_->EditOptions = Value; }
    bool ReadOnly = false;
    bool WantTabs = true;
    bool AcceptFiles = false;
    bool DragAndDropSupport = true;
    bool OneClickHyperlink = false;
    bool NoBlockMarking = false;
    bool CaretDisabled = false;
    bool SelectAllOnEntry = false;
    TRtClipboardOptions ClipboardOptions;
    TRtEditBoxModes EditBoxModes() const { return engine_->EditBoxModes; }
    // The box modes: the control grows with its text, refuses text that does not fit or passes it on.
    void SetEditBoxModes(TRtEditBoxModes Value);
    TRtAutoZoom AutoZoom() const { return autoZoom_; }
    virtual void SetAutoZoom(TRtAutoZoom Value);
    bool WordWrap() const { return engine_->WrapAtWindow; }
    void SetWordWrap(bool Value);
    int32_t Zooming() const { return engine_->Zooming; }
    // Clamped to 10..1000 per cent.
    virtual void SetZooming(int32_t Value);
    // The text's characters scaled (per cent, 100 at creation; below 1 ignored).
    int32_t Resizing() const { return engine_->Resizing; }
    virtual void SetResizing(int32_t Value);
    int32_t XOffset = 0, YOffset = 0;
    // The layout view: the engine's layout flag word of the mode; rtlayLayout and rtlayFullLayout
    // show the pages with their margins and the gaps between them.
    TRtLayoutMode LayoutMode() const { return layoutMode_; }
    void SetLayoutMode(TRtLayoutMode Value);
    // How pictures are written into RTF.
    TRtWriteBitmapMode WriteBitmapMode = wbmDIBBitmap;
    // Type-ahead (off unless switched on): characters typed while the control
    // is busy are kept, up to 10, and inserted together in the order typed.
    bool TypeAhead = false;
    static constexpr size_t MaxTypeAhead = 10;
    bool Loading = false;
    int32_t PaintLock = 0;
    // The most characters the text may hold (paragraph ends count 2); 0: no limit.
    int32_t MaxLength() const { return engine_->MaxTextLength; }
    void SetMaxLength(int32_t Value) { engine_->MaxTextLength = std::max(0, Value); }

    // ---- background ----------------------------------------------------------------------------
    // The text's background picture, tiled behind the text at its own pixel
    // size; kept with the text (its RTF carries it) and taken from a loaded text.
    QImage BackgroundImage() const { return backgroundImage_; }
    void SetBackgroundImage(const QImage& Picture);
    // True: the picture scrolls with the text; false: it stays where it is.
    bool BackgroundScrolling() const { return engine_->BackgroundScrolling; }
    void SetBackgroundScrolling(bool Value);
    // The parent's painting shows through where the text has no colour of its own.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool Value);
    // False (and the picture unchanged) when the file is no picture; False when nothing could be saved.
    bool BackgroundLoadFromFile(const QString& FileName);
    bool BackgroundSaveToFile(const QString& FileName) const;

    // ---- printing --------------------------------------------------------------------------------
    TRtCustomRtfEditPrint& Printing() const { return *print_; }
    TRtPrinterEngine& PrintParameter() const { return print_->PrintParameter(); }
    TRtPaperDefinitionCollection& PaperDefs() const { return print_->PaperDefs(); }
    // Pages FromPage..ToPage (1-based; 0 from the first, 0 to the last) on the selected printer.
    void PrintText(int32_t FromPage, int32_t ToPage) { print_->PrintText(FromPage, ToPage); }

    // ---- editing ---------------------------------------------------------------------------------
    virtual bool BeginChange();
    virtual void EndChange();
    virtual void CopyToClipboard() { Copy(false); }
    virtual void CutToClipboard();
    virtual void PasteFromClipboard();
    virtual void ClearSelection();
    virtual void Undo();
    virtual void Redo();
    void SelectAll();
    bool Modified() const { return modified_; }
    void SetModified(bool Value);
    // The whole text (or the selection when SelectionOnlyText) in TextSaveFormat.
    AnsiString GetTextAsString();
    void SetTextAsString(const AnsiString& Text);
    // Replaces the text, read as "AUTO" (RTF or plain text by its bytes).
    void SetText(const AnsiString& Text);
    bool SelectionOnlyText = false;
    virtual void SaveToStream(TStream* Stream);
    virtual void LoadFromStream(TStream* Stream, const AnsiString& FormatName);
    // Inserts a string at the cursor as typed text.
    void InsertString(const AnsiString& Text);
    // Copy and paste through any MIME data (the clipboard and drops).
    QMimeData* CreateMimeData(bool WholeText);
    // Moving: the data is the control's own text moved elsewhere in it (its
    // pictures are kept whatever rtcoDontPasteGraphics says).
    bool InsertMimeData(const QMimeData* Data, bool Moving = false);
    // Inserts a picture at the cursor as an image object (PNG data).
    bool InsertPicture(const QImage& Picture);
    // Loads a dropped file at the cursor: RTF, HTM(L) and TXT files as text, others as pictures.
    bool InsertFile(const QString& FileName);
    // A drop at a window point: the first of dropped files, or text (moved when it comes from here).
    bool DropData(const QMimeData* Data, QPoint Point, bool FromSelf);
    // Moves the selected text to a point (layout units), as a drop of it there does.
    bool MoveSelectionTo(int32_t X, int32_t Y);
    void RefreshView();
    // Takes another control's display switches, header and footer printing and whole text.
    void Assign(TRtCustomRtfEdit& Source);

    // ---- events -------------------------------------------------------------------------------------
    TNotifyEvent OnChange;
    TNotifyEvent OnChangeZooming;
    TNotifyEvent OnChangeModified;
    // A change begins that the undo history records: the state before it is about to change.
    TNotifyEvent SaveForUNDO;
    // Return made a new paragraph (the one the cursor is in now).
    std::function<void(TObject* Sender, TParagraph* Par)> OnNewParCreatedEvent;
    // The caret or the view moved horizontally or vertically.
    TNotifyEvent OnXPosChanged, OnYPosChanged;
    // Asked before the box takes a new width or height (EditBoxModes); Change := False refuses.
    TRtChangeBoxEvent OnEditBoxChangeWidth, OnEditBoxChangeHeight;
    // The label of a page gap (pages from 1); unassigned: the page number.
    TRtGetPageGapTextEvent OnGetPageGapText;
    TEditStateEvent EditStateEvent;
    TBeforeCopyEvent OnBeforeCopyEvent, OnBeforeCutEvent;
    TBeforePasteEvent OnBeforePasteEvent;
    TRtOnDropFileEvent OnDropFile;
    TRtKeyEvent OnKeyDown, OnKeyUp;
    TRtKeyPressEvent OnKeyPress;
    // The control got or lost the focus.
    TNotifyEvent OnEnter, OnExit;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    TRtMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;
    TNotifyEvent OnClick, OnDblClick;
    TNotifyEvent CtrlTabPressed, ShiftTabPressed;
    std::function<void(TObject* Sender, char32_t Ch)> AfterCompleteWordEvent;
    THyperLinkEvent HyperLinkEvent;
    TMouseDownRightEvent OnMouseDownRight;
    TTextObjectMouseEvent OnTextObjectMouseDown, OnTextObjectMouseMove, OnTextObjectMouseUp;
    TTextObjectClickEvent OnTextObjectClick;
    TTextObjectNotifyEvent OnTextObjectSelect, OnTextObjectEdit;
    // An object's frame moved it: its entry and the new point (window pixels).
    TRtObjectMoveEvent OnTextObjectMove;
    // Cursors over hyperlinks and embedded objects (none: the normal cursor).
    std::optional<Qt::CursorShape> HyperLinkCursor, TextObjectCursor;
    bool TableLayoutChanged = false;

    // The reference entry of the embedded object under a window point, or none.
    TTextObj* FindTextObjectAt(int32_t X, int32_t Y);
    // The word handler of the right button at a layout point: True when it handled the word.
    bool RightButtonWord(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);

    // The edit-state notification.
    void SendEditState();
    // New text takes the attribute at the cursor (the cursor moved, a style was applied).
    void TakeCursorAttr();
    // Runs the key table and the character handling of one key (the tests and QKeyEvent).
    void KeyDown(int32_t& Key, Qt::KeyboardModifiers Shift);
    // Typed: Key and the characters after it in the same key or input-method text (empty: Key alone).
    void KeyPress(char32_t Key, Qt::KeyboardModifiers Shift, std::u32string_view Typed = {});
    // The input method's language changed: new text takes the current font in
    // the charset of that language (unless charset switching is off).
    void InputLanguageChanged();
    // Types each character of a key's or the input method's text.
    void TypeText(const QString& Text, Qt::KeyboardModifiers Shift);
    void UpdateScrollRanges();
    QVariant inputMethodQuery(Qt::InputMethodQuery Query) const override;
    // The keys the editor takes before the window's shortcuts while it has the focus.
    static bool ClaimsShortcut(const QKeyEvent& Key);

protected:
    // Lays out and shows what an insertion at the cursor changed.
    void ShowInserted();
    // Hooks of the rich-text component.
    virtual void EngineChanged() {}
    virtual void WordCompleted(char32_t Ch);
    // The rule the component puts before the key table; True when it took the key.
    virtual bool KeyDownFirst(int32_t& /*Key*/, Qt::KeyboardModifiers /*Shift*/) { return false; }
    void ResizeStep();
    virtual void Activated() {}
    void ZoomToPage();
    bool CanType() const;
    void Copy(bool WholeText);
    void UpdateCaret();
    void BufferTypeAhead(const std::string& Chars);
    // The control characters of KeyPress (select all, clipboard, undo, redo, Escape); True when Key was one.
    bool ControlKeyPress(char32_t Key, bool Shift);
    // Inserts the characters typed ahead (before anything else reaches the text).
    void FlushTypeAhead();
    // Forgets them: the text they were typed into goes (cleared or replaced).
    void DropTypeAhead() { typeAhead_.clear(); }
    // Takes one step back or forth in the undo history and redraws.
    void StepHistory(bool (TRtRTFText::*Step)());
    QRect CaretRect() const;
    void DropSelection();
    // The steps of KeyDown.
    bool MovingKeyDown(int32_t Key, Qt::KeyboardModifiers Shift);
    bool EditingKeyDown(int32_t Key, Qt::KeyboardModifiers Shift);
    // Tab: to the next or previous cell in spreadsheet movement, else the tab hooks or a tab character.
    void TabKeyDown(bool Shift, bool Ctrl);
    void TypeByKey(const char* Chars);
    void DeleteSelectionByKey();
    void DeleteWordByKey(bool After);
    void MoveByKey(bool Shift, const std::function<void()>& Fn);
    bool PointInSelection(int32_t X, int32_t Y);
    bool DoubleClickAt(int32_t X, int32_t Y);
    void TakeFocus();
    void ModifyMode(const std::function<void()>& Fn);

    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void inputMethodEvent(QInputMethodEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool focusNextPrevChild(bool Next) override;

    std::unique_ptr<TRtRTFTextInput> engine_;
    // The printing layer over the engine, with the control's word wrap, name and title.
    std::unique_ptr<TRtCustomRtfEditPrint> print_;
    TCanvas referenceCanvas_;
    std::unique_ptr<TRtObjectEnv> objectEnv_;
    std::unique_ptr<TCaret> caret_;
    std::unique_ptr<TRtRtfStrings> strings_;
    // The text's objects take the control's window as their parent window (none: they lose it).
    void AdoptObjects(QWidget* Parent);
    // Marks the object under the mouse hot and clears the mark of every other.
    void SetHotObject(TRtObjectBase* Hot);
    // Takes the background picture of the text just loaded.
    void TakeTextBackground();
    AnsiString typeAhead_;
    bool typeAheadPosted_ = false;
    QImage backgroundImage_;
    bool transparent_ = false;
    TRtAutoZoom autoZoom_ = rtAutoZoomOff;
    bool autoZoomPending_ = false;
    bool resizing_ = false;
    bool destroying_ = false;
    bool modified_ = false;
    // Typing: set while a typed character runs its change; the cursor
    // position after the last typed character (-1: other changes since).
    bool typing_ = false;
    int32_t typedTo_ = -1;
    bool changeOpen_ = false;
    bool cutting_ = false;
    bool proceed_ = true;
    bool settingScroll_ = false;
    // The surface is painted anew when its contents are unknown, after large
    // changes and after the view scrolled.
    bool surfaceStale_ = true;
    int32_t paintedTop_ = 0, paintedLeft_ = 0;
    // The surface as the last whole painting left it (QImage::cacheKey).
    qint64 paintedSurface_ = 0;
    // Where the last paint drew the caret (empty: not drawn).
    QRect paintedCaret_;
    // Asks the window to copy what the engine painted onto the surface since
    // and the old and new caret, or everything when the surface is painted anew.
    void RepaintChanged();
    // Typing keeps the scroll bars as they are until the change ends, which
    // sets them once (the text's height is found by a walk over the text).
    int deferScroll_ = 0;
    class TDeferScrollRanges {
    public:
        explicit TDeferScrollRanges(TRtCustomRtfEdit& Edit) : edit_(Edit) { ++edit_.deferScroll_; }
        ~TDeferScrollRanges()
        {
            if (--edit_.deferScroll_ == 0 && std::uncaught_exceptions() > exceptions_)
                edit_.UpdateScrollRanges();
        }
        TDeferScrollRanges(const TDeferScrollRanges&) = delete;
        TDeferScrollRanges& operator=(const TDeferScrollRanges&) = delete;

    private:
        TRtCustomRtfEdit& edit_;
        int exceptions_ = std::uncaught_exceptions();
    };
    void RepaintAll()
    {
        surfaceStale_ = true;
        viewport()->update();
    }
    // Mouse state.
    QPoint downPoint_;
    Qt::MouseButton downButton_ = Qt::NoButton;
    bool buttonDown_ = false;
    bool possibleDrag_ = false;
    QPoint dragStart_;
    TParagraph* hoveredBorder_ = nullptr;
    bool borderDrag_ = false;
    int32_t borderLastX_ = 0;
    TTextObj* pressedObject_ = nullptr;
    bool ObjectEvent(const TTextObjectMouseEvent& Event, TTextObj* Entry, Qt::MouseButton Button,
                     Qt::KeyboardModifiers Shift, QPoint Point);
    bool HoverBorder(int32_t X, int32_t Y);
    // In the page-layout modes: a window x left or right of the page.
    bool OutsidePage(int32_t X) const;
    TRtLayoutMode layoutMode_ = rtlayNormal;
    bool outsidePage_ = false;
    void leaveEvent(QEvent* Event) override;
};
