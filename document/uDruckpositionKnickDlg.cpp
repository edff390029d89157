#include "uDruckpositionKnickDlg.h"
#include "Application.h"

#include "SysUtils.h"
#include "uKalibrierung.h"
#include "uPrinterSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace {

// The explanation: a folded sheet with two pictures whose edge misses the fold.
QPixmap SeamPicture()
{
    QPixmap pm(160, 100);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setPen(QPen(Qt::gray, 1));
    p.drawRect(10, 10, 140, 80);
    p.fillRect(11, 11, 74, 79, QColor(120, 160, 210));
    p.fillRect(85, 11, 64, 79, QColor(210, 150, 110));
    p.setPen(QPen(Qt::red, 1, Qt::DashLine));
    p.drawLine(80, 2, 80, 98);
    return pm;
}

QPixmap ArrowGlyph(bool Left)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    const QPolygon tri = Left ? QPolygon({QPoint(3, 8), QPoint(12, 2), QPoint(12, 14)})
                              : QPolygon({QPoint(13, 8), QPoint(4, 2), QPoint(4, 14)});
    p.drawPolygon(tri);
    return pm;
}

} // namespace

TDruckpositionKnickDlg::TDruckpositionKnickDlg(TCreateKey Key, QWidget* Owner)
    : TLocalizerForm(Key, Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("DruckpositionKnickDlg"));
    setWindowTitle(QStringLiteral("Bilder-Stoßkante"));
    setFixedSize(441, 300);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(SeamPicture());
    picture->setGeometry(8, 8, 160, 100);
    auto* text = new QLabel(
        QStringLiteral("Das gewählte Format wird mit \"Randlos-Einstellung\" gedruckt. Drucken Sie "
                       "zuerst einen einzelnen Bogen um festzustellen, ob sich die Stoßkante beider "
                       "Bilder mit der Faltung deckt. Wenn nicht, betrachten Sie den Ausdruck wie "
                       "gezeigt und verschieben Sie die Kante."),
        this);
    text->setObjectName(QStringLiteral("Label1"));
    text->setWordWrap(true);
    text->setGeometry(176, 8, 257, 130);
    auto* group = new QGroupBox(QStringLiteral("Stoßkante verschieben"), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(8, 146, 425, 70);
    BtnNachLinks = new QToolButton(group);
    BtnNachLinks->setObjectName(QStringLiteral("BtnNachLinks"));
    BtnNachLinks->setAutoRaise(true);
    BtnNachLinks->setIcon(ArrowGlyph(true));
    BtnNachLinks->setGeometry(10, 26, 30, 30);
    lblVerschiebung = new QLabel(group);
    lblVerschiebung->setObjectName(QStringLiteral("lblVerschiebung"));
    lblVerschiebung->setAlignment(Qt::AlignCenter);
    lblVerschiebung->setGeometry(48, 30, 200, 22);
    BtnNachRechts = new QToolButton(group);
    BtnNachRechts->setObjectName(QStringLiteral("BtnNachRechts"));
    BtnNachRechts->setAutoRaise(true);
    BtnNachRechts->setIcon(ArrowGlyph(false));
    BtnNachRechts->setGeometry(256, 26, 30, 30);
    BtnJustage = new QPushButton(QStringLiteral("Automatische Druckerjustage..."), this);
    BtnJustage->setObjectName(QStringLiteral("BtnJustage"));
    BtnJustage->setGeometry(8, 262, 200, 25);
    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnOK->setGeometry(276, 262, 75, 25);
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    BtnAbbrechen->setGeometry(358, 262, 75, 25);

    QObject::connect(BtnNachLinks, &QToolButton::clicked, this, Guarded([this] { BtnNachLinksClick(); }));
    QObject::connect(BtnNachRechts, &QToolButton::clicked, this, Guarded([this] { BtnNachRechtsClick(); }));
    QObject::connect(BtnJustage, &QPushButton::clicked, this, Guarded([this] { BtnJustageClick(); }));
    QObject::connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { done(QDialog::Accepted); }));
    QObject::connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { done(QDialog::Rejected); }));
}

void TDruckpositionKnickDlg::BeforeLocalize()
{
    RegisterLocalizedString(this, QStringLiteral("%.1f mm nach links"));
    RegisterLocalizedString(this, QStringLiteral("%.1f mm nach rechts"));
}

void TDruckpositionKnickDlg::AfterLocalize()
{
    SetVerschiebung(Verschiebung);
    BtnJustage->resize(std::clamp(BtnJustage->sizeHint().width(), 200, BtnOK->x() - 8 - BtnJustage->x()),
                       BtnJustage->height());
}

void TDruckpositionKnickDlg::SetVerschiebung(float Value)
{
    Verschiebung = Value;
    const double d = double(Value) + 1.2;  // relative to the default shift
    QString text;
    // Compared in shown tenths, so that single-precision steps back to the
    // default read zero.
    if (Round(d * 10.0) == 0)
        text = fromAnsi(Format("%.1f mm", {0.0}));
    else if (d > 0)
        text = FillPlaceholders(LocalizedString(this, QStringLiteral("%.1f mm nach links")),
                                {fromAnsi(Format("%.1f", {d}))});
    else
        text = FillPlaceholders(LocalizedString(this, QStringLiteral("%.1f mm nach rechts")),
                                {fromAnsi(Format("%.1f", {-d}))});
    lblVerschiebung->setText(text);
}

void TDruckpositionKnickDlg::BtnNachLinksClick() { SetVerschiebung(Verschiebung + 0.1f); }

void TDruckpositionKnickDlg::BtnNachRechtsClick() { SetVerschiebung(Verschiebung - 0.1f); }

void TDruckpositionKnickDlg::BtnJustageClick()
{
    TMemoryStream saved;
    PrinterSupport().SaveToStream(saved);
    {
        std::unique_ptr<TKalibrierung> dlg(TLocalizerForm::create<TKalibrierung>(this));
        if (ShowModalDialog(*dlg) == QDialog::Accepted)
            SetVerschiebung(-dlg->GetResult());
    }
    saved.SetPosition(0);
    PrinterSupport().LoadFromStream(saved);
}
