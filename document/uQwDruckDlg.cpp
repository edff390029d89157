#include "uQwDruckDlg.h"
#include "Application.h"

#include "KvSpinEdit.h"
#include "MainFormStatusBar.h"
#include "WVLValidateEdit.h"
#include "uDruckpositionKnickDlg.h"
#include "uFotobuchDocument.h"
#include "uPrinterSupport.h"
#include "uQwRegistry.h"

#include <QComboBox>
#include <algorithm>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

#include <cmath>

namespace {

QLabel* MakeLabel(const QString& Name, const QString& Text, QWidget* Parent, int X, int Y, int W)
{
    auto* label = new QLabel(Text, Parent);
    label->setObjectName(Name);
    label->setGeometry(X, Y, W, 18);
    return label;
}

// Moves the dialog's widgets from Y on down by Dy and lengthens the dialog.
void MoveDown(QDialog* Dialog, int Y, int Dy)
{
    if (Dy == 0)
        return;
    for (QObject* o : Dialog->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && w->y() >= Y)
            w->move(w->x(), w->y() + Dy);
    Dialog->setFixedSize(Dialog->width(), Dialog->height() + Dy);
}

} // namespace

TQwDruckDlg::TQwDruckDlg(TCreateKey Key, QWidget* Owner)
    : TLocalizerForm(Key, Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("QwDruckDlg"));
    setWindowTitle(QStringLiteral("Drucken"));
    setFixedSize(430, 355);

    gbDrucker = new QGroupBox(QStringLiteral("Drucker"), this);
    gbDrucker->setObjectName(QStringLiteral("gbDrucker"));
    gbDrucker->setGeometry(8, 8, 414, 105);
    MakeLabel(QStringLiteral("Label1"), QStringLiteral("Name:"), gbDrucker, 10, 24, 80);
    cbDrucker = new QComboBox(gbDrucker);
    cbDrucker->setObjectName(QStringLiteral("cbDrucker"));
    cbDrucker->setGeometry(92, 21, 212, 24);
    BtnEigenschaften = new QPushButton(QStringLiteral("&Eigenschaften"), gbDrucker);
    BtnEigenschaften->setObjectName(QStringLiteral("BtnEigenschaften"));
    BtnEigenschaften->setGeometry(312, 21, 92, 25);
    MakeLabel(QStringLiteral("Label2"), QStringLiteral("Typ:"), gbDrucker, 10, 52, 80);
    lblTyp = MakeLabel(QStringLiteral("lblTyp"), QString(), gbDrucker, 92, 52, 312);
    MakeLabel(QStringLiteral("Label3"), QStringLiteral("Ort:"), gbDrucker, 10, 66, 80);
    lblOrt = MakeLabel(QStringLiteral("lblOrt"), QString(), gbDrucker, 92, 66, 312);
    MakeLabel(QStringLiteral("Label4"), QStringLiteral("Kommentar:"), gbDrucker, 10, 80, 80);
    lblKommentar = MakeLabel(QStringLiteral("lblKommentar"), QString(), gbDrucker, 92, 80, 312);

    gbHinweis = new QGroupBox(QStringLiteral("Hinweis"), this);
    gbHinweis->setObjectName(QStringLiteral("gbHinweis"));
    gbHinweis->setGeometry(8, 118, 414, 95);
    meInfo = new QPlainTextEdit(gbHinweis);
    meInfo->setObjectName(QStringLiteral("meInfo"));
    meInfo->setReadOnly(true);
    meInfo->setGeometry(8, 20, 398, 67);

    gbAnzahl = new QGroupBox(QStringLiteral("Anzahl"), this);
    gbAnzahl->setObjectName(QStringLiteral("gbAnzahl"));
    gbAnzahl->setGeometry(8, 218, 150, 95);
    lblAnzahl = MakeLabel(QStringLiteral("Label5"), QStringLiteral("Exemplare:"), gbAnzahl, 10, 32, 70);
    edAnzahl = new TKvSpinEdit(gbAnzahl);
    edAnzahl->setObjectName(QStringLiteral("edAnzahl"));
    edAnzahl->SetMinValue(1);
    edAnzahl->SetMaxValue(1000);
    edAnzahl->SetValue(1);
    edAnzahl->setGeometry(82, 29, 56, 24);

    gbDruckbereich = new QGroupBox(QStringLiteral("Druckbereich"), this);
    gbDruckbereich->setObjectName(QStringLiteral("gbDruckbereich"));
    gbDruckbereich->setGeometry(166, 218, 256, 80);
    rbAlle = new QRadioButton(QStringLiteral("Alle"), gbDruckbereich);
    rbAlle->setObjectName(QStringLiteral("rbAlle"));
    rbAlle->setGeometry(10, 22, 100, 20);
    rbAlle->setChecked(true);
    rbSeiten = new QRadioButton(QStringLiteral("Seiten"), gbDruckbereich);
    rbSeiten->setObjectName(QStringLiteral("rbSeiten"));
    rbSeiten->setGeometry(10, 48, 66, 20);
    lblVon = MakeLabel(QStringLiteral("lblVon"), QStringLiteral("von:"), gbDruckbereich, 80, 49, 30);
    edVon = new TWVLIntegerEdit(this);
    edVon->setParent(gbDruckbereich);
    edVon->setObjectName(QStringLiteral("edVon"));
    edVon->setGeometry(110, 46, 44, 23);
    lblBis = MakeLabel(QStringLiteral("lblBis"), QStringLiteral("bis:"), gbDruckbereich, 162, 49, 30);
    edBis = new TWVLIntegerEdit(this);
    edBis->setParent(gbDruckbereich);
    edBis->setObjectName(QStringLiteral("edBis"));
    edBis->setGeometry(192, 46, 44, 23);
    rbSeitenauswahl = new QRadioButton(QStringLiteral("Seiten"), gbDruckbereich);
    rbSeitenauswahl->setObjectName(QStringLiteral("rbSeitenauswahl"));
    rbSeitenauswahl->setGeometry(10, 48, 66, 20);
    lblSeitenauswahl = MakeLabel(QStringLiteral("lblSeitenauswahl"), QString(), gbDruckbereich, 80, 49, 130);
    BtnSeitenauswahl = new QPushButton(QStringLiteral("..."), gbDruckbereich);
    BtnSeitenauswahl->setObjectName(QStringLiteral("BtnSeitenauswahl"));
    BtnSeitenauswahl->setGeometry(214, 46, 30, 23);

    shDruckposition = new QFrame(this);
    shDruckposition->setObjectName(QStringLiteral("shDruckposition"));
    shDruckposition->setStyleSheet(QStringLiteral("QFrame#shDruckposition { border: 1px solid red; }"));
    BtnDruckposition = new QPushButton(QStringLiteral("Druckposition anpassen..."), this);
    BtnDruckposition->setObjectName(QStringLiteral("BtnDruckposition"));
    BtnDruckposition->setGeometry(10, 322, 170, 25);
    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnOK->setGeometry(262, 322, 75, 25);
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    SetCancelControl(BtnAbbrechen);
    BtnAbbrechen->setGeometry(347, 322, 75, 25);

    for (TWVLIntegerEdit* edit : {edVon, edBis}) {
        TWVLIntegerEdit* other = edit == edVon ? edBis : edVon;
        edit->OnInvalidEntry = [other](QObject*, AnsiString& Text, bool& IsValid) {
            if (Text.empty()) {
                Text = other->Text();
                IsValid = true;
            }
        };
        edit->installEventFilter(this);
    }
    QObject::connect(cbDrucker, &QComboBox::activated, this, Guarded([this] { cbDruckerChange(); }));
    QObject::connect(BtnEigenschaften, &QPushButton::clicked, this, Guarded([this] { BtnEigenschaftenClick(); }));
    QObject::connect(edVon, &QLineEdit::textChanged, this, Guarded([this] { edVonChange(); }));
    QObject::connect(edBis, &QLineEdit::textChanged, this, Guarded([this] { edBisChange(); }));
    QObject::connect(BtnDruckposition, &QPushButton::clicked, this, Guarded([this] { BtnDruckpositionClick(); }));
    QObject::connect(BtnSeitenauswahl, &QPushButton::clicked, this, Guarded([this] { BtnSeitenauswahlClick(); }));
    QObject::connect(rbSeitenauswahl, &QRadioButton::clicked, this, Guarded([this] { rbSeitenauswahlClick(); }));
    QObject::connect(BtnOK, &QPushButton::clicked, this, Guarded([this] {
        if (FormCloseQuery(this))
            done(QDialog::Accepted);
    }));
    QObject::connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { done(QDialog::Rejected); }));
    FormCreate();
}

