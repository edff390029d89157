#pragma once
// TRtCustomRichText: the complete rich-text component. Over the edit control
// it adds the attribute control that mirrors the attributes at the cursor, the
// command dispatcher of the tool-bar and action commands addressed by
// (group code, id), the state update after every change notification of the
// engine, hyperlink detection while typing, find and replace, tables, fields,
// zoom and the file commands. TRtRichText is the class placed on forms.
#include "RtActionTexts.h"
#include "RtCommands.h"
#include "RtFont.h"
#include "RtGutter.h"
#include "RtObject.h"
#include "RtRuler.h"
#include "RtSetModeControl.h"
#include "RtTextFinder.h"
#include "RtToolBar.h"
#include "RtfEdit.h"

#include <QPointer>
#include <QScrollBar>

#include <array>
#include <functional>

class TRtCustomRichText;

// What the library's editor registry may take over (each answers True when it did the job).
struct TRtEditorRegistry {
    std::function<void(TRtCustomRichText*)> RichTextCreated;
    std::function<void(TRtCustomRichText*)> RichTextLoaded;
    std::function<bool(TRtCustomRichText*)> Save;
    std::function<bool(TRtCustomRichText*)> Open;
    std::function<bool(TRtCustomRichText*)> Close;
    std::function<bool(TRtCustomRichText*)> Print;
};
extern TRtEditorRegistry RtEditorRegistry;

// The dialogs the commands show; replaceable (the tests answer them).
struct TRtCommandDialogs {
    // QMessageBox::Yes, No or Cancel.
    std::function<int(QWidget* Parent, const QString& Text)> AskSave;
    std::function<void(QWidget* Parent, const QString& Text)> Message;
    // Empty when cancelled; FilterIndex (1-based) in and out.
    std::function<QString(QWidget* Parent, const QString& Filter, const QString& Dir, const QString& Name,
                          int& FilterIndex)> SaveFileName;
    std::function<QString(QWidget* Parent, const QString& Filter, const QString& Dir, int& FilterIndex)> OpenFileName;
    // False when cancelled.
    std::function<bool(QWidget* Parent, const QString& Caption, const QString& Prompt, QString& Value)> InputQuery;
    // The printer set-up: the printer's name, the paper (its Windows paper code,
    // 256 for a size of its own) with the page in twips, and the orientation,
    // in and out; False when cancelled.
    std::function<bool(QWidget* Parent, QString& Printer, int32_t& PaperCode, int32_t& Width, int32_t& Height,
                       bool& Landscape)> PrinterSetup;
    // The print dialog over the program's printer: the pages to print (From and To 1-based,
    // 0 and 0 for all of MaxPage pages) and the copies, in and out; False when cancelled.
    std::function<bool(QWidget* Parent, int32_t MaxPage, int32_t& From, int32_t& To, int32_t& Copies)> Print;
    // The table picker: False when cancelled.
    std::function<bool(QWidget* Parent, QWidget* Anchor, int32_t& Columns, int32_t& Rows, bool& Borders)> PickTable;
};
TRtCommandDialogs& RtCommandDialogs();

using TRtAttrChangeEvent = std::function<void(TObject* Sender, TRtSetModeControl* Attributes)>;
using TRtStartSpellCheckEvent = std::function<void(TObject* Sender, int32_t Mode)>;
using TRtButtonStateEvent = std::function<void(TObject* Sender, int32_t Group, int32_t Id, bool Down)>;
// The undo stack took or gave back a step.
using TRtUndoKindChange = std::function<void(TObject* Sender, TRtUndoStack* UndoStack)>;
// The picture of an image object known only by its name: Bytes and their
// Type, "BMP" for a bitmap or "WMF"/"EMF" for a metafile.
using TRtHTMLBitmapRequestEvent =
    std::function<void(TObject* Sender, const AnsiString& Name, QByteArray& Bytes, AnsiString& Type)>;
// An object's property dialog was confirmed.
using TRtTextObjectCheckPropertiesEvent = std::function<void(TObject* Sender, TRtObject* Obj)>;
// The text of a code field.
using TRtCodeGetTextEvent = std::function<void(TObject* Sender, const AnsiString& Code, AnsiString& Text)>;
// The file of a picture written with HTML (as the image-creation hook of RtObject.h).
using TRtHTMLCreateImageEvent = std::function<void(TObject* Sender, TRtOImageObject* Obj, const QString& Folder,
                                                   QString& FileName, bool& Done, const QImage& Bitmap)>;

