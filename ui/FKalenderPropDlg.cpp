#include "FKalenderPropDlg.h"

#include "Application.h"
#include "FDlgFeiertagGeburtstag.h"
#include "MainFormStatusBar.h"
#include "QwColorPopupButton.h"
#include "SysUtils.h"
#include "WVLTBComboBox.h"
#include "WVLValidateEdit.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uKalender.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

using KD = TKalenderData;

// A percentage field (0 to 100): a value out of range, and a text that is no
// number at all, keep the focus and are refused with the range message.
class TPercentEdit : public TWVLFloatEdit {
public:
    explicit TPercentEdit(QWidget* Owner) : TWVLFloatEdit(Owner)
    {
        LowerLimit = 0;
        UpperLimit = 100;
        InvalidAction |= vaOutOfRangeException;
    }

protected:
    bool IsValidEntry() override { return TWVLValidateEdit::IsValidEntry(); }
    bool IsInRange() override
    {
        double value;
        return TryStrToFloat(Text(), value) && TWVLFloatEdit::IsInRange();
    }
};

struct TColorSpec {
    const char* Caption;
    TColor KD::*Member;
    bool NoColor;
};
struct TInsetSpec {
    const char* Caption;  // of the group
    TPaddingData KD::*Spacing;
    TPaddingData KD::*Padding;
};
struct TSwitchSpec {
    const char* Caption;
    bool KD::*Member;
};
struct TAreaSpec {
    const char* TabName;
    const char* TabCaption;
    const char* Suffix;  // of the control names
    TFont KD::*Font;
    float KD::*FontHeight;
    int32_t KD::*TextAlign;
    float KD::*Size;
    std::vector<TSwitchSpec> Switches;
    std::vector<TColorSpec> Colors;
    std::vector<TInsetSpec> Insets;
};

const char* const Zeilenabstaende = "Zeilenabstände";
const char* const Zellenabstaende = "Zellenabstände";

const std::vector<TAreaSpec>& AreaSpecs()
{
    static const std::vector<TAreaSpec> specs = {
        {"tsKalender", "Kalender", "Kalender", &KD::Font, &KD::FontHeight, &KD::FTextAlign, nullptr,
         {},
         {{"Hintergrundfarbe", &KD::Color, true},
          {"Zeilenfarbe", &KD::ColorZeilen, true},
          {"Zellenfarbe", &KD::ColorZellen, true},
          {"Fontfarbe Samstag", &KD::TextColorSamstag, false},
          {"Fontfarbe Sonntag", &KD::TextColorSonntag, false}},
         {{Zeilenabstaende, &KD::RowSpacing, &KD::RowPadding},
          {Zellenabstaende, &KD::CellSpacing, &KD::CellPadding}}},
        {"tsWochentage", "Wochentage", "Wochentage", &KD::WochentagFont, &KD::WochentagFontHeight,
         &KD::WochentagTextAlign, &KD::WochentagSize,
         {{"Wochentage anzeigen", &KD::ShowWochentage}},
         {{"Zeilenfarbe", &KD::WochentagColorZeile, true}, {"Zellenfarbe", &KD::WochentagColorZelle, true}},
         {{Zeilenabstaende, &KD::WochentagRowSpacing, &KD::WochentagRowPadding},
          {Zellenabstaende, &KD::WochentagCellSpacing, &KD::WochentagCellPadding}}},
        {"tsMonatJahr", "Monat und Jahr", "MonatJahr", &KD::MonatJahrFont, &KD::MonatJahrFontHeight,
         &KD::MonatJahrTextAlign, &KD::MonatJahrSize,
         {{"Monat und Jahr anzeigen", &KD::ShowMonatJahr},
          {"Bereich unten anzeigen", &KD::ShowMonatJahrOnBottom},
          {"Monat und Jahr zweizeilig", &KD::MonatJahrZweizeilig}},
         {{"Zeilenfarbe", &KD::MonatJahrColorZeile, true}},
         {{Zeilenabstaende, &KD::MonatJahrRowSpacing, &KD::MonatJahrRowPadding}}},
        {"tsFeiertage", "Feiertage und Geburtstage", "Feiertage", &KD::SondertagFont, &KD::SondertagFontHeight,
         &KD::SonderTagTextAlign, &KD::SondertagSize,
         {{"Feiertage und Geburtstage anzeigen", &KD::ShowSondertage}},
         {{"Zeilenfarbe", &KD::SondertagColorZeile, true},
          {"Fontfarbe Feiertag", &KD::TextColorFeiertag, false},
          {"Fontfarbe Geburtstag", &KD::TextColorGeburtstag, false}},
         {{Zeilenabstaende, &KD::SondertagRowSpacing, &KD::SondertagRowPadding}}},
    };
    return specs;
}

