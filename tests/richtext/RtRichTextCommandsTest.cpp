// The component's search, hyperlink and file commands.
#include "RtControlTestSupport.h"

#include "RtFindDialog.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>

namespace {

class RichTextCommands : public RtControlTest {
public:
    void SetUp() override
    {
        RtControlTest::SetUp();
        saved_ = RtCommandDialogs();
        RtCommandDialogs().AskSave = [this](QWidget*, const QString&) { return Answer; };
        RtCommandDialogs().Message = [this](QWidget*, const QString& Text) { Messages << Text; };
        RtCommandDialogs().SaveFileName = [this](QWidget*, const QString& Filter, const QString&, const QString&,
                                                 int& Index) {
            Filters << Filter;
            Index = ChosenFilter;
            return ChosenName;
        };
        RtCommandDialogs().OpenFileName = [this](QWidget*, const QString&, const QString&, int&) { return OpenName; };
    }
    void TearDown() override
    {
        RtCommandDialogs() = saved_;
        RtControlTest::TearDown();
    }
    bool LinkAt(int32_t Pos) { return AttrAt(Pos)->Style.Has(afsHyperLink); }

    TRtCommandDialogs saved_;
    int Answer = QMessageBox::Cancel;
    QStringList Messages, Filters;
    int ChosenFilter = 1;
    QString ChosenName, OpenName;
    QTemporaryDir Dir;
};

TEST_F(RichTextCommands, TypedAddressesBecomeLinksWhenTheirWordEnds)
{
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtAutoDetectHyperlinks});
    Type("see www.example.org");
    EXPECT_FALSE(LinkAt(6));   // still being typed
    Type(" and mail a@b");
    EXPECT_TRUE(LinkAt(6));
    EXPECT_TRUE(LinkAt(18));
    EXPECT_FALSE(LinkAt(3));
    Type(" or x@y.de ");
    EXPECT_FALSE(LinkAt(29));  // "a@b": no "." after the "@"
    EXPECT_TRUE(LinkAt(36));
    // Without the option nothing is marked.
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Rtf->SetEditOptions(E()->EditOptions - TRtEditOptions{rtAutoDetectHyperlinks});
    Type("http://x.org ");
    EXPECT_FALSE(LinkAt(2));
}

TEST_F(RichTextCommands, EditHyperlinkChangesTheTargetAndKeepsTheVisibleText)
{
    // A link read from RTF: "Click" in 11 pt, its target kept as hidden text after it.
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs20 see "
                            "{\\field{\\*\\fldinst{HYPERLINK \"http://old.example/\"}}{\\fldrslt{\\fs22 Click}}}"
                            " now\\par}";
    TMemoryStream in;
    in.WriteBuffer(rtf.data(), int32_t(rtf.size()));
    in.SetPosition(0);
    Rtf->LoadFromStream(&in, "RTF");
    QStringList offered;
    QString answer = "http://new.example/";
    RtCommandDialogs().InputQuery = [&](QWidget*, const QString&, const QString&, QString& Value) {
        offered << Value;
        Value = answer;
        return true;
    };
    auto rtfOut = [this] {
        TMemoryStream m;
        E()->TextSaveFormat = "RTF";
        Rtf->SaveToStream(&m);
        return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
    };
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtActivateRedo});
    E()->SetCursorCharPos(6);
    Rtf->EditHyperlink();
    EXPECT_EQ(offered, QStringList{"http://old.example/"});
    EXPECT_EQ(Text(), "see Clickhttp://new.example/ now\n");
    for (int32_t pos : {4, 8}) {
        EXPECT_TRUE(AttrAt(pos)->Style.Has(afsHyperLink)) << pos;
        EXPECT_EQ(AttrAt(pos)->Size, 11) << pos;
    }
    for (int32_t pos : {9, 27}) {
        EXPECT_TRUE(AttrAt(pos)->Style.Has(afsHidden)) << pos;
        EXPECT_FALSE(AttrAt(pos)->Style.Has(afsHyperLink)) << pos;
        EXPECT_EQ(AttrAt(pos)->Size, 11) << pos;
    }
    EXPECT_EQ(AttrAt(28)->Size, 10);
    std::string out = rtfOut();
    EXPECT_NE(out.find("HYPERLINK \"http://new.example/\""), std::string::npos) << out;
    EXPECT_EQ(out.find("old.example"), std::string::npos) << out;
    EXPECT_NE(out.find("Click"), std::string::npos) << out;
    // One undo step brings the old target back, redo the new one.
    Rtf->Undo();
    EXPECT_EQ(Text(), "see Clickhttp://old.example/ now\n");
    Rtf->Redo();
    EXPECT_EQ(Text(), "see Clickhttp://new.example/ now\n");
    EXPECT_TRUE(AttrAt(27)->Style.Has(afsHidden));

    // The cursor right after the link; the address made the visible text again: no target of its own.
    E()->SetCursorCharPos(9);
    answer = "Click";
    Rtf->EditHyperlink();
    EXPECT_EQ(offered.last(), "http://new.example/");
    EXPECT_EQ(Text(), "see Click now\n");
    EXPECT_EQ(AttrAt(8)->Size, 11);
    // A link that shows its own address gets a target of its own.
    E()->SetCursorCharPos(5);
    answer = "http://third.example/";
    Rtf->EditHyperlink();
    EXPECT_EQ(offered.last(), "Click");
    EXPECT_EQ(Text(), "see Clickhttp://third.example/ now\n");
    out = rtfOut();
    EXPECT_NE(out.find("HYPERLINK \"http://third.example/\""), std::string::npos) << out;
}

