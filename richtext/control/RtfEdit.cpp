#include "RtfEdit.h"

#include "RtBackground.h"
#include "RtObjectDialogs.h"
#include "RtUndo.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QInputMethod>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

std::vector<TRtCustomRtfEdit*>& ControlList()
{
    static std::vector<TRtCustomRtfEdit*> list;
    return list;
}

QEvent::Type EventType(int Message) { return QEvent::Type(QEvent::User + Message); }

}  // namespace

namespace {

// The control's printing layer: word wrap, name and title are the control's.
class TEditPrint : public TRtCustomRtfEditPrint {
public:
    explicit TEditPrint(TRtCustomRtfEdit& Control) : TRtCustomRtfEditPrint(*Control.RtfText()), control_(Control) {}
    void SetWordWrapState(bool Value) override { control_.SetWordWrap(Value); }
    // The control holds no background image of its own: the text's stays with the engine.
    void UpdateBackgroundImage() override { control_.viewport()->update(); }
    AnsiString ControlName() const override { return control_.Name(); }
    QString ControlTitle() const override { return control_.windowTitle(); }

private:
    TRtCustomRtfEdit& control_;
};

}  // namespace

TRtCustomRtfEdit::TRtCustomRtfEdit(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    resize(100, 100);

    engine_ = std::make_unique<TRtRTFTextInput>();
    TRtRTFTextInput* e = engine_.get();
    e->OwnerControl = this;
    e->OwnerComponent = this;
    e->SetReferenceCanvas(&referenceCanvas_);
    e->EditOptions = {rtTableResizing,        rtTableColumnResizing,     rtObjectMoving,
                      rtObjectResizingWidth,  rtObjectResizingHeight,    rtObjectResizingKeepRatio,
                      rtObjectSelecting,      rtObjectDeletion,          rtSpreadsheetCursorMovement,
                      rtActivateUndo,         rtActivateUndoHotkey,      rtMoveCPOnPageUpDown};
    e->PrintHeaderFooter = rtrOnAllPages;
    print_ = std::make_unique<TEditPrint>(*this);
    e->DefaultTextColor = clWindowText;
    objectEnv_ = std::make_unique<TRtObjectEnv>(e, viewport());
    e->ObjectEnv = objectEnv_.get();
    e->Positions().Add(pressedObject_);
    e->Positions().Add(hoveredBorder_);
    caret_ = std::make_unique<TCaret>(this, e);
    caret_->SetActive(true);
    strings_ = std::make_unique<TRtRtfStrings>(e);

    e->OnPostChange = [this] { QCoreApplication::postEvent(this, new QEvent(EventType(RtEventChange))); };
    e->OnShowCaret = [this](TObject*) { UpdateCaret(); };
    e->OnHideCaret = [this](TObject*) { RepaintChanged(); };
    e->OnCaretMoved = [this](TObject*) { UpdateCaret(); };
    e->OnVertScrolled = [this](TObject*) {
        UpdateScrollRanges();
        return false;
    };
    e->OnHorzScrolled = [this](TObject*) { UpdateScrollRanges(); };
    e->OnRefresh = [this](TObject*) { RepaintChanged(); };
    e->OnLayoutChanged = [this] { UpdateScrollRanges(); };
    e->OnCursorMove = [this](TObject*) { TakeCursorAttr(); };
    e->OnObjectMove = [this](TObject*, TTextObj* Entry, int32_t X, int32_t Y) {
        if (OnTextObjectMove)
            OnTextObjectMove(this, Entry, X, Y);
    };
    e->OnXPosChanged = [this](TObject*) {
        if (OnXPosChanged)
            OnXPosChanged(this);
    };
    e->OnYPosChanged = [this](TObject*) {
        if (OnYPosChanged)
            OnYPosChanged(this);
    };
    e->OnEditBoxChangeWidth = [this](TObject*, int32_t& W, int32_t& H, bool& Change) {
        if (OnEditBoxChangeWidth)
            OnEditBoxChangeWidth(this, W, H, Change);
    };
    e->OnEditBoxChangeHeight = [this](TObject*, int32_t& W, int32_t& H, bool& Change) {
        if (OnEditBoxChangeHeight)
            OnEditBoxChangeHeight(this, W, H, Change);
    };
    e->OnSetBoxSize = [this](int32_t W, int32_t H) { resize(W, H); };
    e->OnGetPageGapText = [this](TObject*, int32_t PageNr, AnsiString& Text) {
        if (OnGetPageGapText)
            OnGetPageGapText(this, PageNr, Text);
        else
            Text = engine_->DefaultPageGapText(PageNr);
    };
    connect(QGuiApplication::inputMethod(), &QInputMethod::localeChanged, this, [this] { InputLanguageChanged(); });
    InstallRtObjectDialogs();
    ControlList().push_back(this);
}

