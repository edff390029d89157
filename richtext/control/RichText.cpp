#include "RichText.h"

#include "Dialogs.h"
#include "RtActionTexts.h"
#include "RtDialogTexts.h"
#include "RtExtraData.h"
#include "RtFindDialog.h"
#include "RtGutter.h"
#include "RtNumbering.h"
#include "RtObject.h"
#include "RtRuler.h"
#include "RtTableSelect.h"
#include "RtToolBar.h"
#include "SysUtils.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPrinter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

TRtEditorRegistry RtEditorRegistry;

namespace {

// The print dialog: the program's printer, all pages or a range, and the copies.
bool ShowPrintDialog(QWidget* Parent, int32_t MaxPage, int32_t& From, int32_t& To, int32_t& Copies)
{
    QDialog dialog(Parent);
    dialog.setWindowTitle(RtDialogString(dtPrint));
    auto* form = new QFormLayout(&dialog);
    auto* printers = new QComboBox;
    TPrinter& printer = Printer();
    printers->addItems(printer.Printers());
    printers->setCurrentIndex(printer.PrinterIndex());
    form->addRow(RtDialogString(dtPrinter), printers);
    auto* all = new QRadioButton(RtDialogString(dtAllPages));
    auto* range = new QRadioButton(RtDialogString(dtPagesFrom));
    auto* first = new QSpinBox;
    auto* last = new QSpinBox;
    for (QSpinBox* box : {first, last})
        box->setRange(1, std::max(1, MaxPage));
    first->setValue(From > 0 ? From : 1);
    last->setValue(To > 0 ? To : std::max(1, MaxPage));
    (From > 0 ? range : all)->setChecked(true);
    form->addRow(all);
    auto* pages = new QHBoxLayout;
    pages->addWidget(first);
    pages->addWidget(new QLabel(RtDialogString(dtPagesTo)));
    pages->addWidget(last);
    form->addRow(range, pages);
    auto* copies = new QSpinBox;
    copies->setRange(1, 999);
    copies->setValue(std::max(1, Copies));
    form->addRow(RtDialogString(dtCopies), copies);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (printers->currentIndex() >= 0 && printers->currentIndex() != printer.PrinterIndex())
        printer.SetPrinterIndex(printers->currentIndex());
    From = range->isChecked() ? std::min(first->value(), last->value()) : 0;
    To = range->isChecked() ? std::max(first->value(), last->value()) : 0;
    Copies = copies->value();
    return true;
}

TRtCustomRichText* CurrentRichText = nullptr;

// Bit of an id in a group's button state set.
uint32_t IdBit(int32_t Id) { return Id >= 0 && Id < 32 ? RtBitMask[size_t(Id)] : 0; }
size_t GroupIndex(int32_t Group) { return size_t(std::clamp(Group / 256, 0, 11)); }

// The style bit of each character-style command from rtcStyleBold on.
constexpr TOneWrtStyle StyleCommandBits[] = {afsBold,  afsItalic, afsUnderline, afsHyperLink, afsStrikeOut,
                                             afsSuper, afsSub,    afsHidden,    afsIsRTFCode, afsProtected};
constexpr int32_t FirstStyleCommand = rtcStyleBold;

}  // namespace

