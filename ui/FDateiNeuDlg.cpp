#include "FDateiNeuDlg.h"
#include "Application.h"

#include "Canvas.h"
#include "Graphics.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchDocument.h"
#include "uFotobuchSetup.h"
#include "uHSLUtil.h"
#include "uJpegResource.h"
#include "uModalDialog.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QDate>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Texts of the section "Default" the wizard names its products with.
const char* const sPocketBooklet = "PocketBooklet";
const char* const sPhotobook46 = "Photobook 4:6";
const char* const sSingles = "10x15 Singles";
const char* const sSinglesName = "10x15 singles";
const char* const sPhotoBook85 = "PhotoBook 8:5";
const char* const sPhotobook85Name = "Photobook 8:5";

// Texts of the form's own section; the key is the German text.
const char* const sFormat = "Wählen Sie Ihr Format";
const char* const sGrundlayout = "Wählen Sie Ihr Grundlayout";
const char* const sWeiter = "Weiter";
const char* const sOK = "OK";
const char* const sStandard = "Standard";
const char* const sFullsize = "Fullsize";
const char* const sTradition = "Tradition";
const char* const sHorizon = "Horizon";
const char* const sVerticon = "Verticon";
const char* const sBorder = "Border";
const char* const sRandlos = "Randlos";
const char* const sWeitereFotobuecher = "Weitere Fotobücher";
const char* const sEinzelbilder = "Einzelbilder und Bögen";
const char* const sPhotobook86 = "Photobook 8:6";
const char* const sPhotobinding = "Photobuch 10x15";
const char* const sLabels3C10x15 = "3C 10x15";
const char* const sLabels3C9x13 = "3C 9x13";
const char* const sFlaschenetikett = "Orvane Flaschenetikett";
const char* const sBildUnten = "Bild unten";
const char* const sBildOben = "Bild oben";
const char* const sLeisteUnten = "Leiste unten";
const char* const sLeisteRechts = "Leiste rechts";
const char* const sBildLinks = "Bild links";
const char* const sSiebenBilder = "Sieben Bilder";
const char* const sKalenderjahr = "Kalenderjahr:";

// Texts of the section "Default" the catalogue names its products with.
const char* const sPhotobookPro = "Photobook Pro";
const char* const sSingles13x18 = "13x18 Singles";
const char* const sDINA4 = "DIN A4";
const char* const sKalender = "Kalender";

// The years a calendar can be made for.
constexpr int MinYear = 1900;
constexpr int MaxYear = 2100;

[[maybe_unused]] const int RegisterTexts = [] {
    for (const char* t : {sPocketBooklet, sPhotobook46, sSingles, sSinglesName, sPhotoBook85, sPhotobook85Name,
                          sPhotobookPro, sSingles13x18, sDINA4, sKalender})
        RegisterDefaultString(QString::fromUtf8(t));
    // The texts Build makes product names of, and the catalogue's names the
    // wizard has texts for.
    for (const char* t : {sPocketBooklet, sSinglesName, sPhotobook85Name})
        RegisterProductNamePart(QStringLiteral("Default"), QString::fromUtf8(t));
    for (const char* t : {sFullsize, sTradition, sHorizon, sVerticon, sPhotobinding, sFlaschenetikett})
        RegisterProductNamePart(QStringLiteral("TDateiNeuDlg"), QString::fromUtf8(t));
    return 0;
}();

constexpr int ItemHeight = 30;
constexpr int ListHeight = 300;
constexpr int YearPanelHeight = 46;