void TQwDruckDlg::FormCreate()
{
    meInfo->clear();
    QFont f = meInfo->font();
    f.setBold(true);
    meInfo->setFont(f);
    QPalette pal = meInfo->palette();
    pal.setColor(QPalette::Text, Qt::red);
    meInfo->setPalette(pal);
    Options = poPageNums;
    rbSeiten->setEnabled(true);
    RandlosverschiebungY = -1.2f;
    cbDrucker->clear();
    cbDrucker->addItems(PrinterSupport().PrinterNames());
    cbDrucker->setCurrentIndex(Printer().PrinterIndex());
    ShowPrinterInfo();
}

void TQwDruckDlg::AfterLocalize()
{
    const auto textWidth = [](const QLabel* L) { return L->fontMetrics().horizontalAdvance(L->text()) + 4; };

    // The printer's rows: the names as wide as the widest, each row as tall
    // as its text; the group and the dialog grow to hold them.
    QLabel* names[4];
    int nameWidth = 80;
    for (int i = 0; i < 4; ++i) {
        names[i] = gbDrucker->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
        nameWidth = std::max(nameWidth, textWidth(names[i]));
    }
    const int valueX = 10 + nameWidth + 2;
    names[0]->setGeometry(10, 24, nameWidth, 18);
    const int propertiesWidth = std::max(
        92, BtnEigenschaften->fontMetrics().horizontalAdvance(BtnEigenschaften->text().remove(QLatin1Char('&'))) + 16);
    BtnEigenschaften->setGeometry(gbDrucker->width() - 10 - propertiesWidth, 21, propertiesWidth, 25);
    cbDrucker->setGeometry(valueX, 21, BtnEigenschaften->x() - 8 - valueX, 24);
    const int rowHeight = std::max(14, names[0]->fontMetrics().height());
    int y = 52;
    for (int i = 1; i < 4; ++i, y += rowHeight) {
        QLabel* value = i == 1 ? lblTyp : i == 2 ? lblOrt : lblKommentar;
        names[i]->setGeometry(10, y, nameWidth, rowHeight);
        value->setGeometry(valueX, y, gbDrucker->width() - 10 - valueX, rowHeight);
    }
    const int groupBottom = gbDrucker->geometry().bottom() + 1;
    const int groupHeight = std::max(105, y + 7);
    gbDrucker->resize(gbDrucker->width(), groupHeight);
    MoveDown(this, groupBottom, groupHeight - (groupBottom - gbDrucker->y()));

    // The copies label goes above its field when it does not fit beside it.
    const int besideWidth = gbAnzahl->width() - 10 - 2 - edAnzahl->width() - 8;
    if (textWidth(lblAnzahl) <= besideWidth) {
        const int w = std::max(70, textWidth(lblAnzahl));
        lblAnzahl->setGeometry(10, 32, w, 18);
        edAnzahl->move(10 + w + 2, 29);
    } else {
        lblAnzahl->setGeometry(10, 22, gbAnzahl->width() - 20, 18);
        edAnzahl->move(10, 44);
    }

    // The page range row: each label as wide as its text, the edits narrowed
    // (never below three digits) when the row would leave the group.
    const int radioRight = 10 + std::max(66, rbSeiten->sizeHint().width());
    const int vonWidth = std::max(30, textWidth(lblVon));
    const int bisWidth = std::max(30, textWidth(lblBis));
    const int vonX = std::max(80, radioRight + 2);
    const int fixedRight = vonX + vonWidth + 8 + bisWidth;
    const int editWidth = std::clamp((gbDruckbereich->width() - 10 - fixedRight) / 2,
                                     edVon->fontMetrics().horizontalAdvance(QStringLiteral("999")) + 10, 44);
    rbSeiten->setGeometry(10, 48, std::max(66, vonX - 2 - 10), 20);
    lblVon->setGeometry(vonX, 49, vonWidth, 18);
    edVon->setGeometry(vonX + vonWidth, 46, editWidth, 23);
    lblBis->setGeometry(edVon->geometry().right() + 1 + 8, 49, bisWidth, 18);
    edBis->setGeometry(lblBis->geometry().right() + 1, 46, editWidth, 23);

    // The print position button may grow up to the OK button.
    BtnDruckposition->resize(std::clamp(BtnDruckposition->sizeHint().width(), 170, BtnOK->x() - 8 - BtnDruckposition->x()),
                             BtnDruckposition->height());
}

