// Rendered lines compared with reference pictures made once and looked at.
// LUMI_WRITE_REFERENCES=1 writes the references instead of comparing.
#include "../common/KeptPicture.h"
#include "RtInputTestSupport.h"

#include "RtNumbering.h"

#include <QDir>
#include <QImage>

namespace {

class PaintLine : public RtInputTest {
protected:
    // Liberation Sans 11 pt at 96 dpi, a text area of Px pixels in a window of W x H.
    void Prepare(const std::vector<std::string>& Pars, int32_t W = 400, int32_t H = 80)
    {
        E->SetReferenceCanvas(&Canvas);
        E->SetSurfaceSize(W, H);
        FillText(*E, Pars);
        E->DefaultTextColor = clBlack;
    }
    // Page and fonts: a text area of Px pixels.
    void UseLiberationSans(int32_t Px = 380)
    {
        TTextHeader* h = E->Header();
        h->BeginUpdate();
        h->SetLeftMargin(150);
        h->SetRightMargin(150);
        h->SetPageWidth(300 + Px * 15);
        h->EndUpdate();
        E->PaperColor = clWhite;
        const int32_t font = h->GetFontIndex("Liberation Sans");
        for (TParagraph* p = E->FirstPar; p; p = p->Next) {
            p->ParAttr.Font = uint16_t(font);
            p->ParAttr.Size = 11;
            for (TLine* l = p->Lines; l; l = l->Next)
                for (int32_t i = 0; i <= l->Length; ++i) {
                    l->Attrs[i].Font = uint16_t(font);
                    l->Attrs[i].Size = 11;
                }
        }
        E->CursorPar = E->FirstPar;
        E->CursorLine = E->FirstPar->Lines;
        E->CursorPos = 0;
    }
    // The attributes of characters From..To-1 of paragraph P (one line).
    template <class F>
    void Style(int32_t P, int32_t From, int32_t To, F Change)
    {
        TLine* l = Par(P)->Lines;
        for (int32_t i = From; i < To && i < l->Length; ++i)
            Change(l->Attrs[i]);
    }
    uint8_t Colour(TColor C)
    {
        int32_t index = 0;
        E->Header()->GetColorIndex(C, true, index);
        return uint8_t(index);
    }
    QImage Render()
    {
        for (TParagraph* p = E->FirstPar; p; p = p->Next)
            p->Flags |= parfReformat;
        E->UpdateLayout();
        E->Refresh();
        return E->Surface().convertToFormat(QImage::Format_RGB32);
    }
    // Compares with the reference: a channel may differ by 40 at most in at most 0.5 % of the pixels.
    void ExpectLooksLike(const QImage& Image, const char* Name)
    {
        const QString path = QString(LUMI_TEST_DATA) + "/richtext/" + Name + ".png";
        if (qEnvironmentVariableIsSet("LUMI_WRITE_REFERENCES")) {
            QDir().mkpath(QString(LUMI_TEST_DATA) + "/richtext");
            ASSERT_TRUE(Image.save(path));
            return;
        }
        QImage ref(path);
        ASSERT_FALSE(ref.isNull()) << "missing reference " << path.toStdString();
        ref = ref.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(ref.size(), Image.size());
        int64_t bad = 0;
        for (int y = 0; y < ref.height(); ++y) {
            const QRgb* a = reinterpret_cast<const QRgb*>(ref.constScanLine(y));
            const QRgb* b = reinterpret_cast<const QRgb*>(Image.constScanLine(y));
            for (int x = 0; x < ref.width(); ++x) {
                const int d = std::max({std::abs(qRed(a[x]) - qRed(b[x])), std::abs(qGreen(a[x]) - qGreen(b[x])),
                                        std::abs(qBlue(a[x]) - qBlue(b[x]))});
                if (d > 40)
                    ++bad;
            }
        }
        EXPECT_LE(bad, int64_t(ref.width()) * ref.height() / 200)
            << Name << "; this run's picture: " << KeepPicture(Image, QString(Name) + "-actual.png");
    }
};

} // namespace

TEST_F(PaintLine, CharacterStylesAndColours)
{
    Prepare({"Bold Italic Underline Strike", "Link double m2 H2O", "Red on yellow, misspelt, mark"});
    UseLiberationSans();
    Style(0, 0, 4, [](TAttr& A) { A.Style.Include(afsBold); });
    Style(0, 5, 11, [](TAttr& A) { A.Style.Include(afsItalic); });
    Style(0, 12, 21, [](TAttr& A) { A.Style.Include(afsUnderline); });
    Style(0, 22, 28, [](TAttr& A) { A.Style.Include(afsStrikeOut); });
    Style(1, 0, 4, [](TAttr& A) {
        A.Style.Include(afsHyperLink);
        A.Style.Include(afsUnderline);
    });
    // Protected text shows with the double underline of its attribute set.
    E->ProtectedTextAttr()->SetUnderline(tsTRUE);
    E->ProtectedTextAttr()->SetDoubleUnderline(true);
    Style(1, 5, 11, [](TAttr& A) { A.Style.Include(afsProtected); });
    Style(1, 13, 14, [](TAttr& A) { A.Style.Include(afsSuper); });
    Style(1, 16, 17, [](TAttr& A) { A.Style.Include(afsSub); });
    const uint8_t red = Colour(0x0000FF), yellow = Colour(0x00FFFF);
    Style(2, 0, 3, [&](TAttr& A) { A.TextColor = red; });
    Style(2, 7, 13, [&](TAttr& A) { A.BGColor = yellow; });
    Style(2, 15, 23, [](TAttr& A) { A.Style.Include(afsMisSpelled); });
    E->HighlightedStyleNr = 5;
    E->HighlightColor = 0x008000;
    Style(2, 25, 29, [](TAttr& A) { A.StyleNr = 5; });
    ExpectLooksLike(Render(), "styles");
}