// The list's items: a vertical gradient around the base colour, a shadow
// line along the bottom, the text right-aligned.
class TStepDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const override
    {
        return QSize(Option.rect.width(), ItemHeight);
    }

    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const QRect r = Option.rect;
        const bool selected = Option.state & QStyle::State_Selected;
        const QPalette& pal = Option.palette;
        if (!Index.isValid()) {
            P->fillRect(r, selected ? pal.highlight() : pal.button());
            return;
        }
        const TColor base = fromQColor(selected ? pal.highlight().color() : pal.button().color());
        QLinearGradient gradient(r.topLeft(), r.bottomLeft());
        gradient.setColorAt(0, toQColor(ShiftColorHSL(base, 0, 0, 0.07f)));
        gradient.setColorAt(1, toQColor(ShiftColorHSL(base, 0, 0, -0.07f)));
        P->fillRect(r, gradient);
        P->setPen(pal.dark().color());
        P->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        P->setPen(selected ? pal.highlightedText().color() : pal.buttonText().color());
        // A name wider than the list is drawn smaller, not cut.
        const QRect textRect = r.adjusted(4, 0, -10, 0);
        const QString text = Index.data(Qt::DisplayRole).toString();
        QFont font = Option.font;
        const int needed = QFontMetrics(font).horizontalAdvance(text);
        if (needed > textRect.width() && font.pointSizeF() > 0)
            font.setPointSizeF(std::max(6.0, font.pointSizeF() * textRect.width() / needed));
        P->setFont(font);
        P->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
};

using TKalenderSetup = void (*)(TFBDocument*, int);

// The builder of a calendar product, by its code; null for other codes.
TKalenderSetup KalenderSetup(int ProductCode)
{
    switch (ProductCode) {
    case 61: return SetupKalenderA4PictureBottom;
    case 62: return SetupKalenderA4PictureTop;
    case 63: return SetupKalenderA4StripBottom;
    case 64: return SetupKalenderA4StripRight;
    case 71: return SetupKalenderA5PictureLeft;
    case 72: return SetupKalenderA5SevenPictures;
    case 73: return SetupKalenderA5StripBottom;
    default: return nullptr;
    }
}

// The screen a calendar's preview picture shows (a calendar has one page a screen).
constexpr int KalenderPreviewScreen = 1;

// A calendar's preview: its picture shows the page and the photographs; the
// calendar of the month is drawn over it in the program's language.
QImage KalenderPreview(const QImage& Picture, TKalenderSetup Setup, int Year)
{
    TFBDocument doc;
    Setup(&doc, Year);
    TBitmap bitmap;
    bitmap.SetSize(Picture.width(), Picture.height());
    {
        QPainter p(&bitmap.Image());
        p.drawImage(0, 0, Picture);
    }
    {
        TBitmapDrawContext dc(bitmap);
        FitScreenIntoPicture(doc, KalenderPreviewScreen, dc, Picture.width(), Picture.height());
        TFBPage* page = doc.GetLeftPage(KalenderPreviewScreen);
        for (int i = 0; page && i < page->Calendars.Count(); ++i)
            DocumentDrawer().DrawKalenderElement(*page->Calendars.GetItem(i), dc, 1);
    }
    return bitmap.Image();
}

QFrame* Line(QWidget* Parent, const char* Name, QRect Geometry)
{
    auto* line = new QFrame(Parent);
    line->setObjectName(QString::fromLatin1(Name));
    line->setGeometry(Geometry);
    line->setAutoFillBackground(true);
    line->setBackgroundRole(QPalette::Dark);
    return line;
}

}  // namespace

// ---- TWizzardStep ---------------------------------------------------------------------------

TWizzardStep::TWizzardStep(TWizzardStep* AParent) : Parent(AParent) {}

TWizzardStep* TWizzardStep::AddChild()
{
    Children.push_back(std::make_unique<TWizzardStep>(this));
    return Children.back().get();
}

TWizzardStep* TWizzardStep::Child(int Index) const
{
    if (Index < 0 || Index >= ChildCount())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return Children[size_t(Index)].get();
}

int TWizzardStep::IndexOfChild(const TWizzardStep* Step) const
{
    for (int i = 0; i < ChildCount(); ++i)
        if (Children[size_t(i)].get() == Step)
            return i;
    return -1;
}

// ---- TDateiNeuDlg ---------------------------------------------------------------------------

