#include "RtFindDialog.h"

#include "RichText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace {

// Parentless, so that no form takes them along.
std::unique_ptr<TRtFindDialog> SharedFind, SharedReplace;

}  // namespace

TRtFindDialog* TRtFindDialog::Shared(bool Replace)
{
    std::unique_ptr<TRtFindDialog>& d = Replace ? SharedReplace : SharedFind;
    if (!d)
        d.reset(Replace ? new TRtReplaceDialog : new TRtFindDialog(false));
    return d.get();
}

void TRtFindDialog::FreeShared()
{
    SharedFind.reset();
    SharedReplace.reset();
}

TRtFindDialog::TRtFindDialog(bool Replace)
{
    setWindowTitle(Replace ? "Replace" : "Find");
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Find what:"), 0, 0);
    FindText = new QLineEdit;
    grid->addWidget(FindText, 0, 1);
    int row = 1;
    if (Replace) {
        grid->addWidget(new QLabel("Replace with:"), row, 0);
        ReplaceText = new QLineEdit;
        grid->addWidget(ReplaceText, row++, 1);
    }
    WholeWord = new QCheckBox("Match whole word only");
    MatchCase = new QCheckBox("Match case");
    grid->addWidget(WholeWord, row++, 0, 1, 2);
    grid->addWidget(MatchCase, row++, 0, 1, 2);
    auto* direction = new QGroupBox("Direction");
    auto* dirLayout = new QHBoxLayout(direction);
    auto* up = new QRadioButton("Up");
    Down = new QRadioButton("Down");
    Down->setChecked(true);
    dirLayout->addWidget(up);
    dirLayout->addWidget(Down);
    if (!Replace)
        grid->addWidget(direction, row++, 0, 1, 2);
    else
        direction->hide();
    auto* buttons = new QVBoxLayout;
    auto* next = new QPushButton("Find Next");
    next->setDefault(true);
    buttons->addWidget(next);
    connect(next, &QPushButton::clicked, this, &TRtFindDialog::FindNextClicked);
    if (Replace) {
        auto* one = new QPushButton("Replace");
        auto* all = new QPushButton("Replace All");
        buttons->addWidget(one);
        buttons->addWidget(all);
        connect(one, &QPushButton::clicked, this, &TRtFindDialog::ReplaceClicked);
        connect(all, &QPushButton::clicked, this, &TRtFindDialog::ReplaceAllClicked);
    }
    auto* cancel = new QPushButton("Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    buttons->addWidget(cancel);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, row, 1);
}

void TRtFindDialog::Bind(TRtCustomRichText* RichText) { richText_ = RichText; }

void TRtFindDialog::FindNextClicked()
{
    if (!richText_)
        return;
    if (!richText_->Find(toAnsi(FindText->text()), Down->isChecked(), WholeWord->isChecked(), MatchCase->isChecked()))
        RtCommandDialogs().Message(this, fromAnsi(GetRtUIString(meTextNotFound)));
}

void TRtFindDialog::ReplaceClicked()
{
    if (richText_ && ReplaceText)
        richText_->Replace(toAnsi(FindText->text()), toAnsi(ReplaceText->text()), true, WholeWord->isChecked(),
                           MatchCase->isChecked());
}

void TRtFindDialog::ReplaceAllClicked()
{
    if (richText_ && ReplaceText)
        richText_->ReplaceAll(toAnsi(FindText->text()), toAnsi(ReplaceText->text()), WholeWord->isChecked(),
                              MatchCase->isChecked());
}
