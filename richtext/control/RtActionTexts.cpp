#include "RtActionTexts.h"

#include "Classes.h"
#include "RtDefs.h"

#include <algorithm>

const char* const RtActionCategory = "RichText/Actions";

const std::array<TRtActionText, RtActionTextCount> RtActionTexts = {{
    {5 * 256, 6, "Zoom Out"},           {5 * 256, 5, "Zoom In"},
    {8 * 256, 5, "Bottom Borders"},     {8 * 256, 16, "Inner Borders"},
    {8 * 256, 3, "Left Borders"},       {8 * 256, 2, "Switch Borders Off"},
    {8 * 256, 15, "Switch Borders On"}, {8 * 256, 17, "Outer Borders"},
    {8 * 256, 6, "Right Borders"},      {8 * 256, 4, "Top Borders"},
    {9 * 256, 1, "Bullets"},            {6 * 256, 6, "Cancel"},
    {2 * 256, 4, "Center"},             {4 * 256, 5, "Close"},
    {3 * 256, 1, "Copy"},               {8 * 256, 1, "Create Table"},
    {3 * 256, 2, "Cut"},                {9 * 256, 4, "Prior Level"},
    {6 * 256, 4, "Del"},                {8 * 256, 14, "Combine Cells"},
    {6 * 256, 3, "Add"},                {8 * 256, 9, "Delete Row"},
    {6 * 256, 5, "Edit"},               {4 * 256, 1, "Exit"},
    {3 * 256, 6, "Find"},               {5 * 256, 4, "Fit to Pageheight"},
    {5 * 256, 3, "Fit to Pagewidth"},   {3 * 256, 4, "Select All"},
    {1 * 256, 9, "Hidden"},             {9 * 256, 3, "Next Level"},
    {8 * 256, 13, "Split Cell"},        {8 * 256, 8, "Insert Row"},
    {1 * 256, 3, "Italic"},             {1 * 256, 2, "Bold"},
    {2 * 256, 3, "Justified"},          {2 * 256, 1, "Left"},
    {1 * 256, 11, "Protected"},         {4 * 256, 2, "New"},
    {6 * 256, 1, "Next"},               {1 * 256, 1, "Normal"},
    {9 * 256, 2, "Numbers"},            {4 * 256, 3, "Open"},
    {3 * 256, 3, "Paste"},              {6 * 256, 9, "Post"},
    {3 * 256, 9, "Undo"},               {6 * 256, 8, "To End"},
    {6 * 256, 7, "To Start"},           {6 * 256, 2, "Previous"},
    {5 * 256, 1, "Print"},              {5 * 256, 8, "Prior Page"},
    {5 * 256, 2, "Printer Setup"},      {5 * 256, 7, "Next Page"},
    {3 * 256, 7, "Replace"},            {2 * 256, 2, "Right"},
    {1 * 256, 10, "RTF-Code"},          {4 * 256, 4, "Save"},
    {3 * 256, 5, "Hide Selection"},     {8 * 256, 12, "Select Column"},
    {8 * 256, 7, "Select Row"},         {3 * 256, 10, "Find Next"},
    {3 * 256, 8, "Spellcheck"},         {1 * 256, 4, "Underlined"},
    {1 * 256, 6, "Strike Out"},         {1 * 256, 8, "Subscript"},
    {1 * 256, 7, "Superscript"},        {8 * 256, 11, "Insert Column"},
    {8 * 256, 10, "Delete Column"},     {5 * 256, 9, "Print Dialog"},
    {3 * 256, 11, "Delete Text"},       {3 * 256, 12, "Redo"},
    {10 * 256, 1, "Insert Number"},     {10 * 256, 2, "Insert Field"},
    {9 * 256, 5, "Include in Outline"}, {9 * 256, 6, "Outline Level Up"},
    {9 * 256, 7, "Outline Level Down"}, {10 * 256, 3, "Edit Hyperlink"},
    {3 * 256, 13, "Spell-As-You-Go"},   {3 * 256, 14, "Thesaurus"},
    {11 * 256, 1, "Font Name"},         {11 * 256, 2, "Font Size"},
    {11 * 256, 3, "Font Color"},        {11 * 256, 4, "Character Background"},
    {11 * 256, 10, "Paragraph Background"}, {11 * 256, 83, "Paragraph Style"},
    {7 * 256, 1, "Protect Paragraph"},  {7 * 256, 2, "Keep Paragraph together"},
}};

