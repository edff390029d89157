#include "SFormFarbFlaeche.h"
#include "Application.h"

#include "FBPictureElement.h"
#include "PaintBox.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* Label(QWidget* Parent, const char* Name, const QString& Caption, int X, int Y)
{
    auto* l = new QLabel(Caption, Parent);
    l->setObjectName(QString::fromLatin1(Name));
    l->setGeometry(X, Y, 40, 16);
    return l;
}

}  // namespace

TSFormFarbFlaeche::TSFormFarbFlaeche(TCreateKey Key, QWidget* Parent) : TSubForm(Key, Parent)
{
    setObjectName(QStringLiteral("SFormFarbFlaeche"));

    panFarbe = new QFrame(this);
    panFarbe->setObjectName(QStringLiteral("panFarbe"));
    panFarbe->setFrameStyle(QFrame::Box | QFrame::Plain);
    panFarbe->setLineWidth(1);
    panFarbe->setGeometry(8, 8, 73, 73);
    pbFarbe = new TPaintBox(panFarbe);
    pbFarbe->setObjectName(QStringLiteral("pbFarbe"));
    auto* fill = new QVBoxLayout(panFarbe);
    fill->setContentsMargins(1, 1, 1, 1);
    fill->addWidget(pbFarbe);
    pbFarbe->OnPaint = [this](QPainter& Canvas) { pbFarbePaint(Canvas); };

    Label1 = Label(this, "Label1", QStringLiteral("R:"), 96, 12);
    Label2 = Label(this, "Label2", QStringLiteral("G:"), 96, 32);
    Label3 = Label(this, "Label3", QStringLiteral("B:"), 96, 52);
    lblR = Label(this, "lblR", QString(), 120, 12);
    lblG = Label(this, "lblG", QString(), 120, 32);
    lblB = Label(this, "lblB", QString(), 120, 52);

    BtnFarbeAendern = new QPushButton(QString::fromUtf8("Farbe ändern"), this);
    BtnFarbeAendern->setObjectName(QStringLiteral("BtnFarbeAendern"));
    BtnFarbeAendern->setGeometry(176, 8, 110, 25);
    connect(BtnFarbeAendern, &QPushButton::clicked, this, Guarded([this] { BtnFarbeAendernClick(); }));
    UpdateLabels();
}

void TSFormFarbFlaeche::SetElement(TFBElement* Element)
{
    FElement = dynamic_cast<TFBPictureElement*>(Element);
    if (FElement)
        if (const QImage* bitmap = FElement->GetBitmap(); bitmap && !bitmap->isNull())
            FColor = fromQColor(QColor::fromRgb(bitmap->pixel(0, 0))) & 0xFFFFFF;
    UpdateLabels();
    panFarbe->update();
    pbFarbe->update();
}

void TSFormFarbFlaeche::ContentChanged(TFBPage*, TFBElement* Element)
{
    if (FElement && Element == FElement)
        SetElement(FElement);
}

void TSFormFarbFlaeche::UpdateLabels()
{
    lblR->setText(QString::number(GetRValue(FColor)));
    lblG->setText(QString::number(GetGValue(FColor)));
    lblB->setText(QString::number(GetBValue(FColor)));
}

void TSFormFarbFlaeche::pbFarbePaint(QPainter& Canvas)
{
    if (FElement)
        Canvas.fillRect(pbFarbe->rect(), toQColor(FColor));
}

void TSFormFarbFlaeche::BtnFarbeAendernClick()
{
    if (!FElement)
        return;
    if (!ExecuteColorDialog(FColor))
        return;
    UpdateLabels();
    pbFarbe->update();
    GetUndoManager().AddFarbeEinfuegen(FElement);
    FElement->FillWithColor(FColor);
    GetMulticaster().ElementChanged(this, FElement);
}
