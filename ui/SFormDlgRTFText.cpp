#include "SFormDlgRTFText.h"
#include "Application.h"

#include "Canvas.h"
#include "QwColorPopupButton.h"
#include "RichText.h"
#include "RtFont.h"
#include "RtUndo.h"
#include "SysUtils.h"
#include "WVLTBComboBox.h"
#include "uDefaultwerte.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uHSLUtil.h"
#include "uMulticaster.h"
#include "uRTFDrawer.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ButtonWidth = 24, ButtonHeight = 22;

QToolButton* SpeedButton(QWidget* Parent, const char* Name, const QString& Hint, int X, bool Checkable = true)
{
    auto* b = new QToolButton(Parent);
    b->setObjectName(QString::fromLatin1(Name));
    b->setToolTip(Hint);
    b->setCheckable(Checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(X, 5, ButtonWidth, ButtonHeight);
    b->setIconSize(QSize(16, 16));
    return b;
}

// The glyphs of the shadow and alignment buttons, 16 x 16.
QIcon DrawnGlyph(const std::function<void(QPainter&)>& Draw)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    Draw(p);
    return QIcon(pm);
}

QIcon ShadowGlyph()
{
    return DrawnGlyph([](QPainter& p) {
        QFont f(QStringLiteral("Liberation Serif"));
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(150, 150, 150));
        p.drawText(QRect(3, 2, 14, 14), Qt::AlignCenter, QStringLiteral("S"));
        p.setPen(Qt::black);
        p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("S"));
    });
}

// Horizontal: 0 left, 1 centre, 2 right, 3 justified lines.
QIcon HorzGlyph(int Align)
{
    return DrawnGlyph([Align](QPainter& p) {
        const int widths[5] = {12, 8, 12, 6, 10};
        for (int i = 0; i < 5; ++i) {
            const int w = Align == 3 ? 12 : widths[i];
            const int x = Align == 0 || Align == 3 ? 2 : Align == 1 ? 8 - w / 2 : 14 - w;
            p.fillRect(x, 2 + i * 3, w, 1, Qt::black);
        }
    });
}

// Vertical: 0 top, 1 centre, 2 bottom: three lines in a frame.
QIcon VertGlyph(int Align)
{
    return DrawnGlyph([Align](QPainter& p) {
        p.setPen(QColor(120, 120, 120));
        p.drawRect(1, 1, 13, 13);
        const int top = Align == 0 ? 3 : Align == 1 ? 6 : 9;
        for (int i = 0; i < 2; ++i)
            p.fillRect(4, top + i * 3, 8, 1, Qt::black);
    });
}

QIcon ImageIcon(const QImage& Glyph)
{
    return QIcon(QPixmap::fromImage(Glyph));
}

}  // namespace

const QStringList& TSFormDlgRTFText::FontSizes()
{
    static const QStringList sizes = {"8",  "9",  "10", "11", "12", "14", "16", "18", "20",
                                      "22", "24", "26", "28", "36", "48", "72", "96"};
    return sizes;
}

