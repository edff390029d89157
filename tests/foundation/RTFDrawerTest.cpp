#include "../common/KeptPicture.h"
#include "uBitmapDrawContext.h"
#include "uDefaultwerte.h"
#include "uRTFDrawer.h"
#include "uRTFParser.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Design units of the Arial metrics (Liberation Sans has the same).
constexpr double ArialEm = 2048;
double PointsToMm(double designUnits, int points)
{
    return designUnits / ArialEm * points * 25.4 / 72;
}

struct ExpectedToken {
    uint8_t kind;
    const char* text;
    const char* font;
    int size;
    TFontStyles style;
    TColor color;
};

void ExpectTokens(const TRTFBasicDrawer& d, const std::vector<ExpectedToken>& expected)
{
    ASSERT_EQ(d.TokenCount(), int(expected.size()));
    for (int i = 0; i < d.TokenCount(); ++i) {
        const TRTFToken& t = *d.GetToken(i);
        const ExpectedToken& e = expected[size_t(i)];
        SCOPED_TRACE(testing::Message() << "token " << i << " '" << t.Text << "'");
        EXPECT_EQ(t.Kind, e.kind);
        EXPECT_EQ(t.Text, e.text);
        EXPECT_EQ(t.FontName, e.font);
        EXPECT_EQ(t.Size, e.size);
        EXPECT_EQ(t.Style, e.style);
        EXPECT_EQ(t.Color, e.color);
    }
}

// Joins the text of each line's runs; lines are separated by "|".
AnsiString LineTexts(const TRTFDrawer& d)
{
    AnsiString s;
    for (int n = 0; n < d.LineCount(); ++n) {
        if (n > 0)
            s += "|";
        const TRTFLine& line = *d.GetLine(n);
        for (int i = line.First; i <= line.Last; ++i)
            s += d.GetToken(i)->Kind == rtkParagraph ? AnsiString("\\par") : d.GetToken(i)->Text;
    }
    return s;
}

float TokenWidth(const TRTFDrawer& d, const AnsiString& text)
{
    for (int i = 0; i < d.TokenCount(); ++i)
        if (d.GetToken(i)->Text == text)
            return d.GetToken(i)->Width;
    ADD_FAILURE() << "no run " << text;
    return 0;
}

const char* const Header =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman Times New Roman;}}"
    "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}";

}  // namespace

TEST(DefaultWerte, OneInstanceWithArial12AndShadow)
{
    TDefaultWerte& d = DefaultWerte();
    EXPECT_EQ(&d, &DefaultWerte());
    EXPECT_EQ(d.Font->Name(), "Arial");
    EXPECT_EQ(d.Font->Size(), 12);
    EXPECT_TRUE(d.HasShadow);
}

