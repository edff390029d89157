#include "RtActionTexts.h"

#include "Classes.h"
#include "RtDefs.h"

#include <QEvent>

#include <algorithm>

const char* const RtActionCategory = "RichText/Actions";

const std::array<TRtActionText, RtActionTextCount> RtActionTexts = {{
    {rtgView, rtcViewZoomOut, "Zoom Out"},
    {rtgView, rtcViewZoomIn, "Zoom In"},
    {rtgTable, rtcTableBottomBorders, "Bottom Borders"},
    {rtgTable, rtcTableInnerBorders, "Inner Borders"},
    {rtgTable, rtcTableLeftBorders, "Left Borders"},
    {rtgTable, rtcTableBordersOff, "Switch Borders Off"},
    {rtgTable, rtcTableBordersOn, "Switch Borders On"},
    {rtgTable, rtcTableOuterBorders, "Outer Borders"},
    {rtgTable, rtcTableRightBorders, "Right Borders"},
    {rtgTable, rtcTableTopBorders, "Top Borders"},
    {rtgNumbering, rtcNumberingBullets, "Bullets"},
    {rtgData, rtcDataCancel, "Cancel"},
    {rtgAlign, rtcAlignCenter, "Center"},
    {rtgFile, rtcFileClose, "Close"},
    {rtgEdit, rtcEditCopy, "Copy"},
    {rtgTable, rtcTableCreate, "Create Table"},
    {rtgEdit, rtcEditCut, "Cut"},
    {rtgNumbering, rtcNumberingPriorLevel, "Prior Level"},
    {rtgData, rtcDataDelete, "Del"},
    {rtgTable, rtcTableCombineCells, "Combine Cells"},
    {rtgData, rtcDataAdd, "Add"},
    {rtgTable, rtcTableDeleteRow, "Delete Row"},
    {rtgData, rtcDataEdit, "Edit"},
    {rtgFile, rtcFileExit, "Exit"},
    {rtgEdit, rtcEditFind, "Find"},
    {rtgView, rtcViewFitPage, "Fit to Pageheight"},
    {rtgView, rtcViewFitWidth, "Fit to Pagewidth"},
    {rtgEdit, rtcEditSelectAll, "Select All"},
    {rtgStyle, rtcStyleHidden, "Hidden"},
    {rtgNumbering, rtcNumberingNextLevel, "Next Level"},
    {rtgTable, rtcTableSplitCell, "Split Cell"},
    {rtgTable, rtcTableInsertRow, "Insert Row"},
    {rtgStyle, rtcStyleItalic, "Italic"},
    {rtgStyle, rtcStyleBold, "Bold"},
    {rtgAlign, rtcAlignJustified, "Justified"},
    {rtgAlign, rtcAlignLeft, "Left"},
    {rtgStyle, rtcStyleProtected, "Protected"},
    {rtgFile, rtcFileNew, "New"},
    {rtgData, rtcDataNext, "Next"},
    {rtgStyle, rtcStyleNormal, "Normal"},
    {rtgNumbering, rtcNumberingNumbers, "Numbers"},
    {rtgFile, rtcFileOpen, "Open"},
    {rtgEdit, rtcEditPaste, "Paste"},
    {rtgData, rtcDataPost, "Post"},
    {rtgEdit, rtcEditUndo, "Undo"},
    {rtgData, rtcDataLast, "To End"},
    {rtgData, rtcDataFirst, "To Start"},
    {rtgData, rtcDataPrevious, "Previous"},
    {rtgView, rtcViewPrint, "Print"},
    {rtgView, rtcViewPriorPage, "Prior Page"},
    {rtgView, rtcViewPrinterSetup, "Printer Setup"},
    {rtgView, rtcViewNextPage, "Next Page"},
    {rtgEdit, rtcEditReplace, "Replace"},
    {rtgAlign, rtcAlignRight, "Right"},
    {rtgStyle, rtcStyleRtfCode, "RTF-Code"},
    {rtgFile, rtcFileSave, "Save"},
    {rtgEdit, rtcEditHideSelection, "Hide Selection"},
    {rtgTable, rtcTableSelectColumn, "Select Column"},
    {rtgTable, rtcTableSelectRow, "Select Row"},
    {rtgEdit, rtcEditFindNext, "Find Next"},
    {rtgEdit, rtcEditSpellcheck, "Spellcheck"},
    {rtgStyle, rtcStyleUnderline, "Underlined"},
    {rtgStyle, rtcStyleStrikeOut, "Strike Out"},
    {rtgStyle, rtcStyleSub, "Subscript"},
    {rtgStyle, rtcStyleSuper, "Superscript"},
    {rtgTable, rtcTableInsertColumn, "Insert Column"},
    {rtgTable, rtcTableDeleteColumn, "Delete Column"},
    {rtgView, rtcViewPrintDialog, "Print Dialog"},
    {rtgEdit, rtcEditDeleteText, "Delete Text"},
    {rtgEdit, rtcEditRedo, "Redo"},
    {rtgInsert, rtcInsertNumber, "Insert Number"},
    {rtgInsert, rtcInsertField, "Insert Field"},
    {rtgNumbering, rtcNumberingOutline, "Include in Outline"},
    {rtgNumbering, rtcNumberingOutlineUp, "Outline Level Up"},
    {rtgNumbering, rtcNumberingOutlineDown, "Outline Level Down"},
    {rtgInsert, rtcInsertHyperlink, "Edit Hyperlink"},
    {rtgEdit, rtcEditSpellAsYouGo, "Spell-As-You-Go"},
    {rtgEdit, rtcEditThesaurus, "Thesaurus"},
    {rtgValue, rtcValueFontName, "Font Name"},
    {rtgValue, rtcValueFontSize, "Font Size"},
    {rtgValue, rtcValueFontColor, "Font Color"},
    {rtgValue, rtcValueBackColor, "Character Background"},
    {rtgValue, rtcValueParColor, "Paragraph Background"},
    {rtgValue, rtcValueParStyle, "Paragraph Style"},
    {rtgParagraph, rtcParagraphProtect, "Protect Paragraph"},
    {rtgParagraph, rtcParagraphKeep, "Keep Paragraph together"},
}};

