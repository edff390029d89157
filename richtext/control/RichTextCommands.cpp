// The rich-text component's commands beyond the cursor: hyperlink detection,
// the shared find and replace dialogs, hyperlinks and fields, and the file commands.
#include "RichText.h"

#include "RtDialogTexts.h"
#include "RtFindDialog.h"
#include "RtObject.h"

#include <QFileInfo>
#include <QMessageBox>

#include <vector>

namespace {

bool IsLinkDelimiter(uint8_t Ch)
{
    return Ch < 32 || Ch == ' ' || Ch == '(' || Ch == ')' || Ch == ',' || Ch == ';' || Ch == '?' || Ch == '[' ||
           Ch == ']' || Ch == '{' || Ch == '}';
}

// "RTF files (*.rtf)|*.RTF|..." as a file dialog's filters; HTML is left out: there is no HTML filter.
QString DialogFilter()
{
    QStringList out;
    const QStringList parts = fromAnsi(GetRtUIString(meFilter)).split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].contains("HTML", Qt::CaseInsensitive))
            continue;
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QString("%1 (%2)").arg(parts[i].section(" (", 0, 0), patterns.toLower());
    }
    return out.join(";;");
}

// The filter index of a format name: 2 plain text, else 1 (RTF).
int FilterIndexOf(const AnsiString& Format) { return SameText(Format, "ANSI") ? 2 : 1; }

}  // namespace

// ---- hyperlinks while typing ----------------------------------------------------------------------------

void TRtCustomRichText::DetectHyperlinks(TParagraph* Par, TLine* Line, bool WholePar)
{
    if (!Par || !Line)
        return;
    TRtRTFTextInput* e = RtfText();
    bool changed = false;
    for (TLine* l = WholePar ? Par->Lines : Line; l; l = WholePar ? l->Next : nullptr) {
        if (!l->Attrs)
            continue;
        const std::string_view text(reinterpret_cast<const char*>(l->Chars), l->Length);
        for (const char* key : {"http://", "www.", "mailto:", "@"}) {
            for (size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
                size_t from = at, to = at;
                while (from > 0 && !IsLinkDelimiter(uint8_t(text[from - 1])))
                    --from;
                while (to < text.size() && !IsLinkDelimiter(uint8_t(text[to])))
                    ++to;
                if (key[0] == '@' && text.substr(at, to - at).find('.') == std::string_view::npos)
                    continue;
                // Only a word that ends before the cursor is complete.
                if (l == e->CursorLine && to > size_t(e->CursorPos))
                    continue;
                for (size_t i = from; i < to; ++i)
                    if (!l->Attrs[i].Style.Has(afsHyperLink)) {
                        l->Attrs[i].Style.Include(afsHyperLink);
                        changed = true;
                    }
            }
        }
        if (!WholePar)
            break;
    }
    if (changed) {
        Par->Flags |= parfReformat;
        e->ReformatText(nullptr);
        e->Refresh();
    }
}

void TRtCustomRichText::WordCompleted(char32_t Ch)
{
    // A web or mail address is complete when a character that ends it is typed.
    if (Ch < 256 && IsLinkDelimiter(uint8_t(Ch)) && RtfText()->EditOptions.Has(rtAutoDetectHyperlinks))
        DetectHyperlinks(RtfText()->CursorPar, RtfText()->CursorLine, false);
    TRtCustomRtfEdit::WordCompleted(Ch);
}

// ---- find and replace --------------------------------------------------------------------------------------

bool TRtCustomRichText::Find(const AnsiString& Text, bool Down, bool WholeWord, bool MatchCase, char Wildcard)
{
    TRtRTFTextInput* e = RtfText();
    if (Text.empty())
        return false;
    searchText_ = Text;
    finder_.SetText(e);
    finder_.WholeWord = WholeWord;
    finder_.MatchCase = MatchCase;
    finder_.Wildcard = Wildcard;
    int32_t start = 0, length = 0;
    int32_t pos = e->GetCursorCharPos();
    if (e->GetSelection(start, length) && length > 0)
        pos = Down ? start + length : start;
    finder_.SetStartPosition(Down ? pos : pos - 1);
    const bool found = Down ? finder_.FindNext(Text) : finder_.FindPrior(Text);
    if (!found)
        return false;
    e->SetSelection(finder_.FoundPosition, finder_.FoundLength);
    e->SetCursorCharPos(Down ? finder_.FoundPosition + finder_.FoundLength : finder_.FoundPosition);
    e->ShowCursor();
    e->Refresh();
    UpdateCaret();
    return true;
}