void TQwDruckDlg::ShowPrinterInfo()
{
    TPrinterInfo info;
    PrinterSupport().GetPrinterInfo(info);
    lblTyp->setText(info.DriverName);
    lblOrt->setText(info.PortName);
    lblKommentar->setText(info.Comment);
}

int TQwDruckDlg::Execute()
{
    TPrinter& p = Printer();
    const int keptPrinter = p.PrinterIndex();
    const TDeviceMode keptMode = p.DevMode();

    gbDruckbereich->resize(gbDruckbereich->width(), gbAnzahl->height());
    const bool selection = (Options & poSelection) != 0;
    for (QWidget* w : std::initializer_list<QWidget*>{rbSeiten, lblVon, edVon, lblBis, edBis})
        w->setVisible(!selection);
    for (QWidget* w : std::initializer_list<QWidget*>{rbSeitenauswahl, lblSeitenauswahl, BtnSeitenauswahl})
        w->setVisible(selection);
    if (selection)
        lblSeitenauswahl->clear();
    // The remark is read whole, without scrolling.
    if (!meInfo->toPlainText().isEmpty()) {
        const int frame = meInfo->frameWidth();
        const int margin = int(std::ceil(meInfo->document()->documentMargin()));
        const QRect text = QFontMetrics(meInfo->font())
                               .boundingRect(QRect(0, 0, meInfo->width() - 2 * frame - 2 * margin, 100000),
                                             Qt::TextWordWrap, meInfo->toPlainText());
        const int dy = text.height() + 2 * frame + 2 * margin + 2 - meInfo->height();
        if (dy > 0) {
            meInfo->resize(meInfo->width(), meInfo->height() + dy);
            const int bottom = gbHinweis->geometry().bottom() + 1;
            gbHinweis->resize(gbHinweis->width(), gbHinweis->height() + dy);
            MoveDown(this, bottom, dy);
        }
    }
    if (meInfo->toPlainText().isEmpty() && !gbHinweis->isHidden()) {
        gbHinweis->hide();
        const int dy = gbDruckbereich->y() - gbHinweis->y();
        for (QWidget* w : std::initializer_list<QWidget*>{gbDruckbereich, gbAnzahl, BtnDruckposition,
                                                          BtnOK, BtnAbbrechen})
            w->move(w->x(), w->y() - dy);
        setFixedSize(width(), height() - dy);
    }
    const QRect b = BtnDruckposition->geometry();
    shDruckposition->setGeometry(b.adjusted(-2, -2, 2, 2));
    shDruckposition->setVisible(!BtnDruckposition->isHidden());

    const int result = ShowModalDialog(*this);
    if (result == QDialog::Accepted) {
        PrinterSupport().SetCopies(edAnzahl->Value());
    } else {
        if (p.PrinterIndex() != keptPrinter)
            p.SetPrinterIndex(keptPrinter);
        p.SetDevMode(keptMode);
    }
    return result;
}