const std::array<TRtActionIcon, RtActionIconCount> RtActionIcons = {{
    {"RTI_NORMAL", rtgStyle, rtcStyleNormal, "Sn"},
    {"RTI_BOLD", rtgStyle, rtcStyleBold, "Sb"},
    {"RTI_ITALIC", rtgStyle, rtcStyleItalic, "Si"},
    {"RTI_UNDER", rtgStyle, rtcStyleUnderline, "Su"},
    {"RTI_SUPER", rtgStyle, rtcStyleSuper, "Sp"},
    {"RTI_SUB", rtgStyle, rtcStyleSub, "Sb"},
    {"RTI_STRIKEOUT", rtgStyle, rtcStyleStrikeOut, "Ss"},
    {"RTI_HYPERLINK", rtgStyle, rtcStyleHyperLink, "Sh"},
    {"RTI_HIDDEN", rtgStyle, rtcStyleHidden, "Sv"},
    {"RTI_PROTECTED", rtgStyle, rtcStyleProtected, "Sm"},
    {"RTI_RTFCODE", rtgStyle, rtcStyleRtfCode, "Sc"},
    {"RTI_LEFT", rtgAlign, rtcAlignLeft, "Al"},
    {"RTI_CENTER", rtgAlign, rtcAlignCenter, "Ac"},
    {"RTI_JUSTIFIED", rtgAlign, rtcAlignJustified, "Aj"},
    {"RTI_RIGHT", rtgAlign, rtcAlignRight, "Ar"},
    {"RTI_New", rtgFile, rtcFileNew, "Fn"},
    {"RTI_OPEN", rtgFile, rtcFileOpen, "Fo"},
    {"RTI_SAVE", rtgFile, rtcFileSave, "Fs"},
    {"RTI_CLOSE", rtgFile, rtcFileClose, "Fc"},
    {"RTI_EXIT", rtgFile, rtcFileExit, "Fx"},
    {"RTI_FITWIDTH", rtgView, rtcViewFitWidth, "Zw"},
    {"RTI_FITHEIGHT", rtgView, rtcViewFitPage, "Zf"},
    {"RTI_ZOOMOUT", rtgView, rtcViewZoomOut, "Zi"},
    {"RTI_ZOOMIN", rtgView, rtcViewZoomIn, "Zo"},
    {"RTI_PRIORPAGE", rtgView, rtcViewPriorPage, "Zp"},
    {"RTI_NEXTPAGE", rtgView, rtcViewNextPage, "Zn"},
    {"RTI_PRINT", rtgView, rtcViewPrint, "Pp"},
    {"RTI_PRINTSETUP", rtgView, rtcViewPrinterSetup, "Ps"},
    {"RTI_TOSTART", rtgData, rtcDataFirst, "Df"},
    {"RTI_PREV", rtgData, rtcDataPrevious, "Dp"},
    {"RTI_NEXT", rtgData, rtcDataNext, "Dn"},
    {"RTI_TOEND", rtgData, rtcDataLast, "Dl"},
    {"RTI_ADD", rtgData, rtcDataAdd, "D+"},
    {"RTI_DEL", rtgData, rtcDataDelete, "D-"},
    {"RTI_EDIT", rtgData, rtcDataEdit, "De"},
    {"RTI_CANCEL", rtgData, rtcDataCancel, "Dx"},
    {"RTI_POST", rtgData, rtcDataPost, "Dp"},
    {"RTI_UNDO", rtgEdit, rtcEditUndo, "Eu"},
    {"RTI_REDO", rtgEdit, rtcEditRedo, "Ez"},
    {"RTI_DELTETETEXT", rtgEdit, rtcEditDeleteText, "Ed"},
    {"RTI_SelAll", rtgEdit, rtcEditSelectAll, "Ea"},
    {"RTI_HideSel", rtgEdit, rtcEditHideSelection, "En"},
    {"RTI_CUT", rtgEdit, rtcEditCut, "Ex"},
    {"RTI_COPY", rtgEdit, rtcEditCopy, "Ec"},
    {"RTI_PASTE", rtgEdit, rtcEditPaste, "Ep"},
    {"RTI_FIND", rtgEdit, rtcEditFind, "Ef"},
    {"RTI_REPLACE", rtgEdit, rtcEditReplace, "Er"},
    {"RTI_SPELL", rtgEdit, rtcEditSpellcheck, "Es"},
    {"RTI_CREATETABLE", rtgTable, rtcTableCreate, "Tc"},
    {"RTI_SELROW", rtgTable, rtcTableSelectRow, "Tr"},
    {"RTI_INSROW", rtgTable, rtcTableInsertRow, "T+"},
    {"RTI_DELROW", rtgTable, rtcTableDeleteRow, "T-"},
    {"RTI_INSCOL", rtgTable, rtcTableInsertColumn, "C+"},
    {"RTI_DELCOL", rtgTable, rtcTableDeleteColumn, "C-"},
    {"RTI_SELCOL", rtgTable, rtcTableSelectColumn, "Tc"},
    {"RTI_SPLITCELL", rtgTable, rtcTableSplitCell, "Ts"},
    {"RTI_COMBINECELL", rtgTable, rtcTableCombineCells, "Tm"},
    {"RTI_BOFF", rtgTable, rtcTableBordersOff, "Bx"},
    {"RTI_BON", rtgTable, rtcTableBordersOn, "Ba"},
    {"RTI_BINNER", rtgTable, rtcTableInnerBorders, "Bi"},
    {"RTI_BOUTER", rtgTable, rtcTableOuterBorders, "Bo"},
    {"RTI_BLEFT", rtgTable, rtcTableLeftBorders, "Bl"},
    {"RTI_BRIGHT", rtgTable, rtcTableRightBorders, "Br"},
    {"RTI_BTOP", rtgTable, rtcTableTopBorders, "Bt"},
    {"RTI_BBOTTOM", rtgTable, rtcTableBottomBorders, "Bb"},
    {"RTI_BULLETS", rtgNumbering, rtcNumberingBullets, "Nb"},
    {"RTI_NUMBERS", rtgNumbering, rtcNumberingNumbers, "Nn"},
    {"RTI_INCINDENT", rtgNumbering, rtcNumberingNextLevel, "N+"},
    {"RTI_DECINDENT", rtgNumbering, rtcNumberingPriorLevel, "N-"},
    {"RTI_PARPROTECT", rtgParagraph, rtcParagraphProtect, "Pm"},
    {"RTI_PARKEEP", rtgParagraph, rtcParagraphKeep, "Pk"},
}};

