#include "FDlgInfo.h"
#include "Application.h"

#include "Dialogs.h"
#include "ShellExec.h"
#include "SysUtils.h"
#include "FStartbild.h"
#include "uFileInfo.h"
#include "uModalDialog.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

const char* const HomepageAddress = "https://www.brenmoor.example/vantoria";

namespace {
const char* const BrowserFailed = "Der Internet-Browser konnte nicht geöffnet werden";
}

TDlgInfo::TDlgInfo(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DlgInfo"));
    setWindowTitle(QStringLiteral("Info"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/INFOBILD")));
    Image1->setFixedSize(Image1->pixmap().size());

    ProductName = new QLabel(this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    ProductName->setFont(bold);
    ProductName->setText(QStringLiteral("Brenmoor Vantoria ") + fromAnsi(VersionText));

    lblVersionCaption = new QLabel(QStringLiteral("Version:"), this);
    lblVersionCaption->setObjectName(QStringLiteral("lblVersionCaption"));
    Version = new QLabel(this);
    Version->setObjectName(QStringLiteral("Version"));
    const TProjVersion& v = FileInfo().FileVersion();
    Version->setText(fromAnsi(Format("FV %d.%d.%d Build %.4d", {int(v.vv), int(v.rr), int(v.mm), int(v.pp)})));

    lblHomepageCaption = new QLabel(QStringLiteral("Homepage:"), this);
    lblHomepageCaption->setObjectName(QStringLiteral("lblHomepageCaption"));
    lblHomepage = new QLabel(QString::fromLatin1(HomepageAddress), this);
    lblHomepage->setObjectName(QStringLiteral("lblHomepage"));
    lblHomepage->setCursor(Qt::PointingHandCursor);
    lblHomepage->setStyleSheet(QStringLiteral("color: #0000ff; text-decoration: underline;"));
    lblHomepage->installEventFilter(this);

    lblUrheberrecht = new QLabel(QStringLiteral("© Brenmoor. Alle Rechte vorbehalten."), this);
    lblUrheberrecht->setObjectName(QStringLiteral("lblUrheberrecht"));

    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { done(QDialog::Accepted); }));

    auto* grid = new QGridLayout;
    grid->addWidget(ProductName, 0, 0, 1, 2);
    grid->addWidget(lblVersionCaption, 1, 0);
    grid->addWidget(Version, 1, 1);
    grid->addWidget(lblHomepageCaption, 2, 0);
    grid->addWidget(lblHomepage, 2, 1);
    grid->addWidget(lblUrheberrecht, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(grid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void TDlgInfo::BeforeLocalize()
{
    RegisterLocalizedString(this, QString::fromUtf8(BrowserFailed));
}

void TDlgInfo::AfterLocalize()
{
    // The dialog takes the size its translated texts need.
    layout()->activate();
    setFixedSize(sizeHint());
}

bool TDlgInfo::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == lblHomepage && Event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        lblHomepageClick();
        return true;
    }
    return TLocalizerForm::eventFilter(Watched, Event);
}

void TDlgInfo::lblHomepageClick()
{
    if (!ShellOpen(QString::fromLatin1(HomepageAddress)))
        ShowMessage(LocalizedString(this, QString::fromUtf8(BrowserFailed)));
}

void ShowInfoDialog()
{
    std::unique_ptr<TDlgInfo> dlg(TLocalizerForm::create<TDlgInfo>(QApplication::activeWindow()));
    ShowModalDialog(*dlg);
}