TDateiNeuDlg::TDateiNeuDlg(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DateiNeuDlg"));
    setWindowTitle(QStringLiteral("Neues Projekt anlegen"));
    setFixedSize(580, 386);

    panCaption = new QWidget(this);
    panCaption->setObjectName(QStringLiteral("panCaption"));
    panCaption->setGeometry(0, 0, 580, 40);
    panCaption->setAutoFillBackground(true);
    panCaption->setBackgroundRole(QPalette::Dark);
    lblCaption = new QLabel(panCaption);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setGeometry(12, 0, 560, 38);
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPixelSize(19);
    lblCaption->setFont(captionFont);
    QPalette captionPalette = lblCaption->palette();
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(captionPalette);
    lblCaption->setText(QString::fromUtf8(sFormat));
    Line(panCaption, "Shape3", QRect(0, 39, 580, 1));

    lbSteps = new QListWidget(this);
    lbSteps->setObjectName(QStringLiteral("lbSteps"));
    lbSteps->setGeometry(0, 40, 180, ListHeight);
    lbSteps->setFrameShape(QFrame::NoFrame);
    lbSteps->setUniformItemSizes(true);
    lbSteps->setItemDelegate(new TStepDelegate(lbSteps));
    lbSteps->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette listPalette = lbSteps->palette();
    listPalette.setColor(QPalette::Base, listPalette.color(QPalette::Button));
    lbSteps->setPalette(listPalette);
    lbSteps->installEventFilter(this);
    connect(lbSteps, &QListWidget::itemSelectionChanged, this, Guarded([this] { lbStepsClick(); }));
    connect(lbSteps, &QListWidget::itemDoubleClicked, this, Guarded([this] { lbStepsDblClick(); }));

    // The year of a calendar, below the list while a calendar is chosen.
    panJahr = new QWidget(this);
    panJahr->setObjectName(QStringLiteral("panJahr"));
    panJahr->setGeometry(0, 40 + ListHeight - YearPanelHeight, 180, YearPanelHeight);
    panJahr->setAutoFillBackground(true);
    panJahr->setBackgroundRole(QPalette::Button);
    lblJahr = new QLabel(QString::fromUtf8(sKalenderjahr), panJahr);
    lblJahr->setObjectName(QStringLiteral("lblJahr"));
    lblJahr->setGeometry(10, 12, 90, 22);
    edJahr = new QSpinBox(panJahr);
    edJahr->setObjectName(QStringLiteral("edJahr"));
    edJahr->setGeometry(100, 10, 70, 26);
    edJahr->setRange(MinYear, MaxYear);
    lblJahr->setBuddy(edJahr);
    panJahr->hide();
    connect(edJahr, &QSpinBox::valueChanged, this, Guarded([this](int Year) {
        if (FChosenStep && IsKalender(FChosenStep->ProductCode)) {
            FChosenStep->Value = QString::number(Year);
            ShowPreview(FChosenStep);
        }
    }));

    imgWizzard = new QLabel(this);
    imgWizzard->setObjectName(QStringLiteral("imgWizzard"));
    imgWizzard->setGeometry(180, 40, 400, 300);
    imgWizzard->setScaledContents(true);
    Line(this, "Shape2", QRect(180, 40, 1, 300));
    Line(this, "Shape1", QRect(0, 340, 580, 1));

    auto button = [this](const char* Name, const QString& Caption, QRect Geometry) {
        auto* b = new QPushButton(Caption, this);
        b->setObjectName(QString::fromLatin1(Name));
        b->setGeometry(Geometry);
        b->setAutoDefault(false);
        return b;
    };
    BtnDateiOeffnen = button("BtnDateiOeffnen", QString::fromUtf8("Projekt öffnen..."), QRect(8, 352, 130, 26));
    BtnZurueck = button("BtnZurueck", QString::fromUtf8("<< Zurück"), QRect(250, 352, 100, 26));
    BtnWeiter = button("BtnWeiter", QStringLiteral("Weiter >>"), QRect(356, 352, 100, 26));
    BtnWeiter->setDefault(true);
    BtnAbbrechen = button("BtnAbbrechen", QStringLiteral("Abbrechen"), QRect(472, 352, 100, 26));
    connect(BtnDateiOeffnen, &QPushButton::clicked, this, Guarded([this] { BtnDateiOeffnenClick(); }));
    connect(BtnZurueck, &QPushButton::clicked, this, Guarded([this] { BtnZurueckClick(); }));
    connect(BtnWeiter, &QPushButton::clicked, this, Guarded([this] { BtnWeiterClick(); }));
    connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { done(2); }));

    if (parentWidget())
        move(parentWidget()->window()->geometry().center() - rect().center());
}

