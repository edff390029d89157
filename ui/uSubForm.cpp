#include "uSubForm.h"

#include <QApplication>
#include <QStyle>
#include <QVBoxLayout>

TSubForm::TSubForm(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent, Qt::Widget)
{
    setSizeGripEnabled(false);
    setAutoFillBackground(!ThemesActive());
}

bool TSubForm::ThemesActive()
{
    // The plain "windows" style is the classic, unthemed look.
    return QApplication::style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void TSubForm::PlaceOn(QWidget* TabSheet)
{
    setParent(TabSheet, Qt::Widget);
    auto* layout = qobject_cast<QVBoxLayout*>(TabSheet->layout());
    if (!layout) {
        delete TabSheet->layout();
        layout = new QVBoxLayout(TabSheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(this);
    move(0, 0);
    setVisible(true);
}