namespace {

struct TTexts {
    std::array<AnsiString, RtActionTextCount> Captions;
    std::array<AnsiString, RtActionTextCount> Hints;
    TTexts()
    {
        for (int i = 0; i < RtActionTextCount; ++i)
            Captions[size_t(i)] = Hints[size_t(i)] = RtActionTexts[size_t(i)].Caption;
    }
};
TTexts& Texts()
{
    static TTexts texts;
    return texts;
}

std::vector<TRtTextToolBar*>& ToolBars()
{
    static std::vector<TRtTextToolBar*> list;
    return list;
}
std::vector<TRtAction*>& Actions()
{
    static std::vector<TRtAction*> list;
    return list;
}

AnsiString ActionKey(int Index) { return "RtAction/" + IntToStr(Index); }

void SaveActionTexts()
{
    if (RtWriteTextCallback) {
        TStringList list;
        for (int i = 0; i < RtActionTextCount; ++i) {
            list.Clear();
            list.Add("C=" + Texts().Captions[size_t(i)]);
            list.Add("H=" + Texts().Hints[size_t(i)]);
            RtWriteTextCallback(ActionKey(i), list.Text());
        }
    }
}

void LoadActionTexts()
{
    if (RtReadTextCallback) {
        TStringList list;
        for (int i = 0; i < RtActionTextCount; ++i) {
            AnsiString text;
            list.Clear();
            if (RtReadTextCallback(ActionKey(i), text)) {
                list.SetText(text);
                Texts().Captions[size_t(i)] = list.Values("C");
                Texts().Hints[size_t(i)] = list.Values("H");
            }
        }
    }
}

void LanguageChanged()
{
    for (TRtTextToolBar* bar : ToolBars())
        ApplyToolBarTexts(bar);
    for (TRtAction* action : Actions())
        action->RefreshTexts();
}

using TActionTextsLink = TRtLocalizeLink<SaveActionTexts, LoadActionTexts, LanguageChanged>;

}  // namespace

