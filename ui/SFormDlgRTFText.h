#pragma once
// The side panel of a focused text box: edits the box's rich text in the
// rich-text editor and writes every change straight back into the element,
// with tool buttons for bold, italic, underline, shadow and the box's
// horizontal and vertical alignment, and the font, size and colour controls.
#include "uSubForm.h"

#include "Graphics.h"

#include <QStringList>

#include <functional>
#include <memory>

class QToolButton;
class TCanvas;
class TFBTextElement;
class TQwColorPopupButton;
class TRGBHSL;
class TRtRichText;
enum TOneWrtStyle : uint8_t;
class TRtSetModeControl;
class TRtUndoStack;
class TWVLTBComboBox;
class TWVLTBFontComboBox;
struct TParagraph;

class TSFormDlgRTFText : public TSubForm {
public:
    LUMI_CLASSNAME(TSFormDlgRTFText)
    TSFormDlgRTFText(TCreateKey Key, QWidget* Parent);
    ~TSFormDlgRTFText() override;

    // Binds the focused text box (null: none; the controls keep their state).
    void SetElement(TFBElement* Element) override;
    // The panel writes its element itself; notices of others change nothing here.
    void ContentChanged(TFBPage* Page, TFBElement* Element) override;
    TFBTextElement* Element() const { return FElement; }
    // The settings the panel gives its rich-text component (edit box, undo keys, page).
    static void SetUpRichText(TRtRichText* Rtf);

    // ---- handlers
    void rtfChange();
    void rtfCharacterAttrChange(TRtSetModeControl* Attributes);
    // The colour the editor paints a run with: very light text is darkened.
    void rtfGetAttrColor(TCanvas* Canvas);
    // Pasted links lose their link style and blue underlined look; hidden text is dropped.
    void rtfBeforePasteEvent(bool& DoIt, TParagraph* Par);
    void RtUndoStack1AfterApply();
    void BtnFettClick();
    void BtnKursivClick();
    void BtnUnderlineClick();
    void BtnSchattenClick();
    void tbBtnLeftClick();
    void tbBtnCenterClick();
    void tbBtnRightClick();
    void tbBtnHFullClick();
    void tbBtnVTopClick();
    void tbBtnVCenterClick();
    void tbBtnVBottomClick();
    void FontComboChange();
    void SizeComboChange();
    // Enter hands the focus to the editor; every other character but a digit
    // is swallowed (control characters such as Backspace still edit).
    void SizeComboKeyPress(char16_t& Key);
    void SizeComboCloseUp();
    void ColorButtonColorChange(TColor Color);
    void ColorButtonMenuClick(int BtnIndex);

    // The lightness above which text is shown darker in the editor.
    static constexpr double MaxDisplayLightness = 0.86;
    // The sizes the size combo offers.
    static const QStringList& FontSizes();

    // ---- components
    QWidget* panToolbar;
    QToolButton* BtnFett;
    QToolButton* BtnKursiv;
    QToolButton* BtnUnderline;
    QToolButton* BtnSchatten;
    QToolButton* tbBtnLeft;
    QToolButton* tbBtnCenter;
    QToolButton* tbBtnRight;
    QToolButton* tbBtnHFull;
    QToolButton* tbBtnVTop;
    QToolButton* tbBtnVCenter;
    QToolButton* tbBtnVBottom;
    QToolButton* BtnTextLoeschen;  // hidden
    QWidget* panRTF;
    TRtRichText* rtf;
    TRtUndoStack* RtUndoStack1;  // the editor's own undo stack
    TWVLTBFontComboBox* FFontCombo;
    TWVLTBComboBox* FSizeCombo;
    TQwColorPopupButton* FColorButton;

    // The colour dialog of the colour button's menu button (tests replace it).
    std::function<bool(TColor& Color)> ColorDialogHook;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;

private:
    void SetupEditor();
    void LoadElementText();
    // The editor's text into the element and the content notice.
    void WriteBack();
    void Notify();
    // A style bit of the selection set or cleared as the button shows, the
    // text written back and the default font following.
    void ApplyStyleButton(QToolButton* Button, TOneWrtStyle Bit, TFontStyle DefaultStyle);
    void ApplyColor(TColor Color);
    void SetHorzAlign(uint8_t Value);
    void SetVertAlign(uint8_t Value);
    void ShowDefaultAttributes();

    bool FUpdating = false;
    bool FLoading = false;  // the element's text is being loaded into the editor
    TFBTextElement* FElement = nullptr;  // not owned
    std::unique_ptr<TRGBHSL> FLightness;
};
