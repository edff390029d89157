// The edit control's keys, characters, input method, mouse, clipboard, drag
// and drop and dropped files.
#include "RtfEdit.h"

#include "Charsets.h"
#include "RtObject.h"
#include "RtPlatform.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCursor>
#include <QDrag>
#include <QFileInfo>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLocale>
#include <QMimeData>
#include <QScrollBar>

#include <cstring>

const char* const RtMimeRtf = "text/rtf";
const char* const RtMimeRichText = "text/richtext";
const char* const RtMimeText = "text/plain;charset=utf-8";

namespace {

// The five blanks that keep pasted text apart from the following word.
bool IsBlank(uint8_t Ch) { return Ch == 9 || Ch == 10 || Ch == 13 || Ch == 32 || Ch == 0xA0; }

// Text data ends at its first zero byte. RTF may carry binary object data
// (\bin) with zero bytes inside: only the zeros at its end are dropped.
QByteArray DataEnd(QByteArray Bytes, bool Rtf)
{
    if (Rtf) {
        while (Bytes.endsWith('\0'))
            Bytes.chop(1);
    } else if (const qsizetype zero = Bytes.indexOf('\0'); zero >= 0)
        Bytes.truncate(zero);
    return Bytes;
}

// The character Offset away from the cursor in its paragraph, a line's end being the next line's
// start; 13 (a paragraph end) beyond the paragraph.
uint8_t CharAtCursor(const TRtRTFTextInput* E, int32_t Offset)
{
    const TLine* l = E->CursorLine;
    int32_t pos = E->CursorPos + Offset;
    while (l && pos >= l->Length && l->Next) {
        pos -= l->Length;
        l = l->Next;
    }
    while (l && pos < 0 && l->Prior) {
        l = l->Prior;
        pos += l->Length;
    }
    if (!l || pos < 0 || pos >= l->Length)
        return 13;
    return l->Chars[pos];
}

// The charset of the input method's language, -1 when it has none of its own.
int32_t InputMethodCharset()
{
    const QLocale l = QGuiApplication::inputMethod()->locale();
    return LanguageCharset(int(l.language()), int(l.territory()));
}

}  // namespace

bool TRtCustomRtfEdit::CanType() const
{
    return !(engine_->EditOptions.Has(rtNoEditOutsideTable) && !(engine_->CursorPar && (engine_->CursorPar->Flags & parfTableCell)));
}

// ---- keys ----------------------------------------------------------------------------------------------

void TRtCustomRtfEdit::keyPressEvent(QKeyEvent* Event)
{
    int32_t key = Event->key();
    const Qt::KeyboardModifiers mods = Event->modifiers();
    // Any key but typed text first inserts the text typed ahead of it.
    const bool ctrl = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
    if (Event->text().isEmpty() || Event->text().front().unicode() < 32 || ctrl)
        FlushTypeAhead();
    if (key == Qt::Key_Backtab)
        key = Qt::Key_Tab;
    KeyDown(key, mods);
    if (key == 0) {
        Event->accept();
        return;
    }
    // Ctrl with a letter gives its control character; AltGr (Ctrl+Alt) types text.
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        KeyPress(char32_t(key - Qt::Key_A + 1), mods);
        Event->accept();
        return;
    }
    const QString text = Event->text();
    if (text.isEmpty() || ctrl) {
        QAbstractScrollArea::keyPressEvent(Event);
        return;
    }
    TypeText(text, mods);
    Event->accept();
}

void TRtCustomRtfEdit::keyReleaseEvent(QKeyEvent* Event)
{
    int32_t key = Event->key();
    if (OnKeyUp && !Event->isAutoRepeat())
        OnKeyUp(this, key, Event->modifiers());
    QAbstractScrollArea::keyReleaseEvent(Event);
}

void TRtCustomRtfEdit::InputLanguageChanged()
{
    TRtRTFTextInput* e = engine_.get();
    const int32_t charset = InputMethodCharset();
    if (e->EditOptions.Has(rtDeactivateCharsetSwitching) || charset < 0 ||
        charset == e->Header()->FontCharset(e->CurrentAttr.Font))
        return;
    const int32_t font = e->Header()->GetFontIndexForCharset(e->CurrentAttr.Font, charset);
    if (font >= 0) {
        e->CurrentAttr.Font = uint16_t(font);
        e->CurrentAttr.Charset = uint8_t(charset);
    }
}

void TRtCustomRtfEdit::TypeText(const QString& Text, Qt::KeyboardModifiers Shift)
{
    const QList<uint> units = Text.toUcs4();
    const std::u32string chars(units.begin(), units.end());
    for (size_t i = 0; i < chars.size(); ++i)
        KeyPress(chars[i], Shift, std::u32string_view(chars).substr(i));
}

void TRtCustomRtfEdit::KeyDown(int32_t& Key, Qt::KeyboardModifiers Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
    if (RtEditorBusy || !isVisible() || Key == 0)
        return;
    if (KeyDownFirst(Key, Shift) || Key == 0)
        return;
    const bool handled = MovingKeyDown(Key, Shift) || EditingKeyDown(Key, Shift);
    if (handled) {
        if (Key == Qt::Key_Home || Key == Qt::Key_End)
            UpdateScrollRanges();
        Key = 0;
        UpdateCaret();
        RepaintChanged();
    }
}