TEST(RTFDrawer, TablesAndTokensOfADocument)
{
    TRTFDrawer d;
    int changes = 0;
    d.OnChange = [&](TObject*) { ++changes; };
    d.SetRTFText(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
        "{\\f1\\froman\\fcharset2 Lumi Kein Solcher Font;}{\\f2 Times New Roman;}}\r\n"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}\r\n"
        "{\\info{\\title Titel}}"
        "\\pard\\plain\\f0\\fs24\\cf1 Rot {\\b\\ul fett} \\cf2\\i blau\\i0\\par\r\n"
        "\\qc\\f1 Foto-Buch\\tab x{\\field{\\*\\fldinst PAGE }{\\fldrslt 3}}\\par\r\n"
        "\\f2\\fs21\\strike\\cf9 \\'e4\\par\\par}");
    EXPECT_EQ(changes, 1);

    ASSERT_EQ(d.FontTable().size(), 3u);
    EXPECT_EQ(d.FontTable()[0].Name, "Arial");
    EXPECT_EQ(d.FontTable()[0].Charset, 0);
    EXPECT_EQ(d.FontTable()[1].Name, "Arial");  // not installed
    EXPECT_EQ(d.FontTable()[1].Number, 1);
    EXPECT_EQ(d.FontTable()[1].Charset, 2);
    EXPECT_EQ(d.FontTable()[2].Name, "Times New Roman");
    ASSERT_EQ(d.ColorTable().size(), 3u);
    EXPECT_EQ(d.ColorTable()[0].Text, "0 0 0");
    EXPECT_EQ(d.ColorTable()[1].Text, "255 0 0");
    EXPECT_EQ(d.ColorTable()[2].Text, "0 128 255");
    EXPECT_EQ(d.ColorTable()[2].Color, RGB(0, 128, 255));

    const TColor red = clRed, blue = RGB(0, 128, 255);
    ExpectTokens(d, {
        {rtkAlignment, "", "Arial", 10, 0, clBlack},
        {rtkWord, "Rot", "Arial", 12, 0, red},
        {rtkSpace, " ", "Arial", 12, 0, red},
        {rtkWord, "fett", "Arial", 12, fsBold | fsUnderline, red},
        {rtkSpace, " ", "Arial", 12, 0, red},  // the group closed: no longer bold
        {rtkWord, "blau", "Arial", 12, fsItalic, blue},
        {rtkParagraph, "", "Arial", 12, 0, blue},
        {rtkAlignment, "", "Arial", 12, 0, blue},
        {rtkWord, "Foto-", "Arial", 12, 0, blue},
        {rtkSpace, "", "Arial", 12, 0, blue},  // break opportunity after the hyphen
        {rtkWord, "Buch", "Arial", 12, 0, blue},
        {rtkSpace, " ", "Arial", 12, 0, blue},
        {rtkWord, "x", "Arial", 12, 0, blue},
        {rtkField, "<PAGE >", "Arial", 12, 0, blue},
        {rtkParagraph, "", "Arial", 12, 0, blue},
        // colour 9 is past the table: black; the trailing paragraph ends are dropped
        {rtkWord, "\xE4", "Times New Roman", 10, fsStrikeOut, clBlack},
    });
    EXPECT_EQ(d.GetToken(7)->Alignment, 1);
    EXPECT_EQ(d.GetToken(13)->FieldCode, "PAGE ");
}

TEST(RTFDrawer, PerCharacterMakesARunOfEveryCharacter)
{
    TRTFDrawer d;
    d.PerCharacter = true;
    d.SetRTFText(AnsiString(Header) + "\\plain ab -c}");
    AnsiString runs;
    for (int i = 0; i < d.TokenCount(); ++i)
        runs += IntToStr(d.GetToken(i)->Kind) + "'" + d.GetToken(i)->Text + "' ";
    EXPECT_EQ(runs, "0'a' 0'b' 1' ' 0'-' 1'' 0'c' ");
    EXPECT_THROW(d.GetToken(6), EListError);
    EXPECT_THROW(d.GetLine(0), EListError);
}

TEST(RTFDrawer, DamagedInputFallsBackOrFails)
{
    TRTFDrawer d;
    // indices out of range, negative or overflowing; components out of range
    d.SetRTFText(AnsiString(Header) +
                 "\\f-7\\cf-1 a \\f99\\cf3 b \\fs-10 c \\fs99999999999 d}"
                 "{\\colortbl\\red300\\green-5\\blue2147483648;}");
    ASSERT_EQ(d.TokenCount(), 7);
    EXPECT_EQ(d.GetToken(0)->FontName, "Arial");  // unknown numbers take the first font
    EXPECT_EQ(d.GetToken(0)->Color, clBlack);
    EXPECT_EQ(d.GetToken(2)->FontName, "Arial");
    EXPECT_EQ(d.GetToken(2)->Color, clBlack);
    EXPECT_EQ(d.GetToken(4)->Size, 0);
    EXPECT_EQ(d.GetToken(6)->Size, 1638);
    ASSERT_EQ(d.ColorTable().size(), 4u);
    EXPECT_EQ(d.ColorTable()[3].Text, "255 0 255");

    // no font table at all: Arial
    d.SetRTFText("{\\rtf1\\f3 x}");
    ASSERT_EQ(d.TokenCount(), 1);
    EXPECT_EQ(d.GetToken(0)->FontName, "Arial");
    EXPECT_EQ(d.GetToken(0)->Charset, DEFAULT_CHARSET);

    // a document cut off inside its font table leaves nothing behind for the next one
    d.SetRTFText("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\*\\x{\\b ");
    EXPECT_EQ(d.TokenCount(), 0);
    d.SetRTFText("{\\rtf1 {\\b a}{\\i{\\ul b");
    ASSERT_EQ(d.TokenCount(), 1);
    EXPECT_EQ(d.GetToken(0)->Text, "a");
    EXPECT_EQ(d.GetToken(0)->Style, fsBold);
    d.SetRTFText("{\\rtf1 x}");
    ASSERT_EQ(d.TokenCount(), 1);
    EXPECT_EQ(d.GetToken(0)->Style, 0);

    // unbalanced braces raise and leave nothing to draw
    EXPECT_THROW(d.SetRTFText("{\\rtf1 a}} b"), RTFParseException);
    EXPECT_EQ(d.TokenCount(), 0);
    EXPECT_EQ(d.LineCount(), 0);
    EXPECT_EQ(d.RTFText(), "{\\rtf1 a}} b");
    EXPECT_THROW(d.SetRTFText("{\\rtf1 \\'g1}"), EConvertError);
}

