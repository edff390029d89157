#pragma once
// The edit control's text cursor: position and size from the text's cursor
// geometry, blinking at the desktop's cursor flash time, shown only while the
// control has the focus.
#include "Object.h"

#include <cstdint>
#include <memory>

class QTimer;
class TRtCustomRtfEditClass;
class TRtRTFTextIo;

class TCaret : public TObject {
public:
    LUMI_CLASSNAME(TCaret)
    TCaret(TRtCustomRtfEditClass* Owner, TRtRTFTextIo* Text);
    ~TCaret() override;
    TCaret(const TCaret&) = delete;
    TCaret& operator=(const TCaret&) = delete;

    bool GetShown() const { return Shown; }
    void SetActive(bool Value);
    void SetDisabled(bool Value);
    // Moves and resizes the caret to the text's cursor.
    void UpdatePosition();
    // Creates and shows, or removes, the caret.
    void SetVisible(bool Show);
    // The blink phase: True while the caret is drawn.
    bool BlinkOn() const { return Shown && blinkOn_; }

    int32_t X = 0, Y = 0;
    int32_t Width = 3;
    int32_t Height = 16;
    bool Shown = false;
    bool Created = false;
    bool Active = false;
    bool Disabled = false;
    TRtCustomRtfEditClass* Owner;
    TRtRTFTextIo* Text;

private:
    void Blink();
    std::unique_ptr<QTimer> timer_;
    bool blinkOn_ = true;
};
