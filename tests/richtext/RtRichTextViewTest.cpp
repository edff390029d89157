// The component editing a formatted text: umlauts, bold, colours, a bulleted
// list and a table, typed and formatted through its commands.
// LUMI_SCREENSHOT_DIR=<dir> saves the window as richtext-component.png there.
#include "RtControlTestSupport.h"

#include <QDir>

namespace {

using RichTextView = RtControlTest;

TEST_F(RichTextView, EditsAFormattedText)
{
    uint8_t state = rtcmdClick;
    Type(QString::fromUtf8("Grüße aus Köln! "));
    state = rtcmdClick;
    Rtf->Execute(256, 2, state);
    Type("Fett");
    state = rtcmdRelease;
    Rtf->Execute(256, 2, state);
    Type(" und ");
    int32_t red = 0;
    Rtf->GetSetModeControl()->ColorToIndex(0x0000C0, red, true);
    Rtf->ExecuteValue(11 * 256, 3, red, "");
    Type("rot");
    Rtf->ExecuteValue(11 * 256, 3, 0, "");
    Type(".");
    Key(Qt::Key_Return);
    state = rtcmdClick;
    Rtf->Execute(9 * 256, 1, state);
    Type(QString::fromUtf8("Äpfel"));
    Key(Qt::Key_Return);
    Type(QString::fromUtf8("Birnen"));
    Key(Qt::Key_Return);
    state = rtcmdRelease;
    Rtf->Execute(9 * 256, 1, state);
    Rtf->InsertTable(3, 2, true);
    Type(QString::fromUtf8("Größe"));
    Key(Qt::Key_Tab);
    Type("12");
    Key(Qt::Key_Tab);
    Type("cm");
    QApplication::processEvents();
    const QImage shot = Rtf->grab().toImage();
    if (qEnvironmentVariableIsSet("LUMI_SCREENSHOT_DIR"))
        shot.save(QDir(qEnvironmentVariable("LUMI_SCREENSHOT_DIR")).filePath("richtext-component.png"));
    EXPECT_NE(Text().find("Fett und rot."), std::string::npos);
}

}  // namespace