// The keys that move the cursor or scroll; True when Key was one of them.
bool TRtCustomRtfEdit::MovingKeyDown(int32_t Key, Qt::KeyboardModifiers Shift)
{
    TRtRTFTextInput* e = engine_.get();
    const bool shift = Shift & Qt::ShiftModifier, ctrl = Shift & Qt::ControlModifier;
    switch (Key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (ctrl)
            e->VScroll(Key == Qt::Key_PageUp ? SB_PAGEUP : SB_PAGEDOWN, 0);
        else
            MoveByKey(shift, [&] { e->MoveCursor(Key == Qt::Key_PageUp ? 2 : 3, shift); });
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        MoveByKey(shift, [&] { e->MoveCursor(uint8_t((ctrl ? 4 : 0) + (Key == Qt::Key_End ? 1 : 0)), shift); });
        return true;
    case Qt::Key_Left:
        MoveByKey(shift, [&] { ctrl ? e->MoveWordLeft(1, shift, true) : e->MoveLeft(1, shift, true); });
        return true;
    case Qt::Key_Right:
        MoveByKey(shift, [&] { ctrl ? e->MoveWordRight(1, shift, true) : e->MoveRight(1, shift, true); });
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        MoveByKey(shift, [&] {
            const bool up = Key == Qt::Key_Up;
            const bool edge = up ? e->CursorPar == e->FirstPar && e->CursorLine == e->FirstPar->Lines
                                 : !e->CursorPar->Next && !e->CursorLine->Next;
            if (shift && edge)
                e->MoveCursor(up ? 4 : 5, true);
            else if (up)
                e->MoveUp(1, shift, true, false);
            else
                e->MoveDown(1, shift, true, false);
        });
        return true;
    default:
        return false;
    }
}

// The keys that edit the text or switch modes; True when the key was handled.
bool TRtCustomRtfEdit::EditingKeyDown(int32_t Key, Qt::KeyboardModifiers Shift)
{
    TRtRTFTextInput* e = engine_.get();
    const bool shift = Shift & Qt::ShiftModifier, ctrl = Shift & Qt::ControlModifier, alt = Shift & Qt::AltModifier;
    bool handled = true;
    switch (Key) {
    case Qt::Key_Backspace:
        if (alt && shift && e->EditOptions.Has(rtActivateRedoHotkey))
            Redo();
        else if (alt && e->EditOptions.Has(rtActivateUndoHotkey))
            Undo();
        else if (ctrl && !shift)
            DeleteWordByKey(false);
        else if (e->HasCompleteSelection())
            DeleteSelectionByKey();
        else
            TypeByKey("\b");
        break;
    case Qt::Key_Tab:
        TabKeyDown(shift, ctrl);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ctrl)
            TypeByKey("\x0c");
        else
            handled = false;
        break;
    case Qt::Key_Insert:
        if (shift)
            PasteFromClipboard();
        else if (ctrl)
            CopyToClipboard();
        else {
            e->InsertMode = e->EditOptions.Has(rtAlwaysInsert) || !e->InsertMode;
            e->Inserting = e->InsertMode ? 1 : 0;
            e->UpdateCaretMetrics();
        }
        break;
    case Qt::Key_Delete:
        if (e->SelectedObject && e->EditOptions.Has(rtObjectDeletion)) {
            if (BeginChange()) {
                e->NewUndoLevel();
                objectEnv_->DeleteSelectedObject();
                EndChange();
            }
        } else if (ctrl && !shift)
            DeleteWordByKey(true);
        else if (shift)
            CutToClipboard();
        else if (e->HasCompleteSelection())
            DeleteSelectionByKey();
        else
            TypeByKey("\x7f");
        break;
    case Qt::Key_Menu:
        if (e->CursorLine) {
            const int32_t cx = e->CaretX + e->LeftX, cy = e->CaretY - e->TopY + e->CaretHeight / 2;
            handled = RightButtonWord(Qt::RightButton, Shift, cx, cy);
        } else
            handled = false;
        break;
    case Qt::Key_Minus:
        if (ctrl && !shift && !alt && e->EditOptions.Has(rtUseHyphenation) && e->CursorLine && e->CursorLine->Attrs &&
            e->CursorPos < e->CursorLine->Length && !RtWordDelimiter[e->CursorLine->Chars[e->CursorPos]]) {
            TAttr& a = e->CursorLine->Attrs[e->CursorPos];
            a.Style.Set(afsHyphen, !a.Style.Has(afsHyphen));
            e->MarkChanged(e->CursorPar);
            e->ReformatText(nullptr);
            e->Refresh();
        } else
            handled = false;
        break;
    default:
        handled = false;
    }
    return handled;
}

void TRtCustomRtfEdit::TabKeyDown(bool Shift, bool Ctrl)
{
    TRtRTFTextInput* e = engine_.get();
    const bool inCell = e->CursorPar && (e->CursorPar->Flags & parfTableCell);
    if (inCell && e->EditOptions.Has(rtSpreadsheetCursorMovement)) {
        if (Ctrl)
            TypeByKey("\t");
        else {
            // To the start of the next or previous cell.
            TParagraph* cell = Shift ? e->CursorPar->Prior : e->CursorPar->Next;
            if (cell && (cell->Flags & parfTableCell)) {
                DropSelection();
                e->CursorPar = cell;
                e->CursorLine = cell->Lines;
                e->CursorPos = 0;
                e->ShowCursor();
                e->NotifyChange(rtchCursor);
            }
        }
    } else if (Ctrl && CtrlTabPressed)
        CtrlTabPressed(this);
    else if (Shift && ShiftTabPressed)
        ShiftTabPressed(this);
    else if (!Ctrl && !Shift)
        TypeByKey("\t");
}

void TRtCustomRtfEdit::TypeByKey(const char* Chars)
{
    if (!CanType() || !BeginChange())
        return;
    {
        TDeferScrollRanges defer(*this);
        engine_->InsertTextAndPaint(Chars, true);
    }
    EndChange();
}

void TRtCustomRtfEdit::DeleteSelectionByKey()
{
    TRtRTFTextInput* e = engine_.get();
    if (!CanType() || !BeginChange())
        return;
    e->DeleteSelection(!e->EditOptions.Has(rtDontDeleteExtraSpace));
    e->ReformatText(nullptr);
    e->Refresh();
    EndChange();
}

