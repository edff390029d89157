#pragma once
// TRtCustomRichText: the complete rich-text component. Over the edit control
// it adds the attribute control that mirrors the attributes at the cursor, the
// command dispatcher of the tool-bar and action commands addressed by
// (group code, id), the state update after every change notification of the
// engine, hyperlink detection while typing, find and replace, tables, fields,
// zoom and the file commands. TRtRichText is the class placed on forms.
#include "RtSetModeControl.h"
#include "RtTextFinder.h"
#include "RtfEdit.h"

#include <array>
#include <functional>

class TRtAction;
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
    // The page set-up: the page in twips and its orientation, in and out; False when cancelled.
    std::function<bool(QWidget* Parent, int32_t& Width, int32_t& Height, bool& Landscape)> PrinterSetup;
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

    // The command dispatcher: Group is the group code (group number x 256);
    // State is 6 for a click and 7 for the release of a pressed button and
    // becomes 0 when the command was consumed.
    virtual void Execute(int32_t Group, int32_t Id, uint8_t& State, const AnsiString& Text = AnsiString());
    // The combo-box commands of group 11.
    virtual void ExecuteValue(int32_t Group, int32_t Id, int32_t Number, const AnsiString& Text);
    void SetButtonState(int32_t Group, int32_t Id, bool Down);
    bool ButtonDown(int32_t Group, int32_t Id) const;
    virtual void UpdateState();
    virtual void Activate();
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

    // Events.
    TRtAttrChangeEvent OnCharacterAttrChange, OnParagraphAttrChange;
    TRtStartSpellCheckEvent OnStartSpellCheck;
    TRtButtonStateEvent OnButtonState;
    TNotifyEvent OnChangeLastFilename;
    int32_t CommandLock = 0;

protected:
    void EngineChanged() override;
    void WordCompleted(char32_t Ch) override;
    bool KeyDownFirst(int32_t& Key, Qt::KeyboardModifiers Shift) override;
    void Activated() override { Activate(); }
    void SaveToFile(const QString& FileName);
    void LoadFile(const QString& FileName);

private:
    bool RunCommand(int32_t Group, int32_t Id, bool Click, const AnsiString& Text);
    void AttributeChange(WrtStyle Style, bool On);
    void SetBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Inner);
    void SelectCurrentRow();
    void SyncCellBorders(TParagraph* Cell);
    void StartSpellCheck(int32_t Mode);
    void Renumber();

    TRtSetModeControl setMode_;
    TRtTextFinder finder_;
    TRtTextFinder hyperlinkFinder_;
    std::array<uint32_t, 12> buttonsDown_{};
    bool hiddenText_ = false;
    AnsiString searchText_;
    std::vector<TRtAction*> actions_;
};

class TRtRichText : public TRtCustomRichText {
    Q_OBJECT
public:
    using TRtCustomRichText::TRtCustomRichText;
};