TSFormDlgRTFText::TSFormDlgRTFText(TCreateKey Key, QWidget* Parent)
    : TSubForm(Key, Parent), FLightness(std::make_unique<TRGBHSL>(0xFFFFFF))
{
    setObjectName(QStringLiteral("SFormDlgRTFText"));
    setWindowTitle(QStringLiteral("Text bearbeiten"));
    resize(685, 191);

    panToolbar = new QWidget(this);
    panToolbar->setObjectName(QStringLiteral("panToolbar"));
    panToolbar->setFixedHeight(32);

    BtnFett = SpeedButton(panToolbar, "BtnFett", QStringLiteral("Fett"), 302);
    BtnKursiv = SpeedButton(panToolbar, "BtnKursiv", QStringLiteral("Kursiv"), 326);
    BtnUnderline = SpeedButton(panToolbar, "BtnUnderline", QStringLiteral("Unterstrichen"), 350);
    BtnSchatten = SpeedButton(panToolbar, "BtnSchatten", QStringLiteral("Schatten"), 380);
    BtnSchatten->setIcon(ShadowGlyph());
    tbBtnLeft = SpeedButton(panToolbar, "tbBtnLeft", QString::fromUtf8("linksbündig"), 410);
    tbBtnCenter = SpeedButton(panToolbar, "tbBtnCenter", QStringLiteral("zentriert"), 434);
    tbBtnRight = SpeedButton(panToolbar, "tbBtnRight", QString::fromUtf8("rechtsbündig"), 458);
    tbBtnHFull = SpeedButton(panToolbar, "tbBtnHFull", QStringLiteral("Blocksatz"), 482);
    tbBtnVTop = SpeedButton(panToolbar, "tbBtnVTop", QStringLiteral("vertikal oben"), 512);
    tbBtnVCenter = SpeedButton(panToolbar, "tbBtnVCenter", QStringLiteral("vertikal zentriert"), 536);
    tbBtnVBottom = SpeedButton(panToolbar, "tbBtnVBottom", QStringLiteral("vertikal unten"), 560);
    BtnTextLoeschen = SpeedButton(panToolbar, "BtnTextLoeschen", QString::fromUtf8("Text löschen"), 590, false);
    BtnTextLoeschen->hide();
    int align = 0;
    for (QToolButton* b : {tbBtnLeft, tbBtnCenter, tbBtnRight, tbBtnHFull})
        b->setIcon(HorzGlyph(align++));
    align = 0;
    for (QToolButton* b : {tbBtnVTop, tbBtnVCenter, tbBtnVBottom})
        b->setIcon(VertGlyph(align++));
    auto* horz = new QButtonGroup(this);
    for (QToolButton* b : {tbBtnLeft, tbBtnCenter, tbBtnRight, tbBtnHFull})
        horz->addButton(b);
    auto* vert = new QButtonGroup(this);
    for (QToolButton* b : {tbBtnVTop, tbBtnVCenter, tbBtnVBottom})
        vert->addButton(b);

    FFontCombo = new TWVLTBFontComboBox(panToolbar);
    FFontCombo->setObjectName(QStringLiteral("FontCombo"));
    FFontCombo->setGeometry(6, 6, 193, 21);
    FSizeCombo = new TWVLTBComboBox(panToolbar);
    FSizeCombo->setObjectName(QStringLiteral("SizeCombo"));
    FSizeCombo->setEditable(true);
    FSizeCombo->setInsertPolicy(QComboBox::NoInsert);
    FSizeCombo->addItems(FontSizes());
    FSizeCombo->setGeometry(205, 6, 49, 21);
    FColorButton = new TQwColorPopupButton(panToolbar);
    FColorButton->setObjectName(QStringLiteral("ColorButton"));
    FColorButton->SetColorButtonStyle(cbsFont);
    FColorButton->SetColorPopupOptions(cpDefColor | cpCustColor | cpMoreColor);
    FColorButton->setGeometry(259, 5, 36, 22);

    panRTF = new QFrame(this);
    panRTF->setObjectName(QStringLiteral("panRTF"));
    static_cast<QFrame*>(panRTF)->setFrameStyle(QFrame::Box | QFrame::Plain);
    rtf = new TRtRichText(panRTF);
    rtf->setObjectName(QStringLiteral("rtf"));
    auto* rtfLayout = new QVBoxLayout(panRTF);
    rtfLayout->setContentsMargins(1, 1, 1, 1);
    rtfLayout->addWidget(rtf);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panToolbar);
    layout->addWidget(panRTF, 1);
    SetupEditor();

    connect(BtnFett, &QToolButton::clicked, this, Guarded([this] { BtnFettClick(); }));
    connect(BtnKursiv, &QToolButton::clicked, this, Guarded([this] { BtnKursivClick(); }));
    connect(BtnUnderline, &QToolButton::clicked, this, Guarded([this] { BtnUnderlineClick(); }));
    connect(BtnSchatten, &QToolButton::clicked, this, Guarded([this] { BtnSchattenClick(); }));
    connect(tbBtnLeft, &QToolButton::clicked, this, Guarded([this] { tbBtnLeftClick(); }));
    connect(tbBtnCenter, &QToolButton::clicked, this, Guarded([this] { tbBtnCenterClick(); }));
    connect(tbBtnRight, &QToolButton::clicked, this, Guarded([this] { tbBtnRightClick(); }));
    connect(tbBtnHFull, &QToolButton::clicked, this, Guarded([this] { tbBtnHFullClick(); }));
    connect(tbBtnVTop, &QToolButton::clicked, this, Guarded([this] { tbBtnVTopClick(); }));
    connect(tbBtnVCenter, &QToolButton::clicked, this, Guarded([this] { tbBtnVCenterClick(); }));
    connect(tbBtnVBottom, &QToolButton::clicked, this, Guarded([this] { tbBtnVBottomClick(); }));
    FFontCombo->OnChange = [this](QObject*) { FontComboChange(); };
    FSizeCombo->OnChange = [this](QObject*) { SizeComboChange(); };
    // Typed sizes apply as they are typed.
    connect(FSizeCombo->lineEdit(), &QLineEdit::textEdited, this, Guarded([this] { SizeComboChange(); }));
    FSizeCombo->OnKeyPress = [this](QObject*, char16_t& Key) { SizeComboKeyPress(Key); };
    FSizeCombo->OnCloseUp = [this](QObject*) { SizeComboCloseUp(); };
    FColorButton->OnColorChange = [this](QObject*, TColor Color) { ColorButtonColorChange(Color); };
    FColorButton->OnMenuButtonClick = [this](QObject*, int Index) { ColorButtonMenuClick(Index); };
}

