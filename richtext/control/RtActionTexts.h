#pragma once
// The captions, hints and tool-bar pictures of the editor's commands, which
// are addressed by (group code, id) with the group code = group x 256; the
// lookup of a caption and hint, the tool bars and actions that follow the
// language, and the hooks through which the library's localisation saves and
// loads the texts.
#include "AnsiString.h"
#include "RtCommands.h"

#include <QAction>
#include <QIcon>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <vector>

struct TRtActionText {
    int32_t Group;     // TRtCommandGroup
    int32_t Id;
    const char* Caption;
};
struct TRtActionIcon {
    const char* Name;  // picture resource ":/richtext/<Name>.png"
    int32_t Group;     // TRtCommandGroup
    int32_t Id;
    const char* Code;
};

constexpr int RtActionTextCount = 86;
constexpr int RtActionIconCount = 71;
extern const std::array<TRtActionText, RtActionTextCount> RtActionTexts;
extern const std::array<TRtActionIcon, RtActionIconCount> RtActionIcons;
extern const char* const RtActionCategory;   // "RichText/Actions"

// The current caption and hint of entry Index (translations replace them).
AnsiString& RtActionCaption(int Index);
AnsiString& RtActionHint(int Index);

// Caption and hint of (group code, id); both empty and False when there is none.
bool FindRtActionText(int32_t Group, int32_t Id, AnsiString& Caption, AnsiString& Hint);
// The tool-bar picture of (group code, id); a null icon when there is none.
QIcon RtActionIcon(int32_t Group, int32_t Id);

// A tool bar whose hints follow the language: its boxes (by the id of their
// group-11 command) and its buttons, numbered from 1.
class TRtTextToolBar {
public:
    TRtTextToolBar();
    virtual ~TRtTextToolBar();
    TRtTextToolBar(const TRtTextToolBar&) = delete;
    TRtTextToolBar& operator=(const TRtTextToolBar&) = delete;
    // False when the tool bar has no box for the command (11, Id).
    virtual bool SetBoxHint(int32_t Id, const AnsiString& Hint) = 0;
    virtual int32_t ButtonCount() const = 0;
    virtual void ButtonCommand(int32_t Number, int32_t& Group, int32_t& Id) const = 0;
    virtual void SetButtonHint(int32_t Number, const AnsiString& Hint) = 0;
};
void ApplyToolBarTexts(TRtTextToolBar* ToolBar);

// An action of the library: one command with its caption, hint and picture,
// re-read whenever the language changes.
class TRtAction : public QAction {
    Q_OBJECT
public:
    TRtAction(int32_t Group, int32_t Id, QObject* Parent = nullptr);
    ~TRtAction() override;
    void RefreshTexts();
    const int32_t Group;   // group code (group number x 256)
    const int32_t Id;
};

// The actions of an action list (its direct TRtAction children) by command,
// found without walking the list; taken anew once the list's children changed.
class TRtActionIndex : public QObject {
public:
    void SetList(QObject* List);
    // Fn for every action of the list for (Group, Id).
    void ForEach(int32_t Group, int32_t Id, const std::function<void(TRtAction*)>& Fn);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QPointer<QObject> list_;
    std::multimap<int32_t, TRtAction*> actions_;   // by group code + id
    bool stale_ = true;
};

// Installs the save, load and language-changed hooks; counted, so nested
// start-ups install them once. RtActionTextsDone puts the previous ones back.
void RtActionTextsInit();
void RtActionTextsDone();
