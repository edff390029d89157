#include "uKalibrierung.h"

#include "Application.h"
#include "Printers.h"
#include "SysUtils.h"
#include "uPrinterSupport.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const char* const Hinweis1Default =
    "Bogen in dieser Druckrichtung erneut in den Drucker einlegen und dann ein 2. Mal auf "
    "dieses Blatt drucken";
const char* const Hinweis2Default =
    "Wählen Sie die Zahl, deren vertikaler schwarzer Balken am nächsten die rote Linie berührt";
const char* const SettingsMemo =
    "Bitte stellen Sie folgende Eigenschaften für den ausgewählten Drucker ein:";

constexpr int PanelWidth = 409;
constexpr int PanelHeight = 305;

} // namespace

void WrapTextToLines(const AnsiString& Text, int MaxCol, TStringList& Lines)
{
    size_t start = 0;
    while (start <= Text.size()) {
        size_t end = Text.find("\r\n", start);
        const AnsiString para = Text.substr(start, end == AnsiString::npos ? AnsiString::npos : end - start);
        size_t lineStart = 0;
        size_t lastBreak = AnsiString::npos;
        for (size_t i = 0; i < para.size(); ++i) {
            const char c = para[i];
            if (c == ' ' || c == '-' || c == '\t')
                lastBreak = i;
            if (int(i + 1 - lineStart) > MaxCol && lastBreak != AnsiString::npos && lastBreak > lineStart) {
                Lines.Add(para.substr(lineStart, lastBreak + 1 - lineStart));
                lineStart = lastBreak + 1;
                lastBreak = AnsiString::npos;
            }
        }
        Lines.Add(para.substr(lineStart));
        if (end == AnsiString::npos)
            break;
        start = end + 2;
    }
}