TEST_F(PaintLine, SelectionBulletsAndNumbers)
{
    Prepare({"Selected in part", "Item one", "Item two", "Bullet"});
    UseLiberationSans();
    TRtRTFNumberingStyle* numbers = E->NumberingStyles()->Add();
    numbers->Style = rt_1;
    numbers->TextA = ".";
    numbers->Indent = 360;
    TRtRTFNumberingStyle* bullets = E->NumberingStyles()->Add();
    bullets->Style = rt_bullet;
    bullets->TextB = "l";
    bullets->Font = "WingDings";
    bullets->Indent = 360;
    for (int i = 1; i <= 2; ++i) {
        Par(i)->Number = int16_t(numbers->Number);
        Par(i)->IndentLeft = 360;
        Par(i)->IndentFirst = -360;
    }
    Par(3)->Number = int16_t(bullets->Number);
    Par(3)->IndentLeft = 360;
    Par(3)->IndentFirst = -360;
    E->UpdateNumbering();
    E->HighlightColor = 0x800000;
    E->HighlightTextColor = clWhite;
    // From "in" over the paragraph end into the second paragraph.
    E->UpdateLayout();
    E->SetCursorCharPos(9);
    E->SetSelectionPoint(E->CursorPar, E->CursorLine, E->CursorPos, false, false);
    E->SetCursorCharPos(21);
    E->SetSelectionPoint(E->CursorPar, E->CursorLine, E->CursorPos, true, false);
    ExpectLooksLike(Render(), "selection-numbering");
}

TEST_F(PaintLine, TableWithBordersAndShading)
{
    Prepare({""});
    std::vector<TRtCellDescriptor> cells(2);
    cells[0].Text = "Cell A1";
    cells[1].Text = "Cell B1";
    TParagraph* p = Par(0);
    E->ApplyParProps(p, 2, cells.data());
    cells[0].Text = "Cell A2";
    cells[1].Text = "Cell B2";
    TParagraph* q = Par(1);
    E->ApplyParProps(q, 2, cells.data());
    UseLiberationSans();
    const uint8_t blue = Colour(0xFF0000);
    for (TParagraph* c = E->FirstPar; c; c = c->Next) {
        if (!(c->Flags & parfTableCell))
            continue;
        TRtCell* cell = E->GetParCell(c);
        cell->BrdFlags = celbAll;
        cell->BrdWidth = 30;
        cell->BrdColor = {blue, blue, blue, blue};
    }
    Par(0)->Shading = 25;
    Par(0)->Color = Colour(0x00FF00);
    Par(3)->Shading = 50;
    ExpectLooksLike(Render(), "table");
}

TEST_F(PaintLine, FormattingMarks)
{
    Prepare({"tab\tand blanks", "line\nbreak"});
    UseLiberationSans();
    E->ViewOptions.Include(rtShowCR);
    E->ViewOptions.Include(rtShowNL);
    E->ViewOptions.Include(rtShowTAB);
    E->ViewOptions.Include(rtShowSPC);
    ExpectLooksLike(Render(), "marks");
}

TEST_F(PaintLine, PrintingLeavesOutMisspellingMarks)
{
    Prepare({"misspelt words"});
    UseLiberationSans();
    Style(0, 0, 8, [](TAttr& A) { A.Style.Include(afsMisSpelled); });
    auto redPixels = [](const QImage& Img) {
        int n = 0;
        for (int y = 0; y < Img.height(); ++y)
            for (int x = 0; x < Img.width(); ++x) {
                const QRgb c = Img.pixel(x, y);
                n += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
            }
        return n;
    };
    EXPECT_GT(redPixels(Render()), 5);
    E->Surface().fill(Qt::white);
    E->EngineOptions |= eoNoDisplay | eoPaintAllLines;
    TCanvas c(&E->Surface());
    E->PaintingCanvas = &c;
    E->PaintLine(Par(0)->Lines, Par(0));
    E->PaintingCanvas = nullptr;
    c.Flush();
    EXPECT_EQ(redPixels(E->Surface()), 0);
}

TEST_F(PaintLine, InsertPointMarkersAreDrawnAsTheirDisplayCharacters)
{
    Prepare({"a\xAB" "b"});
    UseLiberationSans();
    Style(0, 1, 2, [](TAttr& A) { A.Style.Include(afsIsInsertpoint); });
    RtInsertPointDisplay = {'W', 0};
    const QImage marked = Render();
    RtInsertPointDisplay = {0, 0};
    Prepare({"aWb"});
    UseLiberationSans();
    Style(0, 1, 2, [](TAttr& A) { A.Style.Include(afsIsInsertpoint); });
    EXPECT_EQ(marked, Render());
}