TRtCustomRtfEdit::~TRtCustomRtfEdit()
{
    destroying_ = true;
    std::erase(ControlList(), this);
    TRtRTFTextInput* e = engine_.get();
    e->Positions().Remove(this, sizeof(*this));
    e->UndoStack = e->OwnUndoStack.get();
    e->OnPostChange = nullptr;
    e->OnShowCaret = e->OnHideCaret = e->OnCaretMoved = nullptr;
    e->OnVertScrolled = nullptr;
    e->OnHorzScrolled = nullptr;
    e->OnRefresh = nullptr;
    e->OnLayoutChanged = nullptr;
    e->OnCursorMove = nullptr;
    e->OnObjectMove = nullptr;
    e->OnXPosChanged = e->OnYPosChanged = nullptr;
    e->OnEditBoxChangeWidth = e->OnEditBoxChangeHeight = nullptr;
    e->OnGetPageGapText = nullptr;
    e->OnSetBoxSize = nullptr;
    caret_.reset();
    strings_.reset();
    AdoptObjects(nullptr);
    e->ObjectEnv = nullptr;
    objectEnv_.reset();
    e->OwnerControl = nullptr;
}

const std::vector<TRtCustomRtfEdit*>& TRtCustomRtfEdit::Controls() { return ControlList(); }

// The attribute of new text follows the cursor: the selection's first
// character, else the character before the cursor (at a line's start the one
// at it), or an empty paragraph's own attribute. Marks of objects, fields and
// checking are not taken over.
void TRtCustomRtfEdit::TakeCursorAttr()
{
    TRtRTFTextInput* e = engine_.get();
    const TAttr* source = nullptr;
    if (e->SelStartPar && e->SelEndPar) {
        int32_t start = 0, length = 0;
        TParagraph* par = nullptr;
        TLine* line = nullptr;
        int32_t col = 0;
        if (e->GetSelection(start, length) && e->FindAbsPos(start, 0, col, line, par) && line && line->Attrs &&
            col < line->Length)
            source = &line->Attrs[col];
    } else if (TLine* l = e->CursorLine; l && l->Attrs && e->CursorPar) {
        if (e->CursorPos > 0 && e->CursorPos <= l->Length)
            source = &l->Attrs[e->CursorPos - 1];
        else if (e->CursorPos < l->Length)
            source = &l->Attrs[e->CursorPos];
        else if (TRtRTFText::GetParLength(e->CursorPar) == 0)
            source = &e->CursorPar->ParAttr;
    }
    if (!source)
        return;
    TAttr a = *source;
    for (TOneWrtStyle bit : {afsIsObject, afsIsInsertpoint, afsAutomatic, afsMisSpelled, afsWasChecked, afsHotStyle,
                             afsHyphen, afsIsFootnote, afsBookmark, afsDelete, afsDBCSOne, afsDBCSTwo})
        a.Style.Exclude(bit);
    a.Tag = 0;
    if (a.Style == e->CurrentAttr.Style && a.Font == e->CurrentAttr.Font && a.Size == e->CurrentAttr.Size &&
        a.TextColor == e->CurrentAttr.TextColor && a.BGColor == e->CurrentAttr.BGColor)
        return;
    e->CurrentAttr = a;
    e->UpdateCharWidths();
    e->NotifyChange(rtchCharAttr);
}