TKalibrierung::TKalibrierung(TCreateKey Key, QWidget* Owner)
    : TLocalizerForm(Key, Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Kalibrierung"));
    setWindowTitle(QStringLiteral("Kalibrierung"));
    auto makePanel = [this](const QString& Name) {
        auto* panel = new QFrame(this);
        panel->setObjectName(Name);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setGeometry(0, 0, PanelWidth, PanelHeight);
        return panel;
    };
    Panel1 = makePanel(QStringLiteral("Panel1"));
    Panel2 = makePanel(QStringLiteral("Panel2"));
    Panel3 = makePanel(QStringLiteral("Panel3"));
    const QString memo = QString::fromUtf8(SettingsMemo);

    GroupBox1 = AddStep(Panel1, QStringLiteral("GroupBox1"), QStringLiteral("Schritt 1"), 8, 150,
                        QStringLiteral("Normaldruck (kein Randlosdruck)"), {memo},
                        &BtnDruckerEinstellungNormal, QStringLiteral("BtnDruckerEinstellungNormal"),
                        QStringLiteral("Druckereinstellungen"));
    GroupBox2 = AddStep(Panel1, QStringLiteral("GroupBox2"), QStringLiteral("Schritt 2"), 166, 130,
                        QString(), {QStringLiteral("Drucken Sie jetzt das Kalibrierblatt aus (normale DIN A4 Seite).")},
                        &BtnDruckenNormal, QStringLiteral("BtnDruckenNormal"), QStringLiteral("Drucken"));
    GroupBox3 = AddStep(Panel2, QStringLiteral("GroupBox3"), QStringLiteral("Schritt 3"), 8, 110,
                        QStringLiteral("Randlosdruck"), {memo}, &BtnDruckerEinstellungRandlos,
                        QStringLiteral("BtnDruckerEinstellungRandlos"),
                        QStringLiteral("Druckereinstellungen"));
    GroupBox4 = AddStep(Panel2, QStringLiteral("GroupBox4"), QStringLiteral("Schritt 4"), 124, 80,
                        QString(),
                        {QStringLiteral("Legen Sie jetzt das Kalibrierblatt wie auf dem Blatt angegeben in den Drucker")},
                        nullptr, QString(), QString());
    GroupBox5 = AddStep(Panel2, QStringLiteral("GroupBox5"), QStringLiteral("Schritt 5"), 210, 87,
                        QString(), {QStringLiteral("Drucken Sie jetzt das 2. Mal auf das Kalibrierblatt")},
                        &BtnDruckenRandlos, QStringLiteral("BtnDruckenRandlos"), QStringLiteral("Drucken"));
    GroupBox6 = AddStep(Panel3, QStringLiteral("GroupBox6"), QStringLiteral("Schritt 6"), 8, 200,
                        QString(),
                        {QStringLiteral("Lesen Sie jetzt die Kalibrierzahl von dem Blatt ab  und tragen Sie sie in das "),
                         QStringLiteral("untenstehende Feld ein.")},
                        &BtnFertig, QStringLiteral("BtnFertig"), QStringLiteral("Fertig"));
    auto* label = new QLabel(QStringLiteral("Kalibrierzahl:"), GroupBox6);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(10, 126, 100, 21);
    edKalibrierung = new QLineEdit(GroupBox6);
    edKalibrierung->setObjectName(QStringLiteral("edKalibrierung"));
    edKalibrierung->setGeometry(116, 124, 60, 23);

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
    Timer1->setSingleShot(false);

    QObject::connect(BtnDruckerEinstellungNormal, &QPushButton::clicked, this,
                     Guarded([this] { BtnDruckerEinstellungNormalClick(); }));
    QObject::connect(BtnDruckenNormal, &QPushButton::clicked, this, Guarded([this] { BtnDruckenNormalClick(); }));
    QObject::connect(BtnDruckerEinstellungRandlos, &QPushButton::clicked, this,
                     Guarded([this] { BtnDruckerEinstellungRandlosClick(); }));
    QObject::connect(BtnDruckenRandlos, &QPushButton::clicked, this, Guarded([this] { BtnDruckenRandlosClick(); }));
    QObject::connect(BtnFertig, &QPushButton::clicked, this, Guarded([this] { BtnFertigClick(); }));
    QObject::connect(edKalibrierung, &QLineEdit::textChanged, this, Guarded([this] { edKalibrierungChange(); }));
    QObject::connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    FormCreate();
}

QGroupBox* TKalibrierung::AddStep(QFrame* Panel, const QString& Name, const QString& Title, int Top,
                                  int Height, const QString& Caption, const QStringList& Lines,
                                  QPushButton** Button, const QString& ButtonName,
                                  const QString& ButtonCaption)
{
    auto* group = new QGroupBox(Title, Panel);
    group->setObjectName(Name);
    group->setGeometry(8, Top, PanelWidth - 16, Height);
    int y = 22;
    if (!Caption.isEmpty()) {
        auto* label = new QLabel(Caption, group);
        label->setObjectName(Name + QStringLiteral("Caption"));
        label->setGeometry(10, y, PanelWidth - 36, 18);
        y += 22;
    }
    auto* memo = new QPlainTextEdit(group);
    memo->setObjectName(Name + QStringLiteral("Memo"));
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setPlainText(Lines.join(QLatin1Char('\n')));
    memo->setGeometry(10, y, PanelWidth - 36, 46);
    if (Button) {
        *Button = new QPushButton(ButtonCaption, group);
        (*Button)->setObjectName(ButtonName);
        (*Button)->setGeometry(PanelWidth - 36 - 150, Height - 36, 160, 25);
    }
    // The children keep the normal weight when the group turns bold.
    for (QWidget* child : group->findChildren<QWidget*>()) {
        QFont f = child->font();
        f.setBold(false);
        child->setFont(f);
    }
    return group;
}

void TKalibrierung::BeforeLocalize()
{
    RegisterLocalizedString(this, QStringLiteral("Druckerjustage"));
    RegisterLocalizedStringKey(this, QStringLiteral("Hinweis1"), QString::fromUtf8(Hinweis1Default));
    RegisterLocalizedStringKey(this, QStringLiteral("Hinweis2"), QString::fromUtf8(Hinweis2Default));
}