bool TRtCustomRichText::Replace(const AnsiString& Text, const AnsiString& With, bool Down, bool WholeWord,
                                bool MatchCase)
{
    TRtRTFTextInput* e = RtfText();
    int32_t start = 0, length = 0;
    // Only a hit of this search that is still selected is replaced.
    if (!(e->GetSelection(start, length) && length > 0 && finder_.Found && finder_.FoundPosition == start &&
          finder_.FoundLength == length && searchText_ == Text)) {
        if (!Find(Text, Down, WholeWord, MatchCase)) {
            RtCommandDialogs().Message(this, fromAnsi(GetRtUIString(meTextNotFound)));
            return false;
        }
        return true;
    }
    if (!BeginChange())
        return false;
    e->NewUndoLevel();
    e->DeleteSelection(false);
    e->SetCursorCharPos(start);
    e->InsertTextAndPaint(With, false);
    e->SetSelection(start, int32_t(With.size()));
    e->SetCursorCharPos(start + int32_t(With.size()));
    finder_.Found = false;
    e->ReformatText(nullptr);
    e->Refresh();
    EndChange();
    return true;
}

int32_t TRtCustomRichText::ReplaceAll(const AnsiString& Text, const AnsiString& With, bool WholeWord, bool MatchCase)
{
    TRtRTFTextInput* e = RtfText();
    if (Text.empty() || !BeginChange())
        return 0;
    finder_.SetText(e);
    finder_.WholeWord = WholeWord;
    finder_.MatchCase = MatchCase;
    finder_.Wildcard = 0;
    finder_.SetStartPosition(e->GetCursorCharPos());
    e->NewUndoLevel();
    e->BeginUndoGroup();
    for (TParagraph* p = e->FirstPar; p; p = p->Next)
        e->SaveUndo(p, ukLines, ulAttributes);
    const int32_t count = finder_.ReplaceAll(Text, With);
    e->EndUndoGroup();
    e->ClearSelection(false);
    for (TParagraph* p = e->FirstPar; p; p = p->Next)
        p->Flags |= parfReformat;
    e->ReformatText(nullptr);
    e->Refresh();
    EndChange();
    return count;
}

void TRtCustomRichText::ShowFindDialog()
{
    TRtReplaceDialog::Shared(true)->hide();
    TRtFindDialog* d = TRtFindDialog::Shared(false);
    d->Bind(this);
    d->show();
    d->raise();
}

void TRtCustomRichText::ShowReplaceDialog()
{
    if (ReadOnly)
        return;
    TRtFindDialog::Shared(false)->hide();
    TRtFindDialog* d = TRtReplaceDialog::Shared(true);
    d->Bind(this);
    d->show();
    d->raise();
}

bool TRtCustomRichText::FindNext()
{
    if (searchText_.empty())
        return false;
    return Find(searchText_, true, finder_.WholeWord, finder_.MatchCase, '*');
}

// ---- hyperlinks and fields ------------------------------------------------------------------------------------