// ---- painting, caret and scrolling -------------------------------------------------------------------

void TRtCustomRtfEdit::paintEvent(QPaintEvent* Event)
{
    if (PaintLock > 0)
        return;
    TRtRTFTextInput* e = engine_.get();
    if (e->PendingReformat) {
        e->PendingReformat = false;
        e->ReformatText(nullptr);
    }
    const QSize size = viewport()->size();
    if (e->Surface().size() != size)
        ResizeStep();
    // The engine keeps its surface current as the text changes; it paints
    // the whole area only when the surface is new or its contents are unknown.
    const bool idle = !e->LayoutBusy && !e->InFormatting && !e->UpdatesLocked;
    if (e->TopY != paintedTop_ || e->LeftX != paintedLeft_)
        surfaceStale_ = true;
    // A transparent control paints over what its parent shows under it, which
    // stays in place: anew when that or the text's painting changed since.
    QImage under;
    if (transparent_ && idle) {
        under = RtParentBackground(*this).copy(viewport()->geometry());
        if (under != e->BackgroundPicture || e->Surface().cacheKey() != paintedSurface_)
            surfaceStale_ = true;
    }
    if (idle && surfaceStale_) {
        surfaceStale_ = false;
        paintedTop_ = e->TopY;
        paintedLeft_ = e->LeftX;
        const QRect r = QRect(QPoint(0, 0), size);
        const bool scrolling = e->BackgroundScrolling;
        if (transparent_) {
            e->BackgroundPicture = under;
            e->BackgroundScrolling = false;
        }
        e->PaintRect(TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
        e->BackgroundScrolling = scrolling;
        paintedSurface_ = e->Surface().cacheKey();
    }
    // What the engine painted outside the region asked for comes in a paint of its own.
    const QRegion later = e->TakeSurfaceDirty() - Event->region();
    if (!later.isEmpty())
        viewport()->update(later);
    QPainter p(viewport());
    for (const QRect& r : Event->region())
        p.drawImage(r, e->Surface(), r);
    paintedCaret_ = QRect();
    if (hasFocus() && caret_->BlinkOn() && !CaretDisabled) {
        paintedCaret_ = CaretRect();
        p.fillRect(paintedCaret_, QColor(0, 0, 0));
    }
}

void TRtCustomRtfEdit::RepaintChanged()
{
    TRtRTFTextInput* e = engine_.get();
    const bool whole = surfaceStale_ || transparent_ || e->PendingReformat || e->TopY != paintedTop_ ||
                       e->LeftX != paintedLeft_ || e->Surface().size() != viewport()->size();
    QRegion r = e->TakeSurfaceDirty();
    if (whole) {
        viewport()->update();
        return;
    }
    r += paintedCaret_;
    if (hasFocus())
        r += CaretRect();
    if (!r.isEmpty())
        viewport()->update(r);
}

void TRtCustomRtfEdit::AdoptObjects(QWidget* Parent)
{
    for (TRtObjectBase* o : engine_->Objects())
        if (auto* obj = dynamic_cast<TRtObject*>(o); obj && obj->ParentWindow() != Parent)
            obj->SetParentWindow(Parent);
}

void TRtCustomRtfEdit::SetHotObject(TRtObjectBase* Hot)
{
    for (TRtObjectBase* o : engine_->Objects())
        if (auto* obj = dynamic_cast<TRtObject*>(o)) {
            if (obj == Hot && !obj->HotFlag())
                obj->SetHotFlag();
            else if (obj != Hot && obj->HotFlag())
                obj->ClearHotFlag();
        }
}

// ---- background ----------------------------------------------------------------------------------------

void TRtCustomRtfEdit::TakeTextBackground()
{
    backgroundImage_ = RtTextBackground(*engine_);
    if (!transparent_)
        engine_->BackgroundPicture = backgroundImage_;
    RepaintAll();
}

void TRtCustomRtfEdit::SetBackgroundImage(const QImage& Picture)
{
    SetRtTextBackground(*engine_, Picture);
    TakeTextBackground();
}

void TRtCustomRtfEdit::SetBackgroundScrolling(bool Value)
{
    engine_->BackgroundScrolling = Value;
    RepaintAll();
}

void TRtCustomRtfEdit::SetTransparent(bool Value)
{
    if (Value == transparent_)
        return;
    transparent_ = Value;
    engine_->Transparent = Value;
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, !Value);
    engine_->BackgroundPicture = Value ? QImage() : backgroundImage_;
    RepaintAll();
}

