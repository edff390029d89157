#pragma once
// TRtCustomRichText: the complete rich-text component. Over the edit control
// it adds the attribute control that mirrors the attributes at the cursor, the
// command dispatcher of the tool-bar and action commands addressed by
// (group code, id), the state update after every change notification of the
// engine, hyperlink detection while typing, find and replace, tables, fields,
// zoom and the file commands. TRtRichText is the class placed on forms.
#include "RtActionTexts.h"
#include "RtCommands.h"
#include "RtGutter.h"
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
    // tool bar and the actions of the action list to it.
    virtual void Activate();
    // Unlinks the rulers, the gutter and the tool bar where they show this rich text.
    virtual void Deactivate();
    virtual void Clear();
    void LoadFromStream(TStream* Stream, const AnsiString& FormatName) override;
    void SetZooming(int32_t Value) override;
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
    // The undo stack took or gave back a step.
    std::function<void(TObject* Sender, TRtUndoStack* UndoStack)> OnUndoChange;
    TRtStartSpellCheckEvent OnStartSpellCheck;
    TRtButtonStateEvent OnButtonState;
    TNotifyEvent OnChangeLastFilename;
    int32_t CommandLock = 0;

protected:
    void EngineChanged() override;
    void WordCompleted(char32_t Ch) override;
    bool KeyDownFirst(int32_t& Key, Qt::KeyboardModifiers Shift) override;
    void Activated() override { Activate(); }
    void scrollContentsBy(int Dx, int Dy) override;
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
    QPointer<TRtToolBar> toolBar_;
    QPointer<TRtBasicRulerType> ruler_, vertRuler_;
    QPointer<TRtCustomGutter> gutter_;
    QPointer<QObject> actionList_;
    TRtActionIndex listActions_;
    QPointer<QScrollBar> externVer_, externHor_;
    // The page as the rulers and OnChangePageSize last saw it.
    int32_t pageWidth_ = 0, pageHeight_ = 0;
    bool landscape_ = false;
    bool loadingText_ = false;
    bool wysiwyg_ = false;
    // Lays the text out at the selected printer's resolution (WYSIWYG).
    void MeasureForPrinter();
    // The engine's own handler of header changes, which the rich text's runs first.
    std::function<void(bool)> headerChange_;
};

class TRtRichText : public TRtCustomRichText {
    Q_OBJECT
public:
    using TRtCustomRichText::TRtCustomRichText;
};