TSFormDlgRTFText::~TSFormDlgRTFText()
{
    RtUndoStack1->AfterApply = nullptr;
    rtf->RtfText()->OnGetAttrColor = nullptr;
    rtf->OnChange = nullptr;
    rtf->OnCharacterAttrChange = nullptr;
    rtf->OnBeforePasteEvent = nullptr;
    // The tool bar's controls outlive this part of the panel.
    FFontCombo->OnChange = nullptr;
    FSizeCombo->OnChange = nullptr;
    FSizeCombo->OnKeyPress = nullptr;
    FSizeCombo->OnCloseUp = nullptr;
    FColorButton->OnColorChange = nullptr;
    FColorButton->OnMenuButtonClick = nullptr;
}

void TSFormDlgRTFText::SetUpRichText(TRtRichText* Rtf)
{
    TRtRTFTextInput* e = Rtf->RtfText();
    e->EditBoxModes.Include(rtemLimitTextWidth);
    Rtf->SetWordWrap(true);
    Rtf->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Rtf->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Rtf->SetZooming(100);
    TRtEditOptions options = e->EditOptions;
    options.Include(rtActivateUndo);
    options.Include(rtActivateUndoHotkey);
    options.Include(rtActivateRedo);
    options.Include(rtActivateRedoHotkey);
    Rtf->SetEditOptions(options);
    Rtf->ClipboardOptions.Include(rtcoDontPasteGraphics);
    e->TextLoadFormat = "AUTO";
    e->TextSaveFormat = "AUTO";
    TTextHeader* h = e->Header();
    h->SetPageWidth(11906);
    h->SetPageHeight(16838);
    h->SetLeftMargin(1880);
    h->SetRightMargin(1880);
    h->SetTopMargin(1440);
    h->SetBottomMargin(1440);
}