bool TRtCustomRtfEdit::BackgroundLoadFromFile(const QString& FileName)
{
    const QImage picture = RtLoadBackground(FileName);
    if (picture.isNull())
        return false;
    SetBackgroundImage(picture);
    return true;
}

bool TRtCustomRtfEdit::BackgroundSaveToFile(const QString& FileName) const
{
    return RtSaveBackground(backgroundImage_, FileName);
}

QRect TRtCustomRtfEdit::CaretRect() const
{
    const TRtRTFTextInput* e = engine_.get();
    // A caret not placed yet may stand far outside: kept where a rectangle can be formed.
    constexpr int far = 1 << 24;
    const int x = std::clamp(e->DocToScreen(e->CaretX + e->LeftX + e->TextLeftOffset), -far, far);
    const int y = std::clamp(e->DocToScreen(e->CaretY - e->TopY + e->TextTopOffset), -far, far);
    return QRect(x, y, std::clamp(e->DocToScreen(e->CaretWidth), 1, 1 << 16),
                 std::clamp(e->DocToScreen(e->CaretHeight), 4, 1 << 16));
}

void TRtCustomRtfEdit::UpdateCaret()
{
    if (!hasFocus() || engine_->InFormatting)
        return;
    // The caret stands where the layout puts the cursor now.
    engine_->UpdateCaretMetrics();
    caret_->UpdatePosition();
    caret_->SetVisible(true);
    RepaintChanged();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TRtCustomRtfEdit::SetEditBoxModes(TRtEditBoxModes Value)
{
    engine_->EditBoxModes = Value;
    engine_->UpdateEditBoxMode();
}

void TRtCustomRtfEdit::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    engine_->BoxWidth = width();
    engine_->BoxHeight = height();
    if (autoZoom_ != rtAutoZoomOff && !WordWrap()) {
        if (!autoZoomPending_) {
            autoZoomPending_ = true;
            QCoreApplication::postEvent(this, new QEvent(EventType(RtEventAutoZoom)));
        }
        return;
    }
    ResizeStep();
}

void TRtCustomRtfEdit::ResizeStep()
{
    if (resizing_)
        return;
    resizing_ = true;
    TRtRTFTextInput* e = engine_.get();
    const QSize size = viewport()->size();
    e->SetClientSize(size.width(), size.height());
    e->SetSurfaceSize(size.width(), size.height());
    surfaceStale_ = true;
    e->SetVisibleHeight(size.height());
    e->SetVisibleWidth(size.width());
    e->ReformatText(nullptr);
    UpdateScrollRanges();
    viewport()->update();
    resizing_ = false;
}

void TRtCustomRtfEdit::ZoomToPage()
{
    TRtRTFTextInput* e = engine_.get();
    TTextHeader* h = e->Header();
    const int32_t dpi = e->ScreenResolution > 0 ? e->ScreenResolution : 96;
    const bool layout = layoutMode_ == rtlayLayout || layoutMode_ == rtlayFullLayout;
    const int32_t pageW = h->PageWidth() - (layout ? 0 : h->LeftMargin() + h->RightMargin());
    const int32_t pageH = h->PageHeight() - (layout ? 0 : h->TopMargin() + h->BottomMargin());
    const int32_t pxW = std::max(1, pageW * dpi / 1440), pxH = std::max(1, pageH * dpi / 1440);
    const int32_t zoomW = viewport()->width() * 100 / (pxW + 2 * XOffset + 10);
    const int32_t zoomH = viewport()->height() * 100 / (pxH + 2 * XOffset + 10);
    if (autoZoom_ == rtAutoZoomFullPage)
        SetZooming(std::min(zoomW, zoomH));
    else if (autoZoom_ == rtAutoZoomWidth) {
        e->LeftX = 0;
        SetZooming(zoomW);
    }
    e->ShowCursor();
    RefreshView();
}