void TKalibrierung::AfterLocalize()
{
    // A step's button keeps its right edge and grows to the left to its caption.
    for (QPushButton* b : {BtnDruckerEinstellungNormal, BtnDruckenNormal, BtnDruckerEinstellungRandlos,
                           BtnDruckenRandlos, BtnFertig}) {
        const int right = b->geometry().right();
        const int width = std::clamp(b->sizeHint().width(), 160, right - 10);
        b->setGeometry(right + 1 - width, b->y(), width, b->height());
    }
}

void TKalibrierung::FormCreate()
{
    setFixedSize(PanelWidth, PanelHeight);
    for (QFrame* panel : {Panel1, Panel2, Panel3}) {
        panel->setFrameShape(QFrame::NoFrame);
        panel->move(0, 0);
    }
    ShowPanel(1);
}

void TKalibrierung::SetStepBold(QGroupBox* Group, bool Bold)
{
    QFont f = Group->font();
    f.setBold(Bold);
    Group->setFont(f);
}

void TKalibrierung::ShowPanel(int Number)
{
    QFrame* panels[] = {Panel1, Panel2, Panel3};
    for (int i = 0; i < 3; ++i) {
        panels[i]->setVisible(i + 1 == Number);
        panels[i]->setEnabled(i + 1 == Number);
    }
    for (QGroupBox* g : {GroupBox1, GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6})
        SetStepBold(g, false);
    if (Number == 1) {
        BtnDruckenNormal->setEnabled(false);
        SetStepBold(GroupBox1, true);
    } else if (Number == 2) {
        BtnDruckenRandlos->setEnabled(false);
        SetStepBold(GroupBox3, true);
    } else {
        SetStepBold(GroupBox6, true);
        edKalibrierung->setFocus();
    }
}

void TKalibrierung::BtnDruckerEinstellungNormalClick()
{
    TPrinterSupport& ps = PrinterSupport();
    ps.SetCopies(1);
    ps.SetPaperCode(DMPAPER_A4);
    ps.SetBorderless(false);
    ps.ShowPrinterProperties(this);
    SetStepBold(GroupBox1, false);
    SetStepBold(GroupBox2, true);
    BtnDruckenNormal->setEnabled(true);
}

void TKalibrierung::BtnDruckenNormalClick()
{
    PrintNormalSheet();
    ShowPanel(2);
}

void TKalibrierung::BtnDruckerEinstellungRandlosClick()
{
    TPrinterSupport& ps = PrinterSupport();
    ps.SetCopies(1);
    ps.SetPaperCode(DMPAPER_A4);
    ps.SetBorderless(true);
    ps.ShowPrinterProperties(this);
    SetStepBold(GroupBox3, false);
    SetStepBold(GroupBox4, true);
    BtnDruckenRandlos->setEnabled(true);
    Timer1->start();
}

void TKalibrierung::Timer1Timer()
{
    Timer1->stop();
    SetStepBold(GroupBox4, false);
    SetStepBold(GroupBox5, true);
}

void TKalibrierung::BtnDruckenRandlosClick()
{
    PrintBorderlessSheet();
    ShowPanel(3);
    BtnFertig->setEnabled(false);
}

void TKalibrierung::edKalibrierungChange()
{
    int32_t n = 0;
    BtnFertig->setEnabled(TryStrToInt(toAnsi(edKalibrierung->text()), n) && n >= 1 && n <= 50);
}

void TKalibrierung::BtnFertigClick() { done(QDialog::Accepted); }

float TKalibrierung::GetResult() const
{
    int32_t n = 0;
    if (!TryStrToInt(toAnsi(edKalibrierung->text()), n))
        return 0;
    return float((n - 1) * 0.1);
}

// ---- test sheets -----------------------------------------------------------------------