TDateiNeuDlg::~TDateiNeuDlg() = default;

QString TDateiNeuDlg::Text(const char* Key) const
{
    return LocalizedString(this, QString::fromUtf8(Key));
}

void TDateiNeuDlg::BeforeLocalize()
{
    for (const char* t : {sOK, sWeiter, sFormat, sGrundlayout, sStandard, sFullsize, sTradition, sHorizon,
                          sVerticon, sBorder, sRandlos, sWeitereFotobuecher, sEinzelbilder, sPhotobook86,
                          sPhotobinding, sLabels3C10x15, sLabels3C9x13, sFlaschenetikett, sBildUnten, sBildOben,
                          sLeisteUnten, sLeisteRechts, sBildLinks, sSiebenBilder, sKalenderjahr})
        RegisterLocalizedString(this, QString::fromUtf8(t));
}

void TDateiNeuDlg::AfterLocalize()
{
    lblJahr->setText(Text(sKalenderjahr));
    // The year stands beside its label, or below it where the label needs the width.
    const int textWidth = lblJahr->fontMetrics().horizontalAdvance(lblJahr->text()) + 4;
    if (textWidth <= 90) {
        lblJahr->setGeometry(10, 12, 90, 22);
        edJahr->move(100, 10);
        panJahr->setGeometry(0, 40 + ListHeight - YearPanelHeight, 180, YearPanelHeight);
    } else {
        const int labelHeight = lblJahr->fontMetrics().height() + 2;
        lblJahr->setGeometry(10, 6, panJahr->width() - 20, labelHeight);
        edJahr->move(10, 6 + labelHeight + 2);
        const int height = edJahr->geometry().bottom() + 1 + 8;
        panJahr->setGeometry(0, 40 + ListHeight - height, 180, height);
    }
    // The tree takes its texts from the localizer, so it is built once the
    // form's texts are registered.
    if (!FRoot)
        FormCreate();
}

