#pragma once
// The find and replace dialogs every rich-text component shares: one of each
// per process, modeless, bound to the component activated last.
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QLineEdit;
class QRadioButton;
class TRtCustomRichText;

class TRtFindDialog : public QDialog {
    Q_OBJECT
public:
    // The shared dialog (created on first use): the replace dialog when Replace.
    static TRtFindDialog* Shared(bool Replace);
    // The shared dialog when it was made, else none.
    static TRtFindDialog* Existing(bool Replace);
    // Frees both shared dialogs (when the last rich text goes).
    static void FreeShared();
    // Takes the current language's texts into the dialogs that exist.
    static void RefreshSharedTexts();
    void RefreshTexts();
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
    bool replace_;
    QLabel* findLabel_ = nullptr;
    QLabel* replaceLabel_ = nullptr;
    QGroupBox* direction_ = nullptr;
    QRadioButton* up_ = nullptr;
    QPushButton* findNext_ = nullptr;
    QPushButton* replaceOne_ = nullptr;
    QPushButton* replaceAll_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

class TRtReplaceDialog : public TRtFindDialog {
    Q_OBJECT
public:
    using TRtFindDialog::Shared;

private:
    friend class TRtFindDialog;
    TRtReplaceDialog() : TRtFindDialog(true) {}
};