TEST(RTFDrawer, MeasuresRunsFromDesignWidths)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 Rot \\fs48 R\\par}");
    ASSERT_EQ(d.TokenCount(), 3);
    // Arial advances: R 1479, o 1139, t 569, space 569
    const TRTFToken& rot = *d.GetToken(0);
    ASSERT_EQ(rot.CharRight.size(), 3u);
    EXPECT_NEAR(rot.CharRight[0], PointsToMm(1479, 12), 1e-4);
    EXPECT_NEAR(rot.CharRight[1], PointsToMm(1479 + 1139, 12), 1e-4);
    EXPECT_NEAR(rot.Width, PointsToMm(1479 + 1139 + 569, 12), 1e-4);
    EXPECT_NEAR(d.GetToken(1)->Width, PointsToMm(569, 12), 1e-4);
    EXPECT_NEAR(d.GetToken(2)->Width, PointsToMm(1479, 24), 1e-4);
    // ascent 1854, descent 434, line gap 67
    EXPECT_NEAR(rot.Ascent, PointsToMm(1854, 12), 0.02);
    EXPECT_NEAR(rot.Height, PointsToMm(1854 + 434 + 67, 12), 0.02);
    EXPECT_NEAR(d.GetToken(2)->Height, 2 * rot.Height, 1e-4);
}

TEST(RTFDrawer, WrapsLinesAtSpacesAndHyphens)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 aaa bbb Foto-Buch\\par\\par c\\par}");
    const float w = TokenWidth(d, "aaa") + TokenWidth(d, "bbb"), sp = TokenWidth(d, " "), fo = TokenWidth(d, "Foto-");
    EXPECT_EQ(d.LayoutWidth(), -1);

    struct Case {
        float width;
        const char* lines;
    };
    const Case cases[] = {
        {1000, "aaa bbb Foto-Buch\\par|\\par|c"},
        // the space at the break is dropped, the hyphen stays with its word
        {w + sp + 0.01f, "aaa bbb|Foto-|Buch\\par|\\par|c"},
        {w + 2 * sp + fo + 0.01f, "aaa bbb Foto-|Buch\\par|\\par|c"},
        // a run wider than the box stays whole on its own line
        {0.25f * w, "aaa|bbb|Foto-|Buch\\par|\\par|c"},
        {0, "aaa|bbb|Foto-|Buch\\par|\\par|c"},
    };
    for (const Case& c : cases) {
        d.LayoutLines(c.width);
        EXPECT_EQ(LineTexts(d), c.lines) << c.width;
        EXPECT_EQ(d.LayoutWidth(), double(c.width));
        EXPECT_TRUE(d.GetLine(d.LineCount() - 1)->ParagraphEnd);
    }

    d.LayoutLines(w + 2 * sp + fo + 0.01f);
    ASSERT_EQ(d.LineCount(), 4);
    const TRTFLine& first = *d.GetLine(0);
    EXPECT_FALSE(first.ParagraphEnd);
    EXPECT_EQ(first.SpaceCount, 2);
    EXPECT_NEAR(first.Width, w + 2 * sp + fo, 1e-5);
    EXPECT_TRUE(d.GetLine(1)->ParagraphEnd);
    float total = 0;
    for (int n = 0; n < d.LineCount(); ++n) {
        EXPECT_NEAR(d.GetLine(n)->Height, d.GetToken(0)->Height, 1e-6);
        total += d.GetLine(n)->Height;
    }
    EXPECT_NEAR(d.TotalHeight(), total, 1e-5);

    // the break after a hyphen is no space to widen in justified text
    d.LayoutLines(1000);
    EXPECT_EQ(d.GetLine(0)->SpaceCount, 2);

    // a negative width keeps the last layout
    d.LayoutLines(-1);
    EXPECT_EQ(d.LineCount(), 3);
    EXPECT_EQ(d.LayoutWidth(), 1000);
}

