#include "uDebug.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Keeps the lines the trace hands to its viewer.
class TRecordingDebug : public TDebug {
public:
    std::vector<AnsiString> Lines;
protected:
    void Send(const AnsiString& line) override { Lines.push_back(line); }
};

int Milliseconds(const AnsiString& line)
{
    return std::stoi(line.substr(0, line.find(' ')));
}

} // namespace

TEST(Debug, LinesCarryPaddedElapsedMilliseconds)
{
    QElapsedTimer outside;
    outside.start();
    TRecordingDebug debug;
    debug.Log("Erste Zeile");
    // Rounded as the trace rounds: it started later, so it cannot show more, however busy the machine is.
    const qint64 firstBound = (outside.nsecsElapsed() + 500000) / 1000000;
    QThread::msleep(30);
    debug.LogFmt("Seite %d von %s", {3, "vier"});

    ASSERT_EQ(debug.Lines.size(), 2u);
    const QRegularExpression line(QStringLiteral(R"(^\d{4,} \S.*$)"));
    EXPECT_TRUE(line.match(fromAnsi(debug.Lines[0])).hasMatch()) << debug.Lines[0];
    EXPECT_TRUE(line.match(fromAnsi(debug.Lines[1])).hasMatch()) << debug.Lines[1];
    EXPECT_EQ(debug.Lines[0].substr(4), " Erste Zeile");
    EXPECT_LE(Milliseconds(debug.Lines[0]), firstBound);
    EXPECT_EQ(debug.Lines[1].substr(debug.Lines[1].find(' ')), " Seite 3 von vier");
    EXPECT_GE(Milliseconds(debug.Lines[1]) - Milliseconds(debug.Lines[0]), 30);
}