const char* const AlignHints[6] = {"linksbündig",   "zentriert",          "rechtsbündig",
                                   "vertikal oben", "vertikal zentriert", "vertikal unten"};
const char* const AlignNames[6] = {"BtnLinks", "BtnZentriert", "BtnRechts", "BtnOben", "BtnVZentriert", "BtnUnten"};

QString U(const char* Text)
{
    return QString::fromUtf8(Text);
}

// Lines of text of the alignment: 0..2 horizontal, 3..5 vertical.
QIcon AlignIcon(int Index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    if (Index < 3) {
        const int widths[4] = {12, 8, 12, 6};
        for (int i = 0; i < 4; ++i) {
            const int w = widths[i];
            const int x = Index == 0 ? 2 : Index == 1 ? 8 - w / 2 : 14 - w;
            p.drawLine(x, 3 + 3 * i, x + w - 1, 3 + 3 * i);
        }
    } else {
        p.drawRect(1, 1, 13, 13);
        const int y = Index == 3 ? 4 : Index == 4 ? 7 : 10;
        p.drawLine(4, y, 11, y);
        p.drawLine(4, y + 2, 9, y + 2);
    }
    return QIcon(pm);
}

QToolButton* SpeedButton(QWidget* Parent, const QString& Name, const QString& Hint)
{
    auto* b = new QToolButton(Parent);
    b->setObjectName(Name);
    b->setToolTip(Hint);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFixedSize(24, 22);
    return b;
}

TColor ToButton(TColor Value, bool NoColor)
{
    return NoColor && Value == KalenderNoColor ? clNoColor : Value;
}

TColor FromButton(TColor Value, bool NoColor)
{
    return NoColor && Value == clNoColor ? KalenderNoColor : Value;
}

}  // namespace

