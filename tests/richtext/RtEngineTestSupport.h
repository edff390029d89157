#pragma once
// What the engine's tests share: an engine that counts refreshes and band
// repaints, measured either by a hook of fixed widths or by real fonts, on a
// measuring canvas at 96 dpi with a text area of a chosen width.
#include "RtRtfTxtPaint.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

// Measures every character of E as Widths[code] wide and its lines LineHeight
// high at the default size; both are read at each measuring.
inline void UseFixedWidthsOn(TRtRTFTextPaint& E, const std::array<int32_t, 256>& Widths, const int32_t& LineHeight)
{
    E.OnMeasureChar = [&Widths, &LineHeight](TRtRTFTextPaint*, const TAttr& A, int32_t&, int32_t& Height,
                                             int32_t& Ascent, std::array<int32_t, 256>& W) {
        W = Widths;
        const int32_t scale = A.Size ? A.Size : RtDefaultFontSize;
        Height = LineHeight * scale / RtDefaultFontSize;
        Ascent = Height * 4 / 5;
    };
    E.InvalidateWidthTables();
}

// Gives E a text area of Px pixels between 1-inch margins (96 dpi: 15 twips a pixel).
inline void SetTextWidthOn(TRtRTFTextPaint& E, int32_t Px)
{
    TTextHeader* h = E.Header();
    h->BeginUpdate();
    h->SetLeftMargin(1440);
    h->SetRightMargin(1440);
    h->SetPageWidth(2880 + Px * 15);
    h->EndUpdate();
}

class TTestEngine : public TRtRTFTextPaint {
public:
    void Refresh() override { ++Refreshes; }
    void PaintRect(const TRect& R) override { Painted.push_back(R); }
    int Refreshes = 0;
    std::vector<TRect> Painted;
};

class RtEngineTest : public ::testing::Test, protected TUseTestPlatform {
protected:
    void SetUp() override
    {
        Widths.fill(10);
        E = std::make_unique<TTestEngine>();
    }

    // Every character Widths[code] wide, lines FixedLineHeight high.
    void UseFixedWidths() { UseFixedWidthsOn(*E, Widths, FixedLineHeight); }

    // Clearing the text resets the page, so this follows filling it.
    void SetTextWidth(int32_t Px) { SetTextWidthOn(*E, Px); }

    void Attach()
    {
        E->SetReferenceCanvas(&Canvas);
        E->SetSurfaceSize(400, 300);
    }

    // A fixed-width engine with a text area Px wide holding Pars, laid out.
    void Layout(const std::vector<std::string>& Pars, int32_t Px = 100)
    {
        UseFixedWidths();
        Attach();
        FillText(*E, Pars);
        SetTextWidth(Px);
        E->UpdateLayout();
    }

    TParagraph* Par(int32_t Index) const { return E->GetParByIndex(Index); }
    TLine* Line(int32_t ParIndex, int32_t LineIndex) const
    {
        TLine* l = Par(ParIndex)->Lines;
        for (int32_t i = 0; l && i < LineIndex; ++i)
            l = l->Next;
        return l;
    }
    int32_t Left() { return E->GetParLeftPix(Par(0), false); }

    std::array<int32_t, 256> Widths{};
    int32_t FixedLineHeight = 20;
    TCanvas Canvas;
    std::unique_ptr<TTestEngine> E;
};

