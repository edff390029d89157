#include "FProgressDlg.h"

#include "MainFormStatusBar.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>

namespace {

QPointer<TProgressDlg> Dialog;
QPointer<QWidget> DisabledOwner;

} // namespace

TProgressDlg::TProgressDlg(TCreateKey Key, QWidget* Owner)
    : TLocalizerForm(Key, Owner,
                     Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ProgressDlg"));
    setWindowTitle(QStringLiteral("Fortschritt"));
    setFixedSize(273, 98);
    lText = new QLabel(this);
    lText->setObjectName(QStringLiteral("lText"));
    lText->setGeometry(8, 12, 257, 69);
    lText->setAlignment(Qt::AlignCenter);

    if (QScreen* screen = Owner ? Owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
}

void TProgressDlg::SetText(const QString& Text)
{
    lText->setText(Text);
    lText->repaint();
}

QString TProgressDlg::Text() const
{
    return lText->text();
}

void ShowProgress(const QString& Text)
{
    ShowProgressDlg(ApplicationMainWidget(), Text);
}

void ShowProgressDlg(QWidget* Owner, const QString& Text)
{
    if (Dialog) {
        Dialog->SetText(Text);
    } else {
        Dialog = TLocalizerForm::create<TProgressDlg>(Owner);
        Dialog->SetText(Text);
        Dialog->show();
        Dialog->repaint();
        if (Owner) {
            Owner->setEnabled(false);
            // A child window would follow its owner into the disabled state.
            Dialog->setEnabled(true);
        }
        DisabledOwner = Owner;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void HideProgressDlg()
{
    if (!Dialog)
        return;
    if (DisabledOwner)
        DisabledOwner->setEnabled(true);
    DisabledOwner = nullptr;
    Dialog->hide();
    delete Dialog.data();
}

void HideProgress()
{
    HideProgressDlg();
}

TProgressDlg* ProgressDlg()
{
    return Dialog.data();
}