TEST(RTFDrawer, LineBreaksBreakAndHiddenTextIsLeftOut)
{
    TRTFDrawer d;
    // As the editor writes them: a line break ends the line without a space,
    // hidden text ends with the group or with "\v0" and "\plain".
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 K\\'f6ln\\line zweite {\\v weg}da"
                 "\\v nicht\\v0  ja \\v x\\plain  auch\\par}");
    d.LayoutLines(1000);
    EXPECT_EQ(LineTexts(d), "K\xf6ln\\par|zweite da ja  auch");
}

TEST(RTFDrawer, WordOfSeveralRunsWrapsWithoutLooping)
{
    // "bbcc" is one word in two formats, wider than the box on the line after
    // a wrap at a space.
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 a {\\b bb}cc dd {\\i e}ee\\par}");
    ASSERT_LT(TokenWidth(d, "a") + TokenWidth(d, " "), std::max(TokenWidth(d, "bb"), TokenWidth(d, "cc")));
    const float bb = TokenWidth(d, "bb"), cc = TokenWidth(d, "cc");
    d.LayoutLines(std::max(bb, cc) + 0.01f);
    EXPECT_EQ(LineTexts(d), "a|bb|cc|dd|e|ee");
    d.LayoutLines(bb + cc + 0.01f);
    EXPECT_EQ(LineTexts(d), "a|bbcc|dd|eee");
}

TEST(RTFDrawer, AlignmentTokensSetTheLineAlignment)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\pard\\qc a\\par\\qr\\par\\pard\\qj b}");
    d.LayoutLines(100);
    ASSERT_EQ(d.LineCount(), 3);
    EXPECT_EQ(d.GetLine(0)->Alignment, 1);
    EXPECT_EQ(d.GetLine(1)->Alignment, 2);
    EXPECT_EQ(d.GetLine(2)->Alignment, 3);
}

namespace {

constexpr float PxPerMm = 10;

// Renders the drawer into a white bitmap at 10 pixels per millimetre.
QImage Render(TRTFDrawer& d, int widthPx, int heightPx, uint8_t horz, float cx, float cy,
              float w, float h, uint8_t vert, float angle = 0)
{
    TBitmap bitmap;
    bitmap.SetSize(widthPx, heightPx);
    bitmap.Canvas().Brush().SetColor(clWhite);
    bitmap.Canvas().FillRect(TRect{0, 0, widthPx, heightPx});
    {
        TBitmapDrawContext dc(bitmap);
        dc.Transformation->ScaleUniform(PxPerMm);
        if (angle != 0)
            dc.Transformation->RotateAt(cx, cy, angle);
        d.Draw(dc, horz, cx, cy, w, h, vert);
    }
    return bitmap.Image().copy();
}

bool IsInk(QRgb p) { return qRed(p) < 160 || qGreen(p) < 160 || qBlue(p) < 160; }

// Rows [top, bottom) of each band of rows holding ink, top to bottom.
std::vector<std::pair<int, int>> InkBands(const QImage& img)
{
    std::vector<std::pair<int, int>> bands;
    bool in = false;
    for (int y = 0; y < img.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < img.width() && !ink; ++x)
            ink = IsInk(img.pixel(x, y));
        if (ink && !in)
            bands.push_back({y, y + 1});
        if (ink)
            bands.back().second = y + 1;
        in = ink;
    }
    return bands;
}

