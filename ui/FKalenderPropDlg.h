#pragma once
// The property sheet of a calendar element: every setting of its calendar
// data in controls, one tab per area (day grid, weekdays, month and year,
// special days), written back for the element or for every calendar of the
// document.
#include "Graphics.h"
#include "ulocalize.h"

#include <vector>

class QCheckBox;
class QPushButton;
class QTabWidget;
class QToolButton;
class TFBKalenderElement;
class TKalenderData;
class TPaddingData;
class TQwColorPopupButton;
class TWVLFloatEdit;
class TWVLTBFontComboBox;

class TKalenderPropDlg : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TKalenderPropDlg)
    TKalenderPropDlg(TCreateKey Key, QWidget* Parent);

    // Shows the sheet for the element modally; 1 after OK or "OK für alle",
    // 2 after cancel, 3 after cancel once something was applied.
    static int Execute(TFBKalenderElement* Element);

    // Binds the element and fills the controls from its settings.
    void SetElement(TFBKalenderElement* Element);
    TFBKalenderElement* Element() const { return FElement; }

    void BtnOKClick();
    void BtnOKfuerAlleClick();
    void BtnUebernehmenClick();
    void BtnFeiertageGeburtstageClick();

    void PropertiesToControls();
    void ControlsToProperties();

    // The controls of one area of the calendar.
    struct TColorControl {
        TColor TKalenderData::*Member;
        bool NoColor;  // offers "no colour"
        TQwColorPopupButton* Button;
    };
    struct TInsetEdits {
        TPaddingData TKalenderData::*Member;
        TWVLFloatEdit* Edits[4];  // left, top, right, bottom
    };
    struct TSwitch {
        bool TKalenderData::*Member;
        QCheckBox* Box;
    };
    struct TBereich {
        QWidget* Tab;
        TFont TKalenderData::*Font;
        float TKalenderData::*FontHeight;
        int32_t TKalenderData::*TextAlign;
        float TKalenderData::*Size;  // null: the day grid has no size of its own
        TWVLTBFontComboBox* FontName;
        TQwColorPopupButton* FontColor;
        QToolButton* BtnBold;
        QToolButton* BtnItalic;
        QToolButton* BtnUnderline;
        // left, centred, right, top, centred vertically, bottom
        QToolButton* Align[6];
        TWVLFloatEdit* EdFontHeight;
        TWVLFloatEdit* EdSize;  // null with Size
        std::vector<TColorControl> Colors;
        std::vector<TInsetEdits> Insets;
        std::vector<TSwitch> Switches;
    };

    QTabWidget* pcKalender;
    QWidget* tsKalender;
    QWidget* tsWochentage;
    QWidget* tsMonatJahr;
    QWidget* tsFeiertage;
    QPushButton* BtnFeiertageGeburtstage;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;
    QPushButton* BtnUebernehmen;
    QPushButton* BtnOKfuerAlle;
    std::vector<TBereich> Bereiche;  // in tab order

protected:
    void AfterLocalize() override;
    void reject() override;

private:
    // Validates every number; a bad one gets the focus and nothing is applied.
    bool ControlsValid();
    // Records the undo item, writes the controls back and announces the change.
    bool Apply(bool ForAll);

    TFBKalenderElement* FElement = nullptr;
    int FCancelResult = 2;
};
