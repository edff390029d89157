#pragma once
// The about dialog: product name, version, homepage and copyright.
#include "ulocalize.h"

class QLabel;
class QPushButton;

// The maker's web page that the homepage label opens.
extern const char* const HomepageAddress;

class TDlgInfo : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDlgInfo)
    TDlgInfo(TCreateKey Key, QWidget* Parent);

    // Opens the homepage with the desktop; says so when no browser starts.
    void lblHomepageClick();

    QLabel* Image1;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* lblHomepage;
    QLabel* lblUrheberrecht;
    QLabel* lblVersionCaption;
    QLabel* lblHomepageCaption;
    QPushButton* BtnOK;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// Shows the about dialog modally (through ShowModalDialog).
void ShowInfoDialog();
