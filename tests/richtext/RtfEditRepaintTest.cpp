// What the edit control asks the window to repaint: after a key only the
// lines the engine painted anew and the caret, yet the window always shows
// what a whole repaint would (caret included).
#include "RtControlTestSupport.h"

#include <QRegion>
#include <QScreen>
#include <QStyleHints>

namespace {

class RtfEditRepaint : public RtControlTest {
public:
    void SetUp() override
    {
        QApplication::styleHints()->setCursorFlashTime(0);   // a caret that does not blink
        RtControlTest::SetUp();
        std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs24 ";
        for (int i = 0; i < 40; ++i)
            rtf += "Paragraph " + std::to_string(i) + " with {\\b some bold} and {\\i italic} words\\par ";
        Rtf->SetText(rtf + "}");
        Rtf->viewport()->installEventFilter(&paints_);
        QApplication::processEvents();
        PutCursor(5, 4);
    }
    void TearDown() override
    {
        QApplication::styleHints()->setCursorFlashTime(1000);
        RtControlTest::TearDown();
    }

    void PutCursor(int32_t Par, int32_t Pos)
    {
        E()->CursorPar = E()->GetParByIndex(Par);
        E()->CursorLine = E()->CursorPar->Lines;
        E()->CursorPos = Pos;
        E()->ShowCursor();
        Rtf->RefreshView();
        Settle();
    }
    // Runs the event loop until no paint is asked for, and gives what was painted.
    QRegion Settle()
    {
        paints_.Painted = QRegion();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        return paints_.Painted;
    }
    QImage Window() const
    {
        return Rtf->screen()->grabWindow(Rtf->window()->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }

private:
    struct TPaints : QObject {
        QRegion Painted;
        bool eventFilter(QObject*, QEvent* Event) override
        {
            if (Event->type() == QEvent::Paint)
                Painted += static_cast<QPaintEvent*>(Event)->region();
            return false;
        }
    } paints_;
};

TEST_F(RtfEditRepaint, AKeyRepaintsItsLineNotTheWindow)
{
    Type("x");
    const QRegion painted = Settle();
    ASSERT_FALSE(painted.isEmpty());
    // The band of the typed line, not the whole viewport.
    EXPECT_LT(painted.boundingRect().height(), Rtf->viewport()->height() / 4);
    Key(Qt::Key_Backspace);
    EXPECT_LT(Settle().boundingRect().height(), Rtf->viewport()->height() / 4);
}

// The window must show the engine's surface everywhere but under the caret,
// which is at most one small black bar: an old caret left behind or a line
// the window did not copy again shows as a difference.
TEST_F(RtfEditRepaint, TheWindowShowsTheSurfaceAndOneCaret)
{
    struct TStep {
        const char* What;
        std::function<void(RtfEditRepaint&)> Do;
    };
    const TStep steps[] = {
        {"letter", [](RtfEditRepaint& T) { T.Type("Wm"); }},
        {"caret to the next line", [](RtfEditRepaint& T) { T.Key(Qt::Key_Down); }},
        {"caret back up", [](RtfEditRepaint& T) { T.Key(Qt::Key_Up); }},
        {"caret to the right", [](RtfEditRepaint& T) { T.Key(Qt::Key_Right); }},
        {"backspace", [](RtfEditRepaint& T) { T.Key(Qt::Key_Backspace); }},
        {"return", [](RtfEditRepaint& T) { T.Key(Qt::Key_Return); }},
        {"delete joins paragraphs", [](RtfEditRepaint& T) {
             T.Key(Qt::Key_Left);
             T.Key(Qt::Key_Delete);
         }},
        {"word wraps to the next line", [](RtfEditRepaint& T) {
             T.Type("a long run of words that wraps the paragraph onto a second line of its own");
         }},
        {"selection typed over", [](RtfEditRepaint& T) {
             T.Key(Qt::Key_Left, Qt::ShiftModifier);
             T.Key(Qt::Key_Left, Qt::ShiftModifier);
             T.Type("Z");
         }},
        {"undo", [](RtfEditRepaint& T) { T.Key(Qt::Key_Z, Qt::ControlModifier); }},
        {"cursor down", [](RtfEditRepaint& T) { T.Key(Qt::Key_Down); }},
        {"page down scrolls", [](RtfEditRepaint& T) { T.Key(Qt::Key_PageDown); }},
        {"typing after the scroll", [](RtfEditRepaint& T) { T.Type("q"); }},
        {"select all", [](RtfEditRepaint& T) { T.Key(Qt::Key_A, Qt::ControlModifier); }},
        {"selection dropped", [](RtfEditRepaint& T) { T.Key(Qt::Key_Home); }},
    };
    const QPoint origin = Rtf->viewport()->mapTo(Rtf->window(), QPoint(0, 0));
    for (const TStep& step : steps) {
        step.Do(*this);
        Settle();
        const QImage shown = Window().copy(QRect(origin, Rtf->viewport()->size()));
        const QImage& surface = E()->Surface();
        ASSERT_EQ(shown.size(), surface.size()) << step.What;
        QRect differs;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != surface.pixel(x, y))
                    differs |= QRect(x, y, 1, 1);
        EXPECT_LE(differs.width(), 3) << step.What;
        EXPECT_LE(differs.height(), 24) << step.What;
        for (int y = differs.top(); y <= differs.bottom(); ++y)
            for (int x = differs.left(); x <= differs.right(); ++x)
                ASSERT_EQ(qGray(shown.pixel(x, y)), 0) << step.What << " at " << x << "," << y;
    }
}

}  // namespace