void TSFormDlgRTFText::SetupEditor()
{
    SetUpRichText(rtf);
    TRtRTFTextInput* e = rtf->RtfText();
    RtUndoStack1 = e->GetUndoStack();
    RtUndoStack1->AfterApply = [this](TRtUndoStack*, TObject*) { HandleExceptions([this] { RtUndoStack1AfterApply(); }); };
    rtf->OnChange = [this](TObject*) { rtfChange(); };
    rtf->OnCharacterAttrChange = [this](TObject*, TRtSetModeControl* Attributes) { rtfCharacterAttrChange(Attributes); };
    e->OnGetAttrColor = [this](TObject*, WrtStyle, TCanvas* Canvas, bool&, bool&, bool&, bool, TParagraph*, TLine*,
                               int32_t) { rtfGetAttrColor(Canvas); };
    rtf->OnBeforePasteEvent = [this](TObject*, bool& DoIt, TParagraph* Par) { rtfBeforePasteEvent(DoIt, Par); };
}

void TSFormDlgRTFText::BeforeLocalize()
{
    RegisterDefaultStringKey(QStringLiteral("FontPreviewText"), QStringLiteral("Franz jagt im komplett ..."));
}

void TSFormDlgRTFText::AfterLocalize()
{
    const TLocalizer& l = Localizer();
    BtnFett->setIcon(ImageIcon(l.GetBoldGlyph()));
    BtnKursiv->setIcon(ImageIcon(l.GetItalicGlyph()));
    BtnUnderline->setIcon(ImageIcon(l.GetUnderlineGlyph()));
    FFontCombo->PreviewText = LocalizedDefaultString(QStringLiteral("FontPreviewText"));
}

// ---- element and editor --------------------------------------------------------------------------

void TSFormDlgRTFText::SetElement(TFBElement* Element)
{
    FElement = dynamic_cast<TFBTextElement*>(Element);
    if (!FElement)
        return;
    LoadElementText();
    BtnSchatten->setChecked(FElement->HasShadow());
    const std::array<QToolButton*, 4> horz{tbBtnLeft, tbBtnCenter, tbBtnRight, tbBtnHFull};
    if (FElement->HorzAlign < horz.size())
        horz[FElement->HorzAlign]->setChecked(true);
    const std::array<QToolButton*, 3> vert{tbBtnVTop, tbBtnVCenter, tbBtnVBottom};
    if (FElement->VertAlign < vert.size())
        vert[FElement->VertAlign]->setChecked(true);

    if (FElement->NewText && rtf->RtfText()->IsEmpty()) {
        FElement->NewText = false;
        const TFont& font = *DefaultWerte().Font;
        TRtFont* current = rtf->GetCurrentFont();
        current->SetName(font.Name());
        current->SetSize(font.Size());
        WrtStyle style;
        if (font.Style() & fsBold)
            style.Include(afsBold);
        if (font.Style() & fsItalic)
            style.Include(afsItalic);
        if (font.Style() & fsUnderline)
            style.Include(afsUnderline);
        current->SetStyle(style);
        current->SetColor(font.Color());
        FElement->SetHasShadow(DefaultWerte().HasShadow);
        ShowDefaultAttributes();
    } else
        FElement->NewText = false;
}

void TSFormDlgRTFText::ShowDefaultAttributes()
{
    const TFont& font = *DefaultWerte().Font;
    FUpdating = true;
    FFontCombo->SelectFontName(fromAnsi(font.Name()));
    FSizeCombo->setEditText(QString::number(font.Size()));
    FColorButton->SetColor(font.Color());
    BtnFett->setChecked(font.Style() & fsBold);
    BtnKursiv->setChecked(font.Style() & fsItalic);
    BtnUnderline->setChecked(font.Style() & fsUnderline);
    BtnSchatten->setChecked(FElement->HasShadow());
    FUpdating = false;
}