// Leftmost and rightmost ink column (exclusive) within the rows [top, bottom).
std::pair<int, int> InkColumns(const QImage& img, int top, int bottom)
{
    int left = img.width(), right = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (IsInk(img.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
    return {left, right};
}

}  // namespace

TEST(RTFDrawer, DrawsOnlyTheLinesThatFitTheBox)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 Eins\\par Zwei\\par Drei\\par Vier}");
    d.LayoutLines(40);
    const float lineH = d.GetLine(0)->Height;
    // room for two lines and a bit: the third passes the bottom by more than 0.05 mm
    const float h = 2 * lineH + 0.5f * lineH;
    const QImage img = Render(d, 500, 300, 0, 25, 15, 40, h, 0);
    const auto bands = InkBands(img);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_LE(bands[1].second, int(std::ceil((15 + h / 2) * PxPerMm)));
    // a box one line high still shows its first line
    EXPECT_EQ(InkBands(Render(d, 500, 300, 0, 25, 15, 40, 0.2f * lineH, 0)).size(), 1u);
    // within the 0.05 mm tolerance the line is drawn
    EXPECT_EQ(InkBands(Render(d, 500, 300, 0, 25, 15, 40, 3 * lineH - 0.04f, 0)).size(), 3u);
}

TEST(RTFDrawer, TextTallerThanTheBoxStartsAtItsTop)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs24 Eins\\par Zwei\\par Drei}");
    d.LayoutLines(40);
    const float h = 1.5f * d.GetLine(0)->Height;
    const QImage top = Render(d, 500, 300, 0, 25, 15, 40, h, 0);
    EXPECT_EQ(Render(d, 500, 300, 0, 25, 15, 40, h, 1), top);
    EXPECT_EQ(Render(d, 500, 300, 0, 25, 15, 40, h, 2), top);
    // a box taller than the text centres it and puts it to the bottom
    const float total = d.TotalHeight();
    const auto atTop = InkBands(Render(d, 500, 400, 0, 25, 20, 40, 30, 0));
    const auto centred = InkBands(Render(d, 500, 400, 0, 25, 20, 40, 30, 1));
    const auto atBottom = InkBands(Render(d, 500, 400, 0, 25, 20, 40, 30, 2));
    ASSERT_EQ(atTop.size(), 3u);
    ASSERT_EQ(centred.size(), 3u);
    ASSERT_EQ(atBottom.size(), 3u);
    EXPECT_NEAR(centred[0].first - atTop[0].first, (30 - total) / 2 * PxPerMm, 1.5);
    EXPECT_NEAR(atBottom[0].first - atTop[0].first, (30 - total) * PxPerMm, 1.5);
}

TEST(RTFDrawer, HorizontalAlignmentsAndJustify)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) +
                 "\\plain\\fs24 Ein Satz mit einigen kurzen Worten, der umbricht.\\par Ende}");
    const float cx = 30, w = 40;
    const int boxLeft = int(std::lround((cx - w / 2) * PxPerMm));
    const int boxRight = int(std::lround((cx + w / 2) * PxPerMm));

    d.LayoutLines(w);
    const float firstWidth = d.GetLine(0)->Width;
    ASSERT_LT(firstWidth, w - 0.5f);
    const QImage left = Render(d, 600, 400, 0, cx, 20, w, 30, 0);
    const QImage right = Render(d, 600, 400, 2, cx, 20, w, 30, 0);
    const QImage centre = Render(d, 600, 400, 1, cx, 20, w, 30, 0);
    const QImage justify = Render(d, 600, 400, 3, cx, 20, w, 30, 0);
    const auto bands = InkBands(left);
    ASSERT_GE(bands.size(), 3u);
    const auto first = bands.front(), last = bands.back();

    EXPECT_NEAR(InkColumns(left, first.first, first.second).first, boxLeft, 3);
    EXPECT_NEAR(InkColumns(left, first.first, first.second).second,
                (cx - w / 2 + firstWidth) * PxPerMm, 3);
    EXPECT_NEAR(InkColumns(right, first.first, first.second).second, boxRight, 3);
    EXPECT_NEAR(InkColumns(right, last.first, last.second).second, boxRight, 3);
    const auto c = InkColumns(centre, last.first, last.second);
    EXPECT_NEAR((c.first + c.second) / 2.0, cx * PxPerMm, 3);
    // justified lines reach both edges, the last line of the paragraph does not stretch
    const auto j = InkColumns(justify, first.first, first.second);
    EXPECT_NEAR(j.first, boxLeft, 3);
    EXPECT_NEAR(j.second, boxRight, 3);
    for (const auto& band : {bands[bands.size() - 2], last})
        EXPECT_EQ(InkColumns(justify, band.first, band.second),
                  InkColumns(left, band.first, band.second));
}