void TKalibrierung::PrepareSheet(TDrawContext& DC)
{
    TPrinter& p = Printer();
    TTransformation& t = *DC.Transformation;
    t.Translate(float(-p.PhysicalOffsetX()), float(-p.PhysicalOffsetY()));
    t.Scale(float(p.LogPixelsX() / 25.4), float(p.LogPixelsY() / 25.4));
    t.RotateAt(0, 0, 90);
    t.Translate(0, -210);
}

void TKalibrierung::ArrowMark(TDrawContext& DC, float X, float Y)
{
    DC.SetPenColor(0x808080);
    DC.SetPenWidth(1);
    DC.Polyline({{X, Y + 16}, {X + 16, Y}, {X + 16, Y + 8}, {X + 47, Y + 8}, {X + 47, Y + 24},
                 {X + 16, Y + 24}, {X + 16, Y + 32}, {X, Y + 16}});
}

void TKalibrierung::WrappedText(TDrawContext& DC, const QString& Key, float X, float Y)
{
    const AnsiString text = toAnsi(LocalizedString(this, Key));
    TStringList lines;
    WrapTextToLines(text, int(text.size() / 3), lines);
    for (int i = 0; i < lines.Count(); ++i)
        DC.TextOut(lines[i], 0, X, Y + 5.5f * float(i));
}

namespace {

void SetFont(TDrawContext& DC, int Size, TFontStyles Style)
{
    DC.Font->SetName("Arial");
    DC.Font->SetSize(Size);
    DC.Font->SetStyle(Style);
    DC.Font->SetColor(clBlack);
}

// Runs Draw as one print job on the current printer.
template <class F>
void PrintSheet(F Draw)
{
    TPrinter& p = Printer();
    p.Title = ApplicationTitle();
    p.BeginDoc();
    try {
        TPrinterDrawContext dc;
        Draw(dc);
    } catch (...) {
        p.Abort();
        throw;
    }
    p.EndDoc();
}

} // namespace

void TKalibrierung::PrintNormalSheet()
{
    PrintSheet([this](TDrawContext& dc) {
        PrepareSheet(dc);
        ArrowMark(dc, 12, 12);
        ArrowMark(dc, 12, 166);
        dc.SetPenColor(clBlack);
        dc.SetPenWidth(0);
        SetFont(dc, 16, 0);
        dc.TextOut("Vantoria", 0, 68, 21);
        SetFont(dc, 24, fsBold);
        dc.TextOut(toAnsi(LocalizedString(this, QStringLiteral("Druckerjustage"))), 0, 68, 26);
        dc.TextOut("1.", 0, 35, 84);
        SetFont(dc, 14, 0);
        WrappedText(dc, QStringLiteral("Hinweis1"), 25, 93);
        SetFont(dc, 10, 0);
        dc.SetPenColor(clBlack);
        dc.SetPenWidth(0);
        for (int i = 0; i < 50; ++i) {
            const float x = 148.5f + 0.1f * float(i);
            dc.Line(x, 4.0f * float(i) + 5.5f, x, 4.0f * float(i) + 8.5f);
            dc.Line(143, 4.0f * float(i) + 7, x, 4.0f * float(i) + 7);
            dc.TextOut(IntToStr(i + 1), 2, 142, 4.0f * float(i) + 5);
        }
    });
}

void TKalibrierung::PrintBorderlessSheet()
{
    PrintSheet([this](TDrawContext& dc) {
        PrepareSheet(dc);
        dc.SetPenColor(0x0000FF);
        dc.SetPenWidth(0);
        dc.Line(148.5f, 0, 148.5f, 210);
        ArrowMark(dc, 170, 89);
        dc.SetPenColor(clBlack);
        dc.SetPenWidth(0);
        SetFont(dc, 24, fsBold);
        dc.TextOut("2.", 0, 205, 54);
        SetFont(dc, 14, 0);
        WrappedText(dc, QStringLiteral("Hinweis2"), 200, 63);
    });
}
