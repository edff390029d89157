// Action texts: lookup by (group, id), the localisation keys and hooks, the
// language refresh of tool bars and actions, and the tool-bar pictures.
#include "RtActionTexts.h"

#include "RtTestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Remembers the hooks in place and puts them back.
class RtActionTextsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_ = RtWriteTextCallback;
        read_ = RtReadTextCallback;
        for (int i = 0; i < RtActionTextCount; ++i) {
            captions_[i] = RtActionCaption(i);
            hints_[i] = RtActionHint(i);
        }
    }
    void TearDown() override
    {
        RtWriteTextCallback = write_;
        RtReadTextCallback = read_;
        for (int i = 0; i < RtActionTextCount; ++i) {
            RtActionCaption(i) = captions_[i];
            RtActionHint(i) = hints_[i];
        }
    }
    std::function<void(const AnsiString&, const AnsiString&)> write_;
    std::function<bool(const AnsiString&, AnsiString&)> read_;
    std::map<int, AnsiString> captions_, hints_;
};

TEST_F(RtActionTextsTest, FindsCaptionAndHintByGroupAndId)
{
    AnsiString caption = "x", hint = "y";
    EXPECT_TRUE(FindRtActionText(256, 2, caption, hint));
    EXPECT_EQ(caption, "Bold");
    EXPECT_EQ(hint, "Bold");
    EXPECT_TRUE(FindRtActionText(7 * 256, 2, caption, hint));
    EXPECT_EQ(caption, "Keep Paragraph together");
    // The hyperlink button has a picture but no caption.
    EXPECT_FALSE(FindRtActionText(256, 5, caption, hint));
    EXPECT_EQ(caption, "");
    EXPECT_EQ(hint, "");
    EXPECT_FALSE(FindRtActionText(2, 1, caption, hint));
}

TEST_F(RtActionTextsTest, SavesAndLoadsUnderNumberedKeys)
{
    std::map<AnsiString, AnsiString> saved;
    RtWriteTextCallback = [&](const AnsiString& Key, const AnsiString& Text) { saved[Key] = Text; };
    RtSaveTexts();
    ASSERT_TRUE(saved.count("RtAction/0"));
    EXPECT_EQ(saved["RtAction/0"], "C=Zoom Out\r\nH=Zoom Out\r\n");
    EXPECT_EQ(saved["RtAction/85"], "C=Keep Paragraph together\r\nH=Keep Paragraph together\r\n");
    EXPECT_FALSE(saved.count("RtAction/86"));
    // The store's own texts are saved in the same pass.
    EXPECT_TRUE(saved.count("RtString/meReady"));

    RtReadTextCallback = [](const AnsiString& Key, AnsiString& Text) {
        if (Key == "RtAction/33") {
            Text = "C=Fett\r\nH=Fette Schrift\r\n";
            return true;
        }
        if (Key == "RtAction/32") {
            Text = "C=Kursiv\r\n";   // no hint
            return true;
        }
        return false;
    };
    RtLoadTexts();
    AnsiString caption, hint;
    FindRtActionText(256, 2, caption, hint);
    EXPECT_EQ(caption, "Fett");
    EXPECT_EQ(hint, "Fette Schrift");
    FindRtActionText(256, 3, caption, hint);
    EXPECT_EQ(caption, "Kursiv");
    EXPECT_EQ(hint, "");
    FindRtActionText(256, 4, caption, hint);
    EXPECT_EQ(caption, "Underlined");
}

class TTestToolBar : public TRtTextToolBar {
public:
    bool SetBoxHint(int32_t Id, const AnsiString& Hint) override
    {
        Boxes[Id] = Hint;
        return true;
    }
    int32_t ButtonCount() const override { return 2; }
    void ButtonCommand(int32_t Number, int32_t& Group, int32_t& Id) const override
    {
        Group = Number == 1 ? 256 : 3 * 256;
        Id = Number == 1 ? 2 : 9;
    }
    void SetButtonHint(int32_t Number, const AnsiString& Hint) override { Buttons[Number] = Hint; }
    std::map<int32_t, AnsiString> Boxes, Buttons;
};

TEST_F(RtActionTextsTest, LanguageChangeRefreshesToolBarsAndActions)
{
    TTestToolBar bar;
    TRtAction undo(3 * 256, 9);
    EXPECT_EQ(undo.text(), QString("Undo"));
    EXPECT_FALSE(undo.icon().isNull());
    RtActionHint(44) = "R\xfc" "ckg\xe4ngig";
    RtActionCaption(44) = "R\xfc" "ckg\xe4ngig machen";
    ASSERT_NE(RtLanguageChanged, nullptr);
    RtLanguageChanged();
    EXPECT_EQ(undo.text(), fromAnsi("R\xfc" "ckg\xe4ngig machen"));
    EXPECT_EQ(bar.Buttons[2], "R\xfc" "ckg\xe4ngig");
    EXPECT_EQ(bar.Buttons[1], "Bold");
    EXPECT_EQ(bar.Boxes[1], "Font Name");
    EXPECT_EQ(bar.Boxes[83], "Paragraph Style");
    EXPECT_EQ(bar.Boxes.size(), 6u);
}

TEST_F(RtActionTextsTest, EveryPictureIsAResourceOfItsCommand)
{
    std::set<std::pair<int32_t, int32_t>> captioned;
    for (const TRtActionText& t : RtActionTexts)
        captioned.insert({t.Group, t.Id});
    std::set<std::string> names;
    for (const TRtActionIcon& icon : RtActionIcons) {
        const QImage img(QString(":/richtext/") + icon.Name + ".png");
        EXPECT_EQ(img.size(), QSize(20, 20)) << icon.Name;
        EXPECT_TRUE(names.insert(icon.Name).second) << icon.Name;
        EXPECT_TRUE(captioned.count({icon.Group, icon.Id}) || (icon.Group == 256 && icon.Id == 5)) << icon.Name;
        EXPECT_FALSE(RtActionIcon(icon.Group, icon.Id).isNull());
    }
    EXPECT_EQ(names.size(), 71u);
}

}  // namespace