TEST(RTFDrawer, RightAlignedTextInATurnedBoxEndsAtItsEdge)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs28 Gedreht um zwanzig Grad, rechtsb\\'fcndig.}");
    const float cx = 30, cy = 20, w = 45, h = 30;
    const float boxRight = (cx + w / 2) * PxPerMm;
    const QImage straight = Render(d, 600, 400, 2, cx, cy, w, h, 1);
    const float straightRight = float(InkColumns(straight, 0, straight.height()).second);
    EXPECT_LE(straightRight, boxRight + 1);
    EXPECT_GT(straightRight, boxRight - 6);

    // Turned by 20 degrees about the box centre: in the box's own coordinates
    // the ink ends where it ends unturned, not past the edge.
    for (const float angle : {20.0f, -20.0f}) {
        const QImage turned = Render(d, 600, 400, 2, cx, cy, w, h, 1, angle);
        const double a = angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
        double right = 0;
        for (int y = 0; y < turned.height(); ++y)
            for (int x = 0; x < turned.width(); ++x)
                if (IsInk(turned.pixel(x, y))) {
                    const double dx = x + 0.5 - cx * PxPerMm, dy = y + 0.5 - cy * PxPerMm;
                    right = std::max(right, cx * PxPerMm + c * dx + s * dy + 0.5);
                }
        EXPECT_NEAR(right, straightRight, 1.5) << angle;
        EXPECT_LE(right, boxRight + 1) << angle;
    }
}

TEST(RTFDrawer, BaselinesOfDifferentSizesLineUp)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) + "\\plain\\fs20 x{\\fs72 x}x}");
    const QImage img = Render(d, 600, 300, 0, 30, 15, 50, 20, 0);
    const float small = d.GetToken(0)->Width * PxPerMm, big = d.GetToken(1)->Width * PxPerMm;
    const int x0 = int(std::lround(5 * PxPerMm));
    auto bottomOf = [&](int from, int to) {
        int bottom = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = from; x < to; ++x)
                if (IsInk(img.pixel(x, y)))
                    bottom = y + 1;
        return bottom;
    };
    const int a = bottomOf(x0, int(x0 + small));
    const int b = bottomOf(int(x0 + small + 1), int(x0 + small + big));
    const int c = bottomOf(int(x0 + small + big + 1), int(x0 + 2 * small + big));
    EXPECT_GT(a, 0);
    EXPECT_NEAR(a, b, 1);
    EXPECT_EQ(a, c);
}

namespace {

// Share of pixels whose colour differs by more than Threshold in a channel.
double DifferingShare(const QImage& a, const QImage& b, int threshold)
{
    if (a.size() != b.size())
        return 1;
    int64_t differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > threshold ||
                std::abs(qGreen(p) - qGreen(q)) > threshold ||
                std::abs(qBlue(p) - qBlue(q)) > threshold)
                ++differing;
        }
    return double(differing) / (double(a.width()) * a.height());
}

}  // namespace