// A link is its visible text; a target other than that text follows it as hidden text.
void TRtCustomRichText::EditHyperlink()
{
    TRtRTFTextInput* e = RtfText();
    TParagraph* par = e->CursorPar;
    if (!par || !e->CursorLine)
        return;
    // The cursor paragraph's characters and attributes in one run.
    AnsiString chars;
    std::vector<TAttr> attrs;
    for (const TLine* l = par->Lines; l; l = l->Next) {
        if (!l->Attrs)
            return;
        chars.append(reinterpret_cast<const char*>(l->Chars), l->Length);
        attrs.insert(attrs.end(), l->Attrs, l->Attrs + l->Length);
    }
    const int32_t n = int32_t(chars.size());
    const int32_t start = e->CharPosOf(par, par->Lines, 0);
    const auto hidden = [&](int32_t i) { return i >= 0 && i < n && attrs[size_t(i)].Style.Has(afsHidden); };
    const auto visibleLink = [&](int32_t i) {
        return i >= 0 && i < n && attrs[size_t(i)].Style.Has(afsHyperLink) && !hidden(i);
    };
    // The link under the cursor, or the one that the cursor or the link's target follows.
    int32_t at = std::min(e->CharPosOf(par, e->CursorLine, e->CursorPos) - start, n - 1);
    if (!hidden(at) && !visibleLink(at))
        --at;
    while (hidden(at))
        --at;
    const bool onLink = visibleLink(at);
    // Its visible text [from, to) and its target [to, end).
    int32_t from = at, to = at + 1, end = to;
    if (onLink) {
        while (visibleLink(from - 1))
            --from;
        while (visibleLink(to))
            ++to;
        end = to;
        while (hidden(end))
            ++end;
    }
    const AnsiString shown = onLink ? chars.substr(size_t(from), size_t(to - from)) : AnsiString();
    const AnsiString target = end > to ? chars.substr(size_t(to), size_t(end - to)) : shown;
    QString text = fromAnsi(target);
    if (!RtCommandDialogs().InputQuery(this, RtDialogString(dtHyperlink), RtDialogString(dtURL), text))
        return;
    const AnsiString link = toAnsi(text);
    if (link.empty() || (onLink && link == target) || !BeginChange())
        return;
    const TAttr saved = e->CurrentAttr;
    e->BeginUndoGroup();
    if (onLink) {
        // The new target takes the format of the old one (or of the visible text).
        TAttr targetAttr = attrs[size_t(end > to ? to : to - 1)];
        targetAttr.Style.Exclude(afsHyperLink);
        if (end > to) {
            e->SetSelection(start + to, end - to);
            e->DeleteSelection(false);
        }
        e->SetCursorCharPos(start + to);
        if (link != shown) {
            // Typing refuses hidden text: the target goes in visible and is hidden then.
            targetAttr.Style.Exclude(afsHidden);
            e->CurrentAttr = targetAttr;
            e->InsertTextAndPaint(link, true);
            for (int32_t i = 0; i < int32_t(link.size()); ++i) {
                TParagraph* p = nullptr;
                TLine* l = nullptr;
                int32_t col = 0;
                e->FindAbsPos(start + to + i, 0, col, l, p);
                if (l && l->Attrs && col < l->Length)
                    l->Attrs[col].Style.Include(afsHidden);
            }
            e->MarkChanged(e->CursorPar);
            e->ReformatText(nullptr);
            e->SetCursorCharPos(start + to);
            RepaintAll();
        }
    } else {
        e->CurrentAttr.Style.Include(afsHyperLink);
        e->InsertTextAndPaint(link, true);
    }
    e->CurrentAttr = saved;
    e->EndUndoGroup();
    EndChange();
}

void TRtCustomRichText::InsertNumberField(const AnsiString& FieldName)
{
    auto field = std::make_unique<TRtObjectField>();
    field->FieldName = FieldName;
    field->FieldMask = "0";
    const bool saved = RtfText()->SuppressObjectActivation;
    RtfText()->SuppressObjectActivation = true;
    ObjectEnv()->InsertObject(std::move(field), FieldName);
    RtfText()->SuppressObjectActivation = saved;
    RtfText()->ReformatText(nullptr);
    RtfText()->Refresh();
}

void TRtCustomRichText::InsertField(const AnsiString& Name, const AnsiString& Text)
{
    if (Name.empty())
        return;
    RtfText()->InsertInsertpoint(uint8_t(RtFieldStart), Text, Name, 0, "", "");
}

// ---- file commands ----------------------------------------------------------------------------------------------

void TRtCustomRichText::SetLastFileName(const QString& Name)
{
    RtfText()->FileName = Name;
    if (OnChangeLastFilename)
        OnChangeLastFilename(this);
}

bool TRtCustomRichText::AskForSave()
{
    Cancelled = false;
    if (!Modified())
        return true;
    switch (RtCommandDialogs().AskSave(this, fromAnsi(GetRtUIString(meSaveChangedText)))) {
    case QMessageBox::Yes:
        Save();
        return !Cancelled;
    case QMessageBox::No:
        SetModified(false);
        return true;
    default:
        Cancelled = true;
        return false;
    }
}

void TRtCustomRichText::SaveToFile(const QString& FileName)
{
    TRtRTFTextInput* e = RtfText();
    const AnsiString saved = e->TextSaveFormat;
    e->TextSaveFormat = QFileInfo(FileName).suffix().compare("txt", Qt::CaseInsensitive) == 0 ? "ANSI" : "RTF";
    e->SaveToFile(FileName);
    e->TextSaveFormat = saved;
    if (e->IOResult == 0)
        SetModified(false);
}

void TRtCustomRichText::Save()
{
    Cancelled = false;
    if (RtEditorRegistry.Save && RtEditorRegistry.Save(this))
        return;
    if (LastFileName().isEmpty()) {
        SaveAs();
        return;
    }
    SaveToFile(LastFileName());
}

