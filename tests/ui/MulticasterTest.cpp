// The change multicaster's notices and the clipboard stream operations.
#include "Classes.h"
#include "Ole.h"
#include "uDataFile.h"
#include "uFotobuchDocument.h"
#include "uMulticaster.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

struct Notice {
    TObject* Sender;
    TFBPage* Page;
    TFBElement* Element;
};

// Installs recording handlers for the test and removes them afterwards.
struct Recorder {
    std::vector<Notice> Content;
    std::vector<std::pair<TObject*, int>> Current;
    std::vector<TObject*> Lists;
    Recorder()
    {
        TMulticaster& m = GetMulticaster();
        m.OnContentChanged = [this](TMulticaster*, TObject* s, TFBPage* p, TFBElement* e) {
            Content.push_back({s, p, e});
        };
        m.OnCurrentPageChanged = [this](TMulticaster*, TObject* s, int i) { Current.push_back({s, i}); };
        m.OnPageListChanged = [this](TMulticaster*, TObject* s) { Lists.push_back(s); };
    }
    ~Recorder()
    {
        TMulticaster& m = GetMulticaster();
        m.OnContentChanged = nullptr;
        m.OnCurrentPageChanged = nullptr;
        m.OnPageListChanged = nullptr;
    }
};

}  // namespace

TEST(Multicaster, NoticesWithoutHandlersCallNothing)
{
    TFBDocument doc;
    doc.Pages.Add(std::make_unique<TFBPage>(&doc));
    TMulticaster& m = GetMulticaster();
    m.ElementChanged(nullptr, nullptr);
    m.PageContentChanged(nullptr, doc.Pages.GetPage(0));
    m.ScreenContentChanged(nullptr, &doc, 0);
    m.FireCurrentPageChanged(nullptr, 3);
    m.FirePageListChanged(nullptr);
    SUCCEED();
}

TEST(Multicaster, NoticesPassTheSenderThrough)
{
    TFBDocument doc;
    doc.ScreenMode = 2;
    for (int i = 0; i < 4; ++i)
        doc.Pages.Add(std::make_unique<TFBPage>(&doc));
    TFBPage* p2 = doc.Pages.GetPage(2);
    auto text = std::make_unique<TFBTextElement>(p2);
    TFBElement* e = text.get();
    p2->Elements.Add(std::move(text));
    TObject sender;
    Recorder r;
    TMulticaster& m = GetMulticaster();
    m.ElementChanged(&sender, e);
    m.PageContentChanged(&sender, p2);
    m.ScreenContentChanged(&sender, &doc, 1);
    ASSERT_EQ(r.Content.size(), 4u);
    EXPECT_EQ(r.Content[0].Sender, &sender);
    EXPECT_EQ(r.Content[0].Page, p2);
    EXPECT_EQ(r.Content[0].Element, e);
    EXPECT_EQ(r.Content[1].Element, nullptr);
    EXPECT_EQ(r.Content[2].Page, doc.Pages.GetPage(2));  // left, then right
    EXPECT_EQ(r.Content[3].Page, doc.Pages.GetPage(3));
    m.FireCurrentPageChanged(&sender, 5);
    m.FirePageListChanged(&sender);
    ASSERT_EQ(r.Current.size(), 1u);
    EXPECT_EQ(r.Current[0], std::make_pair(static_cast<TObject*>(&sender), 5));
    ASSERT_EQ(r.Lists.size(), 1u);
    EXPECT_EQ(r.Lists[0], &sender);
}

TEST(Multicaster, OnePageScreenIsAnnouncedTwice)
{
    TFBDocument doc;
    doc.ScreenMode = 0;
    doc.Pages.Add(std::make_unique<TFBPage>(&doc));
    Recorder r;
    GetMulticaster().ScreenContentChanged(nullptr, &doc, 0);
    ASSERT_EQ(r.Content.size(), 2u);
    EXPECT_EQ(r.Content[0].Page, doc.Pages.GetPage(0));
    EXPECT_EQ(r.Content[1].Page, doc.Pages.GetPage(0));
    // A spread with cover: screen 0 has only its right page.
    doc.ScreenMode = 1;
    r.Content.clear();
    GetMulticaster().ScreenContentChanged(nullptr, &doc, 0);
    ASSERT_EQ(r.Content.size(), 1u);
}

TEST(ClipboardStream, DataFileBytesRoundTrip)
{
    const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchData");
    TMemoryStream out;
    {
        TMemoryDataFile f(out);
        f.WriteString("Clipboard", "Classname", "TFBTextElement");
        f.WriteBool("Clipboard", "IsLeftPage", false);
    }
    out.SetPosition(out.Size());
    CopyStreamToClipboard(format, out);
    EXPECT_EQ(out.Position(), 0);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("CF_QN_FotobuchData"));

    TMemoryStream in;
    in.WriteU8(0x55);  // written at the stream's position, after what is there
    CopyStreamFromClipboard(format, in);
    ASSERT_EQ(in.Size(), out.Size() + 1);
    EXPECT_TRUE(std::equal(out.Bytes().begin(), out.Bytes().end(), in.Bytes().begin() + 1));
    TMemoryStream copy;
    copy.Write(in.Memory() + 1, int32_t(in.Size() - 1));
    copy.SetPosition(0);
    TMemoryDataFile f(copy);
    EXPECT_EQ(f.ReadString("Clipboard", "Classname", ""), "TFBTextElement");
    EXPECT_FALSE(f.ReadBool("Clipboard", "IsLeftPage", true));
}

TEST(ClipboardStream, MissingFormatRaisesItsMessage)
{
    QGuiApplication::clipboard()->setText("nothing of ours");
    TMemoryStream s;
    try {
        CopyStreamFromClipboard(RegisterClipboardFormatA("CF_QN_FotobuchKalender"), s);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "CopyStreamFromClipboard: get no global handle from clipboard!");
    }
    EXPECT_EQ(s.Size(), 0);
}
