#include "FProgressDlg.h"
#include "MainFormStatusBar.h"
#include "uInfoAusgabe.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A main window with a status bar, registered as the application's main form
// while it lives.
class TTestMainForm : public QMainWindow, public TMainFormStatusBar {
public:
    TTestMainForm()
    {
        statusBar();
        show();
        RegisterMainForm(this);
    }
    ~TTestMainForm() override
    {
        HideProgress();
        UnregisterMainForm(this);
    }
    QWidget* MainFormWidget() override { return this; }
    void SetStatusBarText(const QString& Text) override { statusBar()->showMessage(Text); }
    QString StatusText() const { return statusBar()->currentMessage(); }
};

} // namespace

TEST(InfoAusgabe, TextShowsProgressOverDisabledMainFormUntilEmptyText)
{
    TTestMainForm form;
    InfoAusgabe().ShowInfo(QStringLiteral("Dokument wird geladen"));

    EXPECT_EQ(form.StatusText(), QStringLiteral("Dokument wird geladen"));
    TProgressDlg* dlg = ProgressDlg();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->isEnabled());
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(dlg->parentWidget(), &form);
    EXPECT_EQ(dlg->Text(), QStringLiteral("Dokument wird geladen"));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Fortschritt"));
    EXPECT_EQ(dlg->size(), QSize(273, 98));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    auto* label = dlg->findChild<QLabel*>(QStringLiteral("lText"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), QRect(8, 12, 257, 69));
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);

    // A second text reuses the window.
    InfoAusgabe().ShowInfoFmt("Seite %d wird gespeichert", {2});
    EXPECT_EQ(ProgressDlg(), dlg);
    EXPECT_EQ(dlg->Text(), QStringLiteral("Seite 2 wird gespeichert"));
    EXPECT_EQ(form.StatusText(), QStringLiteral("Seite 2 wird gespeichert"));

    InfoAusgabe().ShowInfo(QString());
    EXPECT_EQ(ProgressDlg(), nullptr);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(form.StatusText(), QString());

    // A second empty text changes nothing more.
    InfoAusgabe().ShowInfo(QString());
    EXPECT_EQ(ProgressDlg(), nullptr);
    EXPECT_TRUE(form.isEnabled());
}

TEST(InfoAusgabe, StatusTextAloneShowsNoProgress)
{
    TTestMainForm form;
    InfoAusgabe().SetStatusText(QStringLiteral("Bereit"));
    EXPECT_EQ(form.StatusText(), QStringLiteral("Bereit"));
    EXPECT_EQ(ProgressDlg(), nullptr);
    EXPECT_TRUE(form.isEnabled());
}

TEST(InfoAusgabe, WithoutMainFormNothingHappens)
{
    ASSERT_EQ(ApplicationMainForm(), nullptr);
    InfoAusgabe().ShowInfo(QStringLiteral("Dokument wird geladen"));
    InfoAusgabe().SetStatusText(QStringLiteral("Bereit"));
    EXPECT_EQ(ProgressDlg(), nullptr);

    {
        TTestMainForm form;
        EXPECT_EQ(ApplicationMainForm(), &form);
    }
    EXPECT_EQ(ApplicationMainForm(), nullptr);
    InfoAusgabe().ShowInfo(QStringLiteral("Dokument wird geladen"));
    EXPECT_EQ(ProgressDlg(), nullptr);
}

TEST(ProgressDlg, GoesAwayWithItsOwner)
{
    auto owner = std::make_unique<QWidget>();
    owner->show();
    ShowProgressDlg(owner.get(), QStringLiteral("Bitte warten"));
    ASSERT_NE(ProgressDlg(), nullptr);
    EXPECT_FALSE(owner->isEnabled());

    owner.reset();
    EXPECT_EQ(ProgressDlg(), nullptr);
    HideProgressDlg();

    // Without an owner the window still comes and goes.
    ShowProgressDlg(nullptr, QStringLiteral("Bitte warten"));
    ASSERT_NE(ProgressDlg(), nullptr);
    EXPECT_TRUE(ProgressDlg()->isVisible());
    HideProgressDlg();
    EXPECT_EQ(ProgressDlg(), nullptr);
}