void TRtCustomRichText::SaveAs()
{
    Cancelled = false;
    int index = FilterIndexOf(RtfText()->TextSaveFormat);
    QString name = RtCommandDialogs().SaveFileName(this, DialogFilter(), InitialDir, LastFileName(), index);
    if (name.isEmpty()) {
        Cancelled = true;
        return;
    }
    if (QFileInfo(name).suffix().isEmpty())
        name += index == 2 ? ".TXT" : ".RTF";
    SaveToFile(name);
    SetLastFileName(name);
}

void TRtCustomRichText::LoadFile(const QString& FileName)
{
    TRtRTFTextInput* e = RtfText();
    e->Clear();
    e->LoadFromFile(FileName);
    e->CursorPar = e->FirstPar;
    e->CursorLine = e->FirstPar ? e->FirstPar->Lines : nullptr;
    e->CursorPos = 0;
    e->TopY = 0;
    e->UpdateLayout();
    RefreshView();
    Activate();
    SetModified(false);
    SetLastFileName(FileName);
    if (RtEditorRegistry.RichTextLoaded)
        RtEditorRegistry.RichTextLoaded(this);
}

void TRtCustomRichText::Open()
{
    Cancelled = false;
    if (ReadOnly || !AskForSave())
        return;
    if (RtEditorRegistry.Open && RtEditorRegistry.Open(this))
        return;
    int index = FilterIndexOf(RtfText()->TextLoadFormat);
    const QString name = RtCommandDialogs().OpenFileName(this, DialogFilter(), InitialDir, index);
    if (name.isEmpty()) {
        Cancelled = true;
        return;
    }
    LoadFile(name);
}

void TRtCustomRichText::Close()
{
    Cancelled = false;
    if (RtEditorRegistry.Close && RtEditorRegistry.Close(this))
        return;
    if (!LastFileName().isEmpty())
        Save();
    else
        SaveAs();
    if (!Cancelled) {
        Clear();
        SetLastFileName(QString());
    }
}

bool TRtCustomRichText::PrintDialog()
{
    TRtRTFTextInput* e = RtfText();
    e->InvalidatePageCount();
    int32_t from = 0, to = 0;
    int32_t copies = 1;
    if (!RtCommandDialogs().Print || !RtCommandDialogs().Print(this, std::max(1, e->CountPages()), from, to, copies))
        return false;
    // The pages are those of the printer's layout.
    if (wysiwyg_)
        MeasureForPrinter(true);
    PrintParameter().NumberOfCopies = std::max(1, copies);
    PrintText(from, to);
    return true;
}

bool TRtCustomRichText::PrinterSetup()
{
    TTextHeader* h = RtfText()->Header();
    // The page is kept unrotated; the orientation says how it lies.
    const bool landscape = h->Landscape();
    int32_t width = landscape ? h->PageHeight() : h->PageWidth();
    int32_t height = landscape ? h->PageWidth() : h->PageHeight();
    bool chosen = landscape;
    TRtPrinterWrapper& printer = RtPrinter();
    QString name = printer.GetPrinterName();
    int32_t code = 0;
    if (!RtCommandDialogs().PrinterSetup || !RtCommandDialogs().PrinterSetup(this, name, code, width, height, chosen))
        return false;
    // The chosen printer and orientation become the program's; its papers are read again.
    const bool otherPrinter = name.compare(printer.GetPrinterName(), Qt::CaseInsensitive) != 0;
    if (otherPrinter)
        printer.SetPrinterName(name);
    if ((printer.GetOrientation() == 1) != chosen)
        printer.SetOrientation(chosen ? 1 : 0);
    PaperDefs().FillFromPrinter(true);
    // A standard paper by its entry, a paper of its own by the size given.
    if (code != 0 && code != DMPAPER_USER) {
        const int32_t i = PaperDefs().IndexOfCode(code);
        if (i >= 0) {
            width = PaperDefs().Items(i).Width;
            height = PaperDefs().Items(i).Height;
        }
    }
    h->BeginUpdate();
    h->SetLandscape(false);
    h->SetPageWidth(width);
    h->SetPageHeight(height);
    h->SetLandscape(chosen);
    h->EndUpdate();
    // Another printer measures otherwise: a WYSIWYG text is laid out anew for it.
    if (wysiwyg_ && otherPrinter)
        MeasureForPrinter();
    RtfText()->UpdatePageMetrics(false);
    RtfText()->UpdateLayout();
    RefreshView();
    return true;
}