AnsiString& RtActionCaption(int Index) { return Texts().Captions[size_t(std::clamp(Index, 0, RtActionTextCount - 1))]; }
AnsiString& RtActionHint(int Index) { return Texts().Hints[size_t(std::clamp(Index, 0, RtActionTextCount - 1))]; }

bool FindRtActionText(int32_t Group, int32_t Id, AnsiString& Caption, AnsiString& Hint)
{
    Caption.clear();
    Hint.clear();
    for (int i = 0; i < RtActionTextCount; ++i)
        if (RtActionTexts[size_t(i)].Group == Group && RtActionTexts[size_t(i)].Id == Id) {
            Caption = Texts().Captions[size_t(i)];
            Hint = Texts().Hints[size_t(i)];
            return true;
        }
    return false;
}

QIcon RtActionIcon(int32_t Group, int32_t Id)
{
    for (const TRtActionIcon& icon : RtActionIcons)
        if (icon.Group == Group && icon.Id == Id)
            return QIcon(QString(":/richtext/") + icon.Name + ".png");
    return QIcon();
}

// ---- tool bars and actions ---------------------------------------------------------------------------

TRtTextToolBar::TRtTextToolBar() { ToolBars().push_back(this); }
TRtTextToolBar::~TRtTextToolBar() { std::erase(ToolBars(), this); }

void ApplyToolBarTexts(TRtTextToolBar* ToolBar)
{
    if (!ToolBar)
        return;
    AnsiString caption, hint;
    for (int32_t id : {rtcValueFontName, rtcValueFontSize, rtcValueFontColor, rtcValueBackColor, rtcValueParStyle,
                       rtcValueParColor})
        if (FindRtActionText(rtgValue, id, caption, hint))
            ToolBar->SetBoxHint(id, hint);
    for (int32_t n = 1; n <= ToolBar->ButtonCount(); ++n) {
        int32_t group = 0, id = 0;
        ToolBar->ButtonCommand(n, group, id);
        if (FindRtActionText(group, id, caption, hint))
            ToolBar->SetButtonHint(n, hint);
    }
}

TRtAction::TRtAction(int32_t Group, int32_t Id, QObject* Parent) : QAction(Parent), Group(Group), Id(Id)
{
    Actions().push_back(this);
    setProperty("Category", QString(RtActionCategory));
    setIcon(RtActionIcon(Group, Id));
    RefreshTexts();
}

TRtAction::~TRtAction() { std::erase(Actions(), this); }

void TRtAction::RefreshTexts()
{
    AnsiString caption, hint;
    FindRtActionText(Group, Id, caption, hint);
    setText(fromAnsi(caption));
    setToolTip(fromAnsi(hint));
}

void TRtActionIndex::SetList(QObject* List)
{
    if (list_)
        list_->removeEventFilter(this);
    list_ = List;
    stale_ = true;
    if (List)
        List->installEventFilter(this);
}

void TRtActionIndex::ForEach(int32_t Group, int32_t Id, const std::function<void(TRtAction*)>& Fn)
{
    if (!list_)
        return;
    if (stale_) {
        actions_.clear();
        for (TRtAction* a : list_->findChildren<TRtAction*>(QString(), Qt::FindDirectChildrenOnly))
            actions_.emplace(a->Group + a->Id, a);
        stale_ = false;
    }
    const auto [first, last] = actions_.equal_range(Group + Id);
    for (auto it = first; it != last; ++it)
        Fn(it->second);
}

bool TRtActionIndex::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == list_ && (Event->type() == QEvent::ChildAdded || Event->type() == QEvent::ChildRemoved))
        stale_ = true;
    return false;
}

void RtActionTextsInit() { TActionTextsLink::Install(); }

void RtActionTextsDone() { TActionTextsLink::Remove(); }

namespace {
TActionTextsLink::TUnit ActionTextsUnit;
}  // namespace