TEST(RTFDrawer, RendersTestPageLikeReference)
{
    constexpr float scale = 5;  // pixels per millimetre
    TBitmap bitmap;
    bitmap.SetSize(int(130 * scale), int(95 * scale));
    bitmap.Canvas().Brush().SetColor(clWhite);
    bitmap.Canvas().FillRect(TRect{0, 0, bitmap.Width(), bitmap.Height()});

    const AnsiString header =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
        "{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fnil Lumi Fehlt;}}"
        "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green80\\blue160;\\red0\\green128\\blue0;}";
    TRTFDrawer left, right;
    left.SetRTFText(header +
                    "\\pard\\plain\\qc\\f0\\fs32\\cf2{\\b Sommer am Meer}\\par"
                    "\\pard\\plain\\qj\\f1\\fs22 Ein Fotobuch mit {\\i\\cf1 rotem} Text, "
                    "{\\b fett} und {\\i\\cf2 kursiv}, Seite "
                    "{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}} im Blocksatz, mit "
                    "Familien-Ausfl\\'fcgen und {\\fs36 gro\\'dfen} W{\\b\\cf3 orten}.\\par"
                    "\\f2\\fs20 Ersatzschrift Arial.\\par}");
    right.SetRTFText(header +
                     "\\pard\\plain\\f0\\fs28\\cf1 Gedreht um zwanzig Grad,\\par"
                     "\\fs20\\cf0 rechtsb\\'fcndig gesetzt und umbrochen in einem schmalen "
                     "Kasten.}");

    {
        TBitmapDrawContext dc(bitmap);
        dc.Transformation->ScaleUniform(scale);
        dc.SetPenColor(clGray);
        dc.SetPenWidth(0.2f);
        dc.GetBrush().SetStyle(bsClear);
        dc.Rectangle(5, 5, 65, 90);
        left.Draw(dc, 3, 35, 47.5f, 60, 85, 0);

        dc.GetBrush().SetStyle(bsClear);
        dc.RotatedRectangle(97, 47, 45, 50, 20);
        dc.Transformation->Push();
        dc.Transformation->RotateAt(97, 47, 20);
        right.Draw(dc, 2, 97, 47, 45, 50, 1);
        dc.Transformation->Pop();
    }
    const QImage page = bitmap.Image().convertToFormat(QImage::Format_RGB32);
    const QImage reference(QStringLiteral(LUMI_TEST_DATA "/RTFDrawerTestPage.png"));
    ASSERT_FALSE(reference.isNull()) << "missing reference; this run's picture: "
                                     << KeepPicture(page, "RTFDrawerTestPage.png");
    EXPECT_LT(DifferingShare(page, reference.convertToFormat(QImage::Format_RGB32), 48), 0.003)
        << "compare " << KeepPicture(page, "RTFDrawerTestPage.png") << " with the reference";
}

// Runs keep the bytes of their font's charset and are measured as its letters;
// a double-byte character is one character and a word of its own, so that
// East-Asian text wraps between any two characters.
TEST(RTFDrawer, RunsAreMeasuredByTheirFontsCharset)
{
    TRTFDrawer d;
    d.SetRTFText("{\\rtf1{\\fonttbl{\\f0\\fcharset204 Arial;}{\\f1\\fcharset0 Arial;}{\\f2\\fcharset128 Arial;}}"
                 "\\plain\\fs24\\f0 \\'c6\\par\\f1 \\'c6\\par\\f2 \\'93\\'fa\\'96\\'7bA\\par}");
    ASSERT_EQ(d.TokenCount(), 7);
    EXPECT_EQ(d.GetToken(0)->Charset, 204);
    EXPECT_EQ(d.GetToken(2)->Charset, 0);
    const QRawFont arial = RawFontFor("Arial", 0, 0);
    auto advance = [&](char32_t c) { return arial.advancesForGlyphIndexes(arial.glyphIndexesForString(QString::fromUcs4(&c, 1)))[0].x(); };
    EXPECT_NEAR(d.GetToken(0)->Width, PointsToMm(advance(U'Ж'), 12), 1e-4);
    EXPECT_NEAR(d.GetToken(2)->Width, PointsToMm(advance(U'Æ'), 12), 1e-4);
    EXPECT_EQ(d.GetToken(4)->Text, "\x93\xfa");
    EXPECT_EQ(d.GetToken(5)->Text, "\x96\x7b");
    EXPECT_EQ(d.GetToken(6)->Text, "A");
    const TRTFToken& sun = *d.GetToken(4);
    ASSERT_EQ(sun.CharRight.size(), 2u);
    EXPECT_NEAR(sun.CharRight[0], PointsToMm(ArialEm, 12), 1e-3);  // one em, from the fallback face
    EXPECT_EQ(sun.CharRight[1], sun.CharRight[0]);
    d.LayoutLines(1.2f * sun.Width);
    EXPECT_EQ(LineTexts(d), "\xc6\\par|\xc6\\par|\x93\xfa|\x96\x7b|A");
}