TKalenderPropDlg::TKalenderPropDlg(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("KalenderPropDlg"));
    setWindowTitle(QStringLiteral("Kalendereigenschaften"));

    pcKalender = new QTabWidget(this);
    pcKalender->setObjectName(QStringLiteral("pcKalender"));

    for (const TAreaSpec& spec : AreaSpecs()) {
        const QString suffix = QString::fromLatin1(spec.Suffix);
        auto* tab = new QWidget;
        tab->setObjectName(QString::fromLatin1(spec.TabName));
        pcKalender->addTab(tab, U(spec.TabCaption));
        auto* page = new QVBoxLayout(tab);

        TBereich b{};
        b.Tab = tab;
        b.Font = spec.Font;
        b.FontHeight = spec.FontHeight;
        b.TextAlign = spec.TextAlign;
        b.Size = spec.Size;

        for (const TSwitchSpec& s : spec.Switches) {
            auto* box = new QCheckBox(U(s.Caption), tab);
            box->setObjectName(QStringLiteral("cb") + QString::number(b.Switches.size()) + suffix);
            page->addWidget(box);
            b.Switches.push_back({s.Member, box});
        }

        // Font name, colour and style.
        auto* fontRow = new QHBoxLayout;
        b.FontName = new TWVLTBFontComboBox(tab);
        b.FontName->setObjectName(QStringLiteral("cbFont") + suffix);
        b.FontName->setMinimumWidth(180);
        fontRow->addWidget(b.FontName);
        b.FontColor = new TQwColorPopupButton(tab);
        b.FontColor->setObjectName(QStringLiteral("BtnFontfarbe") + suffix);
        b.FontColor->setFixedSize(36, 22);
        fontRow->addWidget(b.FontColor);
        b.BtnBold = SpeedButton(tab, QStringLiteral("BtnFett") + suffix, QStringLiteral("Fett"));
        b.BtnItalic = SpeedButton(tab, QStringLiteral("BtnKursiv") + suffix, QStringLiteral("Kursiv"));
        b.BtnUnderline = SpeedButton(tab, QStringLiteral("BtnUnterstrichen") + suffix, QStringLiteral("Unterstrichen"));
        for (QToolButton* s : {b.BtnBold, b.BtnItalic, b.BtnUnderline})
            fontRow->addWidget(s);
        fontRow->addSpacing(12);
        for (int group = 0; group < 2; ++group) {
            auto* exclusive = new QButtonGroup(tab);
            for (int i = group * 3; i < group * 3 + 3; ++i) {
                b.Align[i] = SpeedButton(tab, QString::fromLatin1(AlignNames[i]) + suffix, U(AlignHints[i]));
                b.Align[i]->setIcon(AlignIcon(i));
                exclusive->addButton(b.Align[i]);
                fontRow->addWidget(b.Align[i]);
            }
            fontRow->addSpacing(6);
        }
        fontRow->addStretch(1);
        page->addLayout(fontRow);

        auto* numbers = new QGridLayout;
        auto percentEdit = [&](const QString& Name, const QString& Caption, int Row) {
            auto* edit = new TPercentEdit(this);
            edit->setObjectName(Name);
            edit->setFixedWidth(60);
            auto* label = new QLabel(Caption, tab);
            label->setObjectName(QStringLiteral("lbl") + Name);
            label->setBuddy(edit);
            numbers->addWidget(label, Row, 0);
            numbers->addWidget(edit, Row, 1);
            numbers->addWidget(new QLabel(QStringLiteral("%"), tab), Row, 2);
            return edit;
        };
        int row = 0;
        b.EdFontHeight = percentEdit(QStringLiteral("edFonthoehe") + suffix, U("Fonthöhe in Zelle"), row++);
        if (spec.Size)
            b.EdSize = percentEdit(QStringLiteral("edGroesse") + suffix, U("Größe des Bereichs"), row++);
        for (const TColorSpec& c : spec.Colors) {
            auto* button = new TQwColorPopupButton(tab);
            button->setObjectName(QStringLiteral("BtnFarbe") + QString::number(b.Colors.size()) + suffix);
            button->setFixedSize(36, 22);
            auto* label = new QLabel(U(c.Caption), tab);
            label->setObjectName(QStringLiteral("lblFarbe") + QString::number(b.Colors.size()) + suffix);
            numbers->addWidget(label, row, 0);
            numbers->addWidget(button, row++, 1);
            b.Colors.push_back({c.Member, c.NoColor, button});
        }
        numbers->setColumnStretch(3, 1);
        page->addLayout(numbers);

        for (const TInsetSpec& inset : spec.Insets) {
            auto* group = new QGroupBox(U(inset.Caption), tab);
            group->setObjectName(QStringLiteral("gb") + QString::number(b.Insets.size() / 2) + suffix);
            auto* grid = new QGridLayout(group);
            int line = 0;
            for (auto [caption, member] : {std::pair{"Außenabstand", inset.Spacing}, std::pair{"Innenabstand", inset.Padding}}) {
                TInsetEdits edits{member, {}};
                const QString base = QStringLiteral("ed") + QString::number(b.Insets.size()) + suffix;
                auto* label = new QLabel(U(caption), group);
                label->setObjectName(QStringLiteral("lbl") + base);
                grid->addWidget(label, line, 0);
                for (int i = 0; i < 4; ++i) {
                    auto* edit = new TPercentEdit(this);
                    edit->setObjectName(base + QString::number(i));
                    edit->setFixedWidth(50);
                    grid->addWidget(edit, line, 1 + i);
                    edits.Edits[i] = edit;
                }
                grid->addWidget(new QLabel(QStringLiteral("%"), group), line++, 5);
                b.Insets.push_back(edits);
            }
            grid->setColumnStretch(6, 1);
            page->addWidget(group);
        }
        page->addStretch(1);
        Bereiche.push_back(std::move(b));
    }
    tsKalender = Bereiche[0].Tab;
    tsWochentage = Bereiche[1].Tab;
    tsMonatJahr = Bereiche[2].Tab;
    tsFeiertage = Bereiche[3].Tab;
    pcKalender->setTabVisible(pcKalender->indexOf(tsFeiertage), false);

    BtnFeiertageGeburtstage = new QPushButton(QStringLiteral("Feiertage und Geburtstage"), tsFeiertage);
    BtnFeiertageGeburtstage->setObjectName(QStringLiteral("BtnFeiertageGeburtstage"));
    static_cast<QVBoxLayout*>(tsFeiertage->layout())->insertWidget(tsFeiertage->layout()->count() - 1,
                                                                    BtnFeiertageGeburtstage, 0, Qt::AlignLeft);

    // Colour buttons: swatch style; row, cell and background colours may be "no colour".
    for (TBereich& b : Bereiche) {
        std::vector<std::pair<TQwColorPopupButton*, bool>> buttons{{b.FontColor, false}};
        for (const TColorControl& c : b.Colors)
            buttons.push_back({c.Button, c.NoColor});
        for (const auto& [entry, noColor] : buttons) {
            TQwColorPopupButton* button = entry;
            button->SetColorButtonStyle(cbsColor);
            button->SetColorPopupOptions(noColor ? cpDefColor | cpCustColor | cpNoColor | cpMoreColor
                                                 : cpDefColor | cpCustColor | cpMoreColor);
            button->OnMenuButtonClick = [button = button](QObject*, int Code) {
                if (Code != crMoreColor)
                    return;
                TColor color = button->Color();
                if (ExecuteColorDialog(color))
                    button->SetColor(color);
            };
        }
    }

    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    SetCancelControl(BtnAbbrechen);
    BtnUebernehmen = new QPushButton(U("Übernehmen"), this);
    BtnUebernehmen->setObjectName(QStringLiteral("BtnUebernehmen"));
    BtnOKfuerAlle = new QPushButton(U("OK für alle"), this);
    BtnOKfuerAlle->setObjectName(QStringLiteral("BtnOKfuerAlle"));
    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(BtnUebernehmen, &QPushButton::clicked, this, Guarded([this] { BtnUebernehmenClick(); }));
    connect(BtnOKfuerAlle, &QPushButton::clicked, this, Guarded([this] { BtnOKfuerAlleClick(); }));
    connect(BtnFeiertageGeburtstage, &QPushButton::clicked, this, Guarded([this] { BtnFeiertageGeburtstageClick(); }));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {BtnOK, BtnOKfuerAlle, BtnUebernehmen, BtnAbbrechen})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcKalender);
    layout->addLayout(buttons);
}