void TQwDruckDlg::cbDruckerChange()
{
    TPrinter& p = Printer();
    const int index = cbDrucker->currentIndex();
    if (index < 0)
        return;
    PrinterSupport().SelectPrinterKeepingChoices(index);
    ShowPrinterInfo();
    RandlosverschiebungY = float(TQwRegIniFile::Instance().ReadFloat(
        SettingsKey + "\\" + toAnsi(p.PrinterName()), "RandlosverschiebungY", RandlosverschiebungY));
}

void TQwDruckDlg::BtnEigenschaftenClick() { PrinterSupport().ShowPrinterProperties(this); }

bool TQwDruckDlg::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::FocusIn) {
        if (Watched == edVon)
            FVonEntered = true;
        else if (Watched == edBis)
            FBisEntered = true;
    }
    return TLocalizerForm::eventFilter(Watched, Event);
}

void TQwDruckDlg::edVonChange()
{
    if (FVonEntered)
        rbSeiten->setChecked(true);
}

void TQwDruckDlg::edBisChange()
{
    if (FBisEntered)
        rbSeiten->setChecked(true);
}

void TQwDruckDlg::BtnDruckpositionClick()
{
    std::unique_ptr<TDruckpositionKnickDlg> dlg(TLocalizerForm::create<TDruckpositionKnickDlg>(ApplicationMainWidget()));
    dlg->SetVerschiebung(RandlosverschiebungY);
    if (ShowModalDialog(*dlg) == QDialog::Accepted)
        RandlosverschiebungY = dlg->Verschiebung;
}

