// Keys, characters, the input method and the mouse of the edit control,
// driven with QTest on the offscreen platform.
#include "RtControlTestSupport.h"

#include <QInputMethodEvent>
#include "RtUndo.h"

namespace {

using RtfEditInput = RtControlTest;

TEST_F(RtfEditInput, TypesUmlautsAndTheEuroSignAndUndoesThem)
{
    Type(QString::fromUtf8("Grüße €5"));
    EXPECT_EQ(Text(), "Grüße €5");
    Key(Qt::Key_Return);
    Type("ab");
    EXPECT_EQ(Text(), "Grüße €5\nab");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Text(), "Grüße €5\na");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(Text(), "Grüße €5\na");
    for (int i = 0; i < 20 && !Text().empty(); ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), "");
    for (int i = 0; i < 20; ++i)
        Key(Qt::Key_Y, Qt::ControlModifier);
    // Redo needs its hot key switched on.
    EXPECT_EQ(Text(), "");
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtActivateRedo, rtActivateRedoHotkey});
    Type(QString::fromUtf8("Grüße €5"));
    Key(Qt::Key_Return);
    Type("a");
    for (int i = 0; i < 20 && !Text().empty(); ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), "");
    for (int i = 0; i < 20; ++i)
        Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(), "Grüße €5\na");
}

}  // namespace