void TRtCustomRtfEdit::SetAutoZoom(TRtAutoZoom Value)
{
    if (Value == autoZoom_)
        return;
    autoZoom_ = Value;
    ZoomToPage();
    EngineChanged();
    if (OnChangeZooming)
        OnChangeZooming(this);
}

void TRtCustomRtfEdit::SetZooming(int32_t Value)
{
    Value = std::clamp(Value, 10, 1000);
    if (Value == engine_->Zooming)
        return;
    engine_->SetZooming(Value);
    surfaceStale_ = true;
    UpdateScrollRanges();
    viewport()->update();
}

void TRtCustomRtfEdit::SetResizing(int32_t Value)
{
    if (Value < 1 || Value == engine_->Resizing)
        return;
    engine_->SetResizing(Value);
    UpdateScrollRanges();
    RepaintAll();
}

void TRtCustomRtfEdit::SetLayoutMode(TRtLayoutMode Value)
{
    layoutMode_ = Value;
    TRtRTFTextInput* e = engine_.get();
    objectEnv_->SelectObject(nullptr);
    e->LayoutFlags = RtLayoutModeFlags[Value];
    const bool pageView = (e->LayoutFlags & lfPageLayoutView) != 0;
    e->PageView = e->ShowLeftMargin = e->ShowRightMargin = pageView;
    e->UpdatePageMetrics(false);
    e->ReformatText(nullptr);
    RefreshView();
    e->UpdateCaret();
}

bool TRtCustomRtfEdit::OutsidePage(int32_t X) const
{
    if (layoutMode_ != rtlayLayout && layoutMode_ != rtlayFullLayout)
        return false;
    const TRtRTFTextInput* e = engine_.get();
    const int32_t left = e->DocToScreen(e->LeftX) + XOffset;
    const int32_t right = e->DocToScreen(e->LeftX) + e->DocToScreen(e->WrapWidth) + e->LeftScreenOffset +
                          e->RightScreenOffset / 2 - 3;
    return X < left || X > right;
}

void TRtCustomRtfEdit::SetWordWrap(bool Value)
{
    engine_->SetWordWrap(Value);
    RefreshView();
}

void TRtCustomRtfEdit::showEvent(QShowEvent* Event)
{
    QAbstractScrollArea::showEvent(Event);
    surfaceStale_ = true;
}

void TRtCustomRtfEdit::RefreshView()
{
    surfaceStale_ = true;
    engine_->ReformatText(nullptr);
    // The caret follows its line to where the layout put it.
    engine_->UpdateCaret();
    UpdateScrollRanges();
    engine_->Refresh();
    viewport()->update();
}