void TKalenderPropDlg::AfterLocalize()
{
    const TLocalizer& loc = Localizer();
    for (TBereich& b : Bereiche) {
        b.BtnBold->setIcon(QIcon(QPixmap::fromImage(loc.GetBoldGlyph())));
        b.BtnItalic->setIcon(QIcon(QPixmap::fromImage(loc.GetItalicGlyph())));
        b.BtnUnderline->setIcon(QIcon(QPixmap::fromImage(loc.GetUnderlineGlyph())));
    }
}

void TKalenderPropDlg::reject()
{
    done(FCancelResult);
}

void TKalenderPropDlg::SetElement(TFBKalenderElement* Element)
{
    FElement = Element;
    if (FElement)
        PropertiesToControls();
}

void TKalenderPropDlg::PropertiesToControls()
{
    TKalenderData& data = *FElement->KalenderData;
    for (TBereich& b : Bereiche) {
        const TFont& font = data.*b.Font;
        b.FontName->SelectFontName(fromAnsi(font.Name()));
        b.FontColor->SetColor(font.Color());
        b.BtnBold->setChecked(font.Style() & fsBold);
        b.BtnItalic->setChecked(font.Style() & fsItalic);
        b.BtnUnderline->setChecked(font.Style() & fsUnderline);

        const int32_t align = data.*b.TextAlign;
        b.Align[align & kaRight ? 2 : align & kaCenterHorz ? 1 : 0]->setChecked(true);
        b.Align[align & kaBottom ? 5 : align & kaCenterVert ? 4 : 3]->setChecked(true);

        b.EdFontHeight->SetValue(data.*b.FontHeight);
        if (b.EdSize)
            b.EdSize->SetValue(data.*b.Size);
        for (TInsetEdits& inset : b.Insets) {
            const TPaddingData& p = data.*inset.Member;
            const float values[4] = {p.Left, p.Top, p.Right, p.Bottom};
            for (int i = 0; i < 4; ++i)
                inset.Edits[i]->SetValue(values[i]);
        }
        for (TSwitch& s : b.Switches)
            s.Box->setChecked(data.*s.Member);
        for (TColorControl& c : b.Colors)
            c.Button->SetColor(ToButton(data.*c.Member, c.NoColor));
    }
}