// Marks the word before or after the cursor and deletes it.
void TRtCustomRtfEdit::DeleteWordByKey(bool After)
{
    TRtRTFTextInput* e = engine_.get();
    if (!CanType() || !BeginChange())
        return;
    // The word is the one at the cursor, not at an anchor left without a selection.
    if (!e->HasCompleteSelection())
        DropSelection();
    // The marked word goes at once and the whole view is painted after: no line is painted meanwhile.
    e->SkipLinePaint = true;
    After ? e->MoveWordRight(1, true, false) : e->MoveWordLeft(1, true, false);
    e->DeleteSelection(false);
    e->SkipLinePaint = false;
    e->Refresh();
    EndChange();
}

// Runs a cursor move; without Shift the selection and an object's frame go first.
void TRtCustomRtfEdit::MoveByKey(bool Shift, const std::function<void()>& Fn)
{
    if (!Shift) {
        DropSelection();
        objectEnv_->HideFrame();
    }
    Fn();
}

void TRtCustomRtfEdit::WordCompleted(char32_t Ch)
{
    if (AfterCompleteWordEvent)
        AfterCompleteWordEvent(this, Ch);
}

bool TRtCustomRtfEdit::ControlKeyPress(char32_t Key, bool Shift)
{
    TRtRTFTextInput* e = engine_.get();
    switch (Key) {
    case 1:
        if (!Shift)
            SelectAll();
        return true;
    case 3:
        if (!Shift)
            CopyToClipboard();
        return true;
    case 22:
        if (!Shift && BeginChange()) {
            PasteFromClipboard();
            EndChange();
        }
        return true;
    case 24:
        if (!Shift && BeginChange()) {
            CutToClipboard();
            e->Refresh();
            EndChange();
        }
        return true;
    case 25:
        if (e->EditOptions.Has(rtActivateRedoHotkey))
            Redo();
        return true;
    case 26:
        if (e->EditOptions.Has(rtActivateUndoHotkey))
            Undo();
        return true;
    case 27:
        objectEnv_->HideFrame();
        DropSelection();
        viewport()->update();
        return true;
    default: return false;
    }
}

void TRtCustomRtfEdit::KeyPress(char32_t Key, Qt::KeyboardModifiers Shift, std::u32string_view Typed)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (RtEditorBusy || !isVisible() || Key == 0 || !CanType())
        return;
    const bool shift = Shift & Qt::ShiftModifier;
    if (ControlKeyPress(Key, shift) || (Key != 13 && (Key < 32 || Key == 127)))
        return;
    TRtRTFTextInput* e = engine_.get();
    // A character the current font's charset cannot hold switches to the
    // font-table entry of the font's name with a charset that can.
    std::string chars;
    uint16_t font = e->CurrentAttr.Font;
    // The typed text starts with the key the hook may have replaced.
    std::u32string replaced;
    if (Typed.empty())
        Typed = std::u32string_view(&Key, 1);
    else if (Typed[0] != Key)
        Typed = replaced = Key + std::u32string(Typed.substr(1));
    if (Key == 13)
        chars = shift ? "\n" : "\r";
    else if (!e->Header()->UnicodeToFontChars(Typed, font, chars,
                                              !e->EditOptions.Has(rtDeactivateCharsetSwitching),
                                              InputMethodCharset())) {
        RtPlatform().Beep();
        return;
    }
    if (e->IsProtected(e->CursorPar, e->CursorLine, e->CursorPos) && !e->HasCompleteSelection())
        return;
    if (!e->HasCompleteSelection() && !e->CheckMaxLength(uint8_t(chars[0]), int32_t(chars.size())))
        return;
    // A word's end goes the typed way: hyperlink detection reads the text before it in place.
    const bool endsWord = chars.size() == 1 && RtWordDelimiter[uint8_t(chars[0])];
    if (TypeAhead && Key != 13 && !endsWord && font == e->CurrentAttr.Font) {
        BufferTypeAhead(chars);
        return;
    }
    FlushTypeAhead();
    typing_ = !e->HasCompleteSelection();
    const bool allowed = BeginChange();
    typing_ = false;
    if (!allowed)
        return;
    if (font != e->CurrentAttr.Font) {
        e->CurrentAttr.Font = font;
        e->CurrentAttr.Charset = uint8_t(e->Header()->FontCharset(font));
    }
    if (endsWord)
        WordCompleted(uint8_t(chars[0]));
    TParagraph* before = e->CursorPar;
    {
        TDeferScrollRanges defer(*this);
        e->InsertTextAndPaint(chars, true);
        if (Key == 13)
            e->ShowCursor();
    }
    if (chars == "\r" && e->CursorPar != before && OnNewParCreatedEvent)
        OnNewParCreatedEvent(this, e->CursorPar);
    typedTo_ = e->GetCursorAbsPos();
    EndChange();
    UpdateCaret();
}

// ---- type-ahead ---------------------------------------------------------------------------------------

void TRtCustomRtfEdit::BufferTypeAhead(const std::string& Chars)
{
    typeAhead_ += Chars;
    if (typeAhead_.size() >= MaxTypeAhead)
        FlushTypeAhead();
    else if (!typeAheadPosted_) {
        // Keys already waiting arrive before this and join the buffer.
        typeAheadPosted_ = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::Type(QEvent::User + RtEventTypeAhead)));
    }
}

void TRtCustomRtfEdit::FlushTypeAhead()
{
    if (typeAhead_.empty())
        return;
    AnsiString text;
    std::swap(text, typeAhead_);
    TRtRTFTextInput* e = engine_.get();
    if (!e->HasCompleteSelection())
        while (!text.empty() && !e->CheckMaxLength(uint8_t(text[0]), int32_t(text.size())))
            text.pop_back();
    if (text.empty() || !CanType())
        return;
    typing_ = !e->HasCompleteSelection();
    const bool allowed = BeginChange();
    typing_ = false;
    if (!allowed)
        return;
    {
        TDeferScrollRanges defer(*this);
        e->InsertTextAndPaint(text, true);
    }
    typedTo_ = e->GetCursorAbsPos();
    EndChange();
    UpdateCaret();
}