const std::array<TRtActionIcon, RtActionIconCount> RtActionIcons = {{
    {"RTI_NORMAL", 256, 1, "Sn"},       {"RTI_BOLD", 256, 2, "Sb"},
    {"RTI_ITALIC", 256, 3, "Si"},       {"RTI_UNDER", 256, 4, "Su"},
    {"RTI_SUPER", 256, 7, "Sp"},        {"RTI_SUB", 256, 8, "Sb"},
    {"RTI_STRIKEOUT", 256, 6, "Ss"},    {"RTI_HYPERLINK", 256, 5, "Sh"},
    {"RTI_HIDDEN", 256, 9, "Sv"},       {"RTI_PROTECTED", 256, 11, "Sm"},
    {"RTI_RTFCODE", 256, 10, "Sc"},     {"RTI_LEFT", 512, 1, "Al"},
    {"RTI_CENTER", 512, 4, "Ac"},       {"RTI_JUSTIFIED", 512, 3, "Aj"},
    {"RTI_RIGHT", 512, 2, "Ar"},        {"RTI_New", 1024, 2, "Fn"},
    {"RTI_OPEN", 1024, 3, "Fo"},        {"RTI_SAVE", 1024, 4, "Fs"},
    {"RTI_CLOSE", 1024, 5, "Fc"},       {"RTI_EXIT", 1024, 1, "Fx"},
    {"RTI_FITWIDTH", 1280, 3, "Zw"},    {"RTI_FITHEIGHT", 1280, 4, "Zf"},
    {"RTI_ZOOMOUT", 1280, 6, "Zi"},     {"RTI_ZOOMIN", 1280, 5, "Zo"},
    {"RTI_PRIORPAGE", 1280, 8, "Zp"},   {"RTI_NEXTPAGE", 1280, 7, "Zn"},
    {"RTI_PRINT", 1280, 1, "Pp"},       {"RTI_PRINTSETUP", 1280, 2, "Ps"},
    {"RTI_TOSTART", 1536, 7, "Df"},     {"RTI_PREV", 1536, 2, "Dp"},
    {"RTI_NEXT", 1536, 1, "Dn"},        {"RTI_TOEND", 1536, 8, "Dl"},
    {"RTI_ADD", 1536, 3, "D+"},         {"RTI_DEL", 1536, 4, "D-"},
    {"RTI_EDIT", 1536, 5, "De"},        {"RTI_CANCEL", 1536, 6, "Dx"},
    {"RTI_POST", 1536, 9, "Dp"},        {"RTI_UNDO", 768, 9, "Eu"},
    {"RTI_REDO", 768, 12, "Ez"},        {"RTI_DELTETETEXT", 768, 11, "Ed"},
    {"RTI_SelAll", 768, 4, "Ea"},       {"RTI_HideSel", 768, 5, "En"},
    {"RTI_CUT", 768, 2, "Ex"},          {"RTI_COPY", 768, 1, "Ec"},
    {"RTI_PASTE", 768, 3, "Ep"},        {"RTI_FIND", 768, 6, "Ef"},
    {"RTI_REPLACE", 768, 7, "Er"},      {"RTI_SPELL", 768, 8, "Es"},
    {"RTI_CREATETABLE", 2048, 1, "Tc"}, {"RTI_SELROW", 2048, 7, "Tr"},
    {"RTI_INSROW", 2048, 8, "T+"},      {"RTI_DELROW", 2048, 9, "T-"},
    {"RTI_INSCOL", 2048, 11, "C+"},     {"RTI_DELCOL", 2048, 10, "C-"},
    {"RTI_SELCOL", 2048, 12, "Tc"},     {"RTI_SPLITCELL", 2048, 13, "Ts"},
    {"RTI_COMBINECELL", 2048, 14, "Tm"}, {"RTI_BOFF", 2048, 2, "Bx"},
    {"RTI_BON", 2048, 15, "Ba"},        {"RTI_BINNER", 2048, 16, "Bi"},
    {"RTI_BOUTER", 2048, 17, "Bo"},     {"RTI_BLEFT", 2048, 3, "Bl"},
    {"RTI_BRIGHT", 2048, 6, "Br"},      {"RTI_BTOP", 2048, 4, "Bt"},
    {"RTI_BBOTTOM", 2048, 5, "Bb"},     {"RTI_BULLETS", 2304, 1, "Nb"},
    {"RTI_NUMBERS", 2304, 2, "Nn"},     {"RTI_INCINDENT", 2304, 3, "N+"},
    {"RTI_DECINDENT", 2304, 4, "N-"},   {"RTI_PARPROTECT", 1792, 1, "Pm"},
    {"RTI_PARKEEP", 1792, 2, "Pk"},
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
    for (int32_t id : {1, 2, 3, 4, 83, 10})
        if (FindRtActionText(11 * 256, id, caption, hint))
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

void RtActionTextsInit() { TActionTextsLink::Install(); }

void RtActionTextsDone() { TActionTextsLink::Remove(); }

namespace {
TActionTextsLink::TUnit ActionTextsUnit;
}  // namespace
