#pragma once
// TRtToolBar: a plain tool bar of the editor's commands. Its buttons carry
// the commands' pictures and hints, run the command on the rich text linked
// to it, and show down or up as that rich text tells them. It counts the rich
// texts that name it as their tool bar.
#include "RtActionTexts.h"
#include "RtDefs.h"

#include <QToolBar>

#include <vector>

class TRtCustomRichText;
class QComboBox;
class QToolButton;

class TRtToolBar : public QToolBar, public TRtCustomToolCtrl, public TRtTextToolBar {
    Q_OBJECT
public:
    struct TCommand {
        int32_t Group;   // group code (group number x 256)
        int32_t Id;
    };
    // A button for each command (all commands with a picture when none are
    // given); the font-size command (rtgValue, rtcValueFontSize) is a box.
    explicit TRtToolBar(QWidget* Parent = nullptr, const std::vector<TCommand>& Commands = {});

    // The rich text the buttons work on (the one activated last that names this tool bar).
    TRtCustomRichText* RichText() const { return richText_; }
    void SetRichText(TRtCustomRichText* RichText);
    // How many rich texts name this tool bar.
    int32_t EditorCount = 0;

    // Shows the button of (Group, Id) down or up; nothing when there is none.
    void SetButtonDown(int32_t Group, int32_t Id, bool Down);
    bool ButtonDown(int32_t Group, int32_t Id) const;
    QToolButton* Button(int32_t Group, int32_t Id) const;
    // The font-size box, when the tool bar has one.
    QComboBox* FontSizeBox() const { return fontSizeBox_; }
    // The sizes the box offers (those of the current font) and the size shown.
    void SetFontSizes(const std::vector<int32_t>& Sizes, int32_t Current);

    // The language hooks (RtActionTexts).
    bool SetBoxHint(int32_t Id, const AnsiString& Hint) override;
    int32_t ButtonCount() const override { return int32_t(buttons_.size()); }
    void ButtonCommand(int32_t Number, int32_t& Group, int32_t& Id) const override;
    void SetButtonHint(int32_t Number, const AnsiString& Hint) override;

private:
    struct TButton {
        TCommand Command;
        QToolButton* Widget;
    };
    std::vector<TButton> buttons_;
    QComboBox* fontSizeBox_ = nullptr;
    std::vector<int32_t> fontSizes_;   // the sizes the box lists
    TRtCustomRichText* richText_ = nullptr;
    bool settingState_ = false;
};