void TKalenderPropDlg::ControlsToProperties()
{
    TKalenderData& data = *FElement->KalenderData;
    for (TBereich& b : Bereiche) {
        TFont& font = data.*b.Font;
        // A font that is not installed shows no name; it is kept, not erased.
        const AnsiString name = toAnsi(b.FontName->GetSelectedFontName());
        if (!name.empty())
            font.SetName(name);
        font.SetColor(b.FontColor->Color());
        font.SetStyle((b.BtnBold->isChecked() ? fsBold : 0) | (b.BtnItalic->isChecked() ? fsItalic : 0)
                      | (b.BtnUnderline->isChecked() ? fsUnderline : 0));

        data.*b.FontHeight = float(b.EdFontHeight->Value());
        if (b.EdSize)
            data.*b.Size = float(b.EdSize->Value());
        for (TInsetEdits& inset : b.Insets)
            (data.*inset.Member)
                .SetValues(float(inset.Edits[0]->Value()), float(inset.Edits[1]->Value()),
                           float(inset.Edits[2]->Value()), float(inset.Edits[3]->Value()));

        int32_t align = 0;
        if (b.Align[1]->isChecked())
            align |= kaCenterHorz;
        if (b.Align[2]->isChecked())
            align |= kaRight;
        if (b.Align[4]->isChecked())
            align |= kaCenterVert;
        if (b.Align[5]->isChecked())
            align |= kaBottom;
        data.*b.TextAlign = align;

        for (TSwitch& s : b.Switches)
            data.*s.Member = s.Box->isChecked();
        for (TColorControl& c : b.Colors)
            data.*c.Member = FromButton(c.Button->Color(), c.NoColor);
    }
}

bool TKalenderPropDlg::ControlsValid()
{
    for (TBereich& b : Bereiche) {
        std::vector<TWVLFloatEdit*> edits{b.EdFontHeight};
        if (b.EdSize)
            edits.push_back(b.EdSize);
        for (TInsetEdits& inset : b.Insets)
            edits.insert(edits.end(), std::begin(inset.Edits), std::end(inset.Edits));
        for (TWVLFloatEdit* edit : edits) {
            char key = 0;
            bool valid = false;
            HandleExceptions([&] { valid = edit->DoValidate(key); });  // shows the range message
            if (!valid) {
                pcKalender->setCurrentWidget(b.Tab);
                edit->setFocus();
                return false;
            }
        }
    }
    return true;
}

bool TKalenderPropDlg::Apply(bool ForAll)
{
    if (!FElement || !ControlsValid())
        return false;
    TFBDocument* doc = FElement->GetDocument();
    if (ForAll && doc)
        GetUndoManager().AddKalenderEigenschaftenFuerAlle(doc);
    else
        GetUndoManager().AddKalenderEigenschaften(FElement);
    ControlsToProperties();
    if (ForAll && doc)
        doc->AssignKalenderDataToAll(*FElement->KalenderData);
    GetMulticaster().ElementChanged(this, FElement);
    if (doc)
        doc->Modified = true;
    return true;
}

void TKalenderPropDlg::BtnOKClick()
{
    if (Apply(false))
        done(1);
}

void TKalenderPropDlg::BtnOKfuerAlleClick()
{
    if (Apply(true))
        done(1);
}

void TKalenderPropDlg::BtnUebernehmenClick()
{
    FCancelResult = 3;
    Apply(false);
}

void TKalenderPropDlg::BtnFeiertageGeburtstageClick()
{
    TFBDocument* doc = FElement ? FElement->GetDocument() : nullptr;
    if (!doc)
        return;
    // Only OK changes the lists: a cancelled dialog leaves the document unchanged.
    if (TDlgFeiertagGeburtstag::Execute(FElement->KalenderData->Monat(), FElement->KalenderData->Jahr(),
                                        &doc->Holidays, &doc->Birthdays) == 1)
        GetMulticaster().ElementChanged(this, FElement);
}

int TKalenderPropDlg::Execute(TFBKalenderElement* Element)
{
    std::unique_ptr<TKalenderPropDlg> dlg(TLocalizerForm::create<TKalenderPropDlg>(ApplicationMainWidget()));
    dlg->SetElement(Element);
    return ShowModalDialog(*dlg);
}