void TRtCustomRtfEdit::inputMethodEvent(QInputMethodEvent* Event)
{
    // Dead keys, composed characters and the input method's words arrive as committed text.
    TypeText(Event->commitString(), Qt::NoModifier);
    Event->accept();
}

QVariant TRtCustomRtfEdit::inputMethodQuery(Qt::InputMethodQuery Query) const
{
    switch (Query) {
    case Qt::ImCursorRectangle: return QRectF(CaretRect().translated(viewport()->pos()));
    case Qt::ImEnabled: return !ReadOnly;
    case Qt::ImHints: return int(Qt::ImhMultiLine);
    default: return QAbstractScrollArea::inputMethodQuery(Query);
    }
}

// ---- clipboard -----------------------------------------------------------------------------------------

QMimeData* TRtCustomRtfEdit::CreateMimeData(bool WholeText)
{
    TRtRTFTextInput* e = engine_.get();
    auto write = [&](const char* Format) {
        TMemoryStream stream;
        const AnsiString saved = e->TextSaveFormat;
        e->TextSaveFormat = Format;
        if (WholeText)
            e->SaveToStream(&stream);
        else
            e->SaveSelectionToStream(&stream);
        e->TextSaveFormat = saved;
        return DataEnd(QByteArray(reinterpret_cast<const char*>(stream.Memory()), int(stream.Size())),
                       std::strcmp(Format, "RTF") == 0);
    };
    auto* data = new QMimeData;
    if (WholeText || !ClipboardOptions.Has(rtcoDontCopyRTF)) {
        const QByteArray rtf = write("RTF");
        if (!rtf.isEmpty()) {
            data->setData(RtMimeRtf, rtf);
            data->setData(RtMimeRichText, rtf);
        }
    }
    if (!ClipboardOptions.Has(rtcoDontCopyANSI)) {
        // Plain text by each font's charset.
        const QByteArray utf8 = write("UTF8");
        if (!utf8.isEmpty()) {
            data->setText(QString::fromUtf8(utf8));
            data->setData(RtMimeText, utf8);
        }
    }
    return data;
}

void TRtCustomRtfEdit::Copy(bool WholeText)
{
    proceed_ = true;
    if (cutting_ && OnBeforeCutEvent)
        OnBeforeCutEvent(this, proceed_);
    else if (!cutting_ && OnBeforeCopyEvent)
        OnBeforeCopyEvent(this, proceed_);
    if (!proceed_)
        return;
    if (!WholeText && engine_->SelectedObject) {
        // A selected embedded object goes to the clipboard as its picture.
        auto* data = new QMimeData;
        if (auto* obj = dynamic_cast<TRtObject*>(engine_->SelectedObject))
            data->setImageData(obj->GetBitmapHandle());
        QGuiApplication::clipboard()->setMimeData(data);
        if (cutting_ && CanType() && BeginChange()) {
            engine_->NewUndoLevel();
            objectEnv_->DeleteSelectedObject();
            EndChange();
        }
    } else if (WholeText || engine_->HasCompleteSelection()) {
        QMimeData* data = CreateMimeData(WholeText);
        QGuiApplication::clipboard()->setMimeData(data);
    }
    SendEditState();
}

void TRtCustomRtfEdit::CutToClipboard()
{
    cutting_ = true;
    if (engine_->SelectedObject)
        Copy(false);
    else if (engine_->HasCompleteSelection()) {
        Copy(false);
        if (proceed_ && CanType() && !ReadOnly && BeginChange()) {
            engine_->NewUndoLevel();
            engine_->DeleteSelection(!engine_->EditOptions.Has(rtDontDeleteExtraSpace));
            engine_->ReformatText(nullptr);
            engine_->Refresh();
            UpdateScrollRanges();
            EndChange();
        }
    }
    cutting_ = false;
}

void TRtCustomRtfEdit::PasteFromClipboard()
{
    if (ReadOnly || !CanType() || !BeginChange())
        return;
    InsertMimeData(QGuiApplication::clipboard()->mimeData());
    EndChange();
}

bool TRtCustomRtfEdit::InsertMimeData(const QMimeData* Data, bool Moving)
{
    if (!Data)
        return false;
    // Pictures pasted or dropped from elsewhere may be refused; text moved
    // inside the control keeps its own.
    const bool pictures = Moving || !ClipboardOptions.Has(rtcoDontPasteGraphics);
    // HTML is never read: there is no HTML reader.
    QByteArray bytes;
    const char* format = nullptr;
    if (!ClipboardOptions.Has(rtcoDontPasteRTF)) {
        for (const char* mime : {RtMimeRtf, RtMimeRichText, "application/rtf"})
            if (Data->hasFormat(mime)) {
                bytes = Data->data(mime);
                format = "RTF";
                break;
            }
    }
    if (!format && !ClipboardOptions.Has(rtcoDontPasteANSI) && (Data->hasFormat(RtMimeText) || Data->hasText())) {
        // UTF-8 with its byte-order mark: the text reader puts each character in a charset that holds it.
        const QString text = Data->hasFormat(RtMimeText) ? QString::fromUtf8(Data->data(RtMimeText)) : Data->text();
        if (!text.isEmpty() && text[0] != QChar(0)) {
            bytes = "\xEF\xBB\xBF" + text.toUtf8();
            format = "ANSI";
        }
    }
    if (!format)
        return pictures && Data->hasImage() && InsertPicture(qvariant_cast<QImage>(Data->imageData()));
    bytes = DataEnd(bytes, std::strcmp(format, "RTF") == 0);
    if (bytes.isEmpty())
        return false;
    TRtRTFTextInput* e = engine_.get();
    e->NewUndoLevel();
    if (e->OnBeforeChange)
        e->OnBeforeChange(this);
    if (e->HasCompleteSelection())
        e->DeleteSelection(false);
    e->OnBeforePaste = OnBeforePasteEvent;
    e->SetPasteOptions(ClipboardOptions.Has(rtcoPreserveBorders), ClipboardOptions.Has(rtcoPreserveShading),
                       ClipboardOptions.Has(rtcoPreserveIndents));
    const bool wordAtCursor = !ClipboardOptions.Has(rtcoDontAutoAppendSpace) && !IsBlank(CharAtCursor(e, 0));
    TMemoryStream stream;
    stream.WriteBuffer(bytes.constData(), bytes.size());
    stream.SetPosition(0);
    e->NoPictures = !pictures;
    e->BeginUndoGroup();
    e->LoadInserting(&stream, format);
    e->NoPictures = false;
    AdoptObjects(viewport());
    if (wordAtCursor && !IsBlank(CharAtCursor(e, -1)) && !IsBlank(CharAtCursor(e, 0))) {
        const int32_t pos = e->GetCursorCharPos();
        e->InsertTextAndPaint(" ", false);
        e->SetCursorCharPos(pos);
    }
    e->EndUndoGroup();
    e->OnBeforePaste = nullptr;
    e->SetPasteOptions(false, false, false);
    ShowInserted();
    return true;
}

