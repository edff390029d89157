#include "RtFindDialog.h"

#include "RichText.h"
#include "RtDialogTexts.h"

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

TRtFindDialog* TRtFindDialog::Existing(bool Replace) { return (Replace ? SharedReplace : SharedFind).get(); }

void TRtFindDialog::FreeShared()
{
    SharedFind.reset();
    SharedReplace.reset();
}

TRtFindDialog::TRtFindDialog(bool Replace) : replace_(Replace)
{
    setModal(false);
    auto* grid = new QGridLayout(this);
    findLabel_ = new QLabel;
    grid->addWidget(findLabel_, 0, 0);
    FindText = new QLineEdit;
    grid->addWidget(FindText, 0, 1);
    int row = 1;
    if (Replace) {
        replaceLabel_ = new QLabel;
        grid->addWidget(replaceLabel_, row, 0);
        ReplaceText = new QLineEdit;
        grid->addWidget(ReplaceText, row++, 1);
    }
    WholeWord = new QCheckBox;
    MatchCase = new QCheckBox;
    grid->addWidget(WholeWord, row++, 0, 1, 2);
    grid->addWidget(MatchCase, row++, 0, 1, 2);
    // The replace dialog always searches downwards.
    direction_ = new QGroupBox(this);
    auto* dirLayout = new QHBoxLayout(direction_);
    up_ = new QRadioButton;
    Down = new QRadioButton;
    Down->setChecked(true);
    dirLayout->addWidget(up_);
    dirLayout->addWidget(Down);
    if (!Replace)
        grid->addWidget(direction_, row++, 0, 1, 2);
    else
        direction_->hide();
    auto* buttons = new QVBoxLayout;
    findNext_ = new QPushButton;
    findNext_->setDefault(true);
    buttons->addWidget(findNext_);
    connect(findNext_, &QPushButton::clicked, this, &TRtFindDialog::FindNextClicked);
    if (Replace) {
        replaceOne_ = new QPushButton;
        replaceAll_ = new QPushButton;
        buttons->addWidget(replaceOne_);
        buttons->addWidget(replaceAll_);
        connect(replaceOne_, &QPushButton::clicked, this, &TRtFindDialog::ReplaceClicked);
        connect(replaceAll_, &QPushButton::clicked, this, &TRtFindDialog::ReplaceAllClicked);
    }
    cancel_ = new QPushButton;
    connect(cancel_, &QPushButton::clicked, this, &QDialog::hide);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, row, 1);
    RefreshTexts();
}

void TRtFindDialog::RefreshTexts()
{
    setWindowTitle(RtDialogString(replace_ ? dtReplace : dtFind));
    findLabel_->setText(RtDialogString(dtFindWhat));
    WholeWord->setText(RtDialogString(dtWholeWord));
    MatchCase->setText(RtDialogString(dtMatchCase));
    direction_->setTitle(RtDialogString(dtDirection));
    up_->setText(RtDialogString(dtUp));
    Down->setText(RtDialogString(dtDown));
    findNext_->setText(RtDialogString(dtFindNext));
    cancel_->setText(RtDialogString(dtCancel));
    if (replace_) {
        replaceLabel_->setText(RtDialogString(dtReplaceWith));
        replaceOne_->setText(RtDialogString(dtReplaceOne));
        replaceAll_->setText(RtDialogString(dtReplaceAll));
    }
}

void TRtFindDialog::RefreshSharedTexts()
{
    for (TRtFindDialog* d : {SharedFind.get(), SharedReplace.get()})
        if (d)
            d->RefreshTexts();
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