// State bytes of Execute.
constexpr uint8_t rtcmdClick = 6, rtcmdRelease = 7;

class TRtCustomRichText : public TRtCustomRtfEdit {
    Q_OBJECT
public:
    explicit TRtCustomRichText(QWidget* Parent = nullptr);
    ~TRtCustomRichText() override;

    static TRtCustomRichText* Current();
    TRtSetModeControl* GetSetModeControl() { return &setMode_; }
    TRtFont* GetCurrentFont() { return RtfText()->CurrentFont.get(); }

    // The command dispatcher: Group is a TRtCommandGroup, Id a command of it;
    // State is 6 for a click and 7 for the release of a pressed button and
    // becomes 0 when the command was consumed.
    virtual void Execute(int32_t Group, int32_t Id, uint8_t& State, const AnsiString& Text = AnsiString());
    // The combo-box commands (rtgValue).
    virtual void ExecuteValue(int32_t Group, int32_t Id, int32_t Number, const AnsiString& Text);
    void SetButtonState(int32_t Group, int32_t Id, bool Down);
    bool ButtonDown(int32_t Group, int32_t Id) const;
    virtual void UpdateState();
    // Makes this the current rich text and links the rulers, the gutter, the
    // tool bar (with the current font's sizes), the actions of the action list
    // and the find and replace dialogs to it.
    virtual void Activate();
    // Unlinks the rulers, the gutter and the tool bar where they show this rich
    // text and disconnects the find and replace dialogs bound to it.
    virtual void Deactivate();
    virtual void Clear();
    void LoadFromStream(TStream* Stream, const AnsiString& FormatName) override;
    void PasteFromClipboard() override;
    // A new zoom or character scale makes this the current rich text, so that the rulers follow.
    void SetZooming(int32_t Value) override;
    void SetResizing(int32_t Value) override;
    void ZoomIn();
    void ZoomOut();
    void BindAction(TRtAction* Action);
    void ChangeParTabMask(bool ClearTabs, uint64_t Mask);

    // Tables.
    void InsertTable(int32_t Columns, int32_t Rows, bool Borders);
    void InsertRow();
    void DeleteRow();

    // Search, hyperlinks, fields, files.
    void DetectHyperlinks(TParagraph* Par, TLine* Line, bool WholePar);
    virtual void ShowFindDialog();
    virtual void ShowReplaceDialog();
    virtual bool FindNext();
    // One search from the cursor; a hit is selected and the cursor goes to its end (down) or start (up).
    bool Find(const AnsiString& Text, bool Down, bool WholeWord, bool MatchCase, char Wildcard = 0);
    bool Replace(const AnsiString& Text, const AnsiString& With, bool Down, bool WholeWord, bool MatchCase);
    int32_t ReplaceAll(const AnsiString& Text, const AnsiString& With, bool WholeWord, bool MatchCase);
    void EditHyperlink();
    void InsertNumberField(const AnsiString& FieldName);
    void InsertField(const AnsiString& Name, const AnsiString& Text);
    bool AskForSave();
    void Save();
    void SaveAs();
    void Open();
    void Close();
    // The page set-up dialog; the chosen paper becomes the text's page. True when confirmed.
    virtual bool PrinterSetup();
    // The print dialog; the chosen pages are printed. True when confirmed.
    virtual bool PrintDialog();
    bool Cancelled = false;
    QString InitialDir;
    QString LastFileName() const { return RtfText()->FileName; }
    void SetLastFileName(const QString& Name);

    // ---- linked components (not owned; a link goes when its component is destroyed) ----
    TRtToolBar* RtToolBar() const { return toolBar_; }
    void SetRtToolBar(TRtToolBar* ToolBar);
    TRtBasicRulerType* RtRuler() const { return ruler_; }
    void SetRtRuler(TRtBasicRulerType* Ruler);
    TRtBasicRulerType* RtVertRuler() const { return vertRuler_; }
    void SetRtVertRuler(TRtBasicRulerType* Ruler);
    TRtCustomGutter* RtGutter() const { return gutter_; }
    void SetRtGutter(TRtCustomGutter* Gutter);
    // The actions (TRtAction children) of List work on this rich text while it is the current one.
    QObject* ActionList() const { return actionList_; }
    void SetActionList(QObject* List);
    // Scroll bars outside the control that move the view and follow it.
    QScrollBar* ExternVerScrollBar() const { return externVer_; }
    void SetExternVerScrollBar(QScrollBar* Bar);
    QScrollBar* ExternHorScrollBar() const { return externHor_; }
    void SetExternHorScrollBar(QScrollBar* Bar);
    // WYSIWYG: the text is laid out with the printer's character widths (at
    // its resolution) and shown scaled, so that the screen and the printed
    // pages break the lines alike; printing prints that layout.
    bool WYSIWYG() const { return wysiwyg_; }
    void SetWYSIWYG(bool Value);
    // Hands the linked rulers the page, and the cursor paragraph's indents and
    // tab stops, in pixels at the current zoom; they repaint when these changed.
    void UpdateRulers();

