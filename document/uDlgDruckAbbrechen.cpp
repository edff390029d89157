#include "uDlgDruckAbbrechen.h"
#include "Application.h"

#include "MainFormStatusBar.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace {

QPointer<TDlgDruckAbbrechen> Window;
QPointer<QWidget> DisabledOwner;

} // namespace

std::function<void(const QString& Text)> PrintProgressHook;

TDlgDruckAbbrechen::TDlgDruckAbbrechen(TCreateKey Key, QWidget* Owner)
    : TLocalizerForm(Key, Owner,
                     Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("DlgDruckAbbrechen"));
    setWindowTitle(QStringLiteral("Drucken"));
    setFixedSize(281, 113);
    lText = new QLabel(this);
    lText->setObjectName(QStringLiteral("lText"));
    lText->setGeometry(8, 12, 265, 45);
    lText->setAlignment(Qt::AlignCenter);
    cmdAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    cmdAbbrechen->setObjectName(QStringLiteral("cmdAbbrechen"));
    cmdAbbrechen->setGeometry(103, 72, 75, 25);
    QObject::connect(cmdAbbrechen, &QPushButton::clicked, this, Guarded([this] { cmdAbbrechenClick(); }));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    FormCreate();
}

void TDlgDruckAbbrechen::FormCreate() { Cancelled = false; }

void TDlgDruckAbbrechen::cmdAbbrechenClick() { Cancelled = true; }

void ShowPrintProgress(const QString& Text)
{
    if (!Window) {
        QWidget* owner = ApplicationMainWidget();
        Window = TLocalizerForm::create<TDlgDruckAbbrechen>(owner);
        Window->show();
        if (owner) {
            owner->setEnabled(false);
            Window->setEnabled(true);  // a child window would follow its owner
        }
        DisabledOwner = owner;
    }
    Window->lText->setText(Text);
    Window->lText->repaint();
    QCoreApplication::processEvents();
    if (PrintProgressHook)
        PrintProgressHook(Text);
}

bool IsPrintCancelled()
{
    if (!Window)
        return false;
    QCoreApplication::processEvents();
    return Window && Window->Cancelled;
}

void ClosePrintProgress()
{
    if (DisabledOwner)
        DisabledOwner->setEnabled(true);
    DisabledOwner = nullptr;
    if (Window) {
        Window->hide();
        delete Window.data();
    }
}

TDlgDruckAbbrechen* PrintProgressWindow() { return Window.data(); }
