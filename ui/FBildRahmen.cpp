#include "FBildRahmen.h"
#include "Application.h"

#include "QwColorPopupButton.h"
#include "SysUtils.h"
#include "uFotobuchPageTemplate.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

const std::array<double, 9> BildRahmenWidths = {0, 0.18, 0.25, 0.35, 0.5, 0.7, 1.0, 2.0, 5.0};

namespace {
const char* const sOhne = "ohne";
}

TBildRahmen::TBildRahmen(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("BildRahmen"));
    setWindowTitle(QStringLiteral("Bildrahmen"));
    setFixedSize(264, 157);

    lblFarbe = new QLabel(QStringLiteral("Farbe:"), this);
    lblFarbe->setObjectName(QStringLiteral("lblFarbe"));
    lblFarbe->setGeometry(16, 24, 60, 17);
    shRahmenColor = new QWidget(this);
    shRahmenColor->setObjectName(QStringLiteral("shRahmenColor"));
    shRahmenColor->setGeometry(88, 18, 57, 25);
    shRahmenColor->hide();
    lblDicke = new QLabel(QStringLiteral("Dicke:"), this);
    lblDicke->setObjectName(QStringLiteral("lblDicke"));
    lblDicke->setGeometry(16, 64, 60, 17);
    cbDicke = new QComboBox(this);
    cbDicke->setObjectName(QStringLiteral("cbDicke"));
    cbDicke->setGeometry(88, 60, 153, 24);

    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnOK->setGeometry(48, 112, 89, 27);
    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { done(1); }));
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    BtnAbbrechen->setGeometry(152, 112, 89, 27);
    connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { done(2); }));

    // The colour button takes the placeholder's place.
    ColorButton = new TQwColorPopupButton(this);
    ColorButton->setObjectName(QStringLiteral("ColorButton"));
    ColorButton->setGeometry(shRahmenColor->geometry());
    ColorButton->SetFlat(false);
    ColorButton->SetColorPopupOptions(cpDefColor | cpCustColor | cpMoreColor);
    ColorButton->OnMenuButtonClick = [this](QObject*, int Code) { ColorButtonMenuClick(Code); };
}

void TBildRahmen::BeforeLocalize()
{
    RegisterLocalizedString(this, QString::fromLatin1(sOhne));
}

void TBildRahmen::AfterLocalize()
{
    // The entries follow the language (the word for none, the decimal
    // separator); the chosen one stays chosen.
    const int index = cbDicke->currentIndex();
    cbDicke->clear();
    for (double w : BildRahmenWidths)
        cbDicke->addItem(WidthText(w));
    cbDicke->setCurrentIndex(index);

    // The fields stand right of the wider label; the dialog widens when the
    // width box would get narrower than its entries.
    int labels = 60;
    for (const QLabel* l : {lblFarbe, lblDicke})
        labels = std::max(labels, l->fontMetrics().horizontalAdvance(l->text()) + 4);
    const int fieldX = 16 + labels + 12;
    const int comboWidth = std::max(110, 241 - fieldX);
    setFixedSize(std::max(264, fieldX + comboWidth + 23), height());
    lblFarbe->resize(labels, lblFarbe->height());
    lblDicke->resize(labels, lblDicke->height());
    ColorButton->move(fieldX, ColorButton->y());
    shRahmenColor->move(fieldX, shRahmenColor->y());
    cbDicke->setGeometry(fieldX, cbDicke->y(), comboWidth, cbDicke->height());
    BtnAbbrechen->move(width() - 23 - BtnAbbrechen->width(), BtnAbbrechen->y());
    BtnOK->move(BtnAbbrechen->x() - 15 - BtnOK->width(), BtnOK->y());
}

QString TBildRahmen::WidthText(double Width) const
{
    if (Width == 0)
        return QStringLiteral("-") + LocalizedString(this, QString::fromLatin1(sOhne)) + QStringLiteral("-");
    return fromAnsi(Format("%.2f mm", {Width}));
}

void TBildRahmen::ColorButtonMenuClick(int Code)
{
    if (Code != crMoreColor)
        return;
    TColor color = ColorButton->Color();
    if (ExecuteColorDialog(color))
        ColorButton->SetColor(color);
}

TColor TBildRahmen::GetColor() const
{
    return ColorButton->Color();
}

void TBildRahmen::SetColor(TColor Color)
{
    ColorButton->SetColor(Color);
}

double TBildRahmen::GetWidth() const
{
    const int index = cbDicke->currentIndex();
    return index >= 0 && index < int(BildRahmenWidths.size()) ? BildRahmenWidths[size_t(index)] : 0;
}

void TBildRahmen::SetWidth(double Width)
{
    cbDicke->setCurrentIndex(cbDicke->findText(WidthText(Width), Qt::MatchExactly));
}