    // Events.
    TRtAttrChangeEvent OnCharacterAttrChange, OnParagraphAttrChange;
    // The page's size or orientation changed.
    TNotifyEvent OnChangePageSize;
    // The attributes of the cursor's paragraph were read again.
    TNotifyEvent OnUpdateParAttr;
    // Editing moved between the body (0), the header (1) and the footer (2).
    std::function<void(TObject* Sender, int32_t Layer)> OnWorkOnTextChanged;
    // The mouse came onto a hyperlink or an object (the run shown hot, its
    // paragraph and style number), and left it again.
    std::function<void(TObject* Sender, TParagraph* Par, int32_t StyleIndex)> OnActivateHotStyle;
    TNotifyEvent OnDeactivateHotStyle;
    TRtUndoKindChange OnUndoChange;
    TRtStartSpellCheckEvent OnStartSpellCheck;
    TRtButtonStateEvent OnButtonState;
    TNotifyEvent OnChangeLastFilename;
    // Asked first for the text of a page reference; may change the text of the other references.
    TRtOnReferenceGetText OnReferenceGetText;
    // The text and size of a field object (Done: the handler answered).
    TRtGetFieldTextEvent OnTextFieldGetText;
    TRtGetFieldBoundsEvent OnTextFieldGetBounds;
    // A loaded object whose data is linked by name asks for it (Done: loaded).
    TRtTextObjectLoadStreamEvent OnTextObjectLoadStreamEvent;
    TRtHTMLBitmapRequestEvent OnHTMLBitmapRequest;
    TRtTextObjectCheckPropertiesEvent OnTextObjectCheckProperties;
    // Published for handlers of code fields, mail merge and HTML pictures;
    // the editor has no code fields, no mail merge and no HTML writer that would raise them.
    TRtCodeGetTextEvent OnCodeGetText;
    TRtMailMergeGetTextEvent OnMailMergeGetText;
    TRtHTMLCreateImageEvent OnHTMLCreateImageEvent;
    int32_t CommandLock = 0;

    // ---- properties that forward to the engine ----
    TColor HighLightColor() const { return RtfText()->HighlightColor; }
    void SetHighLightColor(TColor Value);
    TColor HighLightTextColor() const { return RtfText()->HighlightTextColor; }
    void SetHighLightTextColor(TColor Value);
    // The colour around and between the pages in the page views.
    TColor ColorDesktop() const { return RtfText()->GapColor; }
    void SetColorDesktop(TColor Value);
    TRtObjectWriteRTFModeGlobal WriteObjectMode() const { return RtfText()->ObjectWriteMode; }
    void SetWriteObjectMode(TRtObjectWriteRTFModeGlobal Value) { RtfText()->ObjectWriteMode = Value; }
    // The text's variables and numbering styles; setting copies every item.
    TRtRTFExtraDataCollection* RTFVariables() const { return RtfText()->ExtraData(); }
    void SetRTFVariables(const TRtRTFExtraDataCollection& Value);
    TRtRTFNumberingStyleCollection* NumberStyles() const { return RtfText()->NumberingStyles(); }
    void SetNumberStyles(const TRtRTFNumberingStyleCollection& Value);
    // An undo stack of the owner the text records into (none: its own); the
    // owner unlinks it before freeing it.
    TRtUndoStack* RtUndoStack() const { return undoStack_; }
    void SetRtUndoStack(TRtUndoStack* Stack);
    // The font a new or cleared text starts with.
    const TRtFont& DefaultFont() const { return defaultFont_; }
    void SetDefaultFont(const TRtFont& Value);
    // Settings of an HTML writer (the editor has none; kept for one).
    QString HTMLFilePath;
    TStoreHTMLComment HTMLStoreComment = shcFootnote;
    TRtHTMLCreateImages HTMLCreateImages = rtciDontCreateImages;