void TRtCustomRtfEdit::UpdateScrollRanges()
{
    if (settingScroll_ || engine_->LayoutBusy || deferScroll_ > 0)
        return;
    settingScroll_ = true;
    TRtRTFTextInput* e = engine_.get();
    // The page-layout view scrolls over whole pages with their gaps.
    const int32_t extent = (e->LayoutFlags & lfPageLayoutView)
                               ? e->DocToScreen(e->PageViewPitch()) * e->PageCount
                               : e->DocToScreen(std::max(e->TextHeight, e->GetTextHeight()));
    const int32_t visible = viewport()->height();
    // A view scrolled below the text's end (the text got shorter) comes back to it.
    const int32_t maxTop = std::max(0, extent - visible);
    if (e->DocToScreen(e->TopY) > maxTop) {
        e->TopY = e->ScreenToDoc(maxTop);
        surfaceStale_ = true;
        viewport()->update();
    }
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, maxTop);
    v->setPageStep(std::max(1, visible));
    v->setSingleStep(16);
    v->setValue(e->DocToScreen(e->TopY));
    QScrollBar* h = horizontalScrollBar();
    const int32_t width = e->DocToScreen(e->WrapWidth) + e->LeftScreenOffset + e->RightScreenOffset;
    h->setRange(0, WordWrap() ? 0 : std::max(0, width - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setValue(std::max(0, e->DocToScreen(-e->LeftX)));
    settingScroll_ = false;
}

void TRtCustomRtfEdit::scrollContentsBy(int Dx, int Dy)
{
    if (settingScroll_)
        return;
    TRtRTFTextInput* e = engine_.get();
    if (RtEditorBusy)
        return;
    if (Dy != 0) {
        e->VScroll(SB_THUMBPOSITION, e->ScreenToDoc(verticalScrollBar()->value()));
        if (OnYPosChanged)
            OnYPosChanged(this);
    }
    if (Dx != 0) {
        e->HScroll(SB_THUMBPOSITION, horizontalScrollBar()->value());
        if (OnXPosChanged)
            OnXPosChanged(this);
    }
    viewport()->update();
}

void TRtCustomRtfEdit::wheelEvent(QWheelEvent* Event)
{
    const int steps = Event->angleDelta().y() / 40;
    if (steps == 0 || RtEditorBusy) {
        QAbstractScrollArea::wheelEvent(Event);
        return;
    }
    for (int i = 0; i < std::abs(steps); ++i)
        engine_->VScroll(steps < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    if (OnYPosChanged)
        OnYPosChanged(this);
    UpdateScrollRanges();
    UpdateCaret();
    viewport()->update();
    Event->accept();
}

// ---- messages and focus -----------------------------------------------------------------------------

bool TRtCustomRtfEdit::event(QEvent* Event)
{
    if (Event->type() == EventType(RtEventAutoZoom)) {
        autoZoomPending_ = false;
        ResizeStep();
        ZoomToPage();
        return true;
    }
    if (Event->type() == EventType(RtEventTypeAhead)) {
        typeAheadPosted_ = false;
        FlushTypeAhead();
        return true;
    }
    if (Event->type() == EventType(RtEventChange)) {
        EngineChanged();
        engine_->ChangeFlags = 0;
        return true;
    }
    if (Event->type() == QEvent::ShortcutOverride && ClaimsShortcut(*static_cast<QKeyEvent*>(Event))) {
        // The editor's keys win over the main window's shortcuts while it has the focus.
        Event->accept();
        return true;
    }
    if (Event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (WantTabs) {
                keyPressEvent(key);
                return true;
            }
        }
    }
    return QAbstractScrollArea::event(Event);
}

bool TRtCustomRtfEdit::ClaimsShortcut(const QKeyEvent& Key)
{
    const Qt::KeyboardModifiers mods = Key.modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const int key = Key.key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return false;
    if (mods == Qt::NoModifier)
        return true;   // typing and moving
    if (mods == Qt::AltModifier)
        return key == Qt::Key_Backspace;
    if (mods != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_A: case Qt::Key_C: case Qt::Key_V: case Qt::Key_X: case Qt::Key_Y: case Qt::Key_Z:
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Home: case Qt::Key_End:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Backspace: case Qt::Key_Delete: case Qt::Key_Insert:
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Tab: case Qt::Key_Minus:
        return true;
    default: return false;
    }
}

bool TRtCustomRtfEdit::focusNextPrevChild(bool Next)
{
    return WantTabs ? false : QAbstractScrollArea::focusNextPrevChild(Next);
}

void TRtCustomRtfEdit::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    if (SelectAllOnEntry)
        SelectAll();
    engine_->ShowCursor();
    UpdateCaret();
    SendEditState();
    Activated();
    if (OnEnter)
        OnEnter(this);
}

void TRtCustomRtfEdit::focusOutEvent(QFocusEvent* Event)
{
    FlushTypeAhead();
    caret_->SetVisible(false);
    QAbstractScrollArea::focusOutEvent(Event);
    viewport()->update();
    if (OnExit)
        OnExit(this);
}