void TDateiNeuDlg::FormCreate()
{
    const QString grundlayout = QStringLiteral(" - ") + Text(sGrundlayout);
    FRoot = std::make_unique<TWizzardStep>(nullptr);
    FRoot->Caption = Text(sFormat);

    auto add = [](TWizzardStep* Parent, const QString& Name, int Code, const char* Picture) {
        TWizzardStep* step = Parent->AddChild();
        step->Name = Name;
        step->ProductCode = Code;
        step->PictureName = QString::fromLatin1(Picture);
        return step;
    };

    TWizzardStep* booklet = add(FRoot.get(), LocalizedDefaultString(QString::fromUtf8(sPocketBooklet)), 0,
                                "WIZ_PHOTOBOOKLET");
    booklet->Caption = booklet->Name + grundlayout;
    add(booklet, Text(sFullsize), 1, "WIZ_PHOTOBOOKLET");
    add(booklet, Text(sBorder), 2, "WIZ_PHOTOBOOKLETBORDER");

    add(FRoot.get(), LocalizedDefaultString(QString::fromUtf8(sPhotobook46)), 11, "WIZ_PHOTOBOOK_4_6");
    add(FRoot.get(), LocalizedDefaultString(QString::fromUtf8(sSingles)), 21, "WIZ_10X15_SINGLES");

    const QString photobook85 = LocalizedDefaultString(QString::fromUtf8(sPhotoBook85));
    TWizzardStep* book85 = add(FRoot.get(), photobook85, 0, "WIZ_PHOTOBOOK_8_5_TRADITION");
    book85->Caption = book85->Name + grundlayout;
    add(book85, Text(sTradition), 31, "WIZ_PHOTOBOOK_8_5_TRADITION");
    add(book85, Text(sHorizon), 32, "WIZ_PHOTOBOOK_8_5_HORIZON");
    add(book85, Text(sVerticon), 33, "WIZ_PHOTOBOOK_8_5_VERTICON");

    TWizzardStep* randlos =
        add(FRoot.get(), photobook85 + QLatin1Char(' ') + Text(sRandlos), 0, "WIZ_PHOTOBOOK_8_5_FULLSIZE_R");
    randlos->Caption = randlos->Name + grundlayout;
    add(randlos, Text(sFullsize), 44, "WIZ_PHOTOBOOK_8_5_FULLSIZE_R");
    add(randlos, Text(sTradition), 41, "WIZ_PHOTOBOOK_8_5_TRADITION_R");
    add(randlos, Text(sHorizon), 42, "WIZ_PHOTOBOOK_8_5_HORIZON_R");
    add(randlos, Text(sVerticon), 43, "WIZ_PHOTOBOOK_8_5_VERTICON_R");

    // The rest of the catalogue, grouped as the catalogue groups it.
    const QString format = QStringLiteral(" - ") + Text(sFormat);
    auto group = [&](TWizzardStep* Parent, const QString& Name, const char* Picture, const QString& Heading) {
        TWizzardStep* step = add(Parent, Name, 0, Picture);
        step->Caption = Name + Heading;
        return step;
    };
    auto defaultText = [](const char* Key) { return LocalizedDefaultString(QString::fromUtf8(Key)); };

    TWizzardStep* books = group(FRoot.get(), Text(sWeitereFotobuecher), "WIZ_PHOTOBOOK_8_6_M", format);
    TWizzardStep* book86 = group(books, Text(sPhotobook86), "WIZ_PHOTOBOOK_8_6_TRADITION", grundlayout);
    add(book86, Text(sTradition), 51, "WIZ_PHOTOBOOK_8_6_TRADITION");
    add(book86, Text(sHorizon), 52, "WIZ_PHOTOBOOK_8_6_HORIZON");
    add(book86, Text(sVerticon), 53, "WIZ_PHOTOBOOK_8_6_VERTICON");
    const QString pro = defaultText(sPhotobookPro);
    add(books, pro, 120, "WIZ_PHOTOBOOK_PRO");
    add(books, pro + QLatin1Char(' ') + Text(sRandlos), 121, "WIZ_PHOTOBOOK_PRO_R");

    TWizzardStep* sheets = group(FRoot.get(), Text(sEinzelbilder), "WIZ_DINA4", format);
    add(sheets, defaultText(sSingles13x18), 22, "WIZ_13X18_SINGLES");
    add(sheets, Text(sPhotobinding), 101, "WIZ_PHOTOBINDING_10X15");
    const QString dina4 = defaultText(sDINA4);
    add(sheets, dina4, 81, "WIZ_DINA4");
    add(sheets, dina4 + QLatin1Char(' ') + Text(sRandlos), 82, "WIZ_DINA4_R");
    add(sheets, Text(sLabels3C10x15), 102, "WIZ_3C_10X15");
    add(sheets, Text(sLabels3C9x13), 103, "WIZ_3C_9X13");
    add(sheets, Text(sFlaschenetikett), 104, "WIZ_FLASCHENETIKETT");

    // Calendars: each leaf carries its year, next year to begin with.
    const QString kalender = defaultText(sKalender);
    const QString nextYear = QString::number(QDate::currentDate().year() + 1);
    auto calendar = [&](TWizzardStep* Parent, const char* Name, int Code, const char* Picture) {
        add(Parent, Text(Name), Code, Picture)->Value = nextYear;
    };
    TWizzardStep* calendars = group(FRoot.get(), kalender, "WIZ_KALENDER_A4_1", format);
    TWizzardStep* a4 = group(calendars, kalender + QStringLiteral(" A4"), "WIZ_KALENDER_A4_1", grundlayout);
    calendar(a4, sBildUnten, 61, "WIZ_KALENDER_A4_1");
    calendar(a4, sBildOben, 62, "WIZ_KALENDER_A4_2");
    calendar(a4, sLeisteUnten, 63, "WIZ_KALENDER_A4_3");
    calendar(a4, sLeisteRechts, 64, "WIZ_KALENDER_A4_4");
    TWizzardStep* a5 = group(calendars, kalender + QStringLiteral(" A5"), "WIZ_KALENDER_A5_1", grundlayout);
    calendar(a5, sBildLinks, 71, "WIZ_KALENDER_A5_1");
    calendar(a5, sSiebenBilder, 72, "WIZ_KALENDER_A5_2");
    calendar(a5, sLeisteUnten, 73, "WIZ_KALENDER_A5_3");

    ShowStep(FRoot.get());
}