TEST_F(RichTextCommands, FindsReplacesAndReplacesAll)
{
    Type("Ein Hund, ein Haus, EIN Baum");
    Key(Qt::Key_Home);
    ASSERT_TRUE(Rtf->Find("ein", true, false, false));
    EXPECT_EQ(Selection(), std::make_pair(0, 3));
    ASSERT_TRUE(Rtf->Find("ein", true, false, true));   // match case skips "Ein"
    EXPECT_EQ(Selection(), std::make_pair(10, 3));
    EXPECT_EQ(E()->GetCursorCharPos(), 13);
    ASSERT_TRUE(Rtf->Find("ein", false, false, false)); // upwards from the selection
    EXPECT_EQ(Selection(), std::make_pair(0, 3));
    EXPECT_FALSE(Rtf->Find("Katze", true, false, false));
    // Find next searches again with the remembered text; "*" stands for any run there.
    Key(Qt::Key_Home);
    ASSERT_TRUE(Rtf->Find("H*s", true, false, false, '*'));
    EXPECT_EQ(Selection().first, 4);
    Key(Qt::Key_Home);
    ASSERT_TRUE(Rtf->Find("ein", true, false, false));
    ASSERT_TRUE(Rtf->FindNext());
    EXPECT_EQ(Selection(), std::make_pair(10, 3));
    Key(Qt::Key_Home);
    // Replace: the first call finds, the second replaces the hit and selects the new text.
    Key(Qt::Key_Home);
    EXPECT_TRUE(Rtf->Replace("Hund", "Hase", true, false, false));
    EXPECT_EQ(Text(), "Ein Hund, ein Haus, EIN Baum");
    EXPECT_TRUE(Rtf->Replace("Hund", "Hase", true, false, false));
    EXPECT_EQ(Text(), "Ein Hase, ein Haus, EIN Baum");
    EXPECT_EQ(Selection(), std::make_pair(4, 4));
    EXPECT_FALSE(Rtf->Replace("Katze", "Hund", true, false, false));
    EXPECT_EQ(Messages.size(), 1);
    Key(Qt::Key_Home);
    EXPECT_EQ(Rtf->ReplaceAll("ein", "kein", true, false), 3);
    EXPECT_EQ(Text(), "kein Hase, kein Haus, kein Baum");
    Rtf->Undo();
    EXPECT_EQ(Text(), "Ein Hase, ein Haus, EIN Baum");
    // The shared dialogs drive the same search.
    Rtf->ShowReplaceDialog();
    TRtFindDialog* d = TRtFindDialog::Shared(true);
    d->FindText->setText("Haus");
    d->ReplaceText->setText("Hof");
    d->ReplaceAllClicked();
    EXPECT_EQ(Text(), "Ein Hase, ein Hof, EIN Baum");
    d->hide();
}