void TRtCustomRtfEdit::ShowInserted()
{
    surfaceStale_ = true;
    TRtRTFTextInput* e = engine_.get();
    e->ReformatText(nullptr);
    e->ShowCursor();
    e->Refresh();
    UpdateScrollRanges();
    UpdateCaret();
}

bool TRtCustomRtfEdit::InsertPicture(const QImage& Picture)
{
    if (Picture.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!Picture.save(&buffer, "PNG"))
        return false;
    auto obj = std::make_unique<TRtOImageObject>();
    obj->WriteRTFMode = wobOnlyRTF;
    obj->SetPicture(bytes, "PNG");
    if (!obj->GetPicture())
        return false;
    obj->SetWidthTW(obj->GetNaturalWidth());
    obj->SetHeightTW(obj->GetNaturalHeight());
    TRtRTFTextInput* e = engine_.get();
    e->NewUndoLevel();
    if (e->HasCompleteSelection())
        e->DeleteSelection(false);
    obj->SetParentWindow(viewport());
    if (!objectEnv_->InsertObject(std::move(obj), AnsiString()))
        return false;
    ShowInserted();
    return true;
}

// ---- dropped files ---------------------------------------------------------------------------------------

bool TRtCustomRtfEdit::InsertFile(const QString& FileName)
{
    bool proceed = true;
    if (OnDropFile)
        OnDropFile(this, FileName, proceed);
    if (!proceed)
        return false;
    const QString ext = QFileInfo(FileName).suffix().toUpper();
    TRtRTFTextInput* e = engine_.get();
    if (ext == "RTF" || ext == "TXT") {
        try {
            TFileStream stream(FileName, fmOpenRead);
            e->LoadInserting(&stream, "AUTO");
        } catch (const Exception&) {
            return false;
        }
    } else {
        auto obj = std::make_unique<TRtOImageObject>();
        obj->WriteRTFMode = wobOnlyRTF;
        obj->LoadFromFile(FileName);
        if (!obj->GetPicture())
            return false;
        obj->SetWidthTW(obj->GetNaturalWidth());
        obj->SetHeightTW(obj->GetNaturalHeight());
        if (!objectEnv_->InsertObject(std::move(obj), AnsiString()))
            return false;
    }
    AdoptObjects(viewport());
    e->ReformatText(nullptr);
    e->Refresh();
    UpdateScrollRanges();
    return true;
}

// ---- drag and drop ---------------------------------------------------------------------------------------