int TDateiNeuDlg::Execute(TFBDocument* Document)
{
    FDocument = Document;
    return ShowModalDialog(*this);
}

void TDateiNeuDlg::ShowStep(TWizzardStep* Step)
{
    FCurrentStep = Step;
    lblCaption->setText(Step->Caption);
    {
        const QSignalBlocker block(lbSteps);
        lbSteps->clearSelection();
        lbSteps->setUpdatesEnabled(false);
        lbSteps->clear();
        for (const auto& child : Step->Children)
            lbSteps->addItem(child->Name);
        lbSteps->setUpdatesEnabled(true);
        if (lbSteps->count() > 0)
            lbSteps->setCurrentRow(0);
    }
    if (lbSteps->count() > 0)
        ShowChoice(Step->Child(0));
    lbSteps->viewport()->update();
    BtnZurueck->setEnabled(Step->Parent != nullptr);
}

void TDateiNeuDlg::ShowPreview(const TWizzardStep* Step)
{
    const QString picture = Step->PictureName.isEmpty() ? QStringLiteral("WIZ_START") : Step->PictureName;
    QImage image;
    try {
        image = LoadJpegResource(picture);
    } catch (const Exception&) {
        // A missing preview leaves the picture empty; the choice still works.
    }
    if (const TKalenderSetup setup = KalenderSetup(Step->ProductCode); setup && !image.isNull())
        image = KalenderPreview(image, setup, YearOf(Step));
    imgWizzard->setPixmap(QPixmap::fromImage(image));
}

void TDateiNeuDlg::ShowChoice(TWizzardStep* Step)
{
    FChosenStep = Step;
    // A calendar asks for its year.
    const bool kalender = IsKalender(Step->ProductCode);
    if (kalender) {
        const QSignalBlocker block(edJahr);
        edJahr->setValue(YearOf(Step));
    }
    ShowPreview(Step);
    panJahr->setVisible(kalender);
    lbSteps->setFixedHeight(kalender ? ListHeight - YearPanelHeight : ListHeight);
    BtnWeiter->setText(Step->ChildCount() > 0 ? Text(sWeiter) + QStringLiteral(" >>") : Text(sOK));
}

void TDateiNeuDlg::lbStepsClick()
{
    const int row = lbSteps->currentRow();
    if (FCurrentStep && row >= 0 && row < FCurrentStep->ChildCount() && lbSteps->currentItem()
        && lbSteps->currentItem()->isSelected())
        ShowChoice(FCurrentStep->Child(row));
}

void TDateiNeuDlg::BtnWeiterClick()
{
    if (!FChosenStep)
        return;
    if (FChosenStep->ChildCount() > 0)
        ShowStep(FChosenStep);
    else
        Build(FChosenStep->ProductCode);
}

void TDateiNeuDlg::lbStepsDblClick()
{
    BtnWeiterClick();
}