    // The events of an embedded object's own window control (Sender, its Tag
    // the object), handed on as the text-object events of the object there.
    virtual void DoTextObjectMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
    virtual void DoTextObjectMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                       int32_t X, int32_t Y);
    virtual void DoTextObjectMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                     int32_t X, int32_t Y);
    virtual void DoTextObjectClick(QObject* Sender);
    // Routes a loaded or pasted object's events to the text-object events (the
    // mouse on its own control through the forwarders above) and fetches the
    // picture of an image object known only by name.
    virtual void RegisterObject(TRtObjectBase* Obj);
    // Registers every object of the text (after a load or a paste).
    void RegisterObjects();

protected:
    void EngineChanged() override;
    void WordCompleted(char32_t Ch) override;
    bool KeyDownFirst(int32_t& Key, Qt::KeyboardModifiers Shift) override;
    void Activated() override { Activate(); }
    void scrollContentsBy(int Dx, int Dy) override;
    // The mouse on the controls of registered objects, handed to the forwarders.
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void SaveToFile(const QString& FileName);
    void LoadFile(const QString& FileName);

private:
    bool RunCommand(int32_t Group, int32_t Id, bool Click, const AnsiString& Text);
    // The commands of one group, clicked; the release of a pressed button.
    bool RunRelease(int32_t Group, int32_t Id);
    bool RunStyleCommand(int32_t Id);
    bool RunEditCommand(int32_t Id);
    bool RunFileCommand(int32_t Id);
    bool RunViewCommand(int32_t Id);
    bool RunTableCommand(int32_t Id);
    bool RunNumberingCommand(int32_t Id);
    // Runs a changing command inside BeginChange / EndChange; false when no change may begin.
    bool RunChange(const std::function<void()>& Fn);
    void ToggleParagraphFlag(int32_t Id);
    void GoToPage(int32_t Page);
    void AttributeChange(WrtStyle Style, bool On);
    void SetBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Inner);
    void SelectCurrentRow();
    void SyncCellBorders(TParagraph* Cell);
    void StartSpellCheck(int32_t Mode);
    void Renumber();

    TRtSetModeControl setMode_;
    TRtTextFinder finder_;
    std::array<uint32_t, 12> buttonsDown_{};
    bool hiddenText_ = false;
    AnsiString searchText_;
    std::vector<TRtAction*> actions_;
    void PageMaybeChanged();
    void SyncExternScrollBars();
    void PushButtonStates();
    // The current font's sizes and size to the tool bar; the sizes are asked for when the font changes.
    void ShowFontSizes();
    AnsiString sizesFont_;
    std::vector<int32_t> fontSizes_;
    QPointer<TRtToolBar> toolBar_;
    QPointer<TRtBasicRulerType> ruler_, vertRuler_;
    QPointer<TRtCustomGutter> gutter_;
    QPointer<QObject> actionList_;
    // Binds the library's actions of the action list that are not bound yet.
    void BindListActions();
    TRtActionIndex listActions_;
    QPointer<QScrollBar> externVer_, externHor_;
    // The page as the rulers and OnChangePageSize last saw it.
    int32_t pageWidth_ = 0, pageHeight_ = 0;
    bool landscape_ = false;
    bool loadingText_ = false;
    bool wysiwyg_ = false;
    // Lays the text out at the selected printer's resolution (WYSIWYG); Force:
    // also when the resolution is the one laid out for.
    void MeasureForPrinter(bool Force = false);
    // The entry under a control of an object and the object (its Tag); False when there is none.
    bool ObjectOfControl(QObject* Sender, TTextObj*& Entry, TRtObjectBase*& Obj);
    void ForwardObjectMouse(const TTextObjectMouseEvent& Event, QObject* Sender, Qt::MouseButton Button,
                            Qt::KeyboardModifiers Shift, int32_t X, int32_t Y);
    // The object control the left button went down on (its release there is a click).
    QPointer<QObject> objectControlPressed_;
    void ApplyDefaultFont();
    TRtUndoStack* undoStack_ = nullptr;
    TRtFont defaultFont_;
    bool defaultFontSet_ = false;
    // The engine's own handler of header changes, which the rich text's runs first.
    std::function<void(bool)> headerChange_;
};

class TRtRichText : public TRtCustomRichText {
    Q_OBJECT
public:
    using TRtCustomRichText::TRtCustomRichText;
};