TEST_F(RichTextCommands, SaveAsAppendsTheExtensionOfTheChosenFilter)
{
    Type("Text");
    const std::tuple<int, QString, QString> cases[] = {
        {1, "a", "a.RTF"}, {2, "b", "b.TXT"}, {3, "c", "c.RTF"}, {2, "d.rtf", "d.rtf"}};
    for (const auto& [filter, name, file] : cases) {
        ChosenFilter = filter;
        ChosenName = Dir.filePath(name);
        Rtf->SaveAs();
        EXPECT_FALSE(Rtf->Cancelled);
        EXPECT_TRUE(QFile::exists(Dir.filePath(file))) << file.toStdString();
        EXPECT_EQ(Rtf->LastFileName(), Dir.filePath(file));
        EXPECT_FALSE(Rtf->Modified());
    }
    // HTML is not offered: there is no HTML filter.
    EXPECT_FALSE(Filters.first().contains("htm", Qt::CaseInsensitive)) << Filters.first().toStdString();
    QFile txt(Dir.filePath("b.TXT"));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly));
    EXPECT_TRUE(txt.readAll().startsWith("Text"));
    QFile rtf(Dir.filePath("a.RTF"));
    ASSERT_TRUE(rtf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(rtf.readAll().startsWith("{\\rtf1"));
}

TEST_F(RichTextCommands, CancelToTheSaveQuestionStopsNewOpenAndClose)
{
    Type("keep me");
    ASSERT_TRUE(Rtf->Modified());
    Answer = QMessageBox::Cancel;
    EXPECT_FALSE(Rtf->AskForSave());
    EXPECT_TRUE(Rtf->Cancelled);
    OpenName = Dir.filePath("never.rtf");
    Rtf->Open();
    EXPECT_TRUE(Rtf->Cancelled);
    EXPECT_EQ(Text(), "keep me");
    ChosenName.clear();   // the save dialog is cancelled
    Rtf->Close();
    EXPECT_TRUE(Rtf->Cancelled);
    EXPECT_EQ(Text(), "keep me");
    // Yes saves, then opens the chosen file.
    Answer = QMessageBox::Yes;
    ChosenName = Dir.filePath("saved.rtf");
    QFile other(Dir.filePath("other.rtf"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("{\\rtf1\\ansi opened}");
    other.close();
    OpenName = other.fileName();
    Rtf->Open();
    EXPECT_FALSE(Rtf->Cancelled);
    EXPECT_TRUE(QFile::exists(ChosenName));
    EXPECT_EQ(Text(), "opened");
    EXPECT_EQ(Rtf->LastFileName(), OpenName);
    // Close saves to the last file name, then clears the text.
    Type("x");
    Rtf->Close();
    EXPECT_EQ(Text(), "");
    QFile reopened(OpenName);
    ASSERT_TRUE(reopened.open(QIODevice::ReadOnly));
    EXPECT_TRUE(reopened.readAll().contains("xopened"));
}

TEST_F(RichTextCommands, DroppedFilesGoInAsTextOrPicture)
{
    Rtf->AcceptFiles = true;
    QFile txt(Dir.filePath("notes.txt"));
    ASSERT_TRUE(txt.open(QIODevice::WriteOnly));
    txt.write("from file");
    txt.close();
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(Dir.filePath("pic.jpg")));
    Type("A");
    QString dropped;
    Rtf->OnDropFile = [&](TObject*, const QString& Name, bool&) { dropped = Name; };
    EXPECT_TRUE(Rtf->InsertFile(txt.fileName()));
    EXPECT_EQ(dropped, txt.fileName());
    EXPECT_EQ(Text(), "Afrom file");
    EXPECT_TRUE(Rtf->InsertFile(Dir.filePath("pic.jpg")));
    EXPECT_TRUE(E()->CursorLine->Attrs[E()->CursorPos - 1].Style.Has(afsIsObject));
    // A drop of three files inserts only the first.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(txt.fileName()), QUrl::fromLocalFile(txt.fileName()),
                  QUrl::fromLocalFile(txt.fileName())});
    const int before = int(Text().size());
    EXPECT_TRUE(Rtf->DropData(&data, QPoint(5, 5), false));
    EXPECT_EQ(int(Text().size()), before + 9);
    // A refused drop inserts nothing.
    Rtf->OnDropFile = [](TObject*, const QString&, bool& Proceed) { Proceed = false; };
    EXPECT_FALSE(Rtf->InsertFile(txt.fileName()));
}

}  // namespace
