#include "RtInputTestSupport.h"

namespace {

class TFlowTestWriter : public TPlainTestWriter {
public:
    LUMI_CLASSNAME(TFlowTestWriter)
};

class TFlowTestReader : public TPlainTestReader {
public:
    LUMI_CLASSNAME(TFlowTestReader)
};

const bool flowFilters = (RegisterRtClasses({
                              {"TFlowTestWriter", [] { return static_cast<TObject*>(new TFlowTestWriter); }},
                              {"TFlowTestReader", [] { return static_cast<TObject*>(new TFlowTestReader); }},
                          }),
                          true);

class EditBox : public RtInputTest {
protected:
    void SetUp() override
    {
        RtInputTest::SetUp();
        saved_ = RtDefaultReaderWriter;
        RtDefaultReaderWriter.TextWriter = "TFlowTestWriter";
        RtDefaultReaderWriter.TextReader = "TFlowTestReader";
        RtDefaultReaderWriter.RTFWriter = "TFlowTestNone";
        RtDefaultReaderWriter.RTFReader = "TFlowTestNone";
    }
    void TearDown() override { RtDefaultReaderWriter = saved_; }
    TDefaultReaderWriter saved_;

    // A box of W x H window pixels that takes the sizes it is given.
    void Box(const std::vector<std::string>& Pars, TRtEditBoxModes Modes, int32_t W = 200, int32_t H = 50)
    {
        Layout(Pars, 150, W, H);
        E->OwnerControl = &Owner;
        E->BoxWidth = W;
        E->BoxHeight = H;
        E->OnSetBoxSize = [this](int32_t NewW, int32_t NewH) {
            Sizes.emplace_back(NewW, NewH);
            E->SetSurfaceSize(NewW, NewH);
        };
        E->EditBoxModes = Modes;
        E->UpdateEditBoxMode();
    }
    TTestOwnerControl Owner;
    std::vector<std::pair<int32_t, int32_t>> Sizes;
};

TEST_F(EditBox, AutoSizedHeightFollowsTheText)
{
    Box({"one"}, TRtEditBoxModes{rtemAutoSizeHeight});
    ASSERT_FALSE(Sizes.empty());
    EXPECT_EQ(Sizes.back(), std::make_pair(200, E->DocToScreen(22) + 4));
    PutCursor(0, 0, 3);
    Type("\r");
    EXPECT_EQ(Sizes.back(), std::make_pair(200, E->DocToScreen(44) + 4));
}

TEST_F(EditBox, ALimitedBoxTakesTheEditBackWhenItCannotGrow)
{
    Box({"one"}, TRtEditBoxModes{rtemLimitTextHeight, rtemAutoSizeHeight});
    E->OnEditBoxChangeHeight = [](TObject*, int32_t&, int32_t& NewH, bool&) { NewH = std::min(NewH, 30); };
    PutCursor(0, 0, 3);
    Type("x");
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"onex"}));
    Type("\r");
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"onex"}));
    EXPECT_EQ(Cursor(), std::make_tuple(0, 0, 4));
}

TEST_F(EditBox, OverflowingTextFlowsOutAndWholeLinesStay)
{
    std::string left;
    E->OnEditBoxTextFlowsOut = [&](TObject*, TStream* S) {
        left.resize(size_t(S->Size()));
        S->ReadBuffer(left.data(), int32_t(left.size()));
    };
    Box({"a", "b", "c", "d"}, TRtEditBoxModes{rtemCheckTextFlow});
    // Two lines of 22 fit into 50 pixels; the rest went on.
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(left, "c\r\nd");

    // Typing beyond the box sends the new line on and the cursor to the next box.
    TRtRTFTextInput next;
    int32_t activated = 0;
    next.OnActivate = [&](TObject*) { ++activated; };
    E->EditBoxModes.Include(rtemCheckCursorMovement);
    E->OnEditBoxCursorLeaves = [&](TObject*, bool Up, TRtRTFTextInput*& Next, uint8_t) {
        EXPECT_FALSE(Up);
        Next = &next;
    };
    PutCursor(1, 0, 1);
    Type("\rxy");
    EXPECT_EQ(Pars(*E), (std::vector<std::string>{"a", "bxy"}));
    EXPECT_GE(activated, 1);
}

TEST_F(EditBox, TextFlowsBackFromTheNextBox)
{
    Box({"a", "b"}, TRtEditBoxModes{rtemCheckTextFlow}, 200, 100);
    TRtRTFTextInput next;
    next.SetReferenceCanvas(&Canvas);
    next.OnMeasureChar = E->OnMeasureChar;
    next.SetSurfaceSize(200, 100);
    FillText(next, {"c", "d", "e"});
    next.UpdateLayout();
    E->OnEditBoxTextFlowsIn = [&](TObject*, TRtRTFTextInput*& Source) { Source = &next; };
    E->TextFlowPending = true;
    E->EditBoxCheckRequested = true;
    E->CheckEditBox();
    // Room for two more lines of 22 in the 56 pixels left: c and d come over, e stays.
    EXPECT_EQ(Pars(*E).front(), "a");
    EXPECT_EQ(Pars(next), (std::vector<std::string>{"e"}));
    EXPECT_FALSE(E->TextFlowPending);
}

} // namespace