TRtCommandDialogs& RtCommandDialogs()
{
    static TRtCommandDialogs dialogs{
        [](QWidget* Parent, const QString& Text) {
            return int(QMessageBox::question(Parent, QGuiApplication::applicationDisplayName(), Text,
                                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
        },
        [](QWidget* Parent, const QString& Text) {
            QMessageBox::information(Parent, QGuiApplication::applicationDisplayName(), Text);
        },
        [](QWidget* Parent, const QString& Filter, const QString& Dir, const QString& Name, int& FilterIndex) {
            TFileDialogRequest request{true, Filter, FilterIndex, Dir, Name, QString()};
            if (!ExecuteFileDialog(Parent, request))
                return QString();
            FilterIndex = request.FilterIndex;
            return request.FileName;
        },
        [](QWidget* Parent, const QString& Filter, const QString& Dir, int& FilterIndex) {
            TFileDialogRequest request{false, Filter, FilterIndex, Dir, QString(), QString()};
            return ExecuteFileDialog(Parent, request) ? request.FileName : QString();
        },
        [](QWidget* Parent, const QString& Caption, const QString& Prompt, QString& Value) {
            bool ok = false;
            const QString s = QInputDialog::getText(Parent, Caption, Prompt, QLineEdit::Normal, Value, &ok);
            if (ok)
                Value = s;
            return ok;
        },
        [](QWidget* Parent, QString& PrinterName, int32_t& PaperCode, int32_t& Width, int32_t& Height,
           bool& Landscape) {
            // The system's print dialog chooses the printer, its paper and the orientation.
            QPrinter printer(QPrinterInfo::printerInfo(PrinterName));
            printer.setPageSize(QPageSize(QSizeF(Width / 20.0, Height / 20.0), QPageSize::Point));
            printer.setPageOrientation(Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
            QPrintDialog dialog(&printer, Parent);
            dialog.setOptions({});
            if (dialog.exec() != QDialog::Accepted)
                return false;
            if (!printer.printerName().isEmpty())
                PrinterName = printer.printerName();
            const QPageSize size = printer.pageLayout().pageSize();
            PaperCode = PaperCodeOf(size.id());
            if (PaperCode == 0)
                PaperCode = DMPAPER_USER;
            const QSizeF pt = size.size(QPageSize::Point);
            Width = Round32(pt.width() * 20);
            Height = Round32(pt.height() * 20);
            Landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
            return true;
        },
        [](QWidget* Parent, int32_t MaxPage, int32_t& From, int32_t& To, int32_t& Copies) {
            return ShowPrintDialog(Parent, MaxPage, From, To, Copies);
        },
        [](QWidget* Parent, QWidget* Anchor, int32_t& Columns, int32_t& Rows, bool& Borders) {
            return ShowTableSelect(Parent, Anchor, Columns, Rows, Borders);
        },
    };
    return dialogs;
}

TRtCustomRichText::TRtCustomRichText(QWidget* Parent) : TRtCustomRtfEdit(Parent), setMode_(RtfText())
{
    RtfText()->Inserting = 1;
    setMode_.OnApplied = [this](TObject*) {
        if (OnCharacterAttrChange)
            OnCharacterAttrChange(this, &setMode_);
        if (OnParagraphAttrChange)
            OnParagraphAttrChange(this, &setMode_);
    };
    TRtRTFTextInput* e = RtfText();
    // Page-size changes reach the rulers and OnChangePageSize (once a load has ended).
    headerChange_ = e->Header()->OnChange;
    e->Header()->OnChange = [this](bool Repaint) {
        if (headerChange_)
            headerChange_(Repaint);
        if (!loadingText_ && !RtfText()->Loading)
            PageMaybeChanged();
    };
    pageWidth_ = e->Header()->PageWidth();
    pageHeight_ = e->Header()->PageHeight();
    landscape_ = e->Header()->Landscape();
    e->OnLayerChange = [this](TObject*) {
        if (OnWorkOnTextChanged)
            OnWorkOnTextChanged(this, RtfText()->Layer);
    };
    e->OnHotStyle = [this](TObject*, TParagraph* Par, int32_t Index) {
        if (Par && OnActivateHotStyle)
            OnActivateHotStyle(this, Par, Index);
        else if (!Par && OnDeactivateHotStyle)
            OnDeactivateHotStyle(this);
    };
    e->OnChangeUndoStack = [this](TObject*) {
        if (OnUndoChange)
            OnUndoChange(this, RtfText()->UndoStack);
    };
    e->OnReferenceGetText = [this](TObject*, const AnsiString& Name, const AnsiString& Format, TTextObj* Ref,
                                   AnsiString& Text, bool& Done) {
        if (OnReferenceGetText)
            OnReferenceGetText(this, Name, Format, Ref, Text, Done);
    };
    e->OnGetFieldText = [this](TObject*, TRtObjectBase* Field, bool& Done) {
        return OnTextFieldGetText ? OnTextFieldGetText(this, Field, Done) : AnsiString();
    };
    e->OnGetFieldBounds = [this](TObject*, TRtObjectBase* Field, int32_t& Width, int32_t& Height, int32_t& Base) {
        if (OnTextFieldGetBounds)
            OnTextFieldGetBounds(this, Field, Width, Height, Base);
    };
    // A loaded object whose data is linked is registered before anything
    // paints it; it stays unloaded unless the registration fetched its picture.
    e->OnObjectLoadQuery = [this](TObject*, TRtObjectBase*& Obj, bool& Answer) {
        if (!Obj)
            return;
        RegisterObject(Obj);
        auto* image = dynamic_cast<TRtOImageObject*>(Obj);
        Answer = !(image && image->GetPicture());
    };
    if (RtEditorRegistry.RichTextCreated)
        RtEditorRegistry.RichTextCreated(this);
}

TRtCustomRichText::~TRtCustomRichText()
{
    Deactivate();
    // A gutter inside the control goes after the engine: it lets go of its positions now.
    for (TRtCustomGutter* g : findChildren<TRtCustomGutter*>())
        if (g->RichText() == this)
            g->SetRichText(nullptr);
    if (toolBar_)
        --toolBar_->EditorCount;
    TRtRTFTextInput* e = RtfText();
    e->Header()->OnChange = headerChange_;
    e->OnLayerChange = nullptr;
    e->OnHotStyle = nullptr;
    e->OnChangeUndoStack = nullptr;
    e->OnReferenceGetText = nullptr;
    e->OnGetFieldText = nullptr;
    e->OnGetFieldBounds = nullptr;
    e->OnObjectLoadQuery = nullptr;
    SetRtUndoStack(nullptr);
    if (CurrentRichText == this)
        CurrentRichText = nullptr;
    // The shared find and replace dialogs go with the last rich text.
    const auto& controls = Controls();
    if (std::none_of(controls.begin(), controls.end(),
                     [this](TRtCustomRtfEdit* C) { return C != this && dynamic_cast<TRtCustomRichText*>(C); }))
        TRtFindDialog::FreeShared();
}

TRtCustomRichText* TRtCustomRichText::Current() { return CurrentRichText; }

namespace {

// The sizes a font offers (the usual list for a scalable font).
std::vector<int32_t> FontSizesOf(const AnsiString& Name)
{
    QList<int> sizes = QFontDatabase::pointSizes(fromAnsi(Name));
    if (sizes.isEmpty())
        sizes = QFontDatabase::standardSizes();
    return {sizes.begin(), sizes.end()};
}

} // namespace

void TRtCustomRichText::Activate()
{
    CurrentRichText = this;
    setMode_.ReloadChar = setMode_.ReloadPar = true;
    setMode_.Reload();
    BindListActions();
    if (gutter_)
        gutter_->SetRichText(this);
    if (ruler_)
        ruler_->SetRichText(this);
    if (vertRuler_)
        vertRuler_->SetRichText(this);
    if (toolBar_) {
        toolBar_->SetRichText(this);
        ShowFontSizes();
        PushButtonStates();
    }
    UpdateRulers();
    // The find and replace dialogs work on the rich text activated last.
    for (bool replace : {false, true})
        if (TRtFindDialog* d = TRtFindDialog::Existing(replace))
            d->Bind(this);
}

void TRtCustomRichText::ShowFontSizes()
{
    if (!toolBar_ || toolBar_->RichText() != this)
        return;
    const AnsiString name = setMode_.FontName();
    if (fontSizes_.empty() || name != sizesFont_) {
        fontSizes_ = FontSizesOf(name);
        sizesFont_ = name;
    }
    toolBar_->SetFontSizes(fontSizes_, setMode_.Size());
}

void TRtCustomRichText::Deactivate()
{
    if (gutter_ && gutter_->RichText() == this)
        gutter_->SetRichText(nullptr);
    if (ruler_ && ruler_->RichText() == this)
        ruler_->SetRichText(nullptr);
    if (vertRuler_ && vertRuler_->RichText() == this)
        vertRuler_->SetRichText(nullptr);
    if (toolBar_ && toolBar_->RichText() == this)
        toolBar_->SetRichText(nullptr);
    for (bool replace : {false, true})
        if (TRtFindDialog* d = TRtFindDialog::Existing(replace); d && d->Bound() == this)
            d->Bind(nullptr);
}

void TRtCustomRichText::moveEvent(QMoveEvent* Event)
{
    TRtCustomRtfEdit::moveEvent(Event);
    if (hasFocus())
        Activate();
}

void TRtCustomRichText::resizeEvent(QResizeEvent* Event)
{
    TRtCustomRtfEdit::resizeEvent(Event);
    if (hasFocus())
        Activate();
}

// ---- linked components ---------------------------------------------------------------------------------

void TRtCustomRichText::SetRtToolBar(TRtToolBar* ToolBar)
{
    if (ToolBar == toolBar_)
        return;
    if (toolBar_) {
        --toolBar_->EditorCount;
        if (toolBar_->RichText() == this)
            toolBar_->SetRichText(nullptr);
    }
    toolBar_ = ToolBar;
    if (toolBar_) {
        ++toolBar_->EditorCount;
        toolBar_->SetRichText(this);
        PushButtonStates();
    }
}

void TRtCustomRichText::PushButtonStates()
{
    if (!toolBar_ || toolBar_->RichText() != this)
        return;
    for (int32_t group = 1; group < int32_t(buttonsDown_.size()); ++group)
        for (int32_t id = 1; id < 32; ++id)
            toolBar_->SetButtonDown(group * 256, id, ButtonDown(group * 256, id));
}

void TRtCustomRichText::SetRtRuler(TRtBasicRulerType* Ruler)
{
    if (ruler_ && ruler_->RichText() == this)
        ruler_->SetRichText(nullptr);
    ruler_ = Ruler;
    if (ruler_ && CurrentRichText == this) {
        ruler_->SetRichText(this);
        UpdateRulers();
    }
}

void TRtCustomRichText::SetRtVertRuler(TRtBasicRulerType* Ruler)
{
    if (vertRuler_ && vertRuler_->RichText() == this)
        vertRuler_->SetRichText(nullptr);
    vertRuler_ = Ruler;
    if (vertRuler_ && CurrentRichText == this) {
        vertRuler_->SetRichText(this);
        UpdateRulers();
    }
}

void TRtCustomRichText::SetRtGutter(TRtCustomGutter* Gutter)
{
    if (gutter_ && gutter_->RichText() == this)
        gutter_->SetRichText(nullptr);
    gutter_ = Gutter;
    if (gutter_ && CurrentRichText == this)
        gutter_->SetRichText(this);
}

void TRtCustomRichText::SetActionList(QObject* List)
{
    actionList_ = List;
    listActions_.SetList(List);
    BindListActions();
}

void TRtCustomRichText::BindListActions()
{
    if (!actionList_)
        return;
    for (TRtAction* a : actionList_->findChildren<TRtAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        // One connection per action: it works on the current rich text of its list.
        if (a->property("rtListBound").toBool())
            continue;
        a->setProperty("rtListBound", true);
        connect(a, &QAction::triggered, a, [a](bool Checked) {
            TRtCustomRichText* rt = TRtCustomRichText::Current();
            if (!rt || rt->ActionList() != a->parent())
                return;
            uint8_t state = !a->isCheckable() || Checked ? rtcmdClick : rtcmdRelease;
            rt->Execute(a->Group, a->Id, state);
        });
    }
}

void TRtCustomRichText::SetExternVerScrollBar(QScrollBar* Bar)
{
    if (externVer_)
        disconnect(externVer_, nullptr, this, nullptr);
    externVer_ = Bar;
    if (Bar)
        connect(Bar, &QScrollBar::valueChanged, this, [this](int Value) { verticalScrollBar()->setValue(Value); });
    SyncExternScrollBars();
}

void TRtCustomRichText::SetExternHorScrollBar(QScrollBar* Bar)
{
    if (externHor_)
        disconnect(externHor_, nullptr, this, nullptr);
    externHor_ = Bar;
    if (Bar)
        connect(Bar, &QScrollBar::valueChanged, this, [this](int Value) { horizontalScrollBar()->setValue(Value); });
    SyncExternScrollBars();
}

void TRtCustomRichText::SyncExternScrollBars()
{
    for (auto [outside, own] : {std::pair{externVer_.data(), verticalScrollBar()},
                                std::pair{externHor_.data(), horizontalScrollBar()}}) {
        if (!outside)
            continue;
        const QSignalBlocker block(outside);
        outside->setRange(own->minimum(), own->maximum());
        outside->setPageStep(own->pageStep());
        outside->setSingleStep(own->singleStep());
        outside->setValue(own->value());
    }
}

void TRtCustomRichText::scrollContentsBy(int Dx, int Dy)
{
    TRtCustomRtfEdit::scrollContentsBy(Dx, Dy);
    SyncExternScrollBars();
    UpdateRulers();
    if (gutter_ && gutter_->RichText() == this)
        gutter_->update();
}

void TRtCustomRichText::UpdateRulers()
{
    TRtRTFTextInput* e = RtfText();
    const TTextHeader* h = e->Header();
    // Twips to pixels at the current zoom.
    auto px = [e](int32_t Twips) { return int32_t(MulDiv(Twips, e->ScreenResolution * e->Zooming, 144000)); };
    const bool pageView = (e->LayoutFlags & lfPageLayoutView) != 0;
    const int32_t offset = e->DocToScreen(e->LeftX) + XOffset;
    if (ruler_ && ruler_->RichText() == this) {
        // Wrapped at the window the text area is the window; on a page it lies within the margins.
        const int32_t extent = pageView ? px(h->PageWidth()) : viewport()->width();
        const int32_t leftMargin = pageView ? px(h->LeftMargin()) : 0;
        const int32_t rightMargin = pageView ? px(h->RightMargin()) : 0;
        ruler_->SetPage(offset, extent, leftMargin, rightMargin);
        int32_t left = 0, first = 0, right = 0;
        std::vector<TRtRulerTab> tabs;
        if (const TParagraph* p = e->CursorPar) {
            left = px(p->IndentLeft);
            first = px(p->IndentLeft + p->IndentFirst);
            right = px(p->IndentRight);
            for (size_t i = 0; i < h->Tabs.size(); ++i)
                if ((p->Tabs >> i) & 1)
                    tabs.push_back({px(h->Tabs[i].Pos), h->Tabs[i].Kind});
        }
        ruler_->SetIndents(left, first, right, tabs);
    }
    if (vertRuler_ && vertRuler_->RichText() == this)
        vertRuler_->SetPage(-e->DocToScreen(e->TopY) + YOffset, pageView ? px(h->PageHeight()) : viewport()->height(),
                            pageView ? px(h->TopMargin()) : 0, pageView ? px(h->BottomMargin()) : 0);
}

void TRtCustomRichText::SetWYSIWYG(bool Value)
{
    if (Value == wysiwyg_)
        return;
    wysiwyg_ = Value;
    if (Value)
        MeasureForPrinter();
    else
        RtfText()->SetScreenResMode(rmNormal);
    RefreshView();
    UpdateRulers();
}

void TRtCustomRichText::MeasureForPrinter(bool Force)
{
    TRtRTFTextInput* e = RtfText();
    // The fixed-resolution layout, at the printer's resolution, painted scaled
    // to the screen; the page-scaling print loop prints it as it stands.
    e->SetScreenResMode(rm1440);
    const int32_t dpi = RtPrinter().LogPixelsY();
    if (dpi > 0 && (Force || dpi != e->FixedResolution)) {
        e->FixedResolution = dpi;
        e->UpdateResolution();
        e->InvalidateWidthTables();
        e->UpdateLayout();
        e->Refresh();
    }
}

void TRtCustomRichText::PageMaybeChanged()
{
    const TTextHeader* h = RtfText()->Header();
    if (h->PageWidth() == pageWidth_ && h->PageHeight() == pageHeight_ && h->Landscape() == landscape_) {
        UpdateRulers();
        return;
    }
    pageWidth_ = h->PageWidth();
    pageHeight_ = h->PageHeight();
    landscape_ = h->Landscape();
    UpdateRulers();
    if (OnChangePageSize)
        OnChangePageSize(this);
}


void TRtCustomRichText::Clear()
{
    DropTypeAhead();
    RtfText()->Clear();
    ApplyDefaultFont();
    hiddenText_ = false;
    SetModified(false);
    setMode_.Reload();
    RefreshView();
}

void TRtCustomRichText::LoadFromStream(TStream* Stream, const AnsiString& FormatName)
{
    // The text's page counts once the whole text is in.
    loadingText_ = true;
    try {
        TRtCustomRtfEdit::LoadFromStream(Stream, FormatName);
    } catch (...) {
        loadingText_ = false;
        throw;
    }
    loadingText_ = false;
    RegisterObjects();
    PageMaybeChanged();
    Activate();
    EndChange();
}

void TRtCustomRichText::PasteFromClipboard()
{
    TRtCustomRtfEdit::PasteFromClipboard();
    RegisterObjects();
}

void TRtCustomRichText::RegisterObjects()
{
    for (TRtListItem* it = RtfText()->ObjRefList()->FirstItem(); it; it = it->Next)
        if (TRtObjectBase* obj = static_cast<TRtObjRefItem*>(it)->Obj.Object)
            RegisterObject(obj);
}

// ---- state --------------------------------------------------------------------------------------------------

void TRtCustomRichText::SetButtonState(int32_t Group, int32_t Id, bool Down)
{
    uint32_t& set = buttonsDown_[GroupIndex(Group)];
    set = Down ? set | IdBit(Id) : set & ~IdBit(Id);
    for (TRtAction* a : actions_)
        if (a->Group == Group && a->Id == Id && a->isCheckable())
            a->setChecked(Down);
    if (CurrentRichText == this)
        listActions_.ForEach(Group, Id, [Down](TRtAction* A) {
            if (A->isCheckable()) {
                const QSignalBlocker block(A);
                A->setChecked(Down);
            }
        });
    if (toolBar_ && toolBar_->RichText() == this)
        toolBar_->SetButtonDown(Group, Id, Down);
    if (OnButtonState)
        OnButtonState(this, Group, Id, Down);
}

bool TRtCustomRichText::ButtonDown(int32_t Group, int32_t Id) const
{
    return (buttonsDown_[GroupIndex(Group)] & IdBit(Id)) != 0;
}

void TRtCustomRichText::EngineChanged() { UpdateState(); }

void TRtCustomRichText::UpdateState()
{
    TRtRTFTextInput* e = RtfText();
    const uint32_t mask = e->ChangeFlags;
    e->ChangeFlags = 0;
    ++CommandLock;
    SetButtonState(rtgView, rtcViewFitWidth, AutoZoom() == rtAutoZoomWidth);
    SetButtonState(rtgView, rtcViewFitPage, AutoZoom() == rtAutoZoomFullPage);
    // The attribute control reloads on a change or when it was told to.
    if ((mask & (rtchCharAttr | rtchParAttr | rtchCursor)) || setMode_.ReloadChar || setMode_.ReloadPar)
        setMode_.Reload();
    if (mask & (rtchCharAttr | rtchCursor)) {
        const WrtStyle s = e->CurrentAttr.Style;
        int32_t id = FirstStyleCommand;
        for (TOneWrtStyle bit : StyleCommandBits)
            SetButtonState(rtgStyle, id++, s.Has(bit));
        if (OnCharacterAttrChange)
            OnCharacterAttrChange(this, &setMode_);
        ShowFontSizes();
    }
    if (mask & (rtchParAttr | rtchCursor)) {
        const TParAlign align = setMode_.Alignment();
        SetButtonState(rtgAlign, rtcAlignLeft, align == paralLeft);
        SetButtonState(rtgAlign, rtcAlignRight, align == paralRight);
        SetButtonState(rtgAlign, rtcAlignJustified, align == paralBlock);
        SetButtonState(rtgAlign, rtcAlignCenter, align == paralCenter);
        SetButtonState(rtgParagraph, rtcParagraphProtect, setMode_.ParProtect());
        SetButtonState(rtgParagraph, rtcParagraphKeep, setMode_.ParKeep());
        const TRtNumberStyle n = setMode_.OutlineStyle();
        SetButtonState(rtgNumbering, rtcNumberingBullets, n == rt_bullet);
        SetButtonState(rtgNumbering, rtcNumberingNumbers, n != rt_none && n != rt_bullet);
        if (OnParagraphAttrChange)
            OnParagraphAttrChange(this, &setMode_);
        if (OnUpdateParAttr)
            OnUpdateParAttr(this);
    }
    if (mask & (rtchParAttr | rtchCursor | rtchHorzScroll))
        UpdateRulers();
    if (mask & rtchCursor)
        SendEditState();
    --CommandLock;
    UpdateScrollRanges();
    SyncExternScrollBars();
    if (gutter_ && gutter_->RichText() == this)
        gutter_->update();
}

// ---- the dispatcher -------------------------------------------------------------------------------------------

void TRtCustomRichText::Execute(int32_t Group, int32_t Id, uint8_t& State, const AnsiString& Text)
{
    if (CommandLock > 0 || State == 0)
        return;
    bool click = State == rtcmdClick;
    if (click)
        buttonsDown_[GroupIndex(Group)] ^= IdBit(Id);
    if (Group == rtgTable) {
        // Table commands always run as clicks.
        click = true;
        State = rtcmdClick;
    }
    RtfText()->NewUndoLevel();
    if (RunCommand(Group, Id, click, Text)) {
        State = 0;
        RepaintAll();
        RtfText()->NotifyChange(rtchCharAttr | rtchParAttr);
        UpdateState();
    }
}

void TRtCustomRichText::AttributeChange(WrtStyle Style, bool On)
{
    TAttr a;
    a.Style = Style;
    RtfText()->ChangeSelCharAttr(a, Style.Empty() ? cmStyle : On ? cmAddStyle : 0x400);
    RtfText()->ReformatText(nullptr);
    RtfText()->Refresh();
}

void TRtCustomRichText::SetBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Inner)
{
    TRtRTFTextInput* e = RtfText();
    if (!e->CursorPar || !(e->CursorPar->Flags & parfTableCell))
        return;
    if (e->MarkedCells == 0)
        e->MarkCellBlock(e->CursorPar, e->CursorPar);
    e->SetMarkedCellBorders(Left, Top, Right, Bottom, Inner);
    // Cells are painted by their cell record's edges: they follow the paragraph's.
    for (TParagraph* p = e->FirstPar; p; p = p->Next)
        if ((p->Flags & parfMarked) && (p->Flags & parfTableCell))
            SyncCellBorders(p);
    e->ReformatText(nullptr);
    e->Refresh();
}

void TRtCustomRichText::StartSpellCheck(int32_t Mode)
{
    TRtRTFTextInput* e = RtfText();
    if (Mode == 3) {
        for (TParagraph* p = e->FirstPar; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                if (l->Attrs)
                    for (int32_t i = 0; i < l->Length; ++i) {
                        l->Attrs[i].Style.Exclude(afsMisSpelled);
                        l->Attrs[i].Style.Exclude(afsWasChecked);
                    }
        e->Refresh();
    }
    if (OnStartSpellCheck)
        OnStartSpellCheck(this, Mode);
    if (Mode == 2)
        for (TParagraph* p = e->FirstPar; p; p = p->Next)
            e->SpellCheckParagraph(p, true);
}

void TRtCustomRichText::Renumber()
{
    RtfText()->UpdateNumbering();
    RtfText()->ReformatText(nullptr);
    RtfText()->Refresh();
}

bool TRtCustomRichText::RunChange(const std::function<void()>& Fn)
{
    if (!BeginChange())
        return false;
    Fn();
    EndChange();
    return true;
}

bool TRtCustomRichText::RunCommand(int32_t Group, int32_t Id, bool Click, const AnsiString& Text)
{
    // The low byte of a group code carries nothing.
    const int32_t group = Group / 256 * 256;
    if (!Click)
        return RunRelease(group, Id);
    switch (group) {
    case rtgStyle: return RunStyleCommand(Id);
    case rtgAlign: {
        static const TParAlign aligns[] = {paralLeft, paralRight, paralBlock, paralCenter};
        if (Id < rtcAlignLeft || Id > rtcAlignCenter)
            return false;
        return RunChange([&] { setMode_.SetAlignment(aligns[Id - rtcAlignLeft]); });
    }
    case rtgEdit: return RunEditCommand(Id);
    case rtgFile: return RunFileCommand(Id);
    case rtgView: return RunViewCommand(Id);
    case rtgParagraph: return RunChange([&] { ToggleParagraphFlag(Id); });
    case rtgTable: return RunTableCommand(Id);
    case rtgNumbering: return RunNumberingCommand(Id);
    case rtgInsert:
        switch (Id) {
        case rtcInsertNumber: return RunChange([&] { InsertNumberField("PAGE"); });
        case rtcInsertField: return RunChange([&] { InsertField(Text, Text); });
        case rtcInsertHyperlink: EditHyperlink(); return true;
        default: return false;
        }
    default: return false;
    }
}

bool TRtCustomRichText::RunRelease(int32_t Group, int32_t Id)
{
    switch (Group) {
    case rtgStyle:
        if (Id >= FirstStyleCommand && Id <= rtcStyleProtected) {
            return RunChange([&] {
                if (Id == rtcStyleHidden)
                    AttributeChange({afsHidden}, hiddenText_);
                else
                    AttributeChange({StyleCommandBits[Id - FirstStyleCommand]}, false);
            });
        }
        return false;
    case rtgEdit:
        if (Id == rtcEditSelectAll || Id == rtcEditHideSelection) {
            DropSelection();
            viewport()->update();
            return true;
        }
        if (Id == rtcEditSpellAsYouGo) {
            StartSpellCheck(3);
            return true;
        }
        return false;
    case rtgView:
        if (Id == rtcViewFitWidth || Id == rtcViewFitPage) {
            SetAutoZoom(rtAutoZoomOff);
            return true;
        }
        return false;
    case rtgParagraph: return RunChange([&] { ToggleParagraphFlag(Id); });
    case rtgNumbering:
        if (Id >= rtcNumberingBullets && Id <= rtcNumberingPriorLevel)
            return RunChange([&] { setMode_.SetNumberStyle(0); });
        if (Id == rtcNumberingOutline) {
            setMode_.SetOutlineMode(false);
            return true;
        }
        return false;
    default: return false;
    }
}

void TRtCustomRichText::ToggleParagraphFlag(int32_t Id)
{
    if (Id == rtcParagraphProtect)
        setMode_.SetParProtect(!setMode_.ParProtect());
    else
        setMode_.SetParKeep(!setMode_.ParKeep());
}

bool TRtCustomRichText::RunStyleCommand(int32_t Id)
{
    if (Id < rtcStyleNormal || Id > rtcStyleProtected)
        return false;
    return RunChange([&] {
        if (Id == rtcStyleNormal)
            AttributeChange({}, true);
        else if (Id == rtcStyleSuper) {
            AttributeChange({afsSub}, false);
            AttributeChange({afsSuper}, true);
        } else if (Id == rtcStyleSub) {
            AttributeChange({afsSuper}, false);
            AttributeChange({afsSub}, true);
        } else if (Id == rtcStyleHidden) {
            AttributeChange({afsHidden}, !hiddenText_);
            hiddenText_ = !hiddenText_;
        } else
            AttributeChange({StyleCommandBits[Id - FirstStyleCommand]}, true);
    });
}

bool TRtCustomRichText::RunEditCommand(int32_t Id)
{
    switch (Id) {
    case rtcEditCopy: CopyToClipboard(); return true;
    case rtcEditCut: return RunChange([&] { CutToClipboard(); });
    case rtcEditPaste: return RunChange([&] { PasteFromClipboard(); });
    case rtcEditSelectAll: SelectAll(); return true;
    case rtcEditHideSelection:
        DropSelection();
        viewport()->update();
        return true;
    case rtcEditFind: ShowFindDialog(); return true;
    case rtcEditReplace:
        if (!ReadOnly)
            ShowReplaceDialog();
        return true;
    case rtcEditSpellcheck: StartSpellCheck(0); return true;
    case rtcEditUndo: Undo(); return true;
    case rtcEditFindNext: return true;
    case rtcEditDeleteText:
        if (RtfText()->HasCompleteSelection())
            return RunChange([&] { ClearSelection(); });
        return true;
    case rtcEditRedo: Redo(); return true;
    case rtcEditSpellAsYouGo: StartSpellCheck(1); return true;
    case rtcEditThesaurus: StartSpellCheck(2); return true;
    default: return false;
    }
}

bool TRtCustomRichText::RunFileCommand(int32_t Id)
{
    switch (Id) {
    case rtcFileNew:
        if (AskForSave())
            Clear();
        return true;
    case rtcFileOpen: Open(); return true;
    case rtcFileSave: Save(); return true;
    case rtcFileClose: Close(); return true;
    default: return false;   // rtcFileExit belongs to the application
    }
}

bool TRtCustomRichText::RunViewCommand(int32_t Id)
{
    switch (Id) {
    case rtcViewPrint:
        if (!RtEditorRegistry.Print || !RtEditorRegistry.Print(this))
            PrintText(0, 0);
        return true;
    case rtcViewPrintDialog: PrintDialog(); return true;
    case rtcViewPrinterSetup: PrinterSetup(); return true;
    case rtcViewFitWidth:
        SetAutoZoom(AutoZoom() == rtAutoZoomWidth ? rtAutoZoomOff : rtAutoZoomWidth);
        return true;
    case rtcViewFitPage:
        SetAutoZoom(AutoZoom() == rtAutoZoomFullPage ? rtAutoZoomOff : rtAutoZoomFullPage);
        return true;
    case rtcViewZoomIn: ZoomIn(); return true;
    case rtcViewZoomOut: ZoomOut(); return true;
    case rtcViewNextPage:
    case rtcViewPriorPage: GoToPage(RtfText()->GetCursorPageNr() + (Id == rtcViewNextPage ? 1 : -1)); return true;
    default: return false;
    }
}

void TRtCustomRichText::GoToPage(int32_t Page)
{
    TRtRTFTextInput* e = RtfText();
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t pos = 0;
    if (Page < 0)
        return;
    e->FindPageStart(Page, par, pos, line);
    if (par && line) {
        DropSelection();
        e->CursorPar = par;
        e->CursorLine = line;
        e->CursorPos = 0;
        e->CursorLineToTop = true;
        e->ShowCursor();
        e->CursorLineToTop = false;
        e->Refresh();
        UpdateCaret();
    }
}

bool TRtCustomRichText::RunTableCommand(int32_t Id)
{
    TRtRTFTextInput* e = RtfText();
    switch (Id) {
    case rtcTableCreate: {
        int32_t columns = 0, rows = 0;
        bool borders = true;
        // The picker opens at the command's tool-bar button.
        QWidget* anchor = toolBar_ && toolBar_->RichText() == this ? toolBar_->Button(rtgTable, Id) : nullptr;
        if (RtCommandDialogs().PickTable && RtCommandDialogs().PickTable(this, anchor, columns, rows, borders))
            RunChange([&] { InsertTable(columns, rows, borders); });
        viewport()->update();
        return true;
    }
    case rtcTableBordersOff: return RunChange([&] { SetBorders(2, 2, 2, 2, 2); });
    case rtcTableLeftBorders: return RunChange([&] { SetBorders(1, 0, 0, 0, 0); });
    case rtcTableTopBorders: return RunChange([&] { SetBorders(0, 1, 0, 0, 0); });
    case rtcTableBottomBorders: return RunChange([&] { SetBorders(0, 0, 0, 1, 0); });
    case rtcTableRightBorders: return RunChange([&] { SetBorders(0, 0, 1, 0, 0); });
    case rtcTableSelectRow: SelectCurrentRow(); return true;
    case rtcTableInsertRow: return RunChange([&] { InsertRow(); });
    case rtcTableDeleteRow: return RunChange([&] { DeleteRow(); });
    case rtcTableDeleteColumn:
    case rtcTableInsertColumn:
    case rtcTableSelectColumn:
        if (!e->CursorPar || !(e->CursorPar->Flags & parfTableCell))
            return true;
        if (Id == rtcTableSelectColumn) {
            e->SelectTableColumn(e->CursorPar);
            e->Refresh();
            return true;
        }
        return RunChange([&] {
            e->SelectTableColumn(e->CursorPar);
            Id == rtcTableDeleteColumn ? e->DeleteMarkedCells() : e->SplitMarkedCells();
            e->ReformatText(nullptr);
            e->Refresh();
        });
    case rtcTableSplitCell:
    case rtcTableCombineCells:
        if (!e->CursorPar || !(e->CursorPar->Flags & parfTableCell))
            return true;
        return RunChange([&] {
            if (e->MarkedCells == 0)
                e->MarkCellBlock(e->CursorPar, e->CursorPar);
            Id == rtcTableSplitCell ? e->SplitMarkedCells() : e->CombineMarkedCells();
            e->ReformatText(nullptr);
            e->Refresh();
        });
    case rtcTableBordersOn: return RunChange([&] { SetBorders(1, 1, 1, 1, 1); });
    case rtcTableInnerBorders: return RunChange([&] { SetBorders(0, 0, 0, 0, 1); });
    case rtcTableOuterBorders: return RunChange([&] { SetBorders(1, 1, 1, 1, 0); });
    default: return false;
    }
}

bool TRtCustomRichText::RunNumberingCommand(int32_t Id)
{
    TRtRTFTextInput* e = RtfText();
    switch (Id) {
    case rtcNumberingBullets: return RunChange([&] { setMode_.SetOutlineStyle(rt_bullet); });
    case rtcNumberingNumbers:
        return RunChange([&] {
            // Continue the nearest numbering before (or after) the cursor.
            auto numbered = [&](TParagraph* p) {
                const TRtRTFNumberingStyle* s = p->Number ? e->NumberingStyles()->FindStyle(p->Number, p->NumLevel) : nullptr;
                return s && s->Style != rt_bullet && s->Style != rt_none ? p->Number : 0;
            };
            int32_t number = 0;
            for (TParagraph* p = e->CursorPar ? e->CursorPar->Prior : nullptr; p && !number; p = p->Prior)
                number = numbered(p);
            for (TParagraph* p = e->CursorPar ? e->CursorPar->Next : nullptr; p && !number; p = p->Next)
                number = numbered(p);
            if (number)
                setMode_.SetNumberStyle(number);
            else
                setMode_.SetOutlineStyle(rt_1);
        });
    case rtcNumberingNextLevel: return RunChange([&] { setMode_.IncLevel(); });
    case rtcNumberingPriorLevel: return RunChange([&] { setMode_.DecLevel(); });
    case rtcNumberingOutline: setMode_.SetOutlineMode(true); Renumber(); return true;
    case rtcNumberingOutlineUp: return RunChange([&] { e->IncOutlineLevel(); Renumber(); });
    case rtcNumberingOutlineDown: return RunChange([&] { e->DecOutlineLevel(); Renumber(); });
    default: return false;
    }
}

void TRtCustomRichText::ExecuteValue(int32_t Group, int32_t Id, int32_t Number, const AnsiString& Text)
{
    if (CommandLock > 0 || Group != rtgValue || !BeginChange())
        return;
    TRtRTFTextInput* e = RtfText();
    switch (Id) {
    case rtcValueFontName: {
        int32_t charset = e->Header()->Fonts[size_t(std::min<int32_t>(e->CurrentAttr.Font, 255))].Charset;
        if (charset == 2)
            charset = 0;
        setMode_.SetFontNr(e->Header()->GetTextFontIndex(Text, charset));
        break;
    }
    case rtcValueFontSize: setMode_.SetSize(Number); break;
    case rtcValueFontColor: setMode_.SetColor(Number); break;
    case rtcValueBackColor: setMode_.SetBKColor(Number); break;
    case rtcValueParColor:
        if (Number != setMode_.ParColor()) {
            setMode_.BeginUpdate();
            setMode_.SetParColor(Number);
            if (setMode_.ParShading() == 0)
                setMode_.SetParShading(100);
            setMode_.EndUpdate();
        }
        break;
    case rtcValueParStyle: setMode_.SetStyleName(Text); break;
    default: break;
    }
    EndChange();
}

// ---- zoom --------------------------------------------------------------------------------------------------

void TRtCustomRichText::SetZooming(int32_t Value)
{
    const int32_t before = Zooming();
    TRtCustomRtfEdit::SetZooming(Value);
    Activate();
    for (TRtBasicRulerType* ruler : {ruler_.data(), vertRuler_.data()})
        if (ruler)
            ruler->update();
    if (Zooming() != before && OnChangeZooming)
        OnChangeZooming(this);
}

void TRtCustomRichText::SetResizing(int32_t Value)
{
    TRtCustomRtfEdit::SetResizing(Value);
    Activate();
}

void TRtCustomRichText::ZoomIn()
{
    const int32_t z = Zooming();
    const int32_t step = z > 200 ? 50 : z >= 100 ? 20 : 10;
    SetZooming(z < 999 ? (z + step + 1) / step * step : 1000);
}

void TRtCustomRichText::ZoomOut()
{
    const int32_t z = Zooming();
    const int32_t step = z > 200 ? 50 : z >= 100 ? 20 : 10;
    SetZooming(z > 10 ? (z - step) / step * step : 10);
}

// ---- actions, tabs, keys --------------------------------------------------------------------------------------

void TRtCustomRichText::BindAction(TRtAction* Action)
{
    if (!Action)
        return;
    actions_.push_back(Action);
    connect(Action, &QObject::destroyed, this, [this, Action] { std::erase(actions_, Action); });
    connect(Action, &QAction::triggered, this, [this, Action](bool Checked) {
        uint8_t state = !Action->isCheckable() || Checked ? rtcmdClick : rtcmdRelease;
        Execute(Action->Group, Action->Id, state);
    });
}

void TRtCustomRichText::ChangeParTabMask(bool ClearTabs, uint64_t Mask)
{
    if (!hasFocus() && isVisible())
        TakeFocus();
    if (!hasFocus() || !BeginChange())
        return;
    RtfText()->ChangeParTabMask(Mask, ClearTabs);
    RtfText()->ShowCursor();
    EndChange();
}

bool TRtCustomRichText::KeyDownFirst(int32_t& Key, Qt::KeyboardModifiers Shift)
{
    TRtRTFTextInput* e = RtfText();
    if (Key != Qt::Key_Tab || Shift != Qt::NoModifier || !e->EditOptions.Has(rtAutoInsertRow) || !e->CursorPar ||
        !(e->CursorPar->Flags & parfTableCell) || (e->CursorPar->Flags & parfNotLastCell))
        return false;
    if (e->CursorPar->Next && (e->CursorPar->Next->Flags & parfTableCell))
        return false;
    if (BeginChange()) {
        InsertRow();
        EndChange();
    }
    Key = 0;
    return true;
}

// ---- tables ---------------------------------------------------------------------------------------------------

void TRtCustomRichText::InsertTable(int32_t Columns, int32_t Rows, bool Borders)
{
    TRtRTFTextInput* e = RtfText();
    Columns = std::clamp(Columns, 1, 63);
    Rows = std::clamp(Rows, 1, 1000);
    if (!e->CursorPar)
        return;
    e->NewUndoLevel();
    e->BeginUndoGroup();
    DropSelection();
    if (e->CursorLine && (e->CursorLine->Length > 0 || e->CursorPar->Lines != e->CursorLine))
        e->InsertTextAndPaint("\r", false);
    const TParagraph state = *e->CursorPar;
    e->InsertTextAndPaint("\r", false);
    // The table goes into the empty paragraph before the cursor.
    TParagraph* par = e->CursorPar->Prior;
    if (!par)
        return;
    par->Align = state.Align;
    e->AddTable("", "", 0, 0, 0);
    std::vector<TRtCellDescriptor> cells;
    cells.resize(size_t(Columns));
    for (TRtCellDescriptor& c : cells) {
        c.Props.Mask = 1;
        if (Borders) {
            c.Props.Mask |= 1u << 8;
            c.Props.BrdLines = brdPresent | brdTop | brdBottom | brdLeft | brdRight;
        }
    }
    TParagraph* first = nullptr;
    for (int32_t r = 0; r < Rows; ++r) {
        e->ApplyParProps(par, Columns, cells.data());
        TParagraph* cell = par;
        for (int32_t i = 0; i < Columns && cell; ++i, cell = cell->Prior) {
            SyncCellBorders(cell);
            if (r == 0 && i == Columns - 1)
                first = cell;
        }
    }
    e->EndUndoGroup();
    e->CursorPar = first ? first : par;
    e->CursorLine = e->CursorPar->Lines;
    e->CursorPos = 0;
    e->UpdateLayout();
    e->ShowCursor();
    e->Refresh();
    UpdateScrollRanges();
    UpdateCaret();
}

void TRtCustomRichText::SyncCellBorders(TParagraph* Cell)
{
    if (TRtCell* c = RtfText()->GetParCell(Cell))
        c->BrdFlags = uint8_t((c->BrdFlags & (celbHairline | celbDotted)) | (Cell->BrdLines & 0xFC));
}

void TRtCustomRichText::InsertRow()
{
    TRtRTFTextInput* e = RtfText();
    if (!e->CursorPar || !(e->CursorPar->Flags & parfTableCell))
        return;
    TParagraph* cell = e->CursorPar;
    while (cell->Next && (cell->Flags & parfNotLastCell))
        cell = cell->Next;
    e->InsertRowCopy(cell);
    if (cell->Next && (cell->Next->Flags & parfTableCell)) {
        e->CursorPar = cell->Next;
        e->CursorLine = e->CursorPar->Lines;
        e->CursorPos = 0;
    }
    e->ReformatText(nullptr);
    e->Refresh();
    UpdateCaret();
}

void TRtCustomRichText::DeleteRow()
{
    TRtRTFTextInput* e = RtfText();
    if (!e->CursorPar || !(e->CursorPar->Flags & parfTableCell))
        return;
    TParagraph* first = e->CursorPar;
    while ((first->Flags & parfNotFirstCell) && first->Prior && (first->Prior->Flags & parfTableCell))
        first = first->Prior;
    std::vector<TParagraph*> row{first};
    while ((row.back()->Flags & parfNotLastCell) && row.back()->Next && (row.back()->Next->Flags & parfTableCell))
        row.push_back(row.back()->Next);
    TParagraph* after = row.back()->Next ? row.back()->Next : first->Prior;
    if (!after)
        return;   // the row is the whole text
    e->ClearSelection(false);
    e->CursorPar = after;
    e->CursorLine = after->Lines;
    e->CursorPos = 0;
    e->BeginUndoGroup();
    for (TParagraph* p : row) {
        e->SaveUndo(p, ukDeleted, ulTable);
        e->DeletePar(p);
    }
    e->EndUndoGroup();
    e->ReformatAll();
    e->ShowCursor();
    e->Refresh();
    UpdateCaret();
}

void TRtCustomRichText::SelectCurrentRow()
{
    TRtRTFTextInput* e = RtfText();
    if (e->CursorPar && (e->CursorPar->Flags & parfTableCell)) {
        e->SelectTableRows(e->CursorPar, 1);
        e->Refresh();
    }
}

// ---- published properties ----------------------------------------------------------------------------------

void TRtCustomRichText::SetHighLightColor(TColor Value)
{
    RtfText()->HighlightColor = Value;
    RepaintAll();
}

void TRtCustomRichText::SetHighLightTextColor(TColor Value)
{
    RtfText()->HighlightTextColor = Value;
    RepaintAll();
}

void TRtCustomRichText::SetColorDesktop(TColor Value)
{
    RtfText()->GapColor = Value;
    RepaintAll();
}

void TRtCustomRichText::SetRTFVariables(const TRtRTFExtraDataCollection& Value)
{
    TRtRTFExtraDataCollection* own = RtfText()->ExtraData();
    if (&Value == own)
        return;
    while (own->Count() > 0)
        own->Delete(own->Count() - 1);
    for (int32_t i = 0; i < Value.Count(); ++i)
        own->Add()->Assign(*Value.GetItem(i));
}

void TRtCustomRichText::SetNumberStyles(const TRtRTFNumberingStyleCollection& Value)
{
    TRtRTFNumberingStyleCollection* own = RtfText()->NumberingStyles();
    if (&Value == own)
        return;
    own->Clear();
    for (int32_t i = 0; i < Value.Count(); ++i)
        own->Add()->Assign(*Value.GetItem(i));
    Renumber();
}

void TRtCustomRichText::SetRtUndoStack(TRtUndoStack* Stack)
{
    undoStack_ = Stack;
    RtfText()->SetUndoStack(Stack);
}

void TRtCustomRichText::SetDefaultFont(const TRtFont& Value)
{
    defaultFont_.Assign(Value);
    defaultFontSet_ = true;
    if (RtfText()->IsEmpty())
        ApplyDefaultFont();
}

void TRtCustomRichText::ApplyDefaultFont()
{
    if (!defaultFontSet_)
        return;
    TRtRTFTextInput* e = RtfText();
    e->DefaultFont = e->Header()->GetFontIndex(defaultFont_.Name());
    e->DefaultSize = defaultFont_.Size();
    e->CurrentAttr.Font = uint16_t(e->DefaultFont);
    e->CurrentAttr.Size = uint16_t(e->DefaultSize);
    if (e->FirstPar && e->IsEmpty()) {
        e->FirstPar->ParAttr.Font = e->CurrentAttr.Font;
        e->FirstPar->ParAttr.Size = e->CurrentAttr.Size;
    }
    setMode_.Reload();
}

// ---- embedded objects -------------------------------------------------------------------------------------

void TRtCustomRichText::RegisterObject(TRtObjectBase* Obj)
{
    auto* o = dynamic_cast<TRtObject*>(Obj);
    if (!o)
        return;
    o->OnLoadStream = [this](TObject* Sender, const AnsiString& Name, TRtOCurrState State, bool& Done) {
        if (OnTextObjectLoadStreamEvent)
            OnTextObjectLoadStreamEvent(Sender, Name, State, Done);
    };
    o->OnCheckProperties = [this](TRtObject* Sender) {
        if (OnTextObjectCheckProperties)
            OnTextObjectCheckProperties(this, Sender);
    };
    // Installed once however often the object is registered.
    if (QWidget* control = o->GetControl())
        control->installEventFilter(this);
    auto* image = dynamic_cast<TRtOImageObject*>(o);
    if (!image || image->StreamName.empty() || image->GetPicture() || !OnHTMLBitmapRequest)
        return;
    QByteArray bytes;
    AnsiString type;
    OnHTMLBitmapRequest(this, image->StreamName, bytes, type);
    if (bytes.isEmpty())
        return;
    type = UpperCase(type);
    if (type != "BMP" && type != "WMF" && type != "EMF")
        throw Exception(GetRtUIString(meUseOnlyBitmaps));
    image->SetPicture(bytes, type);
}

bool TRtCustomRichText::ObjectOfControl(QObject* Sender, TTextObj*& Entry, TRtObjectBase*& Obj)
{
    auto* control = qobject_cast<QWidget*>(Sender);
    const quintptr tag = control ? control->property("Tag").value<quintptr>() : 0;
    if (!tag)
        return false;
    const QPoint at = viewport()->mapFromGlobal(control->mapToGlobal(QPoint(1, 1)));
    Entry = FindTextObjectAt(at.x(), at.y());
    Obj = reinterpret_cast<TRtObjectBase*>(tag);
    return Entry != nullptr;
}

void TRtCustomRichText::ForwardObjectMouse(const TTextObjectMouseEvent& Event, QObject* Sender,
                                           Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y)
{
    TTextObj* entry = nullptr;
    TRtObjectBase* obj = nullptr;
    // Nothing a handler raises leaves the object's control.
    try {
        if (Event && ObjectOfControl(Sender, entry, obj))
            Event(this, entry, obj, Button, Shift, X, Y);
    } catch (...) {
    }
}

void TRtCustomRichText::DoTextObjectMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int32_t X, int32_t Y)
{
    ForwardObjectMouse(OnTextObjectMouseMove, Sender, Qt::LeftButton, Shift, X, Y);
}

void TRtCustomRichText::DoTextObjectMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                              int32_t X, int32_t Y)
{
    ForwardObjectMouse(OnTextObjectMouseDown, Sender, Button, Shift, X, Y);
}

void TRtCustomRichText::DoTextObjectMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                                            int32_t X, int32_t Y)
{
    ForwardObjectMouse(OnTextObjectMouseUp, Sender, Button, Shift, X, Y);
}