void TRtCustomRtfEdit::SendEditState()
{
    if (Loading || !parentWidget() || !EditStateEvent)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const bool notEmpty = data && (data->hasImage() || data->hasText() || data->hasFormat(RtMimeRtf) ||
                                   data->hasFormat(RtMimeRichText));
    const bool marked = engine_->HasCompleteSelection() || engine_->SelectedObject;
    EditStateEvent(this, marked, notEmpty);
}

// ---- begin and end of a change, undo -----------------------------------------------------------------

bool TRtCustomRtfEdit::BeginChange()
{
    if (RtEditorBusy || ReadOnly)
        return false;
    objectEnv_->HideFrame();
    if (engine_->EditBoxModes.Has(rtemLimitTextHeight) &&
        engine_->DocToScreen(engine_->GetTextHeight()) > viewport()->height() + 4)
        return false;
    // Every change is an undo step of its own; a typed character continues
    // the step of the characters typed right before it.
    const bool continues = typing_ && typedTo_ >= 0 && engine_->GetCursorAbsPos() == typedTo_;
    if (!continues)
        engine_->NewUndoLevel();
    typedTo_ = -1;
    // The application may record the state before the change (once, however deep the change nests).
    if (!changeOpen_ && SaveForUNDO && engine_->EditOptions.Has(rtActivateUndo))
        SaveForUNDO(this);
    changeOpen_ = true;
    SetModified(true);
    return true;
}

void TRtCustomRtfEdit::EndChange()
{
    changeOpen_ = false;
    UpdateScrollRanges();
    RepaintChanged();
    if (OnChange)
        OnChange(this);
}

void TRtCustomRtfEdit::SetModified(bool Value)
{
    if (Value == modified_)
        return;
    modified_ = Value;
    if (OnChangeModified)
        OnChangeModified(this);
}

void TRtCustomRtfEdit::StepHistory(bool (TRtRTFText::*Step)())
{
    typedTo_ = -1;
    objectEnv_->HideFrame();
    (engine_.get()->*Step)();
    // The step brings back the selection it was recorded with.
    if (engine_->SelStartPar && engine_->SelEndPar)
        engine_->MarkSelectedLines(false);
    surfaceStale_ = true;
    engine_->ReformatText(nullptr);
    engine_->ShowCursor();
    engine_->Refresh();
    UpdateCaret();
    EndChange();
}

void TRtCustomRtfEdit::Undo() { StepHistory(&TRtRTFText::Undo); }

void TRtCustomRtfEdit::Redo() { StepHistory(&TRtRTFText::Redo); }

void TRtCustomRtfEdit::SelectAll()
{
    TRtRTFTextInput* e = engine_.get();
    if (!e->FirstPar)
        return;
    TParagraph* last = e->FirstPar;
    while (last->Next)
        last = last->Next;
    TLine* lastLine = TRtRTFText::GetLastLine(last);
    e->SetSelectionPoint(e->FirstPar, e->FirstPar->Lines, 0, false, false);
    e->SetSelectionPoint(last, lastLine, lastLine->Length, true, false);
    e->CursorPar = last;
    e->CursorLine = lastLine;
    e->CursorPos = lastLine->Length;
    TakeCursorAttr();
    e->Refresh();
    UpdateCaret();
    e->NotifyChange(rtchCursor);
}

void TRtCustomRtfEdit::ClearSelection()
{
    objectEnv_->HideFrame();
    if (engine_->HasCompleteSelection()) {
        engine_->DeleteSelection(!engine_->EditOptions.Has(rtDontDeleteExtraSpace));
        engine_->ReformatText(nullptr);
        engine_->Refresh();
    }
    UpdateCaret();
}

void TRtCustomRtfEdit::DropSelection()
{
    if (engine_->SelectedObject)
        objectEnv_->HideFrame();
    if (engine_->HasCompleteSelection() || engine_->SelStartPar)
        engine_->ClearSelection(true);
}