void TSFormDlgRTFText::LoadElementText()
{
    const AnsiString& text = FElement->Drawer->RTFText();
    TMemoryStream stream;
    stream.WriteBuffer(text.data(), int32_t(text.size()));
    stream.SetPosition(0);
    FLoading = true;
    try {
        rtf->Clear();
        rtf->LoadFromStream(&stream, "AUTO");
        if (rtf->RtfText()->IsEmpty()) {
            // An empty text writes in the editor's default font, Arial 12.
            TRtFont* current = rtf->GetCurrentFont();
            current->SetName("Arial");
            current->SetSize(12);
        }
        rtf->SelectAll();
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

void TSFormDlgRTFText::ContentChanged(TFBPage*, TFBElement*) {}

void TSFormDlgRTFText::WriteBack()
{
    if (!FElement || FLoading)
        return;
    TMemoryStream stream;
    rtf->SaveToStream(&stream);
    FElement->Drawer->SetRTFText(AnsiString(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size())));
    Notify();
}

void TSFormDlgRTFText::Notify()
{
    GetMulticaster().ElementChanged(this, FElement);
}

void TSFormDlgRTFText::rtfChange()
{
    WriteBack();
}

void TSFormDlgRTFText::RtUndoStack1AfterApply()
{
    WriteBack();
}

void TSFormDlgRTFText::rtfCharacterAttrChange(TRtSetModeControl* Attributes)
{
    FUpdating = true;
    FFontCombo->SelectFontName(fromAnsi(Attributes->FontName()));
    FSizeCombo->setEditText(QString::number(Attributes->Size()));
    FColorButton->SetColor(Attributes->IndexToColor(Attributes->Color()));
    const WrtStyle style = Attributes->Style();
    BtnFett->setChecked(style.Has(afsBold));
    BtnKursiv->setChecked(style.Has(afsItalic));
    BtnUnderline->setChecked(style.Has(afsUnderline));
    FUpdating = false;
}

void TSFormDlgRTFText::rtfGetAttrColor(TCanvas* Canvas)
{
    TFont& font = Canvas->Font();
    FLightness->SetColor(ColorToRGB(font.Color()));
    if (FLightness->GetLightness() > MaxDisplayLightness) {
        FLightness->SetLightness(MaxDisplayLightness);
        font.SetColor(FLightness->GetColor());
    }
}

void TSFormDlgRTFText::rtfBeforePasteEvent(bool& DoIt, TParagraph* Par)
{
    TRtRTFTextInput* e = rtf->RtfText();
    const bool use256 = e->Use256Colors;
    // Blue's index in the colour table, without adding it.
    int32_t blue = -1;
    const int count = use256 ? 256 : 16;
    for (int i = 1; i < count; ++i) {
        const TRtColorEntry& c = e->Header()->Colors[size_t(i)];
        if (c.Used && RGB(c.Red, c.Green, c.Blue) == clBlue) {
            blue = i;
            break;
        }
    }
    e->ChangeCharAttrs(Par, nullptr, [&](TAttr& a) {
        a.Style.Exclude(afsHyperLink);
        if (a.Style.Has(afsHidden))
            a.Style.Include(afsDelete);
        const int colour = use256 ? a.TextColor : a.TextColor & 0x0F;
        if (blue >= 0 && colour == blue && a.Style.Has(afsUnderline)) {
            a.TextColor = use256 ? 0 : a.TextColor & 0xF0;
            a.Style.Exclude(afsUnderline);
        }
    });
    DoIt = true;
}

// ---- attribute commands --------------------------------------------------------------------------

void TSFormDlgRTFText::ApplyStyleButton(QToolButton* Button, TOneWrtStyle Bit, TFontStyle DefaultStyle)
{
    if (FUpdating)
        return;
    TRtSetModeControl* attrs = rtf->GetSetModeControl();
    WrtStyle style = attrs->Style();
    style.Set(Bit, Button->isChecked());
    attrs->SetStyle(style);
    rtfChange();
    TFont& font = *DefaultWerte().Font;
    font.SetStyle(Button->isChecked() ? font.Style() | DefaultStyle : font.Style() & ~DefaultStyle);
}

void TSFormDlgRTFText::BtnFettClick()
{
    ApplyStyleButton(BtnFett, afsBold, fsBold);
}

void TSFormDlgRTFText::BtnKursivClick()
{
    ApplyStyleButton(BtnKursiv, afsItalic, fsItalic);
}

void TSFormDlgRTFText::BtnUnderlineClick()
{
    ApplyStyleButton(BtnUnderline, afsUnderline, fsUnderline);
}

void TSFormDlgRTFText::FontComboChange()
{
    if (FUpdating)
        return;
    const QString name = FFontCombo->GetSelectedFontName();
    if (name.isEmpty())
        return;
    rtf->GetSetModeControl()->SetFontName(toAnsi(name));
    rtf->setFocus();
    rtfChange();
    DefaultWerte().Font->SetName(toAnsi(name));
}

void TSFormDlgRTFText::SizeComboChange()
{
    if (FUpdating)
        return;
    // Text that is not a size (empty while typing, letters) changes nothing.
    bool ok = false;
    const int size = FSizeCombo->currentText().trimmed().toInt(&ok);
    if (!ok || size < 1 || size > 1638)
        return;
    rtf->GetSetModeControl()->SetSize(size);
    rtfChange();
    DefaultWerte().Font->SetSize(size);
}

void TSFormDlgRTFText::SizeComboKeyPress(char16_t& Key)
{
    if (Key == 13) {
        rtf->setFocus();
        Key = 0;
    } else if (Key >= u' ' && (Key < u'0' || Key > u'9'))
        Key = 0;  // control characters (Backspace, Ctrl+A, ...) still edit the text
}

void TSFormDlgRTFText::SizeComboCloseUp()
{
    rtf->setFocus();
}

void TSFormDlgRTFText::ApplyColor(TColor Color)
{
    TRtSetModeControl* attrs = rtf->GetSetModeControl();
    int32_t index = 0;
    attrs->ColorToIndex(Color, index, true);
    attrs->SetColor(index);
}

void TSFormDlgRTFText::ColorButtonColorChange(TColor Color)
{
    if (FUpdating)
        return;
    ApplyColor(Color);
    rtfChange();
    DefaultWerte().Font->SetColor(Color);
}

void TSFormDlgRTFText::ColorButtonMenuClick(int BtnIndex)
{
    if (FUpdating || BtnIndex != crMoreColor)
        return;
    TColor color = FColorButton->Color();
    const bool ok = ColorDialogHook ? ColorDialogHook(color) : ExecuteColorDialog(color);
    if (ok) {
        FColorButton->SetColor(color);
        ApplyColor(color);
        DefaultWerte().Font->SetColor(color);
    }
    rtfChange();
}

void TSFormDlgRTFText::BtnSchattenClick()
{
    if (FUpdating || !FElement)
        return;
    FElement->SetHasShadow(BtnSchatten->isChecked());
    Notify();
    DefaultWerte().HasShadow = BtnSchatten->isChecked();
}

// ---- alignment of the box ------------------------------------------------------------------------

void TSFormDlgRTFText::SetHorzAlign(uint8_t Value)
{
    if (!FElement)
        return;
    FElement->SetHorzAlign(Value);
    Notify();
}

void TSFormDlgRTFText::SetVertAlign(uint8_t Value)
{
    if (!FElement)
        return;
    FElement->SetVertAlign(Value);
    Notify();
}

void TSFormDlgRTFText::tbBtnLeftClick() { SetHorzAlign(0); }
void TSFormDlgRTFText::tbBtnCenterClick() { SetHorzAlign(1); }
void TSFormDlgRTFText::tbBtnRightClick() { SetHorzAlign(2); }
void TSFormDlgRTFText::tbBtnHFullClick() { SetHorzAlign(3); }
void TSFormDlgRTFText::tbBtnVTopClick() { SetVertAlign(0); }
void TSFormDlgRTFText::tbBtnVCenterClick() { SetVertAlign(1); }
void TSFormDlgRTFText::tbBtnVBottomClick() { SetVertAlign(2); }
