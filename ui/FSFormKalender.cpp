#include "FSFormKalender.h"
#include "Application.h"

#include "FDlgFeiertagGeburtstag.h"
#include "FKalenderPropDlg.h"
#include "SysUtils.h"
#include "uFotobuchDocument.h"
#include "uKalender.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int MinYear = 1900;
constexpr int MaxYear = 2100;
}

TSFormKalender::TSFormKalender(TCreateKey Key, QWidget* Parent) : TSubForm(Key, Parent)
{
    setObjectName(QStringLiteral("SFormKalender"));

    Label1 = new QLabel(QStringLiteral("Kalenderjahr:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    lblJahr = new QLabel(this);
    lblJahr->setObjectName(QStringLiteral("lblJahr"));
    QFont bold = lblJahr->font();
    bold.setBold(true);
    lblJahr->setFont(bold);
    lblJahr->setMinimumWidth(40);
    lblJahr->setAlignment(Qt::AlignCenter);
    BtnMinus = new QPushButton(QStringLiteral("-"), this);
    BtnMinus->setObjectName(QStringLiteral("BtnMinus"));
    BtnPlus = new QPushButton(QStringLiteral("+"), this);
    BtnPlus->setObjectName(QStringLiteral("BtnPlus"));
    for (QPushButton* b : {BtnMinus, BtnPlus})
        b->setFixedSize(25, 25);
    BtnBearbeiten = new QPushButton(QStringLiteral("Kalendereinstellungen bearbeiten"), this);
    BtnBearbeiten->setObjectName(QStringLiteral("BtnBearbeiten"));
    BtnFeiertageGeburtstage = new QPushButton(QStringLiteral("Feiertage und Geburtstage"), this);
    BtnFeiertageGeburtstage->setObjectName(QStringLiteral("BtnFeiertageGeburtstage"));

    connect(BtnPlus, &QPushButton::clicked, this, Guarded([this] { BtnPlusClick(); }));
    connect(BtnMinus, &QPushButton::clicked, this, Guarded([this] { BtnMinusClick(); }));
    connect(BtnBearbeiten, &QPushButton::clicked, this, Guarded([this] { BtnBearbeitenClick(); }));
    connect(BtnFeiertageGeburtstage, &QPushButton::clicked, this, Guarded([this] { BtnFeiertageGeburtstageClick(); }));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(BtnMinus, 0, 1);
    grid->addWidget(lblJahr, 0, 2);
    grid->addWidget(BtnPlus, 0, 3);
    grid->addWidget(BtnBearbeiten, 1, 0, 1, 5, Qt::AlignLeft);
    grid->addWidget(BtnFeiertageGeburtstage, 2, 0, 1, 5, Qt::AlignLeft);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(3, 1);
}

void TSFormKalender::SetElement(TFBElement* Element)
{
    FElement = dynamic_cast<TFBKalenderElement*>(Element);
    if (FElement)
        ShowYear();
}

void TSFormKalender::ContentChanged(TFBPage*, TFBElement*) {}

void TSFormKalender::ShowYear()
{
    const int year = FElement->KalenderData->Jahr();
    lblJahr->setText(QString::number(year));
    BtnPlus->setEnabled(year < MaxYear);
    BtnMinus->setEnabled(year > MinYear);
}

void TSFormKalender::SetYear(int Year)
{
    TFBDocument* doc = FElement ? FElement->GetDocument() : nullptr;
    if (!doc)
        return;
    GetUndoManager().AddKalenderJahrSetzen(FElement);
    doc->SetKalenderJahr(Year);
    GetMulticaster().ElementChanged(this, FElement);
    ShowYear();
}

void TSFormKalender::BtnPlusClick()
{
    if (FElement && FElement->KalenderData->Jahr() < MaxYear)
        SetYear(FElement->KalenderData->Jahr() + 1);
}

void TSFormKalender::BtnMinusClick()
{
    if (FElement && FElement->KalenderData->Jahr() > MinYear)
        SetYear(FElement->KalenderData->Jahr() - 1);
}

void TSFormKalender::BtnBearbeitenClick()
{
    if (FElement)
        TKalenderPropDlg::Execute(FElement);
}

void TSFormKalender::BtnFeiertageGeburtstageClick()
{
    TFBDocument* doc = FElement ? FElement->GetDocument() : nullptr;
    if (!doc)
        return;
    // Only OK changes the lists: a cancelled dialog leaves the document unchanged.
    if (TDlgFeiertagGeburtstag::Execute(FElement->KalenderData->Monat(), FElement->KalenderData->Jahr(),
                                        &doc->Holidays, &doc->Birthdays) == 1)
        GetMulticaster().ElementChanged(this, FElement);
}
