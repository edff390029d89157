#pragma once
// What the input engine's tests share: an input engine measured by a hook of
// fixed widths on a measuring canvas at 96 dpi, with a surface to paint into,
// key sequences and a readable cursor.
#include "RtEngineTestSupport.h"
#include "RtRtfTxtInput.h"

#include <string>
#include <tuple>
#include <vector>

class RtInputTest : public ::testing::Test, protected TUseTestPlatform {
protected:
    void SetUp() override
    {
        Widths.fill(10);
        E = std::make_unique<TRtRTFTextInput>();
    }

    void UseFixedWidths() { UseFixedWidthsOn(*E, Widths, FixedLineHeight); }
    void SetTextWidth(int32_t Px) { SetTextWidthOn(*E, Px); }

    // A fixed-width engine with a text area Px wide and a window of W x H pixels holding Pars.
    void Layout(const std::vector<std::string>& Pars, int32_t Px = 100, int32_t W = 400, int32_t H = 300)
    {
        UseFixedWidths();
        E->SetReferenceCanvas(&Canvas);
        E->SetSurfaceSize(W, H);
        FillText(*E, Pars);
        SetTextWidth(Px);
        E->CursorPar = E->FirstPar;
        E->CursorLine = E->FirstPar->Lines;
        E->CursorPos = 0;
        E->UpdateLayout();
    }

    // Types Keys one by one, as the edit control hands them over.
    void Type(const std::string& Keys)
    {
        for (char c : Keys)
            E->InsertTextAndPaint(AnsiString(1, c), true);
    }

    TParagraph* Par(int32_t Index) const { return E->GetParByIndex(Index); }
    static int32_t LineIndex(const TParagraph* P, const TLine* L)
    {
        int32_t i = 0;
        for (const TLine* l = P ? P->Lines : nullptr; l && l != L; l = l->Next)
            ++i;
        return i;
    }
    // The cursor as (paragraph, line, offset).
    std::tuple<int32_t, int32_t, int32_t> Cursor() const
    {
        return {TRtRTFText::CountParsTo(E->FirstPar, E->CursorPar) - 1, LineIndex(E->CursorPar, E->CursorLine),
                E->CursorPos};
    }
    void PutCursor(int32_t P, int32_t L, int32_t Pos)
    {
        E->CursorPar = Par(P);
        E->CursorLine = Par(P)->Lines;
        for (int32_t i = 0; i < L; ++i)
            E->CursorLine = E->CursorLine->Next;
        E->CursorPos = Pos;
        E->UpdateCaretMetrics();
    }
    // The selection as (start, length), or (-1, 0) without one.
    std::pair<int32_t, int32_t> Selection() const
    {
        int32_t s = -1, l = 0;
        if (!const_cast<TRtRTFTextInput&>(*E).GetSelection(s, l))
            return {-1, 0};
        return {s, l};
    }

    std::array<int32_t, 256> Widths{};
    const int32_t FixedLineHeight = 20;
    TCanvas Canvas;
    std::unique_ptr<TRtRTFTextInput> E;
};