bool TRtCustomRichText::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type type = Event->type();
    if (!Watched->isWidgetType() ||
        (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return TRtCustomRtfEdit::eventFilter(Watched, Event);
    const auto* mouse = static_cast<QMouseEvent*>(Event);
    const QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseMove) {
        DoTextObjectMouseMove(Watched, mouse->modifiers(), at.x(), at.y());
    } else if (type == QEvent::MouseButtonPress) {
        if (mouse->button() == Qt::LeftButton)
            objectControlPressed_ = Watched;
        DoTextObjectMouseDown(Watched, mouse->button(), mouse->modifiers(), at.x(), at.y());
    } else {
        // A left button released over the control it went down on clicks it, before its mouse up.
        if (mouse->button() == Qt::LeftButton && objectControlPressed_ == Watched) {
            objectControlPressed_ = nullptr;
            if (static_cast<QWidget*>(Watched)->rect().contains(at))
                DoTextObjectClick(Watched);
        }
        DoTextObjectMouseUp(Watched, mouse->button(), mouse->modifiers(), at.x(), at.y());
    }
    return false;
}

void TRtCustomRichText::DoTextObjectClick(QObject* Sender)
{
    TTextObj* entry = nullptr;
    TRtObjectBase* obj = nullptr;
    try {
        bool ignore = true;
        if (OnTextObjectClick && ObjectOfControl(Sender, entry, obj))
            OnTextObjectClick(this, entry, obj, ignore);
    } catch (...) {
    }
}