void TDateiNeuDlg::BtnZurueckClick()
{
    if (!FCurrentStep || !FCurrentStep->Parent)
        return;
    TWizzardStep* left = FCurrentStep;
    ShowStep(FCurrentStep->Parent);
    ShowChoice(left);
    const QSignalBlocker block(lbSteps);
    lbSteps->setCurrentRow(FCurrentStep->IndexOfChild(left));
}

void TDateiNeuDlg::BtnDateiOeffnenClick()
{
    done(mrDateiOeffnen);
}

void TDateiNeuDlg::reject()
{
    done(2);
}

bool TDateiNeuDlg::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == lbSteps && Event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Backspace) {
        if (FCurrentStep && FCurrentStep->Parent)
            BtnZurueckClick();
        return true;
    }
    return TLocalizerForm::eventFilter(Watched, Event);
}

void TDateiNeuDlg::Build(int ProductCode)
{
    if (ProductCode <= 0 || ProductCode > 121 || !FDocument)
        return;
    TFBDocument* doc = FDocument;
    const int year = YearOf(FChosenStep && FChosenStep->ProductCode == ProductCode ? FChosenStep : nullptr);
    auto name = [](const char* Key) { return toAnsi(LocalizedDefaultString(QString::fromUtf8(Key))); };
    const AnsiString book85 = name(sPhotobook85Name);
    AnsiString docName;
    switch (ProductCode) {
    case 1: SetupPocketBookletFullsize(doc, 32); docName = name(sPocketBooklet); break;
    case 2: SetupPocketBookletBorder(doc, 32); docName = name(sPocketBooklet); break;
    case 11: SetupPhotobook46(doc, 32); break;
    case 21: SetupSingles10x15(doc, 50); docName = name(sSinglesName); break;
    case 22: SetupSingles13x18(doc, 50); break;
    case 31: SetupPhotobook85Tradition(doc, 24); docName = book85 + " - Tradition"; break;
    case 32: SetupPhotobook85Horizon(doc, 24); docName = book85 + " - Horizon"; break;
    case 33: SetupPhotobook85Verticon(doc, 24); docName = book85 + " - Verticon"; break;
    case 41: SetupPhotobook85RandlosTradition(doc, 24); docName = book85 + " - Tradition"; break;
    case 42: SetupPhotobook85RandlosHorizon(doc, 24); docName = book85 + " - Horizon"; break;
    case 43: SetupPhotobook85RandlosVerticon(doc, 24); docName = book85 + " - Verticon"; break;
    case 44: SetupPhotobook85RandlosFullpage(doc, 24); docName = book85 + " \x96 " + toAnsi(Text(sFullsize)); break;
    case 51: SetupPhotobook86Tradition(doc, 24); break;
    case 52: SetupPhotobook86Horizon(doc, 24); break;
    case 53: SetupPhotobook86Verticon(doc, 24); break;
    case 61:
    case 62:
    case 63:
    case 64:
    case 71:
    case 72:
    case 73: KalenderSetup(ProductCode)(doc, year); break;
    case 81: SetupDINA4(doc, 30); break;
    case 82: SetupDINA4Randlos(doc, 30); break;
    case 101: SetupPhotobinding10x15(doc, 30); break;
    case 102: SetupLabels3C10x15(doc, 20); break;
    case 103: SetupLabels3C9x13(doc, 20); break;
    case 104: SetupOrvaneFlaschenetikett(doc, 20); break;
    case 120: SetupPhotobookProHorizon(doc, 40); break;
    case 121: SetupPhotobookProRandlosHorizon(doc, 40); break;
    default: return;
    }
    if (!docName.empty())
        doc->Dokumentname = docName;
    done(1);
}

bool TDateiNeuDlg::IsKalender(int ProductCode)
{
    return ProductCode >= 61 && ProductCode <= 73;
}

int TDateiNeuDlg::YearOf(const TWizzardStep* Step)
{
    int year = 0;
    if (Step && TryStrToInt(toAnsi(Step->Value), year) && year >= MinYear && year <= MaxYear)
        return year;
    return QDate::currentDate().year() + 1;
}
