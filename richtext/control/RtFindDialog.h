#pragma once
// The find and replace dialogs every rich-text component shares: one of each
// per process, modeless, bound to the component activated last.
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class TRtCustomRichText;

class TRtFindDialog : public QDialog {
    Q_OBJECT
public:
    // The shared dialog (created on first use): the replace dialog when Replace.
    static TRtFindDialog* Shared(bool Replace);
    // Frees both shared dialogs (when the last rich text goes).
    static void FreeShared();
    void Bind(TRtCustomRichText* RichText);
    TRtCustomRichText* Bound() const { return richText_; }

    QLineEdit* FindText = nullptr;
    QLineEdit* ReplaceText = nullptr;
    QCheckBox* WholeWord = nullptr;
    QCheckBox* MatchCase = nullptr;
    QRadioButton* Down = nullptr;

    void FindNextClicked();
    void ReplaceClicked();
    void ReplaceAllClicked();

protected:
    explicit TRtFindDialog(bool Replace);

private:
    QPointer<TRtCustomRichText> richText_;
};

class TRtReplaceDialog : public TRtFindDialog {
    Q_OBJECT
public:
    using TRtFindDialog::Shared;

private:
    friend class TRtFindDialog;
    TRtReplaceDialog() : TRtFindDialog(true) {}
};