// A table as the editor writes it: the cells of a row are kept apart as
// tab-separated text and each row ends its line.
TEST(RTFDrawer, TableCellsAreSeparatedAndRowsEndLines)
{
    TRTFDrawer d;
    d.SetRTFText(AnsiString(Header) +
                 "\\plain\\fs24 Vorher\\par{\\*\\rttable }{\\pard\\trowd\\trgaph0\\trleft0\\cellx4257\\cellx8480"
                 "\\intbl\\ql \\plain\\f0\\fs24 Alpha\\cell\r\n\\intbl\\ql \\plain\\f0\\fs24 Beta\\cell\\row\r\n"
                 "\\intbl\\ql \\plain\\f0\\fs24 Gamma\\cell\r\n\\intbl\\ql \\plain\\f0\\fs24 Delta\\cell\\row\r\n"
                 "}\\ql \\plain\\f0\\fs24 Nachher\\par "
                 // a cell of two paragraphs, an empty cell and a nested table's cells
                 "\\trowd\\cellx1000\\cellx2000\\cellx3000\\intbl eins\\par zwei\\cell\\cell "
                 "innen\\nestcell{\\*\\nesttableprops\\trowd\\cellx500\\nestrow}\\cell\\row}");
    d.LayoutLines(1000);
    EXPECT_EQ(LineTexts(d), "Vorher\\par|Alpha Beta\\par|Gamma Delta\\par|Nachher\\par|eins\\par|zwei  innen ");
    // The separator is a space of its own, in the cell's format.
    int separators = 0;
    for (int i = 0; i < d.TokenCount(); ++i)
        if (d.GetToken(i)->Kind == rtkSpace && d.GetToken(i)->Text == " ") {
            ++separators;
            EXPECT_EQ(d.GetToken(i)->Size, 12);
        }
    EXPECT_EQ(separators, 5);
}

// A list as the editor writes it: each label group ahead of its paragraph's
// text is drawn in the label's font with the character set of text (as the
// editor shows it), in the size, style and colour of the paragraph's first
// characters.
TEST(RTFDrawer, ListLabelsTakeTheFormatOfTheirParagraph)
{
    TRTFDrawer d;
    d.SetRTFText(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset2 Times New Roman;}"
        "{\\f2\\fnil\\fcharset0 Times New Roman;}}{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
        "\\pard\\ls1\\ilvl0\\li709\\fi-283{\\tx720{\\listtext\\f1 \\'b7\\tab}\\plain\\f0\\fs28\\b\\cf1 Milch\\par"
        "{\\listtext\\f1 \\'b7\\tab}\\plain\\f0\\fs28\\cf1 Brot\\par}"
        "\\pard\\ls2\\ilvl0{\\tx720{\\pntext\\f2 1.\\tab}\\plain\\f0\\fs24 Eins\\par{\\pntext\\f2 2.\\tab}\\par}}");
    d.LayoutLines(1000);
    EXPECT_EQ(LineTexts(d), "\xb7 Milch\\par|\xb7 Brot\\par|1. Eins\\par|2. ");
    const struct {
        const char* Text;
        const char* Font;
        int Size;
        TFontStyles Style;
        TColor Color;
    } labels[] = {{"\xb7", "Times New Roman", 14, fsBold, clRed}, {"\xb7", "Times New Roman", 14, 0, clRed},
                  {"1.", "Times New Roman", 12, 0, clBlack}};
    int n = 0;
    for (int i = 0; i < d.TokenCount() && n < 3; ++i) {
        const TRTFToken& t = *d.GetToken(i);
        if (t.Text != labels[n].Text)
            continue;
        SCOPED_TRACE(n);
        EXPECT_EQ(t.FontName, labels[n].Font);
        EXPECT_EQ(t.Charset, DEFAULT_CHARSET);
        EXPECT_EQ(t.Size, labels[n].Size);
        EXPECT_EQ(t.Style, labels[n].Style);
        EXPECT_EQ(t.Color, labels[n].Color);
        // The tab behind the label goes with it.
        EXPECT_EQ(d.GetToken(i + 1)->Size, labels[n].Size);
        ++n;
    }
    EXPECT_EQ(n, 3);
}