void TRtCustomRtfEdit::dragEnterEvent(QDragEnterEvent* Event)
{
    const QMimeData* d = Event->mimeData();
    const bool files = AcceptFiles && d->hasUrls();
    const bool text = DragAndDropSupport && (d->hasText() || d->hasFormat(RtMimeRtf));
    if (!ReadOnly && (files || text))
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TRtCustomRtfEdit::dragMoveEvent(QDragMoveEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    TRtRTFTextInput* e = engine_.get();
    const bool inside = Event->source() == this && PointInSelection(e->ScreenToDoc(p.x()), e->ScreenToDoc(p.y()));
    // A drop goes into the text: not into a read-only one, the selection it comes from or beside the page.
    bool accept = !ReadOnly && !inside && !OutsidePage(p.x());
    if (accept) {
        e->MoveCursorToPoint(e->ScreenToDoc(p.x()), e->ScreenToDoc(p.y()), false, false);
        UpdateCaret();
    }
    if (OnDragOver)
        OnDragOver(this, Event->source(), p.x(), p.y(), dsDragMove, accept);
    if (accept)
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TRtCustomRtfEdit::dropEvent(QDropEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    if (DropData(Event->mimeData(), p, Event->source() == this)) {
        Event->setDropAction(Qt::CopyAction);
        Event->accept();
        if (OnDragDrop)
            OnDragDrop(this, Event->source(), p.x(), p.y());
    } else
        Event->ignore();
}

bool TRtCustomRtfEdit::DropData(const QMimeData* Data, QPoint Point, bool FromSelf)
{
    TRtRTFTextInput* e = engine_.get();
    const int32_t x = e->ScreenToDoc(Point.x()), y = e->ScreenToDoc(Point.y());
    if (AcceptFiles && Data->hasUrls()) {
        // Only the first file of a drop is taken; its path is not cut short.
        const QList<QUrl> urls = Data->urls();
        if (urls.isEmpty() || !urls.first().isLocalFile() || !BeginChange())
            return false;
        e->ShowCursor();
        e->MoveCursorToPoint(x, y, false, false);
        InsertFile(urls.first().toLocalFile());
        EndChange();
        return true;
    }
    if (!DragAndDropSupport || !BeginChange())
        return false;
    if (FromSelf)
        MoveSelectionTo(x, y);
    else {
        e->MoveCursorToPoint(x, y, false, false);
        InsertMimeData(Data);
    }
    EndChange();
    return true;
}

bool TRtCustomRtfEdit::MoveSelectionTo(int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    int32_t start = 0, length = 0;
    if (!e->GetSelection(start, length) || length <= 0 || PointInSelection(X, Y))
        return false;
    bool doIt = true;
    if (OnBeforeCopyEvent)
        OnBeforeCopyEvent(this, doIt);
    if (!doIt)
        return false;
    std::unique_ptr<QMimeData> data(CreateMimeData(false));
    e->NewUndoLevel();
    e->MoveCursorToPoint(X, Y, true, false);
    int32_t target = e->GetCursorCharPos();
    if (target >= start && target <= start + length)
        return false;
    e->ClearSelection(false);
    e->SetSelection(start, length);
    e->BeginUndoGroup();
    e->DeleteSelection(false);
    if (target > start)
        target -= length;
    e->SetCursorCharPos(target);
    InsertMimeData(data.get(), true);
    e->EndUndoGroup();
    return true;
}

// ---- mouse -------------------------------------------------------------------------------------------------

bool TRtCustomRtfEdit::PointInSelection(int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    int32_t start = 0, length = 0;
    if (!DragAndDropSupport || !e->GetSelection(start, length) || length <= 0)
        return false;
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    if (!e->FindLineAtPosition(par, line, X - e->LeftX, Y - 1 + e->TopY) || !par || !line ||
        !(line->Flags & (linfSelected | linfSelBoundary)))
        return false;
    const int32_t pos = e->CharPosOf(par, line, e->GetCharIndexAtX(par, line, X - e->LeftX));
    return pos >= start && pos < start + length;
}

void TRtCustomRtfEdit::TakeFocus()
{
    if (PaintLock <= 0 && !destroying_ && isVisible() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
}

bool TRtCustomRtfEdit::DoubleClickAt(int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    if (!e->FindLineAtPosition(par, line, X - e->LeftX, Y + e->TopY) || !par || !line)
        return false;
    const int32_t pos = e->GetCharIndexAtX(par, line, X - e->LeftX);
    if (pos >= line->Length)
        return false;
    if (line->Attrs && line->Attrs[pos].Style.Has(afsHyperLink) && HyperLinkEvent) {
        int32_t from = pos, to = pos;
        while (from > 0 && line->Attrs[from - 1].Style.Has(afsHyperLink))
            --from;
        while (to < line->Length && line->Attrs[to].Style.Has(afsHyperLink))
            ++to;
        HyperLinkEvent(this, AnsiString(reinterpret_cast<const char*>(line->Chars) + from, size_t(to - from)), 0);
        return true;
    }
    if (NoBlockMarking)
        return false;
    int32_t from = pos, to = pos + 1;
    const uint8_t ch = line->Chars[pos];
    if (line->Attrs && line->Attrs[pos].Style.Has(afsIsObject)) {
    } else if (ch >= '0' && ch <= '9') {
        auto stop = [](uint8_t c) { return c == ' ' || c == 9 || c == '"' || c == ';' || c == '!' || c == '?' || c == ':'; };
        while (from > 0 && !(line->Chars[from - 1] == ' ' || line->Chars[from - 1] == 9))
            --from;
        while (to < line->Length && !stop(line->Chars[to]))
            ++to;
    } else if (!RtWordDelimiter[ch]) {
        while (from > 0 && !RtWordDelimiter[line->Chars[from - 1]])
            --from;
        while (to < line->Length && !RtWordDelimiter[line->Chars[to]])
            ++to;
    }
    e->SetSelectionPoint(par, line, from, false, false);
    e->SetSelectionPoint(par, line, to, true, true);
    e->CursorPar = par;
    e->CursorLine = line;
    e->CursorPos = to;
    e->UpdateCaret();
    return false;
}

TTextObj* TRtCustomRtfEdit::FindTextObjectAt(int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    TTextObj* entry = objectEnv_->FindObjectAt(e->ScreenToDoc(X) - e->LeftX, e->ScreenToDoc(Y) + e->TopY);
    if (entry && dynamic_cast<TRtObjectField*>(entry->Object) &&
        !e->EditOptions.Has(rtFieldObjectsAsGraphicObjects))
        return nullptr;
    return entry;
}

bool TRtCustomRtfEdit::ObjectEvent(const TTextObjectMouseEvent& Event, TTextObj* Entry, Qt::MouseButton Button,
                                   Qt::KeyboardModifiers Shift, QPoint Point)
{
    auto* obj = Entry ? dynamic_cast<TRtObject*>(Entry->Object) : nullptr;
    if (!Event || !obj)
        return false;
    engine_->CalcObjectScreenRect(obj);
    const QRect r(Entry->RectLeft, Entry->RectTop, 0, 0);
    const int32_t x = engine_->DocToScreen(r.left() + engine_->LeftX);
    const int32_t y = engine_->DocToScreen(r.top() - engine_->TopY);
    Event(this, Entry, obj, Button, Shift, Point.x() - x, Point.y() - y);
    return true;
}

// Over the right edge of a table cell that another cell follows (within T
// layout units), the border can be dragged.
bool TRtCustomRtfEdit::HoverBorder(int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    hoveredBorder_ = nullptr;
    if (!e->EditOptions.Has(rtTableColumnResizing) && !e->EditOptions.Has(rtTableOneCellResizing))
        return false;
    const int32_t t = std::max(e->ScreenToDoc(1), 2);
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    if (!e->FindLineAtPosition(par, line, X - e->LeftX - t, Y - 1 + e->TopY) || !par)
        return false;
    TParagraph* next = par->Next;
    if (!(par->Flags & parfTableCell) || !(par->Flags & parfNotLastCell) || !par->Cell || !next || !next->Cell)
        return false;
    int32_t left = 0, width = 0, nextLeft = 0, nextWidth = 0;
    e->GetCellPosition(par, left, width);
    e->GetCellPosition(next, nextLeft, nextWidth);
    if (left + width + e->LeftX - t < X && X < nextLeft + e->LeftX + t) {
        hoveredBorder_ = par;
        borderLastX_ = X;
        viewport()->setCursor(Qt::SplitHCursor);
        return true;
    }
    return false;
}

bool TRtCustomRtfEdit::RightButtonWord(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y)
{
    TRtRTFTextInput* e = engine_.get();
    if (!OnMouseDownRight)
        return false;
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    if (!e->FindLineAtPosition(par, line, X - e->LeftX, Y + e->TopY) || !par || !line)
        return false;
    const int32_t pos = e->GetCharIndexAtX(par, line, X - e->LeftX);
    if (pos >= line->Length || RtWordDelimiter[line->Chars[pos]])
        return false;
    int32_t from = pos, to = pos + 1;
    const bool link = line->Attrs && line->Attrs[pos].Style.Has(afsHyperLink);
    auto inWord = [&](int32_t i) {
        return link ? line->Attrs[i].Style.Has(afsHyperLink) : !RtWordDelimiter[line->Chars[i]];
    };
    while (from > 0 && inWord(from - 1))
        --from;
    while (to < line->Length && inWord(to))
        ++to;
    const AnsiString word(reinterpret_cast<const char*>(line->Chars) + from, size_t(to - from));
    AnsiString text = word;
    const TAttr before = line->Attrs ? line->Attrs[from] : e->CurrentAttr;
    TAttr attr = before;
    const int32_t absPos = e->CharPosOf(par, line, from);
    OnMouseDownRight(this, Button, Shift, X, Y, absPos, to - from, text, attr);
    if (text != word) {
        if (!BeginChange())
            return true;
        e->SetSelection(absPos, to - from);
        e->DeleteSelection(false);
        e->SetCursorCharPos(absPos);
        const TAttr saved = e->CurrentAttr;
        e->CurrentAttr = attr;
        e->InsertTextAndPaint(text, true);
        e->CurrentAttr = saved;
        EndChange();
    } else if (!(attr == before) && line->Attrs) {
        for (int32_t i = from; i < to; ++i)
            line->Attrs[i] = attr;
        e->MarkChanged(par);
        e->ReformatText(nullptr);
        RepaintAll();
    }
    return true;
}

void TRtCustomRtfEdit::mousePressEvent(QMouseEvent* Event)
{
    FlushTypeAhead();
    TRtRTFTextInput* e = engine_.get();
    const QPoint p = Event->position().toPoint();
    const Qt::MouseButton button = Event->button();
    const Qt::KeyboardModifiers mods = Event->modifiers();
    e->SelectionPointSet = false;
    downPoint_ = p;
    downButton_ = button;
    if (hoveredBorder_) {
        if (BeginChange()) {
            borderDrag_ = true;
            e->NewUndoLevel();
            // Every move of the drag records the cells it changes: the drag is one undo step.
            e->BeginUndoGroup();
            return;
        }
        hoveredBorder_ = nullptr;
        viewport()->setCursor(Qt::IBeamCursor);
    }
    const int32_t x = e->ScreenToDoc(p.x()), y = e->ScreenToDoc(p.y());
    if (button == Qt::LeftButton && !ReadOnly && PointInSelection(x, y)) {
        possibleDrag_ = true;
        dragStart_ = QPoint(x, y);
        if (OnMouseDown)
            OnMouseDown(this, button, mods, x, y);
        return;
    }
    // An embedded object under the mouse takes the press itself.
    pressedObject_ = e->EditOptions.Has(rtObjectSelecting) ? FindTextObjectAt(p.x(), p.y()) : nullptr;
    if (pressedObject_ && ObjectEvent(OnTextObjectMouseDown, pressedObject_, button, mods, p))
        return;
    if (button != Qt::LeftButton) {
        if (OnMouseDown)
            OnMouseDown(this, button, mods, p.x(), p.y());
        if (OnMouseDownRight)
            RightButtonWord(button, mods, x, y);
        else {
            e->MoveCursorToPoint(x, y, false, false);
            UpdateCaret();
        }
        return;
    }
    if (OnMouseDown)
        OnMouseDown(this, button, mods, x, y);
    TakeFocus();
    if (!e->FirstPar || CaretDisabled)
        return;
    if (mods & Qt::ShiftModifier) {
        objectEnv_->HideFrame();
        buttonDown_ = true;
        e->MoveCursorToPoint(x, y, true, true);
    } else {
        if (OneClickHyperlink && DoubleClickAt(x, y))
            return;
        DropSelection();
        e->Selecting = false;
        e->MoveCursorToPoint(x, y, false, true);
        buttonDown_ = true;
    }
    e->UpdateCaret();
    e->NewUndoLevel();
    UpdateCaret();
    viewport()->update();
}

void TRtCustomRtfEdit::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(Event);
        return;
    }
    TRtRTFTextInput* e = engine_.get();
    const QPoint p = Event->position().toPoint();
    buttonDown_ = false;
    if (OnDblClick)
        OnDblClick(this);
    if (TTextObj* entry = e->EditOptions.Has(rtObjectSelecting) ? FindTextObjectAt(p.x(), p.y()) : nullptr) {
        if (OnTextObjectEdit)
            OnTextObjectEdit(this, entry, entry->Object, true);
        return;
    }
    DoubleClickAt(e->ScreenToDoc(p.x()), e->ScreenToDoc(p.y()));
    e->SelectionPointSet = true;
    UpdateCaret();
    viewport()->update();
}

void TRtCustomRtfEdit::mouseMoveEvent(QMouseEvent* Event)
{
    TRtRTFTextInput* e = engine_.get();
    const QPoint p = Event->position().toPoint();
    // Beside the page of the page-layout view: the arrow, and no text under the mouse.
    if (OutsidePage(p.x())) {
        outsidePage_ = true;
        viewport()->setCursor(Qt::ArrowCursor);
        if (OnMouseMove)
            OnMouseMove(this, Qt::NoButton, Event->modifiers(), p.x(), p.y());
        return;
    }
    if (outsidePage_) {
        outsidePage_ = false;
        viewport()->setCursor(Qt::IBeamCursor);
    }
    const int32_t x = e->ScreenToDoc(p.x()), y = e->ScreenToDoc(p.y());
    if (TTextObj* entry = e->EditOptions.Has(rtObjectSelecting) ? FindTextObjectAt(p.x(), p.y()) : nullptr)
        ObjectEvent(OnTextObjectMouseMove, entry, downButton_, Event->modifiers(), p);
    if (borderDrag_ && hoveredBorder_) {
        // The border follows the mouse while the cell keeps twice its spacing.
        int32_t left = 0, width = 0;
        e->GetCellPosition(hoveredBorder_, left, width);
        const int32_t newWidth = width + x - borderLastX_;
        if (hoveredBorder_->Cell && newWidth >= 2 * hoveredBorder_->Cell->Spacing) {
            TableLayoutChanged = true;
            const bool allRows = !(Event->modifiers() & Qt::ControlModifier) &&
                                 !e->EditOptions.Has(rtTableOneCellResizing);
            borderLastX_ += e->MoveCellBorder(hoveredBorder_, left + newWidth, allRows);
            RepaintAll();
        } else
            borderLastX_ = x;
        return;
    }
    if (possibleDrag_ && DragAndDropSupport) {
        if (std::abs(dragStart_.x() - x) + std::abs(dragStart_.y() - y) > 6) {
            possibleDrag_ = false;
            auto* drag = new QDrag(this);
            drag->setMimeData(CreateMimeData(false));
            drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
            if (OnEndDrag) {
                const QPoint at = mapFromGlobal(QCursor::pos());
                OnEndDrag(this, drag->target(), at.x(), at.y());
            }
        }
        return;
    }
    if (!buttonDown_ && HoverBorder(x, y))
        return;
    if (OnMouseMove)
        OnMouseMove(this, Qt::NoButton, Event->modifiers(), p.x(), p.y());
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t index = -1;
    if (e->FindLineAtPosition(par, line, x - e->LeftX, y - 1 + e->TopY) && par && line)
        index = e->GetCharIndexAtX(par, line, x - e->LeftX);
    e->UpdateHotStyle(par, line, index);
    if (buttonDown_ && e->FirstPar && (Event->buttons() & Qt::LeftButton)) {
        e->MoveCursorToPoint(x, y, true, true);
        UpdateScrollRanges();
        UpdateCaret();
        viewport()->update();
    }
    TTextObj* hovered = e->EditOptions.Has(rtObjectSelecting) ? FindTextObjectAt(p.x(), p.y()) : nullptr;
    SetHotObject(hovered ? hovered->Object : nullptr);
    // The cursor shape: an arrow over the selection, the link and object cursors where they apply.
    Qt::CursorShape shape = Qt::IBeamCursor;
    if (PointInSelection(x, y))
        shape = Qt::ArrowCursor;
    else if (HyperLinkCursor && line && line->Attrs && index >= 0 && index < line->Length &&
             line->Attrs[index].Style.Has(afsHyperLink))
        shape = *HyperLinkCursor;
    else if (TextObjectCursor && hovered)
        shape = *TextObjectCursor;
    viewport()->setCursor(shape);
}

void TRtCustomRtfEdit::leaveEvent(QEvent* Event)
{
    QAbstractScrollArea::leaveEvent(Event);
    engine_->UpdateHotStyle(nullptr, nullptr, -1);
    SetHotObject(nullptr);
}

void TRtCustomRtfEdit::mouseReleaseEvent(QMouseEvent* Event)
{
    TRtRTFTextInput* e = engine_.get();
    const QPoint p = Event->position().toPoint();
    const int32_t x = e->ScreenToDoc(p.x()), y = e->ScreenToDoc(p.y());
    if (borderDrag_ || hoveredBorder_) {
        if (borderDrag_) {
            for (int i = 0; i < 64 && e->EndUndoGroup(); ++i) {
            }
            EndChange();
        }
        hoveredBorder_ = nullptr;
        borderDrag_ = false;
        viewport()->setCursor(Qt::IBeamCursor);
        return;
    }
    if (TTextObj* entry = pressedObject_) {
        pressedObject_ = nullptr;
        ObjectEvent(OnTextObjectMouseUp, entry, Event->button(), Event->modifiers(), p);
        if (Event->button() == Qt::LeftButton && entry == FindTextObjectAt(p.x(), p.y())) {
            // A click on an embedded object selects it unless the click handler ignores it.
            bool ignore = false;
            if (OnTextObjectClick)
                OnTextObjectClick(this, entry, entry->Object, ignore);
            if (!ignore) {
                e->ShowObjectFrame(entry);
                if (OnTextObjectSelect)
                    OnTextObjectSelect(this, entry, entry->Object, true);
            }
            return;
        }
    }
    if (possibleDrag_ && Event->button() == Qt::LeftButton) {
        // No drag started: the click places the cursor after all.
        possibleDrag_ = false;
        if (OnMouseDown)
            OnMouseDown(this, Qt::LeftButton, Event->modifiers(), dragStart_.x(), dragStart_.y());
        DropSelection();
        e->MoveCursorToPoint(x, y, false, true);
    }
    if (OnMouseUp)
        OnMouseUp(this, Event->button(), Event->modifiers(), p.x(), p.y());
    if (e->FirstPar && Event->button() == Qt::LeftButton) {
        buttonDown_ = false;
        const bool shift = Event->modifiers() & Qt::ShiftModifier;
        if (p == downPoint_ && !shift && !e->SelectionPointSet) {
            DropSelection();
        }
        UpdateCaret();
        if (OnClick)
            OnClick(this);
    }
    SendEditState();
    e->SelectionPointSet = false;
    viewport()->update();
}