void TQwDruckDlg::rbSeitenauswahlClick()
{
    if (!FSelectionGuard)
        BtnSeitenauswahlClick();
}

void TQwDruckDlg::BtnSeitenauswahlClick()
{
    if (!PageSelection || !Document)
        return;
    TPageSelection& pages = *PageSelection;
    const bool folded = Document->DocType == 1;
    // Shown per sheet for folded documents: sheet k stands for pages 2k and 2k+1.
    TPageSelection shown(folded ? pages.size() / 2 : pages.size());
    for (size_t i = 0; i < shown.size(); ++i)
        shown[i] = folded ? pages[2 * i] || pages[2 * i + 1] : bool(pages[i]);
    if (!TDruckvorschau::Execute(*Document, shown))
        return;
    QStringList numbers;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (folded) {
            pages[2 * i] = shown[i];
            pages[2 * i + 1] = shown[i];
        } else {
            pages[i] = shown[i];
        }
        if (shown[i])
            numbers << QString::number(i + 1);
    }
    lblSeitenauswahl->setText(numbers.join(QLatin1Char(',')));
    FSelectionGuard = true;
    if (numbers.isEmpty())
        rbAlle->setChecked(true);
    else
        rbSeitenauswahl->setChecked(true);
    FSelectionGuard = false;
}

int TQwDruckDlg::Copies() const { return edAnzahl->Value(); }

int TQwDruckDlg::FromPage() const { return edVon->Value(); }

int TQwDruckDlg::ToPage() const { return edBis->Value(); }

void TQwDruckDlg::SetFromPage(int Value) { edVon->SetValue(Value); }

void TQwDruckDlg::SetToPage(int Value) { edBis->SetValue(Value); }

int TQwDruckDlg::RangeChoice() const
{
    if (rbSeitenauswahl->isChecked())
        return 2;
    return rbSeiten->isChecked() ? 1 : 0;
}

QString TQwDruckDlg::InfoText() const { return meInfo->toPlainText(); }

void TQwDruckDlg::SetInfoText(const QString& Text) { meInfo->setPlainText(Text); }