void TRtCustomRtfEdit::Assign(TRtCustomRtfEdit& Source)
{
    TRtRTFTextInput* e = engine_.get();
    const TRtRTFTextInput* s = Source.engine_.get();
    e->ViewOptions = s->ViewOptions;
    e->PrintHeaderFooter = s->PrintHeaderFooter;
    const AnsiString savedOut = Source.engine_->TextSaveFormat, savedIn = e->TextLoadFormat;
    const bool selectionOnly = Source.SelectionOnlyText;
    Source.engine_->TextSaveFormat = "RTF";
    Source.SelectionOnlyText = false;
    const AnsiString text = Source.GetTextAsString();
    Source.engine_->TextSaveFormat = savedOut;
    Source.SelectionOnlyText = selectionOnly;
    e->TextLoadFormat = "RTF";
    SetTextAsString(text);
    e->TextLoadFormat = savedIn;
    e->UpdateNumbering();
    RefreshView();
}

// ---- text as a string and streams --------------------------------------------------------------------

void TRtCustomRtfEdit::SaveToStream(TStream* Stream) { engine_->SaveToStream(Stream); }

void TRtCustomRtfEdit::LoadFromStream(TStream* Stream, const AnsiString& FormatName)
{
    TRtRTFTextInput* e = engine_.get();
    DropTypeAhead();
    e->Clear();
    // The new text brings its own background picture, or none.
    SetRtTextBackground(*e, QImage());
    e->LoadFromStream(Stream, FormatName);
    TakeTextBackground();
    AdoptObjects(viewport());
    if (!e->CursorPar) {
        e->CursorPar = e->FirstPar;
        e->CursorLine = e->FirstPar ? e->FirstPar->Lines : nullptr;
        e->CursorPos = 0;
    }
    e->TopY = 0;
    e->UpdateLayout();
    e->Refresh();
    surfaceStale_ = true;
    UpdateScrollRanges();
    UpdateCaret();
}

AnsiString TRtCustomRtfEdit::GetTextAsString()
{
    if (SelectionOnlyText && !engine_->HasCompleteSelection())
        return AnsiString();
    TMemoryStream stream;
    if (SelectionOnlyText)
        engine_->SaveSelectionToStream(&stream);
    else
        engine_->SaveToStream(&stream);
    return AnsiString(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

void TRtCustomRtfEdit::SetTextAsString(const AnsiString& Text)
{
    ++PaintLock;
    TMemoryStream stream;
    stream.WriteBuffer(Text.data(), int32_t(Text.size()));
    stream.SetPosition(0);
    LoadFromStream(&stream, engine_->TextLoadFormat);
    --PaintLock;
    viewport()->update();
}

void TRtCustomRtfEdit::SetText(const AnsiString& Text)
{
    if (Text.empty()) {
        DropTypeAhead();
        engine_->Clear();
        SetRtTextBackground(*engine_, QImage());
        TakeTextBackground();
        RefreshView();
        EndChange();
        return;
    }
    const AnsiString saved = engine_->TextLoadFormat;
    engine_->TextLoadFormat = "AUTO";
    SetTextAsString(Text);
    engine_->TextLoadFormat = saved;
    EndChange();
}

void TRtCustomRtfEdit::InsertString(const AnsiString& Text)
{
    TRtRTFTextInput* e = engine_.get();
    if (MaxLength() > 0) {
        // Only as much as still fits goes in.
        if (e->HasCompleteSelection())
            e->DeleteSelection(false);
        size_t fits = 0;
        while (fits < Text.size() && e->CheckMaxLength(uint8_t(Text[fits]), int32_t(fits) + 1))
            ++fits;
        if (fits == 0 || !BeginChange())
            return;
        e->InsertTextAndPaint(Text.substr(0, fits), true);
        EndChange();
        return;
    }
    if (!BeginChange())
        return;
    e->InsertTextAndPaint(Text, true);
    EndChange();
}

void TRtCustomRtfEdit::ModifyMode(const std::function<void()>& Fn)
{
    Fn();
    engine_->ReformatText(nullptr);
    engine_->ShowCursor();
    engine_->Refresh();
    UpdateCaret();
}
